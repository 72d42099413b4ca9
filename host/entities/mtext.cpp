#include "host/entities/mtext.h"

#include <algorithm>
#include <cmath>

#include "host/entities/entity_filing.h"
#include "host/entities/geom_util.h"
#include "host/gi/worlddraw.h"

ACRX_HOST_DXF_CLASS(AcDbMText, AcDbEntity, "MTEXT");

using namespace kxhost::detail;

namespace {
bool positive(double v) {
    return std::isfinite(v) && v > 0.0;
}
bool validAttachment(int a) {
    return a >= 1 && a <= 9;
}
// The direction within the plane of the normal; zero when it lies along the normal.
AcGeVector3d inPlane(const AcGeVector3d& direction, const AcGeVector3d& normal) {
    const AcGeVector3d v = direction - normal * direction.dotProduct(normal);
    return v.isZeroLength(AcGeTol(1e-12, 1e-12)) ? AcGeVector3d() : v.normal();
}
}  // namespace

AcDbMText::AcDbMText() = default;
AcDbMText::~AcDbMText() = default;

AcGePoint3d AcDbMText::location() const {
    assertReadEnabled();
    return m_location;
}
Acad::ErrorStatus AcDbMText::setLocation(const AcGePoint3d& location) {
    return setField(m_location, location);
}
AcGeVector3d AcDbMText::normal() const {
    assertReadEnabled();
    return m_normal;
}
Acad::ErrorStatus AcDbMText::setNormal(const AcGeVector3d& normal) {
    if (normal.isZeroLength()) {
        return Acad::eInvalidInput;
    }
    Acad::ErrorStatus es = beginModify();
    if (es != Acad::eOk) {
        return es;
    }
    m_normal = normal.normal();
    AcGeVector3d dir = inPlane(m_direction, m_normal);
    m_direction = dir.isZeroLength() ? ocsXAxis(m_normal) : dir;
    return Acad::eOk;
}
AcGeVector3d AcDbMText::direction() const {
    assertReadEnabled();
    return m_direction;
}
Acad::ErrorStatus AcDbMText::setDirection(const AcGeVector3d& direction) {
    const AcGeVector3d dir = inPlane(direction, m_normal);
    return dir.isZeroLength() ? Acad::eInvalidInput : setField(m_direction, dir);
}
double AcDbMText::rotation() const {
    assertReadEnabled();
    return ocsAngle(m_direction, m_normal);
}
Acad::ErrorStatus AcDbMText::setRotation(double rotation) {
    return setField(m_direction, ocsDirection(rotation, m_normal));
}
double AcDbMText::textHeight() const {
    assertReadEnabled();
    return m_height;
}
Acad::ErrorStatus AcDbMText::setTextHeight(double height) {
    return positive(height) ? setField(m_height, height) : Acad::eInvalidInput;
}
double AcDbMText::width() const {
    assertReadEnabled();
    return m_width;
}
Acad::ErrorStatus AcDbMText::setWidth(double width) {
    return (std::isfinite(width) && width >= 0.0) ? setField(m_width, width) : Acad::eInvalidInput;
}
AcDbMText::AttachmentPoint AcDbMText::attachment() const {
    assertReadEnabled();
    return m_attachment;
}
Acad::ErrorStatus AcDbMText::setAttachment(AttachmentPoint attachment) {
    return validAttachment(attachment) ? setField(m_attachment, attachment) : Acad::eInvalidInput;
}
AcString AcDbMText::contents() const {
    assertReadEnabled();
    return m_contents;
}
Acad::ErrorStatus AcDbMText::setContents(const ACHAR* contents) {
    return setField(m_contents, AcString(contents));
}

AcStringArray AcDbMText::lines() const {
    AcStringArray out;
    const std::wstring& s = m_contents.str();
    std::wstring line;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == L'\n') {
            out.append(AcString(line));
            line.clear();
        } else if (s[i] == L'\\' && i + 1 < s.size() && s[i + 1] == L'P') {
            out.append(AcString(line));
            line.clear();
            ++i;
        } else {
            line += s[i];
        }
    }
    out.append(AcString(line));
    return out;
}

