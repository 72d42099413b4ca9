// kxblock classes, run as a user would run it.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>

#include "tool_run.h"

namespace {

using kxe2e::runShell;
using kxe2e::ToolRun;

ToolRun run(const std::string& args) {
    return runShell(std::string(KXBLOCK_TOOL) + " " + args + " 2>&1");
}

TEST(KxblockClasses, JsonListsEveryClassInRegistrationOrder) {
    const ToolRun r = run("classes --json");
    ASSERT_EQ(r.status, 0) << r.out;
    const auto rows = nlohmann::json::parse(r.out);
    ASSERT_TRUE(rows.is_array());
    ASSERT_EQ(rows.size(), 58u);

    EXPECT_EQ(rows[0]["name"], "AcDbObjectWrapper");
    EXPECT_EQ(rows[0]["parent"], "AcDbObject");
    EXPECT_TRUE(rows[0]["dxfName"].is_null());
    EXPECT_TRUE(rows[0]["appName"].is_null());
    EXPECT_EQ(rows[0]["dwgVersion"], 0);
    EXPECT_EQ(rows[0]["proxyFlags"], 0);

    EXPECT_EQ(rows[1]["name"], "KxDbTagRootData");
    EXPECT_EQ(rows[1]["dxfName"], "TAGROOTDATA");
    EXPECT_EQ(rows[1]["appName"], "ZIZIZARAZODEVUVEVEZOZARE");
    EXPECT_EQ(rows[1]["dwgVersion"], 33);
    EXPECT_EQ(rows[1]["maintenanceVersion"], 55);
    EXPECT_EQ(rows[1]["proxyFlags"], 0);

    EXPECT_EQ(rows[8]["name"], "KxDbTagGripExpr");
    EXPECT_EQ(rows[8]["dxfName"], "TAGGRIPEXPR");
    EXPECT_EQ(rows[8]["dwgVersion"], 25);
    EXPECT_EQ(rows[8]["maintenanceVersion"], 20);
    EXPECT_EQ(rows[8]["proxyFlags"], 1153);

    EXPECT_EQ(rows[47]["name"], "KxDbTagLookupColumnDesc");
    EXPECT_EQ(rows[48]["name"], "KxDbTagRefContext");
    EXPECT_EQ(rows[53]["name"], "KxDbTagPurgePreventer");
    EXPECT_EQ(rows[53]["parent"], "KxDbTagRepresentationData");
    EXPECT_EQ(rows[53]["maintenanceVersion"], 61);
    EXPECT_EQ(rows[57]["name"], "KxDbImpTagRepresentationEquivalence");
    EXPECT_EQ(rows[57]["parent"], "KxDbTagRepresentationEquivalence");

    int persistent = 0;
    for (const auto& row : rows) {
        if (!row["dxfName"].is_null()) {
            ++persistent;
            EXPECT_EQ(row["appName"], "ZIZIZARAZODEVUVEVEZOZARE");
        }
    }
    EXPECT_EQ(persistent, 36);
}

TEST(KxblockClasses, TextListingEndsWithTheCount) {
    const ToolRun r = run("classes");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("KxDbBlockLinearTag"), std::string::npos);
    EXPECT_NE(r.out.find("58 classes registered"), std::string::npos);
}

TEST(KxblockClasses, MissingPluginIsReported) {
    const ToolRun r = runShell("KXBLOCKS_MODULE=/nonexistent/x.so " + std::string(KXBLOCK_TOOL) +
                               " classes 2>&1");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.out.find("cannot load the plug-in"), std::string::npos);
}

TEST(KxblockClasses, UnknownCommandFails) {
    const ToolRun r = run("no-such-command");
    EXPECT_NE(r.status, 0);
}

}  // namespace
