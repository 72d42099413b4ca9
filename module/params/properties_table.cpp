#include "module/params/properties_table.h"

#include "module/params/properties_table_imp.h"

KX_DEFINE_PAIR(KxDbTagPropertiesTable, KxDbBlock1PtTag, KxDbImpTagPropertiesTable)
