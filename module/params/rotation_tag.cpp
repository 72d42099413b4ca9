#include "module/params/rotation_tag.h"

#include "module/params/rotation_tag_imp.h"

KX_DEFINE_PAIR(KxDbBlockRotationTag, KxDbBlock2PtTag, KxDbImpBlockRotationTag)
