// Representation blocks of dynamic block references: the first change, copies of shared
// blocks, sharing equivalent blocks, failed changes and refused references.
#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "host/db/blocktable.h"
#include "host/db/blocktablerecord.h"
#include "host/db/database.h"
#include "host/db/idmapping.h"
#include "host/db/sortents.h"
#include "host/entities/attdef.h"
#include "host/entities/attrib.h"
#include "host/entities/blockref.h"
#include "host/entities/circle.h"
#include "host/entities/line.h"
#include "host/entities/proxyentity.h"
#include "host/ge/matrix3d.h"
#include "host/rx/dictionary.h"
#include "module/display/drawable_overrule.h"
#include "module/representation/equivalence.h"
#include "module/representation/representation.h"
#include "module/representation/representation_context.h"
#include "module/representation/tags.h"
#include "module/rootdata/root_data.h"
#include "support/module_loader.h"

namespace {

// An equivalence reactor with a fixed answer that counts its questions.
class FixedEquivalence : public KxDbTagRepresentationEquivalence {
  public:
    bool isEquivalent(AcDbBlockReference* a, AcDbBlockReference* b) override {
        ++asked;
        return a != nullptr && b != nullptr && answer;
    }
    bool answer = true;
    int asked = 0;
};

AcRxProtocolReactorList* equivalenceList() {
    auto* services = AcRxDictionary::cast(acrxSysRegistry()->at(L"ServiceDictionary"));
    auto* factory =
        AcRxProtocolReactorManagerFactory::cast(services->at(L"ProtocolReactorManager"));
    AcRxProtocolReactorManager* manager = factory->createReactorManager(AcDbBlockReference::desc());
    return manager->createReactorList(KxDbTagRepresentationEquivalence::desc());
}

class RepresentationUpdateTest : public kxtest::ModuleTest {
  protected:
    void SetUp() override {
        kxtest::ModuleTest::SetUp();
        kxhost::resetAssertionViolations();
        kxhost::resetUnmatchedCloses();
        db = new AcDbDatabase(true, true);
        defId = addBlock(L"DYN");
        line = append(defId, new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(10, 0, 0)));
        erasedLine = append(defId, new AcDbLine(AcGePoint3d(0, 5, 0), AcGePoint3d(10, 5, 0)));
        circle = append(defId, new AcDbCircle(AcGePoint3d(5, 5, 0), AcGeVector3d::kZAxis, 1));
        attdef = append(defId,
                        new AcDbAttributeDefinition(AcGePoint3d(0, -2, 0), L"v", L"NAME", L"Name"));
        AcDbObject* obj = nullptr;
        ASSERT_EQ(acdbOpenObject(obj, erasedLine, AcDb::kForWrite), Acad::eOk);
        obj->erase();
        obj->close();
        // Draw order differs from the order of appending: the circle first.
        AcDbBlockTableRecord* block = nullptr;
        ASSERT_EQ(acdbOpenObject(block, defId, AcDb::kForWrite), Acad::eOk);
        AcDbSortentsTable* sort = nullptr;
        ASSERT_EQ(block->getSortentsTable(sort, AcDb::kForWrite, true), Acad::eOk);
        ASSERT_EQ(sort->setRelativeDrawOrder(AcDbObjectIdArray{circle, line}), Acad::eOk);
        sort->close();
        block->close();
        for (int i = 0; i < 3; ++i) {
            refs.push_back(insert(defId, AcGePoint3d(100.0 * i, 0, 0)));
        }
    }
    void TearDown() override {
        if (reactor != nullptr) {
            equivalenceList()->removeReactor(reactor);
            delete reactor;
        }
        EXPECT_TRUE(allClosed());
        EXPECT_EQ(kxhost::assertionViolations(), 0);
        EXPECT_EQ(kxhost::unmatchedCloses(), 0);
        delete db;
        kxtest::ModuleTest::TearDown();
    }

    bool allClosed() {
        bool ok = true;
        kxhost::setStrictOpens(true);
        for (const AcDbObjectId& id : kxhost::objectIds(db)) {
            AcDbObject* obj = nullptr;
            if (acdbOpenObject(obj, id, AcDb::kForWrite, true) == Acad::eOk) {
                obj->close();
            } else {
                ADD_FAILURE() << "object " << id.asOldId() << " still open";
                ok = false;
            }
        }
        kxhost::setStrictOpens(false);
        return ok;
    }

