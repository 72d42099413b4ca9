// The implementation of KxDbTagRepresentationData.
#pragma once

#include "module/frame/pair_macros.h"
#include "module/representation/representation_data.h"

class KxDbImpTagRepresentationData : public AcDbImpObjectWrapper {
    KX_DECLARE_IMP(KxDbImpTagRepresentationData, AcDbImpObjectWrapper)
};
