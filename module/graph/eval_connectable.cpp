#include "module/graph/eval_connectable.h"

#include "module/graph/eval_connectable_imp.h"

KX_DEFINE_PAIR(KxDbTagEvalConnectable, KxDbTagEvalExpr, KxDbImpTagEvalConnectable)