    AcDbObjectId addBlock(const ACHAR* name) {
        AcDbBlockTable* table = nullptr;
        EXPECT_EQ(db->getBlockTable(table, AcDb::kForWrite), Acad::eOk);
        auto* record = new AcDbBlockTableRecord();
        record->setName(name);
        AcDbObjectId id;
        EXPECT_EQ(table->add(id, record), Acad::eOk);
        record->close();
        table->close();
        return id;
    }
    AcDbObjectId append(const AcDbObjectId& blockId, AcDbEntity* ent) {
        AcDbBlockTableRecord* block = nullptr;
        EXPECT_EQ(acdbOpenObject(block, blockId, AcDb::kForWrite), Acad::eOk);
        AcDbObjectId id;
        EXPECT_EQ(block->appendAcDbEntity(id, ent), Acad::eOk);
        ent->close();
        block->close();
        return id;
    }
    AcDbObjectId insert(const AcDbObjectId& blockId, const AcGePoint3d& at) {
        auto* ref = new AcDbBlockReference(at, blockId);
        const AcDbObjectId id = append(db->modelSpaceId(), ref);
        AcDbBlockReference* open = nullptr;
        EXPECT_EQ(acdbOpenObject(open, id, AcDb::kForWrite), Acad::eOk);
        auto* attribute = new AcDbAttribute(AcGePoint3d(0, -2, 0), L"v", L"NAME");
        EXPECT_EQ(open->appendAttribute(attribute), Acad::eOk);
        attribute->close();
        open->close();
        return id;
    }

    AcDbObjectId blockOf(const AcDbObjectId& refId) {
        AcDbBlockReference* ref = nullptr;
        EXPECT_EQ(acdbOpenObject(ref, refId, AcDb::kForRead), Acad::eOk);
        const AcDbObjectId id = ref != nullptr ? ref->blockTableRecord() : AcDbObjectId();
        if (ref != nullptr) {
            ref->close();
        }
        return id;
    }
    AcDbObjectId sourceDefinitionOf(const AcDbObjectId& refId) {
        KxDbTagRootData* rd = nullptr;
        AcDbObjectId id;
        if (KxDbTagRootData::openRootData(db, AcDb::kForRead, rd) == Acad::eOk) {
            rd->getSourceDefinition(refId, id);
            rd->close();
        }
        return id;
    }
    int blockCount() {
        AcDbBlockTable* table = nullptr;
        EXPECT_EQ(db->getBlockTable(table, AcDb::kForRead), Acad::eOk);
        AcDbBlockTableIterator* it = nullptr;
        table->newIterator(it);
        int n = 0;
        for (it->start(); !it->done(); it->step()) {
            ++n;
        }
        delete it;
        table->close();
        return n;
    }
    int referenceCount(const AcDbObjectId& blockId) {
        AcDbBlockTableRecord* block = nullptr;
        EXPECT_EQ(acdbOpenObject(block, blockId, AcDb::kForRead), Acad::eOk);
        AcDbObjectIdArray ids;
        block->getBlockReferenceIds(ids);
        block->close();
        return ids.length();
    }
    // Entity index of each entity of the block, in draw order.
    std::vector<int> indicesInDrawOrder(const AcDbObjectId& blockId) {
        AcDbBlockTableRecord* block = nullptr;
        EXPECT_EQ(acdbOpenObject(block, blockId, AcDb::kForRead), Acad::eOk);
        AcDbSortentsTable* sort = nullptr;
        AcDbObjectIdArray order;
        if (block->getSortentsTable(sort, AcDb::kForRead) == Acad::eOk) {
            sort->getFullDrawOrder(order);
            sort->close();
        } else {
            order = kxhost::blockEntityIds(blockId);
        }
        block->close();
        std::vector<int> out;
        for (const AcDbObjectId& id : order) {
            out.push_back(indexOf(id));
        }
        return out;
    }
    int indexOf(const AcDbObjectId& id) {
        AcDbObject* obj = nullptr;
        EXPECT_EQ(acdbOpenObject(obj, id, AcDb::kForRead), Acad::eOk);
        Adesk::Int32 index = -1;
        AcDbHandle handle;
        kxtags::readEntityTag(obj, index, handle);
        obj->close();
        return index;
    }
    AcGePoint3d lineStart(const AcDbObjectId& id) {
        AcDbLine* l = nullptr;
        EXPECT_EQ(acdbOpenObject(l, id, AcDb::kForRead), Acad::eOk);
        const AcGePoint3d p = l->startPoint();
        l->close();
        return p;
    }
    // The entity of the block standing for the definition entity.
    AcDbObjectId copyOf(const AcDbObjectId& blockId, const AcDbObjectId& definitionEntity) {
        const int wanted = indexOf(definitionEntity);
        for (const AcDbObjectId& id : kxhost::blockEntityIds(blockId)) {
            if (indexOf(id) == wanted) {
                return id;
            }
        }
        return AcDbObjectId();
    }

