// The implementation of KxDbTagScaleAction.
#pragma once

#include "module/actions/action_with_basept_imp.h"
#include "module/actions/scale_action.h"

class KxDbImpTagScaleAction : public KxDbImpTagActionWithBasePt {
    KX_DECLARE_IMP(KxDbImpTagScaleAction, KxDbImpTagActionWithBasePt)
};
