// kxblock drag and set change a drawing read from a file exactly as the same change made in the
// process that built it: the same geometry, the same records, the same new objects under the
// same handles.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <map>
#include <nlohmann/json.hpp>
#include <string>

#include "e2e/tool_run.h"
#include "host/db/database.h"
#include "host/db/dwgfiler.h"
#include "host/dxf/dxf_reader.h"
#include "host/dxf/dxf_writer.h"
#include "host/testing/grip_editor.h"
#include "panel_drawing.h"
#include "support/module_loader.h"

namespace {

using kxdxftest::narrow;
using kxdxftest::Opened;

using kxe2e::ToolRun;

ToolRun runTool(const std::string& args) {
    return kxe2e::runShell(std::string(KXBLOCK_TOOL) + " " + args + " 2>&1");
}

// Each live object of a database as its class and copy-filer items, ids replaced by the handles
// they name, by handle.
std::map<Adesk::UInt64, std::string> filedObjects(AcDbDatabase* db) {
    std::map<Adesk::UInt64, std::string> out;
    for (const AcDbObjectId& id : kxhost::objectIds(db)) {
        if (id.isErased()) {
            continue;
        }
        Opened<AcDbObject> obj(id, AcDb::kForRead);
        if (obj.get() == nullptr) {
            out[id.handle().value()] = "not opened";
            continue;
        }
        kxhost::DwgMemoryFiler filer(AcDb::kCopyFiler, AcDb::kDHL_CURRENT, AcDb::kMReleaseCurrent,
                                     db);
        std::string text = narrow(AcString(obj->isA()->name())) + "\n";
        if (obj->dwgOutFields(&filer) != Acad::eOk) {
            text += "not filed\n";
        }
        for (auto item : filer.items()) {
            using K = kxhost::DwgMemoryFiler::ItemKind;
            const bool isId = item.kind == K::kHardOwnershipId ||
                              item.kind == K::kSoftOwnershipId || item.kind == K::kHardPointerId ||
                              item.kind == K::kSoftPointerId;
            if (isId && item.bits != 0) {
                AcDbObjectId named;
                named.setFromOldId(static_cast<Adesk::Int64>(item.bits));
                item.bits = named.handle().value();
            }
            text += narrow(item.description()) + "\n";
        }
        out[id.handle().value()] = text;
    }
    return out;
}

void expectSameDrawing(AcDbDatabase* expected, AcDbDatabase* actual) {
    const auto want = filedObjects(expected);
    const auto got = filedObjects(actual);
    for (const auto& [handle, text] : want) {
        auto it = got.find(handle);
        if (it == got.end()) {
            ADD_FAILURE() << "missing handle " << std::hex << handle;
            continue;
        }
        EXPECT_EQ(it->second, text) << "handle " << std::hex << handle;
    }
    for (const auto& [handle, text] : got) {
        EXPECT_TRUE(want.count(handle) != 0)
            << "extra object, handle " << std::hex << handle << ":\n"
            << text;
    }
    EXPECT_GT(want.size(), 20u);
}

class KxblockChangesTest : public kxtest::ModuleTest {
  protected:
    void SetUp() override {
        kxtest::ModuleTest::SetUp();
        char pattern[] = "/tmp/kxblockchangesXXXXXX";
        const char* made = mkdtemp(pattern);
        ASSERT_NE(made, nullptr);
        dir = made;
        db = new AcDbDatabase(true, true);
        ASSERT_NO_FATAL_FAILURE(kxdxftest::buildPanelDrawing(db, panel));
        input = dir + "/in.dxf";
        ASSERT_EQ(kxhost::dxf::writeDxfFile(db, AcString::fromUtf8(input).kwszPtr()), Acad::eOk);
    }
    void TearDown() override {
        delete changed;
        delete db;
        if (!HasFailure()) {
            std::system(("rm -rf '" + dir + "'").c_str());
        } else {
            std::printf("kept %s\n", dir.c_str());
        }
        kxtest::ModuleTest::TearDown();
    }
    std::string handleOf(int ref) const { return narrow(panel.refIds[ref].handle().toString()); }
    void readChanged(const std::string& path) {
        AcString message;
        ASSERT_EQ(kxhost::dxf::readDxfFile(AcString::fromUtf8(path).kwszPtr(), changed, &message),
                  Acad::eOk)
            << narrow(message);
    }

