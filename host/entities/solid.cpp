#include "host/entities/solid.h"

#include "host/entities/entity_filing.h"
#include "host/entities/geom_util.h"
#include "host/gi/worlddraw.h"

ACRX_HOST_DXF_CLASS(AcDbSolid, AcDbEntity, "SOLID");

using namespace kxhost::detail;

AcDbSolid::AcDbSolid() = default;

AcDbSolid::AcDbSolid(const AcGePoint3d& pt0, const AcGePoint3d& pt1, const AcGePoint3d& pt2,
                     const AcGePoint3d& pt3)
    : m_points{pt0, pt1, pt2, pt3} {}

AcDbSolid::AcDbSolid(const AcGePoint3d& pt0, const AcGePoint3d& pt1, const AcGePoint3d& pt2)
    : m_points{pt0, pt1, pt2, pt2} {}

AcDbSolid::~AcDbSolid() = default;

Acad::ErrorStatus AcDbSolid::getPointAt(Adesk::UInt16 index, AcGePoint3d& point) const {
    assertReadEnabled();
    if (index > 3) {
        return Acad::eInvalidIndex;
    }
    point = m_points[index];
    return Acad::eOk;
}

Acad::ErrorStatus AcDbSolid::setPointAt(Adesk::UInt16 index, const AcGePoint3d& point) {
    if (index > 3) {
        return Acad::eInvalidIndex;
    }
    return setField(m_points[index], point);
}

AcGeVector3d AcDbSolid::normal() const {
    assertReadEnabled();
    return m_normal;
}
Acad::ErrorStatus AcDbSolid::setNormal(const AcGeVector3d& normal) {
    return normal.isZeroLength() ? Acad::eInvalidInput : setField(m_normal, normal.normal());
}
double AcDbSolid::thickness() const {
    assertReadEnabled();
    return m_thickness;
}
Acad::ErrorStatus AcDbSolid::setThickness(double thickness) {
    return setField(m_thickness, thickness);
}

Acad::ErrorStatus AcDbSolid::transformBy(const AcGeMatrix3d& xform) {
    Acad::ErrorStatus es = beginModify();
    if (es != Acad::eOk) {
        return es;
    }
    AcGeVector3d extrusion = m_normal * m_thickness;
    extrusion.transformBy(xform);
    for (AcGePoint3d& p : m_points) {
        p.transformBy(xform);
    }
    m_normal = transformNormal(xform, m_normal);
    m_thickness = extrusion.dotProduct(m_normal);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbSolid::getGeomExtents(AcDbExtents& extents) const {
    assertReadEnabled();
    extents.setEmpty();
    for (const AcGePoint3d& p : m_points) {
        extents.addPoint(p);
        if (m_thickness != 0.0) {
            extents.addPoint(p + m_normal * m_thickness);
        }
    }
    return Acad::eOk;
}

Acad::ErrorStatus AcDbSolid::subGetGripPoints(AcGePoint3dArray& gripPoints,
                                              AcDbIntArray& osnapModes,
                                              AcDbIntArray& geomIds) const {
    assertReadEnabled();
    for (const AcGePoint3d& p : m_points) {
        gripPoints.append(p);
    }
    return Acad::eOk;
}

Acad::ErrorStatus AcDbSolid::subMoveGripPointsAt(const AcDbIntArray& indices,
                                                 const AcGeVector3d& offset) {
    std::vector<bool> chosen;
    Acad::ErrorStatus es = chooseIndices(indices, 4, chosen);
    if (es != Acad::eOk || (es = beginModify()) != Acad::eOk) {
        return es;
    }
    for (int i = 0; i < 4; ++i) {
        if (chosen[i]) {
            m_points[i] += offset;
        }
    }
    return Acad::eOk;
}

bool AcDbSolid::subWorldDraw(AcGiWorldDraw* wd) {
    assertReadEnabled();
    if (wd == nullptr) {
        return false;
    }
    const AcGePoint3d outline[4] = {m_points[0], m_points[1], m_points[3], m_points[2]};
    wd->geometry().polygon(4, outline);
    return true;
}

Acad::ErrorStatus AcDbSolid::dwgOutFields(AcDbDwgFiler* filer) const {
    Acad::ErrorStatus es = AcDbEntity::dwgOutFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    for (const AcGePoint3d& p : m_points) {
        filer->writePoint3d(p);
    }
    filer->writeVector3d(m_normal);
    filer->writeDouble(m_thickness);
    return filer->filerStatus();
}

Acad::ErrorStatus AcDbSolid::dwgInFields(AcDbDwgFiler* filer) {
    Acad::ErrorStatus es = AcDbEntity::dwgInFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    AcGePoint3d points[4];
    AcGeVector3d normal;
    double thickness = 0.0;
    for (AcGePoint3d& p : points) {
        if ((es = filer->readPoint3d(&p)) != Acad::eOk) {
            return es;
        }
    }
    if ((es = readNormal(filer, normal)) != Acad::eOk ||
        (es = filer->readDouble(&thickness)) != Acad::eOk) {
        return es;
    }
    for (int i = 0; i < 4; ++i) {
        m_points[i] = points[i];
    }
    m_normal = normal;
    m_thickness = thickness;
    return filer->filerStatus();
}

Acad::ErrorStatus AcDbSolid::dxfOutFields(AcDbDxfFiler* filer) const {
    Acad::ErrorStatus es = AcDbEntity::dxfOutFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    filer->writeString(100, L"AcDbTrace");
    for (int i = 0; i < 4; ++i) {
        filer->writePoint3d(10 + i, m_points[i]);
    }
    filer->writeDouble(39, m_thickness);
    filer->writeVector3d(210, m_normal);
    return filer->filerStatus();
}

Acad::ErrorStatus AcDbSolid::dxfInFields(AcDbDxfFiler* filer) {
    Acad::ErrorStatus es = AcDbEntity::dxfInFields(filer);
    if (es != Acad::eOk || (es = dxfExpectSubclass(filer, L"AcDbTrace")) != Acad::eOk) {
        return es;
    }
    AcGePoint3d points[4] = {m_points[0], m_points[1], m_points[2], m_points[3]};
    AcGeVector3d normal = m_normal;
    double thickness = m_thickness;
    es = dxfReadGroups(filer, [&](const resbuf& rb) {
        if (rb.restype >= 10 && rb.restype <= 13) {
            points[rb.restype - 10] = rbPoint(rb);
            return true;
        }
        if (rb.restype == 39) {
            thickness = rb.resval.rreal;
            return true;
        }
        if (rb.restype == 210) {
            normal = rbVector(rb);
            return true;
        }
        return false;
    });
    if (es != Acad::eOk || (es = checkDxfNormal(normal)) != Acad::eOk) {
        return es;
    }
    for (int i = 0; i < 4; ++i) {
        m_points[i] = points[i];
    }
    m_normal = normal;
    m_thickness = thickness;
    return filer->filerStatus();
}
