#include "module/actions/move_action.h"

#include "module/actions/move_action_imp.h"

KX_DEFINE_PAIR(KxDbTagMoveAction, KxDbTagAction, KxDbImpTagMoveAction)
