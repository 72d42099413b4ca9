#include "module/grips/properties_table_grip.h"

#include "module/grips/properties_table_grip_imp.h"

KX_DEFINE_PAIR(KxDbTagPropertiesTableGrip, KxDbTagGrip, KxDbImpTagPropertiesTableGrip)
