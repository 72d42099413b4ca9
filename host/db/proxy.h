// Proxy objects: stand-ins for objects of classes that are not loaded. A proxy keeps the
// original class's name and the data it was filed with, and files that data back unchanged, so a
// drawing passes through a session without the class and loses nothing.
#pragma once

#include <utility>
#include <vector>

#include "host/db/dbobject.h"
#include "host/db/dwgfiler.h"

class AcDbProxyObject : public AcDbObject {
  public:
    ACRX_DECLARE_MEMBERS(AcDbProxyObject);

    AcDbProxyObject();
    ~AcDbProxyObject() override;

    const ACHAR* originalClassName() const { return m_className.kwszPtr(); }
    void setOriginalClassName(const ACHAR* name) { m_className = AcString(name); }
    const ACHAR* originalDxfName() const { return m_dxfName.kwszPtr(); }
    void setOriginalDxfName(const ACHAR* name) { m_dxfName = AcString(name); }
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

    // The binary items the original class filed after the base object's fields.
    const std::vector<kxhost::DwgMemoryFiler::Item>& rawDwgItems() const { return m_dwgItems; }
    void setRawDwgItems(std::vector<kxhost::DwgMemoryFiler::Item> items) {
        m_dwgItems = std::move(items);
    }
    // A copy of the text items the original class filed (acutRelRb); null when there are none.
    resbuf* rawDxfItems() const;
    // Keeps a copy of the chain; eOutOfMemory when copying fails.
    Acad::ErrorStatus setRawDxfItems(const resbuf* items);

    // Binary filing: the base fields, then the kept items replayed as the kinds they were read
    // as. Reading keeps every item that follows the base fields, which needs a seekable memory
    // stream (DwgMemoryFiler); from other filers only the base fields are read.
    Acad::ErrorStatus dwgInFields(AcDbDwgFiler* filer) override;
    Acad::ErrorStatus dwgOutFields(AcDbDwgFiler* filer) const override;
    // Text filing: every group item after the base fields is kept and written back.
    Acad::ErrorStatus dxfInFields(AcDbDxfFiler* filer) override;
    Acad::ErrorStatus dxfOutFields(AcDbDxfFiler* filer) const override;

  private:
    AcString m_className;
    AcString m_dxfName;
    AcString m_appName;
    Adesk::UInt32 m_proxyFlags = 0;
    bool m_wasProxy = false;
    std::vector<kxhost::DwgMemoryFiler::Item> m_dwgItems;
    resbuf* m_dxfItems = nullptr;
};
