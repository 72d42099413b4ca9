// Internal to the host library: the object-level cloning behind AcDbObject::deepClone and
// AcDbObject::wblockClone, and the translation of one clone's ids. Plug-ins never include this
// header; they use the members of AcDbObject and the calls of host/db/clone.h.
#pragma once

#include "host/db/dbobject.h"
#include "host/db/idmapping.h"

namespace kxhost {
namespace detail {

// An object opened by the cloning code, closed when the holder goes, on every path.
struct OpenedObject {
    AcDbObject* obj = nullptr;
    OpenedObject() = default;
    ~OpenedObject() {
        if (obj != nullptr) {
            obj->close();
        }
    }
    OpenedObject(const OpenedObject&) = delete;
    OpenedObject& operator=(const OpenedObject&) = delete;
};

// Clones `source` for `owner` (an object, a database, or null for the map's destination) through
// a filer of `filerType` (kDeepCloneFiler or kWblockCloneFiler), records the pair and clones the
// objects the source owns. The clone comes back open for write; the caller closes it.
Acad::ErrorStatus cloneObject(const AcDbObject* source, AcRxObject* owner, AcDbObject*& clone,
                              AcDbIdMapping& idMap, bool isPrimary, AcDb::FilerType filerType);

// Runs the clone of one cloned pair through an id-translation filer and maps the extended-data
// handles it carries.
Acad::ErrorStatus translateClone(const AcDbIdPair& pair, const AcDbIdMapping& idMap);

}  // namespace detail
}  // namespace kxhost
