#include "module/params/alignment_tag.h"

#include "module/params/alignment_tag_imp.h"

KX_DEFINE_PAIR(KxDbBlockAlignmentTag, KxDbBlock2PtTag, KxDbImpBlockAlignmentTag)
