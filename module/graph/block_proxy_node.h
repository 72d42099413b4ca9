// A node standing for one of the block reference's own properties.
#pragma once

#include "module/frame/pair_macros.h"
#include "module/graph/eval_expr.h"

class KXDB_EXPORT KxDbTagBlockProxyNode : public KxDbTagEvalExpr {
    KX_DECLARE_PAIR(KxDbTagBlockProxyNode, KxDbTagEvalExpr)
};
