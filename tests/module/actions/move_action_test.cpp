// The move action: its vector from the delta inputs and settings, being carried along by other
// actions, its instance data and filing, and its evaluation through a reference context, which
// moves the selection of that one reference only.
#include <gtest/gtest.h>

#include <cmath>

#include "host/core/resbuf.h"
#include "host/db/blocktablerecord.h"
#include "host/db/database.h"
#include "host/db/dwgfiler.h"
#include "host/db/dxffiler.h"
#include "host/entities/arc.h"
#include "host/entities/blockref.h"
#include "host/ge/plane.h"
#include "module/actions/action_transform.h"
#include "module/actions/move_action.h"
#include "module/actions/move_action_imp.h"
#include "module/graph/eval_context.h"
#include "module/params/linear_tag.h"
#include "module/representation/ref_context.h"
#include "support/module_loader.h"
#include "tools/authoring/authoring.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

KxDbImpTagMoveAction* moveImp(KxDbTagMoveAction& action) {
    return kxImpOf<KxDbImpTagMoveAction>(&action);
}

// --- Vector and angles
// ----------------------------------------------------------------------------

TEST(MoveDeltaTest, TheVectorFollowsTheXYTypeMultiplierAndAngle) {
    KxMoveDelta delta;
    delta.deltaX = 3.0;
    delta.deltaY = 4.0;
    delta.multiplier = 2.0;
    delta.angleOffset = kPi / 2;
    delta.xyType = 1;
    AcGeVector3d v = delta.vector();
    EXPECT_NEAR(v.x, 0.0, 1e-12);
    EXPECT_NEAR(v.y, 6.0, 1e-12);
    EXPECT_NEAR(v.z, 0.0, 1e-12);

    delta.angleOffset = 0.0;
    delta.xyType = 2;
    v = delta.vector();
    EXPECT_NEAR(v.x, 0.0, 1e-12);
    EXPECT_NEAR(v.y, 8.0, 1e-12);
    // Unknown XY types move by both.
    delta.xyType = 5;
    v = delta.vector();
    EXPECT_NEAR(v.x, 6.0, 1e-12);
    EXPECT_NEAR(v.y, 8.0, 1e-12);
    delta.multiplier = 0.0;
    EXPECT_TRUE(delta.vector().isZeroLength());
}

TEST(MoveDeltaTest, CarryingAlongTurnsOrMirrorsTheAngleOffset) {
    KxMoveDelta delta;
    const AcGeMatrix3d turn =
        AcGeMatrix3d::rotation(kPi / 2, AcGeVector3d::kZAxis, AcGePoint3d(7, -3, 0));
    EXPECT_NEAR(delta.carriedAngleOffset(turn), kPi / 2, 1e-12);
    delta.angleOffset = kPi / 6;
    const AcGeMatrix3d mirror =
        AcGeMatrix3d::mirroring(AcGePlane(AcGePoint3d(0, 0, 0), AcGeVector3d::kYAxis));
    EXPECT_NEAR(delta.carriedAngleOffset(mirror), 11 * kPi / 6, 1e-12);
    // A translation keeps it.
    EXPECT_NEAR(delta.carriedAngleOffset(AcGeMatrix3d::translation(AcGeVector3d(4, 4, 0))), kPi / 6,
                1e-12);
}

TEST(MoveDeltaTest, AnglesAreBroughtIntoOneTurn) {
    EXPECT_NEAR(kxaction::normalizeAngle(-kPi / 2), 3 * kPi / 2, 1e-12);
    EXPECT_NEAR(kxaction::normalizeAngle(5 * kPi), kPi, 1e-9);
    EXPECT_EQ(kxaction::normalizeAngle(INFINITY), 0.0);
    EXPECT_EQ(kxaction::normalizeAngle(NAN), 0.0);
    EXPECT_EQ(kxaction::normalizeAngle(std::ldexp(1.0, 60)), 0.0);
    const double a = kxaction::normalizeAngle(-1e9);
    EXPECT_GE(a, 0.0);
    EXPECT_LT(a, 2 * kPi);
}

// --- Instance data, filing and evaluation without a drawing
// ----------------------------------------

