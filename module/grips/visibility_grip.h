// The grip of a visibility parameter.
#pragma once

#include "module/frame/pair_macros.h"
#include "module/grips/grip.h"

class KXDB_EXPORT KxDbTagVisibilityGrip : public KxDbTagGrip {
    KX_DECLARE_PAIR(KxDbTagVisibilityGrip, KxDbTagGrip)
};
