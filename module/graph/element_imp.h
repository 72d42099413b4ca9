// The implementation of KxDbTagElement.
#pragma once

#include "module/graph/element.h"
#include "module/graph/eval_connectable_imp.h"

class KxDbImpTagElement : public KxDbImpTagEvalConnectable {
    KX_DECLARE_IMP(KxDbImpTagElement, KxDbImpTagEvalConnectable)
};
