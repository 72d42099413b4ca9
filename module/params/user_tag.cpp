#include "module/params/user_tag.h"

#include "module/params/user_tag_imp.h"

KX_DEFINE_PAIR(KxDbBlockUserTag, KxDbBlock1PtTag, KxDbImpBlockUserTag)
