// The implementation of KxDbTagLookupAction.
#pragma once

#include "module/actions/action_imp.h"
#include "module/actions/lookup_action.h"

class KxDbImpTagLookupAction : public KxDbImpTagAction {
    KX_DECLARE_IMP(KxDbImpTagLookupAction, KxDbImpTagAction)
};
