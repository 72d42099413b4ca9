// The implementation of KxDbBlockPolarTag.
#pragma once

#include "module/params/block_2pt_tag_imp.h"
#include "module/params/polar_tag.h"

class KxDbImpBlockPolarTag : public KxDbImpBlock2PtTag {
    KX_DECLARE_IMP(KxDbImpBlockPolarTag, KxDbImpBlock2PtTag)
};
