// kxblock demo, info and render, run as a user would run them in a fresh folder.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "tool_run.h"

namespace {

using kxe2e::exists;
using kxe2e::readFile;
using kxe2e::runShell;
using kxe2e::ToolRun;

// A minimal XML check: every element opened is closed in order, and attributes are quoted.
bool wellFormed(const std::string& xml) {
    std::vector<std::string> open;
    size_t i = 0;
    while ((i = xml.find('<', i)) != std::string::npos) {
        const size_t end = xml.find('>', i);
        if (end == std::string::npos) {
            return false;
        }
        const std::string tag = xml.substr(i + 1, end - i - 1);
        i = end + 1;
        if (tag.empty() || tag[0] == '?' || tag[0] == '!') {
            continue;
        }
        if (std::count(tag.begin(), tag.end(), '"') % 2 != 0) {
            return false;
        }
        if (tag[0] == '/') {
            if (open.empty() || open.back() != tag.substr(1)) {
                return false;
            }
            open.pop_back();
            continue;
        }
        const std::string name = tag.substr(0, tag.find_first_of(" \t\n/"));
        if (tag.back() != '/') {
            open.push_back(name);
        }
    }
    return open.empty();
}

// The horizontal span of the points drawn for each entity handle (polylines and polygons).
std::map<std::string, std::pair<double, double>> spansByEntity(const std::string& svg) {
    std::map<std::string, std::pair<double, double>> spans;
    const std::regex element(
        R"re(<(polyline|polygon) data-entity="([0-9A-F]+)" points="([^"]*)")re");
    for (auto it = std::sregex_iterator(svg.begin(), svg.end(), element);
         it != std::sregex_iterator(); ++it) {
        const std::string handle = (*it)[2];
        std::istringstream pts((*it)[3].str());
        std::string pair;
        while (pts >> pair) {
            const double x = std::strtod(pair.c_str(), nullptr);
            auto found = spans.find(handle);
            if (found == spans.end()) {
                spans[handle] = {x, x};
            } else {
                found->second.first = std::min(found->second.first, x);
                found->second.second = std::max(found->second.second, x);
            }
        }
    }
    return spans;
}

class KxblockDemo : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        dir = kxe2e::makeTempDir("kxblock_demo");
        ASSERT_FALSE(dir.empty());
        demo = runShell("cd " + dir + " && " + std::string(KXBLOCK_TOOL) + " demo 2>&1");
        const std::regex dragged(R"(dragged the end grip of reference ([0-9A-F]+))");
        std::smatch m;
        if (std::regex_search(demo.out, m, dragged)) {
            draggedHandle = m[1];
        }
    }
    static void TearDownTestSuite() {
        if (!dir.empty()) {
            runShell("rm -rf '" + dir + "'");
        }
    }
    static ToolRun tool(const std::string& args) { return kxe2e::kxblockIn(dir, args); }

    static std::string dir;
    static ToolRun demo;
    static std::string draggedHandle;
};
std::string KxblockDemo::dir;
ToolRun KxblockDemo::demo{-1, ""};
std::string KxblockDemo::draggedHandle;

TEST_F(KxblockDemo, WritesBothFilesAndSaysWhatItDid) {
    ASSERT_EQ(demo.status, 0) << demo.out;
    EXPECT_TRUE(exists(dir + "/demo.dxf"));
    EXPECT_TRUE(exists(dir + "/demo.svg"));
    EXPECT_NE(demo.out.find("definition PANEL"), std::string::npos) << demo.out;
    EXPECT_NE(demo.out.find("Width 10 -> 15"), std::string::npos) << demo.out;
    EXPECT_FALSE(draggedHandle.empty()) << demo.out;
    // The file starts as a DXF does and has its end marker.
    const std::string dxf = readFile(dir + "/demo.dxf");
    EXPECT_EQ(dxf.rfind("  0\nSECTION", 0), 0u);
    EXPECT_NE(dxf.find("EOF"), std::string::npos);
}

TEST_F(KxblockDemo, SvgShowsTheDraggedReferenceWiderThanTheOthers) {
    ASSERT_EQ(demo.status, 0) << demo.out;
    const std::string svg = readFile(dir + "/demo.svg");
    ASSERT_TRUE(wellFormed(svg)) << svg;
    EXPECT_TRUE(
        std::regex_search(svg, std::regex(R"(viewBox="[-0-9.e]+ [-0-9.e]+ [0-9.e]+ [0-9.e]+")")));
    const auto spans = spansByEntity(svg);
    ASSERT_EQ(spans.size(), 3u) << svg;
    ASSERT_EQ(spans.count(draggedHandle), 1u) << draggedHandle;
    for (const auto& [handle, span] : spans) {
        const double width = span.second - span.first;
        EXPECT_NEAR(width, handle == draggedHandle ? 15.0 : 10.0, 1e-9) << handle;
    }
}

TEST_F(KxblockDemo, OutputFolderIsMadeUnlessAFileStandsInTheWay) {
    const ToolRun made = tool("demo --out " + dir + "/new/folder");
    ASSERT_EQ(made.status, 0) << made.out;
    EXPECT_TRUE(exists(dir + "/new/folder/demo.dxf"));
    EXPECT_TRUE(exists(dir + "/new/folder/demo.svg"));

    std::ofstream(dir + "/plain", std::ios::binary) << "x";
    const ToolRun blocked = tool("demo --out " + dir + "/plain/sub");
    EXPECT_NE(blocked.status, 0);
    EXPECT_NE(blocked.out.find("cannot write into"), std::string::npos) << blocked.out;
    EXPECT_FALSE(exists(dir + "/plain/sub/demo.dxf"));
}

TEST_F(KxblockDemo, InfoJsonListsTheDefinitionAndTheNewWidth) {
    ASSERT_EQ(demo.status, 0) << demo.out;
    const ToolRun r = tool("info demo.dxf --json");
    ASSERT_EQ(r.status, 0) << r.out;
    const auto info = nlohmann::json::parse(r.out);
    ASSERT_EQ(info["definitions"].size(), 1u);
    const auto& def = info["definitions"][0];
    EXPECT_EQ(def["name"], "PANEL");
    EXPECT_GT(def["nodes"].get<int>(), 1);
    ASSERT_EQ(def["parameters"].size(), 1u);
    EXPECT_EQ(def["parameters"][0]["name"], "Width");
    EXPECT_EQ(def["parameters"][0]["class"], "BLOCKLINEARTAG");

    ASSERT_EQ(info["references"].size(), 3u);
    for (const auto& ref : info["references"]) {
        EXPECT_EQ(ref["definition"], "PANEL");
        const bool dragged = ref["handle"] == draggedHandle;
        if (dragged) {
            EXPECT_EQ(ref["block"].get<std::string>().rfind("*U", 0), 0u) << ref.dump();
        } else {
            EXPECT_EQ(ref["block"], "PANEL");
        }
        bool sawWidth = false;
        for (const auto& p : ref["properties"]) {
            if (p["name"] == "Width") {
                sawWidth = true;
                EXPECT_EQ(p["node"], def["parameters"][0]["node"]);
                EXPECT_FALSE(p["readOnly"].get<bool>());
                EXPECT_NEAR(p["value"].get<double>(), dragged ? 15.0 : 10.0, 1e-9);
            }
        }
        EXPECT_TRUE(sawWidth) << ref.dump();
    }
}

TEST_F(KxblockDemo, RenderOfTheSavedDrawingMatchesTheDemoPicture) {
    ASSERT_EQ(demo.status, 0) << demo.out;
    const ToolRun r = tool("render demo.dxf -o again.svg");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(spansByEntity(readFile(dir + "/again.svg")),
              spansByEntity(readFile(dir + "/demo.svg")));
}

TEST_F(KxblockDemo, RenderToPngGoesThroughRsvgConvert) {
    ASSERT_EQ(demo.status, 0) << demo.out;
    const ToolRun r = tool("render demo.dxf -o demo.png");
    ASSERT_EQ(r.status, 0) << r.out;
    const std::string png = readFile(dir + "/demo.png");
    ASSERT_GT(png.size(), 8u);
    EXPECT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
    EXPECT_FALSE(exists(dir + "/demo.png.tmp.svg"));  // the intermediate SVG is removed
}

TEST_F(KxblockDemo, MissingOrDamagedInputIsReportedOnStderr) {
    for (const std::string& cmd : {std::string("info"), std::string("render")}) {
        const std::string out = cmd == "render" ? " -o x.svg" : "";
        const ToolRun missing = runShell("cd " + dir + " && " + KXBLOCK_TOOL + " " + cmd +
                                         " nope.dxf" + out + " 2>&1 >/dev/null");
        EXPECT_NE(missing.status, 0) << cmd;
        EXPECT_NE(missing.out.find("cannot read nope.dxf"), std::string::npos) << missing.out;
    }
    // A file cut in the middle of its records.
    const std::string dxf = readFile(dir + "/demo.dxf");
    ASSERT_GT(dxf.size(), 100u);
    std::ofstream(dir + "/cut.dxf", std::ios::binary) << dxf.substr(0, dxf.size() / 2);
    const ToolRun cut = tool("info cut.dxf --json");
    EXPECT_NE(cut.status, 0);
    EXPECT_NE(cut.out.find("cannot read cut.dxf"), std::string::npos) << cut.out;
    // Arguments missing.
    EXPECT_NE(tool("info").status, 0);
    EXPECT_NE(tool("render demo.dxf").status, 0);
}

TEST_F(KxblockDemo, EachCommandHasHelp) {
    for (const char* cmd :
         {"classes", "demo", "render", "info", "grips", "drag", "set", "graph", "audit"}) {
        const ToolRun r = tool(std::string(cmd) + " --help");
        EXPECT_EQ(r.status, 0) << cmd;
        EXPECT_NE(r.out.find("Usage"), std::string::npos) << r.out;
    }
}

}  // namespace
