#include "module/grips/flip_grip.h"

#include "module/grips/flip_grip_imp.h"

KX_DEFINE_PAIR(KxDbTagFlipGrip, KxDbTagGrip, KxDbImpTagFlipGrip)
