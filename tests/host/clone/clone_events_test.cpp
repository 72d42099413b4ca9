// The database-level clone calls: contexts, the order of the event notifications, reactors that
// clone into the map while it is walked, aborts and deferred translation.
#include <gtest/gtest.h>

#include "tests/host/clone/clone_test_support.h"

using clonetest::Open;

namespace {

using Events = std::vector<std::wstring>;

class CloneEventsTest : public CloneTest {};

TEST_F(CloneEventsTest, NotificationsComeInOrderAroundTheTranslation) {
    AcDbDatabase source;
    AcDbDatabase dest;
    const AcDbObjectId child = addNode(source, 2);
    const AcDbObjectId node = addNode(source, 1);
    editNode(node, [&](KxCloneNode* n) { n->hardOwned.append(child); });
    const AcDbObjectId destOwner = addNode(dest);

    RecordingEventReactor reactor;
    AcDbIdMapping map;
    AcDbObjectId childSeenAtXlation;
    reactor.onXlation = [&](AcDbIdMapping& m, Acad::ErrorStatus*) {
        // The primaries are cloned but not yet translated.
        EXPECT_EQ(m.origDb(), &source);
        EXPECT_EQ(m.destDb(), &dest);
        childSeenAtXlation = viewNode(cloneOf(m, node)).hardOwned[0];
    };
    reactor.onEnd = [&](AcDbIdMapping& m) {
        EXPECT_EQ(viewNode(cloneOf(m, node)).hardOwned[0], cloneOf(m, child));
    };
    ASSERT_EQ(source.deepCloneObjects(AcDbObjectIdArray{node}, destOwner, map), Acad::eOk);
    EXPECT_EQ(reactor.events, (Events{L"begin", L"xlation", L"end"}));
    EXPECT_EQ(reactor.beginDest, &dest);
    EXPECT_EQ(reactor.beginContext, AcDb::kDcObjects);
    EXPECT_EQ(childSeenAtXlation, child);
    EXPECT_EQ(reactor.pairsAtXlation, 2);
    EXPECT_FALSE(map.isCloneRoundOpen());
}

TEST_F(CloneEventsTest, AReactorCloningIntoTheMapWhileWalkingItGetsItsClonesTranslated) {
    AcDbDatabase source;
    AcDbDatabase dest;
    const AcDbObjectId node = addNode(source, 1);
    // What the reactor carries along for `node`: an object that points back at the node and
    // owns a child of its own, like a graph carried for a block definition.
    const AcDbObjectId extraChild = addNode(source, 3);
    const AcDbObjectId extra = addNode(source, 2);
    editNode(extra, [&](KxCloneNode* n) {
        n->softPointer = node;
        n->hardOwned.append(extraChild);
    });
    const AcDbObjectId destOwner = addNode(dest);
    const AcDbObjectId destHome = addNode(dest);

    RecordingEventReactor reactor;
    std::vector<AcDbObjectId> walked;
    reactor.onXlation = [&](AcDbIdMapping& m, Acad::ErrorStatus* es) {
        AcDbIdMappingIter it(m);
        for (it.start(); !it.done(); it.next()) {
            AcDbIdPair pair;
            it.getMap(pair);
            walked.push_back(pair.key());
            if (pair.key() != node) {
                continue;
            }
            Open<KxCloneNode> src(extra, AcDb::kForRead);
            Open<KxCloneNode> home(destHome, AcDb::kForWrite);
            AcDbObject* clone = nullptr;
            *es = src->deepClone(home.obj, clone, m, false);
            if (clone != nullptr) {
                clone->close();
            }
        }
    };
    AcDbObjectId extraCloneAtEnd;
    reactor.onEnd = [&](AcDbIdMapping& m) { extraCloneAtEnd = cloneOf(m, extra); };

    AcDbIdMapping map;
    ASSERT_EQ(kxhost::pasteObjects(AcDbObjectIdArray{node}, destOwner, map), Acad::eOk);
    EXPECT_EQ(reactor.events, (Events{L"begin", L"xlation", L"end"}));
    EXPECT_EQ(reactor.beginContext, AcDb::kDcInsertCopy);
    // The walk went on over the pairs the reactor added.
    EXPECT_EQ(walked, (std::vector<AcDbObjectId>{node, extra, extraChild}));
    ASSERT_FALSE(extraCloneAtEnd.isNull());
    const NodeView view = viewNode(extraCloneAtEnd);
    EXPECT_EQ(view.owner, destHome);
    EXPECT_EQ(view.softPointer, cloneOf(map, node));
    ASSERT_EQ(view.hardOwned.length(), 1);
    EXPECT_EQ(view.hardOwned[0], cloneOf(map, extraChild));
    EXPECT_EQ(viewNode(cloneOf(map, extraChild)).owner, extraCloneAtEnd);
    EXPECT_EQ(reactor.pairsAtEnd, 3);
}

TEST_F(CloneEventsTest, AFailureReportedByAReactorAbortsAndErasesTheClones) {
    AcDbDatabase source;
    AcDbDatabase dest;
    const AcDbObjectId node = addNode(source, 1);
    const AcDbObjectId destOwner = addNode(dest);
    RecordingEventReactor reactor;
    RecordingEventReactor second;  // hears nothing of the round after the failure but the abort
    reactor.onXlation = [](AcDbIdMapping&, Acad::ErrorStatus* es) { *es = Acad::eInvalidInput; };
    AcDbIdMapping map;
    EXPECT_EQ(source.deepCloneObjects(AcDbObjectIdArray{node}, destOwner, map),
              Acad::eInvalidInput);
    EXPECT_EQ(reactor.events, (Events{L"begin", L"xlation", L"abort"}));
    EXPECT_EQ(second.events, (Events{L"begin", L"abort"}));
    const AcDbObjectId clone = cloneOf(map, node);
    ASSERT_FALSE(clone.isNull());
    EXPECT_TRUE(clone.isErased());
    EXPECT_FALSE(map.isCloneRoundOpen());
}

TEST_F(CloneEventsTest, AFailingPrimaryAbortsTheRound) {
    AcDbDatabase db;
    const AcDbObjectId good = addNode(db, 1);
    auto* abstractObj = new KxCloneAbstract();
    AcDbObjectId bad;
    ASSERT_EQ(db.addAcDbObject(bad, abstractObj), Acad::eOk);
    abstractObj->close();
    const AcDbObjectId owner = addNode(db);
    RecordingEventReactor reactor;
    AcDbIdMapping map;
    EXPECT_EQ(kxhost::copyObjects(AcDbObjectIdArray{good, bad}, owner, map), Acad::eNotApplicable);
    EXPECT_EQ(reactor.events, (Events{L"begin", L"abort"}));
    EXPECT_TRUE(cloneOf(map, good).isErased());
    EXPECT_FALSE(good.isErased());
}

TEST_F(CloneEventsTest, DeferredTranslationSharesOneRound) {
    AcDbDatabase db;
    const AcDbObjectId a = addNode(db, 1);
    const AcDbObjectId b = addNode(db, 2);
    editNode(a, [&](KxCloneNode* n) { n->hardPointer = b; });
    const AcDbObjectId owner = addNode(db);
    RecordingEventReactor reactor;
    AcDbIdMapping map;
    ASSERT_EQ(map.setDeepCloneContext(AcDb::kDcExplode), Acad::eOk);
    ASSERT_EQ(db.deepCloneObjects(AcDbObjectIdArray{a}, owner, map, true), Acad::eOk);
    EXPECT_EQ(reactor.events, (Events{L"begin"}));
    EXPECT_TRUE(map.isCloneRoundOpen());
    // Not translated yet: b is not cloned.
    EXPECT_EQ(viewNode(cloneOf(map, a)).hardPointer, b);
    ASSERT_EQ(db.deepCloneObjects(AcDbObjectIdArray{b}, owner, map), Acad::eOk);
    EXPECT_EQ(reactor.events, (Events{L"begin", L"xlation", L"end"}));
    EXPECT_EQ(reactor.beginContext, AcDb::kDcExplode);  // a context set beforehand is kept
    EXPECT_EQ(viewNode(cloneOf(map, a)).hardPointer, cloneOf(map, b));

    // A deferred round cannot go on into another drawing.
    AcDbDatabase other;
    const AcDbObjectId otherOwner = addNode(other);
    AcDbIdMapping split;
    ASSERT_EQ(db.deepCloneObjects(AcDbObjectIdArray{a}, owner, split, true), Acad::eOk);
    EXPECT_EQ(db.deepCloneObjects(AcDbObjectIdArray{b}, otherOwner, split), Acad::eWrongDatabase);
    ASSERT_EQ(db.deepCloneObjects(AcDbObjectIdArray{}, owner, split), Acad::eOk);
}

TEST_F(CloneEventsTest, CallsCheckTheirObjectsAndOwner) {
    AcDbDatabase db;
    AcDbDatabase other;
    const AcDbObjectId mine = addNode(db);
    const AcDbObjectId theirs = addNode(other);
    const AcDbObjectId owner = addNode(db);
    RecordingEventReactor reactor;
    AcDbIdMapping map;
    EXPECT_EQ(db.deepCloneObjects(AcDbObjectIdArray{theirs}, owner, map), Acad::eWrongDatabase);
    EXPECT_EQ(db.wblockCloneObjects(AcDbObjectIdArray{mine, theirs}, owner, map, AcDb::kDrcIgnore),
              Acad::eWrongDatabase);
    EXPECT_EQ(db.deepCloneObjects(AcDbObjectIdArray{mine}, AcDbObjectId::kNull, map),
              Acad::eNullObjectId);
    EXPECT_EQ(kxhost::copyObjects(AcDbObjectIdArray{mine, theirs}, owner, map),
              Acad::eWrongDatabase);
    EXPECT_TRUE(reactor.events.empty());
    EXPECT_EQ(map.numPairs(), 0);

    // An owner that cannot be opened for write aborts the started round.
    kxhost::setStrictOpens(true);
    {
        Open<KxCloneNode> busy(owner, AcDb::kForRead);
        EXPECT_EQ(db.deepCloneObjects(AcDbObjectIdArray{mine}, owner, map), Acad::eWasOpenForRead);
    }
    kxhost::setStrictOpens(false);
    EXPECT_EQ(reactor.events, (Events{L"begin", L"abort"}));
}

TEST_F(CloneEventsTest, CommandsRunInTheirContexts) {
    AcDbDatabase source;
    AcDbDatabase dest;
    const AcDbObjectId node = addNode(source, 1);
    const AcDbObjectId destOwner = addNode(dest);
    const AcDbObjectId sourceOwner = addNode(source);
    RecordingEventReactor reactor;
    struct Case {
        AcDb::DeepCloneType context;
        bool wblock;
    };
    for (const Case& c :
         {Case{AcDb::kDcCopy, false}, Case{AcDb::kDcExplode, false}, Case{AcDb::kDcBlock, false},
          Case{AcDb::kDcXrefBind, true}, Case{AcDb::kDcInsert, false}, Case{AcDb::kDcWblock, true},
          Case{AcDb::kDcXrefInsert, true}, Case{AcDb::kDcInsertCopy, false}}) {
        EXPECT_EQ(kxhost::isWblockContext(c.context), c.wblock) << c.context;
        AcDbIdMapping map;
        const bool sameDrawing = c.context <= AcDb::kDcBlock;
        ASSERT_EQ(kxhost::cloneObjectsInContext(c.context, AcDbObjectIdArray{node},
                                                sameDrawing ? sourceOwner : destOwner, map),
                  Acad::eOk);
        EXPECT_EQ(reactor.beginContext, c.context);
        EXPECT_EQ(map.deepCloneContext(), c.context);
    }
    AcDbIdMapping map;
    EXPECT_EQ(kxhost::bindXrefObjects(AcDbObjectIdArray{node}, destOwner, map), Acad::eOk);
    EXPECT_EQ(map.deepCloneContext(), AcDb::kDcXrefBind);
    EXPECT_EQ(reactor.events.size(), 27u);
}

}  // namespace
