// The visibility parameter: named states showing subsets of the geometry.
#pragma once

#include "module/frame/pair_macros.h"
#include "module/params/block_1pt_tag.h"

class KXDB_EXPORT KxDbBlockVisibilityTag : public KxDbBlock1PtTag {
    KX_DECLARE_PAIR(KxDbBlockVisibilityTag, KxDbBlock1PtTag)
};
