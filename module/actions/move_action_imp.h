// The implementation of KxDbTagMoveAction.
#pragma once

#include "module/actions/action_imp.h"
#include "module/actions/move_action.h"

class KxDbImpTagMoveAction : public KxDbImpTagAction {
    KX_DECLARE_IMP(KxDbImpTagMoveAction, KxDbImpTagAction)
};
