// The grip of an XY parameter.
#pragma once

#include "module/frame/pair_macros.h"
#include "module/grips/grip.h"

class KXDB_EXPORT KxDbTagXYGrip : public KxDbTagGrip {
    KX_DECLARE_PAIR(KxDbTagXYGrip, KxDbTagGrip)
};
