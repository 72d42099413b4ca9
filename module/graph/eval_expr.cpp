#include "module/graph/eval_expr.h"

#include "module/graph/eval_expr_imp.h"

KX_DEFINE_PAIR(KxDbTagEvalExpr, AcDbObjectWrapper, KxDbImpTagEvalExpr)
