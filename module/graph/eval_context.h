// Key-to-object pairs handed to every evaluation.
#pragma once

#include "host/rx/rxobject.h"
#include "module/frame/export.h"

class KXDB_EXPORT KxDbTagEvalContext : public AcRxObject {
  public:
    ACRX_DECLARE_MEMBERS(KxDbTagEvalContext);
};
