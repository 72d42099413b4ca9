// The implementation of KxDbTagAction.
#pragma once

#include "module/actions/action.h"
#include "module/graph/element_imp.h"

class KxDbImpTagAction : public KxDbImpTagElement {
    KX_DECLARE_IMP(KxDbImpTagAction, KxDbImpTagElement)
};
