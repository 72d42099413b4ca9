// The base of every action.
#pragma once

#include "module/frame/pair_macros.h"
#include "module/graph/element.h"

class KXDB_EXPORT KxDbTagAction : public KxDbTagElement {
    KX_DECLARE_PAIR(KxDbTagAction, KxDbTagElement)
};
