#include "host/entities/text.h"

#include <cmath>

#include "host/entities/entity_filing.h"
#include "host/entities/geom_util.h"
#include "host/gi/worlddraw.h"

ACRX_HOST_DXF_CLASS(AcDbText, AcDbEntity, "TEXT");

using namespace kxhost::detail;

namespace {
bool positive(double v) {
    return std::isfinite(v) && v > 0.0;
}
}  // namespace

AcDbText::AcDbText() = default;

AcDbText::AcDbText(const AcGePoint3d& position, const ACHAR* text, AcDbObjectId style,
                   double height, double rotation) {
    m.position = position;
    m.alignment = position;
    m.text = AcString(text);
    if (positive(height)) {
        m.height = height;
    }
    m.rotation = normalizeAngle(rotation);
}

AcDbText::~AcDbText() = default;

AcGePoint3d AcDbText::position() const {
    assertReadEnabled();
    return m.position;
}
Acad::ErrorStatus AcDbText::setPosition(const AcGePoint3d& position) {
    return setField(m.position, position);
}
AcGePoint3d AcDbText::alignmentPoint() const {
    assertReadEnabled();
    return m.alignment;
}
Acad::ErrorStatus AcDbText::setAlignmentPoint(const AcGePoint3d& point) {
    return setField(m.alignment, point);
}
AcGeVector3d AcDbText::normal() const {
    assertReadEnabled();
    return m.normal;
}
Acad::ErrorStatus AcDbText::setNormal(const AcGeVector3d& normal) {
    if (normal.isZeroLength()) {
        return Acad::eInvalidInput;
    }
    return setField(m.normal, normal.normal());
}
double AcDbText::thickness() const {
    assertReadEnabled();
    return m.thickness;
}
Acad::ErrorStatus AcDbText::setThickness(double thickness) {
    return setField(m.thickness, thickness);
}
double AcDbText::height() const {
    assertReadEnabled();
    return m.height;
}
Acad::ErrorStatus AcDbText::setHeight(double height) {
    return positive(height) ? setField(m.height, height) : Acad::eInvalidInput;
}
double AcDbText::rotation() const {
    assertReadEnabled();
    return m.rotation;
}
Acad::ErrorStatus AcDbText::setRotation(double rotation) {
    return setField(m.rotation, normalizeAngle(rotation));
}
double AcDbText::widthFactor() const {
    assertReadEnabled();
    return m.widthFactor;
}
Acad::ErrorStatus AcDbText::setWidthFactor(double factor) {
    return positive(factor) ? setField(m.widthFactor, factor) : Acad::eInvalidInput;
}
double AcDbText::oblique() const {
    assertReadEnabled();
    return m.oblique;
}
Acad::ErrorStatus AcDbText::setOblique(double angle) {
    return setField(m.oblique, angle);
}
AcString AcDbText::textString() const {
    assertReadEnabled();
    return m.text;
}
const ACHAR* AcDbText::textStringConst() const {
    assertReadEnabled();
    return m.text.kwszPtr();
}
Acad::ErrorStatus AcDbText::setTextString(const ACHAR* text) {
    return setField(m.text, AcString(text));
}
bool AcDbText::isMirroredInX() const {
    assertReadEnabled();
    return m.mirroredX;
}
Acad::ErrorStatus AcDbText::mirrorInX(bool mirrored) {
    return setField(m.mirroredX, mirrored);
}
bool AcDbText::isMirroredInY() const {
    assertReadEnabled();
    return m.mirroredY;
}
Acad::ErrorStatus AcDbText::mirrorInY(bool mirrored) {
    return setField(m.mirroredY, mirrored);
}
int AcDbText::horizontalMode() const {
    assertReadEnabled();
    return m.hmode;
}
Acad::ErrorStatus AcDbText::setHorizontalMode(int mode) {
    return (mode >= 0 && mode <= 5) ? setField(m.hmode, mode) : Acad::eInvalidInput;
}
int AcDbText::verticalMode() const {
    assertReadEnabled();
    return m.vmode;
}
Acad::ErrorStatus AcDbText::setVerticalMode(int mode) {
    return (mode >= 0 && mode <= 3) ? setField(m.vmode, mode) : Acad::eInvalidInput;
}

AcGeVector3d AcDbText::baseline() const {
    return ocsDirection(m.rotation, m.normal);
}

AcGeVector3d AcDbText::upward() const {
    const AcGeVector3d up = m.normal.crossProduct(baseline());
    return m.mirroredY ? -up : up;
}

