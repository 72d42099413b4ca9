#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "host/entities/aligneddim.h"
#include "host/entities/angulardim.h"
#include "host/entities/arc.h"
#include "host/entities/attdef.h"
#include "host/entities/attrib.h"
#include "host/entities/blockref.h"
#include "host/entities/circle.h"
#include "host/entities/ellipse.h"
#include "host/entities/line.h"
#include "host/entities/mtext.h"
#include "host/entities/point.h"
#include "host/entities/polyline.h"
#include "host/entities/solid.h"
#include "host/entities/text.h"
#include "host/ge/curves.h"
#include "host/ge/plane.h"
#include "tests/host/entities/entities_test_support.h"

namespace {

using enttest::Owned;
using enttest::samePoint;

constexpr double kPi = 3.14159265358979323846;

struct Kind {
    const char* name;
    std::function<AcDbEntity*()> make;
};

// One entity of every kind, with geometry that is not aligned with the world axes where the
// kind allows it.
std::vector<Kind> kinds() {
    const AcGeVector3d tilted = AcGeVector3d(1, -2, 3).normal();
    return {
        {"line", [] { return new AcDbLine(AcGePoint3d(1, 2, 3), AcGePoint3d(-4, 5, 0.5)); }},
        {"circle", [=] { return new AcDbCircle(AcGePoint3d(1, -1, 2), tilted, 2.5); }},
        {"arc", [=] { return new AcDbArc(AcGePoint3d(3, 1, 0), tilted, 1.5, 0.3, 4.0); }},
        {"ellipse",
         [=] {
             const AcGeVector3d major = tilted.perpVector() * 3.0;
             return new AcDbEllipse(AcGePoint3d(0, 1, 2), tilted, major, 0.4, 1.0, 5.0);
         }},
        {"polyline",
         [] {
             auto* pl = new AcDbPolyline();
             pl->addVertexAt(0, AcGePoint2d(0, 0), 0.5);
             pl->addVertexAt(1, AcGePoint2d(4, 0));
             pl->addVertexAt(2, AcGePoint2d(4, 3), -1.0);
             pl->addVertexAt(3, AcGePoint2d(1, 3));
             pl->setClosed(true);
             pl->setElevation(0.75);
             pl->setNormal(AcGeVector3d(0.2, 0.1, 1.0));
             return pl;
         }},
        {"text",
         [] {
             auto* t = new AcDbText(AcGePoint3d(2, 3, 0), L"Hello", AcDbObjectId::kNull, 0.5, 0.4);
             t->setAlignmentPoint(AcGePoint3d(4, 3, 0));
             return t;
         }},
        {"mtext",
         [] {
             auto* t = new AcDbMText();
             t->setLocation(AcGePoint3d(1, 1, 1));
             t->setContents(L"two\\Plines");
             t->setTextHeight(0.3);
             t->setAttachment(AcDbMText::kMiddleCenter);
             t->setRotation(0.6);
             return t;
         }},
        {"point", [] { return new AcDbPoint(AcGePoint3d(7, -3, 2)); }},
        {"solid",
         [] {
             return new AcDbSolid(AcGePoint3d(0, 0, 0), AcGePoint3d(2, 0, 0), AcGePoint3d(0, 1, 0),
                                  AcGePoint3d(2, 1.5, 0));
         }},
        {"attdef",
         [] { return new AcDbAttributeDefinition(AcGePoint3d(1, 0, 0), L"v", L"TAG", L"Prompt"); }},
        {"attrib", [] { return new AcDbAttribute(AcGePoint3d(0, 4, 0), L"value", L"TAG"); }},
        {"aligned",
         [] {
             return new AcDbAlignedDimension(AcGePoint3d(0, 0, 0), AcGePoint3d(3, 4, 0),
                                             AcGePoint3d(-1, 2, 0));
         }},
        {"angular",
         [] {
             return new AcDb3PointAngularDimension(AcGePoint3d(0, 0, 0), AcGePoint3d(2, 0, 0),
                                                   AcGePoint3d(0, 2, 0), AcGePoint3d(1, 1, 0));
         }},
        {"reference",
         [] {
             auto* ref = new AcDbBlockReference(AcGePoint3d(5, 5, 0), AcDbObjectId::kNull);
             ref->setRotation(0.3);
             ref->setScaleFactors(AcGeScale3d(2, 2, 2));
             return ref;
         }},
    };
}

// Similarities: translations, rotations, uniform scalings and mirrorings, and compositions.
std::vector<std::pair<const char*, AcGeMatrix3d>> similarities() {
    const AcGeMatrix3d rotZ = AcGeMatrix3d::rotation(0.65, AcGeVector3d::kZAxis, {1, 2, 0});
    const AcGeMatrix3d rot3d = AcGeMatrix3d::rotation(1.1, AcGeVector3d(1, 1, 1), {0, -1, 2});
    const AcGeMatrix3d scale = AcGeMatrix3d::scaling(2.5, AcGePoint3d(1, 1, 0));
    const AcGeMatrix3d mirrorX = AcGeMatrix3d::mirroring(AcGePlane({1, 0, 0}, {1, 0, 0}));
    const AcGeMatrix3d mirrorDiag = AcGeMatrix3d::mirroring(AcGePlane({0, 2, 0}, {1, 1, 0}));
    const AcGeMatrix3d mirrorZ = AcGeMatrix3d::mirroring(AcGePlane({0, 0, 1}, {0, 0, 1}));
    return {
        {"translation", AcGeMatrix3d::translation(AcGeVector3d(3, -2, 1))},
        {"rotation about Z", rotZ},
        {"rotation in space", rot3d},
        {"scaling", scale},
        {"mirror across YZ", mirrorX},
        {"mirror across a diagonal", mirrorDiag},
        {"mirror across XY", mirrorZ},
        {"all of them", mirrorDiag * scale * rot3d},
    };
}

bool containsPoint(const AcGePoint3dArray& points, const AcGePoint3d& p) {
    for (const AcGePoint3d& q : points) {
        if (q.distanceTo(p) <= 1e-8) {
            return true;
        }
    }
    return false;
}

kxhost::DwgMemoryFiler fieldsOf(const AcDbEntity* ent) {
    kxhost::DwgMemoryFiler filer(AcDb::kCopyFiler);
    ent->dwgOutFields(&filer);
    return filer;
}

class EntityGeometryTest : public enttest::EntityTest {};

TEST_F(EntityGeometryTest, StretchAndGripPointsFollowEverySimilarity) {
    for (const Kind& kind : kinds()) {
        for (const auto& [name, xform] : similarities()) {
            SCOPED_TRACE(std::string(kind.name) + " / " + name);
            Owned<AcDbEntity> ent(kind.make());
            AcGePoint3dArray stretchBefore;
            AcGePoint3dArray gripsBefore;
            ASSERT_EQ(ent->getStretchPoints(stretchBefore), Acad::eOk);
            ASSERT_EQ(ent->getGripPoints(gripsBefore), Acad::eOk);
            ASSERT_EQ(ent->transformBy(xform), Acad::eOk);
            AcGePoint3dArray stretchAfter;
            AcGePoint3dArray gripsAfter;
            ent->getStretchPoints(stretchAfter);
            ent->getGripPoints(gripsAfter);
            ASSERT_EQ(stretchAfter.length(), stretchBefore.length());
            ASSERT_EQ(gripsAfter.length(), gripsBefore.length());
            // A mirrored arc lists its ends the other way round, so compare as sets.
            for (const AcGePoint3d& p : stretchBefore) {
                EXPECT_TRUE(containsPoint(stretchAfter, xform * p));
            }
            // A circle's quadrant grips sit on the axes of its object coordinate system, which
            // a rotation in space does not carry along.
            if (std::string(kind.name) == "circle") {
                continue;
            }
            for (const AcGePoint3d& p : gripsBefore) {
                EXPECT_TRUE(containsPoint(gripsAfter, xform * p));
            }
        }
    }
}

TEST_F(EntityGeometryTest, TransformedCopyEqualsTransformingInPlace) {
    const AcGeMatrix3d xform = similarities().back().second;
    for (const Kind& kind : kinds()) {
        SCOPED_TRACE(kind.name);
        Owned<AcDbEntity> ent(kind.make());
        AcDbEntity* copy = nullptr;
        ASSERT_EQ(ent->getTransformedCopy(xform, copy), Acad::eOk);
        Owned<AcDbEntity> owned(copy);
        ASSERT_EQ(ent->transformBy(xform), Acad::eOk);
        EXPECT_TRUE(fieldsOf(ent.get()).sameItems(fieldsOf(copy)));
    }
}

TEST_F(EntityGeometryTest, MovingEveryStretchPointIsATranslation) {
    const AcGeVector3d offset(1.5, -0.5, 0.25);
    for (const Kind& kind : kinds()) {
        SCOPED_TRACE(kind.name);
        Owned<AcDbEntity> stretched(kind.make());
        Owned<AcDbEntity> moved(kind.make());
        AcGePoint3dArray points;
        stretched->getStretchPoints(points);
        AcDbIntArray all;
        for (int i = 0; i < points.length(); ++i) {
            all.append(i);
        }
        ASSERT_EQ(stretched->moveStretchPointsAt(all, offset), Acad::eOk);
        ASSERT_EQ(moved->transformBy(AcGeMatrix3d::translation(offset)), Acad::eOk);
        AcGePoint3dArray a;
        AcGePoint3dArray b;
        stretched->getGripPoints(a);
        moved->getGripPoints(b);
        ASSERT_EQ(a.length(), b.length());
        for (int i = 0; i < a.length(); ++i) {
            EXPECT_TRUE(samePoint(b[i], a[i], 1e-9)) << i;
        }
        // Extents move with the entity.
        AcDbExtents before;
        AcDbExtents after;
        Owned<AcDbEntity> original(kind.make());
        if (original->getGeomExtents(before) == Acad::eOk) {
            ASSERT_EQ(moved->getGeomExtents(after), Acad::eOk);
            EXPECT_TRUE(enttest::sameExtents(before.minPoint() + offset, before.maxPoint() + offset,
                                             after, 1e-9));
        }
    }
}

TEST_F(EntityGeometryTest, StretchIndicesOutOfRangeMoveNothing) {
    for (const Kind& kind : kinds()) {
        SCOPED_TRACE(kind.name);
        Owned<AcDbEntity> ent(kind.make());
        const kxhost::DwgMemoryFiler before = fieldsOf(ent.get());
        AcGePoint3dArray points;
        ent->getStretchPoints(points);
        // A valid index first: nothing moves when any index is bad.
        EXPECT_EQ(ent->moveStretchPointsAt(AcDbIntArray({0, points.length()}), {1, 1, 1}),
                  Acad::eInvalidIndex);
        EXPECT_EQ(ent->moveStretchPointsAt(AcDbIntArray({-1}), {1, 1, 1}), Acad::eInvalidIndex);
        EXPECT_EQ(ent->moveGripPointsAt(AcDbIntArray({57}), {1, 1, 1}), Acad::eInvalidIndex);
        EXPECT_TRUE(before.sameItems(fieldsOf(ent.get())));
    }
}

TEST_F(EntityGeometryTest, ResidentEntitiesNeedWriteToChange) {
    const AcDbObjectId id = append(new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 0, 0)));
    enttest::Open<AcDbLine> line(id, AcDb::kForRead);
    EXPECT_EQ(line->transformBy(AcGeMatrix3d::translation({1, 0, 0})), Acad::eNotOpenForWrite);
    EXPECT_EQ(line->moveStretchPointsAt(AcDbIntArray({0}), {1, 0, 0}), Acad::eNotOpenForWrite);
    EXPECT_EQ(line->setStartPoint({5, 5, 5}), Acad::eNotOpenForWrite);
    EXPECT_TRUE(samePoint(AcGePoint3d(0, 0, 0), line->startPoint()));
}

