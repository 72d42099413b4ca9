#include "module/grips/polar_grip.h"

#include "module/grips/polar_grip_imp.h"

KX_DEFINE_PAIR(KxDbTagPolarGrip, KxDbTagGrip, KxDbImpTagPolarGrip)
