#include "host/entities/dimension.h"

#include <cmath>

#include "host/entities/entity_filing.h"
#include "host/entities/geom_util.h"

ACRX_HOST_CLASS(AcDbDimension, AcDbEntity);

using namespace kxhost::detail;

namespace {
bool inRange(int v, int lo, int hi) {
    return v >= lo && v <= hi;
}
bool validOverrides(int dimdec, int dimlunit, int dimadec, int dimaunit) {
    return inRange(dimdec, 0, 8) && inRange(dimlunit, 1, 6) && inRange(dimadec, -1, 8) &&
           inRange(dimaunit, 0, 4);
}
}  // namespace

AcDbDimension::AcDbDimension() = default;
AcDbDimension::~AcDbDimension() = default;

AcGeVector3d AcDbDimension::normal() const {
    assertReadEnabled();
    return m_normal;
}
Acad::ErrorStatus AcDbDimension::setNormal(const AcGeVector3d& normal) {
    return normal.isZeroLength() ? Acad::eInvalidInput : setField(m_normal, normal.normal());
}
double AcDbDimension::elevation() const {
    assertReadEnabled();
    return m_elevation;
}
Acad::ErrorStatus AcDbDimension::setElevation(double elevation) {
    return setField(m_elevation, elevation);
}
AcGePoint3d AcDbDimension::textPosition() const {
    assertReadEnabled();
    return m_textPosition;
}
Acad::ErrorStatus AcDbDimension::setTextPosition(const AcGePoint3d& position) {
    return setField(m_textPosition, position);
}
AcString AcDbDimension::dimensionText() const {
    assertReadEnabled();
    return m_text;
}
Acad::ErrorStatus AcDbDimension::setDimensionText(const ACHAR* text) {
    return setField(m_text, AcString(text));
}
bool AcDbDimension::isDynamicDimension() const {
    assertReadEnabled();
    return m_dynamic;
}
Acad::ErrorStatus AcDbDimension::setDynamicDimension(bool dynamic) {
    return setField(m_dynamic, dynamic);
}
int AcDbDimension::dimdec() const {
    assertReadEnabled();
    return m_dimdec;
}
Acad::ErrorStatus AcDbDimension::setDimdec(int value) {
    return inRange(value, 0, 8) ? setField(m_dimdec, value) : Acad::eInvalidInput;
}
int AcDbDimension::dimlunit() const {
    assertReadEnabled();
    return m_dimlunit;
}
Acad::ErrorStatus AcDbDimension::setDimlunit(int value) {
    return inRange(value, 1, 6) ? setField(m_dimlunit, value) : Acad::eInvalidInput;
}
int AcDbDimension::dimadec() const {
    assertReadEnabled();
    return m_dimadec;
}
Acad::ErrorStatus AcDbDimension::setDimadec(int value) {
    return inRange(value, -1, 8) ? setField(m_dimadec, value) : Acad::eInvalidInput;
}
int AcDbDimension::dimaunit() const {
    assertReadEnabled();
    return m_dimaunit;
}
Acad::ErrorStatus AcDbDimension::setDimaunit(int value) {
    return inRange(value, 0, 4) ? setField(m_dimaunit, value) : Acad::eInvalidInput;
}

AcString AcDbDimension::formattedText() const {
    assertReadEnabled();
    double value = 0.0;
    AcString number;
    if (measurement(value) == Acad::eOk) {
        if (isAngular()) {
            // Angles in degrees (unit 0) or radians (any other unit in the stand-in).
            const double shown = m_dimaunit == 0 ? value * 180.0 / kPi : value;
            number.format(L"%.*f", m_dimadec < 0 ? m_dimdec : m_dimadec, shown);
        } else {
            number.format(L"%.*f", m_dimdec, value);
        }
    }
    if (m_text.isEmpty()) {
        return number;
    }
    std::wstring text = m_text.str();
    const size_t at = text.find(L"<>");
    if (at != std::wstring::npos) {
        text.replace(at, 2, number.str());
    }
    return AcString(text);
}

void AcDbDimension::subSetDatabaseDefaults(AcDbDatabase* db) {
    m_dimdec = 4;
    m_dimlunit = 2;
    m_dimadec = 0;
    m_dimaunit = 0;
}

void AcDbDimension::transformBase(const AcGeMatrix3d& xform) {
    const AcGeVector3d newNormal = transformNormal(xform, m_normal);
    const AcGePoint3d onPlane = xform * (AcGePoint3d::kOrigin + m_normal * m_elevation);
    m_elevation = onPlane.asVector().dotProduct(newNormal);
    m_normal = newNormal;
    m_textPosition.transformBy(xform);
}

