// The host heap. Objects handed between the host and plug-ins (public database objects, strings
// of result buffers, menu buffers) are allocated and released here so either side may free them.
#pragma once

#include <cstddef>

void* acHeapAlloc(size_t size);
void acHeapFree(void* p);

namespace kxhost {
// Number of live host-heap blocks; tests compare it before and after an operation.
long heapLiveBlocks();
// Makes the n-th next host-heap allocation fail (0 switches it off); tests use it to reach
// out-of-memory paths.
void heapFailAfter(long n);
}  // namespace kxhost

// Class-level allocation through the host heap, used by every class of the run-time system.
// A failed allocation yields a null pointer (the operators are noexcept, so no constructor runs).
#define ACRX_HEAP_OPERATORS()                                 \
    static void* operator new(size_t size) noexcept {         \
        return acHeapAlloc(size);                             \
    }                                                         \
    static void operator delete(void* p) {                    \
        acHeapFree(p);                                        \
    }                                                         \
    static void* operator new(size_t, void* where) noexcept { \
        return where;                                         \
    }                                                         \
    static void operator delete(void*, void*) noexcept {}     \
    static void* operator new[](size_t size) noexcept {       \
        return acHeapAlloc(size);                             \
    }                                                         \
    static void operator delete[](void* p) {                  \
        acHeapFree(p);                                        \
    }
