#include <gtest/gtest.h>

#include <cmath>

#include "host/ge/curves.h"
#include "host/ge/matrix3d.h"
#include "host/ge/plane.h"
#include "host/ge/scale3d.h"
#include "tests/host/ge/ge_test_util.h"

using getest::kEps;
using getest::kPi;
using getest::pointNear;
using getest::vecNear;

namespace {

// ---------------------------------------------------------------------------
// Planes

TEST(AcGePlaneTest, NamedPlanesHaveRightHandedFrames) {
    const AcGePlane* planes[] = {&AcGePlane::kXYPlane, &AcGePlane::kYZPlane, &AcGePlane::kZXPlane};
    const AcGeVector3d normals[] = {AcGeVector3d::kZAxis, AcGeVector3d::kXAxis,
                                    AcGeVector3d::kYAxis};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        AcGePoint3d o;
        AcGeVector3d u;
        AcGeVector3d v;
        planes[i]->getCoordSystem(o, u, v);
        EXPECT_TRUE(pointNear(o, AcGePoint3d::kOrigin, 0.0));
        EXPECT_TRUE(vecNear(planes[i]->normal(), normals[i], 0.0));
        EXPECT_TRUE(vecNear(u.crossProduct(v), normals[i], 0.0));
    }
    EXPECT_TRUE(vecNear(AcGePlane().normal(), AcGeVector3d::kZAxis, 0.0));
}

TEST(AcGePlaneTest, PointNormalConstructorDerivesTheArbitraryAxisFrame) {
    const AcGePoint3d origin(1, -2, 4);
    const AcGeVector3d normal(2, -1, 5);
    const AcGePlane plane(origin, normal);
    EXPECT_TRUE(vecNear(plane.normal(), normal.normal()));
    EXPECT_TRUE(pointNear(plane.pointOnPlane(), origin, 0.0));
    AcGePoint3d o;
    AcGeVector3d u;
    AcGeVector3d v;
    plane.getCoordSystem(o, u, v);
    AcGePoint3d mo;
    AcGeVector3d mx;
    AcGeVector3d my;
    AcGeVector3d mz;
    AcGeMatrix3d::planeToWorld(normal).getCoordSystem(mo, mx, my, mz);
    EXPECT_TRUE(vecNear(u, mx));
    EXPECT_TRUE(vecNear(v, my));
    EXPECT_TRUE(vecNear(u.crossProduct(v), plane.normal()));

    // set() replaces the whole frame.
    AcGePlane moved = plane;
    moved.set(AcGePoint3d(0, 0, 0), AcGeVector3d(0, 0, 7));
    moved.getCoordSystem(o, u, v);
    EXPECT_TRUE(vecNear(u, AcGeVector3d::kXAxis));
    EXPECT_TRUE(vecNear(v, AcGeVector3d::kYAxis));
}

TEST(AcGePlaneTest, AxesConstructorKeepsAxesAndNormalisesTheNormal) {
    const AcGePlane plane(AcGePoint3d(0, 0, 1), AcGeVector3d(2, 0, 0), AcGeVector3d(1, 3, 0));
    EXPECT_TRUE(vecNear(plane.normal(), AcGeVector3d::kZAxis));
    AcGePoint3d o;
    AcGeVector3d u;
    AcGeVector3d v;
    plane.getCoordSystem(o, u, v);
    EXPECT_TRUE(vecNear(u, AcGeVector3d(2, 0, 0), 0.0));
    EXPECT_TRUE(vecNear(v, AcGeVector3d(1, 3, 0), 0.0));
    // Swapping the axes flips the side.
    const AcGePlane flipped(AcGePoint3d(0, 0, 1), AcGeVector3d(1, 3, 0), AcGeVector3d(2, 0, 0));
    EXPECT_TRUE(vecNear(flipped.normal(), -AcGeVector3d::kZAxis));
}