Acad::ErrorStatus AcDbDimension::dwgOutFields(AcDbDwgFiler* filer) const {
    Acad::ErrorStatus es = AcDbEntity::dwgOutFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    filer->writeVector3d(m_normal);
    filer->writeDouble(m_elevation);
    filer->writePoint3d(m_textPosition);
    filer->writeString(m_text);
    filer->writeBool(m_dynamic);
    filer->writeInt16(static_cast<Adesk::Int16>(m_dimdec));
    filer->writeInt16(static_cast<Adesk::Int16>(m_dimlunit));
    filer->writeInt16(static_cast<Adesk::Int16>(m_dimadec));
    filer->writeInt16(static_cast<Adesk::Int16>(m_dimaunit));
    return filer->filerStatus();
}

Acad::ErrorStatus AcDbDimension::dwgInFields(AcDbDwgFiler* filer) {
    Acad::ErrorStatus es = AcDbEntity::dwgInFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    AcGeVector3d normal;
    double elevation = 0.0;
    AcGePoint3d textPosition;
    AcString text;
    Adesk::Boolean dynamic = false;
    Adesk::Int16 values[4] = {0, 0, 0, 0};
    if ((es = readNormal(filer, normal)) != Acad::eOk ||
        (es = filer->readDouble(&elevation)) != Acad::eOk ||
        (es = filer->readPoint3d(&textPosition)) != Acad::eOk ||
        (es = filer->readString(text)) != Acad::eOk ||
        (es = filer->readBool(&dynamic)) != Acad::eOk) {
        return es;
    }
    for (Adesk::Int16& v : values) {
        if ((es = filer->readInt16(&v)) != Acad::eOk) {
            return es;
        }
    }
    if (!validOverrides(values[0], values[1], values[2], values[3])) {
        return filerFail(filer);
    }
    m_normal = normal;
    m_elevation = elevation;
    m_textPosition = textPosition;
    m_text = text;
    m_dynamic = dynamic;
    m_dimdec = values[0];
    m_dimlunit = values[1];
    m_dimadec = values[2];
    m_dimaunit = values[3];
    return filer->filerStatus();
}

Acad::ErrorStatus AcDbDimension::dxfOutFields(AcDbDxfFiler* filer) const {
    Acad::ErrorStatus es = AcDbEntity::dxfOutFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    filer->writeString(100, L"AcDbDimension");
    filer->writeVector3d(210, m_normal);
    filer->writeDouble(38, m_elevation);
    filer->writePoint3d(11, m_textPosition);
    filer->writeString(1, m_text);
    filer->writeBool(290, m_dynamic);
    filer->writeInt16(271, static_cast<Adesk::Int16>(m_dimdec));
    filer->writeInt16(277, static_cast<Adesk::Int16>(m_dimlunit));
    filer->writeInt16(179, static_cast<Adesk::Int16>(m_dimadec));
    filer->writeInt16(275, static_cast<Adesk::Int16>(m_dimaunit));
    return filer->filerStatus();
}

Acad::ErrorStatus AcDbDimension::dxfInFields(AcDbDxfFiler* filer) {
    Acad::ErrorStatus es = AcDbEntity::dxfInFields(filer);
    if (es != Acad::eOk || (es = dxfExpectSubclass(filer, L"AcDbDimension")) != Acad::eOk) {
        return es;
    }
    AcGeVector3d normal = m_normal;
    double elevation = m_elevation;
    AcGePoint3d textPosition = m_textPosition;
    AcString text = m_text;
    bool dynamic = m_dynamic;
    int dimdec = m_dimdec;
    int dimlunit = m_dimlunit;
    int dimadec = m_dimadec;
    int dimaunit = m_dimaunit;
    es = dxfReadGroups(filer, [&](const resbuf& rb) {
        switch (rb.restype) {
            case 210:
                normal = rbVector(rb);
                return true;
            case 38:
                elevation = rb.resval.rreal;
                return true;
            case 11:
                textPosition = rbPoint(rb);
                return true;
            case 1:
                text = AcString(rb.resval.rstring);
                return true;
            case 290:
                dynamic = rb.resval.rint != 0;
                return true;
            case 271:
                dimdec = rb.resval.rint;
                return true;
            case 277:
                dimlunit = rb.resval.rint;
                return true;
            case 179:
                dimadec = rb.resval.rint;
                return true;
            case 275:
                dimaunit = rb.resval.rint;
                return true;
            default:
                return false;
        }
    });
    if (es != Acad::eOk || (es = checkDxfNormal(normal)) != Acad::eOk) {
        return es;
    }
    if (!validOverrides(dimdec, dimlunit, dimadec, dimaunit)) {
        return Acad::eInvalidDxfCode;
    }
    m_normal = normal;
    m_elevation = elevation;
    m_textPosition = textPosition;
    m_text = text;
    m_dynamic = dynamic;
    m_dimdec = dimdec;
    m_dimlunit = dimlunit;
    m_dimadec = dimadec;
    m_dimaunit = dimaunit;
    return filer->filerStatus();
}
