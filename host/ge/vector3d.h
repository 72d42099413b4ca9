#pragma once

#include "host/core/array.h"
#include "host/ge/tol.h"

class AcGeMatrix3d;
class AcGePlanarEnt;

class AcGeVector3d {
  public:
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;

    constexpr AcGeVector3d() = default;
    constexpr AcGeVector3d(double xx, double yy, double zz) : x(xx), y(yy), z(zz) {}

    static const AcGeVector3d kIdentity;  // the zero vector
    static const AcGeVector3d kXAxis;
    static const AcGeVector3d kYAxis;
    static const AcGeVector3d kZAxis;

    AcGeVector3d& set(double xx, double yy, double zz) {
        x = xx;
        y = yy;
        z = zz;
        return *this;
    }

    AcGeVector3d operator+(const AcGeVector3d& v) const { return {x + v.x, y + v.y, z + v.z}; }
    AcGeVector3d operator-(const AcGeVector3d& v) const { return {x - v.x, y - v.y, z - v.z}; }
    AcGeVector3d operator-() const { return {-x, -y, -z}; }
    AcGeVector3d operator*(double s) const { return {x * s, y * s, z * s}; }
    AcGeVector3d operator/(double s) const { return {x / s, y / s, z / s}; }
    AcGeVector3d& operator+=(const AcGeVector3d& v) { return set(x + v.x, y + v.y, z + v.z); }
    AcGeVector3d& operator-=(const AcGeVector3d& v) { return set(x - v.x, y - v.y, z - v.z); }
    AcGeVector3d& operator*=(double s) { return set(x * s, y * s, z * s); }
    AcGeVector3d& operator/=(double s) { return set(x / s, y / s, z / s); }
    AcGeVector3d& negate() { return set(-x, -y, -z); }

    double length() const;
    double lengthSqrd() const { return x * x + y * y + z * z; }
    double dotProduct(const AcGeVector3d& v) const { return x * v.x + y * v.y + z * v.z; }
    AcGeVector3d crossProduct(const AcGeVector3d& v) const {
        return {y * v.z - z * v.y, z * v.x - x * v.z, x * v.y - y * v.x};
    }

    // Vectors not longer than tol.equalVector() are returned unchanged, so a
    // zero vector stays zero instead of becoming NaN.
    AcGeVector3d normal(const AcGeTol& tol = AcGeContext::gTol) const;
    AcGeVector3d& normalize(const AcGeTol& tol = AcGeContext::gTol);

    bool isZeroLength(const AcGeTol& tol = AcGeContext::gTol) const;
    bool isUnitLength(const AcGeTol& tol = AcGeContext::gTol) const;

    // Right-handed: positive angles turn counter-clockwise when looking down the
    // axis toward the origin. A zero axis leaves the vector unchanged.
    AcGeVector3d& rotateBy(double angle, const AcGeVector3d& axis);

    // Applies the linear part of the matrix only: vectors ignore translation.
    AcGeVector3d& transformBy(const AcGeMatrix3d& m);

    // Unsigned angle in [0, pi]; 0 if either vector is zero.
    double angleTo(const AcGeVector3d& v) const;
    // Counter-clockwise angle from this vector to v about refAxis, in [0, 2*pi).
    // Only the sign of (this x v) . refAxis matters, so refAxis need not be
    // exactly perpendicular to the two vectors.
    double angleTo(const AcGeVector3d& v, const AcGeVector3d& refAxis) const;
    // Angle of the projection onto the plane, from the plane's u axis and
    // counter-clockwise about its normal, in [0, 2*pi). 0 if the vector is
    // parallel to the normal.
    double angleOnPlane(const AcGePlanarEnt& plane) const;

    // A unit vector perpendicular to this one, picked by the arbitrary-axis rule
    // of drawing files (it is the X axis of the plane whose normal is this
    // vector). The zero vector gives the zero vector.
    AcGeVector3d perpVector() const;

    // Zero-length vectors are neither parallel nor perpendicular to anything.
    bool isParallelTo(const AcGeVector3d& v, const AcGeTol& tol = AcGeContext::gTol) const;
    bool isCodirectionalTo(const AcGeVector3d& v, const AcGeTol& tol = AcGeContext::gTol) const;
    bool isPerpendicularTo(const AcGeVector3d& v, const AcGeTol& tol = AcGeContext::gTol) const;

    bool isEqualTo(const AcGeVector3d& v, const AcGeTol& tol = AcGeContext::gTol) const;
    bool operator==(const AcGeVector3d& v) const { return isEqualTo(v); }
    bool operator!=(const AcGeVector3d& v) const { return !isEqualTo(v); }

    double operator[](int i) const { return i == 0 ? x : (i == 1 ? y : z); }
    double& operator[](int i) { return i == 0 ? x : (i == 1 ? y : z); }
};

inline AcGeVector3d operator*(double s, const AcGeVector3d& v) {
    return v * s;
}
// The linear part of m applied to v (no translation).
AcGeVector3d operator*(const AcGeMatrix3d& m, const AcGeVector3d& v);

using AcGeVector3dArray = AcArray<AcGeVector3d>;
