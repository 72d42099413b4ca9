#include "module/representation/purge_preventer.h"

#include "module/representation/purge_preventer_imp.h"

KX_DEFINE_PAIR(KxDbTagPurgePreventer, KxDbTagRepresentationData, KxDbImpTagPurgePreventer)
