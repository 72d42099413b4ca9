#include "module/params/visibility_tag.h"

#include "module/params/visibility_tag_imp.h"

KX_DEFINE_PAIR(KxDbBlockVisibilityTag, KxDbBlock1PtTag, KxDbImpBlockVisibilityTag)
