#include "module/params/linear_tag.h"

#include "module/params/linear_tag_imp.h"

KX_DEFINE_PAIR(KxDbBlockLinearTag, KxDbBlock2PtTag, KxDbImpBlockLinearTag)
