// The implementation of KxDbBlockLinearTag.
#pragma once

#include "module/params/block_2pt_tag_imp.h"
#include "module/params/linear_tag.h"

class KxDbImpBlockLinearTag : public KxDbImpBlock2PtTag {
    KX_DECLARE_IMP(KxDbImpBlockLinearTag, KxDbImpBlock2PtTag)
};
