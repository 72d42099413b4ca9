// Strings, result buffers, system variables and the platform stand-ins.
#include <gtest/gtest.h>

#include "host/core/acstring.h"
#include "host/core/heap.h"
#include "host/core/resbuf.h"
#include "host/ed/platform.h"
#include "host/ed/sysvars.h"

namespace {

TEST(Strings, FormatTakesWideStringsForPercentS) {
    AcString s;
    s.format(L"%s=%d%s", L"线性", 42, L"!");
    EXPECT_EQ(s, AcString(L"线性=42!"));
    EXPECT_EQ(AcString(acFormat(L"%5.2f|%ls|%c|%%", 3.14159, L"x", L'y')),
              AcString(L" 3.14|x|y|%"));
}

TEST(Strings, CaseFoldingCoversLatinButLeavesOtherScripts) {
    EXPECT_EQ(acCompareNoCase(L"Distance1", L"DISTANCE1"), 0);
    EXPECT_EQ(acCompareNoCase(L"ÉTAT", L"état"), 0);
    EXPECT_NE(acCompareNoCase(L"a", L"b"), 0);
    EXPECT_EQ(acCompareNoCase(L"可见性", L"可见性"), 0);
    EXPECT_LT(acCompareNoCase(L"abc", L"ABD"), 0);
    EXPECT_EQ(acCompareNoCase(nullptr, L""), 0);
}

TEST(Strings, Utf8RoundTripAndDamagedInput) {
    const AcString text(L"基点X-端点Y 夹点 é");
    EXPECT_EQ(AcString::fromUtf8(text.utf8()), text);
    EXPECT_EQ(AcString::fromUtf8("\xE4\xB8"), AcString(L"\xFFFD"));  // cut short
}

TEST(ResultBuffers, GroupCodesAreClassified) {
    EXPECT_EQ(acdbGroupCodeToType(-9999), AcDb::kDwgNull);
    EXPECT_EQ(acdbGroupCodeToType(1), AcDb::kDwgText);
    EXPECT_EQ(acdbGroupCodeToType(10), AcDb::kDwg3Real);
    EXPECT_EQ(acdbGroupCodeToType(40), AcDb::kDwgReal);
    EXPECT_EQ(acdbGroupCodeToType(70), AcDb::kDwgInt16);
    EXPECT_EQ(acdbGroupCodeToType(90), AcDb::kDwgInt32);
    EXPECT_EQ(acdbGroupCodeToType(160), AcDb::kDwgInt64);
    EXPECT_EQ(acdbGroupCodeToType(290), AcDb::kDwgInt8);
    EXPECT_EQ(acdbGroupCodeToType(310), AcDb::kDwgBChunk);
    EXPECT_EQ(acdbGroupCodeToType(330), AcDb::kDwgSoftPointerId);
    EXPECT_EQ(acdbGroupCodeToType(340), AcDb::kDwgHardPointerId);
    EXPECT_EQ(acdbGroupCodeToType(350), AcDb::kDwgSoftOwnershipId);
    EXPECT_EQ(acdbGroupCodeToType(360), AcDb::kDwgHardOwnershipId);
    EXPECT_EQ(acdbGroupCodeToType(1005), AcDb::kDwgHandle);
    EXPECT_EQ(acdbGroupCodeToType(1071), AcDb::kDwgInt32);
    EXPECT_EQ(acdbGroupCodeToType(1070), AcDb::kDwgInt16);
    EXPECT_EQ(acdbGroupCodeToType(190), AcDb::kDwgNotRecognized);
}

TEST(ResultBuffers, ChainsCopyDeeplyAndReleaseEverything) {
    const long before = kxhost::heapLiveBlocks();
    const double pt[3] = {1, 2, 3};
    resbuf* chain = acutBuildList(1, L"text", 10, pt, 40, 2.5, 70, 7, 1071, 100000, 1005, L"1F", 0);
    ASSERT_NE(chain, nullptr);
    resbuf* copy = acutCopyRb(chain);
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy->resval.rstring, chain->resval.rstring);
    EXPECT_STREQ(copy->resval.rstring, L"text");
    EXPECT_EQ(copy->rbnext->resval.rpoint[2], 3.0);
    EXPECT_EQ(copy->rbnext->rbnext->rbnext->rbnext->resval.rlong, 100000);
    acutRelRb(chain);
    acutRelRb(copy);
    EXPECT_EQ(kxhost::heapLiveBlocks(), before);
}

