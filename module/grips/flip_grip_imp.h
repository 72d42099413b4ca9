// The implementation of KxDbTagFlipGrip.
#pragma once

#include "module/grips/flip_grip.h"
#include "module/grips/grip_imp.h"

class KxDbImpTagFlipGrip : public KxDbImpTagGrip {
    KX_DECLARE_IMP(KxDbImpTagFlipGrip, KxDbImpTagGrip)
};
