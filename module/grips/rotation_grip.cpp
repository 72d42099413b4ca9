#include "module/grips/rotation_grip.h"

#include "module/grips/rotation_grip_imp.h"

KX_DEFINE_PAIR(KxDbTagRotationGrip, KxDbTagGrip, KxDbImpTagRotationGrip)
