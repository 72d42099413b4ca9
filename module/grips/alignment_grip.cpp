#include "module/grips/alignment_grip.h"

#include "module/grips/alignment_grip_imp.h"

KX_DEFINE_PAIR(KxDbTagAlignmentGrip, KxDbTagGrip, KxDbImpTagAlignmentGrip)
