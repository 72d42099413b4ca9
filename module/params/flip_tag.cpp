#include "module/params/flip_tag.h"

#include "module/params/flip_tag_imp.h"

KX_DEFINE_PAIR(KxDbBlockFlipTag, KxDbBlock2PtTag, KxDbImpBlockFlipTag)
