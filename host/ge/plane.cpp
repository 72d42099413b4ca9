#include "host/ge/plane.h"

#include <cmath>

#include "host/ge/curves.h"

// Constant-initialised through the private constexpr constructor, so these are
// usable from other translation units' static initialisers.
const AcGePlane AcGePlane::kXYPlane(AcGePoint3d(0.0, 0.0, 0.0), AcGeVector3d(1.0, 0.0, 0.0),
                                    AcGeVector3d(0.0, 1.0, 0.0), AcGeVector3d(0.0, 0.0, 1.0));
const AcGePlane AcGePlane::kYZPlane(AcGePoint3d(0.0, 0.0, 0.0), AcGeVector3d(0.0, 1.0, 0.0),
                                    AcGeVector3d(0.0, 0.0, 1.0), AcGeVector3d(1.0, 0.0, 0.0));
const AcGePlane AcGePlane::kZXPlane(AcGePoint3d(0.0, 0.0, 0.0), AcGeVector3d(0.0, 0.0, 1.0),
                                    AcGeVector3d(1.0, 0.0, 0.0), AcGeVector3d(0.0, 1.0, 0.0));

bool AcGePlanarEnt::isOn(const AcGePoint3d& pt, const AcGeTol& tol) const {
    return std::fabs((pt - mOrigin).dotProduct(mNormal)) <= tol.equalPoint();
}

AcGePoint3d AcGePlanarEnt::closestPointTo(const AcGePoint3d& pt) const {
    return pt - mNormal * (pt - mOrigin).dotProduct(mNormal);
}

AcGePlane::AcGePlane(const AcGePoint3d& origin, const AcGeVector3d& normal) : AcGePlane() {
    set(origin, normal);
}

AcGePlane::AcGePlane(const AcGePoint3d& origin, const AcGeVector3d& uAxis,
                     const AcGeVector3d& vAxis)
    : AcGePlane() {
    set(origin, uAxis, vAxis);
}

AcGePlane& AcGePlane::set(const AcGePoint3d& origin, const AcGeVector3d& normal) {
    mOrigin = origin;
    const double len = normal.length();
    if (len == 0.0) {
        mU = mV = mNormal = AcGeVector3d::kIdentity;
        return *this;
    }
    mNormal = normal / len;
    // Same frame as AcGeMatrix3d::planeToWorld(normal).
    mU = mNormal.perpVector();
    mV = mNormal.crossProduct(mU).normal();
    return *this;
}

AcGePlane& AcGePlane::set(const AcGePoint3d& origin, const AcGeVector3d& uAxis,
                          const AcGeVector3d& vAxis) {
    mOrigin = origin;
    mU = uAxis;
    mV = vAxis;
    const AcGeVector3d n = uAxis.crossProduct(vAxis);
    const double len = n.length();
    mNormal = len == 0.0 ? AcGeVector3d::kIdentity : n / len;
    return *this;
}

double AcGePlane::signedDistanceTo(const AcGePoint3d& pt) const {
    return (pt - mOrigin).dotProduct(mNormal);
}

double AcGePlane::distanceTo(const AcGePoint3d& pt) const {
    return std::fabs(signedDistanceTo(pt));
}

void AcGePlane::getCoefficients(double& a, double& b, double& c, double& d) const {
    a = mNormal.x;
    b = mNormal.y;
    c = mNormal.z;
    d = -mNormal.dotProduct(mOrigin.asVector());
}

bool AcGePlane::intersectWith(const AcGeLinearEnt3d& line, AcGePoint3d& result,
                              const AcGeTol& tol) const {
    const AcGeVector3d dir = line.direction();
    const double denom = dir.dotProduct(mNormal);
    // dir and the normal are unit vectors, so denom is the sine of the angle
    // between line and plane.
    if (std::fabs(denom) <= tol.equalVector() || dir.isZeroLength(tol)) {
        return false;
    }
    const AcGePoint3d base = line.pointOnLine();
    const AcGePoint3d hit = base + dir * ((mOrigin - base).dotProduct(mNormal) / denom);
    if (!line.isOn(hit, tol)) {
        return false;
    }
    result = hit;
    return true;
}