TEST(AcGePlaneTest, DegenerateInputYieldsZeroAxesInsteadOfNaN) {
    const AcGePlane noNormal(AcGePoint3d(1, 1, 1), AcGeVector3d::kIdentity);
    EXPECT_TRUE(noNormal.normal().isZeroLength());
    EXPECT_FALSE(std::isnan(noNormal.normal().x));
    const AcGePlane parallelAxes(AcGePoint3d(1, 1, 1), AcGeVector3d(1, 0, 0),
                                 AcGeVector3d(2, 0, 0));
    EXPECT_TRUE(parallelAxes.normal().isZeroLength());
}

TEST(AcGePlaneTest, DistancesAndProjection) {
    const AcGePlane plane(AcGePoint3d(0, 0, 2), AcGeVector3d(0, 0, -3));
    EXPECT_NEAR(plane.signedDistanceTo(AcGePoint3d(5, 5, 0)), 2.0, kEps);  // the normal points down
    EXPECT_NEAR(plane.signedDistanceTo(AcGePoint3d(5, 5, 5)), -3.0, kEps);
    EXPECT_NEAR(plane.distanceTo(AcGePoint3d(5, 5, 5)), 3.0, kEps);
    EXPECT_TRUE(pointNear(plane.closestPointTo(AcGePoint3d(5, -1, 9)), AcGePoint3d(5, -1, 2)));
    EXPECT_TRUE(plane.isOn(AcGePoint3d(100, 100, 2)));
    EXPECT_FALSE(plane.isOn(AcGePoint3d(100, 100, 2.001)));

    double a = 0;
    double b = 0;
    double c = 0;
    double d = 0;
    AcGePlane(AcGePoint3d(1, 2, 3), AcGeVector3d(0, 2, 0)).getCoefficients(a, b, c, d);
    EXPECT_NEAR(a, 0.0, kEps);
    EXPECT_NEAR(b, 1.0, kEps);
    EXPECT_NEAR(c, 0.0, kEps);
    EXPECT_NEAR(d, -2.0, kEps);
}

TEST(AcGePlaneTest, IntersectionWithLinesAndSegments) {
    const AcGePlane plane(AcGePoint3d(0, 0, 1), AcGeVector3d::kZAxis);
    AcGePoint3d hit;
    EXPECT_TRUE(plane.intersectWith(AcGeLine3d(AcGePoint3d(1, 1, 5), AcGeVector3d(1, 0, -1)), hit));
    EXPECT_TRUE(pointNear(hit, AcGePoint3d(5, 1, 1)));

    const AcGePoint3d untouched(-7, -7, -7);
    hit = untouched;
    EXPECT_FALSE(plane.intersectWith(AcGeLine3d(AcGePoint3d(0, 0, 3), AcGeVector3d(1, 1, 0)), hit));
    EXPECT_FALSE(plane.intersectWith(AcGeLine3d(AcGePoint3d(0, 0, 1), AcGeVector3d(1, 0, 0)), hit));
    EXPECT_TRUE(pointNear(hit, untouched, 0.0));

    EXPECT_TRUE(
        plane.intersectWith(AcGeLineSeg3d(AcGePoint3d(0, 0, 0), AcGePoint3d(0, 4, 4)), hit));
    EXPECT_TRUE(pointNear(hit, AcGePoint3d(0, 1, 1)));
    // The carrier crosses the plane, the segment stops short of it.
    EXPECT_FALSE(
        plane.intersectWith(AcGeLineSeg3d(AcGePoint3d(0, 0, 3), AcGePoint3d(0, 0, 2)), hit));
    // A segment ending exactly on the plane counts.
    EXPECT_TRUE(
        plane.intersectWith(AcGeLineSeg3d(AcGePoint3d(2, 0, 3), AcGePoint3d(2, 0, 1)), hit));
    EXPECT_TRUE(pointNear(hit, AcGePoint3d(2, 0, 1)));
}

// ---------------------------------------------------------------------------
// Lines and segments