TEST_F(EntityGeometryTest, LinesStretchEachEndAndMeasureTheirSpan) {
    AcDbLine line(AcGePoint3d(0, 0, 0), AcGePoint3d(4, 2, 0));
    ASSERT_EQ(line.moveStretchPointsAt(AcDbIntArray({1}), {1, 1, 0}), Acad::eOk);
    EXPECT_TRUE(samePoint(AcGePoint3d(0, 0, 0), line.startPoint()));
    EXPECT_TRUE(samePoint(AcGePoint3d(5, 3, 0), line.endPoint()));
    // The midpoint grip carries the whole line.
    ASSERT_EQ(line.moveGripPointsAt(AcDbIntArray({2}), {0, -1, 0}), Acad::eOk);
    EXPECT_TRUE(samePoint(AcGePoint3d(0, -1, 0), line.startPoint()));
    EXPECT_TRUE(samePoint(AcGePoint3d(5, 2, 0), line.endPoint()));
    AcDbExtents ext;
    ASSERT_EQ(line.getGeomExtents(ext), Acad::eOk);
    EXPECT_TRUE(enttest::sameExtents({0, -1, 0}, {5, 2, 0}, ext));
    // Any affine transform, non-uniform scaling included.
    ASSERT_EQ(line.transformBy(AcGeMatrix3d::scaling(AcGeScale3d(2, 1, 1))), Acad::eOk);
    EXPECT_TRUE(samePoint(AcGePoint3d(10, 2, 0), line.endPoint()));
    AcGePoint3d closest;
    line.getClosestPointTo({-3, -1, 0}, closest);
    EXPECT_TRUE(samePoint(AcGePoint3d(0, -1, 0), closest));
}

