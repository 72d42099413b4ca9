// Application data of one grip record offered on a block reference.
#pragma once

#include "host/rx/rxobject.h"
#include "module/frame/export.h"

class KXDB_EXPORT KxDbNimbleBlockNBAppData : public AcRxObject {
  public:
    ACRX_DECLARE_MEMBERS(KxDbNimbleBlockNBAppData);
};