    // One change of a reference, as an action makes it: the entities standing for the
    // definition entity are opened for write through the context and moved.
    Acad::ErrorStatus moveEntity(const AcDbObjectId& refId, const AcDbObjectId& definitionEntity,
                                 const AcGeVector3d& by) {
        AcDbBlockReference* ref = nullptr;
        EXPECT_EQ(acdbOpenObject(ref, refId, AcDb::kForWrite), Acad::eOk);
        KxDbTagRepresentation* rep = KxDbTagRepresentation::of(ref);
        EXPECT_NE(rep, nullptr);
        KxDbTagRepresentationContext* ctx = rep->newRepresentationContext(ref);
        KxDbTagEntityList objects;
        Acad::ErrorStatus es =
            ctx->getObjectsForDefinitionEntity(definitionEntity, AcDb::kForWrite, objects);
        for (AcDbEntity* ent : objects) {
            if (AcDbAttribute::cast(ent) == nullptr) {
                ent->transformBy(AcGeMatrix3d::translation(by));
            }
            ent->close();
        }
        if (es == Acad::eOk) {
            es = ctx->update();
        }
        delete ctx;
        ref->close();
        return es;
    }

    FixedEquivalence* addReactor(bool answer) {
        reactor = new FixedEquivalence();
        reactor->answer = answer;
        EXPECT_EQ(equivalenceList()->addReactor(reactor), Acad::eOk);
        return reactor;
    }

    AcDbDatabase* db = nullptr;
    AcDbObjectId defId, line, erasedLine, circle, attdef;
    std::vector<AcDbObjectId> refs;
    FixedEquivalence* reactor = nullptr;
};

TEST_F(RepresentationUpdateTest, FirstChangeCreatesOneTaggedCopyInDrawOrder) {
    const int blocksBefore = blockCount();
    ASSERT_EQ(moveEntity(refs[0], line, AcGeVector3d(0, 3, 0)), Acad::eOk);

    EXPECT_EQ(blockCount(), blocksBefore + 1);
    const AcDbObjectId rep = blockOf(refs[0]);
    ASSERT_NE(rep, defId);
    AcDbBlockTableRecord* block = nullptr;
    ASSERT_EQ(acdbOpenObject(block, rep, AcDb::kForRead), Acad::eOk);
    EXPECT_TRUE(block->isAnonymous());
    AcDbObjectId tagged;
    EXPECT_EQ(kxtags::readBlockTag(block, tagged), Acad::eOk);
    EXPECT_EQ(tagged, defId);
    block->close();
    EXPECT_EQ(sourceDefinitionOf(refs[0]), defId);

    // Copies of the three live definition entities, each tagged like its original, in the
    // definition's draw order.
    EXPECT_EQ(kxhost::blockEntityIds(rep).length(), 3);
    EXPECT_EQ(indicesInDrawOrder(rep), indicesInDrawOrder(defId));
    for (const AcDbObjectId& id : {line, circle, attdef}) {
        EXPECT_GE(indexOf(id), 0);
        EXPECT_FALSE(copyOf(rep, id).isNull());
    }
    EXPECT_TRUE(lineStart(copyOf(rep, line)).isEqualTo(AcGePoint3d(0, 3, 0)));

    // The definition and the other references are untouched.
    EXPECT_TRUE(lineStart(line).isEqualTo(AcGePoint3d(0, 0, 0)));
    EXPECT_EQ(blockOf(refs[1]), defId);
    EXPECT_EQ(blockOf(refs[2]), defId);
    EXPECT_TRUE(sourceDefinitionOf(refs[1]).isNull());

    // A second change works on the same block in place.
    ASSERT_EQ(moveEntity(refs[0], line, AcGeVector3d(0, 1, 0)), Acad::eOk);
    EXPECT_EQ(blockOf(refs[0]), rep);
    EXPECT_EQ(blockCount(), blocksBefore + 1);
    EXPECT_TRUE(lineStart(copyOf(rep, line)).isEqualTo(AcGePoint3d(0, 4, 0)));
}