TEST_F(EntityGeometryTest, CirclesTakeSimilaritiesOnlyAndReportTiltedExtents) {
    AcDbCircle circle(AcGePoint3d(1, 2, 3), AcGeVector3d::kXAxis, 2.0);
    AcDbExtents ext;
    ASSERT_EQ(circle.getGeomExtents(ext), Acad::eOk);
    EXPECT_TRUE(enttest::sameExtents({1, 0, 1}, {1, 4, 5}, ext));
    const kxhost::DwgMemoryFiler before = fieldsOf(&circle);
    EXPECT_EQ(circle.transformBy(AcGeMatrix3d::scaling(AcGeScale3d(1, 2, 1))),
              Acad::eNotApplicable);
    EXPECT_TRUE(before.sameItems(fieldsOf(&circle)));
    ASSERT_EQ(circle.transformBy(AcGeMatrix3d::scaling(3.0)), Acad::eOk);
    EXPECT_DOUBLE_EQ(circle.radius(), 6.0);
    EXPECT_TRUE(samePoint(AcGePoint3d(3, 6, 9), circle.center()));
    // A quadrant grip sets the radius; the centre grip moves the circle.
    AcDbCircle flat(AcGePoint3d(0, 0, 0), AcGeVector3d::kZAxis, 1.0);
    ASSERT_EQ(flat.moveGripPointsAt(AcDbIntArray({1}), {2, 0, 0}), Acad::eOk);
    EXPECT_DOUBLE_EQ(flat.radius(), 3.0);
    ASSERT_EQ(flat.moveStretchPointsAt(AcDbIntArray({0}), {0, 1, 0}), Acad::eOk);
    EXPECT_TRUE(samePoint(AcGePoint3d(0, 1, 0), flat.center()));
    EXPECT_DOUBLE_EQ(flat.radius(), 3.0);
}

