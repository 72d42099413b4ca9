// The implementation of KxDbTagBlockProxyNode: the node's own, unchanged.
#pragma once

#include "module/graph/block_proxy_node.h"
#include "module/graph/eval_expr_imp.h"

class KXDB_EXPORT KxDbImpTagBlockProxyNode : public KxDbImpTagEvalExpr {
    KX_DECLARE_IMP(KxDbImpTagBlockProxyNode, KxDbImpTagEvalExpr)
};
