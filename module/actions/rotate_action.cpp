#include "module/actions/rotate_action.h"

#include "module/actions/rotate_action_imp.h"

KX_DEFINE_PAIR(KxDbTagRotateAction, KxDbTagActionWithBasePt, KxDbImpTagRotateAction)
