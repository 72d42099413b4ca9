#include "host/entities/polyline.h"

#include <cmath>
#include <limits>

#include "host/entities/entity_filing.h"
#include "host/entities/geom_util.h"
#include "host/ge/curves.h"
#include "host/gi/worlddraw.h"

ACRX_HOST_DXF_CLASS(AcDbPolyline, AcDbCurve, "LWPOLYLINE");

using namespace kxhost::detail;

namespace {
bool finite2d(const AcGePoint2d& p) {
    return std::isfinite(p.x) && std::isfinite(p.y);
}
double widthOrZero(double w) {
    return std::isfinite(w) && w > 0.0 ? w : 0.0;
}
constexpr int kArcPieces = 16;
}  // namespace

AcDbPolyline::AcDbPolyline() = default;

AcDbPolyline::AcDbPolyline(unsigned int reserved) {
    m_vertices.reserve(std::min(reserved, 1024u));
}

AcDbPolyline::~AcDbPolyline() = default;

unsigned int AcDbPolyline::numVerts() const {
    assertReadEnabled();
    return static_cast<unsigned int>(m_vertices.size());
}

unsigned int AcDbPolyline::numSegments() const {
    assertReadEnabled();
    const auto n = static_cast<unsigned int>(m_vertices.size());
    if (n < 2) {
        return 0;
    }
    return m_closed ? n : n - 1;
}

