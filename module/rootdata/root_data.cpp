#include "module/rootdata/root_data.h"

#include "module/rootdata/root_data_imp.h"

KX_DEFINE_PAIR(KxDbTagRootData, AcDbObjectWrapper, KxDbImpTagRootData)
