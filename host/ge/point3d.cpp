#include "host/ge/point3d.h"

#include <cmath>

#include "host/ge/matrix3d.h"
#include "host/ge/plane.h"

const AcGePoint3d AcGePoint3d::kOrigin(0.0, 0.0, 0.0);

AcGePoint3d::AcGePoint3d(const AcGePlanarEnt& plane, const AcGePoint2d& uv) {
    AcGePoint3d origin;
    AcGeVector3d u;
    AcGeVector3d v;
    plane.getCoordSystem(origin, u, v);
    *this = origin + u * uv.x + v * uv.y;
}

AcGePoint2d AcGePoint3d::convert2d(const AcGePlanarEnt& plane) const {
    AcGePoint3d origin;
    AcGeVector3d u;
    AcGeVector3d v;
    plane.getCoordSystem(origin, u, v);
    // Least squares in the (possibly skew, non-unit) u/v basis: solve the 2x2
    // Gram system, which also projects points that lie off the plane.
    const AcGeVector3d d = *this - origin;
    const double uu = u.dotProduct(u);
    const double uv = u.dotProduct(v);
    const double vv = v.dotProduct(v);
    const double du = d.dotProduct(u);
    const double dv = d.dotProduct(v);
    const double gram = uu * vv - uv * uv;
    if (gram == 0.0) {
        return AcGePoint2d::kOrigin;
    }
    return {(du * vv - dv * uv) / gram, (dv * uu - du * uv) / gram};
}

AcGePoint3d operator*(const AcGeMatrix3d& m, const AcGePoint3d& p) {
    const double px =
        m.entry[0][0] * p.x + m.entry[0][1] * p.y + m.entry[0][2] * p.z + m.entry[0][3];
    const double py =
        m.entry[1][0] * p.x + m.entry[1][1] * p.y + m.entry[1][2] * p.z + m.entry[1][3];
    const double pz =
        m.entry[2][0] * p.x + m.entry[2][1] * p.y + m.entry[2][2] * p.z + m.entry[2][3];
    const double w =
        m.entry[3][0] * p.x + m.entry[3][1] * p.y + m.entry[3][2] * p.z + m.entry[3][3];
    if (w != 1.0 && w != 0.0) {
        return {px / w, py / w, pz / w};
    }
    return {px, py, pz};
}

AcGePoint3d& AcGePoint3d::transformBy(const AcGeMatrix3d& m) {
    return *this = m * *this;
}

AcGePoint3d& AcGePoint3d::rotateBy(double angle, const AcGeVector3d& axis,
                                   const AcGePoint3d& wrtPoint) {
    AcGeVector3d offset = *this - wrtPoint;
    offset.rotateBy(angle, axis);
    return *this = wrtPoint + offset;
}

AcGePoint3d& AcGePoint3d::scaleBy(double factor, const AcGePoint3d& wrtPoint) {
    return *this = wrtPoint + (*this - wrtPoint) * factor;
}

AcGePoint3d& AcGePoint3d::mirror(const AcGePlane& plane) {
    return *this -= plane.normal() * (2.0 * plane.signedDistanceTo(*this));
}

double AcGePoint3d::distanceTo(const AcGePoint3d& p) const {
    return (*this - p).length();
}

bool AcGePoint3d::isEqualTo(const AcGePoint3d& p, const AcGeTol& tol) const {
    return distanceTo(p) <= tol.equalPoint();
}
