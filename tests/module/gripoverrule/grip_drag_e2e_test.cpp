// One grip drag as the host's grip editor plays it: the grips offered on a stretchable panel,
// the drag image while the grip moves, and the reference after the grip is released.
#include <gtest/gtest.h>

#include <algorithm>

#include "host/db/blocktablerecord.h"
#include "host/db/database.h"
#include "host/ed/sysvars.h"
#include "host/entities/blockref.h"
#include "host/entities/polyline.h"
#include "host/gi/recording.h"
#include "host/testing/grip_editor.h"
#include "module/grips/grip_callbacks.h"
#include "module/grips/grip_overrule.h"
#include "module/grips/nb_app_data.h"
#include "module/params/linear_tag.h"
#include "module/rootdata/root_data.h"
#include "support/module_loader.h"
#include "tests/module/gripoverrule/panel_drawing.h"
#include "tools/authoring/authoring.h"

namespace {

using paneltest::kHeight;
using paneltest::kSpacing;
using paneltest::kWidth;
constexpr double kStep = 2.5;

class GripDragEndToEndTest : public paneltest::PanelTest {
  protected:
    void SetUp() override {
        paneltest::PanelTest::SetUp();
        buildPanel(kxauthor::ValueSetSpec::grid(kStep));
    }
};

TEST_F(GripDragEndToEndTest, OnlyTheStretchingGripIsOfferedAheadOfTheHostsGrips) {
    kxhost::GripEditor editor(db, refs[1]);
    ASSERT_EQ(editor.collectGrips(), Acad::eOk);
    ASSERT_GE(editor.gripCount(), 2);
    const KxDbNimbleBlockNBAppData* data = kxgrips::appDataOf(editor.grip(0));
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->gripIndex(), 1);  // the end grip; the base grip drives nothing
    EXPECT_TRUE(editor.grip(0)->gripPoint().isEqualTo(AcGePoint3d(kSpacing + kWidth, 0, 0)));
    for (int i = 1; i < editor.gripCount(); ++i) {
        EXPECT_EQ(kxgrips::appDataOf(editor.grip(i)), nullptr) << i;
    }
    EXPECT_EQ(editor.hostGrip(0), 1);
}

TEST_F(GripDragEndToEndTest, DragLandsOnTheNearestStepAndChangesThatReferenceOnly) {
    const AcDbObjectId sharedBlock = blockOf(refs[0]);
    {
        kxhost::GripEditor editor(db, refs[1]);
        ASSERT_EQ(editor.collectGrips(), Acad::eOk);
        ASSERT_EQ(editor.beginDrag(0), Acad::eOk);
        // 10 + 3.4 lands on 12.5; the image shows the stretched panel while the grip moves.
        kxhost::RecordingViewportDraw vd;
        ASSERT_EQ(editor.dragTo(AcGeVector3d(3.4, 0.3, 0), &vd), Acad::eOk);
        EXPECT_EQ(editor.lastDragStatus(), Acad::eOk);
        // Only what was drawn for the image itself counts (the grip glyph follows it).
        double imageRight = -1e300;
        const auto& draws = vd.recording().entityDraws();
        ASSERT_FALSE(draws.empty());
        const kxhost::GiEntityDraw& image = draws.front();
        ASSERT_GT(image.primitiveCount, 0u);
        for (size_t i = image.firstPrimitive; i < image.firstPrimitive + image.primitiveCount;
             ++i) {
            for (const AcGePoint3d& pt : vd.primitives()[i].points) {
                imageRight = std::max(imageRight, pt.x);
            }
        }
        EXPECT_NEAR(imageRight, kSpacing + 12.5, 1e-9);
        // Nothing in the drawing moved during the drag.
        EXPECT_NEAR(rightEdge(refs[1]), kWidth, 1e-9);
        ASSERT_EQ(editor.release(), Acad::eOk);
    }
    EXPECT_NEAR(rightEdge(refs[1]), 12.5, 1e-9);
    EXPECT_NE(blockOf(refs[1]), sharedBlock);
    EXPECT_TRUE(hasInstanceData(refs[1]));
    EXPECT_FALSE(hasHistory(refs[1]));
    for (int i : {0, 2}) {
        EXPECT_EQ(blockOf(refs[i]), sharedBlock) << i;
        EXPECT_NEAR(rightEdge(refs[i]), kWidth, 1e-9) << i;
        EXPECT_FALSE(hasInstanceData(refs[i])) << i;
    }

    // The grips offered afterwards sit where the parameter now ends.
    kxhost::GripEditor again(db, refs[1]);
    ASSERT_EQ(again.collectGrips(), Acad::eOk);
    ASSERT_NE(kxgrips::appDataOf(again.grip(0)), nullptr);
    EXPECT_TRUE(again.grip(0)->gripPoint().isEqualTo(AcGePoint3d(kSpacing + 12.5, 0, 0)));
}

