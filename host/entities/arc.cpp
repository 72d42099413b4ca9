#include "host/entities/arc.h"

#include <cmath>

#include "host/entities/entity_filing.h"
#include "host/entities/geom_util.h"
#include "host/ge/curves.h"
#include "host/gi/worlddraw.h"

ACRX_HOST_DXF_CLASS(AcDbArc, AcDbCurve, "ARC");

using namespace kxhost::detail;

namespace {
bool positive(double v) {
    return std::isfinite(v) && v > 0.0;
}
double sweepOf(double start, double end) {
    const double d = normalizeAngle(end - start);
    return d == 0.0 ? kTwoPi : d;
}
AcGeVector3d inPlane(const AcGeVector3d& v, const AcGeVector3d& normal) {
    return v - normal * v.dotProduct(normal);
}
}  // namespace

AcDbArc::AcDbArc() = default;

AcDbArc::AcDbArc(const AcGePoint3d& center, double radius, double startAngle, double endAngle)
    : AcDbArc(center, AcGeVector3d::kZAxis, radius, startAngle, endAngle) {}

AcDbArc::AcDbArc(const AcGePoint3d& center, const AcGeVector3d& normal, double radius,
                 double startAngle, double endAngle)
    : m_center(center), m_start(normalizeAngle(startAngle)), m_end(normalizeAngle(endAngle)) {
    if (positive(radius)) {
        m_radius = radius;
    }
    if (!normal.isZeroLength()) {
        m_normal = normal.normal();
    }
}

AcDbArc::~AcDbArc() = default;

AcGePoint3d AcDbArc::center() const {
    assertReadEnabled();
    return m_center;
}
Acad::ErrorStatus AcDbArc::setCenter(const AcGePoint3d& center) {
    return setField(m_center, center);
}
double AcDbArc::radius() const {
    assertReadEnabled();
    return m_radius;
}
Acad::ErrorStatus AcDbArc::setRadius(double radius) {
    return positive(radius) ? setField(m_radius, radius) : Acad::eInvalidInput;
}
AcGeVector3d AcDbArc::normal() const {
    assertReadEnabled();
    return m_normal;
}
Acad::ErrorStatus AcDbArc::setNormal(const AcGeVector3d& normal) {
    return normal.isZeroLength() ? Acad::eInvalidInput : setField(m_normal, normal.normal());
}
double AcDbArc::thickness() const {
    assertReadEnabled();
    return m_thickness;
}
Acad::ErrorStatus AcDbArc::setThickness(double thickness) {
    return setField(m_thickness, thickness);
}
double AcDbArc::startAngle() const {
    assertReadEnabled();
    return m_start;
}
Acad::ErrorStatus AcDbArc::setStartAngle(double angle) {
    return setField(m_start, normalizeAngle(angle));
}
double AcDbArc::endAngle() const {
    assertReadEnabled();
    return m_end;
}
Acad::ErrorStatus AcDbArc::setEndAngle(double angle) {
    return setField(m_end, normalizeAngle(angle));
}
double AcDbArc::totalAngle() const {
    assertReadEnabled();
    return sweepOf(m_start, m_end);
}

AcGePoint3d AcDbArc::pointAt(double angle) const {
    return m_center + ocsDirection(angle, m_normal) * m_radius;
}

void AcDbArc::store(const AcGePoint3d& center, double radius, double startAngle, double endAngle) {
    m_center = center;
    m_radius = radius;
    m_start = normalizeAngle(startAngle);
    m_end = normalizeAngle(endAngle);
}

