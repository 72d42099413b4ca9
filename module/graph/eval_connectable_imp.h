// The implementation of KxDbTagEvalConnectable.
#pragma once

#include "module/graph/eval_connectable.h"
#include "module/graph/eval_expr_imp.h"

class KxDbImpTagEvalConnectable : public KxDbImpTagEvalExpr {
    KX_DECLARE_IMP(KxDbImpTagEvalConnectable, KxDbImpTagEvalExpr)
};
