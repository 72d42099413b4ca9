// Running kxblock as a user would, and looking at what it wrote.
#pragma once

#include <sys/stat.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace kxe2e {

struct ToolRun {
    int status;
    std::string out;
};

inline ToolRun runShell(const std::string& command) {
    ToolRun result{-1, ""};
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return result;
    }
    std::array<char, 4096> buf{};
    size_t n = 0;
    while ((n = fread(buf.data(), 1, buf.size(), pipe)) > 0) {
        result.out.append(buf.data(), n);
    }
    const int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

inline std::string readFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

inline bool exists(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0;
}

// A fresh folder under /tmp; empty when it cannot be made.
inline std::string makeTempDir(const char* prefix) {
    std::string pattern = std::string("/tmp/") + prefix + "_XXXXXX";
    const char* made = mkdtemp(pattern.data());
    return made != nullptr ? std::string(made) : std::string();
}

// Runs kxblock in `dir` with the arguments, stderr folded into the output.
inline ToolRun kxblockIn(const std::string& dir, const std::string& args) {
    return runShell("cd '" + dir + "' && " + std::string(KXBLOCK_TOOL) + " " + args + " 2>&1");
}

}  // namespace kxe2e
