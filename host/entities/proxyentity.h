// Proxy entities: stand-ins for entities of classes that are not loaded. A proxy keeps the
// original class's names; it has no geometry of its own, refuses transforms and draws nothing.
#pragma once

#include "host/entities/entity.h"

class AcDbProxyEntity : public AcDbEntity {
  public:
    ACRX_DECLARE_MEMBERS(AcDbProxyEntity);

    AcDbProxyEntity();
    ~AcDbProxyEntity() override;

    const ACHAR* originalClassName() const;
    Acad::ErrorStatus setOriginalClassName(const ACHAR* name);
    const ACHAR* originalDxfName() const;
    Acad::ErrorStatus setOriginalDxfName(const ACHAR* name);
    // What a file's class row said of the original class (application name, proxy flags and
    // whether it was a proxy already), so the row can be written back as it came.
    const ACHAR* originalAppName() const { return m_appName.kwszPtr(); }
    Adesk::UInt32 originalProxyFlags() const { return m_proxyFlags; }
    bool originalWasProxy() const { return m_wasProxy; }
    void setOriginalClassRow(const ACHAR* appName, Adesk::UInt32 proxyFlags, bool wasProxy) {
        m_appName = AcString(appName);
        m_proxyFlags = proxyFlags;
        m_wasProxy = wasProxy;
    }

    Acad::ErrorStatus transformBy(const AcGeMatrix3d& xform) override;
    bool subWorldDraw(AcGiWorldDraw* wd) override { return true; }

    // A copy of the text items the original class filed after the entity's common part
    // (acutRelRb); null when there are none.
    resbuf* rawDxfItems() const;
    // Keeps a copy of the chain; eOutOfMemory when copying fails.
    Acad::ErrorStatus setRawDxfItems(const resbuf* items);

    // Binary: the two names, then the kept items. Text: the kept items when there are any (what a
    // file gave for an entity the host does not model); otherwise "AcDbProxyEntity", 1 class name,
    // 2 record name. Reading keeps every item after the common part unless that starts with
    // "AcDbProxyEntity".
    Acad::ErrorStatus dwgInFields(AcDbDwgFiler* filer) override;
    Acad::ErrorStatus dwgOutFields(AcDbDwgFiler* filer) const override;
    Acad::ErrorStatus dxfInFields(AcDbDxfFiler* filer) override;
    Acad::ErrorStatus dxfOutFields(AcDbDxfFiler* filer) const override;

  private:
    Acad::ErrorStatus keepRawItems(AcDbDxfFiler* filer);

    AcString m_className;
    AcString m_dxfName;
    AcString m_appName;
    Adesk::UInt32 m_proxyFlags = 0;
    bool m_wasProxy = false;
    resbuf* m_dxfItems = nullptr;
};