TEST(AcGeLineTest, DirectionIsUnitAndProjectionIsUnbounded) {
    const AcGeLine3d line(AcGePoint3d(1, 1, 0), AcGePoint3d(3, 1, 0));
    EXPECT_TRUE(vecNear(line.direction(), AcGeVector3d::kXAxis));
    EXPECT_TRUE(pointNear(line.closestPointTo(AcGePoint3d(-10, 5, 2)), AcGePoint3d(-10, 1, 0)));
    EXPECT_TRUE(line.isOn(AcGePoint3d(100, 1, 0)));
    EXPECT_FALSE(line.isOn(AcGePoint3d(100, 1.001, 0)));
    // A very short but non-zero direction is still a direction.
    const AcGeLine3d shortDir(AcGePoint3d::kOrigin, AcGeVector3d(0, 1e-14, 0));
    EXPECT_TRUE(vecNear(shortDir.direction(), AcGeVector3d::kYAxis));

    AcGeLine3d moved = line;
    moved.transformBy(AcGeMatrix3d::rotation(kPi / 2, AcGeVector3d::kZAxis));
    EXPECT_TRUE(vecNear(moved.direction(), AcGeVector3d::kYAxis));
    EXPECT_TRUE(pointNear(moved.pointOnLine(), AcGePoint3d(-1, 1, 0)));
}

TEST(AcGeLineSegTest, ClosestPointIsClampedToTheEnds) {
    const AcGeLineSeg3d seg(AcGePoint3d(0, 0, 0), AcGePoint3d(4, 0, 0));
    EXPECT_TRUE(pointNear(seg.closestPointTo(AcGePoint3d(2, 3, 1)), AcGePoint3d(2, 0, 0)));
    EXPECT_TRUE(pointNear(seg.closestPointTo(AcGePoint3d(-5, 1, 0)), AcGePoint3d(0, 0, 0)));
    EXPECT_TRUE(pointNear(seg.closestPointTo(AcGePoint3d(9, -1, 0)), AcGePoint3d(4, 0, 0)));
    EXPECT_TRUE(seg.isOn(AcGePoint3d(4, 0, 0)));
    EXPECT_FALSE(seg.isOn(AcGePoint3d(4.001, 0, 0)));
    // The base-class view must dispatch to the bounded version.
    const AcGeCurve3d& curve = seg;
    EXPECT_FALSE(curve.isOn(AcGePoint3d(-1, 0, 0)));
}

TEST(AcGeLineSegTest, AccessorsAndTransform) {
    AcGeLineSeg3d seg(AcGePoint3d(1, 1, 1), AcGePoint3d(1, 4, 5));
    EXPECT_DOUBLE_EQ(seg.length(), 5.0);
    EXPECT_TRUE(pointNear(seg.midPoint(), AcGePoint3d(1, 2.5, 3)));
    EXPECT_TRUE(vecNear(seg.direction(), AcGeVector3d(0, 0.6, 0.8)));
    EXPECT_TRUE(pointNear(seg.startPoint(), AcGePoint3d(1, 1, 1), 0.0));
    EXPECT_TRUE(pointNear(seg.endPoint(), AcGePoint3d(1, 4, 5), 0.0));
    seg.transformBy(AcGeMatrix3d::scaling(2.0));
    EXPECT_TRUE(pointNear(seg.endPoint(), AcGePoint3d(2, 8, 10)));
    EXPECT_DOUBLE_EQ(seg.length(), 10.0);
    seg.set(AcGePoint3d(0, 0, 0), AcGePoint3d(0, 0, -2));
    EXPECT_TRUE(vecNear(seg.direction(), -AcGeVector3d::kZAxis));

    const AcGeLineSeg3d point(AcGePoint3d(1, 2, 3), AcGePoint3d(1, 2, 3));
    EXPECT_DOUBLE_EQ(point.length(), 0.0);
    EXPECT_TRUE(point.direction().isZeroLength());
    EXPECT_TRUE(pointNear(point.closestPointTo(AcGePoint3d(9, 9, 9)), AcGePoint3d(1, 2, 3), 0.0));
}

