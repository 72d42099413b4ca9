#include "module/representation/purge_preventer.h"

#include "host/core/resbuf.h"
#include "host/db/dwgfiler.h"
#include "host/db/dxffiler.h"
#include "module/representation/purge_preventer_imp.h"

KX_DEFINE_PAIR(KxDbTagPurgePreventer, KxDbTagRepresentationData, KxDbImpTagPurgePreventer)

namespace {
constexpr Acad::ErrorStatus kVersionNotAccepted = static_cast<Acad::ErrorStatus>(301);
constexpr Acad::ErrorStatus kMissingVersion = static_cast<Acad::ErrorStatus>(50);
}  // namespace

Acad::ErrorStatus KxDbImpTagPurgePreventer::dwgOutFields(AcDbDwgFiler* filer) const {
    if (filer == nullptr) {
        return Acad::eNullObjectPointer;
    }
    if (filer->filerType() == AcDb::kPurgeFiler) {
        return filer->filerStatus();
    }
    return KxDbImpTagRepresentationData::dwgOutFields(filer);
}

Acad::ErrorStatus KxDbImpTagPurgePreventer::dwgInFields(AcDbDwgFiler* filer) {
    return KxDbImpTagRepresentationData::dwgInFields(filer);
}

Acad::ErrorStatus KxDbImpTagPurgePreventer::dxfOutFields(AcDbDxfFiler* filer) const {
    if (filer == nullptr) {
        return Acad::eNullObjectPointer;
    }
    filer->writeString(100, KxDbTagPurgePreventer::desc()->name());
    filer->writeInt16(70, m_version);
    return filer->filerStatus();
}

Acad::ErrorStatus KxDbImpTagPurgePreventer::dxfInFields(AcDbDxfFiler* filer) {
    if (filer == nullptr) {
        return Acad::eNullObjectPointer;
    }
    assertWriteEnabled();
    if (!filer->atSubclassData(KxDbTagPurgePreventer::desc()->name())) {
        const Acad::ErrorStatus es = filer->filerStatus();
        return es != Acad::eOk ? es : Acad::eMissingDxfField;
    }
    resbuf rb{};
    const Acad::ErrorStatus es = filer->readItem(&rb);
    if (es != Acad::eOk && es != Acad::eEndOfFile) {
        return es;
    }
    if (es == Acad::eOk && acutRbOwnsString(rb.restype)) {
        acutDelBuffer(rb.resval.rstring);
    }
    if (es == Acad::eEndOfFile || rb.restype != 70) {
        if (es == Acad::eOk) {
            filer->pushBackItem();
        }
        filer->setError(kMissingVersion, L"KxDbTagPurgePreventer: version group 70 missing");
        return kMissingVersion;
    }
    if (rb.resval.rint != KxDbTagRepresentationData::kCurrentVersion) {
        return kVersionNotAccepted;
    }
    m_version = rb.resval.rint;
    return Acad::eOk;
}
