#include "host/entities/proxyentity.h"

#include "host/entities/entity_filing.h"

ACRX_HOST_DXF_CLASS(AcDbProxyEntity, AcDbEntity, "ACAD_PROXY_ENTITY");

using namespace kxhost::detail;

AcDbProxyEntity::AcDbProxyEntity() = default;
AcDbProxyEntity::~AcDbProxyEntity() = default;

const ACHAR* AcDbProxyEntity::originalClassName() const {
    assertReadEnabled();
    return m_className.kwszPtr();
}
Acad::ErrorStatus AcDbProxyEntity::setOriginalClassName(const ACHAR* name) {
    return setField(m_className, AcString(name));
}
const ACHAR* AcDbProxyEntity::originalDxfName() const {
    assertReadEnabled();
    return m_dxfName.kwszPtr();
}
Acad::ErrorStatus AcDbProxyEntity::setOriginalDxfName(const ACHAR* name) {
    return setField(m_dxfName, AcString(name));
}

Acad::ErrorStatus AcDbProxyEntity::transformBy(const AcGeMatrix3d& xform) {
    // The data that would have to move belongs to a class that is not here.
    return isWriteEnabled() ? Acad::eNotApplicable : Acad::eNotOpenForWrite;
}

Acad::ErrorStatus AcDbProxyEntity::dwgOutFields(AcDbDwgFiler* filer) const {
    Acad::ErrorStatus es = AcDbEntity::dwgOutFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    filer->writeString(m_className);
    filer->writeString(m_dxfName);
    return filer->filerStatus();
}

Acad::ErrorStatus AcDbProxyEntity::dwgInFields(AcDbDwgFiler* filer) {
    Acad::ErrorStatus es = AcDbEntity::dwgInFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    AcString className;
    AcString dxfName;
    if ((es = filer->readString(className)) != Acad::eOk ||
        (es = filer->readString(dxfName)) != Acad::eOk) {
        return es;
    }
    m_className = className;
    m_dxfName = dxfName;
    return filer->filerStatus();
}

Acad::ErrorStatus AcDbProxyEntity::dxfOutFields(AcDbDxfFiler* filer) const {
    Acad::ErrorStatus es = AcDbEntity::dxfOutFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    filer->writeString(100, L"AcDbProxyEntity");
    filer->writeString(1, m_className);
    filer->writeString(2, m_dxfName);
    return filer->filerStatus();
}

Acad::ErrorStatus AcDbProxyEntity::dxfInFields(AcDbDxfFiler* filer) {
    Acad::ErrorStatus es = AcDbEntity::dxfInFields(filer);
    if (es != Acad::eOk || (es = dxfExpectSubclass(filer, L"AcDbProxyEntity")) != Acad::eOk) {
        return es;
    }
    AcString className = m_className;
    AcString dxfName = m_dxfName;
    es = dxfReadGroups(filer, [&](const resbuf& rb) {
        if (rb.restype == 1) {
            className = AcString(rb.resval.rstring);
            return true;
        }
        if (rb.restype == 2) {
            dxfName = AcString(rb.resval.rstring);
            return true;
        }
        return false;
    });
    if (es != Acad::eOk) {
        return es;
    }
    m_className = className;
    m_dxfName = dxfName;
    return filer->filerStatus();
}
