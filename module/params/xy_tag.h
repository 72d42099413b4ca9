// The XY parameter: horizontal and vertical distances.
#pragma once

#include "module/frame/pair_macros.h"
#include "module/params/block_2pt_tag.h"

class KXDB_EXPORT KxDbBlockXYTag : public KxDbBlock2PtTag {
    KX_DECLARE_PAIR(KxDbBlockXYTag, KxDbBlock2PtTag)
};
