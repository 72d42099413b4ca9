#include <gtest/gtest.h>

#include "host/core/heap.h"
#include "host/db/database.h"
#include "host/db/dwgfiler.h"
#include "host/db/regapp.h"
#include "tests/host/db/db_test_support.h"

namespace {

using dbtest::Chain;
using dbtest::chainLength;
using dbtest::sameChain;

class XDataTest : public DbTest {
  protected:
    AcDbDatabase db{false, true};
    AcDbObjectId id;
    KxDbTestRecord* rec = nullptr;

    void SetUp() override {
        DbTest::SetUp();
        id = addRecord(db);
        ASSERT_EQ(acdbOpenObject(rec, id, AcDb::kForWrite), Acad::eOk);
    }
    void TearDown() override {
        if (rec != nullptr) {
            rec->close();
        }
        DbTest::TearDown();
    }
};

TEST_F(XDataTest, ApplicationsCoexistAndAreReplacedOneAtATime) {
    const double where[3] = {1.0, 2.0, 3.0};
    Chain alpha(acutBuildList(1001, L"ALPHA", 1000, L"first", 1071, 100000, 1070, 7, 0));
    Chain beta(acutBuildList(1001, L"BETA", 1010, where, 1040, 2.5, 0));
    ASSERT_EQ(rec->setXData(alpha.head), Acad::eOk);
    ASSERT_EQ(rec->setXData(beta.head), Acad::eOk);

    Chain gotAlpha(rec->xData(L"alpha"));  // names compare without regard to case
    EXPECT_TRUE(sameChain(alpha.head, gotAlpha.head));
    Chain gotBeta(rec->xData(L"BETA"));
    EXPECT_TRUE(sameChain(beta.head, gotBeta.head));
    Chain all(rec->xData());
    EXPECT_EQ(chainLength(all.head), chainLength(alpha.head) + chainLength(beta.head));

    // New data for ALPHA replaces ALPHA's only.
    Chain alpha2(acutBuildList(1001, L"ALPHA", 1071, -5, 0));
    ASSERT_EQ(rec->setXData(alpha2.head), Acad::eOk);
    gotAlpha.reset(rec->xData(L"ALPHA"));
    EXPECT_TRUE(sameChain(alpha2.head, gotAlpha.head));
    EXPECT_EQ(gotAlpha.head->rbnext->resval.rlong, -5);
    gotBeta.reset(rec->xData(L"BETA"));
    EXPECT_TRUE(sameChain(beta.head, gotBeta.head));
    EXPECT_TRUE(rec->isModified());
}

TEST_F(XDataTest, ABareApplicationGroupRemovesThatApplicationOnly) {
    Chain both(acutBuildList(1001, L"ALPHA", 1000, L"a", 1001, L"BETA", 1070, 2, 0));
    ASSERT_EQ(rec->setXData(both.head), Acad::eOk);
    Chain removeAlpha(acutBuildList(1001, L"ALPHA", 0));
    ASSERT_EQ(rec->setXData(removeAlpha.head), Acad::eOk);
    EXPECT_EQ(rec->xData(L"ALPHA"), nullptr);
    Chain all(rec->xData());
    Chain expected(acutBuildList(1001, L"BETA", 1070, 2, 0));
    EXPECT_TRUE(sameChain(expected.head, all.head));
    // Removing what is not there is fine.
    ASSERT_EQ(rec->setXData(removeAlpha.head), Acad::eOk);
}

TEST_F(XDataTest, ReturnedChainsAreCopiesTheCallerOwns) {
    Chain data(acutBuildList(1001, L"ALPHA", 1000, L"kept", 0));
    ASSERT_EQ(rec->setXData(data.head), Acad::eOk);
    const long before = kxhost::heapLiveBlocks();
    {
        Chain got(rec->xData(L"ALPHA"));
        acutDelBuffer(got.head->rbnext->resval.rstring);
        got.head->rbnext->resval.rstring = acutNewString(L"changed");
    }
    EXPECT_EQ(kxhost::heapLiveBlocks(), before);
    Chain again(rec->xData(L"ALPHA"));
    EXPECT_TRUE(sameChain(data.head, again.head));
}

TEST_F(XDataTest, BadChainsAreRefusedAndChangeNothing) {
    Chain good(acutBuildList(1001, L"ALPHA", 1000, L"a", 0));
    ASSERT_EQ(rec->setXData(good.head), Acad::eOk);
    Chain noApp(acutBuildList(1000, L"orphan", 0));
    EXPECT_EQ(rec->setXData(noApp.head), Acad::eInvalidInput);
    EXPECT_EQ(rec->setXData(nullptr), Acad::eInvalidInput);
    // 1006 is no extended-data code; 40 is an object code.
    Chain badCode(acutBuildList(1001, L"ALPHA", 1000, L"b", 40, 1.0, 0));
    EXPECT_EQ(rec->setXData(badCode.head), Acad::eInvalidResBuf);
    Chain emptyName(acutBuildList(1001, L"", 1000, L"b", 0));
    EXPECT_EQ(rec->setXData(emptyName.head), Acad::eInvalidInput);
    Chain got(rec->xData(L"ALPHA"));
    EXPECT_TRUE(sameChain(good.head, got.head));

    rec->close();
    ASSERT_EQ(acdbOpenObject(rec, id, AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(rec->setXData(good.head), Acad::eNotOpenForWrite);
}

TEST_F(XDataTest, ResidentObjectsRegisterTheApplicationsTheyName) {
    Chain data(acutBuildList(1001, L"KX_UNREGISTERED", 1000, L"x", 0));
    ASSERT_EQ(rec->setXData(data.head), Acad::eOk);
    AcDbRegAppTable* table = nullptr;
    ASSERT_EQ(db.getRegAppTable(table, AcDb::kForRead), Acad::eOk);
    EXPECT_TRUE(table->has(L"kx_unregistered"));
    EXPECT_EQ(table->numEntries(), 1);
    table->close();
    // Once is enough.
    ASSERT_EQ(rec->setXData(data.head), Acad::eOk);
    ASSERT_EQ(db.getRegAppTable(table, AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(table->numEntries(), 1);
    table->close();
    // A name the table cannot hold is refused with the table's status.
    Chain badName(acutBuildList(1001, L"A*B", 1000, L"x", 0));
    EXPECT_EQ(rec->setXData(badName.head), Acad::eInvalidSymbolTableName);

    // Objects outside a database take any name without a table.
    KxDbTestRecord loose;
    ASSERT_EQ(loose.setXData(badName.head), Acad::eOk);
    Chain got(loose.xData(L"a*b"));
    EXPECT_TRUE(sameChain(badName.head, got.head));
}

TEST_F(XDataTest, ExtendedDataTravelsThroughFileAndCopyFilersButNotIdFilers) {
    const double where[3] = {4.0, 5.0, 6.0};
    Chain data(acutBuildList(1001, L"ALPHA", 1000, L"s", 1071, 100000, 1070, -3, 1010, where, 1040,
                             0.25, 1005, L"1F", 1001, L"BETA", 1002, L"{", 1002, L"}", 0));
    ASSERT_EQ(rec->setXData(data.head), Acad::eOk);
    for (AcDb::FilerType type : {AcDb::kFileFiler, AcDb::kCopyFiler, AcDb::kUndoFiler}) {
        kxhost::DwgMemoryFiler filer(type);
        ASSERT_EQ(rec->dwgOut(&filer), Acad::eOk);
        filer.rewind();
        KxDbTestRecord copy;
        ASSERT_EQ(copy.dwgIn(&filer), Acad::eOk) << filer.describe().utf8();
        Chain got(copy.xData());
        EXPECT_TRUE(sameChain(data.head, got.head)) << "filer type " << type;
    }
    // Id filers see ids only: the same object files fewer items there than to a file.
    kxhost::DwgMemoryFiler file(AcDb::kFileFiler);
    kxhost::DwgMemoryFiler ids(AcDb::kIdFiler);
    rec->dwgOut(&file);
    rec->dwgOut(&ids);
    EXPECT_EQ(file.itemCount() - ids.itemCount(), 1 + 2 * chainLength(data.head));
}

TEST_F(XDataTest, DamagedCountsFailWithoutTouchingTheObject) {
    Chain data(acutBuildList(1001, L"ALPHA", 1000, L"keep", 0));
    ASSERT_EQ(rec->setXData(data.head), Acad::eOk);
    rec->setCount(11);
    const long before = kxhost::heapLiveBlocks();
    for (Adesk::Int32 bad : {-1, 1000001, 0x7FFFFFFF}) {
        // Copy-filer layout: the extended data comes first.
        kxhost::DwgMemoryFiler filer(AcDb::kCopyFiler);
        filer.writeInt32(bad);
        filer.rewind();
        EXPECT_EQ(rec->dwgIn(&filer), Acad::eFilerError) << bad;
        EXPECT_EQ(filer.filerStatus(), Acad::eFilerError);
    }
    // A stream cut short inside the data.
    kxhost::DwgMemoryFiler cut(AcDb::kCopyFiler);
    cut.writeInt32(3);
    cut.writeInt16(1001);
    cut.writeString(L"ALPHA");
    cut.rewind();
    EXPECT_NE(rec->dwgIn(&cut), Acad::eOk);
    EXPECT_EQ(kxhost::heapLiveBlocks(), before);
    EXPECT_EQ(rec->count(), 11);
    Chain got(rec->xData());
    EXPECT_TRUE(sameChain(data.head, got.head));
}

}  // namespace
