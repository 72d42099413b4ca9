// The grip of a flip parameter.
#pragma once

#include "module/frame/pair_macros.h"
#include "module/grips/grip.h"

class KXDB_EXPORT KxDbTagFlipGrip : public KxDbTagGrip {
    KX_DECLARE_PAIR(KxDbTagFlipGrip, KxDbTagGrip)
};
