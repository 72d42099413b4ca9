// The linear parameter: a distance between two points.
#pragma once

#include "module/frame/pair_macros.h"
#include "module/params/block_2pt_tag.h"

class KXDB_EXPORT KxDbBlockLinearTag : public KxDbBlock2PtTag {
    KX_DECLARE_PAIR(KxDbBlockLinearTag, KxDbBlock2PtTag)
};
