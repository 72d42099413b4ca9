#include "host/rx/overrule.h"

#include <algorithm>
#include <map>

ACRX_HOST_CLASS(AcRxOverruleBase, AcRxObject);
ACRX_HOST_CLASS(AcRxOverrule, AcRxOverruleBase);

namespace {
struct OverruleTable {
    std::map<const AcRxClass*, std::vector<AcRxOverrule*>> chains;
    bool overruling = true;
};

OverruleTable& table() {
    static OverruleTable t;
    return t;
}

// Walks the object's chain: overrules of its class first, then those of each ancestor, calling
// `visit` for each that applies until it answers true. Dispatch asks for the chain on every
// overruled call, so it is walked in place rather than gathered into a list each time.
template <class Visit>
void walkChain(const AcRxObject* subject, const AcRxClass* kind, Visit visit) {
    if (subject == nullptr) {
        return;
    }
    const OverruleTable& t = table();
    if (t.chains.empty()) {
        return;
    }
    int depth = 0;
    for (const AcRxClass* c = subject->isA(); c != nullptr && depth < 256;
         c = c->myParent(), ++depth) {
        auto it = t.chains.find(c);
        if (it == t.chains.end()) {
            continue;
        }
        for (AcRxOverrule* o : it->second) {
            if (o->isKindOf(kind) && o->isApplicable(subject) && visit(o)) {
                return;
            }
        }
    }
}
}  // namespace

AcRxOverrule::~AcRxOverrule() {
    // An overrule deleted while registered must not be dispatched to afterwards.
    for (auto& entry : table().chains) {
        auto& v = entry.second;
        v.erase(std::remove(v.begin(), v.end(), this), v.end());
    }
}

Acad::ErrorStatus AcRxOverrule::addOverrule(AcRxClass* pClass, AcRxOverrule* pOverrule,
                                            bool bAddAtLast) {
    if (pClass == nullptr || pOverrule == nullptr) {
        return Acad::eNullObjectPointer;
    }
    auto& chain = table().chains[pClass];
    if (std::find(chain.begin(), chain.end(), pOverrule) != chain.end()) {
        return Acad::eDuplicateKey;
    }
    if (bAddAtLast) {
        chain.push_back(pOverrule);
    } else {
        chain.insert(chain.begin(), pOverrule);
    }
    return Acad::eOk;
}

Acad::ErrorStatus AcRxOverrule::removeOverrule(AcRxClass* pClass, AcRxOverrule* pOverrule) {
    auto it = table().chains.find(pClass);
    if (it == table().chains.end()) {
        return Acad::eKeyNotFound;
    }
    auto& chain = it->second;
    auto pos = std::find(chain.begin(), chain.end(), pOverrule);
    if (pos == chain.end()) {
        return Acad::eKeyNotFound;
    }
    chain.erase(pos);
    if (chain.empty()) {
        table().chains.erase(it);
    }
    return Acad::eOk;
}

void AcRxOverrule::setIsOverruling(bool bIsOverruling) {
    table().overruling = bIsOverruling;
}

bool AcRxOverrule::isOverruling() {
    return table().overruling;
}

bool AcRxOverrule::hasOverrule(const AcRxObject* pSubject, const AcRxClass* pOverruleClass) {
    return kxhost::firstOverrule(pSubject, pOverruleClass) != nullptr;
}

namespace kxhost {
AcRxOverrule* firstOverrule(const AcRxObject* subject, const AcRxClass* overruleKind) {
    if (!table().overruling) {
        return nullptr;
    }
    AcRxOverrule* first = nullptr;
    walkChain(subject, overruleKind, [&](AcRxOverrule* o) {
        first = o;
        return true;
    });
    return first;
}

AcRxOverrule* nextOverrule(const AcRxObject* subject, const AcRxClass* overruleKind,
                           const AcRxOverrule* current) {
    if (!table().overruling) {
        return nullptr;
    }
    // The one after the first place `current` takes in the chain.
    AcRxOverrule* next = nullptr;
    bool passed = false;
    walkChain(subject, overruleKind, [&](AcRxOverrule* o) {
        if (passed) {
            next = o;
            return true;
        }
        passed = o == current;
        return false;
    });
    return next;
}

int overruleCount(const AcRxClass* cls) {
    auto it = table().chains.find(cls);
    return it == table().chains.end() ? 0 : static_cast<int>(it->second.size());
}

int overruleCount() {
    int n = 0;
    for (const auto& entry : table().chains) {
        n += static_cast<int>(entry.second.size());
    }
    return n;
}
}  // namespace kxhost
