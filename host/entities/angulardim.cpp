#include "host/entities/angulardim.h"

#include "host/entities/entity_filing.h"
#include "host/entities/geom_util.h"
#include "host/gi/worlddraw.h"

ACRX_HOST_DXF_CLASS(AcDb3PointAngularDimension, AcDbDimension, "DIMENSION");

using namespace kxhost::detail;

AcDb3PointAngularDimension::AcDb3PointAngularDimension() = default;

AcDb3PointAngularDimension::AcDb3PointAngularDimension(const AcGePoint3d& centerPoint,
                                                       const AcGePoint3d& xLine1Point,
                                                       const AcGePoint3d& xLine2Point,
                                                       const AcGePoint3d& arcPoint,
                                                       const ACHAR* dimText, AcDbObjectId dimStyle)
    : m_center(centerPoint), m_xLine1(xLine1Point), m_xLine2(xLine2Point), m_arcPoint(arcPoint) {
    if (dimText != nullptr) {
        setDimensionText(dimText);
    }
    setTextPosition(arcPoint);
}

AcDb3PointAngularDimension::~AcDb3PointAngularDimension() = default;

AcGePoint3d AcDb3PointAngularDimension::centerPoint() const {
    assertReadEnabled();
    return m_center;
}
Acad::ErrorStatus AcDb3PointAngularDimension::setCenterPoint(const AcGePoint3d& point) {
    return setField(m_center, point);
}
AcGePoint3d AcDb3PointAngularDimension::xLine1Point() const {
    assertReadEnabled();
    return m_xLine1;
}
Acad::ErrorStatus AcDb3PointAngularDimension::setXLine1Point(const AcGePoint3d& point) {
    return setField(m_xLine1, point);
}
AcGePoint3d AcDb3PointAngularDimension::xLine2Point() const {
    assertReadEnabled();
    return m_xLine2;
}
Acad::ErrorStatus AcDb3PointAngularDimension::setXLine2Point(const AcGePoint3d& point) {
    return setField(m_xLine2, point);
}
AcGePoint3d AcDb3PointAngularDimension::arcPoint() const {
    assertReadEnabled();
    return m_arcPoint;
}
Acad::ErrorStatus AcDb3PointAngularDimension::setArcPoint(const AcGePoint3d& point) {
    return setField(m_arcPoint, point);
}

void AcDb3PointAngularDimension::arcAngles(double& start, double& sweep) const {
    const AcGeVector3d n = normal();
    const double a1 = ocsAngle(m_xLine1 - m_center, n);
    const double a2 = ocsAngle(m_xLine2 - m_center, n);
    const double ap = ocsAngle(m_arcPoint - m_center, n);
    const double inner = normalizeAngle(a2 - a1);
    if (normalizeAngle(ap - a1) <= inner) {
        start = a1;
        sweep = inner;
    } else {
        start = a2;
        sweep = kTwoPi - inner;
    }
}

Acad::ErrorStatus AcDb3PointAngularDimension::measurement(double& value) const {
    assertReadEnabled();
    double start = 0.0;
    arcAngles(start, value);
    return Acad::eOk;
}

Acad::ErrorStatus AcDb3PointAngularDimension::transformBy(const AcGeMatrix3d& xform) {
    Acad::ErrorStatus es = beginModify();
    if (es != Acad::eOk) {
        return es;
    }
    transformBase(xform);
    for (AcGePoint3d* p : {&m_center, &m_xLine1, &m_xLine2, &m_arcPoint}) {
        p->transformBy(xform);
    }
    return Acad::eOk;
}

Acad::ErrorStatus AcDb3PointAngularDimension::getGeomExtents(AcDbExtents& extents) const {
    assertReadEnabled();
    extents.setEmpty();
    for (const AcGePoint3d& p : {m_center, m_xLine1, m_xLine2, m_arcPoint, textPosition()}) {
        extents.addPoint(p);
    }
    double start = 0.0;
    double sweep = 0.0;
    arcAngles(start, sweep);
    const double radius = m_arcPoint.distanceTo(m_center);
    addArcExtents(extents, m_center, ocsXAxis(normal()) * radius, ocsYAxis(normal()) * radius,
                  start, start + sweep);
    return Acad::eOk;
}

Acad::ErrorStatus AcDb3PointAngularDimension::subGetGripPoints(AcGePoint3dArray& gripPoints,
                                                               AcDbIntArray& osnapModes,
                                                               AcDbIntArray& geomIds) const {
    assertReadEnabled();
    for (const AcGePoint3d& p : {m_center, m_xLine1, m_xLine2, m_arcPoint, textPosition()}) {
        gripPoints.append(p);
    }
    return Acad::eOk;
}

