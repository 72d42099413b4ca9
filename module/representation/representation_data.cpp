#include "module/representation/representation_data.h"

#include "host/core/resbuf.h"
#include "host/db/dwgfiler.h"
#include "host/db/dxffiler.h"
#include "module/representation/representation_data_imp.h"

KX_DEFINE_PAIR(KxDbTagRepresentationData, AcDbObjectWrapper, KxDbImpTagRepresentationData)

namespace {

constexpr Acad::ErrorStatus kVersionNotAccepted = static_cast<Acad::ErrorStatus>(301);

KxDbImpTagRepresentationData* impOf(const KxDbTagRepresentationData* pub) {
    return kxImpOf<KxDbImpTagRepresentationData>(pub);
}

}  // namespace

Adesk::Int16 KxDbTagRepresentationData::version() const {
    assertReadEnabled();
    const KxDbImpTagRepresentationData* p = impOf(this);
    return p != nullptr ? p->version() : kCurrentVersion;
}

AcDbObjectId KxDbTagRepresentationData::dataId() const {
    assertReadEnabled();
    const KxDbImpTagRepresentationData* p = impOf(this);
    return p != nullptr ? p->dataId() : AcDbObjectId::kNull;
}

KX_FORWARD_STATUS(KxDbTagRepresentationData, setDataId, (AcDbObjectId id), (id), )

Acad::ErrorStatus KxDbImpTagRepresentationData::setDataId(AcDbObjectId id) {
    assertWriteEnabled();
    m_dataId = id;
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpTagRepresentationData::copyFrom(const AcRxObject* other) {
    const auto* source = KxDbTagRepresentationData::cast(other);
    if (source == nullptr) {
        return Acad::eWrongObjectType;
    }
    const auto* from = kxImpOf<KxDbImpTagRepresentationData>(source);
    if (from == nullptr) {
        return Acad::eNullObjectPointer;
    }
    assertWriteEnabled();
    m_version = from->m_version;
    m_dataId = from->m_dataId;
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpTagRepresentationData::dwgOutFields(AcDbDwgFiler* filer) const {
    if (filer == nullptr) {
        return Acad::eNullObjectPointer;
    }
    filer->writeInt16(m_version);
    filer->writeHardPointerId(m_dataId);
    return filer->filerStatus();
}

Acad::ErrorStatus KxDbImpTagRepresentationData::dwgInFields(AcDbDwgFiler* filer) {
    if (filer == nullptr) {
        return Acad::eNullObjectPointer;
    }
    assertWriteEnabled();
    Adesk::Int16 version = 0;
    Acad::ErrorStatus es = filer->readInt16(&version);
    if (es != Acad::eOk) {
        return es;
    }
    if (version != KxDbTagRepresentationData::kCurrentVersion) {
        return kVersionNotAccepted;
    }
    AcDbHardPointerId id;
    if ((es = filer->readHardPointerId(&id)) != Acad::eOk) {
        return es;
    }
    m_version = version;
    m_dataId = id;
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpTagRepresentationData::dxfOutFields(AcDbDxfFiler* filer) const {
    if (filer == nullptr) {
        return Acad::eNullObjectPointer;
    }
    filer->writeString(100, KxDbTagRepresentationData::desc()->name());
    filer->writeInt16(70, m_version);
    filer->writeObjectId(340, m_dataId);
    return filer->filerStatus();
}

Acad::ErrorStatus KxDbImpTagRepresentationData::dxfInFields(AcDbDxfFiler* filer) {
    if (filer == nullptr) {
        return Acad::eNullObjectPointer;
    }
    assertWriteEnabled();
    if (!filer->atSubclassData(KxDbTagRepresentationData::desc()->name())) {
        const Acad::ErrorStatus es = filer->filerStatus();
        return es != Acad::eOk ? es : Acad::eMissingDxfField;
    }
    bool first = true;
    for (;;) {
        resbuf rb{};
        const Acad::ErrorStatus es = filer->readItem(&rb);
        if (es == Acad::eEndOfFile) {
            return Acad::eOk;
        }
        if (es != Acad::eOk) {
            return Acad::eInvalidResBuf;
        }
        if (acutRbOwnsString(rb.restype)) {
            // No group of this record carries text: whatever came is pushed back below.
            acutDelBuffer(rb.resval.rstring);
        }
        if (first && rb.restype == 70) {
            // A version this module does not know: its layout cannot be trusted.
            if (rb.resval.rint != KxDbTagRepresentationData::kCurrentVersion) {
                return kVersionNotAccepted;
            }
            m_version = rb.resval.rint;
        } else if (rb.restype == 340) {
            AcDbObjectId id;
            acdbGetObjectId(id, rb.resval.rlname);
            m_dataId = id;
        } else {
            filer->pushBackItem();
            return filer->filerStatus();
        }
        first = false;
    }
}