TEST_F(RepresentationUpdateTest, ReadingDoesNotCopyButWritingDoes) {
    AcDbBlockReference* ref = nullptr;
    ASSERT_EQ(acdbOpenObject(ref, refs[0], AcDb::kForRead), Acad::eOk);
    KxDbTagRepresentationContext* ctx =
        KxDbTagRepresentation::of(ref)->newRepresentationContext(ref);
    KxDbTagEntityList objects;
    ASSERT_EQ(ctx->getRepresentationObjects(AcDb::kForRead, objects), Acad::eOk);
    EXPECT_EQ(objects.size(), 4u);  // three entities and the attribute
    for (AcDbEntity* ent : objects) {
        ent->close();
    }
    EXPECT_EQ(ref->blockTableRecord(), defId);
    EXPECT_FALSE(ctx->isChanged());

    ASSERT_EQ(ctx->getRepresentationObjects(AcDb::kForWrite, objects), Acad::eOk);
    EXPECT_EQ(objects.size(), 4u);
    for (AcDbEntity* ent : objects) {
        EXPECT_NE(ent->ownerId(), defId);
        ent->close();
    }
    EXPECT_NE(ref->blockTableRecord(), defId);
    EXPECT_TRUE(ctx->isUnique());
    EXPECT_TRUE(ctx->isChanged());

    // The attribute definition's objects: its copy and the reference's attribute.
    ASSERT_EQ(ctx->getObjectsForDefinitionEntity(attdef, AcDb::kForRead, objects), Acad::eOk);
    ASSERT_EQ(objects.size(), 2u);
    EXPECT_NE(AcDbAttributeDefinition::cast(objects[0]), nullptr);
    EXPECT_NE(AcDbAttribute::cast(objects[1]), nullptr);
    for (AcDbEntity* ent : objects) {
        ent->close();
    }
    delete ctx;
    ref->close();
}

TEST_F(RepresentationUpdateTest, ASharedBlockIsCopiedBeforeItChanges) {
    ASSERT_EQ(moveEntity(refs[0], line, AcGeVector3d(0, 2, 0)), Acad::eOk);
    const AcDbObjectId shared = blockOf(refs[0]);
    // The other two references come to share that block (as after an equivalence match).
    for (int i : {1, 2}) {
        AcDbBlockReference* ref = nullptr;
        ASSERT_EQ(acdbOpenObject(ref, refs[i], AcDb::kForWrite), Acad::eOk);
        ASSERT_EQ(KxDbTagRepresentation::of(ref)->setReferenceBlock(ref, shared), Acad::eOk);
        ref->close();
        KxDbTagRootData* rd = nullptr;
        ASSERT_EQ(KxDbTagRootData::openRootData(db, AcDb::kForWrite, true, rd), Acad::eOk);
        ASSERT_EQ(rd->setSourceDefinition(refs[i], defId), Acad::eOk);
        rd->close();
    }
    ASSERT_EQ(referenceCount(shared), 3);

    ASSERT_EQ(moveEntity(refs[1], circle, AcGeVector3d(1, 0, 0)), Acad::eOk);
    const AcDbObjectId own = blockOf(refs[1]);
    EXPECT_NE(own, shared);
    EXPECT_EQ(blockOf(refs[0]), shared);
    EXPECT_EQ(blockOf(refs[2]), shared);
    EXPECT_EQ(referenceCount(shared), 2);
    // The copy kept the shared state and then took the change; the shared block did not.
    EXPECT_TRUE(lineStart(copyOf(own, line)).isEqualTo(AcGePoint3d(0, 2, 0)));
    AcDbCircle* c = nullptr;
    ASSERT_EQ(acdbOpenObject(c, copyOf(own, circle), AcDb::kForRead), Acad::eOk);
    EXPECT_TRUE(c->center().isEqualTo(AcGePoint3d(6, 5, 0)));
    c->close();
    ASSERT_EQ(acdbOpenObject(c, copyOf(shared, circle), AcDb::kForRead), Acad::eOk);
    EXPECT_TRUE(c->center().isEqualTo(AcGePoint3d(5, 5, 0)));
    c->close();
    AcDbBlockTableRecord* block = nullptr;
    ASSERT_EQ(acdbOpenObject(block, own, AcDb::kForRead), Acad::eOk);
    AcDbObjectId tagged;
    EXPECT_EQ(kxtags::readBlockTag(block, tagged), Acad::eOk);
    EXPECT_EQ(tagged, defId);  // the copy names the definition, not the block it came from
    block->close();
}

