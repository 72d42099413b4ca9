#include <gtest/gtest.h>

#include <cmath>

#include "host/ge/curves.h"
#include "host/ge/matrix3d.h"
#include "host/ge/plane.h"
#include "host/ge/scale3d.h"
#include "tests/host/ge/ge_test_util.h"

using getest::kEps;
using getest::kPi;
using getest::matNear;
using getest::pointNear;
using getest::vecNear;

namespace {

// A generic affine map: rotation about a tilted axis, non-uniform scale and a
// translation, so that no entry is trivially zero.
AcGeMatrix3d genericAffine() {
    return AcGeMatrix3d::translation(AcGeVector3d(3, -2, 7)) *
           AcGeMatrix3d::rotation(0.7, AcGeVector3d(1, 2, 3), AcGePoint3d(1, 0, -1)) *
           AcGeMatrix3d::scaling(AcGeScale3d(2, 0.5, 3));
}

TEST(AcGeMatrix3dTest, DefaultIsIdentityAndAccessorsAgree) {
    AcGeMatrix3d m;
    EXPECT_TRUE(matNear(m, AcGeMatrix3d::kIdentity, 0.0));
    m(1, 3) = 5.0;
    EXPECT_DOUBLE_EQ(m.entry[1][3], 5.0);
    EXPECT_DOUBLE_EQ(m(1, 3), 5.0);
    EXPECT_TRUE(vecNear(m.translation(), AcGeVector3d(0, 5, 0), 0.0));
    m.setToIdentity();
    EXPECT_EQ(m, AcGeMatrix3d::kIdentity);
}

TEST(AcGeMatrix3dTest, TranslationMovesPointsButNotVectors) {
    const AcGeMatrix3d t = AcGeMatrix3d::translation(AcGeVector3d(1, 2, 3));
    EXPECT_TRUE(pointNear(t * AcGePoint3d(1, 1, 1), AcGePoint3d(2, 3, 4)));
    EXPECT_TRUE(vecNear(t * AcGeVector3d(1, 1, 1), AcGeVector3d(1, 1, 1)));
    EXPECT_TRUE(vecNear(t.translation(), AcGeVector3d(1, 2, 3)));
}

TEST(AcGeMatrix3dTest, RotationIsCounterClockwiseAndKeepsTheCenterFixed) {
    const AcGeMatrix3d r = AcGeMatrix3d::rotation(kPi / 2, AcGeVector3d::kZAxis);
    EXPECT_TRUE(pointNear(r * AcGePoint3d(1, 0, 0), AcGePoint3d(0, 1, 0)));
    EXPECT_TRUE(pointNear(r * AcGePoint3d(0, 1, 0), AcGePoint3d(-1, 0, 0)));
    const AcGeMatrix3d rx = AcGeMatrix3d::rotation(kPi / 2, AcGeVector3d::kXAxis);
    EXPECT_TRUE(pointNear(rx * AcGePoint3d(0, 1, 0), AcGePoint3d(0, 0, 1)));
    const AcGeMatrix3d ry = AcGeMatrix3d::rotation(kPi / 2, AcGeVector3d::kYAxis);
    EXPECT_TRUE(pointNear(ry * AcGePoint3d(0, 0, 1), AcGePoint3d(1, 0, 0)));

    const AcGePoint3d center(5, 5, 2);
    const AcGeMatrix3d rc = AcGeMatrix3d::rotation(kPi / 2, AcGeVector3d::kZAxis, center);
    EXPECT_TRUE(pointNear(rc * center, center));
    EXPECT_TRUE(pointNear(rc * AcGePoint3d(6, 5, 2), AcGePoint3d(5, 6, 2)));
    // Agrees with rotating the point directly.
    AcGePoint3d p(1, -2, 3);
    const AcGeMatrix3d tilted = AcGeMatrix3d::rotation(1.1, AcGeVector3d(1, 1, 0), center);
    const AcGePoint3d viaMatrix = tilted * p;
    p.rotateBy(1.1, AcGeVector3d(1, 1, 0), center);
    EXPECT_TRUE(pointNear(viaMatrix, p));
    EXPECT_TRUE(matNear(AcGeMatrix3d::rotation(1.0, AcGeVector3d::kIdentity),
                        AcGeMatrix3d::kIdentity, 0.0));
}

TEST(AcGeMatrix3dTest, ProductsApplyTheRightFactorFirst) {
    const AcGeMatrix3d t = AcGeMatrix3d::translation(AcGeVector3d(1, 0, 0));
    const AcGeMatrix3d r = AcGeMatrix3d::rotation(kPi / 2, AcGeVector3d::kZAxis);
    // (t * r) p = t(r(p)): rotate first, then move.
    EXPECT_TRUE(pointNear((t * r) * AcGePoint3d(1, 0, 0), AcGePoint3d(1, 1, 0)));
    EXPECT_TRUE(pointNear((r * t) * AcGePoint3d(1, 0, 0), AcGePoint3d(0, 2, 0)));

    AcGeMatrix3d pre = r;
    pre.preMultBy(t);
    EXPECT_TRUE(matNear(pre, t * r));
    AcGeMatrix3d post = r;
    post.postMultBy(t);
    EXPECT_TRUE(matNear(post, r * t));
    AcGeMatrix3d prod;
    prod.setToProduct(t, r);
    EXPECT_TRUE(matNear(prod, t * r));
    AcGeMatrix3d acc = t;
    acc *= r;
    EXPECT_TRUE(matNear(acc, t * r));
}

TEST(AcGeMatrix3dTest, InverseUndoesAGenericAffineMap) {
    const AcGeMatrix3d m = genericAffine();
    ASSERT_FALSE(m.isSingular());
    const AcGeMatrix3d inv = m.inverse();
    EXPECT_TRUE(matNear(m * inv, AcGeMatrix3d::kIdentity));
    EXPECT_TRUE(matNear(inv * m, AcGeMatrix3d::kIdentity));
    const AcGePoint3d p(4, -5, 6);
    EXPECT_TRUE(pointNear(inv * (m * p), p));
    AcGeMatrix3d copy = m;
    copy.invert();
    EXPECT_TRUE(matNear(copy, inv));
    AcGeMatrix3d out;
    EXPECT_TRUE(m.inverse(out));
    EXPECT_TRUE(matNear(out, inv));
    // det(M^-1) = 1 / det(M).
    EXPECT_NEAR(inv.det() * m.det(), 1.0, kEps);
}

TEST(AcGeMatrix3dTest, InverseOfAProjectiveMatrix) {
    AcGeMatrix3d m = genericAffine();
    m.entry[3][0] = 0.1;
    m.entry[3][2] = -0.2;
    ASSERT_FALSE(m.isSingular());
    EXPECT_TRUE(matNear(m * m.inverse(), AcGeMatrix3d::kIdentity));
}

TEST(AcGeMatrix3dTest, SingularMatricesAreReportedAndLeftAlone) {
    // Flattens everything onto the XY plane.
    const AcGeMatrix3d flat = AcGeMatrix3d::scaling(AcGeScale3d(1, 1, 0));
    EXPECT_TRUE(flat.isSingular());
    EXPECT_DOUBLE_EQ(flat.det(), 0.0);
    AcGeMatrix3d out = AcGeMatrix3d::translation(AcGeVector3d(9, 9, 9));
    const AcGeMatrix3d before = out;
    EXPECT_FALSE(flat.inverse(out));
    EXPECT_TRUE(matNear(out, before, 0.0)) << "the result must be untouched on failure";
    EXPECT_TRUE(matNear(flat.inverse(), flat, 0.0));
    AcGeMatrix3d m = flat;
    m.invert();
    EXPECT_TRUE(matNear(m, flat, 0.0));

    // Two equal columns.
    AcGeMatrix3d dup;
    dup.setCoordSystem(AcGePoint3d(1, 2, 3), AcGeVector3d(1, 2, 3), AcGeVector3d(1, 2, 3),
                       AcGeVector3d(0, 0, 1));
    EXPECT_TRUE(dup.isSingular());
    AcGeMatrix3d zero;
    zero.entry[0][0] = zero.entry[1][1] = zero.entry[2][2] = 0.0;
    EXPECT_TRUE(zero.isSingular());
}

TEST(AcGeMatrix3dTest, SingularityIsJudgedIndependentlyOfScaleAndTranslation) {
    // det = 1e-12, yet perfectly invertible.
    const AcGeMatrix3d tiny = AcGeMatrix3d::scaling(1e-4);
    EXPECT_FALSE(tiny.isSingular());
    EXPECT_TRUE(pointNear(tiny.inverse() * AcGePoint3d(1e-4, 0, 0), AcGePoint3d(1, 0, 0)));
    const AcGeMatrix3d far = AcGeMatrix3d::translation(AcGeVector3d(1e9, -1e9, 1e9));
    EXPECT_FALSE(far.isSingular());
    EXPECT_TRUE(pointNear(far.inverse() * AcGePoint3d(1e9, -1e9, 1e9), AcGePoint3d::kOrigin, 1e-6));
}

TEST(AcGeMatrix3dTest, DeterminantOfElementaryMaps) {
    EXPECT_NEAR(AcGeMatrix3d::rotation(0.3, AcGeVector3d(1, 1, 1)).det(), 1.0, kEps);
    EXPECT_NEAR(AcGeMatrix3d::scaling(2.0, AcGePoint3d(4, 4, 4)).det(), 8.0, kEps);
    EXPECT_NEAR(AcGeMatrix3d::scaling(AcGeScale3d(1, 2, -3)).det(), -6.0, kEps);
    EXPECT_NEAR(AcGeMatrix3d::translation(AcGeVector3d(5, 6, 7)).det(), 1.0, kEps);
    AcGeMatrix3d swapXY;
    swapXY.setCoordSystem(AcGePoint3d::kOrigin, AcGeVector3d::kYAxis, AcGeVector3d::kXAxis,
                          AcGeVector3d::kZAxis);
    EXPECT_NEAR(swapXY.det(), -1.0, kEps);
}

TEST(AcGeMatrix3dTest, ScaleIsTheLargestAxisImage) {
    EXPECT_NEAR(AcGeMatrix3d::scaling(AcGeScale3d(1, 2, 1)).scale(), 2.0, kEps);
    EXPECT_NEAR(AcGeMatrix3d::scaling(AcGeScale3d(1, 1, -5)).scale(), 5.0, kEps);
    EXPECT_NEAR(AcGeMatrix3d::rotation(0.9, AcGeVector3d(2, -1, 4)).scale(), 1.0, kEps);
    EXPECT_NEAR(
        (AcGeMatrix3d::rotation(0.9, AcGeVector3d::kZAxis) * AcGeMatrix3d::scaling(3.0)).scale(),
        3.0, kEps);
    EXPECT_NEAR(AcGeMatrix3d::translation(AcGeVector3d(100, 0, 0)).scale(), 1.0, kEps);
}

TEST(AcGeMatrix3dTest, UniScaledOrthoAcceptsSimilaritiesOnly) {
    EXPECT_TRUE(AcGeMatrix3d::kIdentity.isUniScaledOrtho());
    EXPECT_TRUE(AcGeMatrix3d::rotation(0.4, AcGeVector3d(1, 2, 3)).isUniScaledOrtho());
    EXPECT_TRUE(AcGeMatrix3d::scaling(3.0, AcGePoint3d(1, 1, 1)).isUniScaledOrtho());
    EXPECT_TRUE(AcGeMatrix3d::scaling(1e-3).isUniScaledOrtho());
    EXPECT_TRUE(AcGeMatrix3d::mirroring(AcGePlane::kYZPlane).isUniScaledOrtho());
    EXPECT_TRUE((AcGeMatrix3d::translation(AcGeVector3d(1e6, 0, 0)) *
                 AcGeMatrix3d::rotation(2.0, AcGeVector3d::kZAxis) * AcGeMatrix3d::scaling(250.0))
                    .isUniScaledOrtho());

    const AcGeMatrix3d stretch = AcGeMatrix3d::scaling(AcGeScale3d(1, 2, 1));
    EXPECT_FALSE(stretch.isUniScaledOrtho());
    EXPECT_TRUE(stretch.isScaledOrtho());
    // A rotated stretch is still orthogonal, just not uniform.
    EXPECT_FALSE((AcGeMatrix3d::rotation(0.5, AcGeVector3d::kZAxis) * stretch).isUniScaledOrtho());

    AcGeMatrix3d shear;
    shear.entry[0][1] = 0.5;
    EXPECT_FALSE(shear.isUniScaledOrtho());
    EXPECT_FALSE(shear.isScaledOrtho());

    EXPECT_FALSE(AcGeMatrix3d::scaling(AcGeScale3d(1, 1, 0)).isScaledOrtho());
    EXPECT_FALSE(AcGeMatrix3d::scaling(0.0).isUniScaledOrtho());

    AcGeMatrix3d perspective;
    perspective.entry[3][2] = 0.25;
    EXPECT_FALSE(perspective.isUniScaledOrtho());
}

TEST(AcGeMatrix3dTest, PlaneMirroringReflectsAndPreservesSize) {
    const AcGePlane plane(AcGePoint3d(0, 0, 2), AcGeVector3d(0, 0, 1));
    const AcGeMatrix3d m = AcGeMatrix3d::mirroring(plane);
    EXPECT_NEAR(m.det(), -1.0, kEps);
    EXPECT_NEAR(m.scale(), 1.0, kEps);
    EXPECT_TRUE(pointNear(m * AcGePoint3d(3, 4, 2), AcGePoint3d(3, 4, 2)));
    EXPECT_TRUE(pointNear(m * AcGePoint3d(3, 4, 5), AcGePoint3d(3, 4, -1)));
    EXPECT_TRUE(matNear(m * m, AcGeMatrix3d::kIdentity));

    const AcGePlane oblique(AcGePoint3d(1, 2, 3), AcGeVector3d(1, -2, 0.5));
    AcGeMatrix3d mo;
    mo.setToMirroring(oblique);
    EXPECT_NEAR(mo.det(), -1.0, kEps);
    EXPECT_NEAR(mo.scale(), 1.0, kEps);
    const AcGePoint3d p(-4, 0.5, 9);
    AcGePoint3d expected = p;
    expected.mirror(oblique);
    EXPECT_TRUE(pointNear(mo * p, expected));
    EXPECT_NEAR(oblique.signedDistanceTo(mo * p), -oblique.signedDistanceTo(p), kEps);
}

TEST(AcGeMatrix3dTest, PointAndLineMirroring) {
    const AcGePoint3d c(1, 2, 3);
    const AcGeMatrix3d pm = AcGeMatrix3d::mirroring(c);
    EXPECT_TRUE(pointNear(pm * AcGePoint3d(2, 2, 3), AcGePoint3d(0, 2, 3)));
    EXPECT_TRUE(pointNear(pm * c, c));
    EXPECT_NEAR(pm.det(), -1.0, kEps);

    // A half-turn about a line parallel to Z through (1, 0, 0).
    const AcGeLine3d axis(AcGePoint3d(1, 0, 0), AcGeVector3d(0, 0, 3));
    const AcGeMatrix3d lm = AcGeMatrix3d::mirroring(axis);
    EXPECT_TRUE(pointNear(lm * AcGePoint3d(2, 0, 7), AcGePoint3d(0, 0, 7)));
    EXPECT_TRUE(pointNear(lm * AcGePoint3d(1, 1, 0), AcGePoint3d(1, -1, 0)));
    EXPECT_TRUE(pointNear(lm * AcGePoint3d(1, 0, 4), AcGePoint3d(1, 0, 4)));
    EXPECT_NEAR(lm.det(), 1.0, kEps);
}

TEST(AcGeMatrix3dTest, ScalingAboutAPoint) {
    const AcGeMatrix3d s = AcGeMatrix3d::scaling(2.0, AcGePoint3d(1, 1, 1));
    EXPECT_TRUE(pointNear(s * AcGePoint3d(1, 1, 1), AcGePoint3d(1, 1, 1)));
    EXPECT_TRUE(pointNear(s * AcGePoint3d(2, 1, 0), AcGePoint3d(3, 1, -1)));
    const AcGeMatrix3d ns = AcGeMatrix3d::scaling(AcGeScale3d(1, 2, 3), AcGePoint3d(0, 1, 0));
    EXPECT_TRUE(pointNear(ns * AcGePoint3d(1, 2, 1), AcGePoint3d(1, 3, 3)));
}

TEST(AcGeMatrix3dTest, CoordSystemRoundTripAndAlignment) {
    const AcGePoint3d o(1, 2, 3);
    const AcGeVector3d x(0, 1, 0);
    const AcGeVector3d y(-2, 0, 0);
    const AcGeVector3d z(0, 0, 0.5);
    AcGeMatrix3d m;
    m.setCoordSystem(o, x, y, z);
    AcGePoint3d o2;
    AcGeVector3d x2;
    AcGeVector3d y2;
    AcGeVector3d z2;
    m.getCoordSystem(o2, x2, y2, z2);
    EXPECT_TRUE(pointNear(o2, o, 0.0));
    EXPECT_TRUE(vecNear(x2, x, 0.0));
    EXPECT_TRUE(vecNear(y2, y, 0.0));
    EXPECT_TRUE(vecNear(z2, z, 0.0));
    EXPECT_TRUE(pointNear(m * AcGePoint3d(1, 1, 2), AcGePoint3d(1 - 2, 2 + 1, 3 + 1)));

    // From a rotated, shifted frame into the world frame and somewhere else.
    const AcGePoint3d fromO(5, 0, 0);
    const AcGeVector3d fromX(0, 1, 0);
    const AcGeVector3d fromY(-1, 0, 0);
    const AcGeVector3d fromZ(0, 0, 1);
    const AcGePoint3d toO(0, 0, 10);
    const AcGeMatrix3d align =
        AcGeMatrix3d::alignCoordSys(fromO, fromX, fromY, fromZ, toO, AcGeVector3d::kXAxis,
                                    AcGeVector3d::kYAxis, AcGeVector3d::kZAxis);
    EXPECT_TRUE(pointNear(align * fromO, toO));
    EXPECT_TRUE(pointNear(align * (fromO + fromX), toO + AcGeVector3d::kXAxis));
    EXPECT_TRUE(pointNear(align * (fromO + fromY * 3), toO + AcGeVector3d::kYAxis * 3));
    EXPECT_TRUE(pointNear(align * (fromO + fromZ), toO + AcGeVector3d::kZAxis));

    // A degenerate source frame cannot be aligned.
    AcGeMatrix3d bad = AcGeMatrix3d::translation(AcGeVector3d(1, 1, 1));
    bad.setToAlignCoordSys(fromO, fromX, fromX, fromZ, toO, AcGeVector3d::kXAxis,
                           AcGeVector3d::kYAxis, AcGeVector3d::kZAxis);
    EXPECT_TRUE(matNear(bad, AcGeMatrix3d::kIdentity, 0.0));
}

TEST(AcGeMatrix3dTest, PlaneToWorldBuildsARightHandedOrthonormalFrame) {
    const AcGeVector3d normals[] = {AcGeVector3d(0, 0, 1),       AcGeVector3d(0, 0, -1),
                                    AcGeVector3d(1, 0, 0),       AcGeVector3d(0, -3, 0),
                                    AcGeVector3d(0.01, 0.01, 1), AcGeVector3d(1, 2, 3),
                                    AcGeVector3d(-5, 0.2, -0.1)};
    for (const AcGeVector3d& n : normals) {
        SCOPED_TRACE(::testing::Message() << n.x << "," << n.y << "," << n.z);
        const AcGeMatrix3d m = AcGeMatrix3d::planeToWorld(n);
        AcGePoint3d o;
        AcGeVector3d x;
        AcGeVector3d y;
        AcGeVector3d z;
        m.getCoordSystem(o, x, y, z);
        EXPECT_TRUE(pointNear(o, AcGePoint3d::kOrigin, 0.0));
        EXPECT_TRUE(vecNear(z, n.normal()));
        EXPECT_NEAR(x.length(), 1.0, kEps);
        EXPECT_NEAR(y.length(), 1.0, kEps);
        EXPECT_NEAR(x.dotProduct(y), 0.0, kEps);
        EXPECT_TRUE(vecNear(x.crossProduct(y), z));
        EXPECT_TRUE(vecNear(x, n.perpVector()));
        EXPECT_TRUE(matNear(AcGeMatrix3d::worldToPlane(n) * m, AcGeMatrix3d::kIdentity));
        EXPECT_TRUE(matNear(m * AcGeMatrix3d::worldToPlane(n), AcGeMatrix3d::kIdentity));
        EXPECT_TRUE(matNear(AcGeMatrix3d::worldToPlane(n), m.inverse()));
    }
    // The XY plane needs no change, and the rule's two branches pick different
    // seeds around the 1/64 threshold.
    EXPECT_TRUE(matNear(AcGeMatrix3d::planeToWorld(AcGeVector3d::kZAxis), AcGeMatrix3d::kIdentity));
    AcGePoint3d o;
    AcGeVector3d x;
    AcGeVector3d y;
    AcGeVector3d z;
    AcGeMatrix3d::planeToWorld(AcGeVector3d(0, 0, -1)).getCoordSystem(o, x, y, z);
    EXPECT_TRUE(vecNear(x, AcGeVector3d(-1, 0, 0)));
    EXPECT_TRUE(vecNear(y, AcGeVector3d(0, 1, 0)));
    AcGeMatrix3d::planeToWorld(AcGeVector3d(1, 0, 0)).getCoordSystem(o, x, y, z);
    EXPECT_TRUE(vecNear(x, AcGeVector3d(0, 1, 0)));
    EXPECT_TRUE(vecNear(y, AcGeVector3d(0, 0, 1)));
    EXPECT_TRUE(
        matNear(AcGeMatrix3d::planeToWorld(AcGeVector3d::kIdentity), AcGeMatrix3d::kIdentity, 0.0));
}

TEST(AcGeMatrix3dTest, PlaneToWorldForAPlaneUsesItsOwnFrame) {
    const AcGePlane plane(AcGePoint3d(1, 2, 3), AcGeVector3d(1, 1, 1));
    const AcGeMatrix3d m = AcGeMatrix3d::planeToWorld(plane);
    EXPECT_TRUE(pointNear(m * AcGePoint3d(2, -3, 0), AcGePoint3d(plane, AcGePoint2d(2, -3))));
    EXPECT_TRUE(pointNear(m * AcGePoint3d(0, 0, 1), AcGePoint3d(1, 2, 3) + plane.normal()));
    const AcGeMatrix3d back = AcGeMatrix3d::worldToPlane(plane);
    const AcGePoint3d local = back * (AcGePoint3d(plane, AcGePoint2d(0.5, 4)) + plane.normal() * 2);
    EXPECT_TRUE(pointNear(local, AcGePoint3d(0.5, 4, 2)));
}

TEST(AcGeMatrix3dTest, TransposeAndTolerantEquality) {
    AcGeMatrix3d m = genericAffine();
    const AcGeMatrix3d t = m.transpose();
    EXPECT_DOUBLE_EQ(t.entry[3][0], m.entry[0][3]);
    EXPECT_DOUBLE_EQ(t.entry[1][2], m.entry[2][1]);
    m.transposeIt().transposeIt();
    EXPECT_TRUE(matNear(m, genericAffine(), 0.0));
    // Rotations are orthogonal: transpose is the inverse.
    const AcGeMatrix3d r = AcGeMatrix3d::rotation(1.3, AcGeVector3d(-1, 2, 0.5));
    EXPECT_TRUE(matNear(r.transpose(), r.inverse()));

    AcGeMatrix3d nudged = m;
    nudged.entry[2][1] += 1e-12;
    EXPECT_TRUE(nudged == m);
    nudged.entry[2][1] += 1e-6;
    EXPECT_TRUE(nudged != m);
    EXPECT_TRUE(nudged.isEqualTo(m, AcGeTol(1e-10, 1e-5)));
}

}  // namespace
