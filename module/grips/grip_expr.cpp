#include "module/grips/grip_expr.h"

#include "module/grips/grip_expr_imp.h"

KX_DEFINE_PAIR(KxDbTagGripExpr, KxDbTagEvalExpr, KxDbImpTagGripExpr)
