#include <gtest/gtest.h>

#include <cmath>

#include "host/ge/plane.h"
#include "host/ge/point2d.h"
#include "host/ge/point3d.h"
#include "host/ge/scale3d.h"
#include "host/ge/vector2d.h"
#include "host/ge/vector3d.h"
#include "tests/host/ge/ge_test_util.h"

using getest::kEps;
using getest::kPi;
using getest::pointNear;
using getest::vecNear;

namespace {

// ---------------------------------------------------------------------------
// 2D

TEST(AcGeVector2dTest, AngleCoversAllQuadrantsInHalfOpenRange) {
    EXPECT_DOUBLE_EQ(AcGeVector2d(1, 0).angle(), 0.0);
    EXPECT_NEAR(AcGeVector2d(1, 1).angle(), kPi / 4, kEps);
    EXPECT_NEAR(AcGeVector2d(-1, 1).angle(), 3 * kPi / 4, kEps);
    EXPECT_NEAR(AcGeVector2d(-1, 0).angle(), kPi, kEps);
    EXPECT_NEAR(AcGeVector2d(-1, -1).angle(), 5 * kPi / 4, kEps);
    EXPECT_NEAR(AcGeVector2d(0, -1).angle(), 3 * kPi / 2, kEps);
    EXPECT_DOUBLE_EQ(AcGeVector2d(0, 0).angle(), 0.0);
    // A hair below the +X axis must not come out as exactly 2*pi.
    const double a = AcGeVector2d(1, -1e-300).angle();
    EXPECT_GE(a, 0.0);
    EXPECT_LT(a, 2 * kPi);
    EXPECT_FALSE(std::signbit(AcGeVector2d(1, -0.0).angle()));
}

TEST(AcGeVector2dTest, NormalizeKeepsZeroAndScalesOthersToUnit) {
    AcGeVector2d zero;
    zero.normalize();
    EXPECT_EQ(zero.x, 0.0);
    EXPECT_EQ(zero.y, 0.0);
    const AcGeVector2d n = AcGeVector2d(3, -4).normal();
    EXPECT_NEAR(n.x, 0.6, kEps);
    EXPECT_NEAR(n.y, -0.8, kEps);
    EXPECT_TRUE(AcGeVector2d(1e-12, 0).isZeroLength());
    EXPECT_FALSE(AcGeVector2d(1e-8, 0).isZeroLength());
    EXPECT_DOUBLE_EQ(AcGeVector2d::kXAxis.dotProduct(AcGeVector2d::kYAxis), 0.0);
}

TEST(AcGePoint2dTest, ArithmeticAndTolerantEquality) {
    const AcGePoint2d p(1, 2);
    const AcGePoint2d q = p + AcGeVector2d(3, 4);
    EXPECT_DOUBLE_EQ(p.distanceTo(q), 5.0);
    const AcGeVector2d d = q - p;
    EXPECT_DOUBLE_EQ(d.x, 3.0);
    EXPECT_DOUBLE_EQ(d.y, 4.0);
    EXPECT_TRUE(p == AcGePoint2d(1 + 1e-12, 2));
    EXPECT_TRUE(p != AcGePoint2d(1 + 1e-8, 2));
    EXPECT_TRUE(p.isEqualTo(AcGePoint2d(1 + 1e-8, 2), AcGeTol(1e-6, 1e-6)));
    EXPECT_DOUBLE_EQ(AcGePoint2d::kOrigin.asVector().length(), 0.0);
}

// ---------------------------------------------------------------------------
// 3D vectors

TEST(AcGeVector3dTest, CrossProductIsRightHanded) {
    EXPECT_TRUE(
        vecNear(AcGeVector3d::kXAxis.crossProduct(AcGeVector3d::kYAxis), AcGeVector3d::kZAxis));
    EXPECT_TRUE(
        vecNear(AcGeVector3d::kYAxis.crossProduct(AcGeVector3d::kZAxis), AcGeVector3d::kXAxis));
    EXPECT_TRUE(
        vecNear(AcGeVector3d::kZAxis.crossProduct(AcGeVector3d::kXAxis), AcGeVector3d::kYAxis));
    EXPECT_TRUE(AcGeVector3d::kIdentity.isZeroLength());
}

TEST(AcGeVector3dTest, ArithmeticOperators) {
    AcGeVector3d v(1, 2, 3);
    v += AcGeVector3d(1, 1, 1);
    v *= 2.0;
    v -= AcGeVector3d(0, 0, 8);
    v /= 2.0;
    EXPECT_TRUE(vecNear(v, AcGeVector3d(2, 3, 0)));
    EXPECT_TRUE(vecNear(-v, AcGeVector3d(-2, -3, 0)));
    EXPECT_TRUE(vecNear(0.5 * v, v / 2.0));
    v.negate();
    EXPECT_DOUBLE_EQ(v[0], -2.0);
    EXPECT_DOUBLE_EQ(v[1], -3.0);
    v[2] = 7.0;
    EXPECT_DOUBLE_EQ(v.z, 7.0);
    EXPECT_DOUBLE_EQ(AcGeVector3d(2, 3, 6).length(), 7.0);
    EXPECT_DOUBLE_EQ(AcGeVector3d(2, 3, 6).lengthSqrd(), 49.0);
}

TEST(AcGeVector3dTest, NormalizationAndLengthPredicates) {
    AcGeVector3d zero;
    zero.normalize();
    EXPECT_TRUE(vecNear(zero, AcGeVector3d::kIdentity, 0.0));
    EXPECT_FALSE(std::isnan(AcGeVector3d().normal().x));
    const AcGeVector3d n = AcGeVector3d(0, 3, 4).normal();
    EXPECT_TRUE(vecNear(n, AcGeVector3d(0, 0.6, 0.8)));
    EXPECT_TRUE(n.isUnitLength());
    EXPECT_FALSE(AcGeVector3d(0, 0, 1.001).isUnitLength());
    EXPECT_TRUE(AcGeVector3d(0, 0, 1.001).isUnitLength(AcGeTol(1e-2, 1e-2)));
    EXPECT_TRUE(AcGeVector3d(1e-11, 0, 0).isZeroLength());
    EXPECT_FALSE(AcGeVector3d(1e-9, 0, 0).isZeroLength());
    EXPECT_TRUE(AcGeVector3d(1e-9, 0, 0).isZeroLength(AcGeTol(1e-10, 1e-8)));
}

TEST(AcGeVector3dTest, EqualityUsesTheVectorTolerance) {
    const AcGeVector3d v(1, 2, 3);
    EXPECT_TRUE(v == AcGeVector3d(1, 2, 3 + 1e-12));
    EXPECT_TRUE(v != AcGeVector3d(1, 2, 3 + 1e-8));
    EXPECT_TRUE(v.isEqualTo(AcGeVector3d(1, 2, 3 + 1e-8), AcGeTol(1e-12, 1e-6)));
    EXPECT_FALSE(v.isEqualTo(AcGeVector3d(1, 2, 3 + 1e-8), AcGeTol(1e-6, 1e-12)));
}

TEST(AcGeVector3dTest, RotateByIsCounterClockwiseAboutTheAxis) {
    AcGeVector3d v = AcGeVector3d::kXAxis;
    v.rotateBy(kPi / 2, AcGeVector3d::kZAxis);
    EXPECT_TRUE(vecNear(v, AcGeVector3d::kYAxis));
    v = AcGeVector3d::kXAxis;
    v.rotateBy(kPi / 2, -AcGeVector3d::kZAxis);
    EXPECT_TRUE(vecNear(v, -AcGeVector3d::kYAxis));
    // The axis length must not matter.
    v = AcGeVector3d::kYAxis;
    v.rotateBy(kPi / 2, AcGeVector3d(5, 0, 0));
    EXPECT_TRUE(vecNear(v, AcGeVector3d::kZAxis));
    // A third of a turn about (1,1,1) cycles the axes.
    v = AcGeVector3d::kXAxis;
    v.rotateBy(2 * kPi / 3, AcGeVector3d(1, 1, 1));
    EXPECT_TRUE(vecNear(v, AcGeVector3d::kYAxis));
    // Components along the axis are untouched, a zero axis is a no-op.
    v.set(1, 2, 3).rotateBy(1.234, AcGeVector3d::kZAxis);
    EXPECT_NEAR(v.z, 3.0, kEps);
    EXPECT_NEAR(v.length(), std::sqrt(14.0), kEps);
    v.set(1, 2, 3).rotateBy(1.0, AcGeVector3d::kIdentity);
    EXPECT_TRUE(vecNear(v, AcGeVector3d(1, 2, 3), 0.0));
}

TEST(AcGeVector3dTest, UnsignedAngleToStaysWithinZeroAndPi) {
    EXPECT_NEAR(AcGeVector3d::kXAxis.angleTo(AcGeVector3d::kYAxis), kPi / 2, kEps);
    EXPECT_NEAR(AcGeVector3d::kXAxis.angleTo(-AcGeVector3d::kYAxis), kPi / 2, kEps);
    EXPECT_NEAR(AcGeVector3d::kXAxis.angleTo(-AcGeVector3d::kXAxis), kPi, kEps);
    EXPECT_NEAR(AcGeVector3d(1, 1, 0).angleTo(AcGeVector3d(3, 3, 0)), 0.0, kEps);
    EXPECT_DOUBLE_EQ(AcGeVector3d::kIdentity.angleTo(AcGeVector3d::kXAxis), 0.0);
    // Tiny angles keep their precision (acos of a dot product would not).
    EXPECT_NEAR(AcGeVector3d(1, 0, 0).angleTo(AcGeVector3d(1, 1e-9, 0)), 1e-9, 1e-15);
}

TEST(AcGeVector3dTest, AngleToWithReferenceAxisCoversAllQuadrants) {
    for (int k = 0; k < 8; ++k) {
        const double a = k * kPi / 4;
        const AcGeVector3d v(std::cos(a), std::sin(a), 0);
        SCOPED_TRACE(k);
        EXPECT_NEAR(AcGeVector3d::kXAxis.angleTo(v, AcGeVector3d::kZAxis), a, kEps);
        const double cw = k == 0 ? 0.0 : 2 * kPi - a;
        EXPECT_NEAR(AcGeVector3d::kXAxis.angleTo(v, -AcGeVector3d::kZAxis), cw, kEps);
        // Only the side of the reference axis counts, not its exact direction.
        EXPECT_NEAR(AcGeVector3d::kXAxis.angleTo(v, AcGeVector3d(0.3, -0.2, 1)), a, kEps);
    }
    // Measured from a vector that is not the X axis.
    EXPECT_NEAR(AcGeVector3d::kYAxis.angleTo(AcGeVector3d::kXAxis, AcGeVector3d::kZAxis),
                3 * kPi / 2, kEps);
    // In a plane other than XY.
    EXPECT_NEAR(AcGeVector3d::kYAxis.angleTo(AcGeVector3d::kZAxis, AcGeVector3d::kXAxis), kPi / 2,
                kEps);
    EXPECT_NEAR(AcGeVector3d::kZAxis.angleTo(AcGeVector3d::kYAxis, AcGeVector3d::kXAxis),
                3 * kPi / 2, kEps);
}

TEST(AcGeVector3dTest, AngleToWithReferenceAxisNeverReturnsTwoPi) {
    const AcGeVector3d a(1, 0, 0);
    const AcGeVector3d b(1, -1e-300, 0);
    const double angle = a.angleTo(b, AcGeVector3d::kZAxis);
    EXPECT_GE(angle, 0.0);
    EXPECT_LT(angle, 2 * kPi);
    EXPECT_DOUBLE_EQ(a.angleTo(a, AcGeVector3d::kZAxis), 0.0);
}

TEST(AcGeVector3dTest, AngleOnPlaneMeasuresTheProjectionFromTheUAxis) {
    for (int k = 0; k < 12; ++k) {
        const double a = k * kPi / 6;
        SCOPED_TRACE(k);
        // The z part is dropped by the projection.
        const AcGeVector3d v(2 * std::cos(a), 2 * std::sin(a), 5.0);
        EXPECT_NEAR(v.angleOnPlane(AcGePlane::kXYPlane), a, kEps);
    }
    // YZ plane: u = Y, normal = X.
    EXPECT_NEAR(AcGeVector3d::kZAxis.angleOnPlane(AcGePlane::kYZPlane), kPi / 2, kEps);
    EXPECT_NEAR(AcGeVector3d(7, 0, -1).angleOnPlane(AcGePlane::kYZPlane), 3 * kPi / 2, kEps);
    // A plane facing -Z: the arbitrary-axis rule gives u = -X, and angles run
    // counter-clockwise about -Z.
    const AcGePlane down(AcGePoint3d(0, 0, 3), AcGeVector3d(0, 0, -1));
    EXPECT_NEAR(AcGeVector3d::kXAxis.angleOnPlane(down), kPi, kEps);
    EXPECT_NEAR(AcGeVector3d::kYAxis.angleOnPlane(down), kPi / 2, kEps);
    EXPECT_NEAR(AcGeVector3d(0, -1, 0).angleOnPlane(down), 3 * kPi / 2, kEps);
    // Along the normal there is no projection at all.
    EXPECT_DOUBLE_EQ(AcGeVector3d(0, 0, 4).angleOnPlane(AcGePlane::kXYPlane), 0.0);
}

TEST(AcGeVector3dTest, PerpVectorIsUnitPerpendicularAndFollowsTheArbitraryAxisRule) {
    const AcGeVector3d samples[] = {AcGeVector3d(0, 0, 1),    AcGeVector3d(0, 0, -2),
                                    AcGeVector3d(1, 0, 0),    AcGeVector3d(0.01, 0, 1),
                                    AcGeVector3d(0.02, 0, 1), AcGeVector3d(1, 2, 3),
                                    AcGeVector3d(-4, 0.5, 0)};
    for (const AcGeVector3d& v : samples) {
        const AcGeVector3d p = v.perpVector();
        SCOPED_TRACE(::testing::Message() << v.x << "," << v.y << "," << v.z);
        EXPECT_NEAR(p.length(), 1.0, kEps);
        EXPECT_NEAR(p.dotProduct(v), 0.0, kEps);
    }
    // Near the Z axis the world Y axis seeds the cross product, elsewhere Z.
    EXPECT_TRUE(vecNear(AcGeVector3d(0, 0, 1).perpVector(), AcGeVector3d::kXAxis));
    EXPECT_TRUE(vecNear(AcGeVector3d(0, 0, -1).perpVector(), -AcGeVector3d::kXAxis));
    const AcGeVector3d steep = AcGeVector3d(0.01, 0, 1).normal();
    EXPECT_TRUE(vecNear(steep.perpVector(), AcGeVector3d::kYAxis.crossProduct(steep).normal()));
    const AcGeVector3d flat = AcGeVector3d(0.02, 0, 1).normal();  // 0.02 > 1/64
    EXPECT_TRUE(vecNear(flat.perpVector(), AcGeVector3d::kZAxis.crossProduct(flat).normal()));
    EXPECT_TRUE(AcGeVector3d::kIdentity.perpVector().isZeroLength());
}

TEST(AcGeVector3dTest, ParallelPerpendicularAndCodirectional) {
    const AcGeVector3d v(1, 2, 3);
    EXPECT_TRUE(v.isParallelTo(v * 5));
    EXPECT_TRUE(v.isParallelTo(-v));
    EXPECT_TRUE(v.isCodirectionalTo(v * 0.1));
    EXPECT_FALSE(v.isCodirectionalTo(-v));
    EXPECT_FALSE(v.isParallelTo(v + AcGeVector3d(0, 0, 1e-3)));
    EXPECT_TRUE(v.isPerpendicularTo(v.perpVector()));
    EXPECT_FALSE(v.isPerpendicularTo(v));
    // Zero vectors have no direction.
    EXPECT_FALSE(v.isParallelTo(AcGeVector3d::kIdentity));
    EXPECT_FALSE(AcGeVector3d::kIdentity.isParallelTo(AcGeVector3d::kIdentity));
    EXPECT_FALSE(v.isPerpendicularTo(AcGeVector3d::kIdentity));
    EXPECT_FALSE(AcGeVector3d::kIdentity.isCodirectionalTo(v));
}

TEST(AcGeVector3dTest, TransformIgnoresTranslation) {
    const AcGeMatrix3d m = AcGeMatrix3d::translation(AcGeVector3d(10, 20, 30)) *
                           AcGeMatrix3d::rotation(kPi / 2, AcGeVector3d::kZAxis);
    AcGeVector3d v = AcGeVector3d::kXAxis;
    v.transformBy(m);
    EXPECT_TRUE(vecNear(v, AcGeVector3d::kYAxis));
    EXPECT_TRUE(vecNear(m * AcGeVector3d(0, 0, 2), AcGeVector3d(0, 0, 2)));
}

// ---------------------------------------------------------------------------
// 3D points

TEST(AcGePoint3dTest, ArithmeticWithVectorsAndPoints) {
    AcGePoint3d p(1, 2, 3);
    const AcGeVector3d d = AcGePoint3d(4, 6, 3) - p;
    EXPECT_TRUE(vecNear(d, AcGeVector3d(3, 4, 0)));
    EXPECT_DOUBLE_EQ(p.distanceTo(AcGePoint3d(4, 6, 3)), 5.0);
    p += AcGeVector3d(1, 1, 1);
    EXPECT_TRUE(pointNear(p, AcGePoint3d(2, 3, 4)));
    p -= AcGeVector3d(2, 3, 4);
    EXPECT_TRUE(pointNear(p, AcGePoint3d::kOrigin));
    EXPECT_TRUE(pointNear(AcGePoint3d(1, 2, 3) + AcGeVector3d(1, 0, 0), AcGePoint3d(2, 2, 3)));
    EXPECT_TRUE(pointNear(AcGePoint3d(1, 2, 3) - AcGeVector3d(1, 0, 0), AcGePoint3d(0, 2, 3)));
    EXPECT_TRUE(vecNear(AcGePoint3d(1, 2, 3).asVector(), AcGeVector3d(1, 2, 3)));
    const AcGePoint2d flat = AcGePoint3d(1, 2, 3).convert2d();
    EXPECT_DOUBLE_EQ(flat.x, 1.0);
    EXPECT_DOUBLE_EQ(flat.y, 2.0);
    EXPECT_DOUBLE_EQ(AcGePoint3d(1, 2, 3)[2], 3.0);
}

TEST(AcGePoint3dTest, EqualityUsesThePointToleranceOnTheDistance) {
    const AcGePoint3d p(100, 100, 100);
    // Each coordinate off by 0.8e-10: every one within tolerance, the distance
    // (about 1.39e-10) is not.
    EXPECT_FALSE(p == AcGePoint3d(100 + 0.8e-10, 100 + 0.8e-10, 100 + 0.8e-10));
    EXPECT_TRUE(p == AcGePoint3d(100 + 5e-11, 100, 100));
    EXPECT_TRUE(p != AcGePoint3d(100, 100, 100 + 1e-9));
    EXPECT_TRUE(p.isEqualTo(AcGePoint3d(100, 100, 100.001), AcGeTol(1e-2, 1e-12)));
    EXPECT_FALSE(p.isEqualTo(AcGePoint3d(100, 100, 100.001), AcGeTol(1e-12, 1e-2)));
}

TEST(AcGePoint3dTest, RotateScaleAndMirrorAboutGivenPoints) {
    AcGePoint3d p(2, 1, 5);
    p.rotateBy(kPi / 2, AcGeVector3d::kZAxis, AcGePoint3d(1, 1, 0));
    EXPECT_TRUE(pointNear(p, AcGePoint3d(1, 2, 5)));
    p.set(2, 0, 0).rotateBy(kPi, AcGeVector3d::kZAxis);
    EXPECT_TRUE(pointNear(p, AcGePoint3d(-2, 0, 0)));

    p.set(3, 3, 3).scaleBy(2.0, AcGePoint3d(1, 1, 1));
    EXPECT_TRUE(pointNear(p, AcGePoint3d(5, 5, 5)));
    p.set(3, 3, 3).scaleBy(-1.0);
    EXPECT_TRUE(pointNear(p, AcGePoint3d(-3, -3, -3)));

    p.set(1, 2, 7).mirror(AcGePlane(AcGePoint3d(0, 0, 3), AcGeVector3d(0, 0, 5)));
    EXPECT_TRUE(pointNear(p, AcGePoint3d(1, 2, -1)));
    // Mirroring in an oblique plane: x = y through the origin swaps x and y.
    p.set(3, 1, 4).mirror(AcGePlane(AcGePoint3d::kOrigin, AcGeVector3d(1, -1, 0)));
    EXPECT_TRUE(pointNear(p, AcGePoint3d(1, 3, 4)));
}

TEST(AcGePoint3dTest, TransformAppliesTheFullAffineMap) {
    const AcGeMatrix3d m = AcGeMatrix3d::translation(AcGeVector3d(10, 0, 0)) *
                           AcGeMatrix3d::rotation(kPi / 2, AcGeVector3d::kZAxis);
    AcGePoint3d p(1, 0, 0);
    p.transformBy(m);
    EXPECT_TRUE(pointNear(p, AcGePoint3d(10, 1, 0)));
    EXPECT_TRUE(pointNear(m * AcGePoint3d(0, 0, 2), AcGePoint3d(10, 0, 2)));
}

TEST(AcGePoint3dTest, PlaneParametersRoundTrip) {
    // Skewed, non-unit axes: the parametrisation uses them as given.
    const AcGePlane skew(AcGePoint3d(1, 1, 1), AcGeVector3d(2, 0, 0), AcGeVector3d(1, 1, 1));
    const AcGePoint3d p(skew, AcGePoint2d(0.5, -2));
    EXPECT_TRUE(pointNear(p, AcGePoint3d(1 + 1 - 2, 1 - 2, 1 - 2)));
    const AcGePoint2d uv = p.convert2d(skew);
    EXPECT_NEAR(uv.x, 0.5, kEps);
    EXPECT_NEAR(uv.y, -2.0, kEps);
    // A point off the plane maps to the parameters of its projection.
    const AcGePlane tilted(AcGePoint3d(0, 0, 2), AcGeVector3d(1, 1, 1));
    const AcGePoint3d onPlane(tilted, AcGePoint2d(3, 4));
    const AcGePoint2d back = (onPlane + tilted.normal() * 6.0).convert2d(tilted);
    EXPECT_NEAR(back.x, 3.0, kEps);
    EXPECT_NEAR(back.y, 4.0, kEps);
}

// ---------------------------------------------------------------------------
// Scale factors

TEST(AcGeScale3dTest, ProportionalityAndProducts) {
    EXPECT_TRUE(AcGeScale3d().isProportional());
    EXPECT_TRUE(AcGeScale3d(2.5).isProportional());
    EXPECT_TRUE(AcGeScale3d(-2, -2, -2).isProportional());
    EXPECT_FALSE(AcGeScale3d(1, 2, 1).isProportional());
    EXPECT_FALSE(AcGeScale3d(1, -1, 1).isProportional());
    EXPECT_TRUE(AcGeScale3d(1000, 1000 + 1e-9, 1000).isProportional());
    const AcGeScale3d product = AcGeScale3d(1, 2, 3) * AcGeScale3d(2, 2, -1);
    EXPECT_EQ(product, AcGeScale3d(2, 4, -3));
    EXPECT_EQ(AcGeScale3d(1, 2, 3) * 2.0, AcGeScale3d(2, 4, 6));
    AcGeMatrix3d m;
    AcGeScale3d(1, 2, 3).getMatrix(m);
    EXPECT_TRUE(pointNear(m * AcGePoint3d(1, 1, 1), AcGePoint3d(1, 2, 3)));
}

}  // namespace
