#include "host/entities/geom_util.h"

#include <cmath>

namespace kxhost {
namespace detail {

double normalizeAngle(double angle) {
    if (!std::isfinite(angle)) {
        return 0.0;
    }
    double a = std::fmod(angle, kTwoPi);
    if (a < 0.0) {
        a += kTwoPi;
    }
    if (a >= kTwoPi) {
        a -= kTwoPi;
    }
    return a + 0.0;
}

AcGeVector3d ocsXAxis(const AcGeVector3d& normal) {
    const AcGeMatrix3d m = AcGeMatrix3d::planeToWorld(normal);
    return AcGeVector3d(m(0, 0), m(1, 0), m(2, 0));
}

AcGeVector3d ocsYAxis(const AcGeVector3d& normal) {
    const AcGeMatrix3d m = AcGeMatrix3d::planeToWorld(normal);
    return AcGeVector3d(m(0, 1), m(1, 1), m(2, 1));
}

double ocsAngle(const AcGeVector3d& v, const AcGeVector3d& normal) {
    return normalizeAngle(
        std::atan2(v.dotProduct(ocsYAxis(normal)), v.dotProduct(ocsXAxis(normal))));
}

AcGeVector3d ocsDirection(double angle, const AcGeVector3d& normal) {
    return ocsXAxis(normal) * std::cos(angle) + ocsYAxis(normal) * std::sin(angle);
}

AcGeVector3d transformNormal(const AcGeMatrix3d& xform, const AcGeVector3d& normal) {
    AcGeVector3d n = normal;
    n.transformBy(xform);
    return n.isZeroLength() ? normal : n.normal();
}

bool isSimilarity(const AcGeMatrix3d& xform) {
    return xform.isUniScaledOrtho(AcGeTol(1e-9, 1e-9));
}

double similarityScale(const AcGeMatrix3d& xform) {
    return AcGeVector3d(xform(0, 0), xform(1, 0), xform(2, 0)).length();
}

bool transformArc(const AcGeMatrix3d& xform, AcGePoint3d& center, double& radius,
                  AcGeVector3d& normal, double& startAngle, double& endAngle) {
    if (!isSimilarity(xform)) {
        return false;
    }
    const double sweep = normalizeAngle(endAngle - startAngle);
    const AcGeVector3d newNormal = transformNormal(xform, normal);
    // Directions rather than points, so a zero radius still has angles.
    AcGeVector3d toStart = ocsDirection(startAngle, normal);
    AcGeVector3d toEnd = ocsDirection(endAngle, normal);
    toStart.transformBy(xform);
    toEnd.transformBy(xform);
    // A mirroring turns the counter-clockwise run into a clockwise one about the transformed
    // normal: the arc now starts where it used to end.
    const bool mirrored = xform.det() < 0.0;
    const double newStart = ocsAngle(mirrored ? toEnd : toStart, newNormal);
    center.transformBy(xform);
    radius *= similarityScale(xform);
    normal = newNormal;
    startAngle = newStart;
    endAngle = normalizeAngle(newStart + sweep);
    return true;
}

void addArcExtents(AcDbExtents& ext, const AcGePoint3d& center, const AcGeVector3d& u,
                   const AcGeVector3d& v, double t0, double t1) {
    auto at = [&](double t) { return center + u * std::cos(t) + v * std::sin(t); };
    ext.addPoint(at(t0));
    ext.addPoint(at(t1));
    for (int k = 0; k < 3; ++k) {
        const double extreme = std::atan2(v[k], u[k]);
        for (double t : {extreme, extreme + kPi}) {
            const double within = t0 + normalizeAngle(t - t0);
            if (within <= t1) {
                ext.addPoint(at(within));
            }
        }
    }
}

bool bulgeArc(const AcGePoint2d& p1, const AcGePoint2d& p2, double bulge, BulgeArc& arc) {
    const AcGeVector2d chord = p2 - p1;
    const double d = chord.length();
    if (d == 0.0 || bulge == 0.0 || !std::isfinite(bulge)) {
        return false;
    }
    const AcGeVector2d left(-chord.y / d, chord.x / d);
    const AcGePoint2d mid(0.5 * (p1.x + p2.x), 0.5 * (p1.y + p2.y));
    // Distance from the chord's midpoint to the centre, positive to the left of the chord.
    const double h = d * (1.0 - bulge * bulge) / (4.0 * bulge);
    arc.center = mid + left * h;
    arc.radius = d * (1.0 + bulge * bulge) / (4.0 * std::fabs(bulge));
    arc.startAngle = (p1 - arc.center).angle();
    arc.sweep = 4.0 * std::atan(bulge);
    return true;
}

double bulgeThrough(const AcGePoint2d& p1, const AcGePoint2d& through, const AcGePoint2d& p2) {
    const AcGeVector2d a = p1 - through;
    const AcGeVector2d b = p2 - through;
    const double cross = (through - p1).x * (p2 - through).y - (through - p1).y * (p2 - through).x;
    if (a.isZeroLength() || b.isZeroLength() || cross == 0.0) {
        return 0.0;
    }
    // The inscribed angle at the through point decides the included angle of the arc.
    const double alpha = std::atan2(std::fabs(a.x * b.y - a.y * b.x), a.dotProduct(b));
    const double magnitude = 1.0 / std::tan(alpha / 2.0);
    return cross > 0.0 ? magnitude : -magnitude;
}

}  // namespace detail
}  // namespace kxhost
