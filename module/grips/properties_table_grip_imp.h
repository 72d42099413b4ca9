// The implementation of KxDbTagPropertiesTableGrip.
#pragma once

#include "module/grips/grip_imp.h"
#include "module/grips/properties_table_grip.h"

class KxDbImpTagPropertiesTableGrip : public KxDbImpTagGrip {
    KX_DECLARE_IMP(KxDbImpTagPropertiesTableGrip, KxDbImpTagGrip)
};
