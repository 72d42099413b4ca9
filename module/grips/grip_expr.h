// A grip expression node.
#pragma once

#include "module/frame/pair_macros.h"
#include "module/graph/eval_expr.h"

class KXDB_EXPORT KxDbTagGripExpr : public KxDbTagEvalExpr {
    KX_DECLARE_PAIR(KxDbTagGripExpr, KxDbTagEvalExpr)
};