void AcDbText::getBoundingPoints(AcGePoint3dArray& corners) const {
    assertReadEnabled();
    const double length = m.text.length() * m.height * m.widthFactor;
    const AcGeVector3d along = baseline() * (m.mirroredX ? -length : length);
    const AcGeVector3d up = upward() * m.height;
    corners.append(m.position);
    corners.append(m.position + along);
    corners.append(m.position + along + up);
    corners.append(m.position + up);
}

Acad::ErrorStatus AcDbText::transformBy(const AcGeMatrix3d& xform) {
    if (!isWriteEnabled()) {
        return Acad::eNotOpenForWrite;
    }
    const AcGeVector3d x = xform * baseline();
    const AcGeVector3d y = xform * m.normal.crossProduct(baseline());
    const AcGeVector3d z = xform * m.normal;
    const double lx = x.length();
    const double ly = y.length();
    if (lx == 0.0 || ly == 0.0 || z.isZeroLength()) {
        return Acad::eNotApplicable;
    }
    const AcGeVector3d newNormal = z.normal();
    const double tol = 1e-9;
    if (std::fabs(x.dotProduct(y)) > tol * lx * ly ||
        std::fabs(x.dotProduct(newNormal)) > tol * lx ||
        std::fabs(y.dotProduct(newNormal)) > tol * ly) {
        return Acad::eNotApplicable;
    }
    assertWriteEnabled();
    // With the normal kept as the image of the old one, a mirroring shows as the upward
    // direction turning against the normal's right-hand rule.
    const bool flipped = x.crossProduct(y).dotProduct(newNormal) < 0.0;
    m.position.transformBy(xform);
    m.alignment.transformBy(xform);
    m.rotation = ocsAngle(x, newNormal);
    m.height *= ly;
    m.widthFactor *= lx / ly;
    m.thickness *= z.length();
    m.normal = newNormal;
    if (flipped) {
        m.mirroredY = !m.mirroredY;
    }
    return Acad::eOk;
}

Acad::ErrorStatus AcDbText::getGeomExtents(AcDbExtents& extents) const {
    assertReadEnabled();
    extents.setEmpty();
    AcGePoint3dArray corners;
    getBoundingPoints(corners);
    for (const AcGePoint3d& p : corners) {
        extents.addPoint(p);
    }
    return Acad::eOk;
}

