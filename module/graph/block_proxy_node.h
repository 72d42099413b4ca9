// A plain node with no behaviour of its own: it stands in the graph for a node the drawing holds
// but the module does not otherwise know. It is only created by its class's pseudo-constructor
// (when read from a drawing), files exactly as a node, and a graph holding nothing but such nodes
// does not make its block dynamic.
#pragma once

#include "module/frame/pair_macros.h"
#include "module/graph/eval_expr.h"

class KXDB_EXPORT KxDbTagBlockProxyNode : public KxDbTagEvalExpr {
    KX_DECLARE_PAIR(KxDbTagBlockProxyNode, KxDbTagEvalExpr)
};
