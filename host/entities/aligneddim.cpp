#include "host/entities/aligneddim.h"

#include "host/entities/entity_filing.h"
#include "host/gi/worlddraw.h"

ACRX_HOST_DXF_CLASS(AcDbAlignedDimension, AcDbDimension, "DIMENSION");

using namespace kxhost::detail;

AcDbAlignedDimension::AcDbAlignedDimension() = default;

AcDbAlignedDimension::AcDbAlignedDimension(const AcGePoint3d& xLine1Point,
                                           const AcGePoint3d& xLine2Point,
                                           const AcGePoint3d& dimLinePoint, const ACHAR* dimText,
                                           AcDbObjectId dimStyle)
    : m_xLine1(xLine1Point), m_xLine2(xLine2Point), m_dimLine(dimLinePoint) {
    if (dimText != nullptr) {
        setDimensionText(dimText);
    }
    AcGePoint3d a;
    AcGePoint3d b;
    dimensionLine(a, b);
    setTextPosition(a + (b - a) * 0.5);
}

AcDbAlignedDimension::~AcDbAlignedDimension() = default;

AcGePoint3d AcDbAlignedDimension::xLine1Point() const {
    assertReadEnabled();
    return m_xLine1;
}
Acad::ErrorStatus AcDbAlignedDimension::setXLine1Point(const AcGePoint3d& point) {
    return setField(m_xLine1, point);
}
AcGePoint3d AcDbAlignedDimension::xLine2Point() const {
    assertReadEnabled();
    return m_xLine2;
}
Acad::ErrorStatus AcDbAlignedDimension::setXLine2Point(const AcGePoint3d& point) {
    return setField(m_xLine2, point);
}
AcGePoint3d AcDbAlignedDimension::dimLinePoint() const {
    assertReadEnabled();
    return m_dimLine;
}
Acad::ErrorStatus AcDbAlignedDimension::setDimLinePoint(const AcGePoint3d& point) {
    return setField(m_dimLine, point);
}
double AcDbAlignedDimension::oblique() const {
    assertReadEnabled();
    return m_oblique;
}
Acad::ErrorStatus AcDbAlignedDimension::setOblique(double angle) {
    return setField(m_oblique, angle);
}

Acad::ErrorStatus AcDbAlignedDimension::measurement(double& value) const {
    assertReadEnabled();
    value = m_xLine1.distanceTo(m_xLine2);
    return Acad::eOk;
}

void AcDbAlignedDimension::dimensionLine(AcGePoint3d& start, AcGePoint3d& end) const {
    const AcGeVector3d along = (m_xLine2 - m_xLine1).normal();
    const AcGeVector3d toLine = m_dimLine - m_xLine1;
    const AcGeVector3d across = toLine - along * toLine.dotProduct(along);
    start = m_xLine1 + across;
    end = m_xLine2 + across;
}

