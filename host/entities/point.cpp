#include "host/entities/point.h"

#include "host/entities/entity_filing.h"
#include "host/entities/geom_util.h"
#include "host/gi/worlddraw.h"

ACRX_HOST_DXF_CLASS(AcDbPoint, AcDbEntity, "POINT");

using namespace kxhost::detail;

AcDbPoint::AcDbPoint() = default;
AcDbPoint::AcDbPoint(const AcGePoint3d& position) : m_position(position) {}
AcDbPoint::~AcDbPoint() = default;

AcGePoint3d AcDbPoint::position() const {
    assertReadEnabled();
    return m_position;
}
Acad::ErrorStatus AcDbPoint::setPosition(const AcGePoint3d& position) {
    return setField(m_position, position);
}
AcGeVector3d AcDbPoint::normal() const {
    assertReadEnabled();
    return m_normal;
}
Acad::ErrorStatus AcDbPoint::setNormal(const AcGeVector3d& normal) {
    return normal.isZeroLength() ? Acad::eInvalidInput : setField(m_normal, normal.normal());
}
double AcDbPoint::thickness() const {
    assertReadEnabled();
    return m_thickness;
}
Acad::ErrorStatus AcDbPoint::setThickness(double thickness) {
    return setField(m_thickness, thickness);
}

Acad::ErrorStatus AcDbPoint::transformBy(const AcGeMatrix3d& xform) {
    Acad::ErrorStatus es = beginModify();
    if (es != Acad::eOk) {
        return es;
    }
    AcGeVector3d extrusion = m_normal * m_thickness;
    extrusion.transformBy(xform);
    m_position.transformBy(xform);
    m_normal = transformNormal(xform, m_normal);
    m_thickness = extrusion.dotProduct(m_normal);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbPoint::getGeomExtents(AcDbExtents& extents) const {
    assertReadEnabled();
    extents.setEmpty();
    extents.addPoint(m_position);
    if (m_thickness != 0.0) {
        extents.addPoint(m_position + m_normal * m_thickness);
    }
    return Acad::eOk;
}

Acad::ErrorStatus AcDbPoint::subGetGripPoints(AcGePoint3dArray& gripPoints,
                                              AcDbIntArray& osnapModes,
                                              AcDbIntArray& geomIds) const {
    assertReadEnabled();
    gripPoints.append(m_position);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbPoint::subMoveGripPointsAt(const AcDbIntArray& indices,
                                                 const AcGeVector3d& offset) {
    std::vector<bool> chosen;
    Acad::ErrorStatus es = chooseIndices(indices, 1, chosen);
    if (es != Acad::eOk || (es = beginModify()) != Acad::eOk) {
        return es;
    }
    if (chosen[0]) {
        m_position += offset;
    }
    return Acad::eOk;
}

bool AcDbPoint::subWorldDraw(AcGiWorldDraw* wd) {
    assertReadEnabled();
    if (wd == nullptr) {
        return false;
    }
    const AcGePoint3d points[2] = {m_position, m_position};
    wd->geometry().polyline(2, points, &m_normal);
    return true;
}

Acad::ErrorStatus AcDbPoint::dwgOutFields(AcDbDwgFiler* filer) const {
    Acad::ErrorStatus es = AcDbEntity::dwgOutFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    filer->writePoint3d(m_position);
    filer->writeVector3d(m_normal);
    filer->writeDouble(m_thickness);
    return filer->filerStatus();
}

Acad::ErrorStatus AcDbPoint::dwgInFields(AcDbDwgFiler* filer) {
    Acad::ErrorStatus es = AcDbEntity::dwgInFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    AcGePoint3d position;
    AcGeVector3d normal;
    double thickness = 0.0;
    if ((es = filer->readPoint3d(&position)) != Acad::eOk ||
        (es = readNormal(filer, normal)) != Acad::eOk ||
        (es = filer->readDouble(&thickness)) != Acad::eOk) {
        return es;
    }
    m_position = position;
    m_normal = normal;
    m_thickness = thickness;
    return filer->filerStatus();
}

Acad::ErrorStatus AcDbPoint::dxfOutFields(AcDbDxfFiler* filer) const {
    Acad::ErrorStatus es = AcDbEntity::dxfOutFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    filer->writeString(100, L"AcDbPoint");
    filer->writePoint3d(10, m_position);
    filer->writeDouble(39, m_thickness);
    filer->writeVector3d(210, m_normal);
    return filer->filerStatus();
}

Acad::ErrorStatus AcDbPoint::dxfInFields(AcDbDxfFiler* filer) {
    Acad::ErrorStatus es = AcDbEntity::dxfInFields(filer);
    if (es != Acad::eOk || (es = dxfExpectSubclass(filer, L"AcDbPoint")) != Acad::eOk) {
        return es;
    }
    AcGePoint3d position = m_position;
    AcGeVector3d normal = m_normal;
    double thickness = m_thickness;
    es = dxfReadGroups(filer, [&](const resbuf& rb) {
        switch (rb.restype) {
            case 10:
                position = rbPoint(rb);
                return true;
            case 39:
                thickness = rb.resval.rreal;
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
    m_position = position;
    m_normal = normal;
    m_thickness = thickness;
    return filer->filerStatus();
}
