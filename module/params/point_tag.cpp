#include "module/params/point_tag.h"

#include "module/params/point_tag_imp.h"

KX_DEFINE_PAIR(KxDbBlockPointTag, KxDbBlock1PtTag, KxDbImpBlockPointTag)
