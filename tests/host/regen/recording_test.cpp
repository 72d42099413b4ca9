// The recording contexts: primitives after the model-transform stack, traits, the configurable
// viewport and the viewport pass.
#include <gtest/gtest.h>

#include <cmath>

#include "host/entities/circle.h"
#include "host/entities/line.h"
#include "tests/host/regen/regen_test_support.h"

namespace {

using kxhost::GiKind;
using kxhost::GiPrimitive;
using kxhost::RecordingViewport;
using kxhost::RecordingViewportDraw;
using kxhost::RecordingWorldDraw;
using kxhost::RegenReport;
using regentest::OverruleScope;
using regentest::samePoint;
using regentest::samePoints;

const double kPi = 3.14159265358979323846;

::testing::AssertionResult sameVector(const AcGeVector3d& e, const AcGeVector3d& a) {
    return regentest::samePoint(AcGePoint3d::kOrigin + e, AcGePoint3d::kOrigin + a);
}

TEST(RecordingGeometry, CirclesAndArcsInWorldCoordinates) {
    RecordingWorldDraw wd;
    AcGiWorldGeometry& g = wd.geometry();
    ASSERT_TRUE(g.pushModelTransform(AcGeMatrix3d::translation(AcGeVector3d(1, 2, 3))));
    ASSERT_TRUE(g.pushModelTransform(AcGeMatrix3d::rotation(kPi / 2, AcGeVector3d::kZAxis)));
    g.circle(AcGePoint3d(1, 0, 0), AcGePoint3d(0, 1, 0), AcGePoint3d(-1, 0, 0));
    const GiPrimitive& c = wd.primitives().back();
    EXPECT_EQ(c.kind, GiKind::kCircle);
    EXPECT_TRUE(samePoint(AcGePoint3d(1, 2, 3), c.center));
    EXPECT_NEAR(c.radius, 1.0, 1e-9);
    EXPECT_TRUE(sameVector(AcGeVector3d::kZAxis, c.normal));
    EXPECT_TRUE(samePoint(AcGePoint3d(1, 3, 3), c.points[0]));  // (1,0,0) turned and moved
    EXPECT_EQ(c.transformDepth, 2);
    AcGeMatrix3d toWorld;
    g.getModelToWorldTransform(toWorld);
    EXPECT_TRUE(toWorld.isEqualTo(c.modelToWorld));
    ASSERT_TRUE(g.popModelTransform());
    ASSERT_TRUE(g.popModelTransform());
    EXPECT_FALSE(g.popModelTransform());  // nothing left to pop
    EXPECT_EQ(wd.recording().refusedPopCount(), 1);

    // A mirroring turns the arc's normal over and keeps its points on the mirrored arc.
    g.pushModelTransform(AcGeMatrix3d::scaling(AcGeScale3d(-1, 1, 1)));
    g.circularArc(AcGePoint3d(0, 0, 0), 2.0, AcGeVector3d::kZAxis, AcGeVector3d(1, 0, 0), kPi / 2);
    g.popModelTransform();
    const GiPrimitive& a = wd.primitives().back();
    EXPECT_EQ(a.kind, GiKind::kArc);
    const double r = std::sqrt(2.0);
    EXPECT_TRUE(
        samePoints({AcGePoint3d(-2, 0, 0), AcGePoint3d(-r, r, 0), AcGePoint3d(0, 2, 0)}, a.points));
    EXPECT_TRUE(sameVector(-AcGeVector3d::kZAxis, a.normal));
    EXPECT_TRUE(sameVector(AcGeVector3d(-1, 0, 0), a.startVector));
    EXPECT_NEAR(a.radius, 2.0, 1e-9);
    EXPECT_NEAR(a.sweep, kPi / 2, 1e-9);

    // Three-point arcs take their sense from the order of the points.
    g.circularArc(AcGePoint3d(1, 0, 0), AcGePoint3d(0, 1, 0), AcGePoint3d(-1, 0, 0));
    EXPECT_TRUE(sameVector(AcGeVector3d::kZAxis, wd.primitives().back().normal));
    EXPECT_NEAR(wd.primitives().back().sweep, kPi, 1e-9);
    g.circularArc(AcGePoint3d(-1, 0, 0), AcGePoint3d(0, 1, 0), AcGePoint3d(1, 0, 0));
    EXPECT_TRUE(sameVector(-AcGeVector3d::kZAxis, wd.primitives().back().normal));
    EXPECT_TRUE(sameVector(AcGeVector3d(-1, 0, 0), wd.primitives().back().startVector));
    EXPECT_NEAR(wd.primitives().back().sweep, kPi, 1e-9);

    // Points in a row make no circle: recorded with radius 0 rather than failing.
    EXPECT_FALSE(g.circle(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 0, 0), AcGePoint3d(2, 0, 0)));
    EXPECT_EQ(wd.primitives().back().radius, 0.0);
    EXPECT_EQ(wd.count(GiKind::kCircle), 2);
    EXPECT_EQ(wd.count(GiKind::kArc), 3);
}