class MoveActionTest : public kxtest::ModuleTest {};

TEST_F(MoveActionTest, InstanceDataCarriesTheAngleOffsetAndRefusesShortChains) {
    KxDbTagMoveAction action;
    ASSERT_EQ(moveImp(action)->setAngleOffset(0.75), Acad::eOk);
    resbuf* chain = nullptr;
    ASSERT_EQ(action.getInstanceData(chain), Acad::eOk);
    ASSERT_NE(chain, nullptr);
    KxDbTagMoveAction back;
    const resbuf* cursor = chain;
    ASSERT_EQ(back.setInstanceData(cursor, 1), Acad::eOk);
    EXPECT_EQ(cursor, nullptr);
    EXPECT_DOUBLE_EQ(moveImp(back)->delta().angleOffset, 0.75);

    // Every shorter chain is refused and leaves the angle alone.
    int length = 0;
    for (resbuf* rb = chain; rb != nullptr; rb = rb->rbnext) {
        ++length;
    }
    for (int keep = 0; keep < length; ++keep) {
        resbuf* copy = nullptr;
        resbuf** tail = &copy;
        resbuf* rb = chain;
        for (int i = 0; i < keep; ++i, rb = rb->rbnext) {
            *tail = acutNewRb(rb->restype);
            (*tail)->resval = rb->resval;
            tail = &(*tail)->rbnext;
        }
        KxDbTagMoveAction fresh;
        const resbuf* at = copy;
        EXPECT_NE(fresh.setInstanceData(at, 1), Acad::eOk) << keep;
        EXPECT_DOUBLE_EQ(moveImp(fresh)->delta().angleOffset, 0.0);
        acutRelRb(copy);
    }
    acutRelRb(chain);
}

TEST_F(MoveActionTest, SettingsRoundTripThroughDwgAndDxf) {
    KxDbTagMoveAction action;
    moveImp(action)->setMultiplier(2.5);
    moveImp(action)->setAngleOffset(1.25);
    moveImp(action)->setXYType(2);
    kxhost::DwgMemoryFiler dwg;
    ASSERT_EQ(action.dwgOutFields(&dwg), Acad::eOk);
    dwg.rewind();
    KxDbTagMoveAction fromDwg;
    ASSERT_EQ(fromDwg.dwgInFields(&dwg), Acad::eOk);
    EXPECT_DOUBLE_EQ(moveImp(fromDwg)->delta().multiplier, 2.5);
    EXPECT_DOUBLE_EQ(moveImp(fromDwg)->delta().angleOffset, 1.25);
    EXPECT_EQ(moveImp(fromDwg)->delta().xyType, 2);

    kxhost::DxfMemoryFiler dxf;
    ASSERT_EQ(action.dxfOutFields(&dxf), Acad::eOk);
    dxf.rewind();
    KxDbTagMoveAction fromDxf;
    ASSERT_EQ(fromDxf.dxfInFields(&dxf), Acad::eOk);
    EXPECT_DOUBLE_EQ(moveImp(fromDxf)->delta().multiplier, 2.5);
    EXPECT_DOUBLE_EQ(moveImp(fromDxf)->delta().angleOffset, 1.25);
    EXPECT_EQ(moveImp(fromDxf)->delta().xyType, 2);
}

TEST_F(MoveActionTest, EvaluationNeedsAGraphButNotWhileStoredDataIsReplayed) {
    KxDbTagMoveAction action;
    KxDbTagEvalContext context;
    EXPECT_EQ(action.evaluate(&context), KxStatus::kNotInGraph);
    kxSetEvalMode(&context, kEvalModeLoad);
    EXPECT_EQ(action.evaluate(&context), Acad::eOk);
}

// --- Through a reference context -----------------------------------------------------------------

