// Grip editing through the host's grip editor where the overrule must stand aside (ordinary
// blocks, blocks the host claims, references it cannot map drags through), drags it must refuse
// or ignore, and the linear glyph as the editor's records draw it.
#include <gtest/gtest.h>

#include <algorithm>

#include "host/db/blocktablerecord.h"
#include "host/db/database.h"
#include "host/ed/sysvars.h"
#include "host/entities/blockref.h"
#include "host/entities/dynblockref.h"
#include "host/entities/polyline.h"
#include "host/gi/recording.h"
#include "host/grips/gripoverrule.h"
#include "host/testing/grip_editor.h"
#include "module/grips/grip_callbacks.h"
#include "module/grips/grip_overrule.h"
#include "module/grips/nb_app_data.h"
#include "module/rootdata/root_data.h"
#include "support/module_loader.h"
#include "tests/module/gripoverrule/panel_drawing.h"
#include "tools/authoring/authoring.h"

namespace {

using paneltest::kHeight;
using paneltest::kSpacing;
using paneltest::kWidth;

class HostGripsEndToEndTest : public paneltest::PanelTest {
  protected:
    void SetUp() override {
        paneltest::PanelTest::SetUp();
        markDisplay = kxhost::systemVariableInt(L"BTMARKDISPLAY");
    }
    void TearDown() override {
        kxhost::setSystemVariableInt(L"BTMARKDISPLAY", markDisplay);
        if (!claimedBlock.isNull()) {
            kxhost::markHostDynamicBlock(claimedBlock, false);
        }
        paneltest::PanelTest::TearDown();
    }

    // Every grip the editor holds is one of the host's own (none carries the module's data),
    // and the insertion grip is among them.
    static void expectHostGripsOnly(const kxhost::GripEditor& editor) {
        ASSERT_GE(editor.gripCount(), 1);
        for (int i = 0; i < editor.gripCount(); ++i) {
            EXPECT_GE(kxhost::HostGripAppData::indexOf(editor.grip(i)->appData()), 0) << i;
            EXPECT_EQ(kxgrips::appDataOf(editor.grip(i)), nullptr) << i;
        }
        EXPECT_EQ(editor.hostGrip(0), 0);
    }

    // Drags the insertion grip by `offset` and checks the reference followed it exactly.
    void expectInsertionDragMoves(const AcDbObjectId& refId, const AcGeVector3d& offset) {
        const AcGePoint3d before = positionOf(refId);
        const AcDbObjectId block = blockOf(refId);
        kxhost::GripEditor editor(db, refId);
        ASSERT_EQ(editor.collectGrips(), Acad::eOk);
        expectHostGripsOnly(editor);
        const int insertion = editor.hostGrip(0);
        ASSERT_GE(insertion, 0);
        ASSERT_EQ(editor.beginDrag(insertion), Acad::eOk);
        ASSERT_EQ(editor.dragTo(offset), Acad::eOk);
        ASSERT_EQ(editor.release(), Acad::eOk);
        EXPECT_TRUE(positionOf(refId).isEqualTo(before + offset));
        EXPECT_EQ(blockOf(refId), block);
        EXPECT_FALSE(hasInstanceData(refId));
        EXPECT_FALSE(hasHistory(refId));
    }

