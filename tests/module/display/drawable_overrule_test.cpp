// The drawable overrule: drag images drawn from their private entity copies, the lifetime of
// those copies across drags, and appending to and erasing from a reference's block.
#include <gtest/gtest.h>

#include "host/core/heap.h"
#include "host/db/blocktable.h"
#include "host/db/blocktablerecord.h"
#include "host/db/database.h"
#include "host/entities/attdef.h"
#include "host/entities/blockref.h"
#include "host/entities/circle.h"
#include "host/entities/line.h"
#include "host/entities/proxyentity.h"
#include "host/gi/recording.h"
#include "host/testing/regen.h"
#include "module/display/drawable_overrule.h"
#include "module/graph/eval_expr.h"
#include "module/graph/eval_graph.h"
#include "module/representation/entity_index.h"
#include "module/representation/tags.h"
#include "module/rootdata/root_data.h"
#include "support/module_loader.h"

namespace {

using kxhost::GiKind;
using kxhost::GiPrimitive;
using kxhost::RecordingWorldDraw;

bool near(const AcGePoint3d& a, const AcGePoint3d& b) {
    return a.distanceTo(b) < 1e-9;
}

class DrawableOverruleTest : public kxtest::ModuleTest {
  protected:
    void SetUp() override {
        ModuleTest::SetUp();
        kxhost::resetAssertionViolations();
        overrule = KxGiNimbleBlockDrawableOverrule::instance();
        ASSERT_NE(overrule, nullptr);
        block = addBlock(L"B");
        line = append(new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(2, 0, 0)), block);
        ref = addReference(block, AcGePoint3d(10, 0, 0));
    }
    void TearDown() override {
        delete image2;
        delete image;
        EXPECT_EQ(kxhost::assertionViolations(), 0);
        ModuleTest::TearDown();
    }

    AcDbObjectId append(AcDbEntity* ent, AcDbObjectId owner) {
        AcDbBlockTableRecord* rec = nullptr;
        EXPECT_EQ(acdbOpenObject(rec, owner, AcDb::kForWrite), Acad::eOk);
        AcDbObjectId id;
        EXPECT_EQ(rec->appendAcDbEntity(id, ent), Acad::eOk);
        ent->close();
        rec->close();
        return id;
    }
    AcDbObjectId addBlock(const ACHAR* name) {
        AcDbBlockTable* table = nullptr;
        EXPECT_EQ(db.getBlockTable(table, AcDb::kForWrite), Acad::eOk);
        auto* rec = new AcDbBlockTableRecord();
        rec->setName(name);
        AcDbObjectId id;
        EXPECT_EQ(table->add(id, rec), Acad::eOk);
        rec->close();
        table->close();
        return id;
    }
    AcDbObjectId addReference(AcDbObjectId of, const AcGePoint3d& at) {
        return append(new AcDbBlockReference(at, of), db.modelSpaceId());
    }
    // A drag image as the host makes it: a reference of the same block in no database.
    AcDbBlockReference* newImage(const AcGePoint3d& at) {
        return new AcDbBlockReference(at, block);
    }
    // Draws one reference on its own and answers its primitives.
    std::vector<GiPrimitive> draw(AcDbBlockReference* reference) {
        RecordingWorldDraw wd;
        wd.drawEntity(reference);
        EXPECT_EQ(wd.depth(), 0);
        return wd.primitives();
    }
    std::vector<GiPrimitive> drawDatabaseReference(AcDbObjectId id) {
        AcDbBlockReference* reference = nullptr;
        EXPECT_EQ(acdbOpenObject(reference, id, AcDb::kForRead), Acad::eOk);
        std::vector<GiPrimitive> prims = draw(reference);
        reference->close();
        return prims;
    }

    AcDbDatabase db{true, true};
    KxGiNimbleBlockDrawableOverrule* overrule = nullptr;
    AcDbObjectId block;
    AcDbObjectId line;
    AcDbObjectId ref;
    AcDbBlockReference* image = nullptr;
    AcDbBlockReference* image2 = nullptr;
};

