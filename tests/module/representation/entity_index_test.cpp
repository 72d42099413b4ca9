// The module-wide entity index: what it finds, when it is rebuilt or dropped, the watcher that
// drops it, the dynamic-definition test, and unloading with a block still watched.
#include <gtest/gtest.h>

#include "host/db/blocktable.h"
#include "host/db/blocktablerecord.h"
#include "host/db/database.h"
#include "host/entities/blockref.h"
#include "host/entities/line.h"
#include "module/display/drawable_overrule.h"
#include "module/graph/block_proxy_node.h"
#include "module/graph/eval_expr.h"
#include "module/graph/eval_graph.h"
#include "module/representation/entity_index.h"
#include "module/representation/tags.h"
#include "module/rootdata/root_data.h"
#include "support/module_loader.h"

namespace {

// Blocks of tagged lines in a database of their own.
class Drawing {
  public:
    explicit Drawing(AcDbDatabase* database) : db(database) {}

    AcDbObjectId addBlock(const ACHAR* name) {
        AcDbBlockTable* table = nullptr;
        EXPECT_EQ(db->getBlockTable(table, AcDb::kForWrite), Acad::eOk);
        auto* rec = new AcDbBlockTableRecord();
        rec->setName(name);
        AcDbObjectId id;
        EXPECT_EQ(table->add(id, rec), Acad::eOk);
        rec->close();
        table->close();
        return id;
    }
    // A line in the block carrying the entity tag `index` (none when negative).
    AcDbObjectId addLine(AcDbObjectId block, Adesk::Int32 index) {
        auto* line = new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 0, 0));
        AcDbBlockTableRecord* rec = nullptr;
        EXPECT_EQ(acdbOpenObject(rec, block, AcDb::kForWrite), Acad::eOk);
        AcDbObjectId id;
        EXPECT_EQ(rec->appendAcDbEntity(id, line), Acad::eOk);
        if (index >= 0) {
            EXPECT_EQ(kxtags::writeEntityTag(line, index, line->handle()), Acad::eOk);
        }
        line->close();
        rec->close();
        return id;
    }
    void touch(AcDbObjectId id) {
        AcDbObject* obj = nullptr;
        ASSERT_EQ(acdbOpenObject(obj, id, AcDb::kForWrite), Acad::eOk);
        obj->assertWriteEnabled();  // as every setter does before it changes the object
        obj->close();
    }
    int reactorsOn(AcDbObjectId id) {
        AcDbObject* obj = nullptr;
        EXPECT_EQ(acdbOpenObject(obj, id, AcDb::kForRead, true), Acad::eOk);
        const int n = obj != nullptr ? static_cast<int>(obj->transientReactors().size()) : -1;
        if (obj != nullptr) {
            obj->close();
        }
        return n;
    }

    AcDbDatabase* db;
};

class EntityIndexTest : public kxtest::ModuleTest {
  protected:
    void SetUp() override {
        ModuleTest::SetUp();
        kxindex::clearIndex();
        block = drawing.addBlock(L"B");
        first = drawing.addLine(block, 0);
        second = drawing.addLine(block, 1);
        third = drawing.addLine(block, 1);
        untagged = drawing.addLine(block, -1);
    }
    void TearDown() override {
        kxindex::detachWatcher();
        kxindex::clearIndex();
        ModuleTest::TearDown();
    }

    AcDbObjectIdArray idsOf(Adesk::Int32 index) {
        AcDbObjectIdArray ids;
        kxindex::findIds(index, ids);
        return ids;
    }

    AcDbDatabase db{true, true};
    Drawing drawing{&db};
    AcDbObjectId block, first, second, third, untagged;
};

TEST_F(EntityIndexTest, FindsTheEntitiesOfABlockByTheirTagIndex) {
    ASSERT_EQ(kxindex::indexBlock(block), Acad::eOk);
    EXPECT_TRUE(kxindex::isBuilt());
    EXPECT_TRUE(kxindex::isDatabaseMode());
    EXPECT_TRUE(kxindex::isIndexed(block));
    EXPECT_EQ(kxindex::indexedCount(), 3);  // the untagged line is not indexed
    EXPECT_EQ(idsOf(0), AcDbObjectIdArray({first}));
    EXPECT_EQ(idsOf(1), AcDbObjectIdArray({second, third}));
    EXPECT_EQ(idsOf(7).length(), 0);
    EXPECT_EQ(kxindex::watchedBlock(), block);

    // A request without block leaves the index as it is.
    EXPECT_EQ(kxindex::indexBlock(AcDbObjectId::kNull), Acad::eNullObjectId);
    EXPECT_TRUE(kxindex::isIndexed(block));
}

