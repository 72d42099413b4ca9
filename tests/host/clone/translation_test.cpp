// The translation pass: which ids of the clones are mapped, kept or dropped.
#include <gtest/gtest.h>

#include "host/db/xrecord.h"
#include "tests/host/clone/clone_test_support.h"

using clonetest::Chain;
using clonetest::Name;
using clonetest::Open;

namespace {

class TranslationTest : public CloneTest {
  protected:
    static std::wstring handleText(AcDbObjectId id) {
        return id.handle().getIntoAsciiBuffer().kwszPtr();
    }
    static resbuf* xdataOf(AcDbObjectId id) {
        Open<AcDbObject> obj(id, AcDb::kForRead);
        return obj.obj != nullptr ? obj->xData() : nullptr;
    }
};

TEST_F(TranslationTest, HandlesOfClonedObjectsAreMappedOthersKept) {
    AcDbDatabase db;
    const AcDbObjectId cloned = addNode(db, 1);
    const AcDbObjectId notCloned = addNode(db, 2);
    const AcDbObjectId tagged = addNode(db, 3);
    editNode(tagged, [&](KxCloneNode* n) {
        Chain xdata(acutBuildList(1001, L"KX_TAG", 1070, 1, 1071, 5, 1005,
                                  handleText(cloned).c_str(), 1005, handleText(notCloned).c_str(),
                                  1005, L"0", 1005, L"not a handle", 1005, L"FFFFFFF", 0));
        ASSERT_EQ(n->setXData(xdata.head), Acad::eOk);
    });
    const AcDbObjectId owner = addNode(db);

    AcDbIdMapping map;
    ASSERT_EQ(kxhost::copyObjects(AcDbObjectIdArray{tagged, cloned}, owner, map), Acad::eOk);
    Chain tags(xdataOf(cloneOf(map, tagged)));
    ASSERT_NE(tags.head, nullptr);
    EXPECT_EQ(clonetest::textAt(tags.head, 1005, 0), handleText(cloneOf(map, cloned)));
    EXPECT_EQ(clonetest::textAt(tags.head, 1005, 1), handleText(notCloned));
    EXPECT_EQ(clonetest::textAt(tags.head, 1005, 2), L"0");
    EXPECT_EQ(clonetest::textAt(tags.head, 1005, 3), L"not a handle");
    EXPECT_EQ(clonetest::textAt(tags.head, 1005, 4), L"FFFFFFF");

    // The source's own tags still name the source objects.
    Chain original(xdataOf(tagged));
    EXPECT_EQ(clonetest::textAt(original.head, 1005, 0), handleText(cloned));
}

TEST_F(TranslationTest, HandlesAcrossDrawingsNameTheClonesInTheDestination) {
    AcDbDatabase source;
    AcDbDatabase dest;
    // Make the handles of the two drawings differ, so a handle kept by mistake shows.
    for (int i = 0; i < 5; ++i) {
        addNode(dest);
    }
    const AcDbObjectId definition = addNode(source, 1);
    editNode(definition, [&](KxCloneNode* n) {
        Chain xdata(acutBuildList(1001, L"KX_TAG", 1005, handleText(definition).c_str(), 0));
        ASSERT_EQ(n->setXData(xdata.head), Acad::eOk);
    });
    const AcDbObjectId destOwner = addNode(dest);

    AcDbIdMapping map;
    ASSERT_EQ(kxhost::pasteObjects(AcDbObjectIdArray{definition}, destOwner, map), Acad::eOk);
    const AcDbObjectId clone = cloneOf(map, definition);
    ASSERT_EQ(clone.database(), &dest);
    ASSERT_NE(handleText(clone), handleText(definition));
    Chain tags(xdataOf(clone));
    // The tag keeps naming itself.
    EXPECT_EQ(clonetest::textAt(tags.head, 1005), handleText(clone));
}

TEST_F(TranslationTest, XrecordIdsAreTranslatedAndForeignOnesDropped) {
    for (bool acrossDrawings : {false, true}) {
        SCOPED_TRACE(acrossDrawings ? "across drawings" : "same drawing");
        AcDbDatabase source;
        AcDbDatabase other;
        AcDbDatabase& dest = acrossDrawings ? other : source;
        const AcDbObjectId target = addNode(source, 1);
        const AcDbObjectId bystander = addNode(source, 2);
        AcDbObjectId recordId;
        {
            auto* record = new AcDbXrecord();
            ASSERT_EQ(source.addAcDbObject(recordId, record), Acad::eOk);
            Name t(target);
            Name b(bystander);
            Chain items(
                acutBuildList(1, L"kind", 330, t.value, 340, b.value, 360, t.value, 90, 77, 0));
            ASSERT_EQ(record->setFromRbChain(*items.head), Acad::eOk);
            record->close();
        }
        const AcDbObjectId owner = addNode(dest);

        AcDbIdMapping map;
        ASSERT_EQ(kxhost::cloneObjectsInContext(acrossDrawings ? AcDb::kDcInsert : AcDb::kDcCopy,
                                                AcDbObjectIdArray{recordId, target}, owner, map),
                  Acad::eOk);
        Open<AcDbXrecord> copy(cloneOf(map, recordId), AcDb::kForRead);
        ASSERT_EQ(copy.status, Acad::eOk);
        resbuf* items = nullptr;
        ASSERT_EQ(copy->rbChain(&items), Acad::eOk);
        Chain held(items);
        ASSERT_EQ(items->rbnext->restype, 330);
        AcDbObjectId got;
        acdbGetObjectId(got, items->rbnext->resval.rlname);
        EXPECT_EQ(got, cloneOf(map, target));
        acdbGetObjectId(got, items->rbnext->rbnext->resval.rlname);
        EXPECT_EQ(got, acrossDrawings ? AcDbObjectId::kNull : bystander);
        acdbGetObjectId(got, items->rbnext->rbnext->rbnext->resval.rlname);
        EXPECT_EQ(got, cloneOf(map, target));
        EXPECT_EQ(items->rbnext->rbnext->rbnext->rbnext->resval.rlong, 77);
        EXPECT_EQ(clonetest::textAt(items, 1), L"kind");
    }
}

TEST_F(TranslationTest, OwnerAndPersistentReactorIdsAreTranslated) {
    AcDbDatabase db;
    const AcDbObjectId watched = addNode(db, 1);
    const AcDbObjectId watcher = addNode(db, 2);
    const AcDbObjectId outsider = addNode(db, 3);
    editNode(watched, [&](KxCloneNode* n) {
        n->addPersistentReactor(watcher);
        n->addPersistentReactor(outsider);
    });
    const AcDbObjectId owner = addNode(db);

    AcDbIdMapping map;
    ASSERT_EQ(kxhost::copyObjects(AcDbObjectIdArray{watched, watcher}, owner, map), Acad::eOk);
    const NodeView view = viewNode(cloneOf(map, watched));
    ASSERT_EQ(view.reactors.length(), 2);
    EXPECT_EQ(view.reactors[0], cloneOf(map, watcher));
    EXPECT_EQ(view.reactors[1], outsider);  // same drawing, not cloned: kept
    EXPECT_EQ(view.owner, owner);

    // Across drawings the reactor that was not cloned is dropped (null).
    AcDbDatabase dest;
    const AcDbObjectId destOwner = addNode(dest);
    AcDbIdMapping cross;
    ASSERT_EQ(kxhost::pasteObjects(AcDbObjectIdArray{watched, watcher}, destOwner, cross),
              Acad::eOk);
    const NodeView crossView = viewNode(cloneOf(cross, watched));
    ASSERT_GE(crossView.reactors.length(), 1);
    EXPECT_EQ(crossView.reactors[0], cloneOf(cross, watcher));
    for (int i = 1; i < crossView.reactors.length(); ++i) {
        EXPECT_TRUE(crossView.reactors[i].isNull());
    }
    EXPECT_EQ(crossView.owner, destOwner);
}

TEST_F(TranslationTest, CrossDrawingCloneNullsUnmappedIdsAndMapsTheRest) {
    AcDbDatabase source;
    AcDbDatabase dest;
    const AcDbObjectId a = addNode(source, 1);
    const AcDbObjectId b = addNode(source, 2);
    const AcDbObjectId left = addNode(source, 3);
    editNode(a, [&](KxCloneNode* n) {
        n->hardPointer = b;
        n->softPointer = left;
    });
    const AcDbObjectId destObject = addNode(dest, 9);
    const AcDbObjectId destOwner = addNode(dest);

    AcDbIdMapping map;
    // A pair the caller assigned for mapping only: `left` stands for an existing object.
    map.assign(AcDbIdPair(b, destObject, false));
    ASSERT_EQ(source.wblockCloneObjects(AcDbObjectIdArray{a}, destOwner, map, AcDb::kDrcIgnore),
              Acad::eOk);
    const NodeView view = viewNode(cloneOf(map, a));
    EXPECT_EQ(view.hardPointer, destObject);
    EXPECT_TRUE(view.softPointer.isNull());
    EXPECT_EQ(view.owner, destOwner);
    EXPECT_EQ(map.deepCloneContext(), AcDb::kDcWblkObjects);
    EXPECT_EQ(map.duplicateRecordCloning(), AcDb::kDrcIgnore);
    EXPECT_EQ(map.origDb(), &source);
    EXPECT_EQ(map.destDb(), &dest);
}

}  // namespace
