// The scale action.
#pragma once

#include "module/actions/action_with_basept.h"
#include "module/frame/pair_macros.h"

class KXDB_EXPORT KxDbTagScaleAction : public KxDbTagActionWithBasePt {
    KX_DECLARE_PAIR(KxDbTagScaleAction, KxDbTagActionWithBasePt)
};
