// The implementation of KxDbTagLinearGrip.
#pragma once

#include "module/grips/grip_imp.h"
#include "module/grips/linear_grip.h"

class KxDbImpTagLinearGrip : public KxDbImpTagGrip {
    KX_DECLARE_IMP(KxDbImpTagLinearGrip, KxDbImpTagGrip)
};
