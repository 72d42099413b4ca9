// The move action: translates its selection set by a distance read from two real connections of
// other nodes (normally the parameter it hangs on).
#pragma once

#include "module/actions/action.h"
#include "module/frame/pair_macros.h"

class KXDB_EXPORT KxDbTagMoveAction : public KxDbTagAction {
    KX_DECLARE_PAIR(KxDbTagMoveAction, KxDbTagAction)
};
