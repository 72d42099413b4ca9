#include "module/grips/visibility_grip.h"

#include "module/grips/visibility_grip_imp.h"

KX_DEFINE_PAIR(KxDbTagVisibilityGrip, KxDbTagGrip, KxDbImpTagVisibilityGrip)