TEST_F(RepresentationUpdateTest, AReferenceMovesToAnEquivalentBlockAndItsFormerBlockEmpties) {
    ASSERT_EQ(moveEntity(refs[0], line, AcGeVector3d(0, 2, 0)), Acad::eOk);
    const AcDbObjectId first = blockOf(refs[0]);
    FixedEquivalence* eq = addReactor(true);
    ASSERT_EQ(moveEntity(refs[1], line, AcGeVector3d(0, 2, 0)), Acad::eOk);
    EXPECT_GT(eq->asked, 0);
    EXPECT_EQ(blockOf(refs[1]), first);
    EXPECT_EQ(referenceCount(first), 2);
    // The block made for the change stays in the drawing without references.
    EXPECT_EQ(blockCount(), 4 + 1);  // model space, paper space, DYN, *U(first), *U(former)
}

TEST_F(RepresentationUpdateTest, NoSharingWhenTheReactorsSayNoOrTheShapesDiffer) {
    ASSERT_EQ(moveEntity(refs[0], line, AcGeVector3d(0, 2, 0)), Acad::eOk);
    const AcDbObjectId first = blockOf(refs[0]);
    FixedEquivalence* eq = addReactor(false);
    ASSERT_EQ(moveEntity(refs[1], line, AcGeVector3d(0, 2, 0)), Acad::eOk);
    EXPECT_GT(eq->asked, 0);
    EXPECT_NE(blockOf(refs[1]), first);

    // Different extents: never asked, never shared.
    eq->answer = true;
    eq->asked = 0;
    ASSERT_EQ(moveEntity(refs[2], line, AcGeVector3d(0, 50, 0)), Acad::eOk);
    EXPECT_EQ(eq->asked, 0);
    EXPECT_NE(blockOf(refs[2]), first);
    EXPECT_EQ(referenceCount(first), 1);
}

TEST_F(RepresentationUpdateTest, BlocksWithoutALiveReferenceAreNeverChosen) {
    // Two orphaned copies of the definition with the very extents the change will produce.
    AcDbObjectId orphan1, orphan2;
    ASSERT_EQ(KxDbTagRepresentation::createRepresentationBlock(defId, orphan1), Acad::eOk);
    ASSERT_EQ(KxDbTagRepresentation::createRepresentationBlock(defId, orphan2), Acad::eOk);
    // A third one whose only reference is erased.
    const AcDbObjectId erasedRef = insert(defId, AcGePoint3d(0, 0, 0));
    ASSERT_EQ(moveEntity(erasedRef, circle, AcGeVector3d(0, 0, 0)), Acad::eOk);
    AcDbObject* obj = nullptr;
    ASSERT_EQ(acdbOpenObject(obj, erasedRef, AcDb::kForWrite), Acad::eOk);
    obj->erase();
    obj->close();

    FixedEquivalence* eq = addReactor(true);
    ASSERT_EQ(moveEntity(refs[0], circle, AcGeVector3d(0, 0, 0)), Acad::eOk);
    EXPECT_EQ(eq->asked, 0);
    const AcDbObjectId own = blockOf(refs[0]);
    EXPECT_NE(own, orphan1);
    EXPECT_NE(own, orphan2);
    EXPECT_EQ(referenceCount(own), 1);
}

TEST_F(RepresentationUpdateTest, OtherReferencesOfTheFormerBlockFollow) {
    // refs 0 and 1 share one block, ref 2 has another in the same state.
    ASSERT_EQ(moveEntity(refs[2], line, AcGeVector3d(0, 2, 0)), Acad::eOk);
    const AcDbObjectId target = blockOf(refs[2]);
    AcDbObjectId shared;
    ASSERT_EQ(KxDbTagRepresentation::createRepresentationBlock(target, shared), Acad::eOk);
    for (int i : {0, 1}) {
        AcDbBlockReference* ref = nullptr;
        ASSERT_EQ(acdbOpenObject(ref, refs[i], AcDb::kForWrite), Acad::eOk);
        ASSERT_EQ(KxDbTagRepresentation::of(ref)->setReferenceBlock(ref, shared), Acad::eOk);
        ref->close();
        KxDbTagRootData* rd = nullptr;
        ASSERT_EQ(KxDbTagRootData::openRootData(db, AcDb::kForWrite, true, rd), Acad::eOk);
        ASSERT_EQ(rd->setSourceDefinition(refs[i], defId), Acad::eOk);
        rd->close();
    }
    addReactor(true);
    AcDbBlockReference* ref = nullptr;
    ASSERT_EQ(acdbOpenObject(ref, refs[0], AcDb::kForWrite), Acad::eOk);
    EXPECT_EQ(KxDbTagRepresentation::of(ref)->shareEquivalentRepresentation(ref), Acad::eOk);
    ref->close();
    EXPECT_EQ(blockOf(refs[0]), target);
    EXPECT_EQ(blockOf(refs[1]), target);
    EXPECT_EQ(referenceCount(shared), 0);
}

