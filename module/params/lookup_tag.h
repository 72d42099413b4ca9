// The lookup parameter: a row of a lookup table.
#pragma once

#include "module/frame/pair_macros.h"
#include "module/params/block_1pt_tag.h"

class KXDB_EXPORT KxDbBlockLookupTag : public KxDbBlock1PtTag {
    KX_DECLARE_PAIR(KxDbBlockLookupTag, KxDbBlock1PtTag)
};