TEST_F(EntityGeometryTest, ArcExtentsIncludeTheExtremesTheArcPasses) {
    AcDbArc quarter(AcGePoint3d(0, 0, 0), 1.0, 0.0, kPi / 2);
    AcDbExtents ext;
    ASSERT_EQ(quarter.getGeomExtents(ext), Acad::eOk);
    EXPECT_TRUE(enttest::sameExtents({0, 0, 0}, {1, 1, 0}, ext));
    // From 270 through 0 to 90 degrees: passes +X but not -X.
    AcDbArc right(AcGePoint3d(0, 0, 0), 1.0, 3 * kPi / 2, kPi / 2);
    ASSERT_EQ(right.getGeomExtents(ext), Acad::eOk);
    EXPECT_TRUE(enttest::sameExtents({0, -1, 0}, {1, 1, 0}, ext));
    EXPECT_NEAR(right.totalAngle(), kPi, 1e-12);
}

TEST_F(EntityGeometryTest, MirroringAnArcReversesItsSense) {
    AcDbArc arc(AcGePoint3d(0, 0, 0), 1.0, 0.0, kPi / 2);
    const AcGeMatrix3d mirror = AcGeMatrix3d::mirroring(AcGePlane({0, 0, 0}, {1, 0, 0}));
    ASSERT_EQ(arc.transformBy(mirror), Acad::eOk);
    AcGePoint3d start;
    AcGePoint3d end;
    arc.getStartPoint(start);
    arc.getEndPoint(end);
    // The normal stays up; counter-clockwise the mirrored quarter runs from (0,1) to (-1,0).
    EXPECT_TRUE(enttest::sameVector(AcGeVector3d::kZAxis, arc.normal()));
    EXPECT_TRUE(samePoint(AcGePoint3d(0, 1, 0), start));
    EXPECT_TRUE(samePoint(AcGePoint3d(-1, 0, 0), end));
    EXPECT_NEAR(arc.totalAngle(), kPi / 2, 1e-12);
    AcDbExtents ext;
    arc.getGeomExtents(ext);
    EXPECT_TRUE(enttest::sameExtents({-1, 0, 0}, {0, 1, 0}, ext));
    EXPECT_EQ(arc.transformBy(AcGeMatrix3d::scaling(AcGeScale3d(1, 3, 1))), Acad::eNotApplicable);
}

