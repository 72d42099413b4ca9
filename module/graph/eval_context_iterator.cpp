#include "module/graph/eval_context_iterator.h"

#include <new>

#include "module/graph/eval_context_iterator_imp.h"

// ---- KxDbImpTagEvalContextIterator ----

KxDbImpTagEvalContextIterator::KxDbImpTagEvalContextIterator(const KxDbImpTagEvalContext* context)
    : m_context(context) {
    start();
}

void KxDbImpTagEvalContextIterator::start() {
    if (m_context != nullptr) {
        m_position = m_context->entries().begin();
    }
}

bool KxDbImpTagEvalContextIterator::hasMore() const {
    return m_context != nullptr && m_position != m_context->entries().end();
}

KxDbTagEvalContextPair KxDbImpTagEvalContextIterator::currentPair() const {
    if (!hasMore()) {
        return KxDbTagEvalContextPair();
    }
    return KxDbTagEvalContextPair(m_position->first.c_str(), m_position->second);
}

void KxDbImpTagEvalContextIterator::next() {
    if (hasMore()) {
        ++m_position;
    }
}

// ---- KxDbTagEvalContextIterator ----

KxDbTagEvalContextIterator::KxDbTagEvalContextIterator(const KxDbTagEvalContext* context)
    : m_imp(new (std::nothrow)
                KxDbImpTagEvalContextIterator(context != nullptr ? context->imp() : nullptr)) {}

KxDbTagEvalContextIterator::~KxDbTagEvalContextIterator() {
    delete m_imp;
}

void KxDbTagEvalContextIterator::start() {
    if (m_imp != nullptr) {
        m_imp->start();
    }
}

bool KxDbTagEvalContextIterator::hasMore() const {
    return m_imp != nullptr && m_imp->hasMore();
}

bool KxDbTagEvalContextIterator::done() const {
    return !hasMore();
}

KxDbTagEvalContextPair KxDbTagEvalContextIterator::currentPair() const {
    return m_imp != nullptr ? m_imp->currentPair() : KxDbTagEvalContextPair();
}

void KxDbTagEvalContextIterator::next() {
    if (m_imp != nullptr) {
        m_imp->next();
    }
}
