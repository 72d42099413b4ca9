// The implementation of KxDbTagBlockProxyNode.
#pragma once

#include "module/graph/block_proxy_node.h"
#include "module/graph/eval_expr_imp.h"

class KxDbImpTagBlockProxyNode : public KxDbImpTagEvalExpr {
    KX_DECLARE_IMP(KxDbImpTagBlockProxyNode, KxDbImpTagEvalExpr)
};
