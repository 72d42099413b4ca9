// The display variables the module reads and the ones it forces at load, and its labels.
#include <gtest/gtest.h>

#include "host/ed/sysvars.h"
#include "module/display/display_settings.h"
#include "module/display/labels.h"
#include "support/module_loader.h"

namespace {

class DisplaySettings : public ::testing::Test {
  protected:
    void SetUp() override { kxhost::resetSystemVariables(); }
    void TearDown() override { kxhost::resetSystemVariables(); }
};

TEST_F(DisplaySettings, LoadForcesTheBlockDisplayValues) {
    kxhost::setSystemVariableInt(L"BPARAMETERSIZE", 25);
    kxhost::setSystemVariableInt(L"BACTIONBARMODE", 1);
    kxhost::setSystemVariableInt(L"BTMARKDISPLAY", 0);
    kxtest::LoadedModule module;
    EXPECT_EQ(kxhost::systemVariableInt(L"BPARAMETERSIZE"), 12);
    EXPECT_EQ(kxhost::systemVariableInt(L"BGRIPOBJSIZE"), 8);
    EXPECT_EQ(kxhost::systemVariableInt(L"BPTEXTHORIZONTAL"), 1);
    EXPECT_EQ(kxhost::systemVariableInt(L"BACTIONBARMODE"), 0);
    EXPECT_EQ(kxhost::systemVariableInt(L"BDEPENDENCYHIGHLIGHT"), 1);
    EXPECT_EQ(kxhost::systemVariableInt(L"BTMARKDISPLAY"), 1);
    EXPECT_EQ(kxhost::systemVariableString(L"BPARAMETERFONT"), L"simplex.shx");
    EXPECT_TRUE(kxdisplay::readBtMarkDisplay());
}

TEST_F(DisplaySettings, UnknownVariablesAreSkippedAtLoad) {
    kxhost::removeSystemVariable(L"BGRIPOBJSIZE");
    kxhost::removeSystemVariable(L"BPARAMETERFONT");
    const long blocks = kxhost::heapLiveBlocks();
    EXPECT_TRUE(kxdisplay::applyDisplayDefaults());
    EXPECT_FALSE(kxhost::hasSystemVariable(L"BGRIPOBJSIZE"));
    EXPECT_EQ(kxhost::systemVariableInt(L"BPARAMETERSIZE"), 12);
    EXPECT_EQ(kxhost::heapLiveBlocks(), blocks);
}

TEST_F(DisplaySettings, ReadersFallBackWhenTheHostLacksAVariable) {
    for (const wchar_t* name : {L"DYNMODE", L"GRIPDYNCOLOR", L"BTMARKDISPLAY", L"BPARAMETERSIZE"}) {
        kxhost::removeSystemVariable(name);
    }
    EXPECT_EQ(kxdisplay::readDynMode(), 3);
    EXPECT_EQ(kxdisplay::readGripDynColor(), 140);
    EXPECT_FALSE(kxdisplay::readBtMarkDisplay());
    EXPECT_EQ(kxdisplay::readParameterSize(), 12);
}

TEST_F(DisplaySettings, ReadersTakeTheHostsValues) {
    kxhost::setSystemVariableInt(L"DYNMODE", -2);
    kxhost::setSystemVariableInt(L"GRIPDYNCOLOR", 256);
    kxhost::setSystemVariableInt(L"BPARAMETERSIZE", 30);
    EXPECT_EQ(kxdisplay::readDynMode(), -2);
    // A colour index is unsigned: 256 (by layer) stays 256.
    EXPECT_EQ(kxdisplay::readGripDynColor(), 256);
    EXPECT_EQ(kxdisplay::readParameterSize(), 30);
}

TEST(Labels, ComeFromTheModulesStringTable) {
    EXPECT_TRUE(kxdisplay::loadLabel(1113).isEmpty());  // not loaded: no resources yet
    kxtest::LoadedModule module;
    EXPECT_EQ(kxdisplay::loadLabel(1113), AcString(L"线性"));
    EXPECT_EQ(kxdisplay::loadLabel(1052), AcString(L"将块与对象对齐"));
    EXPECT_EQ(kxdisplay::loadLabel(1149), AcString(L" X"));
    EXPECT_EQ(kxdisplay::loadLabel(1144), AcString(L"基点X-端点Y 夹点"));
    EXPECT_TRUE(kxdisplay::loadLabel(1110).isEmpty());
    EXPECT_TRUE(kxdisplay::loadLabel(0).isEmpty());
}

}  // namespace