TEST(AcGeLinearEntTest, IntersectionRespectsBoundsAndRejectsSkewAndParallel) {
    AcGePoint3d hit;
    const AcGeLine3d xAxis(AcGePoint3d::kOrigin, AcGeVector3d::kXAxis);
    const AcGeLine3d slanted(AcGePoint3d(2, -1, 0), AcGeVector3d(1, 1, 0));
    ASSERT_TRUE(xAxis.intersectWith(slanted, hit));
    EXPECT_TRUE(pointNear(hit, AcGePoint3d(3, 0, 0)));
    ASSERT_TRUE(slanted.intersectWith(xAxis, hit));
    EXPECT_TRUE(pointNear(hit, AcGePoint3d(3, 0, 0)));

    const AcGeLine3d skew(AcGePoint3d(0, 0, 1), AcGeVector3d::kYAxis);
    EXPECT_FALSE(xAxis.intersectWith(skew, hit));
    EXPECT_FALSE(
        xAxis.intersectWith(AcGeLine3d(AcGePoint3d(0, 1, 0), AcGeVector3d(-2, 0, 0)), hit));

    const AcGeLineSeg3d crossing(AcGePoint3d(1, -1, 0), AcGePoint3d(1, 1, 0));
    const AcGeLineSeg3d shortOne(AcGePoint3d(0, 0, 0), AcGePoint3d(0.5, 0, 0));
    const AcGeLineSeg3d longOne(AcGePoint3d(0, 0, 0), AcGePoint3d(2, 0, 0));
    EXPECT_FALSE(shortOne.intersectWith(crossing, hit));
    ASSERT_TRUE(longOne.intersectWith(crossing, hit));
    EXPECT_TRUE(pointNear(hit, AcGePoint3d(1, 0, 0)));
}

// ---------------------------------------------------------------------------
// Circular arcs

TEST(AcGeCircArcTest, DefaultIsTheUnitCircle) {
    const AcGeCircArc3d arc;
    EXPECT_TRUE(arc.isClosed());
    EXPECT_DOUBLE_EQ(arc.radius(), 1.0);
    EXPECT_NEAR(arc.length(), 2 * kPi, kEps);
    EXPECT_TRUE(pointNear(arc.evalPoint(kPi / 2), AcGePoint3d(0, 1, 0)));
}

TEST(AcGeCircArcTest, AnglesRunCounterClockwiseAboutTheNormal) {
    const AcGeCircArc3d up(AcGePoint3d(1, 1, 0), AcGeVector3d::kZAxis, AcGeVector3d::kXAxis, 2.0,
                           0.0, kPi / 2);
    EXPECT_TRUE(pointNear(up.startPoint(), AcGePoint3d(3, 1, 0)));
    EXPECT_TRUE(pointNear(up.endPoint(), AcGePoint3d(1, 3, 0)));
    EXPECT_FALSE(up.isClosed());
    EXPECT_NEAR(up.length(), kPi, kEps);
    const AcGeCircArc3d down(AcGePoint3d(1, 1, 0), -AcGeVector3d::kZAxis, AcGeVector3d::kXAxis, 2.0,
                             0.0, kPi / 2);
    EXPECT_TRUE(pointNear(down.endPoint(), AcGePoint3d(1, -1, 0)));
}

