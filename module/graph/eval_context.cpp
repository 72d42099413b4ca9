#include "module/graph/eval_context.h"

#include <cstdint>
#include <new>

#include "host/core/resbuf.h"
#include "module/graph/eval_context_imp.h"
#include "module/graph/eval_context_iterator.h"

// ---- KxDbTagEvalContextPair ----

KxDbTagEvalContextPair::KxDbTagEvalContextPair() = default;

KxDbTagEvalContextPair::KxDbTagEvalContextPair(const ACHAR* key, AcRxObject* object)
    : m_key(acutNewString(key)), m_object(object) {}

KxDbTagEvalContextPair::KxDbTagEvalContextPair(const KxDbTagEvalContextPair& other)
    : m_key(acutNewString(other.m_key)), m_object(other.m_object) {}

KxDbTagEvalContextPair& KxDbTagEvalContextPair::operator=(const KxDbTagEvalContextPair& other) {
    if (&other != this) {
        setKey(other.m_key);
        m_object = other.m_object;
    }
    return *this;
}

KxDbTagEvalContextPair::~KxDbTagEvalContextPair() {
    acutDelBuffer(m_key);
}

void KxDbTagEvalContextPair::setKey(const ACHAR* key) {
    // Copied before the old key is released: the new key may be the old one.
    ACHAR* copy = acutNewString(key);
    acutDelBuffer(m_key);
    m_key = copy;
}

// ---- KxDbImpTagEvalContext ----

bool KxEvalKeyLess::operator()(std::wstring_view a, std::wstring_view b) const {
    // wchar_t may be signed: compare as unsigned code points.
    const size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i) {
        const auto ca = static_cast<std::uint32_t>(a[i]);
        const auto cb = static_cast<std::uint32_t>(b[i]);
        if (ca != cb) {
            return ca < cb;
        }
    }
    return a.size() < b.size();
}

void KxDbImpTagEvalContext::addPair(const KxDbTagEvalContextPair& pair) {
    if (pair.key() == nullptr) {
        return;
    }
    // The context has no way to report a failure; an entry that cannot be stored is dropped and
    // no exception reaches the caller.
    try {
        m_entries.emplace(pair.key(), pair.value());
    } catch (...) {
    }
}

void KxDbImpTagEvalContext::removeKey(const ACHAR* key) {
    if (key == nullptr) {
        return;
    }
    const auto it = m_entries.find(std::wstring_view(key));
    if (it != m_entries.end()) {
        m_entries.erase(it);
    }
}

Acad::ErrorStatus KxDbImpTagEvalContext::getPair(KxDbTagEvalContextPair& pair) const {
    if (pair.key() == nullptr) {
        return Acad::eInvalidKey;
    }
    const auto it = m_entries.find(std::wstring_view(pair.key()));
    if (it == m_entries.end()) {
        return Acad::eInvalidKey;
    }
    pair.setValue(it->second);
    return Acad::eOk;
}

// ---- KxDbTagEvalContext ----

KxDbTagEvalContext::KxDbTagEvalContext() : m_imp(new (std::nothrow) KxDbImpTagEvalContext(this)) {}

KxDbTagEvalContext::~KxDbTagEvalContext() {
    delete m_imp;
}

void KxDbTagEvalContext::addPair(const KxDbTagEvalContextPair& pair) {
    if (m_imp != nullptr) {
        m_imp->addPair(pair);
    }
}

void KxDbTagEvalContext::removeKey(const ACHAR* key) {
    if (m_imp != nullptr) {
        m_imp->removeKey(key);
    }
}

Acad::ErrorStatus KxDbTagEvalContext::getPair(KxDbTagEvalContextPair& pair) const {
    return m_imp != nullptr ? m_imp->getPair(pair) : Acad::eInvalidKey;
}

KxDbTagEvalContextIterator* KxDbTagEvalContext::newIterator() const {
    // Null when the host heap refuses.
    return new KxDbTagEvalContextIterator(this);
}

void KxDbTagEvalContext::setPair(const KxDbTagEvalContextPair& pair) {
    if (pair.key() == nullptr) {
        return;
    }
    removeKey(pair.key());
    addPair(pair);
}

int KxDbTagEvalContext::numEntries() const {
    return m_imp != nullptr ? static_cast<int>(m_imp->entries().size()) : 0;
}

// ---- Evaluation mode ----

void kxSetEvalMode(KxDbTagEvalContext* context, KxEvalMode mode) {
    if (context == nullptr) {
        return;
    }
    // The mode is an integer in the object slot, never an object.
    auto* slot = reinterpret_cast<AcRxObject*>(static_cast<std::intptr_t>(mode));
    context->setPair(KxDbTagEvalContextPair(KX_EVAL_KEY_MODE, slot));
}

int kxEvalMode(const KxDbTagEvalContext* context) {
    if (context == nullptr) {
        return 0;
    }
    KxDbTagEvalContextPair pair(KX_EVAL_KEY_MODE, nullptr);
    if (context->getPair(pair) != Acad::eOk) {
        return 0;
    }
    const auto value = reinterpret_cast<std::intptr_t>(pair.value());
    if (value < kEvalModeLoad || value > kEvalModeReplay) {
        return 0;
    }
    return static_cast<int>(value);
}

bool kxIsEvalMode(const KxDbTagEvalContext* context, KxEvalMode mode) {
    const int current = kxEvalMode(context);
    return current != 0 && current == static_cast<int>(mode);
}
