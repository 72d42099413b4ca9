// The polar parameter: a distance and an angle.
#pragma once

#include "module/frame/pair_macros.h"
#include "module/params/block_2pt_tag.h"

class KXDB_EXPORT KxDbBlockPolarTag : public KxDbBlock2PtTag {
    KX_DECLARE_PAIR(KxDbBlockPolarTag, KxDbBlock2PtTag)
};