TEST_F(RepresentationUpdateTest, AFailedFirstChangeIsTakenBack) {
    const int blocksBefore = blockCount();
    AcDbBlockReference* ref = nullptr;
    ASSERT_EQ(acdbOpenObject(ref, refs[0], AcDb::kForWrite), Acad::eOk);
    KxDbTagRepresentationContext* ctx =
        KxDbTagRepresentation::of(ref)->newRepresentationContext(ref);
    KxDbTagEntityList objects;
    ASSERT_EQ(ctx->getObjectsForDefinitionEntity(line, AcDb::kForWrite, objects), Acad::eOk);
    ASSERT_EQ(objects.size(), 1u);
    objects[0]->transformBy(AcGeMatrix3d::translation(AcGeVector3d(0, 9, 0)));
    objects[0]->close();
    const AcDbObjectId created = ref->blockTableRecord();
    ASSERT_NE(created, defId);
    // A later node of the evaluation failed.
    EXPECT_EQ(ctx->abandonChange(), Acad::eOk);
    EXPECT_EQ(ref->blockTableRecord(), defId);
    delete ctx;
    ref->close();

    EXPECT_EQ(blockCount(), blocksBefore);
    EXPECT_TRUE(created.isErased());
    EXPECT_TRUE(sourceDefinitionOf(refs[0]).isNull());
    EXPECT_TRUE(lineStart(line).isEqualTo(AcGePoint3d(0, 0, 0)));
}

TEST_F(RepresentationUpdateTest, AddRemoveAndCloneKeepEntitiesTagged) {
    AcDbBlockReference* ref = nullptr;
    ASSERT_EQ(acdbOpenObject(ref, refs[0], AcDb::kForWrite), Acad::eOk);
    KxDbTagRepresentationContext* ctx =
        KxDbTagRepresentation::of(ref)->newRepresentationContext(ref);
    auto* replacement = new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(20, 0, 0));
    ASSERT_EQ(ctx->addEntity(replacement, line), Acad::eOk);
    const AcDbObjectId rep = ref->blockTableRecord();
    EXPECT_EQ(kxhost::blockEntityIds(rep).length(), 4);

    KxDbTagEntityList objects;
    ASSERT_EQ(ctx->getObjectsForDefinitionEntity(line, AcDb::kForWrite, objects), Acad::eOk);
    ASSERT_EQ(objects.size(), 2u);  // the copy and the added entity
    ASSERT_EQ(ctx->removeEntity(objects[0]), Acad::eOk);
    objects[1]->close();
    EXPECT_EQ(kxhost::blockEntityIds(rep).length(), 3);

    AcDbIdMapping idMap;
    idMap.setDestDb(db);
    AcDbEntity* clone = nullptr;
    ASSERT_EQ(ctx->cloneIntoRepresentation(copyOf(rep, circle), clone, idMap, circle), Acad::eOk);
    ASSERT_NE(clone, nullptr);
    EXPECT_EQ(clone->ownerId(), rep);
    clone->close();
    ASSERT_EQ(ctx->getObjectsForDefinitionEntity(circle, AcDb::kForRead, objects), Acad::eOk);
    EXPECT_EQ(objects.size(), 2u);
    for (AcDbEntity* ent : objects) {
        ent->close();
    }

    // Ids of another drawing and null ids are refused.
    AcDbDatabase other(true, true);
    EXPECT_EQ(ctx->cloneIntoRepresentation(other.modelSpaceId(), clone, idMap, circle),
              Acad::eWrongDatabase);
    EXPECT_EQ(ctx->cloneIntoRepresentation(AcDbObjectId(), clone, idMap, circle),
              Acad::eInvalidInput);
    EXPECT_EQ(ctx->addEntity(nullptr, line), kxtags::kNullEntity);
    delete ctx;
    ref->close();
    EXPECT_EQ(lineStart(line).x, 0.0);
}

