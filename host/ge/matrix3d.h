#pragma once

#include "host/ge/point3d.h"
#include "host/ge/tol.h"
#include "host/ge/vector3d.h"

class AcGePlane;
class AcGeLine3d;
class AcGeScale3d;

// 4x4 matrix acting on column vectors: p' = M * p. For affine transforms the
// last row is (0, 0, 0, 1), the upper-left 3x3 block is the linear part
// (its columns are the images of the unit axes) and column 3 the translation.
class AcGeMatrix3d {
  public:
    double entry[4][4];

    // Identity.
    constexpr AcGeMatrix3d()
        : entry{{1.0, 0.0, 0.0, 0.0},
                {0.0, 1.0, 0.0, 0.0},
                {0.0, 0.0, 1.0, 0.0},
                {0.0, 0.0, 0.0, 1.0}} {}

    static const AcGeMatrix3d kIdentity;

    AcGeMatrix3d& setToIdentity();

    AcGeMatrix3d& setToTranslation(const AcGeVector3d& v);
    static AcGeMatrix3d translation(const AcGeVector3d& v);
    // The translation part (column 3).
    AcGeVector3d translation() const;

    // Right-handed rotation about the axis through center. A zero axis gives
    // the identity.
    AcGeMatrix3d& setToRotation(double angle, const AcGeVector3d& axis,
                                const AcGePoint3d& center = AcGePoint3d::kOrigin);
    static AcGeMatrix3d rotation(double angle, const AcGeVector3d& axis,
                                 const AcGePoint3d& center = AcGePoint3d::kOrigin);

    AcGeMatrix3d& setToScaling(double factor, const AcGePoint3d& center = AcGePoint3d::kOrigin);
    AcGeMatrix3d& setToScaling(const AcGeScale3d& factors,
                               const AcGePoint3d& center = AcGePoint3d::kOrigin);
    static AcGeMatrix3d scaling(double factor, const AcGePoint3d& center = AcGePoint3d::kOrigin);
    static AcGeMatrix3d scaling(const AcGeScale3d& factors,
                                const AcGePoint3d& center = AcGePoint3d::kOrigin);

    // Reflection in a plane, through a point (p -> 2c - p) and about a line
    // (a half-turn around it).
    AcGeMatrix3d& setToMirroring(const AcGePlane& plane);
    AcGeMatrix3d& setToMirroring(const AcGePoint3d& center);
    AcGeMatrix3d& setToMirroring(const AcGeLine3d& line);
    static AcGeMatrix3d mirroring(const AcGePlane& plane);
    static AcGeMatrix3d mirroring(const AcGePoint3d& center);
    static AcGeMatrix3d mirroring(const AcGeLine3d& line);

    // Maps the "from" frame onto the "to" frame: fromOrigin -> toOrigin,
    // fromOrigin + fromX -> toOrigin + toX and so on. A singular "from" frame
    // leaves the identity.
    AcGeMatrix3d& setToAlignCoordSys(const AcGePoint3d& fromOrigin, const AcGeVector3d& fromXAxis,
                                     const AcGeVector3d& fromYAxis, const AcGeVector3d& fromZAxis,
                                     const AcGePoint3d& toOrigin, const AcGeVector3d& toXAxis,
                                     const AcGeVector3d& toYAxis, const AcGeVector3d& toZAxis);
    static AcGeMatrix3d alignCoordSys(const AcGePoint3d& fromOrigin, const AcGeVector3d& fromXAxis,
                                      const AcGeVector3d& fromYAxis, const AcGeVector3d& fromZAxis,
                                      const AcGePoint3d& toOrigin, const AcGeVector3d& toXAxis,
                                      const AcGeVector3d& toYAxis, const AcGeVector3d& toZAxis);

    // Columns 0..2 are the axes, column 3 the origin: maps local coordinates
    // of that frame to world coordinates.
    AcGeMatrix3d& setCoordSystem(const AcGePoint3d& origin, const AcGeVector3d& xAxis,
                                 const AcGeVector3d& yAxis, const AcGeVector3d& zAxis);
    void getCoordSystem(AcGePoint3d& origin, AcGeVector3d& xAxis, AcGeVector3d& yAxis,
                        AcGeVector3d& zAxis) const;

    // Object coordinates of an entity with the given normal to world
    // coordinates, using the arbitrary-axis rule of drawing files: if both
    // |nx| and |ny| are below 1/64 the X axis is (0,1,0) x n, otherwise
    // (0,0,1) x n; Y = n x X. No translation. A zero normal gives the identity.
    static AcGeMatrix3d planeToWorld(const AcGeVector3d& normal);
    // The plane's own frame (origin, u, v, normal) to world coordinates.
    static AcGeMatrix3d planeToWorld(const AcGePlane& plane);
    static AcGeMatrix3d worldToPlane(const AcGeVector3d& normal);
    static AcGeMatrix3d worldToPlane(const AcGePlane& plane);

    // A singular matrix has no inverse: inverse() then returns a copy of the
    // matrix, invert() leaves it unchanged and the two-argument form reports
    // false. Check isSingular() when the input may be degenerate.
    AcGeMatrix3d inverse() const;
    bool inverse(AcGeMatrix3d& result, const AcGeTol& tol = AcGeContext::gTol) const;
    AcGeMatrix3d& invert();
    // Scale-independent test: the determinant is compared with the product of
    // the column lengths (of the 3x3 block for affine matrices), so a tiny but
    // well-shaped uniform scale is not mistaken for a singular matrix.
    bool isSingular(const AcGeTol& tol = AcGeContext::gTol) const;
    double det() const;

    // Largest length among the images of the three unit axes.
    double scale() const;
    // The images of the unit axes are mutually perpendicular and non-zero...
    bool isScaledOrtho(const AcGeTol& tol = AcGeContext::gTol) const;
    // ...and, in addition, all of the same length (rotations, mirrorings and
    // uniform scalings, in any combination).
    bool isUniScaledOrtho(const AcGeTol& tol = AcGeContext::gTol) const;

    AcGeMatrix3d operator*(const AcGeMatrix3d& m) const;
    AcGeMatrix3d& operator*=(const AcGeMatrix3d& m);
    // this = left * this
    AcGeMatrix3d& preMultBy(const AcGeMatrix3d& left);
    // this = this * right
    AcGeMatrix3d& postMultBy(const AcGeMatrix3d& right);
    AcGeMatrix3d& setToProduct(const AcGeMatrix3d& a, const AcGeMatrix3d& b);

    AcGeMatrix3d& transposeIt();
    AcGeMatrix3d transpose() const;

    // Entry-wise comparison against tol.equalVector().
    bool isEqualTo(const AcGeMatrix3d& m, const AcGeTol& tol = AcGeContext::gTol) const;
    bool operator==(const AcGeMatrix3d& m) const { return isEqualTo(m); }
    bool operator!=(const AcGeMatrix3d& m) const { return !isEqualTo(m); }

    double operator()(unsigned int row, unsigned int col) const { return entry[row][col]; }
    double& operator()(unsigned int row, unsigned int col) { return entry[row][col]; }

  private:
    bool isAffine() const;
};
