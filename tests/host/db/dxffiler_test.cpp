#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "host/core/heap.h"
#include "host/db/dxffiler.h"

namespace {

using kxhost::DxfMemoryFiler;
using Kind = DxfMemoryFiler::ItemKind;

AcDbObjectId idOf(Adesk::Int64 raw) {
    AcDbObjectId id;
    id.setFromOldId(raw);
    return id;
}

// Owns one item read from a filer and releases whatever its value owns. Text under codes the
// resbuf layer does not classify has to be freed by hand, which is what `ownsText` covers.
struct ReadItem {
    resbuf rb;
    bool ownsText = false;
    bool ownsBinary = false;

    ReadItem() { std::memset(&rb, 0, sizeof(rb)); }
    ~ReadItem() { release(); }
    ReadItem(const ReadItem&) = delete;
    ReadItem& operator=(const ReadItem&) = delete;

    void release() {
        if (ownsText) {
            acutDelBuffer(rb.resval.rstring);
        }
        if (ownsBinary) {
            acHeapFree(rb.resval.rbinary.buf);
        }
        ownsText = ownsBinary = false;
        std::memset(&rb, 0, sizeof(rb));
    }

    // Reads the next item; `text`/`binary` tell which value it is expected to carry.
    Acad::ErrorStatus from(AcDbDxfFiler& f, bool text = false, bool binary = false) {
        release();
        const Acad::ErrorStatus es = f.readItem(&rb);
        ownsText = es == Acad::eOk && text;
        ownsBinary = es == Acad::eOk && binary;
        return es;
    }
};

// ---- round trips ----

TEST(DxfMemoryFilerTest, IntegersTravelInTheWidthTheirCodeNames) {
    DxfMemoryFiler filer;
    filer.writeInt32(1071, 100000);
    filer.writeInt32(1071, -100000);
    filer.writeInt32(90, 70000);
    filer.writeInt32(90, -2);
    filer.writeInt32(420, 0x00FF8000);
    filer.writeInt16(70, -32768);
    filer.writeInt16(1070, 12);
    filer.writeUInt8(280, 200);
    filer.writeInt8(281, -1);
    filer.writeBool(290, true);
    filer.writeInt64(160, 0x123456789ABCLL);
    // Codes the host does not classify keep the kind they were written with.
    filer.writeInt32(190, 1234567);
    filer.writeInt64(161, -0x7000000000000000LL);
    filer.writeInt64(1999, 0x100000000LL);
    filer.writeInt16(1999, -7);
    ASSERT_EQ(filer.filerStatus(), Acad::eOk) << filer.errorMessage().utf8();

    ReadItem it;
    auto expectLong = [&](int code, Adesk::Int32 v) {
        ASSERT_EQ(it.from(filer), Acad::eOk);
        EXPECT_EQ(it.rb.restype, code);
        EXPECT_EQ(it.rb.resval.rlong, v) << code;
    };
    auto expectShort = [&](int code, short v) {
        ASSERT_EQ(it.from(filer), Acad::eOk);
        EXPECT_EQ(it.rb.restype, code);
        EXPECT_EQ(it.rb.resval.rint, v) << code;
    };
    auto expectInt64 = [&](int code, Adesk::Int64 v) {
        ASSERT_EQ(it.from(filer), Acad::eOk);
        EXPECT_EQ(it.rb.restype, code);
        EXPECT_EQ(it.rb.resval.mnInt64, v) << code;
    };
    expectLong(1071, 100000);
    expectLong(1071, -100000);
    expectLong(90, 70000);
    expectLong(90, -2);
    expectLong(420, 0x00FF8000);
    expectShort(70, -32768);
    expectShort(1070, 12);
    expectShort(280, 200);
    expectShort(281, -1);
    expectShort(290, 1);
    expectInt64(160, 0x123456789ABCLL);
    expectLong(190, 1234567);
    expectInt64(161, -0x7000000000000000LL);
    expectInt64(1999, 0x100000000LL);
    expectShort(1999, -7);
    EXPECT_EQ(it.from(filer), Acad::eEndOfFile);
}

TEST(DxfMemoryFilerTest, IntegersWrittenUnderAnotherWidthAreConverted) {
    DxfMemoryFiler filer;
    filer.writeInt16(90, -3);  // widened
    filer.writeInt32(70, 6);   // narrowed
    filer.writeUInt32(91, 4000000000u);
    filer.writeInt32(160, -1);  // widened with its sign
    filer.writeInt16(40, 4);    // integers fit real codes
    filer.writeUInt64(1041, 0xFFFFFFFFFFFFFFFFULL);
    ASSERT_EQ(filer.filerStatus(), Acad::eOk);

    ReadItem it;
    ASSERT_EQ(it.from(filer), Acad::eOk);
    EXPECT_EQ(it.rb.resval.rlong, -3);
    ASSERT_EQ(it.from(filer), Acad::eOk);
    EXPECT_EQ(it.rb.resval.rint, 6);
    ASSERT_EQ(it.from(filer), Acad::eOk);
    EXPECT_EQ(static_cast<Adesk::UInt32>(it.rb.resval.rlong), 4000000000u);
    ASSERT_EQ(it.from(filer), Acad::eOk);
    EXPECT_EQ(it.rb.resval.mnInt64, -1);
    ASSERT_EQ(it.from(filer), Acad::eOk);
    EXPECT_EQ(it.rb.resval.rreal, 4.0);
    ASSERT_EQ(it.from(filer), Acad::eOk);
    EXPECT_EQ(it.rb.resval.rreal, 18446744073709551615.0);

    // The items remember how they were written, for the file writer.
    EXPECT_EQ(filer.items()[0].kind, Kind::kInt16);
    EXPECT_EQ(filer.items()[1].kind, Kind::kInt32);
}

TEST(DxfMemoryFilerTest, RealsPointsTextIdsAndBinaryRoundTrip) {
    DxfMemoryFiler filer;
    filer.writeString(1, L"text \x4E2D");
    filer.writeString(2, AcString(L"named"));
    filer.writeName(3, nullptr);
    filer.writeString(100, static_cast<const ACHAR*>(nullptr));
    filer.writeDouble(40, -2.5, 3);
    filer.writeAngle(50, 1.25);
    filer.writePoint3d(10, AcGePoint3d(1, 2, 3), 6);
    filer.writePoint2d(11, AcGePoint2d(4, 5));
    filer.writeVector3d(210, AcGeVector3d(0, 0, 1));
    filer.writeVector2d(1011, AcGeVector2d(7, 8));
    filer.writeScale3d(12, AcGeScale3d(2, 3, 4));
    filer.writeObjectId(330, idOf(0x123456789ALL));
    filer.writeObjectId(340, idOf(-5));
    filer.writeObjectId(350, AcDbObjectId());
    filer.writeObjectId(360, idOf(1));
    filer.writeHandle(5, AcDbHandle(0x1A2BULL));
    const char data[] = {'\x00', '\x7F', '\xFF'};
    filer.writeBinaryChunk(310, ads_binary{3, const_cast<char*>(data)});
    ASSERT_EQ(filer.filerStatus(), Acad::eOk) << filer.errorMessage().utf8();

    ReadItem it;
    auto expectText = [&](int code, const ACHAR* text) {
        ASSERT_EQ(it.from(filer, true), Acad::eOk);
        EXPECT_EQ(it.rb.restype, code);
        ASSERT_NE(it.rb.resval.rstring, nullptr);
        EXPECT_STREQ(it.rb.resval.rstring, text);
    };
    auto expectPoint = [&](int code, double x, double y, double z) {
        ASSERT_EQ(it.from(filer), Acad::eOk);
        EXPECT_EQ(it.rb.restype, code);
        EXPECT_EQ(it.rb.resval.rpoint[0], x);
        EXPECT_EQ(it.rb.resval.rpoint[1], y);
        EXPECT_EQ(it.rb.resval.rpoint[2], z);
    };
    auto expectId = [&](int code, Adesk::Int64 raw) {
        ASSERT_EQ(it.from(filer), Acad::eOk);
        EXPECT_EQ(it.rb.restype, code);
        EXPECT_EQ(it.rb.resval.rlname[0], raw);
        EXPECT_EQ(it.rb.resval.rlname[1], 0);
        AcDbObjectId back;
        back.setFromOldId(it.rb.resval.rlname[0]);
        EXPECT_EQ(back, idOf(raw));
    };
    expectText(1, L"text \x4E2D");
    expectText(2, L"named");
    expectText(3, L"");
    expectText(100, L"");
    ASSERT_EQ(it.from(filer), Acad::eOk);
    EXPECT_EQ(it.rb.restype, 40);
    EXPECT_EQ(it.rb.resval.rreal, -2.5);
    ASSERT_EQ(it.from(filer), Acad::eOk);
    EXPECT_EQ(it.rb.resval.rreal, 1.25);
    expectPoint(10, 1, 2, 3);
    expectPoint(11, 4, 5, 0);
    expectPoint(210, 0, 0, 1);
    expectPoint(1011, 7, 8, 0);
    expectPoint(12, 2, 3, 4);
    expectId(330, 0x123456789ALL);
    expectId(340, -5);
    expectId(350, 0);
    expectId(360, 1);
    expectText(5, L"1A2B");
    ASSERT_EQ(it.from(filer, false, true), Acad::eOk);
    EXPECT_EQ(it.rb.restype, 310);
    ASSERT_EQ(it.rb.resval.rbinary.clen, 3);
    EXPECT_EQ(0, std::memcmp(it.rb.resval.rbinary.buf, data, 3));
    EXPECT_EQ(it.from(filer), Acad::eEndOfFile);

    EXPECT_EQ(filer.items()[4].precision, 3);
    EXPECT_EQ(filer.items()[5].precision, AcDbDxfFiler::kDfltPrec);
    EXPECT_EQ(filer.items()[6].precision, 6);
    EXPECT_EQ(filer.items()[7].kind, Kind::kPoint2d);
}

TEST(DxfMemoryFilerTest, CoordinatesUnderARealCodeSplitAsInAFile) {
    DxfMemoryFiler filer;
    filer.writeScale3d(41, AcGeScale3d(2, 3, 4), 5);
    filer.writePoint2d(1041, AcGePoint2d(-1, 1));
    ASSERT_EQ(filer.filerStatus(), Acad::eOk);
    ASSERT_EQ(filer.itemCount(), 5);

    const int codes[] = {41, 42, 43, 1041, 1042};
    const double values[] = {2, 3, 4, -1, 1};
    ReadItem it;
    for (int i = 0; i < 5; ++i) {
        ASSERT_EQ(it.from(filer), Acad::eOk);
        EXPECT_EQ(it.rb.restype, codes[i]);
        EXPECT_EQ(it.rb.resval.rreal, values[i]);
        EXPECT_EQ(filer.items()[i].kind, Kind::kDouble);
    }
    EXPECT_EQ(filer.items()[0].precision, 5);

    // 58, 59, 60: the last is not a real code, so nothing of it is written.
    DxfMemoryFiler bad;
    EXPECT_EQ(bad.writePoint3d(58, AcGePoint3d(1, 2, 3)), Acad::eInvalidDxfCode);
    EXPECT_EQ(bad.itemCount(), 0);
}

TEST(DxfMemoryFilerTest, ChainsRoundTripThroughTheFiler) {
    const long before = kxhost::heapLiveBlocks();
    {
        const double pt[3] = {1, 2, 3};
        const ads_name owner = {0x42, 0};
        resbuf* chain = acutBuildList(1, L"BLOCK_THING", 100, L"AcDbThing", 10, pt, 70, 5, 90,
                                      -70000, 1071, 80000, 40, 2.5, 330, owner, 0);
        ASSERT_NE(chain, nullptr);
        DxfMemoryFiler filer = DxfMemoryFiler::fromChain(chain);
        ASSERT_EQ(filer.filerStatus(), Acad::eOk);
        EXPECT_EQ(filer.itemCount(), 8);

        resbuf* back = filer.toChain();
        ASSERT_NE(back, nullptr);
        const resbuf* a = chain;
        const resbuf* b = back;
        for (; a != nullptr && b != nullptr; a = a->rbnext, b = b->rbnext) {
            ASSERT_EQ(a->restype, b->restype);
            switch (acdbGroupCodeToType(a->restype)) {
                case AcDb::kDwgText:
                    EXPECT_STREQ(a->resval.rstring, b->resval.rstring);
                    EXPECT_NE(a->resval.rstring, b->resval.rstring);
                    break;
                case AcDb::kDwg3Real:
                    EXPECT_EQ(0, std::memcmp(a->resval.rpoint, b->resval.rpoint, sizeof(pt)));
                    break;
                case AcDb::kDwgInt16:
                    EXPECT_EQ(a->resval.rint, b->resval.rint);
                    break;
                case AcDb::kDwgInt32:
                    EXPECT_EQ(a->resval.rlong, b->resval.rlong);
                    break;
                case AcDb::kDwgReal:
                    EXPECT_EQ(a->resval.rreal, b->resval.rreal);
                    break;
                default:
                    EXPECT_EQ(a->resval.rlname[0], b->resval.rlname[0]);
                    break;
            }
        }
        EXPECT_EQ(a, nullptr);
        EXPECT_EQ(b, nullptr);

        // A filer loaded from its own chain holds the same items.
        DxfMemoryFiler again;
        EXPECT_EQ(again.load(back), Acad::eOk);
        EXPECT_TRUE(again.sameItems(filer)) << again.describe().utf8() << filer.describe().utf8();
        acutRelRb(back);
        acutRelRb(chain);
    }
    EXPECT_EQ(kxhost::heapLiveBlocks(), before);
}

TEST(DxfMemoryFilerTest, ResultCodesAndUnclassifiedCodesRoundTrip) {
    resbuf* chain = acutBuildList(RTSTR, L"s", RTSHORT, 3, RTLONG, 100000, RTREAL, 0.5, 0);
    ASSERT_NE(chain, nullptr);
    // An unclassified code carries its value bit for bit.
    resbuf* odd = acutNewRb(190);
    odd->resval.rlong = -123456;
    chain->rbnext->rbnext->rbnext->rbnext = odd;

    DxfMemoryFiler filer = DxfMemoryFiler::fromChain(chain);
    acutRelRb(chain);
    ASSERT_EQ(filer.filerStatus(), Acad::eOk);
    ASSERT_EQ(filer.itemCount(), 5);
    EXPECT_EQ(filer.items()[4].kind, Kind::kRaw);

    ReadItem it;
    ASSERT_EQ(it.from(filer, true), Acad::eOk);
    EXPECT_EQ(it.rb.restype, RTSTR);
    EXPECT_STREQ(it.rb.resval.rstring, L"s");
    ASSERT_EQ(it.from(filer), Acad::eOk);
    EXPECT_EQ(it.rb.resval.rint, 3);
    ASSERT_EQ(it.from(filer), Acad::eOk);
    EXPECT_EQ(it.rb.resval.rlong, 100000);
    ASSERT_EQ(it.from(filer), Acad::eOk);
    EXPECT_EQ(it.rb.resval.rreal, 0.5);
    ASSERT_EQ(it.from(filer), Acad::eOk);
    EXPECT_EQ(it.rb.restype, 190);
    EXPECT_EQ(it.rb.resval.rlong, -123456);
}

TEST(DxfMemoryFilerTest, ToChainRefusesTextTheChainCouldNotRelease) {
    const long before = kxhost::heapLiveBlocks();
    DxfMemoryFiler filer;
    filer.writeString(1, L"fine");
    filer.writeString(1080, L"unclassified text");
    EXPECT_EQ(filer.toChain(), nullptr);
    EXPECT_EQ(kxhost::heapLiveBlocks(), before);

    // Reading it still works; the caller frees the text.
    ReadItem it;
    ASSERT_EQ(it.from(filer, true), Acad::eOk);
    ASSERT_EQ(it.from(filer, true), Acad::eOk);
    EXPECT_EQ(it.rb.restype, 1080);
    EXPECT_STREQ(it.rb.resval.rstring, L"unclassified text");
}

// ---- reading protocol ----

TEST(DxfMemoryFilerTest, EndOfDataIsNormalAndLeavesTheStatusAlone) {
    DxfMemoryFiler filer;
    ReadItem it;
    EXPECT_TRUE(filer.atEOF());
    EXPECT_EQ(it.from(filer), Acad::eEndOfFile);
    EXPECT_EQ(filer.filerStatus(), Acad::eOk);

    filer.writeInt16(70, 1);
    EXPECT_FALSE(filer.atEOF());
    ASSERT_EQ(it.from(filer), Acad::eOk);
    EXPECT_TRUE(filer.atEOF());
    it.rb.restype = 999;
    EXPECT_EQ(it.from(filer), Acad::eEndOfFile);
    EXPECT_EQ(filer.readResBuf(&it.rb), Acad::eEndOfFile);
    EXPECT_EQ(filer.filerStatus(), Acad::eOk);

    // Still writable after running off the end.
    EXPECT_EQ(filer.writeInt16(71, 2), Acad::eOk);
    ASSERT_EQ(it.from(filer), Acad::eOk);
    EXPECT_EQ(it.rb.restype, 71);
}

TEST(DxfMemoryFilerTest, PushBackIsOneItemDeep) {
    DxfMemoryFiler filer;
    filer.writeInt16(70, 1);
    filer.writeInt16(71, 2);
    filer.writeInt16(72, 3);

    ReadItem it;
    filer.pushBackItem();  // nothing read yet
    ASSERT_EQ(it.from(filer), Acad::eOk);
    EXPECT_EQ(it.rb.restype, 70);
    ASSERT_EQ(it.from(filer), Acad::eOk);
    EXPECT_EQ(it.rb.restype, 71);
    filer.pushBackItem();
    filer.pushBackItem();  // second one without a read: no effect
    ASSERT_EQ(it.from(filer), Acad::eOk);
    EXPECT_EQ(it.rb.restype, 71);
    ASSERT_EQ(it.from(filer), Acad::eOk);
    EXPECT_EQ(it.rb.restype, 72);

    // Pushing back the end of data does not resurrect the last item.
    EXPECT_EQ(it.from(filer), Acad::eEndOfFile);
    filer.pushBackItem();
    EXPECT_EQ(it.from(filer), Acad::eEndOfFile);

    // Rewinding forgets the pending push-back.
    filer.rewind();
    ASSERT_EQ(it.from(filer), Acad::eOk);
    filer.rewind();
    filer.pushBackItem();
    ASSERT_EQ(it.from(filer), Acad::eOk);
    EXPECT_EQ(it.rb.restype, 70);
}

TEST(DxfMemoryFilerTest, PushedBackTextIsHandedOutAgainAsAFreshCopy) {
    const long before = kxhost::heapLiveBlocks();
    {
        DxfMemoryFiler filer;
        filer.writeString(1, L"again");
        ReadItem first;
        ReadItem second;
        ASSERT_EQ(first.from(filer, true), Acad::eOk);
        filer.pushBackItem();
        ASSERT_EQ(second.from(filer, true), Acad::eOk);
        EXPECT_NE(first.rb.resval.rstring, second.rb.resval.rstring);
        EXPECT_STREQ(second.rb.resval.rstring, L"again");
    }
    EXPECT_EQ(kxhost::heapLiveBlocks(), before);
}

TEST(DxfMemoryFilerTest, AtSubclassDataConsumesOnlyAnExactMarker) {
    DxfMemoryFiler filer;
    filer.writeString(100, L"AcDbEntity");
    filer.writeString(100, L"AcDbThing");
    filer.writeInt16(70, 4);
    filer.writeString(1, L"AcDbOther");

    const long blocks = kxhost::heapLiveBlocks();
    EXPECT_FALSE(filer.atSubclassData(L"AcDbThing"));   // not the next marker
    EXPECT_FALSE(filer.atSubclassData(L"acdbentity"));  // case matters
    EXPECT_FALSE(filer.atSubclassData(L"AcDbEntit"));   // whole text only
    EXPECT_TRUE(filer.atSubclassData(L"AcDbEntity"));
    EXPECT_TRUE(filer.atSubclassData(L"AcDbThing"));
    EXPECT_FALSE(filer.atSubclassData(L"AcDbThing"));  // group 70 is next
    EXPECT_EQ(kxhost::heapLiveBlocks(), blocks);
    EXPECT_EQ(filer.filerStatus(), Acad::eOk);

    ReadItem it;
    ASSERT_EQ(it.from(filer), Acad::eOk);
    EXPECT_EQ(it.rb.restype, 70);
    EXPECT_FALSE(filer.atSubclassData(L"AcDbOther"));  // right text, wrong code
    ASSERT_EQ(it.from(filer, true), Acad::eOk);
    EXPECT_EQ(it.rb.restype, 1);
    EXPECT_FALSE(filer.atSubclassData(L"AcDbOther"));  // at the end
    EXPECT_EQ(filer.filerStatus(), Acad::eOk);
    EXPECT_FALSE(filer.atEmbeddedObjectStart());
}

TEST(DxfMemoryFilerTest, FailedPushBackAfterAMarkerTestLeavesTheItemInPlace) {
    DxfMemoryFiler filer;
    filer.writeInt16(70, 1);
    filer.writeInt16(71, 2);
    ReadItem it;
    ASSERT_EQ(it.from(filer), Acad::eOk);
    // The marker test already put group 71 back; a push-back now must not reach group 70.
    EXPECT_FALSE(filer.atSubclassData(L"X"));
    filer.pushBackItem();
    ASSERT_EQ(it.from(filer), Acad::eOk);
    EXPECT_EQ(it.rb.restype, 71);
}

// ---- errors ----

TEST(DxfMemoryFilerTest, SetErrorRecordsTheMessageAndStopsTheFiler) {
    DxfMemoryFiler filer;
    filer.writeInt16(70, 1);
    filer.setError(Acad::eMissingDxfField, L"object %s lacks group %d", L"THING", 40);
    EXPECT_EQ(filer.filerStatus(), Acad::eMissingDxfField);
    EXPECT_EQ(filer.errorMessage(), AcString(L"object THING lacks group 40"));

    ReadItem it;
    EXPECT_EQ(it.from(filer), Acad::eMissingDxfField);
    EXPECT_EQ(filer.writeInt16(71, 1), Acad::eMissingDxfField);
    EXPECT_EQ(filer.itemCount(), 1);
    EXPECT_FALSE(filer.atSubclassData(L"X"));

    filer.resetFilerStatus();
    EXPECT_EQ(filer.filerStatus(), Acad::eOk);
    EXPECT_TRUE(filer.errorMessage().isEmpty());
    ASSERT_EQ(it.from(filer), Acad::eOk);
    EXPECT_EQ(it.rb.restype, 70);

    filer.setError(L"bad value %d", 7);
    EXPECT_EQ(filer.filerStatus(), Acad::eFilerError);
    EXPECT_EQ(filer.errorMessage(), AcString(L"bad value 7"));
}

TEST(DxfMemoryFilerTest, ValuesOfTheWrongFamilyForTheirCodeAreRejected) {
    struct Case {
        const char* what;
        Acad::ErrorStatus (*write)(DxfMemoryFiler&);
    };
    const Case cases[] = {
        {"real under a 16-bit code", [](DxfMemoryFiler& f) { return f.writeDouble(70, 1.5); }},
        {"text under a 32-bit code", [](DxfMemoryFiler& f) { return f.writeString(90, L"1"); }},
        {"integer under a text code", [](DxfMemoryFiler& f) { return f.writeInt32(1, 5); }},
        {"id under a text code", [](DxfMemoryFiler& f) { return f.writeObjectId(1000, idOf(3)); }},
        {"integer under an id code", [](DxfMemoryFiler& f) { return f.writeInt64(330, 3); }},
        {"point under an integer code",
         [](DxfMemoryFiler& f) { return f.writePoint3d(90, AcGePoint3d()); }},
        {"real under a point code", [](DxfMemoryFiler& f) { return f.writeDouble(10, 1.0); }},
        {"text under a binary code", [](DxfMemoryFiler& f) { return f.writeString(310, L"AB"); }},
        {"binary under a text code",
         [](DxfMemoryFiler& f) {
             return f.writeBinaryChunk(1, ads_binary{0, nullptr});
         }},
    };
    for (const Case& c : cases) {
        DxfMemoryFiler filer;
        EXPECT_EQ(c.write(filer), Acad::eInvalidDxfCode) << c.what;
        EXPECT_EQ(filer.filerStatus(), Acad::eInvalidDxfCode) << c.what;
        EXPECT_FALSE(filer.errorMessage().isEmpty()) << c.what;
        EXPECT_EQ(filer.itemCount(), 0) << c.what;
        // The filer is stopped: a valid write after it is dropped too.
        EXPECT_EQ(filer.writeInt16(70, 1), Acad::eInvalidDxfCode) << c.what;
        EXPECT_EQ(filer.itemCount(), 0) << c.what;
    }
}

TEST(DxfMemoryFilerTest, LoadStopsAtABrokenResbuf) {
    resbuf* chain = acutNewRb(70);
    chain->rbnext = acutNewRb(310);
    chain->rbnext->rbnext = acutNewRb(71);
    chain->rbnext->resval.rbinary.clen = 4;  // length without data
    DxfMemoryFiler filer;
    EXPECT_EQ(filer.load(chain), Acad::eInvalidResBuf);
    EXPECT_EQ(filer.filerStatus(), Acad::eInvalidResBuf);
    EXPECT_EQ(filer.itemCount(), 1);
    chain->rbnext->resval.rbinary.clen = 0;
    acutRelRb(chain);

    // Loading again starts over.
    resbuf* good = acutBuildList(70, 9, 0);
    EXPECT_EQ(filer.load(good), Acad::eOk);
    acutRelRb(good);
    EXPECT_EQ(filer.itemCount(), 1);
    ReadItem it;
    ASSERT_EQ(it.from(filer), Acad::eOk);
    EXPECT_EQ(it.rb.resval.rint, 9);
}

TEST(DxfMemoryFilerTest, ReadThatCannotAllocateLeavesTheItemForARetry) {
    DxfMemoryFiler filer;
    filer.writeString(1, L"x");
    ReadItem it;
    kxhost::heapFailAfter(1);
    EXPECT_EQ(filer.readItem(&it.rb), Acad::eOutOfMemory);
    kxhost::heapFailAfter(0);
    EXPECT_EQ(filer.filerStatus(), Acad::eOk);
    EXPECT_FALSE(filer.atEOF());
    ASSERT_EQ(it.from(filer, true), Acad::eOk);
    EXPECT_STREQ(it.rb.resval.rstring, L"x");
}

// ---- filer settings ----

TEST(DxfMemoryFilerTest, ReportsTypeVersionPrecisionAndDatabase) {
    DxfMemoryFiler plain;
    EXPECT_EQ(plain.filerType(), AcDb::kFileFiler);
    EXPECT_EQ(plain.precision(), 16);
    EXPECT_EQ(plain.database(), nullptr);
    AcDb::AcDbDwgVersion ver = AcDb::kDHL_Unknown;
    AcDb::MaintenanceReleaseVersion maint = AcDb::kMReleaseUnknown;
    EXPECT_EQ(plain.dwgVersion(ver, maint), Acad::eOk);
    EXPECT_EQ(ver, AcDb::kDHL_CURRENT);
    EXPECT_EQ(maint, AcDb::kMReleaseCurrent);

    auto* fakeDb = reinterpret_cast<AcDbDatabase*>(0x2000);
    DxfMemoryFiler custom(AcDb::kCopyFiler, AcDb::kDHL_1024, AcDb::kMRelease0, fakeDb);
    AcDbDxfFiler& base = custom;
    EXPECT_EQ(base.filerType(), AcDb::kCopyFiler);
    EXPECT_EQ(base.database(), fakeDb);
    base.dwgVersion(ver, maint);
    EXPECT_EQ(ver, AcDb::kDHL_1024);
    EXPECT_EQ(maint, AcDb::kMRelease0);

    base.setPrecision(6);
    EXPECT_EQ(base.precision(), 6);
    base.setPrecision(40);
    EXPECT_EQ(base.precision(), 16);
    base.setPrecision(-3);
    EXPECT_EQ(base.precision(), 0);

    custom.setFilerType(AcDb::kUndoFiler);
    custom.setDwgVersion(AcDb::kDHL_1800, AcDb::kMReleaseMax);
    custom.setDatabase(nullptr);
    EXPECT_EQ(base.filerType(), AcDb::kUndoFiler);
    EXPECT_EQ(base.database(), nullptr);
    base.dwgVersion(ver, maint);
    EXPECT_EQ(ver, AcDb::kDHL_1800);
}

TEST(DxfMemoryFilerTest, OwnedMemoryBalancesAcrossWritesReadsAndCopies) {
    const long before = kxhost::heapLiveBlocks();
    {
        DxfMemoryFiler filer;
        const char bytes[] = "\x01\x02";
        for (int i = 0; i < 3; ++i) {
            filer.writeString(1, L"text");
            filer.writeBinaryChunk(1004, ads_binary{2, const_cast<char*>(bytes)});
            filer.writeHandle(1005, AcDbHandle(0xABCULL));
        }
        DxfMemoryFiler copy = filer;
        EXPECT_TRUE(copy.sameItems(filer));
        resbuf* chain = copy.toChain();
        ASSERT_NE(chain, nullptr);
        DxfMemoryFiler reloaded = DxfMemoryFiler::fromChain(chain);
        acutRelRb(chain);
        // Handles come back as their text, which is what a chain holds.
        EXPECT_EQ(reloaded.itemCount(), filer.itemCount());
        int read = 0;
        for (;;) {
            resbuf* rb = acutNewRb(RTNONE);
            ASSERT_NE(rb, nullptr);
            const Acad::ErrorStatus es = reloaded.readItem(rb);
            if (es != Acad::eOk) {
                EXPECT_EQ(es, Acad::eEndOfFile);
                acutRelRb(rb);
                break;
            }
            ++read;
            // Every item comes under a code the resbuf layer knows, so releasing the buffer the
            // usual way frees its value too.
            acutRelRb(rb);
        }
        EXPECT_EQ(read, filer.itemCount());
    }
    EXPECT_EQ(kxhost::heapLiveBlocks(), before);
}

TEST(DxfMemoryFilerTest, DescriptionsNameCodeKindAndValue) {
    DxfMemoryFiler filer;
    filer.writeInt32(90, -5);
    filer.writePoint3d(10, AcGePoint3d(1, 2, 3));
    filer.writeObjectId(330, idOf(42));
    filer.writeHandle(5, AcDbHandle(0xFFULL));
    filer.writeString(1, L"x");
    EXPECT_EQ(filer.describe(), AcString(L"90 int32 -5\n10 point3d (1, 2, 3)\n330 objectId 0x2A\n"
                                         L"5 handle FF\n1 string \"x\"\n"));
}

}  // namespace
