#include "module/actions/lookup_action.h"

#include "module/actions/lookup_action_imp.h"

KX_DEFINE_PAIR(KxDbTagLookupAction, KxDbTagAction, KxDbImpTagLookupAction)
