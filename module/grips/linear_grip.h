// The grip of a linear parameter.
#pragma once

#include "module/frame/pair_macros.h"
#include "module/grips/grip.h"

class KXDB_EXPORT KxDbTagLinearGrip : public KxDbTagGrip {
    KX_DECLARE_PAIR(KxDbTagLinearGrip, KxDbTagGrip)
};
