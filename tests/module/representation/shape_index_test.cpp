// The drawing index behind sharing representation blocks: blocks and references changed behind
// the module's back, stale entries, and the index's lifetime with its database and the module.
#include <gtest/gtest.h>

#include <vector>

#include "host/db/blocktable.h"
#include "host/db/blocktablerecord.h"
#include "host/db/database.h"
#include "host/entities/blockref.h"
#include "host/entities/circle.h"
#include "host/entities/line.h"
#include "host/ge/matrix3d.h"
#include "host/rx/dictionary.h"
#include "module/representation/equivalence.h"
#include "module/representation/representation.h"
#include "module/representation/representation_context.h"
#include "module/representation/shape_index.h"
#include "module/representation/tags.h"
#include "module/rootdata/root_data.h"
#include "support/module_loader.h"

namespace {

// Says yes to every pair it is asked about, and counts the questions.
class AlwaysEquivalent : public KxDbTagRepresentationEquivalence {
  public:
    bool isEquivalent(AcDbBlockReference* a, AcDbBlockReference* b) override {
        ++asked;
        return a != nullptr && b != nullptr;
    }
    int asked = 0;
};

AcRxProtocolReactorList* equivalenceList() {
    auto* services = AcRxDictionary::cast(acrxSysRegistry()->at(L"ServiceDictionary"));
    auto* factory =
        AcRxProtocolReactorManagerFactory::cast(services->at(L"ProtocolReactorManager"));
    AcRxProtocolReactorManager* manager = factory->createReactorManager(AcDbBlockReference::desc());
    return manager->createReactorList(KxDbTagRepresentationEquivalence::desc());
}

template <class T>
class Held {
  public:
    Held(const AcDbObjectId& id, AcDb::OpenMode mode) { status = acdbOpenObject(obj, id, mode); }
    ~Held() { close(); }
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;
    void close() {
        if (obj != nullptr) {
            obj->close();
            obj = nullptr;
        }
    }
    T* operator->() const { return obj; }
    T* obj = nullptr;
    Acad::ErrorStatus status = Acad::eOk;
};

class ShapeIndexTest;

// The fixture's drawing helpers for code outside the fixture.
struct ShapeIndexTestAccess {
    static AcDbObjectId addBlock(AcDbDatabase* in, const ACHAR* name);
    static AcDbObjectId append(const AcDbObjectId& blockId, AcDbEntity* ent);
};

class ShapeIndexTest : public kxtest::ModuleTest {
  protected:
    void SetUp() override {
        kxtest::ModuleTest::SetUp();
        kxhost::resetUnmatchedCloses();
        db = new AcDbDatabase(true, true);
        defId = addBlock(db, L"DYN");
        line = append(defId, new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(10, 0, 0)));
        circle = append(defId, new AcDbCircle(AcGePoint3d(5, 5, 0), AcGeVector3d::kZAxis, 1));
        for (int i = 0; i < 4; ++i) {
            refs.push_back(insert(defId, AcGePoint3d(100.0 * i, 0, 0)));
        }
    }
    void TearDown() override {
        if (reactor != nullptr) {
            equivalenceList()->removeReactor(reactor);
            delete reactor;
        }
        EXPECT_EQ(kxhost::unmatchedCloses(), 0);
        delete db;
        kxtest::ModuleTest::TearDown();
    }

