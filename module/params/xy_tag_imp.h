// The implementation of KxDbBlockXYTag.
#pragma once

#include "module/params/block_2pt_tag_imp.h"
#include "module/params/xy_tag.h"

class KxDbImpBlockXYTag : public KxDbImpBlock2PtTag {
    KX_DECLARE_IMP(KxDbImpBlockXYTag, KxDbImpBlock2PtTag)
};
