// A per-reference record of a dynamic block reference.
#pragma once

#include "module/frame/pair_macros.h"

class KXDB_EXPORT KxDbTagRepresentationData : public AcDbObjectWrapper {
    KX_DECLARE_PAIR(KxDbTagRepresentationData, AcDbObjectWrapper)
};
