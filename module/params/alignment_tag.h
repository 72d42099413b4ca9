// The alignment parameter.
#pragma once

#include "module/frame/pair_macros.h"
#include "module/params/block_2pt_tag.h"

class KXDB_EXPORT KxDbBlockAlignmentTag : public KxDbBlock2PtTag {
    KX_DECLARE_PAIR(KxDbBlockAlignmentTag, KxDbBlock2PtTag)
};
