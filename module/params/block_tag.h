// The base of every parameter.
#pragma once

#include "module/frame/pair_macros.h"
#include "module/graph/element.h"

class KXDB_EXPORT KxDbBlockTag : public KxDbTagElement {
    KX_DECLARE_PAIR(KxDbBlockTag, KxDbTagElement)
};
