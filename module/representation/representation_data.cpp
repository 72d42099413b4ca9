#include "module/representation/representation_data.h"

#include "module/representation/representation_data_imp.h"

KX_DEFINE_PAIR(KxDbTagRepresentationData, AcDbObjectWrapper, KxDbImpTagRepresentationData)
