// The grip of a rotation parameter.
#pragma once

#include "module/frame/pair_macros.h"
#include "module/grips/grip.h"

class KXDB_EXPORT KxDbTagRotationGrip : public KxDbTagGrip {
    KX_DECLARE_PAIR(KxDbTagRotationGrip, KxDbTagGrip)
};
