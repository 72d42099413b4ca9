// The implementation of KxDbTagVisibilityGrip.
#pragma once

#include "module/grips/grip_imp.h"
#include "module/grips/visibility_grip.h"

class KxDbImpTagVisibilityGrip : public KxDbImpTagGrip {
    KX_DECLARE_IMP(KxDbImpTagVisibilityGrip, KxDbImpTagGrip)
};
