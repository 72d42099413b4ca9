// The implementation of KxDbBlock1PtTag.
#pragma once

#include "module/params/block_1pt_tag.h"
#include "module/params/block_tag_imp.h"

class KxDbImpBlock1PtTag : public KxDbImpBlockTag {
    KX_DECLARE_IMP(KxDbImpBlock1PtTag, KxDbImpBlockTag)
};
