// The implementation of KxDbTagEvalContext: the ordered entries.
#pragma once

#include <map>
#include <string>
#include <string_view>

#include "module/graph/eval_context.h"

// Case-sensitive key order by code point, shorter prefix first. Transparent, so lookups take the
// caller's text without copying it.
struct KxEvalKeyLess {
    using is_transparent = void;
    bool operator()(std::wstring_view a, std::wstring_view b) const;
};

class KxDbImpTagEvalContext {
  public:
    using Entries = std::map<std::wstring, AcRxObject*, KxEvalKeyLess>;

    explicit KxDbImpTagEvalContext(KxDbTagEvalContext* pub) : m_public(pub) {}
    KxDbImpTagEvalContext(const KxDbImpTagEvalContext&) = delete;
    KxDbImpTagEvalContext& operator=(const KxDbImpTagEvalContext&) = delete;

    void addPair(const KxDbTagEvalContextPair& pair);
    void removeKey(const ACHAR* key);
    Acad::ErrorStatus getPair(KxDbTagEvalContextPair& pair) const;

    const Entries& entries() const { return m_entries; }
    KxDbTagEvalContext* publicObject() const { return m_public; }

  private:
    Entries m_entries;
    KxDbTagEvalContext* const m_public;
};
