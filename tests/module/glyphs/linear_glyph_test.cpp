// Linear grip glyphs drawn into a recording viewport, and the value-set marks of hot grips.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "host/db/database.h"
#include "host/ed/sysvars.h"
#include "host/gi/recording.h"
#include "module/grips/glyphs.h"
#include "module/params/value_set.h"
#include "support/module_loader.h"

namespace {

using kxhost::GiKind;
using kxhost::GiPrimitive;

void expectPoint(const AcGePoint3d& actual, const AcGePoint3d& expected) {
    EXPECT_NEAR(actual.x, expected.x, 1e-9);
    EXPECT_NEAR(actual.y, expected.y, 1e-9);
    EXPECT_NEAR(actual.z, expected.z, 1e-9);
}

class LinearGlyphTest : public kxtest::ModuleTest {
  protected:
    void SetUp() override {
        ModuleTest::SetUp();
        kxhost::resetSystemVariables();
        kxhost::setSystemVariableInt(L"GRIPDYNCOLOR", 5);
        kxhost::setSystemVariableInt(L"BTMARKDISPLAY", 1);
        services = acdbHostApplicationServices();
        previousDb = services->workingDatabase();
        services->setWorkingDatabase(&db);
        services->setGripColorsEnabled(true);
        // Block placed at (10, 20, 0), scaled by 2: a definition unit is two world units.
        glyph.blockTransform =
            AcGeMatrix3d::translation(AcGeVector3d(10.0, 20.0, 0.0)) * AcGeMatrix3d::scaling(2.0);
        glyph.definitionPosition.set(1.0, 0.0, 0.0);
        glyph.gripPoint.set(12.0, 20.0, 0.0);
        glyph.direction.set(0.0, 1.0, 0.0);
        glyph.gripSize = 4;
        vd.recordingViewport().setPixelsPerUnit(2.0, 2.0);  // half size: 2 world units
    }
    void TearDown() override {
        services->setWorkingDatabase(previousDb);
        services->setGripColorsEnabled(true);
        kxhost::resetSystemVariables();
        ModuleTest::TearDown();
    }

    std::vector<GiPrimitive> of(GiKind kind) const {
        std::vector<GiPrimitive> out;
        for (const GiPrimitive& p : vd.primitives()) {
            if (p.kind == kind) {
                out.push_back(p);
            }
        }
        return out;
    }