TEST(RecordingGeometry, TextPolylinesAndNormals) {
    RecordingWorldDraw wd;
    AcGiWorldGeometry& g = wd.geometry();
    g.pushModelTransform(AcGeMatrix3d::scaling(2.0));
    g.text(AcGePoint3d(1, 1, 0), AcGeVector3d::kZAxis, AcGeVector3d::kXAxis, 0.5, 1.0, 0.0,
           L"标签");
    g.popModelTransform();
    const GiPrimitive& t = wd.primitives().back();
    EXPECT_EQ(t.kind, GiKind::kText);
    EXPECT_EQ(t.text, L"标签");
    EXPECT_TRUE(samePoint(AcGePoint3d(2, 2, 0), t.points[0]));
    EXPECT_NEAR(t.height, 1.0, 1e-9);
    EXPECT_TRUE(sameVector(AcGeVector3d::kXAxis, t.direction));

    // The normal form pushes the normal's plane; polyline normals go along.
    const AcGeVector3d n(1, 0, 0);
    g.pushModelTransform(n);
    const AcGePoint3d pts[2] = {{1, 0, 0}, {0, 1, 0}};
    g.polyline(2, pts, &AcGeVector3d::kZAxis);
    g.popModelTransform();
    const GiPrimitive& p = wd.primitives().back();
    EXPECT_TRUE(samePoints(regentest::mapped(AcGeMatrix3d::planeToWorld(n),
                                             {AcGePoint3d(1, 0, 0), AcGePoint3d(0, 1, 0)}),
                           p.points));
    EXPECT_TRUE(samePoints({pts[0], pts[1]}, p.given));
    EXPECT_TRUE(sameVector(n, p.normal));
    // Empty input records nothing.
    EXPECT_FALSE(g.polyline(0, pts));
    EXPECT_FALSE(g.polygon(3, nullptr));
    EXPECT_EQ(wd.primitives().size(), 2u);
    EXPECT_EQ(wd.recording().texts(), std::vector<std::wstring>{L"标签"});
    const auto counts = wd.recording().countsByKind();
    EXPECT_EQ(counts.at(GiKind::kText), 1);
    EXPECT_EQ(counts.at(GiKind::kPolyline), 1);
}

class RecordingTraitsTest : public regentest::RegenTest {};

TEST_F(RecordingTraitsTest, EntitiesBringTheirColourAndByBlockTakesTheReferences) {
    const AcDbObjectId block = addBlock(L"B");
    auto* byBlock = new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 0, 0));
    byBlock->setColorIndex(0);
    const AcDbObjectId inherit = append(byBlock, block);
    auto* own = new AcDbLine(AcGePoint3d(0, 1, 0), AcGePoint3d(1, 1, 0));
    own->setColorIndex(2);
    const AcDbObjectId fixed = append(own, block);
    auto* ref = new AcDbBlockReference(AcGePoint3d(0, 0, 0), block);
    ref->setColorIndex(5);
    const AcDbObjectId refId = append(ref);
    auto* top = new AcDbLine(AcGePoint3d(0, 9, 0), AcGePoint3d(1, 9, 0));
    top->setColorIndex(0);
    const AcDbObjectId topId = append(top);

    RecordingWorldDraw wd;
    ASSERT_EQ(kxhost::regenerate(&db, wd), Acad::eOk);
    for (const GiPrimitive& p : wd.primitives()) {
        if (p.drawable == inherit) {
            EXPECT_EQ(p.color, 5);
        } else if (p.drawable == fixed) {
            EXPECT_EQ(p.color, 2);
        } else {
            EXPECT_EQ(p.drawable, topId);
            EXPECT_EQ(p.color, 0);  // by block with no block around it stays so
        }
        EXPECT_EQ(p.layer, db.layerZero());
    }
    EXPECT_EQ(wd.recording().count(GiKind::kPolyline, refId), 2);

    // The dump names kinds, handles and classes.
    const std::string dump = wd.dump();
    EXPECT_NE(dump.find("polyline"), std::string::npos);
    EXPECT_NE(dump.find("entity=" + refId.handle().toString().utf8()), std::string::npos);
    EXPECT_NE(dump.find("AcDbLine"), std::string::npos);
}

