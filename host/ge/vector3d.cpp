#include "host/ge/vector3d.h"

#include <cmath>

#include "host/ge/matrix3d.h"
#include "host/ge/plane.h"

namespace {

constexpr double kTwoPi = 6.283185307179586476925286766559;

}  // namespace

const AcGeVector3d AcGeVector3d::kIdentity(0.0, 0.0, 0.0);
const AcGeVector3d AcGeVector3d::kXAxis(1.0, 0.0, 0.0);
const AcGeVector3d AcGeVector3d::kYAxis(0.0, 1.0, 0.0);
const AcGeVector3d AcGeVector3d::kZAxis(0.0, 0.0, 1.0);

double AcGeVector3d::length() const {
    return std::sqrt(lengthSqrd());
}

AcGeVector3d AcGeVector3d::normal(const AcGeTol& tol) const {
    const double len = length();
    if (len <= tol.equalVector()) {
        return *this;
    }
    return {x / len, y / len, z / len};
}

AcGeVector3d& AcGeVector3d::normalize(const AcGeTol& tol) {
    return *this = normal(tol);
}

bool AcGeVector3d::isZeroLength(const AcGeTol& tol) const {
    return length() <= tol.equalVector();
}

bool AcGeVector3d::isUnitLength(const AcGeTol& tol) const {
    return std::fabs(length() - 1.0) <= tol.equalVector();
}

AcGeVector3d& AcGeVector3d::rotateBy(double angle, const AcGeVector3d& axis) {
    const double axisLen = axis.length();
    if (axisLen == 0.0) {
        return *this;
    }
    // Rodrigues: v cos + (k x v) sin + k (k . v)(1 - cos).
    const AcGeVector3d k = axis / axisLen;
    const double c = std::cos(angle);
    const double s = std::sin(angle);
    *this = *this * c + k.crossProduct(*this) * s + k * (k.dotProduct(*this) * (1.0 - c));
    return *this;
}

AcGeVector3d& AcGeVector3d::transformBy(const AcGeMatrix3d& m) {
    return *this = m * *this;
}

AcGeVector3d operator*(const AcGeMatrix3d& m, const AcGeVector3d& v) {
    return {m.entry[0][0] * v.x + m.entry[0][1] * v.y + m.entry[0][2] * v.z,
            m.entry[1][0] * v.x + m.entry[1][1] * v.y + m.entry[1][2] * v.z,
            m.entry[2][0] * v.x + m.entry[2][1] * v.y + m.entry[2][2] * v.z};
}

double AcGeVector3d::angleTo(const AcGeVector3d& v) const {
    // atan2 of |a x b| and a . b stays accurate near 0 and pi, where acos of
    // the normalised dot product loses half the digits. Zero vectors give 0.
    return std::atan2(crossProduct(v).length(), dotProduct(v));
}

double AcGeVector3d::angleTo(const AcGeVector3d& v, const AcGeVector3d& refAxis) const {
    double a = angleTo(v);
    if (crossProduct(v).dotProduct(refAxis) < 0.0) {
        a = kTwoPi - a;
    }
    // 2*pi minus a rounding-sized angle is 2*pi itself in doubles.
    if (a >= kTwoPi) {
        a = 0.0;
    }
    return a;
}

double AcGeVector3d::angleOnPlane(const AcGePlanarEnt& plane) const {
    AcGePoint3d origin;
    AcGeVector3d u;
    AcGeVector3d v;
    plane.getCoordSystem(origin, u, v);
    const AcGeVector3d n = plane.normal();
    const AcGeVector3d projected = *this - n * dotProduct(n);
    if (projected.lengthSqrd() == 0.0) {
        return 0.0;
    }
    return u.angleTo(projected, n);
}

AcGeVector3d AcGeVector3d::perpVector() const {
    const double len = length();
    if (len == 0.0) {
        return kIdentity;
    }
    const AcGeVector3d n = *this / len;
    constexpr double kArbitraryAxisBound = 1.0 / 64.0;
    const AcGeVector3d seed =
        (std::fabs(n.x) < kArbitraryAxisBound && std::fabs(n.y) < kArbitraryAxisBound) ? kYAxis
                                                                                       : kZAxis;
    const AcGeVector3d perp = seed.crossProduct(n);
    return perp / perp.length();
}

bool AcGeVector3d::isParallelTo(const AcGeVector3d& v, const AcGeTol& tol) const {
    if (isZeroLength(tol) || v.isZeroLength(tol)) {
        return false;
    }
    return normal(tol).crossProduct(v.normal(tol)).length() <= tol.equalVector();
}

bool AcGeVector3d::isCodirectionalTo(const AcGeVector3d& v, const AcGeTol& tol) const {
    return isParallelTo(v, tol) && dotProduct(v) > 0.0;
}

bool AcGeVector3d::isPerpendicularTo(const AcGeVector3d& v, const AcGeTol& tol) const {
    if (isZeroLength(tol) || v.isZeroLength(tol)) {
        return false;
    }
    return std::fabs(normal(tol).dotProduct(v.normal(tol))) <= tol.equalVector();
}

bool AcGeVector3d::isEqualTo(const AcGeVector3d& v, const AcGeTol& tol) const {
    return (*this - v).length() <= tol.equalVector();
}
