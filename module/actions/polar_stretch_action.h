// The polar stretch action.
#pragma once

#include "module/actions/action.h"
#include "module/frame/pair_macros.h"

class KXDB_EXPORT KxDbTagPolarStretchAction : public KxDbTagAction {
    KX_DECLARE_PAIR(KxDbTagPolarStretchAction, KxDbTagAction)
};
