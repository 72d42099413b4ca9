// The implementation of KxDbTagArrayAction.
#pragma once

#include "module/actions/action_imp.h"
#include "module/actions/array_action.h"

class KxDbImpTagArrayAction : public KxDbImpTagAction {
    KX_DECLARE_IMP(KxDbImpTagArrayAction, KxDbImpTagAction)
};
