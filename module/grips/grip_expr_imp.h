// The implementation of KxDbTagGripExpr.
#pragma once

#include "module/graph/eval_expr_imp.h"
#include "module/grips/grip_expr.h"

class KxDbImpTagGripExpr : public KxDbImpTagEvalExpr {
    KX_DECLARE_IMP(KxDbImpTagGripExpr, KxDbImpTagEvalExpr)
};
