// The protocol reactor through which the host asks whether two block references are in the same
// state, and the module's implementation of it.
#pragma once

#include "host/rx/services.h"
#include "module/frame/export.h"

class KXDB_EXPORT KxDbTagRepresentationEquivalence : public AcRxProtocolReactor {
  public:
    ACRX_DECLARE_MEMBERS(KxDbTagRepresentationEquivalence);
};

class KXDB_EXPORT KxDbImpTagRepresentationEquivalence : public KxDbTagRepresentationEquivalence {
  public:
    ACRX_DECLARE_MEMBERS(KxDbImpTagRepresentationEquivalence);
};
