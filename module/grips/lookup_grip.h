// The grip of a lookup parameter.
#pragma once

#include "module/frame/pair_macros.h"
#include "module/grips/grip.h"

class KXDB_EXPORT KxDbTagLookupGrip : public KxDbTagGrip {
    KX_DECLARE_PAIR(KxDbTagLookupGrip, KxDbTagGrip)
};
