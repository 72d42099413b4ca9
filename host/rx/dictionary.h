// Run-time dictionaries of named objects, and the system registry through which the host offers
// its services to plug-ins.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "host/rx/rxobject.h"

class AcRxDictionaryIterator;

// A dictionary of objects by name. It owns its entries when created with deleteObjects true.
class AcRxDictionary : public AcRxObject {
  public:
    ACRX_DECLARE_MEMBERS(AcRxDictionary);
    explicit AcRxDictionary(bool deleteObjects = true) : m_owns(deleteObjects) {}
    ~AcRxDictionary() override;

    AcRxObject* at(const ACHAR* key) const;
    // Stores the object under the key; returns the object it replaces (the caller owns it).
    AcRxObject* atPut(const ACHAR* key, AcRxObject* object);
    // Removes and returns the object under the key (the caller owns it); null when absent.
    AcRxObject* remove(const ACHAR* key);
    bool has(const ACHAR* key) const { return at(key) != nullptr; }
    int numEntries() const { return static_cast<int>(m_entries.size()); }
    // Keys in insertion order.
    std::vector<std::wstring> keys() const;

  private:
    bool m_owns;
    std::vector<std::pair<std::wstring, AcRxObject*>> m_entries;
};

// The system registry. Entries: "DynamicLinker", "ServiceDictionary" (holding
// "ProtocolReactorManager"), "ACAD_REGISTERED_COMMANDS" and "AcRxEvent".
AcRxDictionary* acrxSysRegistry();
// The service dictionary inside the system registry (null when a test removed it).
AcRxDictionary* acrxServiceDictionary();

namespace kxhost {
// Puts every service back into the system registry, with fresh objects where one is missing.
void restoreSystemRegistry();
}  // namespace kxhost