// One context answers lookup after lookup: each definition entity gets exactly its own copies,
// whatever the lookup before it found (two, one or none).
TEST_F(RepresentationUpdateTest, SuccessiveLookupsOfOneContextFindEachEntitysOwnCopies) {
    AcDbBlockReference* ref = nullptr;
    ASSERT_EQ(acdbOpenObject(ref, refs[0], AcDb::kForWrite), Acad::eOk);
    KxDbTagRepresentationContext* ctx =
        KxDbTagRepresentation::of(ref)->newRepresentationContext(ref);
    ASSERT_EQ(ctx->addEntity(new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(20, 0, 0)), line),
              Acad::eOk);
    const AcDbObjectId rep = ref->blockTableRecord();
    auto lookUp = [&](const AcDbObjectId& definitionEntity, std::vector<AcDbObjectId>& found) {
        KxDbTagEntityList objects;
        found.clear();
        const Acad::ErrorStatus es =
            ctx->getObjectsForDefinitionEntity(definitionEntity, AcDb::kForWrite, objects);
        for (AcDbEntity* entity : objects) {
            found.push_back(entity->objectId());
            entity->close();
        }
        return es;
    };
    std::vector<AcDbObjectId> found;
    ASSERT_EQ(lookUp(line, found), Acad::eOk);
    ASSERT_EQ(found.size(), 2u);
    for (const AcDbObjectId& id : found) {
        EXPECT_NE(id, copyOf(rep, circle));
    }
    ASSERT_EQ(lookUp(circle, found), Acad::eOk);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0], copyOf(rep, circle));
    // The erased definition entity has no copy: nothing is left from the lookups before.
    EXPECT_EQ(lookUp(erasedLine, found), Acad::eWasErased);
    EXPECT_TRUE(found.empty());
    ASSERT_EQ(lookUp(line, found), Acad::eOk);
    EXPECT_EQ(found.size(), 2u);
    delete ctx;
    ref->close();
}

TEST_F(RepresentationUpdateTest, TouchedReferencesAreMarkedModified) {
    AcDbBlockReference* ref = nullptr;
    ASSERT_EQ(acdbOpenObject(ref, refs[0], AcDb::kForRead), Acad::eOk);
    KxDbTagRepresentationContext* ctx =
        KxDbTagRepresentation::of(ref)->newRepresentationContext(ref);
    EXPECT_EQ(ctx->update(), Acad::eOk);
    EXPECT_TRUE(ctx->isTouched());
    delete ctx;
    EXPECT_TRUE(ref->isModified());
    EXPECT_FALSE(ref->isWriteEnabled());
    ref->close();
}

TEST_F(RepresentationUpdateTest, ExternalReferenceBlocksAreRefused) {
    const AcDbObjectId xref = addBlock(L"XREF");
    append(xref, new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 0, 0)));
    AcDbBlockTableRecord* block = nullptr;
    ASSERT_EQ(acdbOpenObject(block, xref, AcDb::kForWrite), Acad::eOk);
    block->setIsFromExternalReference(true);
    block->close();
    const AcDbObjectId refId = insert(xref, AcGePoint3d(0, 0, 0));
    const int blocksBefore = blockCount();

    AcDbBlockReference* ref = nullptr;
    ASSERT_EQ(acdbOpenObject(ref, refId, AcDb::kForWrite), Acad::eOk);
    KxDbTagRepresentation* rep = KxDbTagRepresentation::of(ref);
    EXPECT_EQ(rep->makeRepresentationUnique(ref), Acad::eWrongObjectType);
    EXPECT_EQ(rep->createRepresentation(ref), Acad::eWrongObjectType);
    KxDbTagRepresentationContext* ctx = rep->newRepresentationContext(ref);
    KxDbTagEntityList objects;
    EXPECT_EQ(ctx->getRepresentationObjects(AcDb::kForWrite, objects), Acad::eWrongObjectType);
    EXPECT_TRUE(objects.empty());
    EXPECT_EQ(ctx->update(), Acad::eWrongObjectType);
    delete ctx;
    EXPECT_EQ(ref->blockTableRecord(), xref);
    ref->close();
    EXPECT_EQ(blockCount(), blocksBefore);
    EXPECT_EQ(rep->makeRepresentationUnique(nullptr), Acad::eNullObjectPointer);
}

