// The implementation of KxDbBlockRotationTag.
#pragma once

#include "module/params/block_2pt_tag_imp.h"
#include "module/params/rotation_tag.h"

class KxDbImpBlockRotationTag : public KxDbImpBlock2PtTag {
    KX_DECLARE_IMP(KxDbImpBlockRotationTag, KxDbImpBlock2PtTag)
};
