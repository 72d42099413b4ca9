#include "module/frame/module_alloc.h"

#include <cstring>
#include <string>

namespace kxframe {
namespace {
std::string g_failing;
}

void failNextAllocation(const char* what) {
    g_failing = what != nullptr ? what : "";
}

bool allocationShouldFail(const char* what) {
    if (!g_failing.empty() && what != nullptr && g_failing == what) {
        g_failing.clear();
        return true;
    }
    return false;
}
}  // namespace kxframe
