// The implementation of KxDbTagRepresentationData.
#pragma once

#include "module/frame/pair_macros.h"
#include "module/representation/representation_data.h"

class KXDB_EXPORT KxDbImpTagRepresentationData : public AcDbImpObjectWrapper {
    KX_DECLARE_IMP(KxDbImpTagRepresentationData, AcDbImpObjectWrapper)

    Adesk::Int16 version() const { return m_version; }
    AcDbObjectId dataId() const { return m_dataId; }
    Acad::ErrorStatus setDataId(AcDbObjectId id);

    Acad::ErrorStatus dwgInFields(AcDbDwgFiler* filer) override;
    Acad::ErrorStatus dwgOutFields(AcDbDwgFiler* filer) const override;
    Acad::ErrorStatus dxfInFields(AcDbDxfFiler* filer) override;
    Acad::ErrorStatus dxfOutFields(AcDbDxfFiler* filer) const override;
    Acad::ErrorStatus copyFrom(const AcRxObject* other) override;

  protected:
    Adesk::Int16 m_version = KxDbTagRepresentationData::kCurrentVersion;
    AcDbObjectId m_dataId;
};