TEST_F(EntityGeometryTest, ArcStretchKeepsTheIncludedAngleAndGripsPassThroughPoints) {
    AcDbArc arc(AcGePoint3d(0, 0, 0), 1.0, 0.0, kPi / 2);
    ASSERT_EQ(arc.moveStretchPointsAt(AcDbIntArray({0}), {1, -1, 0}), Acad::eOk);
    AcGePoint3d start;
    AcGePoint3d end;
    arc.getStartPoint(start);
    arc.getEndPoint(end);
    EXPECT_TRUE(samePoint(AcGePoint3d(2, -1, 0), start));
    EXPECT_TRUE(samePoint(AcGePoint3d(0, 1, 0), end));
    EXPECT_NEAR(arc.totalAngle(), kPi / 2, 1e-12);

    AcDbArc byGrip(AcGePoint3d(0, 0, 0), 1.0, 0.0, kPi);
    // The midpoint (0,1) pulled up to (0,2): the arc through (1,0), (0,2), (-1,0).
    ASSERT_EQ(byGrip.moveGripPointsAt(AcDbIntArray({2}), {0, 1, 0}), Acad::eOk);
    AcGePoint3dArray grips;
    byGrip.getGripPoints(grips);
    EXPECT_TRUE(samePoint(AcGePoint3d(1, 0, 0), grips[0]));
    EXPECT_TRUE(samePoint(AcGePoint3d(-1, 0, 0), grips[1]));
    EXPECT_TRUE(samePoint(AcGePoint3d(0, 2, 0), grips[2]));
    EXPECT_NEAR(byGrip.radius(), 1.25, 1e-12);
    // Pulling the midpoint across the chord turns the arc to the other side.
    ASSERT_EQ(byGrip.moveGripPointsAt(AcDbIntArray({2}), {0, -4, 0}), Acad::eOk);
    grips.setLogicalLength(0);
    byGrip.getGripPoints(grips);
    EXPECT_TRUE(samePoint(AcGePoint3d(0, -2, 0), grips[2]));
    EXPECT_TRUE(containsPoint(grips, AcGePoint3d(1, 0, 0)));
    EXPECT_TRUE(containsPoint(grips, AcGePoint3d(-1, 0, 0)));
}

TEST_F(EntityGeometryTest, PolylineSegmentsBulgesAndExtents) {
    AcDbPolyline pl;
    pl.addVertexAt(0, AcGePoint2d(0, 0), 1.0);  // semicircle below the chord (counter-clockwise)
    pl.addVertexAt(1, AcGePoint2d(2, 0));
    pl.addVertexAt(2, AcGePoint2d(2, 2));
    EXPECT_EQ(pl.addVertexAt(9, AcGePoint2d(0, 0)), Acad::eInvalidIndex);
    EXPECT_EQ(pl.numVerts(), 3u);
    EXPECT_EQ(pl.segType(0), AcDbPolyline::kArc);
    EXPECT_EQ(pl.segType(1), AcDbPolyline::kLine);
    EXPECT_EQ(pl.segType(2), AcDbPolyline::kEmpty);
    pl.setClosed(true);
    EXPECT_EQ(pl.segType(2), AcDbPolyline::kLine);
    AcGeCircArc3d arc;
    ASSERT_EQ(pl.getArcSegAt(0, arc), Acad::eOk);
    EXPECT_TRUE(samePoint(AcGePoint3d(1, 0, 0), arc.center()));
    EXPECT_NEAR(arc.radius(), 1.0, 1e-12);
    EXPECT_TRUE(samePoint(AcGePoint3d(0, 0, 0), arc.startPoint()));
    EXPECT_TRUE(samePoint(AcGePoint3d(2, 0, 0), arc.endPoint()));
    EXPECT_TRUE(arc.isOn(AcGePoint3d(1, -1, 0)));
    AcGeLineSeg3d seg;
    EXPECT_EQ(pl.getLineSegAt(0, seg), Acad::eNotApplicable);
    ASSERT_EQ(pl.getLineSegAt(1, seg), Acad::eOk);
    EXPECT_TRUE(samePoint(AcGePoint3d(2, 2, 0), seg.endPoint()));
    EXPECT_EQ(pl.getArcSegAt(7, arc), Acad::eInvalidIndex);
    AcGePoint3d closest;
    ASSERT_EQ(pl.getClosestPointTo({1, -5, 0}, closest), Acad::eOk);
    EXPECT_TRUE(samePoint(AcGePoint3d(1, -1, 0), closest));

    AcDbExtents ext;
    ASSERT_EQ(pl.getGeomExtents(ext), Acad::eOk);
    EXPECT_TRUE(enttest::sameExtents({0, -1, 0}, {2, 2, 0}, ext));

    // Mirrors keep every arc's shape: across the X axis the bulge now rises above the chord.
    AcDbPolyline mirrored;
    mirrored.addVertexAt(0, AcGePoint2d(0, 0), 1.0);
    mirrored.addVertexAt(1, AcGePoint2d(2, 0));
    ASSERT_EQ(mirrored.transformBy(AcGeMatrix3d::mirroring(AcGePlane({0, 0, 0}, {0, 1, 0}))),
              Acad::eOk);
    ASSERT_EQ(mirrored.getGeomExtents(ext), Acad::eOk);
    EXPECT_TRUE(enttest::sameExtents({0, 0, 0}, {2, 1, 0}, ext));
    // Across its own plane the drawing does not change, though the normal turns over.
    AcDbPolyline flipped;
    flipped.addVertexAt(0, AcGePoint2d(0, 0), 1.0);
    flipped.addVertexAt(1, AcGePoint2d(2, 0));
    ASSERT_EQ(flipped.transformBy(AcGeMatrix3d::mirroring(AcGePlane({0, 0, 0}, {0, 0, 1}))),
              Acad::eOk);
    EXPECT_TRUE(enttest::sameVector(-AcGeVector3d::kZAxis, flipped.normal()));
    ASSERT_EQ(flipped.getGeomExtents(ext), Acad::eOk);
    EXPECT_TRUE(enttest::sameExtents({0, -1, 0}, {2, 0, 0}, ext));
}