    static AcDbObjectId addBlock(AcDbDatabase* in, const ACHAR* name) {
        return ShapeIndexTestAccess::addBlock(in, name);
    }
    static AcDbObjectId append(const AcDbObjectId& blockId, AcDbEntity* ent) {
        return ShapeIndexTestAccess::append(blockId, ent);
    }
    AcDbObjectId insert(const AcDbObjectId& blockId, const AcGePoint3d& at) {
        return append(db->modelSpaceId(), new AcDbBlockReference(at, blockId));
    }
    static AcDbObjectId blockOf(const AcDbObjectId& refId) {
        Held<AcDbBlockReference> ref(refId, AcDb::kForRead);
        return ref.obj != nullptr ? ref->blockTableRecord() : AcDbObjectId();
    }
    static int indexOf(const AcDbObjectId& id) {
        Held<AcDbEntity> ent(id, AcDb::kForRead);
        Adesk::Int32 index = -1;
        AcDbHandle handle;
        kxtags::readEntityTag(ent.obj, index, handle);
        return index;
    }
    // The entity of the block standing for the definition entity.
    static AcDbObjectId copyOf(const AcDbObjectId& blockId, const AcDbObjectId& definitionEntity) {
        const int wanted = indexOf(definitionEntity);
        for (const AcDbObjectId& id : kxhost::blockEntityIds(blockId)) {
            if (indexOf(id) == wanted) {
                return id;
            }
        }
        return AcDbObjectId();
    }
    // A change of the entity made by the host, not through a context.
    static void moveByHost(const AcDbObjectId& entityId, const AcGeVector3d& by) {
        Held<AcDbEntity> ent(entityId, AcDb::kForWrite);
        ASSERT_EQ(ent.status, Acad::eOk);
        ASSERT_EQ(ent->transformBy(AcGeMatrix3d::translation(by)), Acad::eOk);
    }
    static void setErased(const AcDbObjectId& id, bool erasing) {
        AcDbObject* obj = nullptr;
        ASSERT_EQ(acdbOpenObject(obj, id, AcDb::kForWrite, true), Acad::eOk);
        EXPECT_EQ(obj->erase(erasing), Acad::eOk);
        obj->close();
    }

    // One change of a reference as an action makes it: the entities standing for the
    // definition entity opened for write through a context and moved; the context's end offers
    // the reference for sharing.
    Acad::ErrorStatus moveEntity(const AcDbObjectId& refId, const AcDbObjectId& definitionEntity,
                                 const AcGeVector3d& by) {
        Held<AcDbBlockReference> ref(refId, AcDb::kForWrite);
        KxDbTagRepresentation* rep = KxDbTagRepresentation::of(ref.obj);
        if (rep == nullptr) {
            return Acad::eNotApplicable;
        }
        KxDbTagRepresentationContext* ctx = rep->newRepresentationContext(ref.obj);
        KxDbTagEntityList objects;
        Acad::ErrorStatus es =
            ctx->getObjectsForDefinitionEntity(definitionEntity, AcDb::kForWrite, objects);
        for (AcDbEntity* ent : objects) {
            ent->transformBy(AcGeMatrix3d::translation(by));
            ent->close();
        }
        if (es == Acad::eOk) {
            es = ctx->update();
        }
        delete ctx;
        return es;
    }

    AlwaysEquivalent* addReactor() {
        reactor = new AlwaysEquivalent();
        EXPECT_EQ(equivalenceList()->addReactor(reactor), Acad::eOk);
        return reactor;
    }

    AcDbDatabase* db = nullptr;
    AcDbObjectId defId, line, circle;
    std::vector<AcDbObjectId> refs;
    AlwaysEquivalent* reactor = nullptr;
};

AcDbObjectId ShapeIndexTestAccess::addBlock(AcDbDatabase* in, const ACHAR* name) {
    AcDbBlockTable* table = nullptr;
    EXPECT_EQ(in->getBlockTable(table, AcDb::kForWrite), Acad::eOk);
    auto* record = new AcDbBlockTableRecord();
    record->setName(name);
    AcDbObjectId id;
    EXPECT_EQ(table->add(id, record), Acad::eOk);
    record->close();
    table->close();
    return id;
}

AcDbObjectId ShapeIndexTestAccess::append(const AcDbObjectId& blockId, AcDbEntity* ent) {
    Held<AcDbBlockTableRecord> block(blockId, AcDb::kForWrite);
    AcDbObjectId id;
    EXPECT_EQ(block->appendAcDbEntity(id, ent), Acad::eOk);
    ent->close();
    return id;
}

TEST_F(ShapeIndexTest, SharingFollowsBlocksChangedBehindTheModulesBack) {
    ASSERT_EQ(moveEntity(refs[0], line, AcGeVector3d(0, 2, 0)), Acad::eOk);
    const AcDbObjectId first = blockOf(refs[0]);
    AlwaysEquivalent* eq = addReactor();
    ASSERT_EQ(moveEntity(refs[1], line, AcGeVector3d(0, 2, 0)), Acad::eOk);
    EXPECT_EQ(blockOf(refs[1]), first);
    EXPECT_TRUE(kxshare::isIndexed(db));

    // The shared block is changed by the host; refs[2] reaches the same state in two steps, the
    // first of which matches no block. Only an index that heard of the change finds it.
    moveByHost(copyOf(first, circle), AcGeVector3d(0, 30, 0));
    eq->asked = 0;
    ASSERT_EQ(moveEntity(refs[2], circle, AcGeVector3d(0, 30, 0)), Acad::eOk);
    EXPECT_NE(blockOf(refs[2]), first);
    EXPECT_EQ(eq->asked, 0);
    ASSERT_EQ(moveEntity(refs[2], line, AcGeVector3d(0, 2, 0)), Acad::eOk);
    EXPECT_GT(eq->asked, 0);
    EXPECT_EQ(blockOf(refs[2]), first);

    // What the block showed before matches it no more: refs[3] in that state keeps its own.
    eq->asked = 0;
    ASSERT_EQ(moveEntity(refs[3], line, AcGeVector3d(0, 2, 0)), Acad::eOk);
    EXPECT_NE(blockOf(refs[3]), first);
}

