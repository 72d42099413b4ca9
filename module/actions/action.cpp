#include "module/actions/action.h"

#include "module/actions/action_imp.h"

KX_DEFINE_PAIR(KxDbTagAction, KxDbTagElement, KxDbImpTagAction)
