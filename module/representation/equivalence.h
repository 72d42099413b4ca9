// The protocol reactor through which the host asks whether two block references are in the same
// state, and the module's implementation of it.
#pragma once

#include "host/rx/services.h"
#include "module/frame/export.h"

class AcDbBlockReference;

class KXDB_EXPORT KxDbTagRepresentationEquivalence : public AcRxProtocolReactor {
  public:
    ACRX_DECLARE_MEMBERS(KxDbTagRepresentationEquivalence);

    // True when the two references show the same dynamic-block state.
    virtual bool isEquivalent(AcDbBlockReference* a, AcDbBlockReference* b) = 0;
};

class KXDB_EXPORT KxDbImpTagRepresentationEquivalence : public KxDbTagRepresentationEquivalence {
  public:
    ACRX_DECLARE_MEMBERS(KxDbImpTagRepresentationEquivalence);

    // The state comparison is not built yet: no two references are taken for equivalent, so a
    // changed reference keeps the block of its own.
    bool isEquivalent(AcDbBlockReference*, AcDbBlockReference*) override { return false; }
};