TEST_F(ShapeIndexTest, ErasedEntitiesAndBlocksLeaveAndRejoinTheCandidates) {
    ASSERT_EQ(moveEntity(refs[0], line, AcGeVector3d(0, 2, 0)), Acad::eOk);
    const AcDbObjectId first = blockOf(refs[0]);
    const AcDbObjectId circleCopy = copyOf(first, circle);
    addReactor();

    // One entity fewer: another count, not a candidate.
    setErased(circleCopy, true);
    ASSERT_EQ(moveEntity(refs[1], line, AcGeVector3d(0, 2, 0)), Acad::eOk);
    EXPECT_NE(blockOf(refs[1]), first);

    // Back again: refs[2] in the same state shares it (or the block of refs[1], made in the
    // same state meanwhile, which is equally right); it never keeps one of its own.
    setErased(circleCopy, false);
    ASSERT_EQ(moveEntity(refs[2], line, AcGeVector3d(0, 2, 0)), Acad::eOk);
    EXPECT_TRUE(blockOf(refs[2]) == first || blockOf(refs[2]) == blockOf(refs[1]));

    // An erased block is no candidate, whatever the index recorded for it (its reference is
    // still there, pointing at it).
    setErased(refs[1], true);
    if (blockOf(refs[2]) != first) {
        setErased(refs[2], true);
    }
    setErased(first, true);
    ASSERT_EQ(moveEntity(refs[3], line, AcGeVector3d(0, 2, 0)), Acad::eOk);
    EXPECT_NE(blockOf(refs[3]), first);
}

TEST_F(ShapeIndexTest, AStaleShapeNeverGivesAWrongShare) {
    ASSERT_EQ(moveEntity(refs[0], line, AcGeVector3d(0, 2, 0)), Acad::eOk);
    const AcDbObjectId first = blockOf(refs[0]);
    AlwaysEquivalent* eq = addReactor();
    // Changed and still open: the host has not told anybody yet, so the index still records
    // the shape refs[1] is about to take.
    {
        Held<AcDbEntity> changed(copyOf(first, circle), AcDb::kForWrite);
        ASSERT_EQ(changed.status, Acad::eOk);
        ASSERT_EQ(changed->transformBy(AcGeMatrix3d::translation(AcGeVector3d(0, 30, 0))),
                  Acad::eOk);
        ASSERT_EQ(moveEntity(refs[1], line, AcGeVector3d(0, 2, 0)), Acad::eOk);
        EXPECT_NE(blockOf(refs[1]), first);
        EXPECT_EQ(eq->asked, 0);
    }
    // Told now: the block is measured again and found when a reference matches it.
    ASSERT_EQ(moveEntity(refs[2], line, AcGeVector3d(0, 2, 0)), Acad::eOk);
    ASSERT_EQ(moveEntity(refs[2], circle, AcGeVector3d(0, 30, 0)), Acad::eOk);
    EXPECT_EQ(blockOf(refs[2]), first);
}

TEST_F(ShapeIndexTest, AReferenceMovedAwayUnannouncedNoLongerVouchesForItsBlock) {
    ASSERT_EQ(moveEntity(refs[0], line, AcGeVector3d(0, 2, 0)), Acad::eOk);
    const AcDbObjectId first = blockOf(refs[0]);
    addReactor();
    AcDbObjectIdArray shown;
    ASSERT_EQ(kxshare::referencesOf(db, first, shown), Acad::eOk);
    ASSERT_EQ(shown.length(), 1);
    EXPECT_EQ(shown[0], refs[0]);
    {
        // The only reference of `first` points back at the definition and stays open: the index
        // still lists it under `first`.
        Held<AcDbBlockReference> moved(refs[0], AcDb::kForWrite);
        ASSERT_EQ(moved->setBlockTableRecord(defId), Acad::eOk);
        ASSERT_EQ(moveEntity(refs[1], line, AcGeVector3d(0, 2, 0)), Acad::eOk);
        EXPECT_NE(blockOf(refs[1]), first);
        EXPECT_EQ(reactor->asked, 0);
    }
}