TEST(AcGeCircArcTest, SetNormalisesAxesAndAngles) {
    // The reference vector is projected into the arc's plane and normalised.
    AcGeCircArc3d arc(AcGePoint3d::kOrigin, AcGeVector3d(0, 0, 5), AcGeVector3d(3, 0, 4), -2.0, 0.0,
                      kPi);
    EXPECT_TRUE(vecNear(arc.normal(), AcGeVector3d::kZAxis));
    EXPECT_TRUE(vecNear(arc.refVec(), AcGeVector3d::kXAxis));
    EXPECT_DOUBLE_EQ(arc.radius(), 2.0);
    // A reference vector along the normal falls back to the perpendicular one.
    arc.set(AcGePoint3d::kOrigin, AcGeVector3d(1, 0, 0), AcGeVector3d(2, 0, 0), 1.0, 0.0, kPi);
    EXPECT_TRUE(vecNear(arc.refVec(), AcGeVector3d(1, 0, 0).perpVector()));
    // An end angle below the start wraps round.
    arc.setAngles(3 * kPi / 2, kPi / 2);
    EXPECT_NEAR(arc.sweep(), kPi, kEps);
    EXPECT_NEAR(arc.startAng(), 3 * kPi / 2, kEps);
    arc.setAngles(0.0, -kPi / 2);
    EXPECT_NEAR(arc.sweep(), 3 * kPi / 2, kEps);
    // More than a full turn is clamped to one.
    arc.setAngles(1.0, 20.0);
    EXPECT_NEAR(arc.sweep(), 2 * kPi, kEps);
    EXPECT_TRUE(arc.isClosed());
}

TEST(AcGeCircArcTest, ThroughThreePoints) {
    const AcGePoint3d p1(3, 1, 0);
    const AcGePoint3d p2(1, 3, 0);
    const AcGePoint3d p3(-1, 1, 0);
    AcGeCircArc3d arc;
    ASSERT_TRUE(arc.set(p1, p2, p3));
    EXPECT_TRUE(pointNear(arc.center(), AcGePoint3d(1, 1, 0)));
    EXPECT_NEAR(arc.radius(), 2.0, kEps);
    EXPECT_TRUE(vecNear(arc.normal(), AcGeVector3d::kZAxis));
    EXPECT_TRUE(pointNear(arc.startPoint(), p1));
    EXPECT_TRUE(pointNear(arc.endPoint(), p3));
    EXPECT_TRUE(arc.isOn(p2));
    EXPECT_NEAR(arc.sweep(), kPi, kEps);
    EXPECT_FALSE(arc.isOn(AcGePoint3d(1, -1, 0))) << "the lower half is not part of the arc";

    // The same points in the other order go clockwise: the normal flips and
    // the arc still passes through the middle point.
    AcGeCircArc3d reversed(p3, p2, p1);
    EXPECT_TRUE(vecNear(reversed.normal(), -AcGeVector3d::kZAxis));
    EXPECT_TRUE(reversed.isOn(p2));
    EXPECT_TRUE(pointNear(reversed.endPoint(), p1));

    // A major arc: the middle point lies beyond the half-turn.
    const AcGeCircArc3d major(AcGePoint3d(1, 0, 0), AcGePoint3d(-1, 0, 0), AcGePoint3d(0, -1, 0));
    EXPECT_NEAR(major.sweep(), 3 * kPi / 2, kEps);
    EXPECT_TRUE(major.isOn(AcGePoint3d(0, 1, 0)));

    // In a tilted plane, far from the origin.
    const AcGePlane tilted(AcGePoint3d(1000, -500, 20), AcGeVector3d(1, 2, 2));
    const AcGePoint3d q1(tilted, AcGePoint2d(5, 0));
    const AcGePoint3d q2(tilted, AcGePoint2d(0, 5));
    const AcGePoint3d q3(tilted, AcGePoint2d(-3, -4));
    const AcGeCircArc3d spatial(q1, q2, q3);
    EXPECT_TRUE(pointNear(spatial.center(), tilted.pointOnPlane(), 1e-8));
    EXPECT_NEAR(spatial.radius(), 5.0, 1e-9);
    EXPECT_TRUE(spatial.isOn(q2, AcGeTol(1e-8, 1e-8)));
}

