#include "module/params/lookup_tag.h"

#include "module/params/lookup_tag_imp.h"

KX_DEFINE_PAIR(KxDbBlockLookupTag, KxDbBlock1PtTag, KxDbImpBlockLookupTag)
