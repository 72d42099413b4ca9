// The grip overrule: takes over the grips an entity offers and what dragging them does. The
// grip-record and callback interface arrives with the entities it serves.
#pragma once

#include "host/rx/overrule.h"

class AcDbGripOverrule : public AcRxOverrule {
  public:
    ACRX_DECLARE_MEMBERS(AcDbGripOverrule);
};
