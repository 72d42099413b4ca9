#include "module/params/param_action_link.h"

#include "module/graph/eval_expr.h"

KxDbParamActionLink::~KxDbParamActionLink() = default;

KxDbParamActionLink* KxDbParamActionLink::of(KxDbTagEvalExpr* node) {
    return dynamic_cast<KxDbParamActionLink*>(node);
}

const KxDbParamActionLink* KxDbParamActionLink::of(const KxDbTagEvalExpr* node) {
    return dynamic_cast<const KxDbParamActionLink*>(node);
}
