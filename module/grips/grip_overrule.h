// Offers the grips of dynamic block references and turns their drags into parameter changes.
#pragma once

#include "host/grips/gripoverrule.h"
#include "module/frame/export.h"

class KXDB_EXPORT KxDbNimbleBlockGripOverrule : public AcDbGripOverrule {
  public:
    ACRX_DECLARE_MEMBERS(KxDbNimbleBlockGripOverrule);
};
