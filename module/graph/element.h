// The common base of parameters, actions and grips: a named node with per-reference instance data.
#pragma once

#include "module/frame/pair_macros.h"
#include "module/graph/eval_connectable.h"

class KXDB_EXPORT KxDbTagElement : public KxDbTagEvalConnectable {
    KX_DECLARE_PAIR(KxDbTagElement, KxDbTagEvalConnectable)
};
