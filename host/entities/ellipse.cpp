#include "host/entities/ellipse.h"

#include <algorithm>
#include <cmath>

#include "host/entities/entity_filing.h"
#include "host/entities/geom_util.h"
#include "host/gi/worlddraw.h"

ACRX_HOST_DXF_CLASS(AcDbEllipse, AcDbCurve, "ELLIPSE");

using namespace kxhost::detail;

namespace {
bool validShape(const AcGeVector3d& normal, const AcGeVector3d& major, double ratio) {
    if (!isFiniteVector(normal) || !isFiniteVector(major) || normal.isZeroLength() ||
        major.isZeroLength() || !std::isfinite(ratio) || ratio <= 0.0 || ratio > 1.0) {
        return false;
    }
    return std::fabs(normal.normal().dotProduct(major)) <= 1e-9 * major.length();
}
}  // namespace

AcDbEllipse::AcDbEllipse() = default;

AcDbEllipse::AcDbEllipse(const AcGePoint3d& center, const AcGeVector3d& normal,
                         const AcGeVector3d& majorAxis, double radiusRatio, double startParam,
                         double endParam) {
    set(center, normal, majorAxis, radiusRatio, startParam, endParam);
}

AcDbEllipse::~AcDbEllipse() = default;

Acad::ErrorStatus AcDbEllipse::set(const AcGePoint3d& center, const AcGeVector3d& normal,
                                   const AcGeVector3d& majorAxis, double radiusRatio,
                                   double startParam, double endParam) {
    if (!validShape(normal, majorAxis, radiusRatio)) {
        return Acad::eInvalidInput;
    }
    if (!isWriteEnabled()) {
        return Acad::eNotOpenForWrite;
    }
    assertWriteEnabled();
    m_center = center;
    m_normal = normal.normal();
    m_major = majorAxis;
    m_ratio = radiusRatio;
    m_start = normalizeAngle(startParam);
    m_end = normalizeAngle(endParam);
    return Acad::eOk;
}

AcGePoint3d AcDbEllipse::center() const {
    assertReadEnabled();
    return m_center;
}
Acad::ErrorStatus AcDbEllipse::setCenter(const AcGePoint3d& center) {
    return setField(m_center, center);
}
AcGeVector3d AcDbEllipse::normal() const {
    assertReadEnabled();
    return m_normal;
}
AcGeVector3d AcDbEllipse::majorAxis() const {
    assertReadEnabled();
    return m_major;
}
AcGeVector3d AcDbEllipse::minorAxis() const {
    assertReadEnabled();
    return m_normal.crossProduct(m_major) * m_ratio;
}
double AcDbEllipse::radiusRatio() const {
    assertReadEnabled();
    return m_ratio;
}
Acad::ErrorStatus AcDbEllipse::setRadiusRatio(double ratio) {
    return validShape(m_normal, m_major, ratio) ? setField(m_ratio, ratio) : Acad::eInvalidInput;
}
double AcDbEllipse::startParam() const {
    assertReadEnabled();
    return m_start;
}
Acad::ErrorStatus AcDbEllipse::setStartParam(double param) {
    return setField(m_start, normalizeAngle(param));
}
double AcDbEllipse::endParam() const {
    assertReadEnabled();
    return m_end;
}
Acad::ErrorStatus AcDbEllipse::setEndParam(double param) {
    return setField(m_end, normalizeAngle(param));
}

double AcDbEllipse::sweep() const {
    const double d = normalizeAngle(m_end - m_start);
    return d == 0.0 ? kTwoPi : d;
}

AcGePoint3d AcDbEllipse::pointAtParam(double param) const {
    assertReadEnabled();
    return m_center + m_major * std::cos(param) +
           m_normal.crossProduct(m_major) * (m_ratio * std::sin(param));
}

