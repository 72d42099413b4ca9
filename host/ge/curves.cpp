#include "host/ge/curves.h"

#include <algorithm>
#include <cmath>

#include "host/ge/matrix3d.h"

namespace {

constexpr double kTwoPi = 6.283185307179586476925286766559;

// Exact normalisation: any non-zero direction, however short, is meaningful
// for a line, so no tolerance is applied here.
AcGeVector3d unitOrZero(const AcGeVector3d& v) {
    const double len = v.length();
    return len == 0.0 ? AcGeVector3d::kIdentity : v / len;
}

// Into [0, 2*pi).
double wrapAngle(double a) {
    a = std::fmod(a, kTwoPi);
    if (a < 0.0) {
        a += kTwoPi;
    }
    return a >= kTwoPi ? 0.0 : a + 0.0;
}

}  // namespace

bool AcGeCurve3d::isOn(const AcGePoint3d& pt, const AcGeTol& tol) const {
    return closestPointTo(pt, tol).isEqualTo(pt, tol);
}

// ---------------------------------------------------------------------------
// Linear entities

AcGeLinearEnt3d::AcGeLinearEnt3d(const AcGePoint3d& point, const AcGeVector3d& direction)
    : mPoint(point), mDir(unitOrZero(direction)) {}

AcGePoint3d AcGeLinearEnt3d::closestPointTo(const AcGePoint3d& pt, const AcGeTol& /*tol*/) const {
    return mPoint + mDir * (pt - mPoint).dotProduct(mDir);
}

bool AcGeLinearEnt3d::isParallelTo(const AcGeLinearEnt3d& other, const AcGeTol& tol) const {
    return mDir.isParallelTo(other.mDir, tol);
}

bool AcGeLinearEnt3d::intersectWith(const AcGeLinearEnt3d& other, AcGePoint3d& result,
                                    const AcGeTol& tol) const {
    if (mDir.isZeroLength(tol) || other.mDir.isZeroLength(tol) || isParallelTo(other, tol)) {
        return false;
    }
    // Closest points of the two carriers; both directions are unit length.
    const AcGeVector3d w = mPoint - other.mPoint;
    const double b = mDir.dotProduct(other.mDir);
    const double d = mDir.dotProduct(w);
    const double e = other.mDir.dotProduct(w);
    const double denom = 1.0 - b * b;
    const AcGePoint3d onThis = mPoint + mDir * ((b * e - d) / denom);
    const AcGePoint3d onOther = other.mPoint + other.mDir * ((e - b * d) / denom);
    if (!onThis.isEqualTo(onOther, tol)) {
        return false;  // skew
    }
    const AcGePoint3d hit = onThis + (onOther - onThis) * 0.5;
    if (!isOn(hit, tol) || !other.isOn(hit, tol)) {
        return false;
    }
    result = hit;
    return true;
}

AcGeLine3d::AcGeLine3d(const AcGePoint3d& point, const AcGeVector3d& direction)
    : AcGeLinearEnt3d(point, direction) {}

AcGeLine3d::AcGeLine3d(const AcGePoint3d& p1, const AcGePoint3d& p2)
    : AcGeLinearEnt3d(p1, p2 - p1) {}

AcGeLine3d& AcGeLine3d::set(const AcGePoint3d& point, const AcGeVector3d& direction) {
    mPoint = point;
    mDir = unitOrZero(direction);
    return *this;
}

AcGeLine3d& AcGeLine3d::set(const AcGePoint3d& p1, const AcGePoint3d& p2) {
    return set(p1, p2 - p1);
}

AcGeLine3d& AcGeLine3d::transformBy(const AcGeMatrix3d& m) {
    return set(m * mPoint, m * mDir);
}

AcGeLineSeg3d::AcGeLineSeg3d() : AcGeLinearEnt3d(AcGePoint3d::kOrigin, AcGeVector3d::kXAxis) {}