TEST_F(DrawableOverruleTest, ReferencesThatAreNotDraggedDrawAsTheHostDraws) {
    AcDbBlockReference loose(AcGePoint3d::kOrigin, block);
    EXPECT_TRUE(overrule->isApplicable(&loose));
    AcDbLine plain;
    EXPECT_FALSE(overrule->isApplicable(&plain));

    const std::vector<GiPrimitive> prims = drawDatabaseReference(ref);
    ASSERT_EQ(prims.size(), 1u);
    EXPECT_EQ(prims[0].nesting, 1);  // the block's own line, drawn by the host
    EXPECT_TRUE(near(prims[0].points[0], AcGePoint3d(10, 0, 0)));
    EXPECT_TRUE(near(prims[0].points[1], AcGePoint3d(12, 0, 0)));

    // A drag image that got no copies is drawn by the host as well.
    image = newImage(AcGePoint3d(0, 5, 0));
    ASSERT_EQ(overrule->noteDraggedReference(image, ref), Acad::eOk);
    EXPECT_EQ(overrule->cloneSourceId(image), ref);
    EXPECT_EQ(overrule->cloneEntityCount(image), 0);
    const std::vector<GiPrimitive> imagePrims = draw(image);
    ASSERT_EQ(imagePrims.size(), 1u);
    EXPECT_TRUE(near(imagePrims[0].points[0], AcGePoint3d(0, 5, 0)));
}

TEST_F(DrawableOverruleTest, DragImageDrawsFromItsCopiesUnderItsBlockTransform) {
    image = newImage(AcGePoint3d(0, 5, 0));
    ASSERT_EQ(overrule->noteDraggedReference(image, ref), Acad::eOk);
    ASSERT_EQ(overrule->makeCloneEntities(image), Acad::eOk);
    ASSERT_EQ(overrule->cloneEntityCount(image), 1);
    EXPECT_EQ(overrule->makeCloneEntities(image), Acad::eOk);  // once only
    EXPECT_EQ(overrule->cloneEntityCount(image), 1);

    // The representation update changes the copy, not the definition.
    auto* copy = AcDbLine::cast(overrule->cloneEntityAt(image, 0));
    ASSERT_NE(copy, nullptr);
    EXPECT_TRUE(copy->objectId().isNull());
    copy->setEndPoint(AcGePoint3d(5, 0, 0));
    EXPECT_EQ(overrule->cloneEntityAt(image, 1), nullptr);
    EXPECT_EQ(overrule->cloneEntityAt(image, -1), nullptr);

    std::vector<GiPrimitive> prims = draw(image);
    ASSERT_EQ(prims.size(), 1u);
    EXPECT_TRUE(near(prims[0].points[0], AcGePoint3d(0, 5, 0)));
    EXPECT_TRUE(near(prims[0].points[1], AcGePoint3d(5, 5, 0)));

    // An entity appended to the image's block joins the drawing.
    auto* circle = new AcDbCircle(AcGePoint3d(1, 1, 0), AcGeVector3d::kZAxis, 0.5);
    ASSERT_EQ(overrule->appendToReferenceBlock(image, circle), Acad::eOk);
    prims = draw(image);
    ASSERT_EQ(prims.size(), 2u);
    EXPECT_EQ(prims[1].kind, GiKind::kCircle);
    EXPECT_TRUE(near(prims[1].center, AcGePoint3d(1, 6, 0)));

    // The definition and the database reference are untouched.
    const std::vector<GiPrimitive> own = drawDatabaseReference(ref);
    ASSERT_EQ(own.size(), 1u);
    EXPECT_TRUE(near(own[0].points[1], AcGePoint3d(12, 0, 0)));
}

