#include "module/grips/linear_grip.h"

#include "module/grips/linear_grip_imp.h"

KX_DEFINE_PAIR(KxDbTagLinearGrip, KxDbTagGrip, KxDbImpTagLinearGrip)
