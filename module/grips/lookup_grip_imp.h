// The implementation of KxDbTagLookupGrip.
#pragma once

#include "module/grips/grip_imp.h"
#include "module/grips/lookup_grip.h"

class KxDbImpTagLookupGrip : public KxDbImpTagGrip {
    KX_DECLARE_IMP(KxDbImpTagLookupGrip, KxDbImpTagGrip)
};
