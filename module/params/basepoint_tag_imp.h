// The implementation of KxDbBlockBasepointTag.
#pragma once

#include "module/params/basepoint_tag.h"
#include "module/params/block_1pt_tag_imp.h"

class KxDbImpBlockBasepointTag : public KxDbImpBlock1PtTag {
    KX_DECLARE_IMP(KxDbImpBlockBasepointTag, KxDbImpBlock1PtTag)
};
