// The implementation of KxDbBlock2PtTag.
#pragma once

#include "module/params/block_2pt_tag.h"
#include "module/params/block_tag_imp.h"

class KxDbImpBlock2PtTag : public KxDbImpBlockTag {
    KX_DECLARE_IMP(KxDbImpBlock2PtTag, KxDbImpBlockTag)
};