TEST_F(GripDragEndToEndTest, HoverShowsTheParametersDescription) {
    {
        KxDbBlockLinearTag* linear = nullptr;
        ASSERT_EQ(acdbOpenObject(linear, parameterId, AcDb::kForWrite), Acad::eOk);
        EXPECT_EQ(linear->setDistanceDescription(L"Panel width"), Acad::eOk);
        linear->close();
    }
    kxhost::GripEditor editor(db, refs[0]);
    ASSERT_EQ(editor.collectGrips(), Acad::eOk);
    kxhost::RecordingViewportDraw vd;
    kxhost::GripEditor::HoverResult hover;
    ASSERT_EQ(editor.hover(0, vd, &hover), Acad::eOk);
    EXPECT_TRUE(hover.viewportDrawn);  // the arrow glyph
    EXPECT_TRUE(hover.hasToolTip);
    EXPECT_EQ(hover.toolTip, L"Panel width");
    // The text stays readable after every object it came from is closed.
    const ACHAR* text = kxgrips::gripTooltip(editor.grip(0));
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(std::wstring(text), L"Panel width");
}

TEST_F(GripDragEndToEndTest, DragAlongTheNormalOrCancelledChangesNothing) {
    const AcDbObjectId sharedBlock = blockOf(refs[2]);
    {
        kxhost::GripEditor editor(db, refs[2]);
        ASSERT_EQ(editor.collectGrips(), Acad::eOk);
        ASSERT_EQ(editor.beginDrag(0), Acad::eOk);
        EXPECT_EQ(editor.dragTo(AcGeVector3d(0, 0, 5.0)), Acad::eOk);
        ASSERT_EQ(editor.release(), Acad::eOk);
    }
    EXPECT_NEAR(rightEdge(refs[2]), kWidth, 1e-9);
    {
        kxhost::GripEditor editor(db, refs[2]);
        ASSERT_EQ(editor.collectGrips(), Acad::eOk);
        ASSERT_EQ(editor.beginDrag(0), Acad::eOk);
        EXPECT_EQ(editor.dragTo(AcGeVector3d(5.0, 0, 0)), Acad::eOk);
        editor.cancel();
    }
    EXPECT_NEAR(rightEdge(refs[2]), kWidth, 1e-9);
    EXPECT_EQ(blockOf(refs[2]), sharedBlock);
}

}  // namespace

namespace {

TEST_F(GripDragEndToEndTest, TypingADistanceIntoTheEndGripsDimensionPlacesTheEnd) {
    kxhost::setSystemVariableInt(L"DYNMODE", 3);
    kxhost::GripEditor editor(db, refs[2]);
    ASSERT_EQ(editor.collectGrips(), Acad::eOk);
    kxhost::RecordingViewportDraw vd;
    kxhost::GripEditor::HoverResult hovered;
    ASSERT_EQ(editor.hover(0, vd, &hovered), Acad::eOk);
    ASSERT_EQ(hovered.dimensionCount, 1);
    ASSERT_EQ(editor.dimData().length(), 1);
    // 15 lies on the 2.5 grid: the end lands exactly there, and the stretch follows it.
    ASSERT_EQ(editor.typeDimensionValue(0, 15.0), Acad::eOk);
    EXPECT_NEAR(rightEdge(refs[2]), 15.0, 1e-9);
    EXPECT_NEAR(rightEdge(refs[0]), kWidth, 1e-9);
    EXPECT_TRUE(hasInstanceData(refs[2]));
}

}  // namespace