Acad::ErrorStatus AcDbArc::getStartPoint(AcGePoint3d& point) const {
    assertReadEnabled();
    point = pointAt(m_start);
    return Acad::eOk;
}
Acad::ErrorStatus AcDbArc::getEndPoint(AcGePoint3d& point) const {
    assertReadEnabled();
    point = pointAt(m_end);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbArc::getClosestPointTo(const AcGePoint3d& givenPoint,
                                             AcGePoint3d& pointOnCurve, bool extend) const {
    assertReadEnabled();
    const AcGeCircArc3d arc(m_center, m_normal, ocsXAxis(m_normal), m_radius,
                            extend ? 0.0 : m_start,
                            extend ? kTwoPi : m_start + sweepOf(m_start, m_end));
    pointOnCurve = arc.closestPointTo(givenPoint);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbArc::transformBy(const AcGeMatrix3d& xform) {
    if (!isWriteEnabled()) {
        return Acad::eNotOpenForWrite;
    }
    AcGePoint3d center = m_center;
    double radius = m_radius;
    AcGeVector3d normal = m_normal;
    double start = m_start;
    double end = m_end;
    if (!transformArc(xform, center, radius, normal, start, end)) {
        return Acad::eNotApplicable;
    }
    assertWriteEnabled();
    m_thickness *= similarityScale(xform);
    m_normal = normal;
    store(center, radius, start, end);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbArc::getGeomExtents(AcDbExtents& extents) const {
    assertReadEnabled();
    extents.setEmpty();
    const AcGeVector3d u = ocsXAxis(m_normal) * m_radius;
    const AcGeVector3d v = ocsYAxis(m_normal) * m_radius;
    const double sweep = sweepOf(m_start, m_end);
    addArcExtents(extents, m_center, u, v, m_start, m_start + sweep);
    if (m_thickness != 0.0) {
        addArcExtents(extents, m_center + m_normal * m_thickness, u, v, m_start, m_start + sweep);
    }
    return Acad::eOk;
}

Acad::ErrorStatus AcDbArc::subGetGripPoints(AcGePoint3dArray& gripPoints, AcDbIntArray& osnapModes,
                                            AcDbIntArray& geomIds) const {
    assertReadEnabled();
    gripPoints.append(pointAt(m_start));
    gripPoints.append(pointAt(m_end));
    gripPoints.append(pointAt(m_start + sweepOf(m_start, m_end) / 2.0));
    gripPoints.append(m_center);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbArc::subMoveGripPointsAt(const AcDbIntArray& indices,
                                               const AcGeVector3d& offset) {
    std::vector<bool> chosen;
    Acad::ErrorStatus es = chooseIndices(indices, 4, chosen);
    if (es != Acad::eOk) {
        return es;
    }
    if (!isWriteEnabled()) {
        return Acad::eNotOpenForWrite;
    }
    if (chosen[3] || (chosen[0] && chosen[1] && chosen[2])) {
        assertWriteEnabled();
        m_center += offset;
        return Acad::eOk;
    }
    const AcGeVector3d move = inPlane(offset, m_normal);
    const AcGePoint3d s = pointAt(m_start) + (chosen[0] ? move : AcGeVector3d());
    const AcGePoint3d e = pointAt(m_end) + (chosen[1] ? move : AcGeVector3d());
    const AcGePoint3d m =
        pointAt(m_start + sweepOf(m_start, m_end) / 2.0) + (chosen[2] ? move : AcGeVector3d());
    AcGeCircArc3d through;
    if (!through.set(s, m, e)) {
        return Acad::eNotApplicable;
    }
    assertWriteEnabled();
    const AcGePoint3d c = through.center();
    // The arc keeps its normal: points that now run clockwise about it swap their roles.
    const bool sameSense = through.normal().dotProduct(m_normal) > 0.0;
    const double a = ocsAngle(s - c, m_normal);
    const double b = ocsAngle(e - c, m_normal);
    store(c, through.radius(), sameSense ? a : b, sameSense ? b : a);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbArc::subGetStretchPoints(AcGePoint3dArray& stretchPoints) const {
    assertReadEnabled();
    stretchPoints.append(pointAt(m_start));
    stretchPoints.append(pointAt(m_end));
    return Acad::eOk;
}

Acad::ErrorStatus AcDbArc::subMoveStretchPointsAt(const AcDbIntArray& indices,
                                                  const AcGeVector3d& offset) {
    std::vector<bool> chosen;
    Acad::ErrorStatus es = chooseIndices(indices, 2, chosen);
    if (es != Acad::eOk) {
        return es;
    }
    if (!isWriteEnabled()) {
        return Acad::eNotOpenForWrite;
    }
    if (!chosen[0] && !chosen[1]) {
        return Acad::eOk;
    }
    if (chosen[0] && chosen[1]) {
        assertWriteEnabled();
        m_center += offset;
        return Acad::eOk;
    }
    const double sweep = sweepOf(m_start, m_end);
    if (sweep >= kTwoPi - 1e-12) {
        return Acad::eNotApplicable;  // a full turn has no chord to rebuild on
    }
    const AcGeVector3d move = inPlane(offset, m_normal);
    const AcGeMatrix3d toPlane = AcGeMatrix3d::worldToPlane(m_normal);
    const AcGePoint3d s = toPlane * (pointAt(m_start) + (chosen[0] ? move : AcGeVector3d()));
    const AcGePoint3d e = toPlane * (pointAt(m_end) + (chosen[1] ? move : AcGeVector3d()));
    BulgeArc rebuilt;
    if (!bulgeArc(AcGePoint2d(s.x, s.y), AcGePoint2d(e.x, e.y), std::tan(sweep / 4.0), rebuilt)) {
        return Acad::eNotApplicable;
    }
    assertWriteEnabled();
    const AcGePoint3d center =
        AcGeMatrix3d::planeToWorld(m_normal) * AcGePoint3d(rebuilt.center.x, rebuilt.center.y, s.z);
    store(center, rebuilt.radius, rebuilt.startAngle, rebuilt.startAngle + sweep);
    return Acad::eOk;
}

bool AcDbArc::subWorldDraw(AcGiWorldDraw* wd) {
    assertReadEnabled();
    if (wd == nullptr) {
        return false;
    }
    wd->geometry().circularArc(m_center, m_radius, m_normal, ocsDirection(m_start, m_normal),
                               sweepOf(m_start, m_end));
    return true;
}

Acad::ErrorStatus AcDbArc::dwgOutFields(AcDbDwgFiler* filer) const {
    Acad::ErrorStatus es = AcDbCurve::dwgOutFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    filer->writePoint3d(m_center);
    filer->writeDouble(m_radius);
    filer->writeVector3d(m_normal);
    filer->writeDouble(m_thickness);
    filer->writeDouble(m_start);
    filer->writeDouble(m_end);
    return filer->filerStatus();
}

Acad::ErrorStatus AcDbArc::dwgInFields(AcDbDwgFiler* filer) {
    Acad::ErrorStatus es = AcDbCurve::dwgInFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    AcGePoint3d center;
    double radius = 0.0;
    AcGeVector3d normal;
    double thickness = 0.0;
    double start = 0.0;
    double end = 0.0;
    if ((es = filer->readPoint3d(&center)) != Acad::eOk ||
        (es = filer->readDouble(&radius)) != Acad::eOk ||
        (es = readNormal(filer, normal)) != Acad::eOk ||
        (es = filer->readDouble(&thickness)) != Acad::eOk ||
        (es = filer->readDouble(&start)) != Acad::eOk ||
        (es = filer->readDouble(&end)) != Acad::eOk) {
        return es;
    }
    if (!positive(radius)) {
        return filerFail(filer);
    }
    m_normal = normal;
    m_thickness = thickness;
    store(center, radius, start, end);
    return filer->filerStatus();
}

Acad::ErrorStatus AcDbArc::dxfOutFields(AcDbDxfFiler* filer) const {
    Acad::ErrorStatus es = AcDbCurve::dxfOutFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    filer->writeString(100, L"AcDbCircle");
    filer->writeDouble(39, m_thickness);
    filer->writePoint3d(10, m_center);
    filer->writeDouble(40, m_radius);
    filer->writeVector3d(210, m_normal);
    filer->writeString(100, L"AcDbArc");
    filer->writeAngle(50, m_start);
    filer->writeAngle(51, m_end);
    return filer->filerStatus();
}

Acad::ErrorStatus AcDbArc::dxfInFields(AcDbDxfFiler* filer) {
    Acad::ErrorStatus es = AcDbCurve::dxfInFields(filer);
    if (es != Acad::eOk || (es = dxfExpectSubclass(filer, L"AcDbCircle")) != Acad::eOk) {
        return es;
    }
    AcGePoint3d center = m_center;
    double radius = m_radius;
    AcGeVector3d normal = m_normal;
    double thickness = m_thickness;
    double start = m_start;
    double end = m_end;
    es = dxfReadGroups(filer, [&](const resbuf& rb) {
        switch (rb.restype) {
            case 39:
                thickness = rb.resval.rreal;
                return true;
            case 10:
                center = rbPoint(rb);
                return true;
            case 40:
                radius = rb.resval.rreal;
                return true;
            case 210:
                normal = rbVector(rb);
                return true;
            default:
                return false;
        }
    });
    if (es != Acad::eOk || (es = dxfExpectSubclass(filer, L"AcDbArc")) != Acad::eOk) {
        return es;
    }
    es = dxfReadGroups(filer, [&](const resbuf& rb) {
        switch (rb.restype) {
            case 50:
                start = rb.resval.rreal;
                return true;
            case 51:
                end = rb.resval.rreal;
                return true;
            default:
                return false;
        }
    });
    if (es != Acad::eOk || (es = checkDxfNormal(normal)) != Acad::eOk) {
        return es;
    }
    if (!positive(radius)) {
        return Acad::eInvalidDxfCode;
    }
    m_normal = normal;
    m_thickness = thickness;
    store(center, radius, start, end);
    return filer->filerStatus();
}
