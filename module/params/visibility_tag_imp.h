// The implementation of KxDbBlockVisibilityTag.
#pragma once

#include "module/params/block_1pt_tag_imp.h"
#include "module/params/visibility_tag.h"

class KxDbImpBlockVisibilityTag : public KxDbImpBlock1PtTag {
    KX_DECLARE_IMP(KxDbImpBlockVisibilityTag, KxDbImpBlock1PtTag)
};
