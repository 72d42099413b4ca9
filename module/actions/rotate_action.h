// The rotate action.
#pragma once

#include "module/actions/action_with_basept.h"
#include "module/frame/pair_macros.h"

class KXDB_EXPORT KxDbTagRotateAction : public KxDbTagActionWithBasePt {
    KX_DECLARE_PAIR(KxDbTagRotateAction, KxDbTagActionWithBasePt)
};
