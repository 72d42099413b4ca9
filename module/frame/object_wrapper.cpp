#include "module/frame/object_wrapper.h"

#include <new>

AcDbObjectWrapper::AcDbObjectWrapper() {
    setImp(this, new (std::nothrow) AcDbImpObjectWrapper(this));
}

AcDbObjectWrapper::~AcDbObjectWrapper() {
    // The derived public classes' members are gone by now; the implementation goes next, through
    // its own most derived destructor, before the host's part of the object.
    delete m_pImp;
    m_pImp = nullptr;
}

void AcDbObjectWrapper::setImp(AcDbObjectWrapper* pub, AcDbImpObjectWrapper* imp) {
    if (pub != nullptr) {
        pub->m_pImp = imp;
    }
}

AcDbImpObjectWrapper* AcDbObjectWrapper::getImp(const AcDbObjectWrapper* pub) {
    return pub != nullptr ? pub->m_pImp : nullptr;
}

Acad::ErrorStatus AcDbObjectWrapper::copyFrom(const AcRxObject* other) {
    Acad::ErrorStatus es = AcDbObject::copyFrom(other);
    if (es != Acad::eOk) {
        return es;
    }
    if (m_pImp == nullptr) {
        return Acad::eNullObjectPointer;
    }
    return m_pImp->copyFrom(other);
}

Acad::ErrorStatus AcDbObjectWrapper::audit(AcDbAuditInfo* info) {
    Acad::ErrorStatus es = AcDbObject::audit(info);
    if (es != Acad::eOk) {
        return es;
    }
    return m_pImp != nullptr ? m_pImp->audit(info) : Acad::eNullObjectPointer;
}

Acad::ErrorStatus AcDbObjectWrapper::dwgInFields(AcDbDwgFiler* filer) {
    Acad::ErrorStatus es = AcDbObject::dwgInFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    return m_pImp != nullptr ? m_pImp->dwgInFields(filer) : Acad::eNullObjectPointer;
}

Acad::ErrorStatus AcDbObjectWrapper::dwgOutFields(AcDbDwgFiler* filer) const {
    Acad::ErrorStatus es = AcDbObject::dwgOutFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    return m_pImp != nullptr ? m_pImp->dwgOutFields(filer) : Acad::eNullObjectPointer;
}

Acad::ErrorStatus AcDbObjectWrapper::dxfInFields(AcDbDxfFiler* filer) {
    Acad::ErrorStatus es = AcDbObject::dxfInFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    return m_pImp != nullptr ? m_pImp->dxfInFields(filer) : Acad::eNullObjectPointer;
}

Acad::ErrorStatus AcDbObjectWrapper::dxfOutFields(AcDbDxfFiler* filer) const {
    Acad::ErrorStatus es = AcDbObject::dxfOutFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    return m_pImp != nullptr ? m_pImp->dxfOutFields(filer) : Acad::eNullObjectPointer;
}

Acad::ErrorStatus AcDbObjectWrapper::decomposeForSave(AcDb::AcDbDwgVersion ver,
                                                      AcDbObject*& replaceObj,
                                                      AcDbObjectId& replaceId,
                                                      Adesk::Boolean& exchangeXData) {
    Acad::ErrorStatus es = AcDbObject::decomposeForSave(ver, replaceObj, replaceId, exchangeXData);
    if (es != Acad::eOk) {
        return es;
    }
    return m_pImp != nullptr ? m_pImp->decomposeForSave(ver, replaceObj, replaceId, exchangeXData)
                             : Acad::eNullObjectPointer;
}

// --- Implementation side ----------------------------------------------------------------------

Acad::ErrorStatus AcDbImpObjectWrapper::setOwnerId(AcDbObjectId ownerId) {
    return m_pPublic != nullptr ? m_pPublic->AcDbObject::setOwnerId(ownerId)
                                : Acad::eNullObjectPointer;
}

AcDbObjectId AcDbImpObjectWrapper::objectId() const {
    return m_pPublic != nullptr ? m_pPublic->objectId() : AcDbObjectId::kNull;
}

AcDbObjectId AcDbImpObjectWrapper::ownerId() const {
    return m_pPublic != nullptr ? m_pPublic->ownerId() : AcDbObjectId::kNull;
}

AcDbDatabase* AcDbImpObjectWrapper::database() const {
    return m_pPublic != nullptr ? m_pPublic->database() : nullptr;
}

void AcDbImpObjectWrapper::assertReadEnabled() const {
    if (m_pPublic != nullptr) {
        m_pPublic->assertReadEnabled();
    }
}

void AcDbImpObjectWrapper::assertWriteEnabled() const {
    if (m_pPublic != nullptr) {
        m_pPublic->assertWriteEnabled(true, true);
    }
}

void AcDbImpObjectWrapper::assertNotifyEnabled() const {
    if (m_pPublic != nullptr) {
        m_pPublic->assertNotifyEnabled();
    }
}

Acad::ErrorStatus AcDbImpObjectWrapper::upgradeOpen() const {
    return m_pPublic != nullptr ? m_pPublic->upgradeOpen() : Acad::eNullObjectId;
}

Acad::ErrorStatus AcDbImpObjectWrapper::downgradeOpen() const {
    return m_pPublic != nullptr ? m_pPublic->downgradeOpen() : Acad::eNullObjectId;
}

bool AcDbImpObjectWrapper::isWriteEnabled() const {
    return m_pPublic != nullptr && m_pPublic->isWriteEnabled();
}

Acad::ErrorStatus AcDbImpObjectWrapper::close() const {
    return m_pPublic != nullptr ? m_pPublic->close() : Acad::eNotHandled;
}

Acad::ErrorStatus AcDbImpObjectWrapper::erase() const {
    return m_pPublic != nullptr ? m_pPublic->erase(true) : Acad::eNotHandled;
}
