#include "module/grips/xy_grip.h"

#include "module/grips/xy_grip_imp.h"

KX_DEFINE_PAIR(KxDbTagXYGrip, KxDbTagGrip, KxDbImpTagXYGrip)