TEST(RecordingViewportTest, CameraEyeTransformsPerspectiveAndPixels) {
    RecordingViewport vp;
    AcGeMatrix3d w2e;
    vp.getWorldToEyeTransform(w2e);
    EXPECT_TRUE(w2e.isEqualTo(AcGeMatrix3d()));  // looking down world Z at the origin
    EXPECT_TRUE(sameVector(-AcGeVector3d::kZAxis, vp.viewDir().normal()));
    AcGePoint2d px;
    vp.getNumPixelsInUnitSquare(AcGePoint3d::kOrigin, px);
    EXPECT_EQ(px.x, 1.0);
    EXPECT_EQ(px.y, 1.0);

    // Looking along +Y with world Z up: X stays, Z is up on the screen, depth runs along -Y.
    vp.setView(AcGePoint3d(0, -10, 0), AcGePoint3d(0, 0, 0), AcGeVector3d::kZAxis);
    vp.getWorldToEyeTransform(w2e);
    EXPECT_TRUE(samePoint(AcGePoint3d(1, 0, 0), AcGePoint3d(1, 0, 0).transformBy(w2e)));
    EXPECT_TRUE(samePoint(AcGePoint3d(0, 1, 0), AcGePoint3d(0, 0, 1).transformBy(w2e)));
    EXPECT_TRUE(samePoint(AcGePoint3d(0, 0, -5), AcGePoint3d(0, 5, 0).transformBy(w2e)));
    AcGeMatrix3d e2w;
    vp.getEyeToWorldTransform(e2w);
    EXPECT_TRUE((e2w * w2e).isEqualTo(AcGeMatrix3d()));
    EXPECT_TRUE(sameVector(AcGeVector3d(0, 10, 0), vp.viewDir()));

    // Perspective: only in a perspective view, only in front of the camera.
    AcGePoint3d p(1, 1, -10);
    EXPECT_FALSE(vp.doPerspective(p));
    vp.setPerspective(true);
    ASSERT_TRUE(vp.doPerspective(p));
    EXPECT_TRUE(samePoint(AcGePoint3d(0.5, 0.5, -10), p));
    ASSERT_TRUE(vp.doInversePerspective(p));
    EXPECT_TRUE(samePoint(AcGePoint3d(1, 1, -10), p));
    AcGePoint3d behind(1, 1, 10);
    EXPECT_FALSE(vp.doPerspective(behind));
    EXPECT_TRUE(samePoint(AcGePoint3d(1, 1, 10), behind));

    vp.setPixelsPerUnit(4, 2);
    vp.getNumPixelsInUnitSquare(AcGePoint3d(0, 10, 0), px);  // twice as far as the target
    EXPECT_DOUBLE_EQ(px.x, 2.0);
    EXPECT_DOUBLE_EQ(px.y, 1.0);
    vp.getNumPixelsInUnitSquare(AcGePoint3d(0, 10, 0), px, false);
    EXPECT_DOUBLE_EQ(px.x, 4.0);
    vp.setPerspective(false);
    vp.getNumPixelsInUnitSquare(AcGePoint3d(0, 10, 0), px);
    EXPECT_DOUBLE_EQ(px.y, 2.0);

    // The direction alone keeps target and distance.
    vp.setViewDirection(AcGeVector3d(-1, 0, 0));
    AcGePoint3d location;
    vp.getCameraLocation(location);
    EXPECT_TRUE(samePoint(AcGePoint3d(10, 0, 0), location));

    // An eye transform given directly; the camera follows it; singular ones are refused.
    const AcGeMatrix3d turn = AcGeMatrix3d::rotation(kPi / 2, AcGeVector3d::kXAxis);
    ASSERT_TRUE(vp.setWorldToEye(turn));
    vp.getEyeToWorldTransform(e2w);
    EXPECT_TRUE(e2w.isEqualTo(turn.inverse()));
    EXPECT_TRUE(sameVector(AcGeVector3d(0, 1, 0).transformBy(turn.inverse()).normal(), [&] {
        AcGeVector3d up;
        vp.getCameraUpVector(up);
        return up;
    }()));
    EXPECT_FALSE(vp.setWorldToEye(AcGeMatrix3d::scaling(0.0)));
    vp.getWorldToEyeTransform(w2e);
    EXPECT_TRUE(w2e.isEqualTo(turn));
}

// Lines leave their drawing to the viewport pass: worldDraw answers false, viewportDraw draws an
// eye-coordinate mark in colour 140 after looking at the viewport.
class ViewportLines : public AcGiDrawableOverrule {
  public:
    bool worldDraw(AcGiDrawable* subject, AcGiWorldDraw* wd) override {
        ++worldCalls;
        return false;
    }
    void viewportDraw(AcGiDrawable* subject, AcGiViewportDraw* vd) override {
        ++viewportCalls;
        AcGePoint2d px;
        vd->viewport().getNumPixelsInUnitSquare(AcGePoint3d::kOrigin, px);
        pixels = px.x;
        const AcGePoint3d eye[2] = {{1, 0, 0}, {0, 1, 0}};
        vd->subEntityTraits().setColor(140);
        vd->geometry().polylineEye(2, eye);
        AcGiDrawableOverrule::viewportDraw(subject, vd);
    }
    int worldCalls = 0;
    int viewportCalls = 0;
    double pixels = 0.0;
};

