// The implementation of KxDbTagRotationGrip.
#pragma once

#include "module/grips/grip_imp.h"
#include "module/grips/rotation_grip.h"

class KxDbImpTagRotationGrip : public KxDbImpTagGrip {
    KX_DECLARE_IMP(KxDbImpTagRotationGrip, KxDbImpTagGrip)
};
