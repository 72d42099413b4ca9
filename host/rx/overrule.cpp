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

// The object's chain: overrules of its class first, then those of each ancestor.
std::vector<AcRxOverrule*> chainOf(const AcRxObject* subject, const AcRxClass* kind) {
    std::vector<AcRxOverrule*> out;
    if (subject == nullptr) {
        return out;
    }
    const OverruleTable& t = table();
    int depth = 0;
    for (const AcRxClass* c = subject->isA(); c != nullptr && depth < 256;
         c = c->myParent(), ++depth) {
        auto it = t.chains.find(c);
        if (it == t.chains.end()) {
            continue;
        }
        for (AcRxOverrule* o : it->second) {
            if (o->isKindOf(kind) && o->isApplicable(subject)) {
                out.push_back(o);
            }
        }
    }
    return out;
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
    const auto chain = chainOf(subject, overruleKind);
    return chain.empty() ? nullptr : chain.front();
}

AcRxOverrule* nextOverrule(const AcRxObject* subject, const AcRxClass* overruleKind,
                           const AcRxOverrule* current) {
    if (!table().overruling) {
        return nullptr;
    }
    const auto chain = chainOf(subject, overruleKind);
    auto pos = std::find(chain.begin(), chain.end(), current);
    if (pos == chain.end() || ++pos == chain.end()) {
        return nullptr;
    }
    return *pos;
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
