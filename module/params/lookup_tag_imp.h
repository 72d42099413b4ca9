// The implementation of KxDbBlockLookupTag.
#pragma once

#include "module/params/block_1pt_tag_imp.h"
#include "module/params/lookup_tag.h"

class KxDbImpBlockLookupTag : public KxDbImpBlock1PtTag {
    KX_DECLARE_IMP(KxDbImpBlockLookupTag, KxDbImpBlock1PtTag)
};
