#include <gtest/gtest.h>

#include <cmath>

#include "host/entities/attdef.h"
#include "host/entities/attrib.h"
#include "host/entities/blockref.h"
#include "host/entities/circle.h"
#include "host/entities/line.h"
#include "host/entities/minsert.h"
#include "host/entities/objectiterator.h"
#include "host/ge/plane.h"
#include "tests/host/entities/entities_test_support.h"

namespace {

using enttest::Open;
using enttest::Owned;
using enttest::sameMatrix;
using enttest::samePoint;

constexpr double kPi = 3.14159265358979323846;

class BlockReferenceTest : public enttest::EntityTest {
  protected:
    // A block with its origin at (1, 1, 0) holding one line from (1,1,0) to (3,1,0).
    AcDbObjectId lineBlock() {
        const AcDbObjectId block = addBlock(L"B", AcGePoint3d(1, 1, 0));
        append(new AcDbLine(AcGePoint3d(1, 1, 0), AcGePoint3d(3, 1, 0)), block);
        return block;
    }
    AcDbObjectId addReference(AcDbObjectId block, const AcGePoint3d& at) {
        return append(new AcDbBlockReference(at, block));
    }
    // Adds an attribute made from a definition to a resident reference.
    AcDbObjectId addAttribute(AcDbObjectId refId, const AcGePoint3d& defPosition,
                              bool lockPosition = false) {
        AcDbAttributeDefinition def(defPosition, L"value", L"TAG", L"Prompt");
        def.setLockPositionInBlock(lockPosition);
        Open<AcDbBlockReference> ref(refId, AcDb::kForWrite);
        auto* att = new AcDbAttribute();
        EXPECT_EQ(att->setAttributeFromBlock(&def, ref->blockTransform()), Acad::eOk);
        AcDbObjectId id;
        EXPECT_EQ(ref->appendAttribute(id, att), Acad::eOk);
        EXPECT_TRUE(att->isWriteEnabled());
        att->close();
        return id;
    }
    AcGePoint3d attributePosition(AcDbObjectId id) {
        Open<AcDbAttribute> att(id, AcDb::kForRead);
        return att->position();
    }
};

TEST_F(BlockReferenceTest, BlockTransformMapsDefinitionPointsIncludingTheOrigin) {
    const AcDbObjectId block = lineBlock();
    auto* ref = new AcDbBlockReference(AcGePoint3d(10, 5, 0), block);
    ref->setRotation(kPi / 2);
    ref->setScaleFactors(AcGeScale3d(2, 3, 1));
    const AcDbObjectId id = append(ref);
    Open<AcDbBlockReference> r(id, AcDb::kForRead);
    const AcGeMatrix3d m = r->blockTransform();
    // The block origin lands on the insertion point.
    EXPECT_TRUE(samePoint(AcGePoint3d(10, 5, 0), m * AcGePoint3d(1, 1, 0)));
    // (2,1) is one unit along the block's X: scaled by 2, turned to +Y.
    EXPECT_TRUE(samePoint(AcGePoint3d(10, 7, 0), m * AcGePoint3d(2, 1, 0)));
    // (1,2) is one unit along Y: scaled by 3, turned to -X.
    EXPECT_TRUE(samePoint(AcGePoint3d(7, 5, 0), m * AcGePoint3d(1, 2, 0)));

    // The normal's object coordinate system carries the block: normal -Z has X axis -X.
    AcDbBlockReference upsideDown(AcGePoint3d(0, 0, 0), block);
    upsideDown.setNormal(AcGeVector3d(0, 0, -1));
    EXPECT_TRUE(
        samePoint(AcGePoint3d(-1, 0, 0), upsideDown.blockTransform() * AcGePoint3d(2, 1, 0)));
    EXPECT_TRUE(
        samePoint(AcGePoint3d(0, 0, -1), upsideDown.blockTransform() * AcGePoint3d(1, 1, 1)));
}

TEST_F(BlockReferenceTest, TransformByComposesWithTheBlockTransform) {
    const AcDbObjectId block = lineBlock();
    const std::pair<const char*, AcGeMatrix3d> cases[] = {
        {"translation", AcGeMatrix3d::translation({4, -2, 1})},
        {"rotation about the normal", AcGeMatrix3d::rotation(0.7, AcGeVector3d::kZAxis, {3, 3, 0})},
        {"uniform scale", AcGeMatrix3d::scaling(2.5, {1, -1, 0})},
        {"mirror", AcGeMatrix3d::mirroring(AcGePlane({2, 0, 0}, {1, 1, 0}))},
        {"rotation in space", AcGeMatrix3d::rotation(1.2, AcGeVector3d(1, 2, 3), {1, 0, 0})},
        {"mirror through its plane", AcGeMatrix3d::mirroring(AcGePlane({0, 0, 2}, {0, 0, 1}))},
    };
    for (const auto& [name, xform] : cases) {
        SCOPED_TRACE(name);
        AcDbBlockReference ref(AcGePoint3d(5, 6, 0), block);
        ref.setRotation(0.4);
        ref.setScaleFactors(AcGeScale3d(1.5, 1.5, 1.5));
        const AcGeMatrix3d before = ref.blockTransform();
        ASSERT_EQ(ref.transformBy(xform), Acad::eOk);
        EXPECT_TRUE(sameMatrix(xform * before, ref.blockTransform()));
        // Done twice, and back: composing keeps working from the stored frame.
        ASSERT_EQ(ref.transformBy(xform), Acad::eOk);
        EXPECT_TRUE(sameMatrix(xform * xform * before, ref.blockTransform()));
    }
    // A mirror shows as a negative scale factor.
    AcDbBlockReference mirrored(AcGePoint3d(0, 0, 0), block);
    ASSERT_EQ(mirrored.transformBy(AcGeMatrix3d::mirroring(AcGePlane({0, 0, 0}, {1, 0, 0}))),
              Acad::eOk);
    EXPECT_LT(mirrored.scaleFactors().sx * mirrored.scaleFactors().sy, 0.0);

    // Non-uniform scaling along the reference's own axes is a frame; a shear is not.
    AcDbBlockReference axis(AcGePoint3d(1, 2, 0), block);
    ASSERT_EQ(axis.transformBy(AcGeMatrix3d::scaling(AcGeScale3d(1, 2, 1))), Acad::eOk);
    EXPECT_TRUE(enttest::sameVector(
        AcGeVector3d(1, 2, 1),
        AcGeVector3d(axis.scaleFactors().sx, axis.scaleFactors().sy, axis.scaleFactors().sz)));
    AcDbBlockReference turned(AcGePoint3d(0, 0, 0), block);
    turned.setRotation(kPi / 4);
    const AcGeMatrix3d before = turned.blockTransform();
    EXPECT_EQ(turned.transformBy(AcGeMatrix3d::scaling(AcGeScale3d(1, 2, 1))),
              Acad::eNotApplicable);
    EXPECT_TRUE(sameMatrix(before, turned.blockTransform()));
    EXPECT_EQ(turned.setScaleFactors(AcGeScale3d(1, 0, 1)), Acad::eInvalidInput);
}

TEST_F(BlockReferenceTest, SetBlockTableRecordChecksTheBlock) {
    const AcDbObjectId block = lineBlock();
    const AcDbObjectId other = addBlock(L"C");
    const AcDbObjectId id = addReference(block, AcGePoint3d());
    Open<AcDbBlockReference> ref(id, AcDb::kForWrite);
    EXPECT_EQ(ref->setBlockTableRecord(AcDbObjectId::kNull), Acad::eNullObjectId);
    EXPECT_EQ(ref->setBlockTableRecord(id), Acad::eWrongObjectType);
    EXPECT_EQ(ref->setBlockTableRecord(modelSpace()), Acad::eSelfReference);
    AcDbDatabase elsewhere(true, true);
    EXPECT_EQ(ref->setBlockTableRecord(elsewhere.modelSpaceId()), Acad::eWrongDatabase);
    ASSERT_EQ(ref->setBlockTableRecord(other), Acad::eOk);
    EXPECT_EQ(ref->blockTableRecord(), other);
}

TEST_F(BlockReferenceTest, AttributesAreOwnedIteratedAndErasedWithTheReference) {
    const AcDbObjectId block = lineBlock();
    const AcDbObjectId refId = addReference(block, AcGePoint3d(10, 0, 0));
    const AcDbObjectId a1 = addAttribute(refId, AcGePoint3d(1, 2, 0));
    const AcDbObjectId a2 = addAttribute(refId, AcGePoint3d(2, 2, 0));
    EXPECT_TRUE(samePoint(AcGePoint3d(10, 1, 0), attributePosition(a1)));
    {
        Open<AcDbAttribute> att(a1, AcDb::kForRead);
        EXPECT_EQ(att->ownerId(), refId);
        EXPECT_EQ(att->blockId(), modelSpace());  // the block its reference lives in
        EXPECT_EQ(att->tag(), AcString(L"TAG"));
        EXPECT_EQ(att->textString(), AcString(L"value"));
    }
    {
        Open<AcDbBlockReference> ref(refId, AcDb::kForRead);
        AcDbObjectIterator* it = ref->attributeIterator();
        AcDbObjectIdArray seen;
        for (it->start(); !it->done(); it->step()) {
            seen.append(it->objectId());
            EXPECT_EQ(it->entity(), nullptr);  // resident ones are opened by id
        }
        delete it;
        EXPECT_EQ(seen, AcDbObjectIdArray({a1, a2}));
    }
    {
        Open<AcDbBlockReference> ref(refId, AcDb::kForWrite);
        ASSERT_EQ(ref->erase(), Acad::eOk);
    }
    EXPECT_TRUE(a1.isErased());
    EXPECT_TRUE(a2.isErased());
    {
        Open<AcDbBlockReference> ref(refId, AcDb::kForWrite, true);
        ASSERT_EQ(ref->erase(false), Acad::eOk);
    }
    EXPECT_FALSE(a1.isErased());
    // An erased attribute drops out of the walk.
    {
        Open<AcDbAttribute> att(a2, AcDb::kForWrite);
        att->erase();
    }
    Open<AcDbBlockReference> ref(refId, AcDb::kForRead);
    AcDbObjectIterator* it = ref->attributeIterator();
    int n = 0;
    for (it->start(); !it->done(); it->step()) {
        ++n;
    }
    delete it;
    EXPECT_EQ(n, 1);
}

TEST_F(BlockReferenceTest, TransformsAndGripsCarryTheAttributes) {
    const AcDbObjectId block = lineBlock();
    const AcDbObjectId refId = addReference(block, AcGePoint3d(0, 0, 0));
    const AcDbObjectId free = addAttribute(refId, AcGePoint3d(2, 3, 0));
    const AcDbObjectId locked = addAttribute(refId, AcGePoint3d(3, 3, 0), true);
    const AcGeMatrix3d rotate = AcGeMatrix3d::rotation(kPi / 2, AcGeVector3d::kZAxis);
    {
        Open<AcDbBlockReference> ref(refId, AcDb::kForWrite);
        ASSERT_EQ(ref->transformBy(rotate), Acad::eOk);
    }
    EXPECT_TRUE(samePoint(rotate * AcGePoint3d(1, 2, 0), attributePosition(free)));
    {
        Open<AcDbAttribute> att(free, AcDb::kForRead);
        EXPECT_NEAR(att->rotation(), kPi / 2, 1e-12);
    }
    // Grips: the insertion point, then the attributes that are not locked in the block.
    Open<AcDbBlockReference> ref(refId, AcDb::kForWrite);
    AcGePoint3dArray grips;
    ASSERT_EQ(ref->getGripPoints(grips), Acad::eOk);
    ASSERT_EQ(grips.length(), 2);
    EXPECT_TRUE(samePoint(AcGePoint3d(0, 0, 0), grips[0]));
    EXPECT_TRUE(samePoint(attributePosition(free), grips[1]));
    const AcGePoint3d lockedBefore = attributePosition(locked);
    ASSERT_EQ(ref->moveGripPointsAt(AcDbIntArray({1}), {0, 0, 5}), Acad::eOk);
    EXPECT_TRUE(
        samePoint(rotate * AcGePoint3d(1, 2, 0) + AcGeVector3d(0, 0, 5), attributePosition(free)));
    EXPECT_TRUE(samePoint(AcGePoint3d(0, 0, 0), ref->position()));
    // The insertion grip moves the reference and every attribute.
    ASSERT_EQ(ref->moveGripPointsAt(AcDbIntArray({0}), {1, 1, 0}), Acad::eOk);
    EXPECT_TRUE(samePoint(AcGePoint3d(1, 1, 0), ref->position()));
    EXPECT_TRUE(samePoint(lockedBefore + AcGeVector3d(1, 1, 0), attributePosition(locked)));
    // The stretch point is the insertion point.
    AcGePoint3dArray stretch;
    ref->getStretchPoints(stretch);
    ASSERT_EQ(stretch.length(), 1);
    ASSERT_EQ(ref->moveStretchPointsAt(AcDbIntArray({0}), {-1, -1, 0}), Acad::eOk);
    EXPECT_TRUE(samePoint(lockedBefore, attributePosition(locked)));
    EXPECT_EQ(ref->moveGripPointsAt(AcDbIntArray({2}), {1, 0, 0}), Acad::eInvalidIndex);
}

TEST_F(BlockReferenceTest, DragImagesCopyTheAttributesIntoMemory) {
    const AcDbObjectId block = lineBlock();
    const AcDbObjectId refId = addReference(block, AcGePoint3d(3, 0, 0));
    addAttribute(refId, AcGePoint3d(1, 5, 0));
    enttest::Chain tag(acutBuildList(1001, L"AcDbBlockRepETag", 1070, 1, 0));
    Owned<AcDbBlockReference> image;
    {
        Open<AcDbBlockReference> ref(refId, AcDb::kForWrite);
        ASSERT_EQ(ref->setXData(tag.head), Acad::eOk);
        image.reset(AcDbBlockReference::cast(ref->clone()));
    }
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->database(), nullptr);
    EXPECT_EQ(image->blockTableRecord(), block);
    enttest::Chain xd(image->xData(L"AcDbBlockRepETag"));
    EXPECT_NE(xd.head, nullptr);
    // Moving the image moves its own attribute copies, not the drawing's.
    ASSERT_EQ(image->transformBy(AcGeMatrix3d::translation({0, 10, 0})), Acad::eOk);
    AcDbObjectIterator* it = image->attributeIterator();
    ASSERT_FALSE(it->done());
    ASSERT_NE(it->entity(), nullptr);
    EXPECT_TRUE(it->objectId().isNull());
    EXPECT_TRUE(samePoint(AcGePoint3d(3, 14, 0), AcDbAttribute::cast(it->entity())->position()));
    delete it;
    {
        Open<AcDbBlockReference> ref(refId, AcDb::kForRead);
        AcDbObjectIterator* live = ref->attributeIterator();
        EXPECT_TRUE(samePoint(AcGePoint3d(3, 4, 0), attributePosition(live->objectId())));
        delete live;
    }
    AcDbExtents ext;
    ASSERT_EQ(image->getGeomExtents(ext), Acad::eOk);
    EXPECT_TRUE(samePoint(AcGePoint3d(3, 10, 0), ext.minPoint()));
}

