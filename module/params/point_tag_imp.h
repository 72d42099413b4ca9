// The implementation of KxDbBlockPointTag.
#pragma once

#include "module/params/block_1pt_tag_imp.h"
#include "module/params/point_tag.h"

class KxDbImpBlockPointTag : public KxDbImpBlock1PtTag {
    KX_DECLARE_IMP(KxDbImpBlockPointTag, KxDbImpBlock1PtTag)
};
