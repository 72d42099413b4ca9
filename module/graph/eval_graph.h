// The evaluation graph of a dynamic block definition: nodes and the edges between them.
#pragma once

#include "module/frame/pair_macros.h"

class KXDB_EXPORT KxDbTagEvalGraph : public AcDbObjectWrapper {
    KX_DECLARE_PAIR(KxDbTagEvalGraph, AcDbObjectWrapper)
};
