// The implementation of KxDbTagActionWithBasePt.
#pragma once

#include "module/actions/action_imp.h"
#include "module/actions/action_with_basept.h"

class KxDbImpTagActionWithBasePt : public KxDbImpTagAction {
    KX_DECLARE_IMP(KxDbImpTagActionWithBasePt, KxDbImpTagAction)
};