    std::string dir;
    std::string input;
    AcDbDatabase* db = nullptr;
    AcDbDatabase* changed = nullptr;
    kxdxftest::PanelDrawing panel;
};

TEST_F(KxblockChangesTest, DragGivesWhatTheGripEditorGivesInProcess) {
    // Both the reference that has a state of its own and one still showing the definition.
    for (int ref : {1, 2}) {
        const std::string out = dir + "/dragged" + std::to_string(ref) + ".dxf";
        const ToolRun grips = runTool("grips " + input + " --ref " + handleOf(ref) + " --json");
        ASSERT_EQ(grips.status, 0) << grips.out;
        const nlohmann::json listed = nlohmann::json::parse(grips.out)["grips"];
        ASSERT_GE(listed.size(), 2u);
        EXPECT_TRUE(listed[0]["dynamic"].get<bool>());
        EXPECT_EQ(listed[0]["kind"], "linear");
        EXPECT_FALSE(listed.back()["dynamic"].get<bool>());

        const ToolRun drag =
            runTool("drag " + input + " --ref " + handleOf(ref) + " --grip 0 --by 3.2,0 -o " + out);
        ASSERT_EQ(drag.status, 0) << drag.out;

        kxhost::GripEditor editor(db, panel.refIds[ref]);
        ASSERT_EQ(editor.collectGrips(), Acad::eOk);
        ASSERT_EQ(editor.beginDrag(0), Acad::eOk);
        ASSERT_EQ(editor.dragTo(AcGeVector3d(3.2, 0, 0)), Acad::eOk);
        ASSERT_EQ(editor.release(), Acad::eOk);

        ASSERT_NO_FATAL_FAILURE(readChanged(out));
        expectSameDrawing(db, changed);
        delete changed;
        changed = nullptr;
        // The next round starts from the file the tool changed, as the process did.
        input = out;
    }
}

TEST_F(KxblockChangesTest, SetGivesWhatThePropertiesPaletteGivesInProcess) {
    const std::string out = dir + "/set.dxf";
    // Between two allowed widths (a grid of 1): the nearer one is taken and reported.
    const ToolRun set = runTool("set " + input + " --ref " + handleOf(2) +
                                " --property Width=13.4 --json -o " + out);
    ASSERT_EQ(set.status, 0) << set.out;
    const nlohmann::json result = nlohmann::json::parse(set.out);
    ASSERT_EQ(result["properties"].size(), 1u);
    EXPECT_DOUBLE_EQ(result["properties"][0]["value"].get<double>(), 13.0);

    ASSERT_EQ(kxdxftest::setWidth(panel.refIds[2], panel.paramNode, 13.4), Acad::eOk);
    ASSERT_NO_FATAL_FAILURE(readChanged(out));
    expectSameDrawing(db, changed);

    // info reads the new value back from the file.
    const ToolRun info = runTool("info " + out + " --json");
    ASSERT_EQ(info.status, 0) << info.out;
    bool seen = false;
    const nlohmann::json listed = nlohmann::json::parse(info.out);
    for (const auto& ref : listed["references"]) {
        if (ref["handle"] != handleOf(2)) {
            continue;
        }
        for (const auto& p : ref["properties"]) {
            if (p["name"] == "Width") {
                EXPECT_DOUBLE_EQ(p["value"].get<double>(), 13.0);
                seen = true;
            }
        }
    }
    EXPECT_TRUE(seen) << info.out;
}

TEST_F(KxblockChangesTest, RefusedRequestsLeaveNoFileBehind) {
    const std::string out = dir + "/never.dxf";
    const std::string ref = " --ref " + handleOf(1);
    for (const std::string& args : {"set " + input + ref + " --property Nothing=1 -o " + out,
                                    "set " + input + ref + " --property Width=wide -o " + out,
                                    "set " + input + ref + " --property 99:Width=3 -o " + out,
                                    "set " + input + ref + " --property =3 -o " + out,
                                    "set " + input + " --ref ZZ --property Width=3 -o " + out,
                                    "set " + input + " --ref FFFFFF --property Width=3 -o " + out,
                                    "drag " + input + ref + " --grip 7 --by 1,0 -o " + out,
                                    "drag " + input + ref + " --grip 0 --by 1 -o " + out,
                                    "drag " + input + ref + " --grip 0 --by 1,x -o " + out,
                                    "grips " + dir + "/missing.dxf" + ref}) {
        const ToolRun run = runTool(args);
        EXPECT_NE(run.status, 0) << args << "\n" << run.out;
        EXPECT_NE(run.out.find("kxblock: "), std::string::npos) << args << "\n" << run.out;
        EXPECT_NE(access(out.c_str(), F_OK), 0) << args;
    }
}

}  // namespace
