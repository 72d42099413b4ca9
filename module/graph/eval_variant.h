// The typed value of the evaluation graph: a result buffer whose type field holds a group code,
// -9999 meaning null.
#pragma once

#include "host/core/resbuf.h"
#include "host/rx/rxobject.h"
#include "module/frame/export.h"

class KXDB_EXPORT KxDbTagEvalVariant : public AcRxObject, public resbuf {
  public:
    ACRX_DECLARE_MEMBERS(KxDbTagEvalVariant);
    static constexpr short kNullType = -9999;

    KxDbTagEvalVariant();
    ~KxDbTagEvalVariant() override;
    KxDbTagEvalVariant(const KxDbTagEvalVariant&) = delete;
    KxDbTagEvalVariant& operator=(const KxDbTagEvalVariant&) = delete;

    // Releases what the value owns and makes it null.
    void clear();
};
