// The implementation of KxDbTagStretchAction.
#pragma once

#include "module/actions/action_imp.h"
#include "module/actions/stretch_action.h"

class KxDbImpTagStretchAction : public KxDbImpTagAction {
    KX_DECLARE_IMP(KxDbImpTagStretchAction, KxDbImpTagAction)
};