    AcDbHostApplicationServices* services = nullptr;
    AcDbDatabase* previousDb = nullptr;
    AcDbDatabase db;
    kxhost::RecordingViewportDraw vd;
    kxgrips::LinearGlyph glyph;
};

TEST_F(LinearGlyphTest, WarmGlyphIsAFilledArrowAlongTheDirectionWithAnOutline) {
    ASSERT_TRUE(kxgrips::drawLinearGlyph(&vd, glyph));
    const auto polygons = of(GiKind::kPolygon);
    ASSERT_EQ(polygons.size(), 1u);
    const GiPrimitive& tri = polygons[0];
    ASSERT_EQ(tri.points.size(), 3u);
    // Grip at (12, 20); the arrow points along +Y, 2 world units per half size.
    expectPoint(tri.points[0], AcGePoint3d(14.0, 18.0, 0.0));
    expectPoint(tri.points[1], AcGePoint3d(12.0, 24.0, 0.0));
    expectPoint(tri.points[2], AcGePoint3d(10.0, 18.0, 0.0));
    EXPECT_EQ(tri.color, 5);
    EXPECT_EQ(tri.fillType, kAcGiFillAlways);
    EXPECT_EQ(tri.drawFlags & kxgrips::kGlyphFillDrawFlag, kxgrips::kGlyphFillDrawFlag);

    const auto outlines = of(GiKind::kPolyline);
    ASSERT_EQ(outlines.size(), 1u);
    ASSERT_EQ(outlines[0].points.size(), 4u);
    EXPECT_EQ(outlines[0].color, kxgrips::kGlyphOutlineColor);
    expectPoint(outlines[0].points[3], outlines[0].points[0]);
    expectPoint(outlines[0].points[1], tri.points[1]);
    // The fill flag was for the glyph only.
    EXPECT_EQ(outlines[0].drawFlags & kxgrips::kGlyphFillDrawFlag, 0u);
    EXPECT_EQ(vd.subEntityTraits().drawFlags() & kxgrips::kGlyphFillDrawFlag, 0u);
}

TEST_F(LinearGlyphTest, SizeFollowsThePixelsPerUnitOfEachAxis) {
    vd.recordingViewport().setPixelsPerUnit(1.0, 4.0);  // hx = 4, hy = 1
    ASSERT_TRUE(kxgrips::drawLinearGlyph(&vd, glyph));
    const auto polygons = of(GiKind::kPolygon);
    ASSERT_EQ(polygons.size(), 1u);
    // u along +Y takes the X half size, v along -X the Y half size.
    expectPoint(polygons[0].points[0], AcGePoint3d(13.0, 16.0, 0.0));
    expectPoint(polygons[0].points[1], AcGePoint3d(12.0, 28.0, 0.0));
}

TEST_F(LinearGlyphTest, ColourAndOutlineDependOnDrawTypeAndSettings) {
    // Unknown colour variable: the fallback colour.
    kxhost::removeSystemVariable(L"GRIPDYNCOLOR");
    ASSERT_TRUE(kxgrips::drawLinearGlyph(&vd, glyph));
    ASSERT_EQ(of(GiKind::kPolygon).size(), 1u);
    EXPECT_EQ(of(GiKind::kPolygon)[0].color, kxgrips::kGlyphFallbackColor);

    // Hover and hot grips keep the host's colour and draw no outline.
    for (int type : {kxgrips::kGlyphHover, kxgrips::kGlyphHot}) {
        vd.recording().clear();
        vd.subEntityTraits().setColor(3);
        glyph.drawType = type;
        ASSERT_TRUE(kxgrips::drawLinearGlyph(&vd, glyph));
        ASSERT_EQ(of(GiKind::kPolygon).size(), 1u) << type;
        EXPECT_EQ(of(GiKind::kPolygon)[0].color, 3) << type;
        EXPECT_TRUE(of(GiKind::kPolyline).empty()) << type;
    }

    // A drag image takes the colour but no outline.
    vd.recording().clear();
    glyph.drawType = kxgrips::kGlyphDragImage;
    ASSERT_TRUE(kxgrips::drawLinearGlyph(&vd, glyph));
    EXPECT_EQ(of(GiKind::kPolygon)[0].color, kxgrips::kGlyphFallbackColor);
    EXPECT_TRUE(of(GiKind::kPolyline).empty());

    // Grip colours switched off by the host: the colour is left alone.
    vd.recording().clear();
    vd.subEntityTraits().setColor(3);
    services->setGripColorsEnabled(false);
    glyph.drawType = kxgrips::kGlyphWarm;
    ASSERT_TRUE(kxgrips::drawLinearGlyph(&vd, glyph));
    EXPECT_EQ(of(GiKind::kPolygon)[0].color, 3);

    // Fill mode off: a warm grip has no outline.
    vd.recording().clear();
    ASSERT_EQ(db.setFillmode(false), Acad::eOk);
    ASSERT_TRUE(kxgrips::drawLinearGlyph(&vd, glyph));
    EXPECT_EQ(of(GiKind::kPolygon).size(), 1u);
    EXPECT_TRUE(of(GiKind::kPolyline).empty());
}

TEST_F(LinearGlyphTest, DegenerateDirectionPointsAlongX) {
    glyph.direction.set(0.0, 0.0, 0.0);
    glyph.degenerate = true;
    ASSERT_TRUE(kxgrips::drawLinearGlyph(&vd, glyph));
    ASSERT_EQ(of(GiKind::kPolygon).size(), 1u);
    expectPoint(of(GiKind::kPolygon)[0].points[1], AcGePoint3d(16.0, 20.0, 0.0));
}

TEST_F(LinearGlyphTest, UnmeasurableViewportDrawsNothing) {
    for (double px : {0.0, 1e-9, std::numeric_limits<double>::quiet_NaN()}) {
        vd.recording().clear();
        vd.recordingViewport().setPixelsPerUnit(px, 2.0);
        EXPECT_FALSE(kxgrips::drawLinearGlyph(&vd, glyph)) << px;
        EXPECT_TRUE(vd.primitives().empty()) << px;
    }
    EXPECT_FALSE(kxgrips::drawLinearGlyph(nullptr, glyph));
}

TEST_F(LinearGlyphTest, EdgeOnAndPerspectiveViewsDrawTheArrowFacingTheScreen) {
    kxhost::RecordingViewport& viewport = vd.recordingViewport();
    // Looking along the reference's plane: its normal is 90 degrees from the line of sight.
    viewport.setView(AcGePoint3d(12.0, 0.0, 0.0), AcGePoint3d(12.0, 20.0, 0.0),
                     AcGeVector3d(0.0, 0.0, 1.0));
    EXPECT_TRUE(kxgrips::glyphInEyeSpace(viewport, glyph.normal));
    ASSERT_TRUE(kxgrips::drawLinearGlyph(&vd, glyph));
    ASSERT_EQ(of(GiKind::kPolygon).size(), 1u);
    const GiPrimitive tri = of(GiKind::kPolygon)[0];
    // The direction (+Y) points into the screen, so the arrow falls back to the screen's X
    // axis; all its points lie in the plane through the grip facing the camera.
    for (const AcGePoint3d& p : tri.points) {
        EXPECT_NEAR(p.y, 20.0, 1e-9);
    }
    EXPECT_NEAR((tri.points[1] - glyph.gripPoint).length(), 4.0, 1e-9);

    // Seen from below (normal reversed relative to the view) the plane is flat on screen.
    viewport.setView(AcGePoint3d(0.0, 0.0, -10.0), AcGePoint3d(0.0, 0.0, 0.0));
    EXPECT_FALSE(kxgrips::glyphInEyeSpace(viewport, glyph.normal));
    // 79 degrees off is still drawn in the reference's plane; 81 degrees is not.
    const double a79 = 79.0 * M_PI / 180.0;
    const double a81 = 81.0 * M_PI / 180.0;
    viewport.setViewDirection(AcGeVector3d(std::sin(a79), 0.0, -std::cos(a79)));
    EXPECT_FALSE(kxgrips::glyphInEyeSpace(viewport, glyph.normal));
    viewport.setViewDirection(AcGeVector3d(std::sin(a81), 0.0, -std::cos(a81)));
    EXPECT_TRUE(kxgrips::glyphInEyeSpace(viewport, glyph.normal));

    viewport.setView(AcGePoint3d(0.0, 0.0, 10.0), AcGePoint3d(0.0, 0.0, 0.0));
    viewport.setPerspective(true);
    EXPECT_TRUE(kxgrips::glyphInEyeSpace(viewport, glyph.normal));
    vd.recording().clear();
    ASSERT_TRUE(kxgrips::drawLinearGlyph(&vd, glyph));
    ASSERT_EQ(of(GiKind::kPolygon).size(), 1u);
    const GiPrimitive projected = of(GiKind::kPolygon)[0];
    for (const AcGePoint3d& p : projected.points) {
        EXPECT_TRUE(std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z));
    }
}