AcGeLineSeg3d::AcGeLineSeg3d(const AcGePoint3d& start, const AcGePoint3d& end)
    : AcGeLinearEnt3d(start, end - start), mEnd(end) {}

AcGeLineSeg3d& AcGeLineSeg3d::set(const AcGePoint3d& start, const AcGePoint3d& end) {
    mPoint = start;
    mEnd = end;
    mDir = unitOrZero(end - start);
    return *this;
}

AcGeLineSeg3d& AcGeLineSeg3d::transformBy(const AcGeMatrix3d& m) {
    return set(m * mPoint, m * mEnd);
}

AcGePoint3d AcGeLineSeg3d::midPoint() const {
    return mPoint + (mEnd - mPoint) * 0.5;
}

AcGePoint3d AcGeLineSeg3d::closestPointTo(const AcGePoint3d& pt, const AcGeTol& /*tol*/) const {
    const AcGeVector3d delta = mEnd - mPoint;
    const double lenSq = delta.lengthSqrd();
    if (lenSq == 0.0) {
        return mPoint;
    }
    const double t = std::clamp((pt - mPoint).dotProduct(delta) / lenSq, 0.0, 1.0);
    return mPoint + delta * t;
}

// ---------------------------------------------------------------------------
// Circular arcs

AcGeCircArc3d::AcGeCircArc3d() = default;

AcGeCircArc3d::AcGeCircArc3d(const AcGePoint3d& center, const AcGeVector3d& normal, double radius) {
    set(center, normal, radius);
}

AcGeCircArc3d::AcGeCircArc3d(const AcGePoint3d& center, const AcGeVector3d& normal,
                             const AcGeVector3d& refVec, double radius, double startAng,
                             double endAng) {
    set(center, normal, refVec, radius, startAng, endAng);
}

AcGeCircArc3d::AcGeCircArc3d(const AcGePoint3d& p1, const AcGePoint3d& p2, const AcGePoint3d& p3) {
    set(p1, p2, p3);
}

AcGeCircArc3d& AcGeCircArc3d::set(const AcGePoint3d& center, const AcGeVector3d& normal,
                                  const AcGeVector3d& refVec, double radius, double startAng,
                                  double endAng) {
    setCenter(center);
    setAxes(normal, refVec);
    setRadius(radius);
    return setAngles(startAng, endAng);
}

AcGeCircArc3d& AcGeCircArc3d::set(const AcGePoint3d& center, const AcGeVector3d& normal,
                                  double radius) {
    const AcGeVector3d n = unitOrZero(normal);
    return set(center, n, n.perpVector(), radius, 0.0, kTwoPi);
}

bool AcGeCircArc3d::set(const AcGePoint3d& p1, const AcGePoint3d& p2, const AcGePoint3d& p3) {
    const AcGeVector3d a = p2 - p1;
    const AcGeVector3d b = p3 - p1;
    const AcGeVector3d axb = a.crossProduct(b);
    const double axbLen = axb.length();
    // |a x b| = |a||b| sin(angle at p1): compare the sine, not the raw area, so
    // the test does not depend on the drawing's scale.
    if (axbLen == 0.0 || axbLen <= AcGeContext::gTol.equalVector() * a.length() * b.length()) {
        mCenter = p1;
        mNormal = AcGeVector3d::kZAxis;
        mRef = AcGeVector3d::kXAxis;
        mRadius = 0.0;
        mStart = mEnd = 0.0;
        return false;
    }
    // Circumcenter: p1 + ((|a|^2 b - |b|^2 a) x (a x b)) / (2 |a x b|^2).
    const AcGeVector3d num = (b * a.lengthSqrd() - a * b.lengthSqrd()).crossProduct(axb);
    mCenter = p1 + num / (2.0 * axbLen * axbLen);
    mNormal = axb / axbLen;
    mRadius = mCenter.distanceTo(p1);
    mRef = unitOrZero(p1 - mCenter);
    mStart = 0.0;
    mEnd = mRef.angleTo(p3 - mCenter, mNormal);
    return true;
}

