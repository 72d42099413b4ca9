#include "module/actions/action_with_basept.h"

#include "module/actions/action_with_basept_imp.h"

KX_DEFINE_PAIR(KxDbTagActionWithBasePt, KxDbTagAction, KxDbImpTagActionWithBasePt)
