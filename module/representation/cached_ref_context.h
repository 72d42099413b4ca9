// A cached reference context (its class is registered; no objects of it are made).
#pragma once

#include "host/rx/rxobject.h"
#include "module/frame/export.h"

class KXDB_EXPORT KxDbCachedTagRefContext : public AcRxObject {
  public:
    ACRX_DECLARE_MEMBERS(KxDbCachedTagRefContext);
};
