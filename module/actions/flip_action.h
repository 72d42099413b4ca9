// The flip action.
#pragma once

#include "module/actions/action.h"
#include "module/frame/pair_macros.h"

class KXDB_EXPORT KxDbTagFlipAction : public KxDbTagAction {
    KX_DECLARE_PAIR(KxDbTagFlipAction, KxDbTagAction)
};
