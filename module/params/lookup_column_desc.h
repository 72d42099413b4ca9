// Describes one column of a lookup table.
#pragma once

#include "host/rx/rxobject.h"
#include "module/frame/export.h"

class KXDB_EXPORT KxDbTagLookupColumnDesc : public AcRxObject {
  public:
    ACRX_DECLARE_MEMBERS(KxDbTagLookupColumnDesc);
};
