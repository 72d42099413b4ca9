// The implementation of KxDbTagFlipAction.
#pragma once

#include "module/actions/action_imp.h"
#include "module/actions/flip_action.h"

class KxDbImpTagFlipAction : public KxDbImpTagAction {
    KX_DECLARE_IMP(KxDbImpTagFlipAction, KxDbImpTagAction)
};