Acad::ErrorStatus AcDbAlignedDimension::transformBy(const AcGeMatrix3d& xform) {
    Acad::ErrorStatus es = beginModify();
    if (es != Acad::eOk) {
        return es;
    }
    transformBase(xform);
    m_xLine1.transformBy(xform);
    m_xLine2.transformBy(xform);
    m_dimLine.transformBy(xform);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbAlignedDimension::getGeomExtents(AcDbExtents& extents) const {
    assertReadEnabled();
    extents.setEmpty();
    AcGePoint3d a;
    AcGePoint3d b;
    dimensionLine(a, b);
    for (const AcGePoint3d& p : {m_xLine1, m_xLine2, a, b, textPosition()}) {
        extents.addPoint(p);
    }
    return Acad::eOk;
}

Acad::ErrorStatus AcDbAlignedDimension::subGetGripPoints(AcGePoint3dArray& gripPoints,
                                                         AcDbIntArray& osnapModes,
                                                         AcDbIntArray& geomIds) const {
    assertReadEnabled();
    gripPoints.append(m_xLine1);
    gripPoints.append(m_xLine2);
    gripPoints.append(m_dimLine);
    gripPoints.append(textPosition());
    return Acad::eOk;
}

Acad::ErrorStatus AcDbAlignedDimension::subMoveGripPointsAt(const AcDbIntArray& indices,
                                                            const AcGeVector3d& offset) {
    std::vector<bool> chosen;
    Acad::ErrorStatus es = chooseIndices(indices, 4, chosen);
    if (es != Acad::eOk || (es = beginModify()) != Acad::eOk) {
        return es;
    }
    AcGePoint3d* points[3] = {&m_xLine1, &m_xLine2, &m_dimLine};
    for (int i = 0; i < 3; ++i) {
        if (chosen[i]) {
            *points[i] += offset;
        }
    }
    if (chosen[3]) {
        setTextPosition(textPosition() + offset);
    }
    return Acad::eOk;
}

bool AcDbAlignedDimension::subWorldDraw(AcGiWorldDraw* wd) {
    assertReadEnabled();
    if (wd == nullptr) {
        return false;
    }
    AcGePoint3d a;
    AcGePoint3d b;
    dimensionLine(a, b);
    const AcGePoint3d ext1[2] = {m_xLine1, a};
    const AcGePoint3d ext2[2] = {m_xLine2, b};
    const AcGePoint3d line[2] = {a, b};
    wd->geometry().polyline(2, ext1);
    wd->geometry().polyline(2, ext2);
    wd->geometry().polyline(2, line);
    const AcGeVector3d direction =
        m_xLine1.isEqualTo(m_xLine2) ? AcGeVector3d::kXAxis : (m_xLine2 - m_xLine1).normal();
    const AcString text = formattedText();
    wd->geometry().text(textPosition(), normal(), direction, 1.0, 1.0, 0.0, text.kwszPtr());
    return true;
}

Acad::ErrorStatus AcDbAlignedDimension::dwgOutFields(AcDbDwgFiler* filer) const {
    Acad::ErrorStatus es = AcDbDimension::dwgOutFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    filer->writePoint3d(m_xLine1);
    filer->writePoint3d(m_xLine2);
    filer->writePoint3d(m_dimLine);
    filer->writeDouble(m_oblique);
    return filer->filerStatus();
}

Acad::ErrorStatus AcDbAlignedDimension::dwgInFields(AcDbDwgFiler* filer) {
    Acad::ErrorStatus es = AcDbDimension::dwgInFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    AcGePoint3d p1;
    AcGePoint3d p2;
    AcGePoint3d dimLine;
    double oblique = 0.0;
    if ((es = filer->readPoint3d(&p1)) != Acad::eOk ||
        (es = filer->readPoint3d(&p2)) != Acad::eOk ||
        (es = filer->readPoint3d(&dimLine)) != Acad::eOk ||
        (es = filer->readDouble(&oblique)) != Acad::eOk) {
        return es;
    }
    m_xLine1 = p1;
    m_xLine2 = p2;
    m_dimLine = dimLine;
    m_oblique = oblique;
    return filer->filerStatus();
}

Acad::ErrorStatus AcDbAlignedDimension::dxfOutFields(AcDbDxfFiler* filer) const {
    Acad::ErrorStatus es = AcDbDimension::dxfOutFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    filer->writeString(100, L"AcDbAlignedDimension");
    filer->writePoint3d(13, m_xLine1);
    filer->writePoint3d(14, m_xLine2);
    filer->writePoint3d(10, m_dimLine);
    filer->writeAngle(52, m_oblique);
    return filer->filerStatus();
}

Acad::ErrorStatus AcDbAlignedDimension::dxfInFields(AcDbDxfFiler* filer) {
    Acad::ErrorStatus es = AcDbDimension::dxfInFields(filer);
    if (es != Acad::eOk || (es = dxfExpectSubclass(filer, L"AcDbAlignedDimension")) != Acad::eOk) {
        return es;
    }
    AcGePoint3d p1 = m_xLine1;
    AcGePoint3d p2 = m_xLine2;
    AcGePoint3d dimLine = m_dimLine;
    double oblique = m_oblique;
    es = dxfReadGroups(filer, [&](const resbuf& rb) {
        switch (rb.restype) {
            case 13:
                p1 = rbPoint(rb);
                return true;
            case 14:
                p2 = rbPoint(rb);
                return true;
            case 10:
                dimLine = rbPoint(rb);
                return true;
            case 52:
                oblique = rb.resval.rreal;
                return true;
            default:
                return false;
        }
    });
    if (es != Acad::eOk) {
        return es;
    }
    m_xLine1 = p1;
    m_xLine2 = p2;
    m_dimLine = dimLine;
    m_oblique = oblique;
    return filer->filerStatus();
}
