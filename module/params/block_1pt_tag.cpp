#include "module/params/block_1pt_tag.h"

#include "module/params/block_1pt_tag_imp.h"

KX_DEFINE_PAIR(KxDbBlock1PtTag, KxDbBlockTag, KxDbImpBlock1PtTag)
