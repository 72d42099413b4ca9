// The implementation of KxDbTagPurgePreventer.
#pragma once

#include "module/representation/purge_preventer.h"
#include "module/representation/representation_data_imp.h"

class KXDB_EXPORT KxDbImpTagPurgePreventer : public KxDbImpTagRepresentationData {
    KX_DECLARE_IMP(KxDbImpTagPurgePreventer, KxDbImpTagRepresentationData)

    Acad::ErrorStatus dwgInFields(AcDbDwgFiler* filer) override;
    Acad::ErrorStatus dwgOutFields(AcDbDwgFiler* filer) const override;
    Acad::ErrorStatus dxfInFields(AcDbDxfFiler* filer) override;
    Acad::ErrorStatus dxfOutFields(AcDbDxfFiler* filer) const override;
};
