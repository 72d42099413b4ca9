// The base of parameters defined by two points.
#pragma once

#include "module/frame/pair_macros.h"
#include "module/params/block_tag.h"

class KXDB_EXPORT KxDbBlock2PtTag : public KxDbBlockTag {
    KX_DECLARE_PAIR(KxDbBlock2PtTag, KxDbBlockTag)
};