// Marks for a linear end grip: distances measured from the base at (10, 20) along +Y.
class ValueSetMarksTest : public LinearGlyphTest {
  protected:
    void SetUp() override {
        LinearGlyphTest::SetUp();
        glyph.drawType = kxgrips::kGlyphHot;
        marks.origin.set(10.0, 20.0, 0.0);
        marks.direction.set(0.0, 1.0, 0.0);
        marks.across.set(1.0, 0.0, 0.0);
        marks.currentDistance = 2.0;
        marks.scale = 1.0;
        marks.valueSet = &set;
        glyph.marks = &marks;
    }
    std::vector<double> markDistances() const {
        std::vector<double> out;
        for (const GiPrimitive& p : vd.primitives()) {
            if (p.kind == GiKind::kPolyline && p.color == kxgrips::kValueSetMarkColor) {
                out.push_back(((p.points[0] + (p.points[1] - p.points[0]) * 0.5) - marks.origin)
                                  .dotProduct(marks.direction));
            }
        }
        return out;
    }

    KxDbBlockTagValueSet set;
    kxgrips::ValueSetMarks marks;
};

TEST_F(ValueSetMarksTest, HotGripMarksEachAllowedDistanceOfAnIncrementSet) {
    set.setIncrement(1.5);
    set.setMinimum(0.5);
    set.setHasMinimum(true);
    set.setMaximum(6.0);
    set.setHasMaximum(true);
    ASSERT_TRUE(kxgrips::drawLinearGlyph(&vd, glyph));
    // The grid runs through the current distance, within the bounds.
    const std::vector<double> expected{0.5, 2.0, 3.5, 5.0};
    const std::vector<double> got = markDistances();
    ASSERT_EQ(got.size(), expected.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
        EXPECT_NEAR(got[i], expected[i], 1e-9);
    }
    for (const GiPrimitive& p : vd.primitives()) {
        if (p.color == kxgrips::kValueSetMarkColor) {
            ASSERT_EQ(p.points.size(), 2u);
            EXPECT_NEAR((p.points[1] - p.points[0]).dotProduct(marks.direction), 0.0, 1e-12);
        }
    }
}

TEST_F(ValueSetMarksTest, ListSetsScaledAndCentredParameters) {
    AcGeDoubleArray values;
    values.append(1.0);
    values.append(4.0);
    ASSERT_EQ(set.setList(values), Acad::eOk);
    marks.scale = 2.0;
    ASSERT_TRUE(kxgrips::drawLinearGlyph(&vd, glyph));
    std::vector<double> got = markDistances();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_NEAR(got[0], 2.0, 1e-9);
    EXPECT_NEAR(got[1], 8.0, 1e-9);

    // A centred parameter moves each end by half the distance.
    vd.recording().clear();
    marks.halfDistance = true;
    ASSERT_TRUE(kxgrips::drawLinearGlyph(&vd, glyph));
    got = markDistances();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_NEAR(got[0], 1.0, 1e-9);
    EXPECT_NEAR(got[1], 4.0, 1e-9);
}