    AcDbObjectId claimedBlock;
    int markDisplay = 0;
};

TEST_F(HostGripsEndToEndTest, ReferencesTheOverruleLeavesAloneGetTheHostsGripsAndDrags) {
    buildPanel(kxauthor::ValueSetSpec::grid(2.5));
    // An ordinary block: no graph at all.
    AcDbObjectId plainBlock;
    ASSERT_EQ(kxauthor::makeDefinition(
                  db, L"PLAIN", {kxauthor::rectangle(AcGePoint2d(0, 0), 4.0, 4.0)}, plainBlock),
              Acad::eOk);
    AcDbObjectId plainRef;
    ASSERT_EQ(kxauthor::insertReference(db, plainBlock, AcGePoint3d(-30, 0, 0), 0.0, 1.0, plainRef),
              Acad::eOk);
    {
        SCOPED_TRACE("ordinary block");
        expectInsertionDragMoves(plainRef, AcGeVector3d(3, 4, 0));
    }

    // A block with a graph that the host claims as its own dynamic block.
    AcDbObjectId claimedRef;
    {
        kxauthor::Author author(db);
        author.rootData().definition(L"CLAIMED",
                                     {kxauthor::rectangle(AcGePoint2d(0, 0), kWidth, kHeight)});
        author.graph().linear(AcGePoint3d(0, 0, 0), AcGePoint3d(kWidth, 0, 0), L"Width", 2);
        ASSERT_TRUE(author.ok()) << author.status();
        claimedBlock = author.definitionId();
    }
    kxhost::markHostDynamicBlock(claimedBlock, true);
    ASSERT_EQ(
        kxauthor::insertReference(db, claimedBlock, AcGePoint3d(0, -40, 0), 0.0, 1.0, claimedRef),
        Acad::eOk);
    {
        SCOPED_TRACE("host's dynamic block");
        expectInsertionDragMoves(claimedRef, AcGeVector3d(-2, 1, 0));
    }

    // A dynamic reference stretched along Y: drags could not be mapped back uniformly.
    {
        AcDbBlockReference* ref = nullptr;
        ASSERT_EQ(acdbOpenObject(ref, refs[1], AcDb::kForWrite), Acad::eOk);
        EXPECT_EQ(ref->setScaleFactors(AcGeScale3d(1, 2, 1)), Acad::eOk);
        ref->close();
    }
    {
        SCOPED_TRACE("non-uniformly scaled dynamic reference");
        expectInsertionDragMoves(refs[1], AcGeVector3d(1.5, -2.5, 0));
        EXPECT_NEAR(rightEdge(refs[1]), kWidth, 1e-9);
    }
    // The overrule still offers its grip on the uniformly scaled neighbours.
    kxhost::GripEditor editor(db, refs[0]);
    ASSERT_EQ(editor.collectGrips(), Acad::eOk);
    EXPECT_NE(kxgrips::appDataOf(editor.grip(0)), nullptr);
}

TEST_F(HostGripsEndToEndTest, DragAlongTheNormalIsIgnoredAndAZeroOffsetIsRefused) {
    buildPanel(kxauthor::ValueSetSpec::grid(2.5));
    const AcDbObjectId sharedBlock = blockOf(refs[1]);
    const AcGeMatrix3d before = transformOf(refs[1]);
    {
        kxhost::GripEditor editor(db, refs[1]);
        ASSERT_EQ(editor.collectGrips(), Acad::eOk);
        ASSERT_NE(kxgrips::appDataOf(editor.grip(0)), nullptr);
        ASSERT_EQ(editor.beginDrag(0), Acad::eOk);
        ASSERT_EQ(editor.dragTo(AcGeVector3d(0, 0, -7.5)), Acad::eOk);
        ASSERT_EQ(editor.release(), Acad::eOk);
        // The overrule was asked to move, and chose to change nothing.
        EXPECT_NE(std::find(editor.log().begin(), editor.log().end(), "move"), editor.log().end());
    }
    EXPECT_EQ(blockOf(refs[1]), sharedBlock);
    EXPECT_NEAR(rightEdge(refs[1]), kWidth, 1e-9);
    EXPECT_TRUE(transformOf(refs[1]).isEqualTo(before));
    EXPECT_FALSE(hasInstanceData(refs[1]));
    EXPECT_FALSE(hasHistory(refs[1]));

    // A drag that comes back to where it started still reaches the overrule on release (the
    // editor moves by whatever offset it ends on): a zero offset is refused.
    {
        kxhost::GripEditor editor(db, refs[1]);
        ASSERT_EQ(editor.collectGrips(), Acad::eOk);
        ASSERT_NE(kxgrips::appDataOf(editor.grip(0)), nullptr);
        ASSERT_EQ(editor.beginDrag(0), Acad::eOk);
        ASSERT_EQ(editor.dragTo(AcGeVector3d(4.0, 0, 0)), Acad::eOk);
        // Both the drag image's move and the move on release are refused.
        EXPECT_EQ(editor.dragTo(AcGeVector3d(0, 0, 0)), Acad::eInvalidInput);
        EXPECT_EQ(editor.lastDragStatus(), Acad::eInvalidInput);
        EXPECT_EQ(editor.release(), Acad::eInvalidInput);
        EXPECT_NE(std::find(editor.log().begin(), editor.log().end(), "move"), editor.log().end());
    }
    EXPECT_EQ(blockOf(refs[1]), sharedBlock);
    EXPECT_TRUE(transformOf(refs[1]).isEqualTo(before));
    EXPECT_FALSE(hasInstanceData(refs[1]));
}

TEST_F(HostGripsEndToEndTest, LinearGlyphIsAnOutlinedArrowAndAHotGripMarksEachDistance) {
    buildPanel(kxauthor::ValueSetSpec::list({5.0, 7.5, 10.0, 15.0, 20.0}));
    kxhost::GripEditor editor(db, refs[0]);
    ASSERT_EQ(editor.collectGrips(), Acad::eOk);
    ASSERT_NE(kxgrips::appDataOf(editor.grip(0)), nullptr);
    const AcGePoint3d gripPoint = editor.grip(0)->gripPoint();

    // Hovering draws the filled arrow, pointing along the parameter (+X) from the grip.
    {
        kxhost::RecordingViewportDraw vd;
        kxhost::GripEditor::HoverResult hover;
        ASSERT_EQ(editor.hover(0, vd, &hover), Acad::eOk);
        EXPECT_TRUE(hover.viewportDrawn);
        ASSERT_EQ(vd.count(kxhost::GiKind::kPolygon), 1);
        for (const auto& prim : vd.primitives()) {
            if (prim.kind != kxhost::GiKind::kPolygon) {
                continue;
            }
            ASSERT_EQ(prim.points.size(), 3u);
            // The tip lies ahead of the grip along X, the base behind it, across Y.
            EXPECT_NEAR(prim.points[1].y, gripPoint.y, 1e-9);
            EXPECT_GT(prim.points[1].x, gripPoint.x);
            EXPECT_LT(prim.points[0].x, gripPoint.x);
            EXPECT_LT(prim.points[0].y, gripPoint.y);
            EXPECT_GT(prim.points[2].y, gripPoint.y);
        }
        editor.unhover();
    }

    // The editor has no warm or hot draw of its own: the record's viewport-draw function is
    // called the way the host draws a warm grip and a hot one.
    GripWorldOrViewportDrawPtr draw = editor.grip(0)->viewportDraw();
    ASSERT_NE(draw, nullptr);
    {
        kxhost::RecordingViewportDraw vd;
        AcGePoint3d at = gripPoint;
        EXPECT_TRUE(draw(editor.grip(0), &vd, refs[0], AcDbGripOperations::kWarmGrip, &at, 5));
        EXPECT_EQ(vd.count(kxhost::GiKind::kPolygon), 1);
        ASSERT_EQ(vd.count(kxhost::GiKind::kPolyline), 1);
        std::vector<AcGePoint3d> triangle;
        std::vector<AcGePoint3d> outline;
        for (const auto& prim : vd.primitives()) {
            (prim.kind == kxhost::GiKind::kPolygon ? triangle : outline) = prim.points;
        }
        ASSERT_EQ(triangle.size(), 3u);
        ASSERT_EQ(outline.size(), 4u);
        for (size_t i = 0; i < 4; ++i) {
            EXPECT_TRUE(outline[i].isEqualTo(triangle[i % 3])) << i;
        }
    }
    kxhost::setSystemVariableInt(L"BTMARKDISPLAY", 1);
    {
        kxhost::RecordingViewportDraw vd;
        vd.recordingViewport().setDcCorners(AcGePoint2d(-500, -500), AcGePoint2d(500, 500));
        AcGePoint3d at = gripPoint;
        EXPECT_TRUE(draw(editor.grip(0), &vd, refs[0], AcDbGripOperations::kHotGrip, &at, 5));
        EXPECT_EQ(vd.count(kxhost::GiKind::kPolygon), 1);
        // One mark across the line at each allowed distance from the base point; no outline.
        std::vector<double> at_x;
        for (const auto& prim : vd.primitives()) {
            if (prim.kind == kxhost::GiKind::kPolyline) {
                ASSERT_EQ(prim.points.size(), 2u);
                EXPECT_NEAR(prim.points[0].x, prim.points[1].x, 1e-9);
                at_x.push_back(prim.points[0].x);
            }
        }
        std::sort(at_x.begin(), at_x.end());
        ASSERT_EQ(at_x.size(), 5u);
        const double expected[] = {5.0, 7.5, 10.0, 15.0, 20.0};
        for (size_t i = 0; i < 5; ++i) {
            EXPECT_NEAR(at_x[i], expected[i], 1e-9) << i;
        }
    }
    kxhost::setSystemVariableInt(L"BTMARKDISPLAY", 0);
    {
        kxhost::RecordingViewportDraw vd;
        vd.recordingViewport().setDcCorners(AcGePoint2d(-500, -500), AcGePoint2d(500, 500));
        AcGePoint3d at = gripPoint;
        EXPECT_TRUE(draw(editor.grip(0), &vd, refs[0], AcDbGripOperations::kHotGrip, &at, 5));
        EXPECT_EQ(vd.count(kxhost::GiKind::kPolygon), 1);
        EXPECT_EQ(vd.count(kxhost::GiKind::kPolyline), 0);
    }
}

}  // namespace
