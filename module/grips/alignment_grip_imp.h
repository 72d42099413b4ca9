// The implementation of KxDbTagAlignmentGrip.
#pragma once

#include "module/grips/alignment_grip.h"
#include "module/grips/grip_imp.h"

class KxDbImpTagAlignmentGrip : public KxDbImpTagGrip {
    KX_DECLARE_IMP(KxDbImpTagAlignmentGrip, KxDbImpTagGrip)
};
