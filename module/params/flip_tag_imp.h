// The implementation of KxDbBlockFlipTag.
#pragma once

#include "module/params/block_2pt_tag_imp.h"
#include "module/params/flip_tag.h"

class KxDbImpBlockFlipTag : public KxDbImpBlock2PtTag {
    KX_DECLARE_IMP(KxDbImpBlockFlipTag, KxDbImpBlock2PtTag)
};
