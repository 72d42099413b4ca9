// The grip of an alignment parameter.
#pragma once

#include "module/frame/pair_macros.h"
#include "module/grips/grip.h"

class KXDB_EXPORT KxDbTagAlignmentGrip : public KxDbTagGrip {
    KX_DECLARE_PAIR(KxDbTagAlignmentGrip, KxDbTagGrip)
};
