#pragma once

#include "host/core/array.h"
#include "host/ge/point2d.h"
#include "host/ge/tol.h"
#include "host/ge/vector3d.h"

class AcGeMatrix3d;
class AcGePlanarEnt;
class AcGePlane;

class AcGePoint3d {
  public:
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;

    constexpr AcGePoint3d() = default;
    constexpr AcGePoint3d(double xx, double yy, double zz) : x(xx), y(yy), z(zz) {}
    // The point with parameters (uv.x, uv.y) in the plane's coordinate system:
    // origin + uv.x * u + uv.y * v.
    AcGePoint3d(const AcGePlanarEnt& plane, const AcGePoint2d& uv);

    static const AcGePoint3d kOrigin;

    AcGePoint3d& set(double xx, double yy, double zz) {
        x = xx;
        y = yy;
        z = zz;
        return *this;
    }

    AcGePoint3d operator+(const AcGeVector3d& v) const { return {x + v.x, y + v.y, z + v.z}; }
    AcGePoint3d operator-(const AcGeVector3d& v) const { return {x - v.x, y - v.y, z - v.z}; }
    AcGeVector3d operator-(const AcGePoint3d& p) const { return {x - p.x, y - p.y, z - p.z}; }
    AcGePoint3d& operator+=(const AcGeVector3d& v) { return set(x + v.x, y + v.y, z + v.z); }
    AcGePoint3d& operator-=(const AcGeVector3d& v) { return set(x - v.x, y - v.y, z - v.z); }
    // Scaling about the origin.
    AcGePoint3d operator*(double s) const { return {x * s, y * s, z * s}; }
    AcGePoint3d operator/(double s) const { return {x / s, y / s, z / s}; }

    AcGePoint3d& transformBy(const AcGeMatrix3d& m);
    AcGePoint3d& rotateBy(double angle, const AcGeVector3d& axis,
                          const AcGePoint3d& wrtPoint = kOrigin);
    AcGePoint3d& scaleBy(double factor, const AcGePoint3d& wrtPoint = kOrigin);
    AcGePoint3d& mirror(const AcGePlane& plane);

    double distanceTo(const AcGePoint3d& p) const;
    bool isEqualTo(const AcGePoint3d& p, const AcGeTol& tol = AcGeContext::gTol) const;
    bool operator==(const AcGePoint3d& p) const { return isEqualTo(p); }
    bool operator!=(const AcGePoint3d& p) const { return !isEqualTo(p); }

    AcGeVector3d asVector() const { return {x, y, z}; }
    // Drops z.
    AcGePoint2d convert2d() const { return {x, y}; }
    // Parameters of the point's projection in the plane's coordinate system;
    // the inverse of AcGePoint3d(plane, uv) for points on the plane.
    AcGePoint2d convert2d(const AcGePlanarEnt& plane) const;

    double operator[](int i) const { return i == 0 ? x : (i == 1 ? y : z); }
    double& operator[](int i) { return i == 0 ? x : (i == 1 ? y : z); }
};

inline AcGePoint3d operator*(double s, const AcGePoint3d& p) {
    return p * s;
}
// Full affine transform of p (p' = M * p as a column).
AcGePoint3d operator*(const AcGeMatrix3d& m, const AcGePoint3d& p);

using AcGePoint3dArray = AcArray<AcGePoint3d>;
