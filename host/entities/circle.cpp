#include "host/entities/circle.h"

#include <cmath>

#include "host/entities/entity_filing.h"
#include "host/entities/geom_util.h"
#include "host/ge/curves.h"
#include "host/gi/worlddraw.h"

ACRX_HOST_DXF_CLASS(AcDbCircle, AcDbCurve, "CIRCLE");

using namespace kxhost::detail;

namespace {
bool positive(double v) {
    return std::isfinite(v) && v > 0.0;
}
}  // namespace

AcDbCircle::AcDbCircle() = default;

AcDbCircle::AcDbCircle(const AcGePoint3d& center, const AcGeVector3d& normal, double radius)
    : m_center(center) {
    if (positive(radius)) {
        m_radius = radius;
    }
    if (!normal.isZeroLength()) {
        m_normal = normal.normal();
    }
}

AcDbCircle::~AcDbCircle() = default;

AcGePoint3d AcDbCircle::center() const {
    assertReadEnabled();
    return m_center;
}
Acad::ErrorStatus AcDbCircle::setCenter(const AcGePoint3d& center) {
    return setField(m_center, center);
}
double AcDbCircle::radius() const {
    assertReadEnabled();
    return m_radius;
}
Acad::ErrorStatus AcDbCircle::setRadius(double radius) {
    return positive(radius) ? setField(m_radius, radius) : Acad::eInvalidInput;
}
AcGeVector3d AcDbCircle::normal() const {
    assertReadEnabled();
    return m_normal;
}
Acad::ErrorStatus AcDbCircle::setNormal(const AcGeVector3d& normal) {
    return normal.isZeroLength() ? Acad::eInvalidInput : setField(m_normal, normal.normal());
}
double AcDbCircle::thickness() const {
    assertReadEnabled();
    return m_thickness;
}
Acad::ErrorStatus AcDbCircle::setThickness(double thickness) {
    return setField(m_thickness, thickness);
}

Acad::ErrorStatus AcDbCircle::getStartPoint(AcGePoint3d& point) const {
    assertReadEnabled();
    point = m_center + ocsXAxis(m_normal) * m_radius;
    return Acad::eOk;
}
Acad::ErrorStatus AcDbCircle::getEndPoint(AcGePoint3d& point) const {
    return getStartPoint(point);
}

