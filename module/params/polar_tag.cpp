#include "module/params/polar_tag.h"

#include "module/params/polar_tag_imp.h"

KX_DEFINE_PAIR(KxDbBlockPolarTag, KxDbBlock2PtTag, KxDbImpBlockPolarTag)