Acad::ErrorStatus AcDbText::subGetGripPoints(AcGePoint3dArray& gripPoints, AcDbIntArray& osnapModes,
                                             AcDbIntArray& geomIds) const {
    assertReadEnabled();
    gripPoints.append(m.position);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbText::subMoveGripPointsAt(const AcDbIntArray& indices,
                                                const AcGeVector3d& offset) {
    std::vector<bool> chosen;
    Acad::ErrorStatus es = chooseIndices(indices, 1, chosen);
    if (es != Acad::eOk || (es = beginModify()) != Acad::eOk) {
        return es;
    }
    if (chosen[0]) {
        m.position += offset;
        m.alignment += offset;
    }
    return Acad::eOk;
}

void AcDbText::drawString(AcGiWorldDraw* wd, const ACHAR* text) const {
    const AcGeVector3d direction = m.mirroredX ? -baseline() : baseline();
    wd->geometry().text(m.position, m.normal, direction, m.height, m.widthFactor, m.oblique, text);
}

bool AcDbText::subWorldDraw(AcGiWorldDraw* wd) {
    assertReadEnabled();
    if (wd == nullptr) {
        return false;
    }
    drawString(wd, m.text.kwszPtr());
    return true;
}

Acad::ErrorStatus AcDbText::dwgOutFields(AcDbDwgFiler* filer) const {
    Acad::ErrorStatus es = AcDbEntity::dwgOutFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    filer->writePoint3d(m.position);
    filer->writePoint3d(m.alignment);
    filer->writeVector3d(m.normal);
    filer->writeDouble(m.thickness);
    filer->writeDouble(m.height);
    filer->writeDouble(m.rotation);
    filer->writeDouble(m.widthFactor);
    filer->writeDouble(m.oblique);
    filer->writeString(m.text);
    filer->writeInt16(static_cast<Adesk::Int16>((m.mirroredX ? 2 : 0) | (m.mirroredY ? 4 : 0)));
    filer->writeInt16(static_cast<Adesk::Int16>(m.hmode));
    filer->writeInt16(static_cast<Adesk::Int16>(m.vmode));
    return filer->filerStatus();
}

Acad::ErrorStatus AcDbText::dwgInFields(AcDbDwgFiler* filer) {
    Acad::ErrorStatus es = AcDbEntity::dwgInFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    Fields f;
    Adesk::Int16 flags = 0;
    Adesk::Int16 hmode = 0;
    Adesk::Int16 vmode = 0;
    if ((es = filer->readPoint3d(&f.position)) != Acad::eOk ||
        (es = filer->readPoint3d(&f.alignment)) != Acad::eOk ||
        (es = readNormal(filer, f.normal)) != Acad::eOk ||
        (es = filer->readDouble(&f.thickness)) != Acad::eOk ||
        (es = filer->readDouble(&f.height)) != Acad::eOk ||
        (es = filer->readDouble(&f.rotation)) != Acad::eOk ||
        (es = filer->readDouble(&f.widthFactor)) != Acad::eOk ||
        (es = filer->readDouble(&f.oblique)) != Acad::eOk ||
        (es = filer->readString(f.text)) != Acad::eOk ||
        (es = filer->readInt16(&flags)) != Acad::eOk ||
        (es = filer->readInt16(&hmode)) != Acad::eOk ||
        (es = filer->readInt16(&vmode)) != Acad::eOk) {
        return es;
    }
    if (!positive(f.height) || !positive(f.widthFactor) || hmode < 0 || hmode > 5 || vmode < 0 ||
        vmode > 3 || (flags & ~6) != 0) {
        return filerFail(filer);
    }
    f.rotation = normalizeAngle(f.rotation);
    f.mirroredX = (flags & 2) != 0;
    f.mirroredY = (flags & 4) != 0;
    f.hmode = hmode;
    f.vmode = vmode;
    m = f;
    return filer->filerStatus();
}

Acad::ErrorStatus AcDbText::dxfOutFields(AcDbDxfFiler* filer) const {
    Acad::ErrorStatus es = AcDbEntity::dxfOutFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    filer->writeString(100, L"AcDbText");
    filer->writeDouble(39, m.thickness);
    filer->writePoint3d(10, m.position);
    filer->writeDouble(40, m.height);
    filer->writeString(1, m.text);
    filer->writeAngle(50, m.rotation);
    filer->writeDouble(41, m.widthFactor);
    filer->writeAngle(51, m.oblique);
    filer->writeInt16(71, static_cast<Adesk::Int16>((m.mirroredX ? 2 : 0) | (m.mirroredY ? 4 : 0)));
    filer->writeInt16(72, static_cast<Adesk::Int16>(m.hmode));
    filer->writePoint3d(11, m.alignment);
    filer->writeVector3d(210, m.normal);
    filer->writeInt16(73, static_cast<Adesk::Int16>(m.vmode));
    return filer->filerStatus();
}

Acad::ErrorStatus AcDbText::dxfInFields(AcDbDxfFiler* filer) {
    Acad::ErrorStatus es = AcDbEntity::dxfInFields(filer);
    if (es != Acad::eOk || (es = dxfExpectSubclass(filer, L"AcDbText")) != Acad::eOk) {
        return es;
    }
    Fields f = m;
    int flags = (m.mirroredX ? 2 : 0) | (m.mirroredY ? 4 : 0);
    es = dxfReadGroups(filer, [&](const resbuf& rb) {
        switch (rb.restype) {
            case 39:
                f.thickness = rb.resval.rreal;
                return true;
            case 10:
                f.position = rbPoint(rb);
                return true;
            case 40:
                f.height = rb.resval.rreal;
                return true;
            case 1:
                f.text = AcString(rb.resval.rstring);
                return true;
            case 50:
                f.rotation = rb.resval.rreal;
                return true;
            case 41:
                f.widthFactor = rb.resval.rreal;
                return true;
            case 51:
                f.oblique = rb.resval.rreal;
                return true;
            case 71:
                flags = rb.resval.rint;
                return true;
            case 72:
                f.hmode = rb.resval.rint;
                return true;
            case 11:
                f.alignment = rbPoint(rb);
                return true;
            case 210:
                f.normal = rbVector(rb);
                return true;
            case 73:
                f.vmode = rb.resval.rint;
                return true;
            default:
                return false;
        }
    });
    if (es != Acad::eOk || (es = checkDxfNormal(f.normal)) != Acad::eOk) {
        return es;
    }
    if (!positive(f.height) || !positive(f.widthFactor) || f.hmode < 0 || f.hmode > 5 ||
        f.vmode < 0 || f.vmode > 3 || (flags & ~6) != 0) {
        return Acad::eInvalidDxfCode;
    }
    f.rotation = normalizeAngle(f.rotation);
    f.mirroredX = (flags & 2) != 0;
    f.mirroredY = (flags & 4) != 0;
    m = f;
    return filer->filerStatus();
}