int AcDbMText::numLines() const {
    assertReadEnabled();
    return lines().length();
}

double AcDbMText::actualWidth() const {
    assertReadEnabled();
    if (m_width > 0.0) {
        return m_width;
    }
    int longest = 0;
    for (const AcString& line : lines()) {
        longest = std::max(longest, line.length());
    }
    return longest * m_height;
}

double AcDbMText::actualHeight() const {
    assertReadEnabled();
    return lines().length() * m_height;
}

AcGePoint3d AcDbMText::topLeft() const {
    const int column = (m_attachment - 1) % 3;
    const int row = (m_attachment - 1) / 3;
    const AcGeVector3d up = m_normal.crossProduct(m_direction);
    return m_location - m_direction * (column * actualWidth() / 2.0) +
           up * (row * actualHeight() / 2.0);
}

void AcDbMText::getBoundingPoints(AcGePoint3dArray& corners) const {
    assertReadEnabled();
    const AcGeVector3d across = m_direction * actualWidth();
    const AcGeVector3d down = -m_normal.crossProduct(m_direction) * actualHeight();
    const AcGePoint3d tl = topLeft();
    corners.append(tl);
    corners.append(tl + across);
    corners.append(tl + across + down);
    corners.append(tl + down);
}

Acad::ErrorStatus AcDbMText::transformBy(const AcGeMatrix3d& xform) {
    if (!isWriteEnabled()) {
        return Acad::eNotOpenForWrite;
    }
    const AcGeVector3d x = xform * m_direction;
    const AcGeVector3d y = xform * m_normal.crossProduct(m_direction);
    const double lx = x.length();
    const double ly = y.length();
    if (lx == 0.0 || ly == 0.0 || std::fabs(x.dotProduct(y)) > 1e-9 * lx * ly) {
        return Acad::eNotApplicable;
    }
    // Text heights scale with the box's height; a width of 0 stays "as wide as the text".
    assertWriteEnabled();
    m_location.transformBy(xform);
    m_direction = x / lx;
    m_normal = x.crossProduct(y).normal();
    m_height *= ly;
    m_width *= lx;
    return Acad::eOk;
}

Acad::ErrorStatus AcDbMText::getGeomExtents(AcDbExtents& extents) const {
    assertReadEnabled();
    extents.setEmpty();
    AcGePoint3dArray corners;
    getBoundingPoints(corners);
    for (const AcGePoint3d& p : corners) {
        extents.addPoint(p);
    }
    return Acad::eOk;
}

