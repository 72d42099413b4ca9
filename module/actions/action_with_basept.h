// The base of actions that work about a base point.
#pragma once

#include "module/actions/action.h"
#include "module/frame/pair_macros.h"

class KXDB_EXPORT KxDbTagActionWithBasePt : public KxDbTagAction {
    KX_DECLARE_PAIR(KxDbTagActionWithBasePt, KxDbTagAction)
};
