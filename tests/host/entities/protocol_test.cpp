#include <gtest/gtest.h>

#include "host/db/database.h"
#include "host/entities/annotative.h"
#include "host/entities/blockref.h"
#include "host/entities/dynblockref.h"
#include "host/entities/line.h"
#include "host/entities/minsert.h"
#include "tests/host/entities/entities_test_support.h"

namespace {

using enttest::Open;

class ProtocolTest : public enttest::EntityTest {};

AcDbAnnotativeObjectPE* annotativePE(const AcRxObject* obj) {
    return AcDbAnnotativeObjectPE::cast(obj->queryX(AcDbAnnotativeObjectPE::desc()));
}

TEST_F(ProtocolTest, AnnotativeFlagPerBlockAnsweredByItsReferences) {
    const AcDbObjectId block = addBlock(L"B");
    const AcDbObjectId refId = append(new AcDbBlockReference(AcGePoint3d(), block));
    AcDbMInsertBlock grid(AcGePoint3d(), block, 2, 2, 1, 1);
    AcDbLine line;
    ASSERT_NE(AcDbAnnotativeObjectPE::desc(), nullptr);
    EXPECT_EQ(annotativePE(&line), nullptr);  // only blocks and references carry it
    ASSERT_NE(annotativePE(&grid), nullptr);  // found through the parent class
    {
        Open<AcDbBlockTableRecord> rec(block, AcDb::kForWrite);
        AcDbAnnotativeObjectPE* pe = annotativePE(rec.obj);
        ASSERT_NE(pe, nullptr);
        EXPECT_FALSE(pe->annotative(rec.obj));
        ASSERT_EQ(pe->setAnnotative(rec.obj, true), Acad::eOk);
        EXPECT_TRUE(pe->annotative(rec.obj));
    }
    Open<AcDbBlockReference> ref(refId, AcDb::kForRead);
    AcDbAnnotativeObjectPE* pe = annotativePE(ref.obj);
    ASSERT_NE(pe, nullptr);
    EXPECT_TRUE(pe->annotative(ref.obj));
    EXPECT_TRUE(annotativePE(&grid)->annotative(&grid));
    EXPECT_EQ(pe->setAnnotative(ref.obj, false), Acad::eNotApplicable);
    EXPECT_EQ(pe->setAnnotative(nullptr, false), Acad::eNullObjectPointer);
    Open<AcDbBlockTableRecord> rec(block, AcDb::kForRead);
    EXPECT_EQ(pe->setAnnotative(rec.obj, false), Acad::eNotOpenForWrite);
}

TEST_F(ProtocolTest, HostDynamicBlocksOnlyWhenMarked) {
    const AcDbObjectId block = addBlock(L"Dyn");
    const AcDbObjectId refId = append(new AcDbBlockReference(AcGePoint3d(), block));
    EXPECT_FALSE(AcDbDynBlockReference::isDynamicBlock(block));
    EXPECT_FALSE(AcDbDynBlockReference(refId).isDynamicBlock());
    kxhost::markHostDynamicBlock(block, true);
    EXPECT_TRUE(AcDbDynBlockReference::isDynamicBlock(block));
    AcDbDynBlockReference dyn(refId);
    EXPECT_TRUE(dyn.isDynamicBlock());
    EXPECT_EQ(dyn.blockId(), refId);
    EXPECT_EQ(dyn.dynamicBlockTableRecord(), block);
    {
        Open<AcDbBlockReference> ref(refId, AcDb::kForRead);
        EXPECT_TRUE(AcDbDynBlockReference(ref.obj).isDynamicBlock());
    }
    kxhost::markHostDynamicBlock(block, false);
    EXPECT_FALSE(AcDbDynBlockReference::isDynamicBlock(block));
    EXPECT_FALSE(AcDbDynBlockReference::isDynamicBlock(AcDbObjectId::kNull));
}

TEST_F(ProtocolTest, UcsHeaderAndGripColourSetting) {
    EXPECT_TRUE(enttest::samePoint(AcGePoint3d::kOrigin, db.ucsorg()));
    EXPECT_TRUE(enttest::sameVector(AcGeVector3d::kXAxis, db.ucsxdir()));
    EXPECT_TRUE(enttest::sameVector(AcGeVector3d::kYAxis, db.ucsydir()));
    EXPECT_EQ(db.setUcs({1, 2, 3}, {0, 2, 0}, {-3, 0, 0}), Acad::eOk);
    EXPECT_TRUE(enttest::sameVector(AcGeVector3d::kYAxis, db.ucsxdir()));  // kept unit length
    EXPECT_TRUE(enttest::sameVector(-AcGeVector3d::kXAxis, db.ucsydir()));
    EXPECT_EQ(db.setUcs({0, 0, 0}, {1, 0, 0}, {1, 1, 0}), Acad::eInvalidInput);
    EXPECT_EQ(db.setUcs({0, 0, 0}, {0, 0, 0}, {0, 1, 0}), Acad::eInvalidInput);
    EXPECT_TRUE(enttest::sameVector(AcGeVector3d::kYAxis, db.ucsxdir()));  // unchanged
    AcGeMatrix3d ucs;
    ASSERT_TRUE(acdbUcsMatrix(ucs, &db));
    EXPECT_TRUE(enttest::samePoint(AcGePoint3d(1, 3, 3), ucs * AcGePoint3d(1, 0, 0)));
    EXPECT_TRUE(enttest::samePoint(AcGePoint3d(1, 2, 4), ucs * AcGePoint3d(0, 0, 1)));
    ASSERT_EQ(db.setUcsorg({0, 0, 0}), Acad::eOk);

    AcDbHostApplicationServices* services = acdbHostApplicationServices();
    EXPECT_TRUE(services->gripColorsEnabled());
    services->setGripColorsEnabled(false);
    EXPECT_FALSE(services->gripColorsEnabled());
    services->setGripColorsEnabled(true);
}

// A stand-in for the grip overrule code: takes over the stretch points of lines.
class LineStretchRouting : public kxhost::EntityGripRouting {
  public:
    bool getGripPoints(const AcDbEntity*, AcGePoint3dArray&, AcDbIntArray&, AcDbIntArray&,
                       Acad::ErrorStatus&) override {
        return false;
    }
    bool moveGripPointsAt(AcDbEntity*, const AcDbIntArray&, const AcGeVector3d&,
                          Acad::ErrorStatus&) override {
        return false;
    }
    bool getStretchPoints(const AcDbEntity* ent, AcGePoint3dArray& points,
                          Acad::ErrorStatus& es) override {
        if (AcDbLine::cast(ent) == nullptr) {
            return false;
        }
        points.append(AcGePoint3d(99, 99, 99));
        es = Acad::eOk;
        return true;
    }
    bool moveStretchPointsAt(AcDbEntity*, const AcDbIntArray&, const AcGeVector3d&,
                             Acad::ErrorStatus& es) override {
        es = Acad::eNotApplicable;
        return true;
    }
};

TEST_F(ProtocolTest, GripRoutingTakesOverTheEntryPoints) {
    LineStretchRouting routing;
    kxhost::setEntityGripRouting(&routing);
    AcDbLine line(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 0, 0));
    AcGePoint3dArray points;
    line.getStretchPoints(points);
    EXPECT_EQ(line.moveStretchPointsAt(AcDbIntArray({0}), {1, 0, 0}), Acad::eNotApplicable);
    AcGePoint3dArray grips;
    line.getGripPoints(grips);
    kxhost::setEntityGripRouting(nullptr);
    ASSERT_EQ(points.length(), 1);
    EXPECT_TRUE(enttest::samePoint(AcGePoint3d(99, 99, 99), points[0]));
    EXPECT_EQ(grips.length(), 3);  // not taken over: the line's own
    // The entity's own code is still there underneath.
    points.setLogicalLength(0);
    line.subGetStretchPoints(points);
    EXPECT_EQ(points.length(), 2);
}

}  // namespace
