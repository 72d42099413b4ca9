// The lookup action.
#pragma once

#include "module/actions/action.h"
#include "module/frame/pair_macros.h"

class KXDB_EXPORT KxDbTagLookupAction : public KxDbTagAction {
    KX_DECLARE_PAIR(KxDbTagLookupAction, KxDbTagAction)
};
