#include "host/core/heap.h"

#include <cstdlib>
#include <new>

namespace {
long g_live = 0;
long g_failAfter = 0;
}  // namespace

void* acHeapAlloc(size_t size) {
    if (g_failAfter > 0 && --g_failAfter == 0) {
        return nullptr;
    }
    void* p = std::malloc(size == 0 ? 1 : size);
    if (p != nullptr) {
        ++g_live;
    }
    return p;
}

void acHeapFree(void* p) {
    if (p != nullptr) {
        --g_live;
        std::free(p);
    }
}

namespace kxhost {
long heapLiveBlocks() {
    return g_live;
}
void heapFailAfter(long n) {
    g_failAfter = n;
}
}  // namespace kxhost