TEST(AcGeCircArcTest, ThroughCollinearPointsFails) {
    AcGeCircArc3d arc;
    EXPECT_FALSE(arc.set(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 1, 1), AcGePoint3d(2, 2, 2)));
    EXPECT_DOUBLE_EQ(arc.radius(), 0.0);
    EXPECT_TRUE(pointNear(arc.center(), AcGePoint3d(0, 0, 0), 0.0));
    EXPECT_FALSE(arc.set(AcGePoint3d(0, 0, 0), AcGePoint3d(0, 0, 0), AcGePoint3d(2, 0, 0)));
    EXPECT_FALSE(arc.set(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 0, 0), AcGePoint3d(0, 0, 0)));
    EXPECT_FALSE(std::isnan(arc.startPoint().x));
}

TEST(AcGeCircArcTest, ClosestPointInsideAndOutsideTheSweep) {
    // Upper half of a radius-2 circle around (1, 1, 0).
    const AcGeCircArc3d arc(AcGePoint3d(1, 1, 0), AcGeVector3d::kZAxis, AcGeVector3d::kXAxis, 2.0,
                            0.0, kPi);
    EXPECT_TRUE(pointNear(arc.closestPointTo(AcGePoint3d(1, 10, 0)), AcGePoint3d(1, 3, 0)));
    // Off the plane: the height does not matter.
    EXPECT_TRUE(pointNear(arc.closestPointTo(AcGePoint3d(1, 10, 7)), AcGePoint3d(1, 3, 0)));
    // Below the arc the nearer end wins.
    EXPECT_TRUE(pointNear(arc.closestPointTo(AcGePoint3d(2, -5, 0)), AcGePoint3d(3, 1, 0)));
    EXPECT_TRUE(pointNear(arc.closestPointTo(AcGePoint3d(0, -5, 0)), AcGePoint3d(-1, 1, 0)));
    // On the axis every circle point is equally near: the start is returned.
    EXPECT_TRUE(pointNear(arc.closestPointTo(AcGePoint3d(1, 1, 4)), arc.startPoint()));

    EXPECT_TRUE(arc.isOn(AcGePoint3d(1 + std::sqrt(2.0), 1 + std::sqrt(2.0), 0)));
    EXPECT_FALSE(arc.isOn(AcGePoint3d(1 + std::sqrt(2.0), 1 - std::sqrt(2.0), 0)));
    EXPECT_FALSE(arc.isOn(AcGePoint3d(1, 1, 0)));
}

TEST(AcGeCircArcTest, ClosestPointOnAnArcThatWrapsPastTheReference) {
    // From 270 to 90 degrees through 0: the right half.
    const AcGeCircArc3d arc(AcGePoint3d::kOrigin, AcGeVector3d::kZAxis, AcGeVector3d::kXAxis, 1.0,
                            3 * kPi / 2, kPi / 2);
    const AcGeVector3d justAbove(5, 0.1, 0);
    const AcGeVector3d justBelow(1, -0.01, 0);
    EXPECT_TRUE(pointNear(arc.closestPointTo(AcGePoint3d::kOrigin + justAbove),
                          AcGePoint3d::kOrigin + justAbove.normal()));
    EXPECT_TRUE(pointNear(arc.closestPointTo(AcGePoint3d::kOrigin + justBelow),
                          AcGePoint3d::kOrigin + justBelow.normal()));
    EXPECT_TRUE(pointNear(arc.closestPointTo(AcGePoint3d(-3, 0.5, 0)), AcGePoint3d(0, 1, 0)));
    EXPECT_TRUE(pointNear(arc.closestPointTo(AcGePoint3d(-3, -0.5, 0)), AcGePoint3d(0, -1, 0)));
}

