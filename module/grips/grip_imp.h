// The implementation of KxDbTagGrip.
#pragma once

#include "module/graph/element_imp.h"
#include "module/grips/grip.h"

class KxDbImpTagGrip : public KxDbImpTagElement {
    KX_DECLARE_IMP(KxDbImpTagGrip, KxDbImpTagElement)
};
