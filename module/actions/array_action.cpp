#include "module/actions/array_action.h"

#include "module/actions/array_action_imp.h"

KX_DEFINE_PAIR(KxDbTagArrayAction, KxDbTagAction, KxDbImpTagArrayAction)