TEST_F(EntityGeometryTest, PolylinesScaleNonUniformlyOnlyWhenStraight) {
    AcDbPolyline straight;
    straight.addVertexAt(0, AcGePoint2d(1, 1));
    straight.addVertexAt(1, AcGePoint2d(3, 2));
    ASSERT_EQ(straight.transformBy(AcGeMatrix3d::scaling(AcGeScale3d(2, 3, 1))), Acad::eOk);
    AcGePoint3d p;
    straight.getPointAt(1, p);
    EXPECT_TRUE(samePoint(AcGePoint3d(6, 6, 0), p));

    AcDbPolyline curved;
    curved.addVertexAt(0, AcGePoint2d(0, 0), 0.3);
    curved.addVertexAt(1, AcGePoint2d(3, 0));
    const kxhost::DwgMemoryFiler before = fieldsOf(&curved);
    EXPECT_EQ(curved.transformBy(AcGeMatrix3d::scaling(AcGeScale3d(2, 3, 1))),
              Acad::eNotApplicable);
    EXPECT_TRUE(before.sameItems(fieldsOf(&curved)));
    // Stretching one vertex leaves the others and the bulges alone.
    ASSERT_EQ(curved.moveStretchPointsAt(AcDbIntArray({1}), {1, 2, 0}), Acad::eOk);
    curved.getPointAt(1, p);
    EXPECT_TRUE(samePoint(AcGePoint3d(4, 2, 0), p));
    curved.getPointAt(0, p);
    EXPECT_TRUE(samePoint(AcGePoint3d(0, 0, 0), p));
    double bulge = 0.0;
    curved.getBulgeAt(0, bulge);
    EXPECT_DOUBLE_EQ(bulge, 0.3);
}

TEST_F(EntityGeometryTest, EllipseExtentsAndMirroredParameters) {
    const double c = std::cos(kPi / 6);
    const double s = std::sin(kPi / 6);
    AcDbEllipse ellipse(AcGePoint3d(0, 0, 0), AcGeVector3d::kZAxis, AcGeVector3d(2 * c, 2 * s, 0),
                        0.5);
    AcDbExtents ext;
    ASSERT_EQ(ellipse.getGeomExtents(ext), Acad::eOk);
    const double hx = std::sqrt(4 * c * c + s * s);
    const double hy = std::sqrt(4 * s * s + c * c);
    EXPECT_TRUE(enttest::sameExtents({-hx, -hy, 0}, {hx, hy, 0}, ext));

    AcDbEllipse part(AcGePoint3d(1, 0, 0), AcGeVector3d::kZAxis, AcGeVector3d(2, 0, 0), 0.5, 0.2,
                     1.3);
    AcGePoint3d start;
    AcGePoint3d end;
    part.getStartPoint(start);
    part.getEndPoint(end);
    const AcGeMatrix3d mirror = AcGeMatrix3d::mirroring(AcGePlane({0, 0, 0}, {0, 1, 0}));
    ASSERT_EQ(part.transformBy(mirror), Acad::eOk);
    AcGePoint3d newStart;
    AcGePoint3d newEnd;
    part.getStartPoint(newStart);
    part.getEndPoint(newEnd);
    EXPECT_TRUE(samePoint(mirror * end, newStart));
    EXPECT_TRUE(samePoint(mirror * start, newEnd));
    EXPECT_TRUE(samePoint(mirror * AcGePoint3d(1 + 2 * std::cos(0.7), std::sin(0.7), 0),
                          part.pointAtParam(-0.7)));
}