Acad::ErrorStatus AcDbMText::subGetGripPoints(AcGePoint3dArray& gripPoints,
                                              AcDbIntArray& osnapModes,
                                              AcDbIntArray& geomIds) const {
    assertReadEnabled();
    gripPoints.append(m_location);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbMText::subMoveGripPointsAt(const AcDbIntArray& indices,
                                                 const AcGeVector3d& offset) {
    std::vector<bool> chosen;
    Acad::ErrorStatus es = chooseIndices(indices, 1, chosen);
    if (es != Acad::eOk || (es = beginModify()) != Acad::eOk) {
        return es;
    }
    if (chosen[0]) {
        m_location += offset;
    }
    return Acad::eOk;
}

bool AcDbMText::subWorldDraw(AcGiWorldDraw* wd) {
    assertReadEnabled();
    if (wd == nullptr) {
        return false;
    }
    const AcGeVector3d down = -m_normal.crossProduct(m_direction) * m_height;
    AcGePoint3d baseline = topLeft() + down;
    for (const AcString& line : lines()) {
        wd->geometry().text(baseline, m_normal, m_direction, m_height, 1.0, 0.0, line.kwszPtr());
        baseline += down;
    }
    return true;
}

Acad::ErrorStatus AcDbMText::dwgOutFields(AcDbDwgFiler* filer) const {
    Acad::ErrorStatus es = AcDbEntity::dwgOutFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    filer->writePoint3d(m_location);
    filer->writeVector3d(m_normal);
    filer->writeVector3d(m_direction);
    filer->writeDouble(m_height);
    filer->writeDouble(m_width);
    filer->writeInt16(static_cast<Adesk::Int16>(m_attachment));
    filer->writeString(m_contents);
    return filer->filerStatus();
}

Acad::ErrorStatus AcDbMText::dwgInFields(AcDbDwgFiler* filer) {
    Acad::ErrorStatus es = AcDbEntity::dwgInFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    AcGePoint3d location;
    AcGeVector3d normal;
    AcGeVector3d direction;
    double height = 0.0;
    double width = 0.0;
    Adesk::Int16 attachment = 0;
    AcString contents;
    if ((es = filer->readPoint3d(&location)) != Acad::eOk ||
        (es = readNormal(filer, normal)) != Acad::eOk ||
        (es = filer->readVector3d(&direction)) != Acad::eOk ||
        (es = filer->readDouble(&height)) != Acad::eOk ||
        (es = filer->readDouble(&width)) != Acad::eOk ||
        (es = filer->readInt16(&attachment)) != Acad::eOk ||
        (es = filer->readString(contents)) != Acad::eOk) {
        return es;
    }
    direction = inPlane(direction, normal);
    if (direction.isZeroLength() || !positive(height) || !std::isfinite(width) || width < 0.0 ||
        !validAttachment(attachment)) {
        return filerFail(filer);
    }
    m_location = location;
    m_normal = normal;
    m_direction = direction;
    m_height = height;
    m_width = width;
    m_attachment = static_cast<AttachmentPoint>(attachment);
    m_contents = contents;
    return filer->filerStatus();
}

Acad::ErrorStatus AcDbMText::dxfOutFields(AcDbDxfFiler* filer) const {
    Acad::ErrorStatus es = AcDbEntity::dxfOutFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    filer->writeString(100, L"AcDbMText");
    filer->writePoint3d(10, m_location);
    filer->writeDouble(40, m_height);
    filer->writeDouble(41, m_width);
    filer->writeInt16(71, static_cast<Adesk::Int16>(m_attachment));
    filer->writeString(1, m_contents);
    filer->writeVector3d(210, m_normal);
    filer->writeVector3d(11, m_direction);
    return filer->filerStatus();
}

Acad::ErrorStatus AcDbMText::dxfInFields(AcDbDxfFiler* filer) {
    Acad::ErrorStatus es = AcDbEntity::dxfInFields(filer);
    if (es != Acad::eOk || (es = dxfExpectSubclass(filer, L"AcDbMText")) != Acad::eOk) {
        return es;
    }
    AcGePoint3d location = m_location;
    AcGeVector3d normal = m_normal;
    AcGeVector3d direction = m_direction;
    double height = m_height;
    double width = m_width;
    int attachment = m_attachment;
    AcString contents = m_contents;
    es = dxfReadGroups(filer, [&](const resbuf& rb) {
        switch (rb.restype) {
            case 10:
                location = rbPoint(rb);
                return true;
            case 40:
                height = rb.resval.rreal;
                return true;
            case 41:
                width = rb.resval.rreal;
                return true;
            case 71:
                attachment = rb.resval.rint;
                return true;
            case 1:
                contents = AcString(rb.resval.rstring);
                return true;
            case 210:
                normal = rbVector(rb);
                return true;
            case 11:
                direction = rbVector(rb);
                return true;
            default:
                return false;
        }
    });
    if (es != Acad::eOk || (es = checkDxfNormal(normal)) != Acad::eOk) {
        return es;
    }
    direction = inPlane(direction, normal);
    if (direction.isZeroLength() || !positive(height) || !std::isfinite(width) || width < 0.0 ||
        !validAttachment(attachment)) {
        return Acad::eInvalidDxfCode;
    }
    m_location = location;
    m_normal = normal;
    m_direction = direction;
    m_height = height;
    m_width = width;
    m_attachment = static_cast<AttachmentPoint>(attachment);
    m_contents = contents;
    return filer->filerStatus();
}
