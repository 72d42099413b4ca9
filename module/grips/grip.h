// The base of every grip element.
#pragma once

#include "module/frame/pair_macros.h"
#include "module/graph/element.h"

class KXDB_EXPORT KxDbTagGrip : public KxDbTagElement {
    KX_DECLARE_PAIR(KxDbTagGrip, KxDbTagElement)
};
