// The implementation of KxDbBlockAlignmentTag.
#pragma once

#include "module/params/alignment_tag.h"
#include "module/params/block_2pt_tag_imp.h"

class KxDbImpBlockAlignmentTag : public KxDbImpBlock2PtTag {
    KX_DECLARE_IMP(KxDbImpBlockAlignmentTag, KxDbImpBlock2PtTag)
};
