// The implementation of KxDbTagEvalExpr.
#pragma once

#include "module/frame/pair_macros.h"
#include "module/graph/eval_expr.h"

class KxDbImpTagEvalExpr : public AcDbImpObjectWrapper {
    KX_DECLARE_IMP(KxDbImpTagEvalExpr, AcDbImpObjectWrapper)
};
