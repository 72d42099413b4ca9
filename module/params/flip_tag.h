// The flip parameter: flipped or not about a line.
#pragma once

#include "module/frame/pair_macros.h"
#include "module/params/block_2pt_tag.h"

class KXDB_EXPORT KxDbBlockFlipTag : public KxDbBlock2PtTag {
    KX_DECLARE_PAIR(KxDbBlockFlipTag, KxDbBlock2PtTag)
};