Acad::ErrorStatus AcDbCircle::getClosestPointTo(const AcGePoint3d& givenPoint,
                                                AcGePoint3d& pointOnCurve, bool extend) const {
    assertReadEnabled();
    pointOnCurve = AcGeCircArc3d(m_center, m_normal, m_radius).closestPointTo(givenPoint);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbCircle::transformBy(const AcGeMatrix3d& xform) {
    if (!isWriteEnabled()) {
        return Acad::eNotOpenForWrite;
    }
    if (!isSimilarity(xform)) {
        return Acad::eNotApplicable;
    }
    assertWriteEnabled();
    const double scale = similarityScale(xform);
    m_center.transformBy(xform);
    m_radius *= scale;
    m_thickness *= scale;
    m_normal = transformNormal(xform, m_normal);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbCircle::getGeomExtents(AcDbExtents& extents) const {
    assertReadEnabled();
    extents.setEmpty();
    const AcGeVector3d u = ocsXAxis(m_normal) * m_radius;
    const AcGeVector3d v = ocsYAxis(m_normal) * m_radius;
    addArcExtents(extents, m_center, u, v, 0.0, kTwoPi);
    if (m_thickness != 0.0) {
        addArcExtents(extents, m_center + m_normal * m_thickness, u, v, 0.0, kTwoPi);
    }
    return Acad::eOk;
}

Acad::ErrorStatus AcDbCircle::subGetGripPoints(AcGePoint3dArray& gripPoints,
                                               AcDbIntArray& osnapModes,
                                               AcDbIntArray& geomIds) const {
    assertReadEnabled();
    gripPoints.append(m_center);
    for (int q = 0; q < 4; ++q) {
        gripPoints.append(m_center + ocsDirection(q * kPi / 2.0, m_normal) * m_radius);
    }
    return Acad::eOk;
}

Acad::ErrorStatus AcDbCircle::subMoveGripPointsAt(const AcDbIntArray& indices,
                                                  const AcGeVector3d& offset) {
    std::vector<bool> chosen;
    Acad::ErrorStatus es = chooseIndices(indices, 5, chosen);
    if (es != Acad::eOk) {
        return es;
    }
    if (chosen[0]) {
        if ((es = beginModify()) == Acad::eOk) {
            m_center += offset;
        }
        return es;
    }
    double radius = m_radius;
    for (int q = 0; q < 4; ++q) {
        if (chosen[q + 1]) {
            const AcGePoint3d moved =
                m_center + ocsDirection(q * kPi / 2.0, m_normal) * m_radius + offset;
            radius = moved.distanceTo(m_center);
        }
    }
    if (!positive(radius)) {
        return Acad::eInvalidInput;
    }
    if ((es = beginModify()) == Acad::eOk) {
        m_radius = radius;
    }
    return es;
}

Acad::ErrorStatus AcDbCircle::subGetStretchPoints(AcGePoint3dArray& stretchPoints) const {
    assertReadEnabled();
    stretchPoints.append(m_center);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbCircle::subMoveStretchPointsAt(const AcDbIntArray& indices,
                                                     const AcGeVector3d& offset) {
    std::vector<bool> chosen;
    Acad::ErrorStatus es = chooseIndices(indices, 1, chosen);
    if (es != Acad::eOk || (es = beginModify()) != Acad::eOk) {
        return es;
    }
    if (chosen[0]) {
        m_center += offset;
    }
    return Acad::eOk;
}

bool AcDbCircle::subWorldDraw(AcGiWorldDraw* wd) {
    assertReadEnabled();
    if (wd == nullptr) {
        return false;
    }
    wd->geometry().circle(m_center, m_radius, m_normal);
    return true;
}

Acad::ErrorStatus AcDbCircle::dwgOutFields(AcDbDwgFiler* filer) const {
    Acad::ErrorStatus es = AcDbCurve::dwgOutFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    filer->writePoint3d(m_center);
    filer->writeDouble(m_radius);
    filer->writeVector3d(m_normal);
    filer->writeDouble(m_thickness);
    return filer->filerStatus();
}

Acad::ErrorStatus AcDbCircle::dwgInFields(AcDbDwgFiler* filer) {
    Acad::ErrorStatus es = AcDbCurve::dwgInFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    AcGePoint3d center;
    double radius = 0.0;
    AcGeVector3d normal;
    double thickness = 0.0;
    if ((es = filer->readPoint3d(&center)) != Acad::eOk ||
        (es = filer->readDouble(&radius)) != Acad::eOk ||
        (es = readNormal(filer, normal)) != Acad::eOk ||
        (es = filer->readDouble(&thickness)) != Acad::eOk) {
        return es;
    }
    if (!positive(radius)) {
        return filerFail(filer);
    }
    m_center = center;
    m_radius = radius;
    m_normal = normal;
    m_thickness = thickness;
    return filer->filerStatus();
}

Acad::ErrorStatus AcDbCircle::dxfOutFields(AcDbDxfFiler* filer) const {
    Acad::ErrorStatus es = AcDbCurve::dxfOutFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    filer->writeString(100, L"AcDbCircle");
    filer->writeDouble(39, m_thickness);
    filer->writePoint3d(10, m_center);
    filer->writeDouble(40, m_radius);
    filer->writeVector3d(210, m_normal);
    return filer->filerStatus();
}

Acad::ErrorStatus AcDbCircle::dxfInFields(AcDbDxfFiler* filer) {
    Acad::ErrorStatus es = AcDbCurve::dxfInFields(filer);
    if (es != Acad::eOk || (es = dxfExpectSubclass(filer, L"AcDbCircle")) != Acad::eOk) {
        return es;
    }
    AcGePoint3d center = m_center;
    double radius = m_radius;
    AcGeVector3d normal = m_normal;
    double thickness = m_thickness;
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
    if (es != Acad::eOk || (es = checkDxfNormal(normal)) != Acad::eOk) {
        return es;
    }
    if (!positive(radius)) {
        return Acad::eInvalidDxfCode;
    }
    m_center = center;
    m_radius = radius;
    m_normal = normal;
    m_thickness = thickness;
    return filer->filerStatus();
}
