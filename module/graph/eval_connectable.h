// A graph node with named connections to other nodes.
#pragma once

#include "module/frame/pair_macros.h"
#include "module/graph/eval_expr.h"

class KXDB_EXPORT KxDbTagEvalConnectable : public KxDbTagEvalExpr {
    KX_DECLARE_PAIR(KxDbTagEvalConnectable, KxDbTagEvalExpr)
};
