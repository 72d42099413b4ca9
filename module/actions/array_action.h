// The array action.
#pragma once

#include "module/actions/action.h"
#include "module/frame/pair_macros.h"

class KXDB_EXPORT KxDbTagArrayAction : public KxDbTagAction {
    KX_DECLARE_PAIR(KxDbTagArrayAction, KxDbTagAction)
};
