// The implementation of KxDbTagRootData.
#pragma once

#include "module/frame/pair_macros.h"
#include "module/rootdata/root_data.h"

class KxDbImpTagRootData : public AcDbImpObjectWrapper {
    KX_DECLARE_IMP(KxDbImpTagRootData, AcDbImpObjectWrapper)
};
