// The rotation parameter: an angle.
#pragma once

#include "module/frame/pair_macros.h"
#include "module/params/block_2pt_tag.h"

class KXDB_EXPORT KxDbBlockRotationTag : public KxDbBlock2PtTag {
    KX_DECLARE_PAIR(KxDbBlockRotationTag, KxDbBlock2PtTag)
};