TEST(ResultBuffers, AllocationFailureGivesNullAndLeaksNothing) {
    const long before = kxhost::heapLiveBlocks();
    resbuf* chain = acutBuildList(1, L"a", 1, L"b", 0);
    kxhost::heapFailAfter(3);
    EXPECT_EQ(acutCopyRb(chain), nullptr);
    kxhost::heapFailAfter(0);
    acutRelRb(chain);
    EXPECT_EQ(kxhost::heapLiveBlocks(), before);
}

TEST(SystemVariables, ReadWriteAndRemove) {
    kxhost::resetSystemVariables();
    resbuf rb{};
    ASSERT_EQ(acedGetVar(L"DYNMODE", &rb), RTNORM);
    EXPECT_EQ(rb.restype, RTSHORT);
    rb.resval.rint = 1;
    EXPECT_EQ(acedSetVar(L"dynmode", &rb), RTNORM);
    EXPECT_EQ(kxhost::systemVariableInt(L"DYNMODE"), 1);
    ASSERT_EQ(acedGetVar(L"BPARAMETERFONT", &rb), RTNORM);
    EXPECT_EQ(rb.restype, RTSTR);
    acutDelBuffer(rb.resval.rstring);
    rb.restype = RTSHORT;
    EXPECT_NE(acedSetVar(L"BPARAMETERFONT", &rb), RTNORM);  // wrong type
    kxhost::removeSystemVariable(L"DYNMODE");
    EXPECT_NE(acedGetVar(L"DYNMODE", &rb), RTNORM);
    kxhost::resetSystemVariables();
    EXPECT_TRUE(kxhost::hasSystemVariable(L"DYNMODE"));
}

TEST(CommandLine, OutputIsCaptured) {
    kxhost::takeCommandLineOutput();
    acutPrintf(L"%s\n", L"KxDbImpBlock2PtTag::setDefinitionBasePoint");
    EXPECT_EQ(kxhost::takeCommandLineOutput(), L"KxDbImpBlock2PtTag::setDefinitionBasePoint\n");
    EXPECT_EQ(kxhost::takeCommandLineOutput(), L"");
}

TEST(Platform, MenusRecordTheirItems) {
    HMENU menu = CreatePopupMenu();
    ASSERT_NE(menu, nullptr);
    EXPECT_TRUE(AppendMenuW(menu, MF_STRING, 37889, L"状态1"));
    EXPECT_TRUE(AppendMenuW(menu, MF_CHECKED, 37890, L"状态2"));
    const auto* items = kxhost::menuItems(menu);
    ASSERT_NE(items, nullptr);
    ASSERT_EQ(items->size(), 2u);
    EXPECT_EQ((*items)[1].flags, static_cast<UINT>(MF_CHECKED));
    EXPECT_EQ((*items)[1].text, L"状态2");
    EXPECT_TRUE(DestroyMenu(menu));
    EXPECT_FALSE(AppendMenuW(menu, 0, 1, L"x"));
    kxhost::failNextMenus(1);
    EXPECT_EQ(CreatePopupMenu(), nullptr);
}

TEST(Platform, HostFunctionLookup) {
    using GetVar = int (*)(const ACHAR*, resbuf*);
    auto fn = reinterpret_cast<GetVar>(GetProcAddress(GetModuleHandleW(nullptr), "kxedGetVar"));
    ASSERT_NE(fn, nullptr);
    resbuf rb{};
    EXPECT_EQ(fn(L"OSMODE", &rb), RTNORM);
    EXPECT_EQ(GetProcAddress(GetModuleHandleW(nullptr), "other"), nullptr);
    kxhost::withholdHostFunction(true);
    EXPECT_EQ(GetProcAddress(GetModuleHandleW(nullptr), "kxedGetVar"), nullptr);
    kxhost::withholdHostFunction(false);
}

TEST(Platform, StringResourcesByModule) {
    static int moduleTag = 0;
    const kxhost::StringResource table[] = {{7, 2052, "拉伸"}, {8, 2052, ""}, {0, 0, nullptr}};
    kxhost::registerStringResources(&moduleTag, table);
    AcString s;
    EXPECT_TRUE(s.loadString(&moduleTag, 7));
    EXPECT_EQ(s, AcString(L"拉伸"));
    EXPECT_FALSE(s.loadString(&moduleTag, 9));
    EXPECT_TRUE(s.isEmpty());
    wchar_t buf[2];
    EXPECT_EQ(LoadStringW(&moduleTag, 7, buf, 2), 1);  // truncated with a terminator
    EXPECT_EQ(buf[1], 0);
    kxhost::unregisterStringResources(&moduleTag);
    EXPECT_FALSE(s.loadString(&moduleTag, 7));
}

}  // namespace