Acad::ErrorStatus AcDb3PointAngularDimension::subMoveGripPointsAt(const AcDbIntArray& indices,
                                                                  const AcGeVector3d& offset) {
    std::vector<bool> chosen;
    Acad::ErrorStatus es = chooseIndices(indices, 5, chosen);
    if (es != Acad::eOk || (es = beginModify()) != Acad::eOk) {
        return es;
    }
    AcGePoint3d* points[4] = {&m_center, &m_xLine1, &m_xLine2, &m_arcPoint};
    for (int i = 0; i < 4; ++i) {
        if (chosen[i]) {
            *points[i] += offset;
        }
    }
    if (chosen[4]) {
        setTextPosition(textPosition() + offset);
    }
    return Acad::eOk;
}

bool AcDb3PointAngularDimension::subWorldDraw(AcGiWorldDraw* wd) {
    assertReadEnabled();
    if (wd == nullptr) {
        return false;
    }
    const AcGePoint3d ext1[2] = {m_center, m_xLine1};
    const AcGePoint3d ext2[2] = {m_center, m_xLine2};
    wd->geometry().polyline(2, ext1);
    wd->geometry().polyline(2, ext2);
    double start = 0.0;
    double sweep = 0.0;
    arcAngles(start, sweep);
    const AcGeVector3d n = normal();
    wd->geometry().circularArc(m_center, m_arcPoint.distanceTo(m_center), n, ocsDirection(start, n),
                               sweep);
    const AcString text = formattedText();
    wd->geometry().text(textPosition(), n, ocsXAxis(n), 1.0, 1.0, 0.0, text.kwszPtr());
    return true;
}

Acad::ErrorStatus AcDb3PointAngularDimension::dwgOutFields(AcDbDwgFiler* filer) const {
    Acad::ErrorStatus es = AcDbDimension::dwgOutFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    filer->writePoint3d(m_center);
    filer->writePoint3d(m_xLine1);
    filer->writePoint3d(m_xLine2);
    filer->writePoint3d(m_arcPoint);
    return filer->filerStatus();
}

Acad::ErrorStatus AcDb3PointAngularDimension::dwgInFields(AcDbDwgFiler* filer) {
    Acad::ErrorStatus es = AcDbDimension::dwgInFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    AcGePoint3d points[4];
    for (AcGePoint3d& p : points) {
        if ((es = filer->readPoint3d(&p)) != Acad::eOk) {
            return es;
        }
    }
    m_center = points[0];
    m_xLine1 = points[1];
    m_xLine2 = points[2];
    m_arcPoint = points[3];
    return filer->filerStatus();
}

Acad::ErrorStatus AcDb3PointAngularDimension::dxfOutFields(AcDbDxfFiler* filer) const {
    Acad::ErrorStatus es = AcDbDimension::dxfOutFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    filer->writeString(100, L"AcDb3PointAngularDimension");
    filer->writePoint3d(15, m_center);
    filer->writePoint3d(13, m_xLine1);
    filer->writePoint3d(14, m_xLine2);
    filer->writePoint3d(10, m_arcPoint);
    return filer->filerStatus();
}

Acad::ErrorStatus AcDb3PointAngularDimension::dxfInFields(AcDbDxfFiler* filer) {
    Acad::ErrorStatus es = AcDbDimension::dxfInFields(filer);
    if (es != Acad::eOk ||
        (es = dxfExpectSubclass(filer, L"AcDb3PointAngularDimension")) != Acad::eOk) {
        return es;
    }
    AcGePoint3d center = m_center;
    AcGePoint3d p1 = m_xLine1;
    AcGePoint3d p2 = m_xLine2;
    AcGePoint3d arc = m_arcPoint;
    es = dxfReadGroups(filer, [&](const resbuf& rb) {
        switch (rb.restype) {
            case 15:
                center = rbPoint(rb);
                return true;
            case 13:
                p1 = rbPoint(rb);
                return true;
            case 14:
                p2 = rbPoint(rb);
                return true;
            case 10:
                arc = rbPoint(rb);
                return true;
            default:
                return false;
        }
    });
    if (es != Acad::eOk) {
        return es;
    }
    m_center = center;
    m_xLine1 = p1;
    m_xLine2 = p2;
    m_arcPoint = arc;
    return filer->filerStatus();
}
