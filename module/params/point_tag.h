// The point parameter.
#pragma once

#include "module/frame/pair_macros.h"
#include "module/params/block_1pt_tag.h"

class KXDB_EXPORT KxDbBlockPointTag : public KxDbBlock1PtTag {
    KX_DECLARE_PAIR(KxDbBlockPointTag, KxDbBlock1PtTag)
};
