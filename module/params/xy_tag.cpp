#include "module/params/xy_tag.h"

#include "module/params/xy_tag_imp.h"

KX_DEFINE_PAIR(KxDbBlockXYTag, KxDbBlock2PtTag, KxDbImpBlockXYTag)