TEST_F(DrawableOverruleTest, ASecondDragDropsTheFirstImagesCopies) {
    const long before = kxhost::heapLiveBlocks();
    image = newImage(AcGePoint3d(0, 5, 0));
    ASSERT_EQ(overrule->noteDraggedReference(image, ref), Acad::eOk);
    ASSERT_EQ(overrule->makeCloneEntities(image), Acad::eOk);
    // The entity index describes the first image's copies.
    ASSERT_EQ(kxindex::indexDragImage(image), Acad::eOk);
    ASSERT_TRUE(kxindex::isIndexed(image));

    image2 = newImage(AcGePoint3d(0, 9, 0));
    ASSERT_EQ(overrule->noteDraggedReference(image2, ref), Acad::eOk);
    EXPECT_FALSE(overrule->isDragImage(image));
    EXPECT_EQ(overrule->cloneEntityCount(image), 0);
    EXPECT_TRUE(overrule->cloneSourceId(image).isNull());
    EXPECT_EQ(overrule->imageOf(ref), image2);
    // The index must not keep pointers to the deleted copies.
    EXPECT_FALSE(kxindex::isBuilt());
    // The first image is drawn by the host again.
    ASSERT_EQ(draw(image).size(), 1u);

    // Noting the same image again changes nothing; the end of the drag (the database reference
    // itself is changed) drops the image.
    ASSERT_EQ(overrule->makeCloneEntities(image2), Acad::eOk);
    ASSERT_EQ(overrule->noteDraggedReference(image2, ref), Acad::eOk);
    EXPECT_EQ(overrule->cloneEntityCount(image2), 1);
    AcDbBlockReference* resident = nullptr;
    ASSERT_EQ(acdbOpenObject(resident, ref, AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(overrule->noteDraggedReference(resident, ref), Acad::eOk);
    EXPECT_FALSE(overrule->isDragImage(resident));
    resident->close();
    EXPECT_FALSE(overrule->isDragImage(image2));
    EXPECT_EQ(overrule->imageOf(ref), nullptr);

    delete image2;
    image2 = nullptr;
    delete image;
    image = nullptr;
    EXPECT_EQ(kxhost::heapLiveBlocks(), before);
}

TEST_F(DrawableOverruleTest, AnImageAtTheAddressOfAFreedImageOfAnotherSourceStartsAfresh) {
    const AcDbObjectId other = addReference(block, AcGePoint3d(30, 0, 0));
    image = newImage(AcGePoint3d(0, 5, 0));
    ASSERT_EQ(overrule->noteDraggedReference(image, ref), Acad::eOk);
    ASSERT_EQ(overrule->makeCloneEntities(image), Acad::eOk);
    AcDbLine::cast(overrule->cloneEntityAt(image, 0))->setEndPoint(AcGePoint3d(7, 0, 0));

    // The host frees the image and makes the next one, of the other reference, at the same place.
    ASSERT_EQ(overrule->noteDraggedReference(image, other), Acad::eOk);
    EXPECT_EQ(overrule->cloneSourceId(image), other);
    EXPECT_EQ(overrule->cloneEntityCount(image), 0);
    EXPECT_EQ(overrule->imageOf(ref), nullptr);
    EXPECT_EQ(overrule->imageOf(other), image);
    const std::vector<GiPrimitive> prims = draw(image);
    ASSERT_EQ(prims.size(), 1u);
    EXPECT_TRUE(near(prims[0].points[1], AcGePoint3d(2, 5, 0)));

    // Dropping by source (the host deletes the grips of the reference).
    overrule->dropImageOf(other);
    EXPECT_FALSE(overrule->isDragImage(image));

    // An image that got its copies before it was noted keeps them and learns its source.
    image2 = newImage(AcGePoint3d(0, 9, 0));
    ASSERT_EQ(overrule->makeCloneEntities(image2), Acad::eOk);
    ASSERT_EQ(overrule->noteDraggedReference(image2, ref), Acad::eOk);
    EXPECT_EQ(overrule->cloneEntityCount(image2), 1);
    EXPECT_EQ(overrule->cloneSourceId(image2), ref);
    EXPECT_EQ(overrule->imageOf(ref), image2);
}

TEST_F(DrawableOverruleTest, ABlockHoldingAProxyEntityGetsNoCopies) {
    append(new AcDbProxyEntity(), block);
    image = newImage(AcGePoint3d(0, 5, 0));
    ASSERT_EQ(overrule->noteDraggedReference(image, ref), Acad::eOk);
    EXPECT_EQ(overrule->makeCloneEntities(image), KxGiNimbleBlockDrawableOverrule::kProxyEntities);
    EXPECT_EQ(overrule->cloneEntities(image), nullptr);
    EXPECT_FALSE(overrule->isDragImage(image));
    ASSERT_EQ(draw(image).size(), 1u);  // the host draws the line

    // A database reference cannot get copies; an image without block has nothing to copy.
    AcDbBlockReference* resident = nullptr;
    ASSERT_EQ(acdbOpenObject(resident, ref, AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(overrule->makeCloneEntities(resident), Acad::eWrongDatabase);
    resident->close();
    image2 = new AcDbBlockReference(AcGePoint3d::kOrigin, AcDbObjectId::kNull);
    EXPECT_EQ(overrule->makeCloneEntities(image2), Acad::eOk);
    EXPECT_EQ(overrule->cloneEntities(image2), nullptr);
}

TEST_F(DrawableOverruleTest, AttributeDefinitionsFollowTheAttributeDisplayMode) {
    auto addAttdef = [&](const ACHAR* tag, bool constant, bool invisible) {
        auto* attdef = new AcDbAttributeDefinition(AcGePoint3d(0, 1, 0), L"text", tag, L"prompt");
        attdef->setConstant(constant);
        attdef->setInvisible(invisible);
        append(attdef, block);
    };
    addAttdef(L"VARIABLE", false, false);
    addAttdef(L"SHOWN", true, false);
    addAttdef(L"HIDDEN", true, true);

    image = newImage(AcGePoint3d(0, 5, 0));
    ASSERT_EQ(overrule->noteDraggedReference(image, ref), Acad::eOk);
    ASSERT_EQ(overrule->makeCloneEntities(image), Acad::eOk);
    ASSERT_EQ(overrule->cloneEntityCount(image), 4);

    auto textsDrawn = [&](Adesk::Int16 mode) {
        EXPECT_EQ(db.setAttmode(mode), Acad::eOk);
        RecordingWorldDraw wd;
        wd.drawEntity(image);
        return wd.count(GiKind::kText);
    };
    EXPECT_EQ(textsDrawn(0), 0);
    EXPECT_EQ(textsDrawn(1), 1);
    EXPECT_EQ(textsDrawn(2), 2);  // never the non-constant one
}

TEST_F(DrawableOverruleTest, EraseFromADragImageTakesOnlyItsOwnCopies) {
    image = newImage(AcGePoint3d(0, 5, 0));
    ASSERT_EQ(overrule->noteDraggedReference(image, ref), Acad::eOk);

    AcDbLine stranger;
    EXPECT_EQ(overrule->eraseFromReferenceBlock(image, &stranger), Acad::eKeyNotFound);
    ASSERT_EQ(overrule->cloneEntityCount(image), 1);  // the copies were made on the way

    AcDbEntity* resident = nullptr;
    ASSERT_EQ(acdbOpenObject(resident, line, AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(overrule->eraseFromReferenceBlock(image, resident), Acad::eWrongDatabase);
    EXPECT_EQ(overrule->appendToReferenceBlock(image, resident), Acad::eWrongDatabase);
    resident->close();
    EXPECT_EQ(overrule->cloneEntityCount(image), 1);

    // A copy taken out belongs to the caller.
    AcDbEntity* copy = overrule->cloneEntityAt(image, 0);
    ASSERT_EQ(overrule->eraseFromReferenceBlock(image, copy), Acad::eOk);
    EXPECT_EQ(overrule->cloneEntityCount(image), 0);
    delete copy;
    EXPECT_TRUE(draw(image).empty());

    EXPECT_EQ(overrule->eraseFromReferenceBlock(nullptr, &stranger), Acad::eInvalidInput);
    EXPECT_EQ(overrule->eraseFromReferenceBlock(image, nullptr), Acad::eInvalidInput);
    EXPECT_EQ(overrule->appendToReferenceBlock(image, nullptr), Acad::eInvalidInput);
    image2 = new AcDbBlockReference(AcGePoint3d::kOrigin, AcDbObjectId::kNull);
    EXPECT_EQ(overrule->appendToReferenceBlock(image2, &stranger), Acad::eNullObjectId);
    EXPECT_EQ(overrule->eraseFromReferenceBlock(image2, &stranger), Acad::eNullObjectId);
}

TEST_F(DrawableOverruleTest, AppendAndEraseOnADatabaseReferenceChangeItsBlock) {
    AcDbBlockReference* resident = nullptr;
    ASSERT_EQ(acdbOpenObject(resident, ref, AcDb::kForRead), Acad::eOk);

    auto* circle = new AcDbCircle(AcGePoint3d(1, 1, 0), AcGeVector3d::kZAxis, 0.5);
    ASSERT_EQ(overrule->appendToReferenceBlock(resident, circle), Acad::eOk);
    const AcDbObjectId circleId = circle->objectId();
    EXPECT_TRUE(circleId.isValid());
    circle->close();

    // An entity without id, or one from another block, is not erased.
    AcDbLine stranger;
    EXPECT_EQ(overrule->eraseFromReferenceBlock(resident, &stranger), Acad::eNullObjectId);
    const AcDbObjectId elsewhere =
        append(new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 1, 0)), db.modelSpaceId());
    AcDbEntity* entity = nullptr;
    ASSERT_EQ(acdbOpenObject(entity, elsewhere, AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(overrule->eraseFromReferenceBlock(resident, entity), Acad::eKeyNotFound);
    EXPECT_FALSE(entity->isErased());
    entity->close();

    // An entity open for read is upgraded and erased.
    ASSERT_EQ(acdbOpenObject(entity, line, AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(overrule->eraseFromReferenceBlock(resident, entity), Acad::eOk);
    EXPECT_TRUE(entity->isErased());
    entity->close();
    resident->close();

    const std::vector<GiPrimitive> prims = drawDatabaseReference(ref);
    ASSERT_EQ(prims.size(), 1u);
    EXPECT_EQ(prims[0].kind, GiKind::kCircle);
}

TEST_F(DrawableOverruleTest, AFailedAppendIsReportedAndLeavesTheEntityToTheCaller) {
    AcDbBlockReference* resident = nullptr;
    ASSERT_EQ(acdbOpenObject(resident, ref, AcDb::kForRead), Acad::eOk);
    // The block cannot be opened for write while someone else writes it under strict opens.
    kxhost::setStrictOpens(true);
    AcDbBlockTableRecord* busy = nullptr;
    ASSERT_EQ(acdbOpenObject(busy, block, AcDb::kForWrite), Acad::eOk);
    auto* circle = new AcDbCircle(AcGePoint3d(1, 1, 0), AcGeVector3d::kZAxis, 0.5);
    EXPECT_NE(overrule->appendToReferenceBlock(resident, circle), Acad::eOk);
    busy->close();
    kxhost::setStrictOpens(false);
    EXPECT_TRUE(circle->objectId().isNull());
    delete circle;
    resident->close();
}

// A definition that was never edited is tagged before its first drag image is copied, so the
// actions can find the copies.
TEST_F(DrawableOverruleTest, TheFirstDragOfAFreshDefinitionTagsIt) {
    // Make the block a dynamic block definition: a graph with one ordinary node.
    auto* graph = new KxDbTagEvalGraph();
    KxNodeId nodeId = 0;
    ASSERT_EQ(graph->addNode(new KxDbTagEvalExpr(), nodeId), Acad::eOk);
    AcDbObjectId graphId;
    ASSERT_EQ(graph->addGraphToDatabase(graphId, &db), Acad::eOk);
    KxDbTagRootData* rootData = nullptr;
    ASSERT_EQ(KxDbTagRootData::openRootData(&db, AcDb::kForWrite, true, rootData), Acad::eOk);
    ASSERT_EQ(rootData->setGraph(block, graph), Acad::eOk);
    rootData->close();
    graph->close();
    ASSERT_TRUE(kxindex::isDynamicBlockDefinition(block));

    image = newImage(AcGePoint3d(0, 5, 0));
    ASSERT_EQ(overrule->noteDraggedReference(image, ref), Acad::eOk);
    ASSERT_EQ(overrule->makeCloneEntities(image), Acad::eOk);
    Adesk::Int32 index = -1;
    EXPECT_TRUE(kxindex::entityTagIndex(overrule->cloneEntityAt(image, 0), index));
    ASSERT_EQ(kxindex::indexDragImage(image), Acad::eOk);
    AcArray<AcDbEntity*> found;
    kxindex::findEntities(index, found);
    ASSERT_EQ(found.length(), 1);
    EXPECT_EQ(found[0], overrule->cloneEntityAt(image, 0));

    // Releasing the copies drops the index that points into them.
    overrule->releaseClone(image);
    EXPECT_FALSE(kxindex::isBuilt());
    EXPECT_FALSE(overrule->isDragImage(image));
}

}  // namespace