AcGeCircArc3d& AcGeCircArc3d::setCenter(const AcGePoint3d& center) {
    mCenter = center;
    return *this;
}

AcGeCircArc3d& AcGeCircArc3d::setRadius(double radius) {
    mRadius = std::fabs(radius);
    return *this;
}

AcGeCircArc3d& AcGeCircArc3d::setAngles(double startAng, double endAng) {
    double sweep = endAng - startAng;
    if (sweep < 0.0) {
        // An end before the start means the arc wraps past the reference vector.
        sweep = std::fmod(sweep, kTwoPi) + kTwoPi;
    }
    mStart = startAng;
    mEnd = startAng + std::min(sweep, kTwoPi);
    return *this;
}

AcGeCircArc3d& AcGeCircArc3d::setAxes(const AcGeVector3d& normal, const AcGeVector3d& refVec) {
    const AcGeVector3d n = unitOrZero(normal);
    mNormal = n.isZeroLength() ? AcGeVector3d::kZAxis : n;
    // Keep only the in-plane part of the reference vector.
    const AcGeVector3d inPlane = refVec - mNormal * refVec.dotProduct(mNormal);
    const double len = inPlane.length();
    mRef = (len == 0.0 || len <= AcGeContext::gTol.equalVector() * refVec.length())
               ? mNormal.perpVector()
               : inPlane / len;
    return *this;
}

bool AcGeCircArc3d::isClosed(const AcGeTol& tol) const {
    return sweep() >= kTwoPi - tol.equalVector();
}

AcGePoint3d AcGeCircArc3d::evalPoint(double angle) const {
    const AcGeVector3d yAxis = mNormal.crossProduct(mRef);
    return mCenter + (mRef * std::cos(angle) + yAxis * std::sin(angle)) * mRadius;
}

AcGePoint3d AcGeCircArc3d::closestPointTo(const AcGePoint3d& pt, const AcGeTol& tol) const {
    const AcGeVector3d offset = pt - mCenter;
    const AcGeVector3d inPlane = offset - mNormal * offset.dotProduct(mNormal);
    const double len = inPlane.length();
    if (len <= tol.equalPoint()) {
        // On the axis every point of the circle is equally near.
        return startPoint();
    }
    const double angle = mRef.angleTo(inPlane, mNormal);
    if (wrapAngle(angle - mStart) <= sweep()) {
        return mCenter + inPlane * (mRadius / len);
    }
    const AcGePoint3d s = startPoint();
    const AcGePoint3d e = endPoint();
    return pt.distanceTo(s) <= pt.distanceTo(e) ? s : e;
}

AcGeVector3d AcGeCircArc3d::tangent(const AcGePoint3d& pt) const {
    if (mRadius == 0.0) {
        return AcGeVector3d::kIdentity;
    }
    return unitOrZero(mNormal.crossProduct(closestPointTo(pt) - mCenter));
}

bool AcGeCircArc3d::tangent(const AcGePoint3d& pt, AcGeLine3d& line, const AcGeTol& tol) const {
    const AcGePoint3d onArc = closestPointTo(pt, tol);
    if (!onArc.isEqualTo(pt, tol)) {
        return false;
    }
    line.set(onArc, tangent(pt));
    return true;
}

bool AcGeCircArc3d::transformBy(const AcGeMatrix3d& m) {
    if (!m.isUniScaledOrtho()) {
        return false;
    }
    // Carry the in-plane frame along; taking the normal from the images of
    // (ref, normal x ref) keeps every angle valid, mirrorings included.
    const AcGeVector3d u = m * mRef;
    const AcGeVector3d w = m * mNormal.crossProduct(mRef);
    mCenter = m * mCenter;
    mRadius *= u.length();
    mNormal = unitOrZero(u.crossProduct(w));
    mRef = unitOrZero(u);
    return true;
}