TEST_F(BlockReferenceTest, HeldAttributesJoinTheDatabaseWithTheReference) {
    const AcDbObjectId block = lineBlock();
    auto* ref = new AcDbBlockReference(AcGePoint3d(0, 0, 0), block);
    ASSERT_EQ(ref->appendAttribute(new AcDbAttribute(AcGePoint3d(1, 1, 0), L"v", L"T")), Acad::eOk);
    const AcDbObjectId refId = append(ref);
    Open<AcDbBlockReference> r(refId, AcDb::kForRead);
    AcDbObjectIterator* it = r->attributeIterator();
    ASSERT_FALSE(it->done());
    const AcDbObjectId attId = it->objectId();
    delete it;
    ASSERT_FALSE(attId.isNull());
    Open<AcDbAttribute> att(attId, AcDb::kForRead);
    EXPECT_EQ(att->ownerId(), refId);
    EXPECT_EQ(att->layerId(), db.layerZero());
}

TEST_F(BlockReferenceTest, ExtentsAreTightUnderRotation) {
    const AcDbObjectId block = lineBlock();
    const AcDbObjectId inner = addBlock(L"Circles");
    append(new AcDbCircle(AcGePoint3d(0, 0, 0), AcGeVector3d::kZAxis, 1.0), inner);
    append(new AcDbBlockReference(AcGePoint3d(5, 1, 0), inner), block);  // nested, at (4, 0)
    AcDbBlockReference ref(AcGePoint3d(0, 0, 0), block);
    ref.setRotation(kPi / 4);
    AcDbExtents ext;
    ASSERT_EQ(ref.getGeomExtents(ext), Acad::eOk);
    // Line (0,0)-(2,0) turned 45 degrees; circle of radius 1 centred at (4,0) turned likewise.
    const double h = std::sqrt(0.5);
    const AcGePoint3d circleCenter(4 * h, 4 * h, 0);
    EXPECT_TRUE(enttest::sameExtents(AcGePoint3d(0, 0, 0),
                                     AcGePoint3d(circleCenter.x + 1, circleCenter.y + 1, 0), ext));
    // A circle scaled non-uniformly cannot be copied: its box is transformed instead.
    ref.setRotation(0);
    ref.setScaleFactors(AcGeScale3d(1, 2, 1));
    ASSERT_EQ(ref.getGeomExtents(ext), Acad::eOk);
    EXPECT_TRUE(enttest::sameExtents({0, -2, 0}, {5, 2, 0}, ext));
    AcDbBlockReference empty(AcGePoint3d(), addBlock(L"Empty"));
    EXPECT_EQ(empty.getGeomExtents(ext), Acad::eInvalidExtents);
}

