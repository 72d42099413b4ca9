// The implementation of KxDbTagPurgePreventer.
#pragma once

#include "module/representation/purge_preventer.h"
#include "module/representation/representation_data_imp.h"

class KxDbImpTagPurgePreventer : public KxDbImpTagRepresentationData {
    KX_DECLARE_IMP(KxDbImpTagPurgePreventer, KxDbImpTagRepresentationData)
};
