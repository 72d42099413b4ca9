#include "host/rx/dictionary.h"

#include "host/rx/services.h"

ACRX_HOST_CLASS(AcRxDictionary, AcRxObject);

AcRxDictionary::~AcRxDictionary() {
    if (m_owns) {
        for (auto& entry : m_entries) {
            delete entry.second;
        }
    }
}

AcRxObject* AcRxDictionary::at(const ACHAR* key) const {
    if (key == nullptr) {
        return nullptr;
    }
    for (const auto& entry : m_entries) {
        if (entry.first == key) {
            return entry.second;
        }
    }
    return nullptr;
}

AcRxObject* AcRxDictionary::atPut(const ACHAR* key, AcRxObject* object) {
    if (key == nullptr) {
        return nullptr;
    }
    for (auto& entry : m_entries) {
        if (entry.first == key) {
            AcRxObject* previous = entry.second;
            entry.second = object;
            return previous;
        }
    }
    m_entries.emplace_back(key, object);
    return nullptr;
}

AcRxObject* AcRxDictionary::remove(const ACHAR* key) {
    if (key == nullptr) {
        return nullptr;
    }
    for (size_t i = 0; i < m_entries.size(); ++i) {
        if (m_entries[i].first == key) {
            AcRxObject* object = m_entries[i].second;
            m_entries.erase(m_entries.begin() + static_cast<long>(i));
            return object;
        }
    }
    return nullptr;
}

std::vector<std::wstring> AcRxDictionary::keys() const {
    std::vector<std::wstring> out;
    for (const auto& entry : m_entries) {
        out.push_back(entry.first);
    }
    return out;
}

namespace {
AcRxDictionary*& sysRegistrySlot() {
    static AcRxDictionary* s_registry = nullptr;
    return s_registry;
}

template <class T>
void ensureEntry(AcRxDictionary* dict, const ACHAR* key) {
    if (T::cast(dict->at(key)) == nullptr) {
        delete dict->atPut(key, new T());
    }
}
}  // namespace

AcRxDictionary* acrxSysRegistry() {
    AcRxDictionary*& slot = sysRegistrySlot();
    if (slot == nullptr) {
        slot = new AcRxDictionary(true);
        kxhost::restoreSystemRegistry();
    }
    return slot;
}

AcRxDictionary* acrxServiceDictionary() {
    return AcRxDictionary::cast(acrxSysRegistry()->at(L"ServiceDictionary"));
}

namespace kxhost {
void restoreSystemRegistry() {
    AcRxDictionary* reg = acrxSysRegistry();
    ensureEntry<AcRxDynamicLinker>(reg, L"DynamicLinker");
    ensureEntry<AcRxDictionary>(reg, L"ServiceDictionary");
    ensureEntry<AcEdCommandStack>(reg, L"ACAD_REGISTERED_COMMANDS");
    ensureEntry<AcRxEvent>(reg, L"AcRxEvent");
    ensureEntry<AcRxProtocolReactorManagerFactory>(acrxServiceDictionary(),
                                                   L"ProtocolReactorManager");
}
}  // namespace kxhost
