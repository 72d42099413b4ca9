// The implementation of KxDbBlockUserTag.
#pragma once

#include "module/params/block_1pt_tag_imp.h"
#include "module/params/user_tag.h"

class KxDbImpBlockUserTag : public KxDbImpBlock1PtTag {
    KX_DECLARE_IMP(KxDbImpBlockUserTag, KxDbImpBlock1PtTag)
};
