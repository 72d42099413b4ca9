// The user parameter: a named value.
#pragma once

#include "module/frame/pair_macros.h"
#include "module/params/block_1pt_tag.h"

class KXDB_EXPORT KxDbBlockUserTag : public KxDbBlock1PtTag {
    KX_DECLARE_PAIR(KxDbBlockUserTag, KxDbBlock1PtTag)
};
