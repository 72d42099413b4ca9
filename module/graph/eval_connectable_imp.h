// The implementation of KxDbTagEvalConnectable. The connectable class adds only public defaults;
// the connection protocol of elements lives in KxDbImpTagElement.
#pragma once

#include "module/graph/eval_connectable.h"
#include "module/graph/eval_expr_imp.h"

class KXDB_EXPORT KxDbImpTagEvalConnectable : public KxDbImpTagEvalExpr {
    KX_DECLARE_IMP(KxDbImpTagEvalConnectable, KxDbImpTagEvalExpr)
};