TEST_F(ValueSetMarksTest, NoMarksWhenSwitchedOffDegenerateOrNotHot) {
    set.setIncrement(1.0);
    kxhost::setSystemVariableInt(L"BTMARKDISPLAY", 0);
    ASSERT_TRUE(kxgrips::drawLinearGlyph(&vd, glyph));
    EXPECT_TRUE(markDistances().empty());

    kxhost::removeSystemVariable(L"BTMARKDISPLAY");  // unknown: off
    ASSERT_TRUE(kxgrips::drawLinearGlyph(&vd, glyph));
    EXPECT_TRUE(markDistances().empty());

    kxhost::resetSystemVariables();
    kxhost::setSystemVariableInt(L"BTMARKDISPLAY", 1);
    glyph.degenerate = true;
    ASSERT_TRUE(kxgrips::drawLinearGlyph(&vd, glyph));
    EXPECT_TRUE(markDistances().empty());

    glyph.degenerate = false;
    glyph.drawType = kxgrips::kGlyphHover;
    ASSERT_TRUE(kxgrips::drawLinearGlyph(&vd, glyph));
    EXPECT_TRUE(markDistances().empty());

    glyph.drawType = kxgrips::kGlyphHot;
    ASSERT_TRUE(kxgrips::drawLinearGlyph(&vd, glyph));
    EXPECT_FALSE(markDistances().empty());
}

TEST_F(ValueSetMarksTest, IncrementsFromAFileCannotFloodTheView) {
    std::vector<double> d;
    // A negative increment marks the same grid as its absolute value.
    set.setIncrement(-1.0);
    set.setMinimum(0.0);
    set.setHasMinimum(true);
    set.setMaximum(4.0);
    set.setHasMaximum(true);
    ASSERT_TRUE(kxgrips::valueSetMarkDistances(set, 1.0, 2.0, 100.0, 1.0, d));
    EXPECT_EQ(d, (std::vector<double>{0.0, 1.0, 2.0, 3.0, 4.0}));
    set.setIncrement(-0.1);
    ASSERT_TRUE(kxgrips::valueSetMarkDistances(set, 1.0, 2.0, 100.0, 20.0, d));
    EXPECT_EQ(d.size(), 41u);

    // Marks closer than a pixel are not drawn.
    set.setIncrement(1e-9);
    EXPECT_FALSE(kxgrips::valueSetMarkDistances(set, 1.0, 2.0, 100.0, 1.0, d));
    EXPECT_TRUE(d.empty());
    // Even at a huge zoom, too many marks are not drawn.
    EXPECT_FALSE(kxgrips::valueSetMarkDistances(set, 1.0, 2.0, 100.0, 1e12, d));

    for (double bad :
         {0.0, std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()}) {
        set.setIncrement(bad);
        EXPECT_FALSE(kxgrips::valueSetMarkDistances(set, 1.0, 2.0, 100.0, 1.0, d)) << bad;
    }
    set.setIncrement(1.0);
    EXPECT_FALSE(kxgrips::valueSetMarkDistances(set, 1.0, std::numeric_limits<double>::quiet_NaN(),
                                                100.0, 1.0, d));
    EXPECT_FALSE(kxgrips::valueSetMarkDistances(set, 1.0, 2.0, 100.0, 0.0, d));

    // A value set that is neither a list nor an increment set has no marks.
    KxDbBlockTagValueSet plain;
    EXPECT_FALSE(kxgrips::valueSetMarkDistances(plain, 1.0, 2.0, 100.0, 1.0, d));
}

TEST_F(ValueSetMarksTest, WithoutMaximumMarksReachTheVisibleExtentOrTheCurrentDistance) {
    std::vector<double> d;
    set.setIncrement(1.0);
    ASSERT_TRUE(kxgrips::valueSetMarkDistances(set, 1.0, 2.5, 6.0, 1.0, d));
    EXPECT_EQ(d, (std::vector<double>{0.5, 1.5, 2.5, 3.5, 4.5, 5.5}));
    // The current distance beyond the view is still marked.
    ASSERT_TRUE(kxgrips::valueSetMarkDistances(set, 1.0, 9.5, 2.0, 1.0, d));
    EXPECT_NEAR(d.back(), 9.5, 1e-12);
    EXPECT_NEAR(d.front(), 0.5, 1e-12);
}

}  // namespace
