#include "tools/kxblock/plugin.h"

#include <unistd.h>

#include <climits>
#include <cstdlib>

namespace kxtool {
std::string pluginPath() {
    if (const char* env = std::getenv("KXBLOCKS_MODULE"); env != nullptr && *env != 0) {
        return env;
    }
    char self[PATH_MAX] = {};
    const ssize_t n = readlink("/proc/self/exe", self, sizeof(self) - 1);
    std::string dir = n > 0 ? std::string(self, static_cast<size_t>(n)) : std::string();
    const size_t slash = dir.rfind('/');
    dir = slash == std::string::npos ? std::string(".") : dir.substr(0, slash);
    return dir + "/kxblocks.so";
}
}  // namespace kxtool