TEST_F(EntityGeometryTest, TextFollowsRotationsAndTurnsUpsideDownWhenMirrored) {
    AcDbText text(AcGePoint3d(1, 1, 0), L"ABCD", AcDbObjectId::kNull, 2.0);
    text.setWidthFactor(0.5);
    AcDbExtents ext;
    ASSERT_EQ(text.getGeomExtents(ext), Acad::eOk);
    EXPECT_TRUE(enttest::sameExtents({1, 1, 0}, {5, 3, 0}, ext));  // 4 cells of 1 x 2
    ASSERT_EQ(text.transformBy(AcGeMatrix3d::rotation(kPi / 2, AcGeVector3d::kZAxis)), Acad::eOk);
    EXPECT_NEAR(text.rotation(), kPi / 2, 1e-12);
    EXPECT_TRUE(samePoint(AcGePoint3d(-1, 1, 0), text.position()));
    ASSERT_EQ(text.transformBy(AcGeMatrix3d::scaling(1.5)), Acad::eOk);
    EXPECT_DOUBLE_EQ(text.height(), 3.0);
    EXPECT_DOUBLE_EQ(text.widthFactor(), 0.5);
    EXPECT_FALSE(text.isMirroredInY());
    ASSERT_EQ(text.transformBy(AcGeMatrix3d::mirroring(AcGePlane({0, 0, 0}, {1, 0, 0}))),
              Acad::eOk);
    EXPECT_TRUE(text.isMirroredInY());
    EXPECT_TRUE(enttest::sameVector(AcGeVector3d::kZAxis, text.normal()));
    // Scaling along the text's own axes goes into height and width factor.
    AcDbText flat(AcGePoint3d(0, 0, 0), L"AB", AcDbObjectId::kNull, 1.0);
    ASSERT_EQ(flat.transformBy(AcGeMatrix3d::scaling(AcGeScale3d(3, 2, 1))), Acad::eOk);
    EXPECT_DOUBLE_EQ(flat.height(), 2.0);
    EXPECT_DOUBLE_EQ(flat.widthFactor(), 1.5);
    // A shear of the text's frame cannot be written as a text.
    AcDbText rotated(AcGePoint3d(0, 0, 0), L"AB", AcDbObjectId::kNull, 1.0, kPi / 4);
    EXPECT_EQ(rotated.transformBy(AcGeMatrix3d::scaling(AcGeScale3d(3, 1, 1))),
              Acad::eNotApplicable);
}

TEST_F(EntityGeometryTest, MTextBoxHangsFromItsAttachmentPoint) {
    AcDbMText text;
    text.setLocation({10, 10, 0});
    text.setTextHeight(1.0);
    text.setContents(L"abcd\\Pxy\nz");
    text.setAttachment(AcDbMText::kMiddleCenter);
    EXPECT_EQ(text.numLines(), 3);
    AcDbExtents ext;
    ASSERT_EQ(text.getGeomExtents(ext), Acad::eOk);
    EXPECT_TRUE(enttest::sameExtents({8, 8.5, 0}, {12, 11.5, 0}, ext));
    text.setWidth(10.0);
    text.setAttachment(AcDbMText::kBottomRight);
    ASSERT_EQ(text.getGeomExtents(ext), Acad::eOk);
    EXPECT_TRUE(enttest::sameExtents({0, 10, 0}, {10, 13, 0}, ext));
    ASSERT_EQ(text.transformBy(AcGeMatrix3d::scaling(2.0, {10, 10, 0})), Acad::eOk);
    EXPECT_DOUBLE_EQ(text.textHeight(), 2.0);
    EXPECT_DOUBLE_EQ(text.width(), 20.0);
    EXPECT_EQ(text.setAttachment(static_cast<AcDbMText::AttachmentPoint>(10)), Acad::eInvalidInput);
}

TEST_F(EntityGeometryTest, DimensionsMeasureAndFormat) {
    AcDbAlignedDimension aligned({0, 0, 0}, {3, 4, 0}, {0, 5, 0});
    double value = 0.0;
    ASSERT_EQ(aligned.measurement(value), Acad::eOk);
    EXPECT_DOUBLE_EQ(value, 5.0);
    aligned.setDimdec(2);
    EXPECT_EQ(aligned.formattedText(), AcString(L"5.00"));
    aligned.setDimensionText(L"L=<> mm");
    EXPECT_EQ(aligned.formattedText(), AcString(L"L=5.00 mm"));
    EXPECT_EQ(aligned.setDimdec(9), Acad::eInvalidInput);
    EXPECT_EQ(aligned.setDimlunit(0), Acad::eInvalidInput);
    aligned.setDynamicDimension(true);
    EXPECT_TRUE(aligned.isDynamicDimension());
    aligned.setDimlunit(4);
    aligned.setDatabaseDefaults(&db);
    EXPECT_EQ(aligned.dimdec(), 4);
    EXPECT_EQ(aligned.dimlunit(), 2);
    ASSERT_EQ(aligned.transformBy(AcGeMatrix3d::scaling(2.0)), Acad::eOk);
    aligned.measurement(value);
    EXPECT_DOUBLE_EQ(value, 10.0);

    AcDb3PointAngularDimension angular({0, 0, 0}, {2, 0, 0}, {0, 2, 0}, {1, 1, 0});
    ASSERT_EQ(angular.measurement(value), Acad::eOk);
    EXPECT_NEAR(value, kPi / 2, 1e-12);
    angular.setArcPoint({-1, -1, 0});  // the outer side
    angular.measurement(value);
    EXPECT_NEAR(value, 3 * kPi / 2, 1e-12);
    angular.setDimadec(1);
    EXPECT_EQ(angular.formattedText(), AcString(L"270.0"));
    angular.setElevation(2.0);
    ASSERT_EQ(angular.transformBy(AcGeMatrix3d::translation({0, 0, 3})), Acad::eOk);
    EXPECT_DOUBLE_EQ(angular.elevation(), 5.0);
}

