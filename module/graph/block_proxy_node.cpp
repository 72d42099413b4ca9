#include "module/graph/block_proxy_node.h"

#include "module/graph/block_proxy_node_imp.h"

KX_DEFINE_PAIR(KxDbTagBlockProxyNode, KxDbTagEvalExpr, KxDbImpTagBlockProxyNode)