TEST(AcGeCircArcTest, TangentFollowsIncreasingAngle) {
    const AcGeCircArc3d ccw(AcGePoint3d::kOrigin, AcGeVector3d::kZAxis, 3.0);
    EXPECT_TRUE(vecNear(ccw.tangent(AcGePoint3d(3, 0, 0)), AcGeVector3d::kYAxis));
    EXPECT_TRUE(vecNear(ccw.tangent(AcGePoint3d(0, 3, 0)), -AcGeVector3d::kXAxis));
    // Off the circle the tangent is taken at the closest point.
    EXPECT_TRUE(vecNear(ccw.tangent(AcGePoint3d(10, 0, 2)), AcGeVector3d::kYAxis));

    const AcGeCircArc3d cw(AcGePoint3d::kOrigin, -AcGeVector3d::kZAxis, 3.0);
    EXPECT_TRUE(vecNear(cw.tangent(AcGePoint3d(3, 0, 0)), -AcGeVector3d::kYAxis));

    // Past the end of an arc the end tangent applies.
    const AcGeCircArc3d quarter(AcGePoint3d::kOrigin, AcGeVector3d::kZAxis, AcGeVector3d::kXAxis,
                                1.0, 0.0, kPi / 2);
    EXPECT_TRUE(vecNear(quarter.tangent(AcGePoint3d(-2, 3, 0)), -AcGeVector3d::kXAxis));

    AcGeLine3d line(AcGePoint3d(9, 9, 9), AcGeVector3d::kZAxis);
    ASSERT_TRUE(ccw.tangent(AcGePoint3d(0, -3, 0), line));
    EXPECT_TRUE(pointNear(line.pointOnLine(), AcGePoint3d(0, -3, 0)));
    EXPECT_TRUE(vecNear(line.direction(), AcGeVector3d::kXAxis));
    EXPECT_FALSE(ccw.tangent(AcGePoint3d(0, -3.5, 0), line));
    EXPECT_TRUE(pointNear(line.pointOnLine(), AcGePoint3d(0, -3, 0), 0.0))
        << "a failed query must not touch the line";
}

TEST(AcGeCircArcTest, TransformByKeepsTheArcOnTheImageOfItsPoints) {
    const AcGeCircArc3d original(AcGePoint3d(2, 1, 0), AcGeVector3d::kZAxis, AcGeVector3d::kXAxis,
                                 1.5, 0.3, 2.0);
    const AcGeMatrix3d transforms[] = {
        AcGeMatrix3d::rotation(0.8, AcGeVector3d(1, 1, 1), AcGePoint3d(0, 3, 0)),
        AcGeMatrix3d::scaling(2.5, AcGePoint3d(1, 1, 1)),
        AcGeMatrix3d::mirroring(AcGePlane::kYZPlane),
        AcGeMatrix3d::mirroring(AcGePlane(AcGePoint3d(0, 0, 1), AcGeVector3d(1, 1, 3))) *
            AcGeMatrix3d::translation(AcGeVector3d(5, 0, 0)),
    };
    for (const AcGeMatrix3d& m : transforms) {
        AcGeCircArc3d arc = original;
        ASSERT_TRUE(arc.transformBy(m));
        EXPECT_TRUE(pointNear(arc.startPoint(), m * original.startPoint()));
        EXPECT_TRUE(pointNear(arc.endPoint(), m * original.endPoint()));
        EXPECT_TRUE(pointNear(arc.evalPoint(1.0), m * original.evalPoint(1.0)));
        EXPECT_TRUE(pointNear(arc.center(), m * original.center()));
        EXPECT_NEAR(arc.radius(), 1.5 * m.scale(), kEps);
    }
    // The mirror in the YZ plane turns the counter-clockwise arc around.
    AcGeCircArc3d mirrored = original;
    mirrored.transformBy(AcGeMatrix3d::mirroring(AcGePlane::kYZPlane));
    EXPECT_TRUE(vecNear(mirrored.normal(), -AcGeVector3d::kZAxis));

    AcGeCircArc3d stretched = original;
    EXPECT_FALSE(stretched.transformBy(AcGeMatrix3d::scaling(AcGeScale3d(1, 2, 1))));
    EXPECT_TRUE(pointNear(stretched.center(), original.center(), 0.0));
    EXPECT_DOUBLE_EQ(stretched.radius(), original.radius());
}

}  // namespace
