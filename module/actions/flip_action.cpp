#include "module/actions/flip_action.h"

#include "module/actions/flip_action_imp.h"

KX_DEFINE_PAIR(KxDbTagFlipAction, KxDbTagAction, KxDbImpTagFlipAction)