Acad::ErrorStatus AcDbPolyline::addVertexAt(unsigned int index, const AcGePoint2d& point,
                                            double bulge, double startWidth, double endWidth) {
    if (index > m_vertices.size()) {
        return Acad::eInvalidIndex;
    }
    if (!finite2d(point) || !std::isfinite(bulge)) {
        return Acad::eInvalidInput;
    }
    Acad::ErrorStatus es = beginModify();
    if (es != Acad::eOk) {
        return es;
    }
    Vertex v;
    v.point = point;
    v.bulge = bulge;
    v.startWidth = widthOrZero(startWidth);
    v.endWidth = widthOrZero(endWidth);
    m_vertices.insert(m_vertices.begin() + index, v);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbPolyline::removeVertexAt(unsigned int index) {
    if (index >= m_vertices.size()) {
        return Acad::eInvalidIndex;
    }
    Acad::ErrorStatus es = beginModify();
    if (es == Acad::eOk) {
        m_vertices.erase(m_vertices.begin() + index);
    }
    return es;
}

Acad::ErrorStatus AcDbPolyline::getPointAt(unsigned int index, AcGePoint2d& point) const {
    assertReadEnabled();
    if (index >= m_vertices.size()) {
        return Acad::eInvalidIndex;
    }
    point = m_vertices[index].point;
    return Acad::eOk;
}

Acad::ErrorStatus AcDbPolyline::getPointAt(unsigned int index, AcGePoint3d& point) const {
    assertReadEnabled();
    if (index >= m_vertices.size()) {
        return Acad::eInvalidIndex;
    }
    point = toWorld(m_vertices[index].point);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbPolyline::setPointAt(unsigned int index, const AcGePoint2d& point) {
    if (index >= m_vertices.size()) {
        return Acad::eInvalidIndex;
    }
    if (!finite2d(point)) {
        return Acad::eInvalidInput;
    }
    Acad::ErrorStatus es = beginModify();
    if (es == Acad::eOk) {
        m_vertices[index].point = point;
    }
    return es;
}

Acad::ErrorStatus AcDbPolyline::getBulgeAt(unsigned int index, double& bulge) const {
    assertReadEnabled();
    if (index >= m_vertices.size()) {
        return Acad::eInvalidIndex;
    }
    bulge = m_vertices[index].bulge;
    return Acad::eOk;
}

Acad::ErrorStatus AcDbPolyline::setBulgeAt(unsigned int index, double bulge) {
    if (index >= m_vertices.size()) {
        return Acad::eInvalidIndex;
    }
    if (!std::isfinite(bulge)) {
        return Acad::eInvalidInput;
    }
    Acad::ErrorStatus es = beginModify();
    if (es == Acad::eOk) {
        m_vertices[index].bulge = bulge;
    }
    return es;
}

Acad::ErrorStatus AcDbPolyline::getWidthsAt(unsigned int index, double& startWidth,
                                            double& endWidth) const {
    assertReadEnabled();
    if (index >= m_vertices.size()) {
        return Acad::eInvalidIndex;
    }
    startWidth = m_vertices[index].startWidth;
    endWidth = m_vertices[index].endWidth;
    return Acad::eOk;
}

Acad::ErrorStatus AcDbPolyline::setWidthsAt(unsigned int index, double startWidth,
                                            double endWidth) {
    if (index >= m_vertices.size()) {
        return Acad::eInvalidIndex;
    }
    Acad::ErrorStatus es = beginModify();
    if (es == Acad::eOk) {
        m_vertices[index].startWidth = widthOrZero(startWidth);
        m_vertices[index].endWidth = widthOrZero(endWidth);
    }
    return es;
}

bool AcDbPolyline::isClosed() const {
    assertReadEnabled();
    return m_closed;
}
Acad::ErrorStatus AcDbPolyline::setClosed(bool closed) {
    return setField(m_closed, closed);
}
double AcDbPolyline::elevation() const {
    assertReadEnabled();
    return m_elevation;
}
Acad::ErrorStatus AcDbPolyline::setElevation(double elevation) {
    return setField(m_elevation, elevation);
}
AcGeVector3d AcDbPolyline::normal() const {
    assertReadEnabled();
    return m_normal;
}
Acad::ErrorStatus AcDbPolyline::setNormal(const AcGeVector3d& normal) {
    return normal.isZeroLength() ? Acad::eInvalidInput : setField(m_normal, normal.normal());
}
double AcDbPolyline::thickness() const {
    assertReadEnabled();
    return m_thickness;
}
Acad::ErrorStatus AcDbPolyline::setThickness(double thickness) {
    return setField(m_thickness, thickness);
}

AcGePoint3d AcDbPolyline::toWorld(const AcGePoint2d& p) const {
    return AcGeMatrix3d::planeToWorld(m_normal) * AcGePoint3d(p.x, p.y, m_elevation);
}

AcDbPolyline::SegType AcDbPolyline::segType(unsigned int index) const {
    assertReadEnabled();
    if (m_vertices.size() == 1 && index == 0) {
        return kPoint;
    }
    if (index >= numSegments()) {
        return kEmpty;
    }
    const Vertex& a = m_vertices[index];
    const Vertex& b = m_vertices[(index + 1) % m_vertices.size()];
    if (a.point.isEqualTo(b.point)) {
        return kCoincident;
    }
    return a.bulge != 0.0 ? kArc : kLine;
}

Acad::ErrorStatus AcDbPolyline::getLineSegAt(unsigned int index, AcGeLineSeg3d& line) const {
    const SegType type = segType(index);
    if (type == kEmpty || type == kPoint) {
        return Acad::eInvalidIndex;
    }
    if (type != kLine) {
        return Acad::eNotApplicable;
    }
    line.set(toWorld(m_vertices[index].point),
             toWorld(m_vertices[(index + 1) % m_vertices.size()].point));
    return Acad::eOk;
}

Acad::ErrorStatus AcDbPolyline::getArcSegAt(unsigned int index, AcGeCircArc3d& arc) const {
    const SegType type = segType(index);
    if (type == kEmpty || type == kPoint) {
        return Acad::eInvalidIndex;
    }
    if (type != kArc) {
        return Acad::eNotApplicable;
    }
    const Vertex& a = m_vertices[index];
    const Vertex& b = m_vertices[(index + 1) % m_vertices.size()];
    BulgeArc geo;
    if (!bulgeArc(a.point, b.point, a.bulge, geo)) {
        return Acad::eNotApplicable;
    }
    // A clockwise arc runs counter-clockwise about the reversed normal.
    const AcGePoint3d center = toWorld(geo.center);
    const AcGeVector3d axis = geo.sweep > 0.0 ? m_normal : -m_normal;
    arc.set(center, axis, toWorld(a.point) - center, geo.radius, 0.0, std::fabs(geo.sweep));
    return Acad::eOk;
}

Acad::ErrorStatus AcDbPolyline::getStartPoint(AcGePoint3d& point) const {
    assertReadEnabled();
    if (m_vertices.empty()) {
        return Acad::eNotApplicable;
    }
    point = toWorld(m_vertices.front().point);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbPolyline::getEndPoint(AcGePoint3d& point) const {
    assertReadEnabled();
    if (m_vertices.empty()) {
        return Acad::eNotApplicable;
    }
    point = toWorld(m_closed ? m_vertices.front().point : m_vertices.back().point);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbPolyline::getClosestPointTo(const AcGePoint3d& givenPoint,
                                                  AcGePoint3d& pointOnCurve, bool extend) const {
    assertReadEnabled();
    if (m_vertices.empty()) {
        return Acad::eNotApplicable;
    }
    double best = std::numeric_limits<double>::infinity();
    auto consider = [&](const AcGePoint3d& p) {
        const double d = p.distanceTo(givenPoint);
        if (d < best) {
            best = d;
            pointOnCurve = p;
        }
    };
    consider(toWorld(m_vertices.front().point));
    for (unsigned int i = 0; i < numSegments(); ++i) {
        AcGeLineSeg3d line;
        AcGeCircArc3d arc;
        if (getLineSegAt(i, line) == Acad::eOk) {
            consider(line.closestPointTo(givenPoint));
        } else if (getArcSegAt(i, arc) == Acad::eOk) {
            consider(arc.closestPointTo(givenPoint));
        }
    }
    return Acad::eOk;
}

Acad::ErrorStatus AcDbPolyline::transformBy(const AcGeMatrix3d& xform) {
    if (!isWriteEnabled()) {
        return Acad::eNotOpenForWrite;
    }
    const bool similar = isSimilarity(xform);
    if (!similar) {
        for (const Vertex& v : m_vertices) {
            if (v.bulge != 0.0) {
                return Acad::eNotApplicable;
            }
        }
    }
    const AcGeVector3d u = xform * ocsXAxis(m_normal);
    const AcGeVector3d v = xform * ocsYAxis(m_normal);
    const AcGeVector3d planeNormal = u.crossProduct(v);
    if (planeNormal.isZeroLength()) {
        return Acad::eNotApplicable;  // the plane collapses to a line
    }
    // The image of the old normal decides which side of the new plane is up.
    AcGeVector3d newNormal = planeNormal.normal();
    const AcGeVector3d imageOfNormal = xform * m_normal;
    if (newNormal.dotProduct(imageOfNormal) < 0.0) {
        newNormal.negate();
    }
    const bool turnedOver = planeNormal.dotProduct(newNormal) < 0.0;
    const AcGeMatrix3d toPlane = AcGeMatrix3d::worldToPlane(newNormal);
    std::vector<Vertex> moved = m_vertices;
    double elevation = m_elevation;
    for (size_t i = 0; i < moved.size(); ++i) {
        const AcGePoint3d p = toPlane * (xform * toWorld(moved[i].point));
        moved[i].point.set(p.x, p.y);
        if (i == 0) {
            elevation = p.z;
        }
        if (turnedOver) {
            moved[i].bulge = -moved[i].bulge;
        }
        if (similar) {
            moved[i].startWidth *= similarityScale(xform);
            moved[i].endWidth *= similarityScale(xform);
        }
    }
    if (moved.empty()) {
        elevation = (toPlane * (xform * toWorld(AcGePoint2d(0.0, 0.0)))).z;
    }
    assertWriteEnabled();
    m_vertices = moved;
    m_elevation = elevation;
    m_thickness *= imageOfNormal.dotProduct(newNormal);
    m_normal = newNormal;
    return Acad::eOk;
}

Acad::ErrorStatus AcDbPolyline::getGeomExtents(AcDbExtents& extents) const {
    assertReadEnabled();
    extents.setEmpty();
    if (m_vertices.empty()) {
        return Acad::eInvalidExtents;
    }
    for (const Vertex& v : m_vertices) {
        extents.addPoint(toWorld(v.point));
    }
    const AcGeMatrix3d toWorldM = AcGeMatrix3d::planeToWorld(m_normal);
    const AcGeVector3d x = ocsXAxis(m_normal);
    const AcGeVector3d y = ocsYAxis(m_normal);
    for (unsigned int i = 0; i < numSegments(); ++i) {
        const Vertex& a = m_vertices[i];
        const Vertex& b = m_vertices[(i + 1) % m_vertices.size()];
        BulgeArc arc;
        if (a.bulge == 0.0 || !bulgeArc(a.point, b.point, a.bulge, arc)) {
            continue;
        }
        const AcGePoint3d c = toWorldM * AcGePoint3d(arc.center.x, arc.center.y, m_elevation);
        const double t0 = std::min(arc.startAngle, arc.startAngle + arc.sweep);
        const double t1 = std::max(arc.startAngle, arc.startAngle + arc.sweep);
        addArcExtents(extents, c, x * arc.radius, y * arc.radius, t0, t1);
    }
    if (m_thickness != 0.0) {
        AcDbExtents top = extents;
        top.transformBy(AcGeMatrix3d::translation(m_normal * m_thickness));
        extents.addExt(top);
    }
    return Acad::eOk;
}

Acad::ErrorStatus AcDbPolyline::subGetGripPoints(AcGePoint3dArray& gripPoints,
                                                 AcDbIntArray& osnapModes,
                                                 AcDbIntArray& geomIds) const {
    assertReadEnabled();
    for (const Vertex& v : m_vertices) {
        gripPoints.append(toWorld(v.point));
    }
    return Acad::eOk;
}

Acad::ErrorStatus AcDbPolyline::subMoveGripPointsAt(const AcDbIntArray& indices,
                                                    const AcGeVector3d& offset) {
    std::vector<bool> chosen;
    Acad::ErrorStatus es = chooseIndices(indices, static_cast<int>(m_vertices.size()), chosen);
    if (es != Acad::eOk || (es = beginModify()) != Acad::eOk) {
        return es;
    }
    const AcGeVector3d local = AcGeMatrix3d::worldToPlane(m_normal) * offset;
    bool all = !m_vertices.empty();
    for (size_t i = 0; i < m_vertices.size(); ++i) {
        if (chosen[i]) {
            m_vertices[i].point += AcGeVector2d(local.x, local.y);
        }
        all = all && chosen[i];
    }
    // Vertices stay in the polyline's plane; only moving every one of them moves the plane.
    if (all) {
        m_elevation += local.z;
    }
    return Acad::eOk;
}

void AcDbPolyline::tessellate(AcGePoint3dArray& points) const {
    if (m_vertices.empty()) {
        return;
    }
    const AcGeMatrix3d toWorldM = AcGeMatrix3d::planeToWorld(m_normal);
    points.append(toWorld(m_vertices.front().point));
    for (unsigned int i = 0; i < numSegments(); ++i) {
        const Vertex& a = m_vertices[i];
        const Vertex& b = m_vertices[(i + 1) % m_vertices.size()];
        BulgeArc arc;
        if (a.bulge != 0.0 && bulgeArc(a.point, b.point, a.bulge, arc)) {
            for (int k = 1; k < kArcPieces; ++k) {
                const double t = arc.startAngle + arc.sweep * k / kArcPieces;
                points.append(toWorldM * AcGePoint3d(arc.center.x + arc.radius * std::cos(t),
                                                     arc.center.y + arc.radius * std::sin(t),
                                                     m_elevation));
            }
        }
        points.append(toWorld(b.point));
    }
}

bool AcDbPolyline::subWorldDraw(AcGiWorldDraw* wd) {
    assertReadEnabled();
    if (wd == nullptr) {
        return false;
    }
    AcGePoint3dArray points;
    tessellate(points);
    if (!points.isEmpty()) {
        wd->geometry().polyline(static_cast<Adesk::UInt32>(points.length()), points.asArrayPtr(),
                                &m_normal);
    }
    return true;
}

Acad::ErrorStatus AcDbPolyline::dwgOutFields(AcDbDwgFiler* filer) const {
    Acad::ErrorStatus es = AcDbCurve::dwgOutFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    filer->writeBool(m_closed);
    filer->writeDouble(m_elevation);
    filer->writeVector3d(m_normal);
    filer->writeDouble(m_thickness);
    filer->writeInt32(static_cast<Adesk::Int32>(m_vertices.size()));
    for (const Vertex& v : m_vertices) {
        filer->writePoint2d(v.point);
        filer->writeDouble(v.bulge);
        filer->writeDouble(v.startWidth);
        filer->writeDouble(v.endWidth);
    }
    return filer->filerStatus();
}

Acad::ErrorStatus AcDbPolyline::dwgInFields(AcDbDwgFiler* filer) {
    Acad::ErrorStatus es = AcDbCurve::dwgInFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    Adesk::Boolean closed = false;
    double elevation = 0.0;
    AcGeVector3d normal;
    double thickness = 0.0;
    Adesk::Int32 count = 0;
    if ((es = filer->readBool(&closed)) != Acad::eOk ||
        (es = filer->readDouble(&elevation)) != Acad::eOk ||
        (es = readNormal(filer, normal)) != Acad::eOk ||
        (es = filer->readDouble(&thickness)) != Acad::eOk ||
        (es = readCount(filer, count)) != Acad::eOk) {
        return es;
    }
    std::vector<Vertex> vertices;
    for (Adesk::Int32 i = 0; i < count; ++i) {
        Vertex v;
        if ((es = filer->readPoint2d(&v.point)) != Acad::eOk ||
            (es = filer->readDouble(&v.bulge)) != Acad::eOk ||
            (es = filer->readDouble(&v.startWidth)) != Acad::eOk ||
            (es = filer->readDouble(&v.endWidth)) != Acad::eOk) {
            return es;
        }
        if (!finite2d(v.point) || !std::isfinite(v.bulge)) {
            return filerFail(filer);
        }
        v.startWidth = widthOrZero(v.startWidth);
        v.endWidth = widthOrZero(v.endWidth);
        vertices.push_back(v);
    }
    m_closed = closed;
    m_elevation = elevation;
    m_normal = normal;
    m_thickness = thickness;
    m_vertices = std::move(vertices);
    return filer->filerStatus();
}

Acad::ErrorStatus AcDbPolyline::dxfOutFields(AcDbDxfFiler* filer) const {
    Acad::ErrorStatus es = AcDbCurve::dxfOutFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    filer->writeString(100, L"AcDbPolyline");
    filer->writeInt32(90, static_cast<Adesk::Int32>(m_vertices.size()));
    filer->writeInt16(70, m_closed ? 1 : 0);
    filer->writeDouble(38, m_elevation);
    filer->writeDouble(39, m_thickness);
    for (const Vertex& v : m_vertices) {
        filer->writePoint2d(10, v.point);
        filer->writeDouble(40, v.startWidth);
        filer->writeDouble(41, v.endWidth);
        filer->writeDouble(42, v.bulge);
    }
    filer->writeVector3d(210, m_normal);
    return filer->filerStatus();
}

Acad::ErrorStatus AcDbPolyline::dxfInFields(AcDbDxfFiler* filer) {
    Acad::ErrorStatus es = AcDbCurve::dxfInFields(filer);
    if (es != Acad::eOk || (es = dxfExpectSubclass(filer, L"AcDbPolyline")) != Acad::eOk) {
        return es;
    }
    long declared = -1;
    int flags = 0;
    double elevation = m_elevation;
    double thickness = m_thickness;
    AcGeVector3d normal = m_normal;
    std::vector<Vertex> vertices;
    bool orphan = false;  // a width or bulge before any vertex
    es = dxfReadGroups(filer, [&](const resbuf& rb) {
        switch (rb.restype) {
            case 90:
                declared = rb.resval.rlong;
                return true;
            case 70:
                flags = rb.resval.rint;
                return true;
            case 38:
                elevation = rb.resval.rreal;
                return true;
            case 39:
                thickness = rb.resval.rreal;
                return true;
            case 10: {
                Vertex v;
                v.point.set(rb.resval.rpoint[0], rb.resval.rpoint[1]);
                vertices.push_back(v);
                return true;
            }
            case 40:
            case 41:
            case 42:
                if (vertices.empty()) {
                    orphan = true;
                } else if (rb.restype == 40) {
                    vertices.back().startWidth = widthOrZero(rb.resval.rreal);
                } else if (rb.restype == 41) {
                    vertices.back().endWidth = widthOrZero(rb.resval.rreal);
                } else {
                    vertices.back().bulge = rb.resval.rreal;
                }
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
    if (orphan || (declared >= 0 && static_cast<size_t>(declared) != vertices.size())) {
        return Acad::eBadDxfSequence;
    }
    for (const Vertex& v : vertices) {
        if (!finite2d(v.point) || !std::isfinite(v.bulge)) {
            return Acad::eInvalidDxfCode;
        }
    }
    m_closed = (flags & 1) != 0;
    m_elevation = elevation;
    m_thickness = thickness;
    m_normal = normal;
    m_vertices = std::move(vertices);
    return filer->filerStatus();
}
