// The public/implementation pair every persistent class is built from. The public object is what
// the database stores, opens, files and clones; it owns one implementation object holding all
// state and behaviour, and forwards every operation to it. The implementation reaches the open
// state of its public object only through its back pointer.
#pragma once

#include "host/db/dbobject.h"
#include "module/frame/export.h"

class AcDbImpObjectWrapper;

class KXDB_EXPORT AcDbObjectWrapper : public AcDbObject {
  public:
    ACRX_DECLARE_MEMBERS(AcDbObjectWrapper);

    // Constructed by itself, the wrapper holds a plain implementation object.
    AcDbObjectWrapper();
    ~AcDbObjectWrapper() override;

    static void setImp(AcDbObjectWrapper* pub, AcDbImpObjectWrapper* imp);
    static AcDbImpObjectWrapper* getImp(const AcDbObjectWrapper* pub);

    Acad::ErrorStatus copyFrom(const AcRxObject* other) override;
    Acad::ErrorStatus audit(AcDbAuditInfo* info) override;
    Acad::ErrorStatus dwgInFields(AcDbDwgFiler* filer) override;
    Acad::ErrorStatus dwgOutFields(AcDbDwgFiler* filer) const override;
    Acad::ErrorStatus dxfInFields(AcDbDxfFiler* filer) override;
    Acad::ErrorStatus dxfOutFields(AcDbDxfFiler* filer) const override;
    Acad::ErrorStatus decomposeForSave(AcDb::AcDbDwgVersion ver, AcDbObject*& replaceObj,
                                       AcDbObjectId& replaceId,
                                       Adesk::Boolean& exchangeXData) override;

  protected:
    // Derived public classes construct the wrapper empty and install their own implementation.
    struct NoImp {};
    explicit AcDbObjectWrapper(NoImp) {}

  private:
    AcDbImpObjectWrapper* m_pImp = nullptr;
};

class KXDB_EXPORT AcDbImpObjectWrapper {
  public:
    explicit AcDbImpObjectWrapper(AcDbObjectWrapper* pub) : m_pPublic(pub) {}
    AcDbImpObjectWrapper(const AcDbImpObjectWrapper&) = delete;
    AcDbImpObjectWrapper& operator=(const AcDbImpObjectWrapper&) = delete;

    virtual Acad::ErrorStatus setOwnerId(AcDbObjectId ownerId);
    virtual Acad::ErrorStatus audit(AcDbAuditInfo* info) { return Acad::eOk; }
    virtual Acad::ErrorStatus dwgInFields(AcDbDwgFiler* filer) { return Acad::eOk; }
    virtual Acad::ErrorStatus dwgOutFields(AcDbDwgFiler* filer) const { return Acad::eOk; }
    virtual Acad::ErrorStatus dxfInFields(AcDbDxfFiler* filer) { return Acad::eOk; }
    virtual Acad::ErrorStatus dxfOutFields(AcDbDxfFiler* filer) const { return Acad::eOk; }
    virtual Acad::ErrorStatus copyFrom(const AcRxObject* other) { return Acad::eOk; }
    virtual Acad::ErrorStatus decomposeForSave(AcDb::AcDbDwgVersion ver, AcDbObject*& replaceObj,
                                               AcDbObjectId& replaceId,
                                               Adesk::Boolean& exchangeXData) {
        return Acad::eOk;
    }
    virtual ~AcDbImpObjectWrapper() = default;

    AcDbObjectWrapper* publicObject() const { return m_pPublic; }

    // The open state of the public object.
    AcDbObjectId objectId() const;
    AcDbObjectId ownerId() const;
    AcDbDatabase* database() const;
    void assertReadEnabled() const;
    void assertWriteEnabled() const;
    void assertNotifyEnabled() const;
    Acad::ErrorStatus upgradeOpen() const;
    Acad::ErrorStatus downgradeOpen() const;
    bool isWriteEnabled() const;
    Acad::ErrorStatus close() const;
    Acad::ErrorStatus erase() const;

  private:
    AcDbObjectWrapper* const m_pPublic;
};