TEST_F(ShapeIndexTest, ABlockSharedByAReferenceAddedLaterIsCopiedBeforeItChanges) {
    ASSERT_EQ(moveEntity(refs[0], line, AcGeVector3d(0, 2, 0)), Acad::eOk);
    const AcDbObjectId first = blockOf(refs[0]);
    ASSERT_TRUE(kxshare::isIndexed(db));

    // A copy of refs[0] made by the host (appended) and a reference switched to the block
    // (modified) both show `first` from now on.
    const AcDbObjectId copy = insert(first, AcGePoint3d(0, 50, 0));
    {
        Held<AcDbBlockReference> switched(refs[3], AcDb::kForWrite);
        ASSERT_EQ(switched->setBlockTableRecord(first), Acad::eOk);
    }
    AcDbObjectIdArray shown;
    ASSERT_EQ(kxshare::referencesOf(db, first, shown), Acad::eOk);
    EXPECT_EQ(shown.length(), 3);
    EXPECT_TRUE(shown.contains(copy));
    EXPECT_TRUE(shown.contains(refs[3]));

    ASSERT_EQ(moveEntity(refs[0], circle, AcGeVector3d(0, 30, 0)), Acad::eOk);
    EXPECT_NE(blockOf(refs[0]), first);
    // The block the others show did not move.
    Held<AcDbCircle> untouched(copyOf(first, circle), AcDb::kForRead);
    ASSERT_EQ(untouched.status, Acad::eOk);
    EXPECT_TRUE(untouched->center().isEqualTo(AcGePoint3d(5, 5, 0)));
    untouched.close();

    // Erased references are not listed.
    setErased(copy, true);
    ASSERT_EQ(kxshare::referencesOf(db, first, shown), Acad::eOk);
    EXPECT_EQ(shown.length(), 1);
    EXPECT_EQ(shown[0], refs[3]);
}

// A drawing of host objects only (so that it may outlive the module) with a definition of one
// line and two representation blocks of it.
struct PlainDrawing {
    AcDbDatabase* db = new AcDbDatabase(true, true);
    AcDbObjectId definition, first, second;
    PlainDrawing() {
        definition = ShapeIndexTestAccess::addBlock(db, L"OTHER");
        ShapeIndexTestAccess::append(definition,
                                     new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 0, 0)));
        EXPECT_EQ(KxDbTagRepresentation::createRepresentationBlock(definition, first), Acad::eOk);
        EXPECT_EQ(KxDbTagRepresentation::createRepresentationBlock(definition, second), Acad::eOk);
    }
};

TEST_F(ShapeIndexTest, TheIndexGoesWithItsDatabaseAndWithTheModule) {
    ASSERT_EQ(moveEntity(refs[0], line, AcGeVector3d(0, 2, 0)), Acad::eOk);
    EXPECT_TRUE(kxshare::isIndexed(db));

    // A second drawing indexed and then deleted: its index goes with it, the first stays.
    auto* other = new PlainDrawing();
    kxshare::BlockShape shape;
    AcDbObjectIdArray candidates;
    ASSERT_EQ(kxshare::findSameShape(other->db, other->definition, other->first, shape, candidates),
              Acad::eOk);
    EXPECT_EQ(shape.count, 1);
    ASSERT_EQ(candidates.length(), 1);
    EXPECT_EQ(candidates[0], other->second);
    EXPECT_EQ(kxshare::indexedBlockCount(other->db), 2);
    const AcDbDatabase* gone = other->db;
    delete other->db;
    delete other;
    EXPECT_FALSE(kxshare::isIndexed(gone));
    EXPECT_TRUE(kxshare::isIndexed(db));

    // Unloading the module takes its reactor off a drawing it indexed: the drawing still changes
    // and goes afterwards without reaching unloaded code.
    delete db;
    db = nullptr;
    PlainDrawing plain;
    ASSERT_EQ(kxshare::findSameShape(plain.db, plain.definition, plain.first, shape, candidates),
              Acad::eOk);
    ASSERT_TRUE(kxshare::isIndexed(plain.db));
    module()->unload();
    moveByHost(kxhost::blockEntityIds(plain.first)[0], AcGeVector3d(1, 0, 0));
    delete plain.db;
}

