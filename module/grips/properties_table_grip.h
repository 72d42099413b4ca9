// The grip of a properties table.
#pragma once

#include "module/frame/pair_macros.h"
#include "module/grips/grip.h"

class KXDB_EXPORT KxDbTagPropertiesTableGrip : public KxDbTagGrip {
    KX_DECLARE_PAIR(KxDbTagPropertiesTableGrip, KxDbTagGrip)
};
