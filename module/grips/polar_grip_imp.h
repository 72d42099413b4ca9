// The implementation of KxDbTagPolarGrip.
#pragma once

#include "module/grips/grip_imp.h"
#include "module/grips/polar_grip.h"

class KxDbImpTagPolarGrip : public KxDbImpTagGrip {
    KX_DECLARE_IMP(KxDbImpTagPolarGrip, KxDbImpTagGrip)
};