TEST_F(EntityIndexTest, KeepsCurrentWithAddedAndRemovedEntities) {
    ASSERT_EQ(kxindex::indexBlock(block), Acad::eOk);
    EXPECT_EQ(kxindex::addToIndex(nullptr), Acad::eNullObjectPointer);
    EXPECT_EQ(kxindex::removeFromIndex(nullptr), Acad::eNullObjectPointer);
    AcDbLine loose;
    ASSERT_EQ(kxtags::writeEntityTag(&loose, 2, AcDbHandle()), Acad::eOk);
    EXPECT_EQ(kxindex::addToIndex(&loose), Acad::eNullObjectId);

    // The module's own edit of the indexed block does not drop the index.
    AcDbObjectId added;
    {
        kxindex::OwnEditScope own;
        added = drawing.addLine(block, 2);
    }
    ASSERT_TRUE(kxindex::isBuilt());
    AcDbEntity* entity = nullptr;
    ASSERT_EQ(acdbOpenObject(entity, added, AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(kxindex::addToIndex(entity), Acad::eOk);
    EXPECT_EQ(idsOf(2), AcDbObjectIdArray({added}));
    EXPECT_EQ(kxindex::removeFromIndex(entity), Acad::eOk);
    EXPECT_EQ(idsOf(2).length(), 0);
    entity->close();
    EXPECT_EQ(kxindex::indexedCount(), 3);
}

TEST_F(EntityIndexTest, IsReusedForTheSameBlockAndMovesWithTheWatcherToAnother) {
    const AcDbObjectId other = drawing.addBlock(L"C");
    const AcDbObjectId otherLine = drawing.addLine(other, 0);
    ASSERT_EQ(kxindex::indexBlock(block), Acad::eOk);
    // A second context on the same block reuses the index: an entity added behind its back
    // (under the module's own edit, so the watcher stays quiet) is not seen.
    {
        kxindex::OwnEditScope own;
        drawing.addLine(block, 0);
    }
    ASSERT_EQ(kxindex::indexBlock(block), Acad::eOk);
    EXPECT_EQ(idsOf(0).length(), 1);
    EXPECT_EQ(drawing.reactorsOn(block), 1);

    ASSERT_EQ(kxindex::indexBlock(other), Acad::eOk);
    EXPECT_EQ(idsOf(0), AcDbObjectIdArray({otherLine}));
    EXPECT_EQ(kxindex::watchedBlock(), other);
    EXPECT_EQ(drawing.reactorsOn(block), 0);
    EXPECT_EQ(drawing.reactorsOn(other), 1);
    EXPECT_EQ(db.numReactors(), 1);
}

TEST_F(EntityIndexTest, IsDroppedWhenTheWatchedBlockIsChangedOrErased) {
    ASSERT_EQ(kxindex::indexBlock(block), Acad::eOk);
    drawing.touch(block);  // another command changes the block
    EXPECT_FALSE(kxindex::isBuilt());
    ASSERT_EQ(kxindex::indexBlock(block), Acad::eOk);
    drawing.addLine(block, 0);  // or adds an entity to it
    EXPECT_FALSE(kxindex::isBuilt());
    ASSERT_EQ(kxindex::indexBlock(block), Acad::eOk);
    EXPECT_EQ(idsOf(0).length(), 2);

    ASSERT_EQ(kxindex::indexBlock(block), Acad::eOk);
    drawing.touch(first);  // a change of one of its entities leaves the index alone
    EXPECT_TRUE(kxindex::isBuilt());

    AcDbObject* obj = nullptr;
    ASSERT_EQ(acdbOpenObject(obj, block, AcDb::kForWrite), Acad::eOk);
    ASSERT_EQ(obj->erase(), Acad::eOk);
    obj->close();
    EXPECT_FALSE(kxindex::isBuilt());
}

TEST_F(EntityIndexTest, IsClearedWhenTheDrawingGoesAway) {
    auto* closing = new AcDbDatabase(true, true);
    Drawing other(closing);
    const AcDbObjectId b = other.addBlock(L"B");
    other.addLine(b, 0);
    ASSERT_EQ(kxindex::indexBlock(b), Acad::eOk);
    ASSERT_EQ(closing->numReactors(), 1);
    delete closing;
    EXPECT_FALSE(kxindex::isBuilt());
    EXPECT_TRUE(kxindex::watchedBlock().isNull());
    // Nothing left to detach from.
    kxindex::detachWatcher();
    EXPECT_EQ(kxindex::attachWatcher(b), Acad::eInvalidInput);
}

TEST_F(EntityIndexTest, IndexesTheCopiesOfADragImageByAddress) {
    KxGiNimbleBlockDrawableOverrule* overrule = KxGiNimbleBlockDrawableOverrule::instance();
    ASSERT_NE(overrule, nullptr);
    const AcDbObjectId ref = [&] {
        auto* r = new AcDbBlockReference(AcGePoint3d::kOrigin, block);
        AcDbBlockTableRecord* space = nullptr;
        EXPECT_EQ(acdbOpenObject(space, db.modelSpaceId(), AcDb::kForWrite), Acad::eOk);
        AcDbObjectId id;
        EXPECT_EQ(space->appendAcDbEntity(id, r), Acad::eOk);
        r->close();
        space->close();
        return id;
    }();
    AcDbBlockReference image(AcGePoint3d(0, 5, 0), block);
    ASSERT_EQ(overrule->noteDraggedReference(&image, ref), Acad::eOk);
    ASSERT_EQ(overrule->makeCloneEntities(&image), Acad::eOk);
    ASSERT_EQ(kxindex::indexDragImage(&image), Acad::eOk);
    EXPECT_FALSE(kxindex::isDatabaseMode());
    EXPECT_TRUE(kxindex::isIndexed(&image));
    EXPECT_FALSE(kxindex::isIndexed(block));
    AcArray<AcDbEntity*> found;
    kxindex::findEntities(1, found);
    ASSERT_EQ(found.length(), 2);
    EXPECT_TRUE(found[0]->objectId().isNull());
    EXPECT_EQ(idsOf(1).length(), 0);  // ids only in database mode

    // A new entity of the image: added to its list, then to the index.
    auto* extra = new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(0, 1, 0));
    ASSERT_EQ(kxtags::writeEntityTag(extra, 5, AcDbHandle()), Acad::eOk);
    ASSERT_EQ(overrule->appendToReferenceBlock(&image, extra), Acad::eOk);
    ASSERT_EQ(kxindex::addToIndex(extra), Acad::eOk);
    kxindex::findEntities(5, found);
    EXPECT_EQ(found.length(), 1);
    // Erasing it from the image takes it out of the index before the caller deletes it.
    ASSERT_EQ(overrule->eraseFromReferenceBlock(&image, extra), Acad::eOk);
    kxindex::findEntities(5, found);
    EXPECT_EQ(found.length(), 0);
    delete extra;

    overrule->releaseClone(&image);
    EXPECT_FALSE(kxindex::isBuilt());
    EXPECT_EQ(kxindex::indexDragImage(nullptr), Acad::eInvalidInput);
}

TEST_F(EntityIndexTest, OnlyAGraphWithOrdinaryNodesMakesADynamicBlockDefinition) {
    EXPECT_FALSE(kxindex::isDynamicBlockDefinition(AcDbObjectId::kNull));
    EXPECT_FALSE(kxindex::isDynamicBlockDefinition(block));  // no root data at all

    auto giveGraph = [&](AcDbObjectId definition, bool ordinaryNode) {
        auto* graph = new KxDbTagEvalGraph();
        KxNodeId id = 0;
        EXPECT_EQ(graph->addNode(new KxDbTagBlockProxyNode(), id), Acad::eOk);
        if (ordinaryNode) {
            EXPECT_EQ(graph->addNode(new KxDbTagEvalExpr(), id), Acad::eOk);
        }
        AcDbObjectId graphId;
        EXPECT_EQ(graph->addGraphToDatabase(graphId, &db), Acad::eOk);
        KxDbTagRootData* rootData = nullptr;
        EXPECT_EQ(KxDbTagRootData::openRootData(&db, AcDb::kForWrite, true, rootData), Acad::eOk);
        EXPECT_EQ(rootData->setGraph(definition, graph), Acad::eOk);
        rootData->close();
        graph->close();
    };
    giveGraph(block, false);
    EXPECT_FALSE(kxindex::isDynamicBlockDefinition(block));
    const AcDbObjectId dynamic = drawing.addBlock(L"D");
    giveGraph(dynamic, true);
    EXPECT_TRUE(kxindex::isDynamicBlockDefinition(dynamic));
    // A block without graph in a drawing with root data.
    EXPECT_FALSE(kxindex::isDynamicBlockDefinition(drawing.addBlock(L"E")));
}

TEST_F(EntityIndexTest, ReferencesOutsideADatabaseHaveNoHistory) {
    resbuf* chain = reinterpret_cast<resbuf*>(&chain);
    EXPECT_EQ(kxindex::substituteHistory(chain), Acad::eOk);
    EXPECT_EQ(chain, nullptr);
}

// Unloading with a block indexed: the watcher leaves the block and its database, so destroying
// the drawing afterwards calls nothing in the module.
TEST(EntityIndexUnloadTest, UnloadLeavesNoReactorBehind) {
    auto* database = new AcDbDatabase(true, true);
    Drawing drawing(database);
    const AcDbObjectId block = drawing.addBlock(L"B");
    drawing.addLine(block, 0);
    {
        kxtest::LoadedModule module;
        ASSERT_TRUE(module.loaded());
        ASSERT_EQ(kxindex::indexBlock(block), Acad::eOk);
        ASSERT_EQ(database->numReactors(), 1);
        ASSERT_EQ(drawing.reactorsOn(block), 1);
        module.unload();
        EXPECT_FALSE(kxindex::isBuilt());
        EXPECT_TRUE(kxindex::watchedBlock().isNull());
    }
    EXPECT_EQ(database->numReactors(), 0);
    EXPECT_EQ(drawing.reactorsOn(block), 0);
    delete database;
}

}  // namespace
