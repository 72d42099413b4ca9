// The move action.
#pragma once

#include "module/actions/action.h"
#include "module/frame/pair_macros.h"

class KXDB_EXPORT KxDbTagMoveAction : public KxDbTagAction {
    KX_DECLARE_PAIR(KxDbTagMoveAction, KxDbTagAction)
};
