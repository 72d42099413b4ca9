// Finding and loading the plug-in into this host process.
#pragma once

#include <string>

namespace kxtool {
// The plug-in's path: $KXBLOCKS_MODULE when set, else kxblocks.so beside this executable.
std::string pluginPath();
}  // namespace kxtool
