#include "module/grips/lookup_grip.h"

#include "module/grips/lookup_grip_imp.h"

KX_DEFINE_PAIR(KxDbTagLookupGrip, KxDbTagGrip, KxDbImpTagLookupGrip)
