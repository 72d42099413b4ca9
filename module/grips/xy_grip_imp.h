// The implementation of KxDbTagXYGrip.
#pragma once

#include "module/grips/grip_imp.h"
#include "module/grips/xy_grip.h"

class KxDbImpTagXYGrip : public KxDbImpTagGrip {
    KX_DECLARE_IMP(KxDbImpTagXYGrip, KxDbImpTagGrip)
};
