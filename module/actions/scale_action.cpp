#include "module/actions/scale_action.h"

#include "module/actions/scale_action_imp.h"

KX_DEFINE_PAIR(KxDbTagScaleAction, KxDbTagActionWithBasePt, KxDbImpTagScaleAction)
