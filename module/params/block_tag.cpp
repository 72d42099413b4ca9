#include "module/params/block_tag.h"

#include "module/params/block_tag_imp.h"

KX_DEFINE_PAIR(KxDbBlockTag, KxDbTagElement, KxDbImpBlockTag)

Acad::ErrorStatus KxDbBlockTag::getLabelNames(AcStringArray& names) const { return Acad::eOk; }
