// Walks the pairs of an evaluation context.
#pragma once

#include "host/rx/rxobject.h"
#include "module/frame/export.h"

class KXDB_EXPORT KxDbTagEvalContextIterator : public AcRxObject {
  public:
    ACRX_DECLARE_MEMBERS(KxDbTagEvalContextIterator);
};
