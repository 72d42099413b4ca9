// The base of parameters defined by one point.
#pragma once

#include "module/frame/pair_macros.h"
#include "module/params/block_tag.h"

class KXDB_EXPORT KxDbBlock1PtTag : public KxDbBlockTag {
    KX_DECLARE_PAIR(KxDbBlock1PtTag, KxDbBlockTag)
};
