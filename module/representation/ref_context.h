// Binds one block reference to a private copy of its definition's graph.
#pragma once

#include "host/rx/rxobject.h"
#include "module/frame/export.h"

class KXDB_EXPORT KxDbTagRefContext : public AcRxObject {
  public:
    ACRX_DECLARE_MEMBERS(KxDbTagRefContext);
};