class MoveThroughReferenceTest : public kxtest::ModuleTest {
  protected:
    void SetUp() override {
        kxtest::ModuleTest::SetUp();
        kxhost::resetUnmatchedCloses();
        db = new AcDbDatabase(true, true);
        ASSERT_EQ(demo.build(db), Acad::eOk);
        for (const AcDbObjectId& id : entitiesOf(demo.definitionId)) {
            AcDbArc* arc = nullptr;
            if (acdbOpenObject(arc, id, AcDb::kForRead) == Acad::eOk) {
                arcId = id;
                arc->close();
            }
        }
        ASSERT_FALSE(arcId.isNull());
        AcDbObjectIdArray selection;
        selection.append(arcId);
        ASSERT_EQ(kxauthor::addMoveAction(db, demo.graphId, demo.parameterId, selection, L"Move",
                                          actionId),
                  Acad::eOk);
        KxDbBlockLinearTag* linear = nullptr;
        ASSERT_EQ(acdbOpenObject(linear, demo.parameterId, AcDb::kForRead), Acad::eOk);
        paramNode = linear->getNodeId();
        linear->close();
    }
    void TearDown() override {
        EXPECT_EQ(kxhost::unmatchedCloses(), 0);
        delete db;
        kxtest::ModuleTest::TearDown();
    }

    static AcDbObjectIdArray entitiesOf(const AcDbObjectId& btrId) {
        AcDbObjectIdArray ids;
        AcDbBlockTableRecord* btr = nullptr;
        if (acdbOpenObject(btr, btrId, AcDb::kForRead) != Acad::eOk) {
            return ids;
        }
        AcDbBlockTableRecordIterator* it = nullptr;
        if (btr->newIterator(it) == Acad::eOk) {
            for (it->start(); !it->done(); it->step()) {
                AcDbObjectId id;
                it->getEntityId(id);
                ids.append(id);
            }
            delete it;
        }
        btr->close();
        return ids;
    }
    // The centres of the arcs of a block.
    static std::vector<AcGePoint3d> arcCentres(const AcDbObjectId& btrId) {
        std::vector<AcGePoint3d> centres;
        for (const AcDbObjectId& id : entitiesOf(btrId)) {
            AcDbArc* arc = nullptr;
            if (acdbOpenObject(arc, id, AcDb::kForRead) == Acad::eOk) {
                centres.push_back(arc->center());
                arc->close();
            }
        }
        return centres;
    }
    static AcDbObjectId blockOf(const AcDbObjectId& refId) {
        AcDbBlockReference* ref = nullptr;
        if (acdbOpenObject(ref, refId, AcDb::kForRead) != Acad::eOk) {
            return AcDbObjectId();
        }
        const AcDbObjectId btr = ref->blockTableRecord();
        ref->close();
        return btr;
    }
    Acad::ErrorStatus setDistance(const AcDbObjectId& refId, double distance) {
        AcDbBlockReference* ref = nullptr;
        Acad::ErrorStatus es = acdbOpenObject(ref, refId, AcDb::kForWrite);
        if (es != Acad::eOk) {
            return es;
        }
        {
            KxDbTagRefContext context(kxref::kDefaultKey, ref);
            es = context.activateNode(paramNode);
            if (es == Acad::eOk) {
                es = context.setPropertyAndEvaluate(kxauthor::DemoDrawing::kParameterName,
                                                    KxDbTagEvalVariant(distance));
            }
        }
        ref->close();
        return es;
    }

    AcDbDatabase* db = nullptr;
    kxauthor::DemoDrawing demo;
    AcDbObjectId arcId;
    AcDbObjectId actionId;
    KxNodeId paramNode = 0;
};

