#include "host/entities/line.h"

#include "host/entities/entity_filing.h"
#include "host/entities/geom_util.h"
#include "host/ge/curves.h"
#include "host/gi/worlddraw.h"

ACRX_HOST_DXF_CLASS(AcDbLine, AcDbCurve, "LINE");

using namespace kxhost::detail;

AcDbLine::AcDbLine() = default;
AcDbLine::AcDbLine(const AcGePoint3d& start, const AcGePoint3d& end) : m_start(start), m_end(end) {}
AcDbLine::~AcDbLine() = default;

AcGePoint3d AcDbLine::startPoint() const {
    assertReadEnabled();
    return m_start;
}
Acad::ErrorStatus AcDbLine::setStartPoint(const AcGePoint3d& point) {
    return setField(m_start, point);
}
AcGePoint3d AcDbLine::endPoint() const {
    assertReadEnabled();
    return m_end;
}
Acad::ErrorStatus AcDbLine::setEndPoint(const AcGePoint3d& point) {
    return setField(m_end, point);
}
AcGeVector3d AcDbLine::normal() const {
    assertReadEnabled();
    return m_normal;
}
Acad::ErrorStatus AcDbLine::setNormal(const AcGeVector3d& normal) {
    if (normal.isZeroLength()) {
        return Acad::eInvalidInput;
    }
    return setField(m_normal, normal.normal());
}
double AcDbLine::thickness() const {
    assertReadEnabled();
    return m_thickness;
}
Acad::ErrorStatus AcDbLine::setThickness(double thickness) {
    return setField(m_thickness, thickness);
}

Acad::ErrorStatus AcDbLine::getStartPoint(AcGePoint3d& point) const {
    point = startPoint();
    return Acad::eOk;
}
Acad::ErrorStatus AcDbLine::getEndPoint(AcGePoint3d& point) const {
    point = endPoint();
    return Acad::eOk;
}

Acad::ErrorStatus AcDbLine::getClosestPointTo(const AcGePoint3d& givenPoint,
                                              AcGePoint3d& pointOnCurve, bool extend) const {
    assertReadEnabled();
    if (m_start.isEqualTo(m_end)) {
        pointOnCurve = m_start;
    } else if (extend) {
        pointOnCurve = AcGeLine3d(m_start, m_end).closestPointTo(givenPoint);
    } else {
        pointOnCurve = AcGeLineSeg3d(m_start, m_end).closestPointTo(givenPoint);
    }
    return Acad::eOk;
}

