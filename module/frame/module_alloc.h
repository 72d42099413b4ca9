// Allocation of module-wide objects (the holder of the module's services, its reactors and
// overrules). A failed allocation gives null; tests can make a named allocation fail.
#pragma once

#include <new>
#include <type_traits>
#include <utility>

#include "host/rx/rxobject.h"
#include "module/frame/export.h"

namespace kxframe {
// Makes the next allocation with this name fail (null clears it).
KXDB_EXPORT void failNextAllocation(const char* what);
bool allocationShouldFail(const char* what);

template <class T, class... Args>
T* moduleNew(const char* what, Args&&... args) {
    if (allocationShouldFail(what)) {
        return nullptr;
    }
    if constexpr (std::is_base_of_v<AcRxObject, T>) {
        // Run-time objects come from the host heap, whose operator reports failure as null.
        return new T(std::forward<Args>(args)...);
    } else {
        return new (std::nothrow) T(std::forward<Args>(args)...);
    }
}
}  // namespace kxframe
