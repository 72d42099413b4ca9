#include "module/actions/stretch_action.h"

#include "module/actions/stretch_action_imp.h"

KX_DEFINE_PAIR(KxDbTagStretchAction, KxDbTagAction, KxDbImpTagStretchAction)