Acad::ErrorStatus AcDbLine::transformBy(const AcGeMatrix3d& xform) {
    if (!isWriteEnabled()) {
        return Acad::eNotOpenForWrite;
    }
    assertWriteEnabled();
    AcGeVector3d extrusion = m_normal * m_thickness;
    extrusion.transformBy(xform);
    m_start.transformBy(xform);
    m_end.transformBy(xform);
    m_normal = transformNormal(xform, m_normal);
    m_thickness = extrusion.dotProduct(m_normal);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbLine::getGeomExtents(AcDbExtents& extents) const {
    assertReadEnabled();
    extents.setEmpty();
    extents.addPoint(m_start);
    extents.addPoint(m_end);
    if (m_thickness != 0.0) {
        extents.addPoint(m_start + m_normal * m_thickness);
        extents.addPoint(m_end + m_normal * m_thickness);
    }
    return Acad::eOk;
}

Acad::ErrorStatus AcDbLine::subGetGripPoints(AcGePoint3dArray& gripPoints, AcDbIntArray& osnapModes,
                                             AcDbIntArray& geomIds) const {
    assertReadEnabled();
    gripPoints.append(m_start);
    gripPoints.append(m_end);
    gripPoints.append(m_start + (m_end - m_start) * 0.5);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbLine::subMoveGripPointsAt(const AcDbIntArray& indices,
                                                const AcGeVector3d& offset) {
    std::vector<bool> chosen;
    Acad::ErrorStatus es = chooseIndices(indices, 3, chosen);
    if (es != Acad::eOk || (es = beginModify()) != Acad::eOk) {
        return es;
    }
    // The midpoint carries the whole line; the ends move on their own otherwise.
    if (chosen[2] || chosen[0]) {
        m_start += offset;
    }
    if (chosen[2] || chosen[1]) {
        m_end += offset;
    }
    return Acad::eOk;
}

Acad::ErrorStatus AcDbLine::subGetStretchPoints(AcGePoint3dArray& stretchPoints) const {
    assertReadEnabled();
    stretchPoints.append(m_start);
    stretchPoints.append(m_end);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbLine::subMoveStretchPointsAt(const AcDbIntArray& indices,
                                                   const AcGeVector3d& offset) {
    std::vector<bool> chosen;
    Acad::ErrorStatus es = chooseIndices(indices, 2, chosen);
    if (es != Acad::eOk || (es = beginModify()) != Acad::eOk) {
        return es;
    }
    if (chosen[0]) {
        m_start += offset;
    }
    if (chosen[1]) {
        m_end += offset;
    }
    return Acad::eOk;
}

bool AcDbLine::subWorldDraw(AcGiWorldDraw* wd) {
    assertReadEnabled();
    if (wd == nullptr) {
        return false;
    }
    const AcGePoint3d points[2] = {m_start, m_end};
    wd->geometry().polyline(2, points, &m_normal);
    return true;
}

Acad::ErrorStatus AcDbLine::dwgOutFields(AcDbDwgFiler* filer) const {
    Acad::ErrorStatus es = AcDbCurve::dwgOutFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    filer->writePoint3d(m_start);
    filer->writePoint3d(m_end);
    filer->writeVector3d(m_normal);
    filer->writeDouble(m_thickness);
    return filer->filerStatus();
}

Acad::ErrorStatus AcDbLine::dwgInFields(AcDbDwgFiler* filer) {
    Acad::ErrorStatus es = AcDbCurve::dwgInFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    AcGePoint3d start;
    AcGePoint3d end;
    AcGeVector3d normal;
    double thickness = 0.0;
    if ((es = filer->readPoint3d(&start)) != Acad::eOk ||
        (es = filer->readPoint3d(&end)) != Acad::eOk ||
        (es = readNormal(filer, normal)) != Acad::eOk ||
        (es = filer->readDouble(&thickness)) != Acad::eOk) {
        return es;
    }
    m_start = start;
    m_end = end;
    m_normal = normal;
    m_thickness = thickness;
    return filer->filerStatus();
}

Acad::ErrorStatus AcDbLine::dxfOutFields(AcDbDxfFiler* filer) const {
    Acad::ErrorStatus es = AcDbCurve::dxfOutFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    filer->writeString(100, L"AcDbLine");
    filer->writeDouble(39, m_thickness);
    filer->writePoint3d(10, m_start);
    filer->writePoint3d(11, m_end);
    filer->writeVector3d(210, m_normal);
    return filer->filerStatus();
}

Acad::ErrorStatus AcDbLine::dxfInFields(AcDbDxfFiler* filer) {
    Acad::ErrorStatus es = AcDbCurve::dxfInFields(filer);
    if (es != Acad::eOk || (es = dxfExpectSubclass(filer, L"AcDbLine")) != Acad::eOk) {
        return es;
    }
    AcGePoint3d start = m_start;
    AcGePoint3d end = m_end;
    AcGeVector3d normal = m_normal;
    double thickness = m_thickness;
    es = dxfReadGroups(filer, [&](const resbuf& rb) {
        switch (rb.restype) {
            case 39:
                thickness = rb.resval.rreal;
                return true;
            case 10:
                start = rbPoint(rb);
                return true;
            case 11:
                end = rbPoint(rb);
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
    m_start = start;
    m_end = end;
    m_normal = normal;
    m_thickness = thickness;
    return filer->filerStatus();
}