bool AcDbEllipse::isClosed() const {
    assertReadEnabled();
    return m_start == m_end;
}
Acad::ErrorStatus AcDbEllipse::getStartPoint(AcGePoint3d& point) const {
    point = pointAtParam(m_start);
    return Acad::eOk;
}
Acad::ErrorStatus AcDbEllipse::getEndPoint(AcGePoint3d& point) const {
    point = pointAtParam(m_end);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbEllipse::transformBy(const AcGeMatrix3d& xform) {
    if (!isWriteEnabled()) {
        return Acad::eNotOpenForWrite;
    }
    if (!isSimilarity(xform)) {
        return Acad::eNotApplicable;
    }
    assertWriteEnabled();
    m_center.transformBy(xform);
    m_major.transformBy(xform);
    m_normal = transformNormal(xform, m_normal);
    if (xform.det() < 0.0) {
        // The image of the minor axis now points against normal x major: the parameter runs
        // the other way round.
        const double start = m_start;
        m_start = normalizeAngle(-m_end);
        m_end = normalizeAngle(-start);
    }
    return Acad::eOk;
}

Acad::ErrorStatus AcDbEllipse::getGeomExtents(AcDbExtents& extents) const {
    assertReadEnabled();
    extents.setEmpty();
    addArcExtents(extents, m_center, m_major, m_normal.crossProduct(m_major) * m_ratio, m_start,
                  m_start + sweep());
    return Acad::eOk;
}

Acad::ErrorStatus AcDbEllipse::subGetGripPoints(AcGePoint3dArray& gripPoints,
                                                AcDbIntArray& osnapModes,
                                                AcDbIntArray& geomIds) const {
    assertReadEnabled();
    const AcGeVector3d minor = m_normal.crossProduct(m_major) * m_ratio;
    gripPoints.append(m_center);
    gripPoints.append(m_center + m_major);
    gripPoints.append(m_center + minor);
    gripPoints.append(m_center - m_major);
    gripPoints.append(m_center - minor);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbEllipse::subMoveGripPointsAt(const AcDbIntArray& indices,
                                                   const AcGeVector3d& offset) {
    std::vector<bool> chosen;
    Acad::ErrorStatus es = chooseIndices(indices, 5, chosen);
    if (es != Acad::eOk) {
        return es;
    }
    if (!isWriteEnabled()) {
        return Acad::eNotOpenForWrite;
    }
    if (chosen[0]) {
        assertWriteEnabled();
        m_center += offset;
        return Acad::eOk;
    }
    const AcGeVector3d minor = m_normal.crossProduct(m_major) * m_ratio;
    double majorLength = m_major.length();
    double minorLength = minor.length();
    const AcGeVector3d axes[4] = {m_major, minor, -m_major, -minor};
    for (int i = 0; i < 4; ++i) {
        if (chosen[i + 1]) {
            const double d = (axes[i] + offset).length();
            (i % 2 == 0 ? majorLength : minorLength) = d;
        }
    }
    if (majorLength <= 0.0 || minorLength <= 0.0 || minorLength > majorLength) {
        return Acad::eNotApplicable;
    }
    assertWriteEnabled();
    m_major = m_major.normal() * majorLength;
    m_ratio = minorLength / majorLength;
    return Acad::eOk;
}

Acad::ErrorStatus AcDbEllipse::subGetStretchPoints(AcGePoint3dArray& stretchPoints) const {
    assertReadEnabled();
    stretchPoints.append(m_center);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbEllipse::subMoveStretchPointsAt(const AcDbIntArray& indices,
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

bool AcDbEllipse::subWorldDraw(AcGiWorldDraw* wd) {
    assertReadEnabled();
    if (wd == nullptr) {
        return false;
    }
    const double total = sweep();
    const int segments = std::max(4, static_cast<int>(std::ceil(64.0 * total / kTwoPi)));
    AcGePoint3dArray points;
    for (int i = 0; i <= segments; ++i) {
        points.append(pointAtParam(m_start + total * i / segments));
    }
    wd->geometry().polyline(static_cast<Adesk::UInt32>(points.length()), points.asArrayPtr(),
                            &m_normal);
    return true;
}

Acad::ErrorStatus AcDbEllipse::dwgOutFields(AcDbDwgFiler* filer) const {
    Acad::ErrorStatus es = AcDbCurve::dwgOutFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    filer->writePoint3d(m_center);
    filer->writeVector3d(m_major);
    filer->writeVector3d(m_normal);
    filer->writeDouble(m_ratio);
    filer->writeDouble(m_start);
    filer->writeDouble(m_end);
    return filer->filerStatus();
}

Acad::ErrorStatus AcDbEllipse::dwgInFields(AcDbDwgFiler* filer) {
    Acad::ErrorStatus es = AcDbCurve::dwgInFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    AcGePoint3d center;
    AcGeVector3d major;
    AcGeVector3d normal;
    double ratio = 0.0;
    double start = 0.0;
    double end = 0.0;
    if ((es = filer->readPoint3d(&center)) != Acad::eOk ||
        (es = filer->readVector3d(&major)) != Acad::eOk ||
        (es = readNormal(filer, normal)) != Acad::eOk ||
        (es = filer->readDouble(&ratio)) != Acad::eOk ||
        (es = filer->readDouble(&start)) != Acad::eOk ||
        (es = filer->readDouble(&end)) != Acad::eOk) {
        return es;
    }
    if (!validShape(normal, major, ratio)) {
        return filerFail(filer);
    }
    m_center = center;
    m_major = major;
    m_normal = normal;
    m_ratio = ratio;
    m_start = normalizeAngle(start);
    m_end = normalizeAngle(end);
    return filer->filerStatus();
}

Acad::ErrorStatus AcDbEllipse::dxfOutFields(AcDbDxfFiler* filer) const {
    Acad::ErrorStatus es = AcDbCurve::dxfOutFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    filer->writeString(100, L"AcDbEllipse");
    filer->writePoint3d(10, m_center);
    filer->writePoint3d(11, AcGePoint3d(m_major.x, m_major.y, m_major.z));
    filer->writeVector3d(210, m_normal);
    filer->writeDouble(40, m_ratio);
    filer->writeDouble(41, m_start);
    filer->writeDouble(42, m_end);
    return filer->filerStatus();
}

Acad::ErrorStatus AcDbEllipse::dxfInFields(AcDbDxfFiler* filer) {
    Acad::ErrorStatus es = AcDbCurve::dxfInFields(filer);
    if (es != Acad::eOk || (es = dxfExpectSubclass(filer, L"AcDbEllipse")) != Acad::eOk) {
        return es;
    }
    AcGePoint3d center = m_center;
    AcGeVector3d major = m_major;
    AcGeVector3d normal = m_normal;
    double ratio = m_ratio;
    double start = m_start;
    double end = m_end;
    es = dxfReadGroups(filer, [&](const resbuf& rb) {
        switch (rb.restype) {
            case 10:
                center = rbPoint(rb);
                return true;
            case 11:
                major = rbVector(rb);
                return true;
            case 210:
                normal = rbVector(rb);
                return true;
            case 40:
                ratio = rb.resval.rreal;
                return true;
            case 41:
                start = rb.resval.rreal;
                return true;
            case 42:
                end = rb.resval.rreal;
                return true;
            default:
                return false;
        }
    });
    if (es != Acad::eOk || (es = checkDxfNormal(normal)) != Acad::eOk) {
        return es;
    }
    if (!validShape(normal, major, ratio)) {
        return Acad::eInvalidDxfCode;
    }
    m_center = center;
    m_major = major;
    m_normal = normal;
    m_ratio = ratio;
    m_start = normalizeAngle(start);
    m_end = normalizeAngle(end);
    return filer->filerStatus();
}
