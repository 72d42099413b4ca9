// A node of an evaluation graph.
#pragma once

#include "module/frame/pair_macros.h"

class KXDB_EXPORT KxDbTagEvalExpr : public AcDbObjectWrapper {
    KX_DECLARE_PAIR(KxDbTagEvalExpr, AcDbObjectWrapper)
};