// Facts read of a definition entity are kept only for entities the representation asked about,
// and only until the host says the entity changed or went.
TEST_F(ShapeIndexTest, EntityFactsAreKeptUntilTheEntityChanges) {
    ASSERT_EQ(moveEntity(refs[0], line, AcGeVector3d(0, 2, 0)), Acad::eOk);
    ASSERT_EQ(moveEntity(refs[1], line, AcGeVector3d(0, 2, 0)), Acad::eOk);
    ASSERT_TRUE(kxshare::isIndexed(db));
    EXPECT_TRUE(kxshare::hasEntityFacts(line));
    kxshare::EntityFacts facts;
    ASSERT_TRUE(kxshare::cachedEntityFacts(line, facts));
    EXPECT_EQ(facts.owner, defId);
    EXPECT_EQ(facts.index, indexOf(line));
    EXPECT_FALSE(kxshare::hasEntityFacts(circle)) << "never asked about";
    EXPECT_FALSE(kxshare::hasEntityFacts(defId)) << "a block is no entity";
    EXPECT_FALSE(kxshare::hasEntityFacts(AcDbObjectId()));

    moveByHost(line, AcGeVector3d(1, 0, 0));
    EXPECT_FALSE(kxshare::hasEntityFacts(line)) << "changed by the host";
    ASSERT_EQ(moveEntity(refs[2], line, AcGeVector3d(0, 2, 0)), Acad::eOk);
    EXPECT_TRUE(kxshare::hasEntityFacts(line)) << "read again";
    setErased(line, true);
    EXPECT_FALSE(kxshare::hasEntityFacts(line)) << "erased";
}

// Changes of several entities of one block in a row: each drops what is kept for the block,
// also when it was kept again between two of them; facts of one entity go only with its own
// change.
TEST_F(ShapeIndexTest, KeptBlockAndEntityFactsGoWithEveryChange) {
    ASSERT_EQ(moveEntity(refs[0], line, AcGeVector3d(0, 2, 0)), Acad::eOk);
    ASSERT_EQ(moveEntity(refs[1], circle, AcGeVector3d(0, 2, 0)), Acad::eOk);
    // Facts are kept once the drawing is indexed (by the first change's end).
    ASSERT_EQ(moveEntity(refs[2], line, AcGeVector3d(0, 1, 0)), Acad::eOk);
    ASSERT_EQ(moveEntity(refs[2], circle, AcGeVector3d(0, 1, 0)), Acad::eOk);
    ASSERT_TRUE(kxshare::hasEntityFacts(line));
    ASSERT_TRUE(kxshare::hasEntityFacts(circle));
    bool proxies = true;
    kxshare::keepHasProxyEntities(defId, false);
    ASSERT_TRUE(kxshare::cachedHasProxyEntities(defId, proxies));
    EXPECT_FALSE(proxies);

    moveByHost(line, AcGeVector3d(1, 0, 0));
    EXPECT_FALSE(kxshare::cachedHasProxyEntities(defId, proxies));
    EXPECT_FALSE(kxshare::hasEntityFacts(line));
    EXPECT_TRUE(kxshare::hasEntityFacts(circle)) << "not changed";

    kxshare::keepHasProxyEntities(defId, true);
    moveByHost(circle, AcGeVector3d(1, 0, 0));
    EXPECT_FALSE(kxshare::cachedHasProxyEntities(defId, proxies)) << "kept again, changed again";
    EXPECT_FALSE(kxshare::hasEntityFacts(circle));
    kxshare::keepHasProxyEntities(defId, true);
    moveByHost(circle, AcGeVector3d(1, 0, 0));
    EXPECT_FALSE(kxshare::cachedHasProxyEntities(defId, proxies)) << "the same entity again";

    // A block of another definition keeps its own.
    const AcDbObjectId first = blockOf(refs[0]);
    kxshare::keepHasProxyEntities(first, false);
    moveByHost(line, AcGeVector3d(1, 0, 0));
    EXPECT_TRUE(kxshare::cachedHasProxyEntities(first, proxies));
    moveByHost(copyOf(first, line), AcGeVector3d(1, 0, 0));
    EXPECT_FALSE(kxshare::cachedHasProxyEntities(first, proxies));

    // The drawing goes and another one comes (often where the first one was): nothing of the
    // first drawing's index answers for it, and nothing is kept for it before it is indexed.
    kxshare::EntityFacts facts;
    ASSERT_TRUE(kxshare::cachedEntityFacts(circle, facts) || kxshare::hasEntityFacts(line) ||
                kxshare::isIndexed(db));
    delete db;
    db = new AcDbDatabase(true, true);
    const AcDbObjectId otherBlock = addBlock(db, L"OTHER");
    const AcDbObjectId otherLine =
        append(otherBlock, new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 0, 0)));
    EXPECT_FALSE(kxshare::isIndexed(db));
    kxshare::keepEntityFacts(otherLine, facts);
    EXPECT_FALSE(kxshare::hasEntityFacts(otherLine));
    EXPECT_FALSE(kxshare::cachedEntityFacts(otherLine, facts));
    kxshare::keepHasProxyEntities(otherBlock, true);
    EXPECT_FALSE(kxshare::cachedHasProxyEntities(otherBlock, proxies));
}