TEST_F(BlockReferenceTest, SelfReferencingBlocksDoNotRecurse) {
    const AcDbObjectId a = addBlock(L"A");
    const AcDbObjectId b = addBlock(L"B");
    append(new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 0, 0)), a);
    append(new AcDbBlockReference(AcGePoint3d(), b), a);
    append(new AcDbBlockReference(AcGePoint3d(), a), b);  // a cycle through two blocks
    AcDbBlockReference ref(AcGePoint3d(), a);
    AcDbExtents ext;
    EXPECT_EQ(ref.getGeomExtents(ext), Acad::eOk);
    enttest::RecordingDraw wd;
    EXPECT_TRUE(ref.worldDraw(&wd));
    EXPECT_EQ(wd.depth(), 0);
    EXPECT_GE(wd.count(L"polyline"), 1);
}

TEST_F(BlockReferenceTest, MultiInsertsRepeatTheBlockInTheirFrame) {
    const AcDbObjectId block = lineBlock();
    AcDbMInsertBlock grid(AcGePoint3d(0, 0, 0), block, 3, 2, 10, 5);
    AcDbExtents ext;
    ASSERT_EQ(grid.getGeomExtents(ext), Acad::eOk);
    EXPECT_TRUE(enttest::sameExtents({0, 0, 0}, {22, 5, 0}, ext));
    enttest::RecordingDraw wd;
    grid.worldDraw(&wd);
    EXPECT_EQ(wd.count(L"polyline"), 6);
    // Scaling the insert scales its spacing; a mirror turns it.
    ASSERT_EQ(grid.transformBy(AcGeMatrix3d::scaling(2.0)), Acad::eOk);
    EXPECT_DOUBLE_EQ(grid.columnSpacing(), 20.0);
    ASSERT_EQ(grid.transformBy(AcGeMatrix3d::mirroring(AcGePlane({0, 0, 0}, {0, 1, 0}))),
              Acad::eOk);
    ASSERT_EQ(grid.getGeomExtents(ext), Acad::eOk);
    EXPECT_TRUE(enttest::sameExtents({0, -10, 0}, {44, 0, 0}, ext));
    EXPECT_EQ(grid.setRows(0), Acad::eInvalidInput);
}

}  // namespace
