// The protocol extension of block references that keeps their representation blocks.
#pragma once

#include "host/rx/rxobject.h"
#include "module/frame/export.h"

class KXDB_EXPORT KxDbTagRepresentation : public AcRxObject {
  public:
    ACRX_DECLARE_MEMBERS(KxDbTagRepresentation);
};
