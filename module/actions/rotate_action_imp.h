// The implementation of KxDbTagRotateAction.
#pragma once

#include "module/actions/action_with_basept_imp.h"
#include "module/actions/rotate_action.h"

class KxDbImpTagRotateAction : public KxDbImpTagActionWithBasePt {
    KX_DECLARE_IMP(KxDbImpTagRotateAction, KxDbImpTagActionWithBasePt)
};
