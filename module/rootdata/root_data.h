// Root data of a drawing: the index of the graphs of its dynamic block definitions and of the
// records of its dynamic references.
#pragma once

#include "module/frame/pair_macros.h"

class KXDB_EXPORT KxDbTagRootData : public AcDbObjectWrapper {
    KX_DECLARE_PAIR(KxDbTagRootData, AcDbObjectWrapper)
};
