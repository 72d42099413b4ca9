#include "module/params/block_2pt_tag.h"

#include "module/params/block_2pt_tag_imp.h"

KX_DEFINE_PAIR(KxDbBlock2PtTag, KxDbBlockTag, KxDbImpBlock2PtTag)