TEST_F(EntityGeometryTest, ExtendedDataTransformsWithTheEntity) {
    AcDbLine line;
    const double position[3] = {1, 0, 0};
    const double displacement[3] = {1, 0, 0};
    const double direction[3] = {0, 2, 0};
    const double plainPoint[3] = {1, 0, 0};
    enttest::Chain xd(acutBuildList(1001, L"KXTEST", 1011, position, 1012, displacement, 1013,
                                    direction, 1041, 2.0, 1042, 3.0, 1040, 4.0, 1010, plainPoint,
                                    0));
    ASSERT_NE(xd.head, nullptr);
    ASSERT_EQ(line.setXData(xd.head), Acad::eOk);
    const AcGeMatrix3d xform = AcGeMatrix3d::translation({5, 0, 0}) *
                               AcGeMatrix3d::rotation(kPi / 2, AcGeVector3d::kZAxis) *
                               AcGeMatrix3d::scaling(2.0);
    ASSERT_EQ(line.xDataTransformBy(xform), Acad::eOk);
    enttest::Chain out(line.xData(L"KXTEST"));
    std::vector<resbuf*> items;
    for (resbuf* rb = out.head; rb != nullptr; rb = rb->rbnext) {
        items.push_back(rb);
    }
    ASSERT_EQ(items.size(), 8u);
    auto point = [](const resbuf* rb) {
        return AcGePoint3d(rb->resval.rpoint[0], rb->resval.rpoint[1], rb->resval.rpoint[2]);
    };
    EXPECT_TRUE(samePoint(AcGePoint3d(5, 2, 0), point(items[1])));   // position
    EXPECT_TRUE(samePoint(AcGePoint3d(0, 2, 0), point(items[2])));   // displacement
    EXPECT_TRUE(samePoint(AcGePoint3d(-1, 0, 0), point(items[3])));  // direction, unit
    EXPECT_DOUBLE_EQ(items[4]->resval.rreal, 4.0);                   // distance
    EXPECT_DOUBLE_EQ(items[5]->resval.rreal, 6.0);                   // scale
    EXPECT_DOUBLE_EQ(items[6]->resval.rreal, 4.0);                   // a plain real stays
    EXPECT_TRUE(samePoint(AcGePoint3d(1, 0, 0), point(items[7])));   // a plain point stays
}

TEST_F(EntityGeometryTest, CloneKeepsFieldsAndExtendedData) {
    for (const Kind& kind : kinds()) {
        SCOPED_TRACE(kind.name);
        Owned<AcDbEntity> ent(kind.make());
        enttest::Chain xd(
            acutBuildList(1001, L"AcDbBlockRepETag", 1070, 1, 1071, 12345678, 1005, L"2A", 0));
        ASSERT_EQ(ent->setXData(xd.head), Acad::eOk);
        ent->setColorIndex(3);
        ent->setVisibility(AcDb::kInvisible);
        Owned<AcRxObject> copy(ent->clone());
        auto* typed = AcDbEntity::cast(copy.get());
        ASSERT_NE(typed, nullptr);
        EXPECT_EQ(typed->isA(), ent->isA());
        EXPECT_TRUE(fieldsOf(ent.get()).sameItems(fieldsOf(typed)));
        enttest::Chain tag(typed->xData(L"AcDbBlockRepETag"));
        ASSERT_NE(tag.head, nullptr);
        EXPECT_EQ(tag.head->rbnext->rbnext->resval.rlong, 12345678);
        EXPECT_EQ(typed->colorIndex(), 3);
        EXPECT_EQ(typed->visibility(), AcDb::kInvisible);
    }
}

}  // namespace
