#include "module/graph/element.h"

#include "module/graph/element_imp.h"

KX_DEFINE_PAIR(KxDbTagElement, KxDbTagEvalConnectable, KxDbImpTagElement)