// The shape handed back: the count always, the extents when another block of the definition has
// that count (then the block is measured and compared).
TEST_F(ShapeIndexTest, ShapesAreMeasuredWhenABlockCouldMatch) {
    ASSERT_EQ(moveEntity(refs[0], line, AcGeVector3d(0, 2, 0)), Acad::eOk);
    ASSERT_EQ(moveEntity(refs[1], circle, AcGeVector3d(0, 2, 0)), Acad::eOk);
    const AcDbObjectId first = blockOf(refs[0]);
    const AcDbObjectId second = blockOf(refs[1]);
    ASSERT_NE(first, second);
    kxshare::BlockShape shape;
    AcDbObjectIdArray found;
    ASSERT_EQ(kxshare::findSameShape(db, defId, first, shape, found), Acad::eOk);
    EXPECT_EQ(shape.count, 2);
    ASSERT_FALSE(shape.extents.isEmpty());
    EXPECT_TRUE(found.isEmpty());
    EXPECT_TRUE(kxshare::sameShape(shape, kxshare::shapeOf(first)));

    // Changed by the host into the other's shape: found, and the other way round too.
    moveByHost(copyOf(first, line), AcGeVector3d(0, -2, 0));
    moveByHost(copyOf(first, circle), AcGeVector3d(0, 2, 0));
    ASSERT_EQ(kxshare::findSameShape(db, defId, first, shape, found), Acad::eOk);
    ASSERT_EQ(found.length(), 1);
    EXPECT_EQ(found[0], second);
    ASSERT_EQ(kxshare::findSameShape(db, defId, second, shape, found), Acad::eOk);
    ASSERT_EQ(found.length(), 1);
    EXPECT_EQ(found[0], first);

    // One entity fewer: no other block has that count.
    setErased(copyOf(second, line), true);
    ASSERT_EQ(kxshare::findSameShape(db, defId, second, shape, found), Acad::eOk);
    EXPECT_EQ(shape.count, 1);
    EXPECT_TRUE(found.isEmpty());
    ASSERT_EQ(kxshare::findSameShape(db, defId, first, shape, found), Acad::eOk);
    EXPECT_TRUE(found.isEmpty());
}

TEST_F(ShapeIndexTest, RefusesWhatItCannotLookInto) {
    kxshare::BlockShape shape;
    AcDbObjectIdArray found;
    EXPECT_EQ(kxshare::findSameShape(nullptr, defId, defId, shape, found), Acad::eNoDatabase);
    EXPECT_EQ(kxshare::findSameShape(db, AcDbObjectId(), defId, shape, found), Acad::eNullObjectId);
    EXPECT_EQ(kxshare::referencesOf(nullptr, defId, found), Acad::eNoDatabase);
    EXPECT_EQ(kxshare::referencesOf(db, AcDbObjectId(), found), Acad::eNullObjectId);
    // The definition itself is no candidate for anything: it is not anonymous.
    ASSERT_EQ(kxshare::findSameShape(db, defId, defId, shape, found), Acad::eOk);
    EXPECT_EQ(shape.count, 2);
    EXPECT_TRUE(found.isEmpty());
    ASSERT_EQ(kxshare::referencesOf(db, defId, found), Acad::eOk);
    EXPECT_EQ(found.length(), 4);
}

}  // namespace
