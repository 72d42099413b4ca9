#include "module/grips/grip.h"

#include "module/grips/grip_imp.h"

KX_DEFINE_PAIR(KxDbTagGrip, KxDbTagElement, KxDbImpTagGrip)
