// Walks the entries of an evaluation context in ascending key order (case-sensitive, by code
// point). It must not outlive its context, and entries must not be removed while it walks. The
// object of the evaluation-mode entry (KX_EVAL_KEY_MODE) is a small integer, not an object:
// never call a method or a class test on it; read it through kxEvalMode.
#pragma once

#include "module/graph/eval_context.h"

class KxDbImpTagEvalContextIterator;

class KXDB_EXPORT KxDbTagEvalContextIterator : public AcRxObject {
  public:
    ACRX_DECLARE_MEMBERS(KxDbTagEvalContextIterator);
    explicit KxDbTagEvalContextIterator(const KxDbTagEvalContext* context = nullptr);
    ~KxDbTagEvalContextIterator() override;
    KxDbTagEvalContextIterator(const KxDbTagEvalContextIterator&) = delete;
    KxDbTagEvalContextIterator& operator=(const KxDbTagEvalContextIterator&) = delete;

    virtual void start();
    virtual bool hasMore() const;
    virtual bool done() const;
    // A copy of the current key and its object; a default pair when done.
    virtual KxDbTagEvalContextPair currentPair() const;
    // Moves to the next entry in key order.
    virtual void next();

  private:
    KxDbImpTagEvalContextIterator* m_imp;
};
