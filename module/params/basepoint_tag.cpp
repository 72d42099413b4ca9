#include "module/params/basepoint_tag.h"

#include "module/params/basepoint_tag_imp.h"

KX_DEFINE_PAIR(KxDbBlockBasepointTag, KxDbBlock1PtTag, KxDbImpBlockBasepointTag)
