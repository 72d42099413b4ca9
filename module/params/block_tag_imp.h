// The implementation of KxDbBlockTag.
#pragma once

#include "module/graph/element_imp.h"
#include "module/params/block_tag.h"

class KxDbImpBlockTag : public KxDbImpTagElement {
    KX_DECLARE_IMP(KxDbImpBlockTag, KxDbImpTagElement)
};