class ViewportPassTest : public regentest::RegenTest {};

TEST_F(ViewportPassTest, ViewportDrawFollowsAWorldDrawThatAnswersFalse) {
    const AcDbObjectId l = append(new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 0, 0)));
    const AcDbObjectId c = append(new AcDbCircle(AcGePoint3d(0, 0, 0), AcGeVector3d::kZAxis, 1.0));
    const AcDbObjectId block = addBlock(L"B");
    append(new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 0, 0)), block);
    const AcDbObjectId ref = addReference(block, AcGePoint3d(5, 0, 0), 0.0, AcGeScale3d(1, 1, 1));
    ViewportLines overrule;
    OverruleScope scope(AcDbLine::desc(), &overrule);

    RecordingViewportDraw vd;
    vd.recordingViewport().setView(AcGePoint3d(0, -10, 0), AcGePoint3d::kOrigin,
                                   AcGeVector3d::kZAxis);
    vd.recordingViewport().setPixelsPerUnit(8, 8);
    RegenReport report;
    ASSERT_EQ(kxhost::regenerateViewport(&db, AcDbObjectId::kNull, vd, &report), Acad::eOk);
    EXPECT_EQ(overrule.worldCalls, 2);  // the model-space line and the one in the block
    EXPECT_EQ(overrule.viewportCalls, 2);
    EXPECT_EQ(overrule.pixels, 8.0);
    ASSERT_EQ(report.viewportDrawn.length(), 1);
    EXPECT_EQ(report.viewportDrawn[0], l);

    // The eye mark comes back in world coordinates, in the colour it was drawn with.
    const std::vector<GiPrimitive> mark = vd.recording().primitivesOf(l);
    ASSERT_EQ(mark.size(), 1u) << vd.dump();
    EXPECT_EQ(mark[0].kind, GiKind::kPolylineEye);
    EXPECT_TRUE(samePoints({AcGePoint3d(1, 0, 0), AcGePoint3d(0, 0, 1)}, mark[0].points));
    EXPECT_EQ(mark[0].color, 140);
    EXPECT_EQ(vd.count(GiKind::kCircle), 1);
    EXPECT_FALSE(vd.recording().entityDraw(c)->viewportDrawn);
    // Nested in a reference, the line still gets its viewport pass.
    const std::vector<GiPrimitive> nested = vd.recording().primitivesOf(ref);
    ASSERT_EQ(nested.size(), 1u);
    EXPECT_EQ(nested[0].kind, GiKind::kPolylineEye);
    EXPECT_EQ(nested[0].nesting, 1);

    // Asked to, every entity gets viewportDraw.
    vd.recording().clear();
    ASSERT_EQ(kxhost::regenerateViewport(&db, AcDbObjectId::kNull, vd, &report, true), Acad::eOk);
    EXPECT_TRUE(vd.recording().entityDraw(c)->viewportDrawn);
    EXPECT_TRUE(vd.recording().entityDraw(ref)->viewportDrawn);
}

TEST(RecordingViewportDrawTest, ModelToEyeAndHandAttribution) {
    RecordingViewportDraw vd;
    AcGiViewportGeometry& g = vd.geometry();
    g.pushModelTransform(AcGeMatrix3d::translation(AcGeVector3d(3, 0, 0)));
    AcGeMatrix3d modelToEye;
    vd.viewport().getModelToEyeTransform(modelToEye);
    EXPECT_TRUE(
        samePoint(AcGePoint3d(3, 0, 0), AcGePoint3d(AcGePoint3d::kOrigin).transformBy(modelToEye)));
    // Primitives drawn between beginEntity and endEntity belong to that id (grip glyphs drawn
    // for a reference, for instance); display coordinates stay as given.
    AcDbObjectId someId;
    someId.setFromOldId(4242);
    vd.recording().beginEntity(someId);
    const AcGePoint3d dc[3] = {{10, 10, 0}, {20, 10, 0}, {15, 20, 0}};
    vd.subEntityTraits().setFillType(kAcGiFillAlways);
    vd.subEntityTraits().setDrawFlags(0x10);
    g.polygonDc(3, dc);
    vd.recording().endEntity();
    g.popModelTransform();
    const GiPrimitive& p = vd.primitives().back();
    EXPECT_EQ(p.entity, someId);
    EXPECT_EQ(p.kind, GiKind::kPolygonDc);
    EXPECT_TRUE(samePoint(AcGePoint3d(15, 20, 0), p.points[2]));
    EXPECT_EQ(p.fillType, kAcGiFillAlways);
    EXPECT_EQ(p.drawFlags, 0x10u);
    EXPECT_EQ(vd.depth(), 0);
}

}  // namespace