TEST_F(MoveThroughReferenceTest, ADistanceChangeMovesThatReferencesSelectionOnly) {
    const std::vector<AcGePoint3d> before = arcCentres(demo.definitionId);
    ASSERT_EQ(before.size(), 1u);
    // The property is in the reference's units: the definition's distance becomes 15.
    const double scale = kxauthor::DemoDrawing::referenceScale(1);
    ASSERT_EQ(setDistance(demo.referenceIds[1], 15.0 * scale), Acad::eOk);

    // The changed reference has a representation of its own with the arc moved along X.
    const AcDbObjectId changedBlock = blockOf(demo.referenceIds[1]);
    EXPECT_NE(changedBlock, demo.definitionId);
    const std::vector<AcGePoint3d> moved = arcCentres(changedBlock);
    ASSERT_EQ(moved.size(), 1u);
    EXPECT_NEAR(moved[0].x, before[0].x + 5.0, 1e-9);
    EXPECT_NEAR(moved[0].y, before[0].y, 1e-9);
    EXPECT_EQ(entitiesOf(changedBlock).length(), entitiesOf(demo.definitionId).length());

    // The definition and the other references are untouched.
    EXPECT_EQ(arcCentres(demo.definitionId), before);
    for (int i : {0, 2}) {
        const AcDbObjectId block = blockOf(demo.referenceIds[i]);
        EXPECT_EQ(arcCentres(block), before) << i;
    }

    // Going back to the definition's distance puts the arc back.
    ASSERT_EQ(setDistance(demo.referenceIds[1], 10.0 * scale), Acad::eOk);
    const std::vector<AcGePoint3d> back = arcCentres(blockOf(demo.referenceIds[1]));
    ASSERT_EQ(back.size(), 1u);
    EXPECT_NEAR(back[0].x, before[0].x, 1e-9);
}

TEST_F(MoveThroughReferenceTest, WithOneInputUnconnectedNothingMoves) {
    {
        KxDbTagMoveAction* move = nullptr;
        ASSERT_EQ(acdbOpenObject(move, actionId, AcDb::kForWrite), Acad::eOk);
        EXPECT_EQ(move->disconnectFrom(L"DeltaY", paramNode, L"EndYDelta"), Acad::eOk);
        move->close();
    }
    const std::vector<AcGePoint3d> before = arcCentres(demo.definitionId);
    const double scale = kxauthor::DemoDrawing::referenceScale(2);
    ASSERT_EQ(setDistance(demo.referenceIds[2], 14.0 * scale), Acad::eOk);
    EXPECT_EQ(arcCentres(blockOf(demo.referenceIds[2])), before);
}

TEST_F(MoveThroughReferenceTest, ASelectedParameterIsCarriedAlongInTheReferenceOnly) {
    AcDbObjectId widthId;
    ASSERT_EQ(kxauthor::addLinearParameter(db, demo.graphId, AcGePoint3d(0, 30, 0),
                                           AcGePoint3d(4, 30, 0), L"Width", widthId, 0),
              Acad::eOk);
    KxNodeId widthNode = 0;
    {
        KxDbBlockLinearTag* width = nullptr;
        ASSERT_EQ(acdbOpenObject(width, widthId, AcDb::kForRead), Acad::eOk);
        widthNode = width->getNodeId();
        width->close();
    }
    AcDbObjectIdArray selection;
    selection.append(widthId);
    AcDbObjectId carrierId;
    ASSERT_EQ(
        kxauthor::addMoveAction(db, demo.graphId, demo.parameterId, selection, L"Carry", carrierId),
        Acad::eOk);

    AcDbBlockReference* ref = nullptr;
    ASSERT_EQ(acdbOpenObject(ref, demo.referenceIds[0], AcDb::kForWrite), Acad::eOk);
    {
        KxDbTagRefContext context(kxref::kDefaultKey, ref);
        ASSERT_EQ(context.activateNode(paramNode), Acad::eOk);
        const double scale = kxauthor::DemoDrawing::referenceScale(0);
        ASSERT_EQ(context.setPropertyAndEvaluate(kxauthor::DemoDrawing::kParameterName,
                                                 KxDbTagEvalVariant(12.0 * scale)),
                  Acad::eOk);
        KxDbTagEvalExpr* node = nullptr;
        ASSERT_EQ(context.getNode(widthNode, node), Acad::eOk);
        KxDbBlockLinearTag* width = KxDbBlockLinearTag::cast(node);
        ASSERT_NE(width, nullptr);
        EXPECT_NEAR(width->updatedBasePoint().x, 2.0, 1e-9);
        EXPECT_NEAR(width->updatedEndPoint().x, 6.0, 1e-9);
        node->close();
    }
    ref->close();

    // The definition's parameter stays where it was.
    KxDbBlockLinearTag* width = nullptr;
    ASSERT_EQ(acdbOpenObject(width, widthId, AcDb::kForRead), Acad::eOk);
    EXPECT_NEAR(width->updatedBasePoint().x, 0.0, 1e-9);
    width->close();
}

}  // namespace
