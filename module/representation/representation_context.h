// The representation of one block reference while its values change.
#pragma once

#include "host/rx/rxobject.h"
#include "module/frame/export.h"

class KXDB_EXPORT KxDbTagRepresentationContext : public AcRxObject {
  public:
    ACRX_DECLARE_MEMBERS(KxDbTagRepresentationContext);
};
