// The implementation of KxDbTagEvalContextIterator: a position in a context's entries.
#pragma once

#include "module/graph/eval_context_imp.h"

class KxDbImpTagEvalContextIterator {
  public:
    // A null context gives an iterator that is done at once.
    explicit KxDbImpTagEvalContextIterator(const KxDbImpTagEvalContext* context);
    KxDbImpTagEvalContextIterator(const KxDbImpTagEvalContextIterator&) = delete;
    KxDbImpTagEvalContextIterator& operator=(const KxDbImpTagEvalContextIterator&) = delete;

    void start();
    bool hasMore() const;
    KxDbTagEvalContextPair currentPair() const;
    void next();

  private:
    const KxDbImpTagEvalContext* const m_context;
    KxDbImpTagEvalContext::Entries::const_iterator m_position;
};
