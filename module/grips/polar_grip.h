// The grip of a polar parameter.
#pragma once

#include "module/frame/pair_macros.h"
#include "module/grips/grip.h"

class KXDB_EXPORT KxDbTagPolarGrip : public KxDbTagGrip {
    KX_DECLARE_PAIR(KxDbTagPolarGrip, KxDbTagGrip)
};