TEST_F(RepresentationUpdateTest, DefinitionsWithProxyEntitiesRefuseChanges) {
    append(defId, new AcDbProxyEntity());
    const int blocksBefore = blockCount();
    EXPECT_EQ(moveEntity(refs[0], line, AcGeVector3d(0, 1, 0)), kxrep::kHasProxyEntities);
    EXPECT_EQ(blockOf(refs[0]), defId);
    EXPECT_EQ(blockCount(), blocksBefore);
    EXPECT_TRUE(lineStart(line).isEqualTo(AcGePoint3d(0, 0, 0)));

    AcDbBlockReference* ref = nullptr;
    ASSERT_EQ(acdbOpenObject(ref, refs[0], AcDb::kForRead), Acad::eOk);
    KxDbTagRepresentationContext* ctx =
        KxDbTagRepresentation::of(ref)->newRepresentationContext(ref);
    EXPECT_TRUE(ctx->definitionHasProxyEntities());
    EXPECT_FALSE(ctx->hasSecondRestriction());
    delete ctx;
    ref->close();
}

TEST_F(RepresentationUpdateTest, AReferenceThatAlreadyHasARepresentationIsNotCreatedAgain) {
    ASSERT_EQ(moveEntity(refs[0], line, AcGeVector3d(0, 1, 0)), Acad::eOk);
    AcDbBlockReference* ref = nullptr;
    ASSERT_EQ(acdbOpenObject(ref, refs[0], AcDb::kForWrite), Acad::eOk);
    KxDbTagRepresentation* rep = KxDbTagRepresentation::of(ref);
    EXPECT_EQ(rep->createRepresentation(ref), kxrep::kAlreadyRepresented);
    EXPECT_TRUE(rep->hasSourceDefinition(ref));
    EXPECT_EQ(rep->getSourceDefinition(ref), defId);
    EXPECT_EQ(KxDbTagRepresentation::definitionOfBlock(ref->blockTableRecord()), defId);
    ref->close();
    AcDbObjectId none;
    EXPECT_EQ(KxDbTagRepresentation::createRepresentationBlock(AcDbObjectId(), none),
              Acad::eNullObjectId);
}

TEST_F(RepresentationUpdateTest, ADragImageChangesItsPrivateCopiesOnly) {
    KxGiNimbleBlockDrawableOverrule* overrule = KxGiNimbleBlockDrawableOverrule::instance();
    ASSERT_NE(overrule, nullptr);
    AcDbBlockReference* ref = nullptr;
    ASSERT_EQ(acdbOpenObject(ref, refs[0], AcDb::kForRead), Acad::eOk);
    AcDbBlockReference* image = AcDbBlockReference::cast(ref->clone());
    ref->close();
    ASSERT_NE(image, nullptr);
    ASSERT_EQ(overrule->noteDraggedReference(image, refs[0]), Acad::eOk);
    const int blocksBefore = blockCount();

    KxDbTagRepresentation* rep = KxDbTagRepresentation::of(image);
    KxDbTagRepresentationContext* ctx = rep->newRepresentationContext(image);
    KxDbTagEntityList objects;
    // The definition was never tagged: the copies must still be found.
    ASSERT_EQ(ctx->getObjectsForDefinitionEntity(line, AcDb::kForWrite, objects), Acad::eOk);
    ASSERT_EQ(objects.size(), 1u);
    EXPECT_EQ(objects[0]->database(), nullptr);
    objects[0]->transformBy(AcGeMatrix3d::translation(AcGeVector3d(0, 7, 0)));
    objects[0]->close();

    auto* extra = new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 1, 0));
    ASSERT_EQ(ctx->addEntity(extra, circle), Acad::eOk);
    ASSERT_EQ(ctx->getObjectsForDefinitionEntity(circle, AcDb::kForWrite, objects), Acad::eOk);
    ASSERT_EQ(objects.size(), 2u);
    EXPECT_EQ(objects[1], extra);
    EXPECT_EQ(ctx->removeEntity(extra), Acad::eOk);
    objects[0]->close();
    EXPECT_EQ(overrule->cloneEntityCount(image), 3);
    delete ctx;

    EXPECT_EQ(blockCount(), blocksBefore);
    EXPECT_EQ(blockOf(refs[0]), defId);
    EXPECT_TRUE(lineStart(line).isEqualTo(AcGePoint3d(0, 0, 0)));
    EXPECT_GE(indexOf(line), 0);
    overrule->releaseClone(image);
    delete image;
}

}  // namespace
