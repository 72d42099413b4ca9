#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "host/core/heap.h"
#include "host/db/auditinfo.h"
#include "host/db/dwgfiler.h"

namespace {

using kxhost::DwgMemoryFiler;
using Kind = DwgMemoryFiler::ItemKind;

AcDbObjectId idOf(Adesk::Int64 raw) {
    AcDbObjectId id;
    id.setFromOldId(raw);
    return id;
}

// A record of every kind the filer carries, filed out and in through the abstract interface the
// way an object's dwgOutFields/dwgInFields would.
struct Sample {
    Adesk::Boolean b = false;
    Adesk::Int8 i8 = 0;
    Adesk::UInt8 u8 = 0;
    Adesk::Int16 i16 = 0;
    Adesk::UInt16 u16 = 0;
    Adesk::Int32 i32 = 0;
    Adesk::UInt32 u32 = 0;
    Adesk::Int64 i64 = 0;
    Adesk::UInt64 u64 = 0;
    double d = 0.0;
    AcString name;
    AcString label;
    unsigned char raw[5] = {0, 0, 0, 0, 0};
    std::vector<char> chunk;
    AcDbHandle handle;
    AcGePoint2d p2;
    AcGePoint3d p3;
    AcGeVector2d v2;
    AcGeVector3d v3;
    AcGeScale3d scale;
    AcDbHardOwnershipId hardOwned;
    AcDbSoftOwnershipId softOwned;
    AcDbHardPointerId hardPtr;
    AcDbSoftPointerId softPtr;

    static Sample extreme() {
        Sample s;
        s.b = true;
        s.i8 = INT8_MIN;
        s.u8 = UINT8_MAX;
        s.i16 = INT16_MIN;
        s.u16 = UINT16_MAX;
        s.i32 = INT32_MIN;
        s.u32 = UINT32_MAX;
        s.i64 = INT64_MIN;
        s.u64 = UINT64_MAX;
        s.d = -1.0e-300;
        s.name = L"Tür \x4E2D name";
        s.label = L"";
        const unsigned char raw[5] = {0x00, 0xFF, 0x7F, 0x80, 0x01};
        std::memcpy(s.raw, raw, sizeof(raw));
        s.chunk = {'\x01', '\0', '\xFE'};
        s.handle = AcDbHandle(0xFEDCBA9876543210ULL);
        s.p2 = AcGePoint2d(1.5, -2.5);
        s.p3 = AcGePoint3d(1e10, -0.0, 3.25);
        s.v2 = AcGeVector2d(0.0, 1.0);
        s.v3 = AcGeVector3d(0.6, 0.8, 0.0);
        s.scale = AcGeScale3d(2.0, -3.0, 0.5);
        s.hardOwned = idOf(0x1001);
        s.softOwned = idOf(0x1002);
        s.hardPtr = idOf(0x1003);
        s.softPtr = idOf(-7);
        return s;
    }

    void fileOut(AcDbDwgFiler* f) const {
        f->writeBool(b);
        f->writeInt8(i8);
        f->writeUInt8(u8);
        f->writeInt16(i16);
        f->writeUInt16(u16);
        f->writeInt32(i32);
        f->writeUInt32(u32);
        f->writeInt64(i64);
        f->writeUInt64(u64);
        f->writeDouble(d);
        f->writeString(name.kwszPtr());
        f->writeString(label);
        f->writeBytes(raw, sizeof(raw));
        f->writeBinaryChunk(chunk.data(), chunk.size());
        f->writeHandle(handle);
        f->writePoint2d(p2);
        f->writePoint3d(p3);
        f->writeVector2d(v2);
        f->writeVector3d(v3);
        f->writeScale3d(scale);
        f->writeHardOwnershipId(hardOwned);
        f->writeSoftOwnershipId(softOwned);
        f->writeHardPointerId(hardPtr);
        f->writeSoftPointerId(softPtr);
    }

    Acad::ErrorStatus fileIn(AcDbDwgFiler* f) {
        f->readBool(&b);
        f->readInt8(&i8);
        f->readUInt8(&u8);
        f->readInt16(&i16);
        f->readUInt16(&u16);
        f->readInt32(&i32);
        f->readUInt32(&u32);
        f->readInt64(&i64);
        f->readUInt64(&u64);
        f->readDouble(&d);
        ACHAR* text = nullptr;
        if (f->readString(&text) == Acad::eOk) {
            name = text;
            acutDelBuffer(text);
        }
        f->readString(label);
        f->readBytes(raw, sizeof(raw));
        ads_binary bin{0, nullptr};
        if (f->readBinaryChunk(&bin) == Acad::eOk) {
            chunk.assign(bin.buf, bin.buf + bin.clen);
            acHeapFree(bin.buf);
        }
        f->readHandle(&handle);
        f->readPoint2d(&p2);
        f->readPoint3d(&p3);
        f->readVector2d(&v2);
        f->readVector3d(&v3);
        f->readScale3d(&scale);
        f->readHardOwnershipId(&hardOwned);
        f->readSoftOwnershipId(&softOwned);
        f->readHardPointerId(&hardPtr);
        f->readSoftPointerId(&softPtr);
        return f->filerStatus();
    }
};

void expectSame(const Sample& a, const Sample& b) {
    EXPECT_EQ(a.b, b.b);
    EXPECT_EQ(a.i8, b.i8);
    EXPECT_EQ(a.u8, b.u8);
    EXPECT_EQ(a.i16, b.i16);
    EXPECT_EQ(a.u16, b.u16);
    EXPECT_EQ(a.i32, b.i32);
    EXPECT_EQ(a.u32, b.u32);
    EXPECT_EQ(a.i64, b.i64);
    EXPECT_EQ(a.u64, b.u64);
    EXPECT_EQ(a.d, b.d);
    EXPECT_EQ(a.name, b.name);
    EXPECT_EQ(a.label, b.label);
    EXPECT_EQ(0, std::memcmp(a.raw, b.raw, sizeof(a.raw)));
    EXPECT_EQ(a.chunk, b.chunk);
    EXPECT_EQ(a.handle, b.handle);
    EXPECT_EQ(a.p2.x, b.p2.x);
    EXPECT_EQ(a.p2.y, b.p2.y);
    EXPECT_EQ(a.p3.x, b.p3.x);
    EXPECT_EQ(a.p3.y, b.p3.y);
    EXPECT_EQ(a.p3.z, b.p3.z);
    EXPECT_EQ(a.v2.x, b.v2.x);
    EXPECT_EQ(a.v2.y, b.v2.y);
    EXPECT_EQ(a.v3.x, b.v3.x);
    EXPECT_EQ(a.v3.y, b.v3.y);
    EXPECT_EQ(a.v3.z, b.v3.z);
    EXPECT_EQ(a.scale.sx, b.scale.sx);
    EXPECT_EQ(a.scale.sy, b.scale.sy);
    EXPECT_EQ(a.scale.sz, b.scale.sz);
    EXPECT_EQ(a.hardOwned, b.hardOwned);
    EXPECT_EQ(a.softOwned, b.softOwned);
    EXPECT_EQ(a.hardPtr, b.hardPtr);
    EXPECT_EQ(a.softPtr, b.softPtr);
}

// ---- DWG round trips ----

TEST(DwgMemoryFilerTest, EveryKindRoundTripsInOrder) {
    const Sample out = Sample::extreme();
    DwgMemoryFiler filer;
    out.fileOut(&filer);
    ASSERT_EQ(filer.filerStatus(), Acad::eOk);

    const std::vector<Kind> expected = {Kind::kBool,
                                        Kind::kInt8,
                                        Kind::kUInt8,
                                        Kind::kInt16,
                                        Kind::kUInt16,
                                        Kind::kInt32,
                                        Kind::kUInt32,
                                        Kind::kInt64,
                                        Kind::kUInt64,
                                        Kind::kDouble,
                                        Kind::kString,
                                        Kind::kString,
                                        Kind::kBytes,
                                        Kind::kBinaryChunk,
                                        Kind::kHandle,
                                        Kind::kPoint2d,
                                        Kind::kPoint3d,
                                        Kind::kVector2d,
                                        Kind::kVector3d,
                                        Kind::kScale3d,
                                        Kind::kHardOwnershipId,
                                        Kind::kSoftOwnershipId,
                                        Kind::kHardPointerId,
                                        Kind::kSoftPointerId};
    ASSERT_EQ(filer.itemCount(), static_cast<int>(expected.size()));
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(filer.items()[i].kind, expected[i]) << "item " << i;
    }

    Sample in;
    EXPECT_EQ(in.fileIn(&filer), Acad::eOk) << filer.describe().utf8();
    expectSame(out, in);
    EXPECT_EQ(filer.tell(), filer.itemCount());

    // Filing the read-back record out again gives the identical stream.
    DwgMemoryFiler again;
    in.fileOut(&again);
    EXPECT_TRUE(again.sameItems(filer));
}

TEST(DwgMemoryFilerTest, EmptyAndNullValuesRoundTrip) {
    DwgMemoryFiler filer;
    filer.writeString(static_cast<const ACHAR*>(nullptr));
    filer.writeBytes(nullptr, 0);
    filer.writeBinaryChunk(nullptr, 0);
    filer.writeHardOwnershipId(AcDbObjectId());
    ASSERT_EQ(filer.filerStatus(), Acad::eOk);

    AcString text(L"stale");
    EXPECT_EQ(filer.readString(text), Acad::eOk);
    EXPECT_TRUE(text.isEmpty());
    EXPECT_EQ(filer.readBytes(nullptr, 0), Acad::eOk);
    ads_binary bin{5, reinterpret_cast<char*>(&text)};
    EXPECT_EQ(filer.readBinaryChunk(&bin), Acad::eOk);
    EXPECT_EQ(bin.clen, 0);
    EXPECT_EQ(bin.buf, nullptr);
    AcDbHardOwnershipId id = idOf(99);
    EXPECT_EQ(filer.readHardOwnershipId(&id), Acad::eOk);
    EXPECT_TRUE(id.isNull());
}

TEST(DwgMemoryFilerTest, StreamsCompareByKindAndExactValue) {
    DwgMemoryFiler a;
    DwgMemoryFiler b;
    a.writeInt32(5);
    b.writeInt32(5);
    EXPECT_TRUE(a.sameItems(b));

    // The same number under another width is another stream.
    DwgMemoryFiler c;
    c.writeInt16(5);
    EXPECT_FALSE(a.sameItems(c));

    // Reals compare bit for bit: reading -0.0 back where 0.0 was written would not be a copy.
    DwgMemoryFiler d;
    DwgMemoryFiler e;
    d.writeDouble(0.0);
    e.writeDouble(-0.0);
    EXPECT_FALSE(d.sameItems(e));

    DwgMemoryFiler f;
    f.writeInt32(-5);
    f.writePoint3d(AcGePoint3d(1, 2, 3));
    f.writeHardOwnershipId(idOf(42));
    f.writeString(L"x");
    EXPECT_EQ(f.describe(),
              AcString(L"int32 -5\npoint3d (1, 2, 3)\nhardOwnershipId 0x2A\nstring \"x\"\n"));
}

// A long stream of every shape of item (many more than a copy of a small object writes), with
// text and bytes among the fixed-size items: it reads back in order, seeks anywhere, compares by
// content (a difference deep inside, in text or in bytes, makes another stream) and its item
// view shows what was written.
TEST(DwgMemoryFilerTest, LongStreamsRoundTripCompareAndDescribeTheirItems) {
    constexpr int kRecords = 700;
    auto fill = [](DwgMemoryFiler& f, int changedText, int changedBytes) {
        for (int i = 0; i < kRecords; ++i) {
            f.writeInt32(i);
            f.writeString(std::wstring(static_cast<size_t>(i % 7), L'a' + (i % 26)) +
                          (i == changedText ? L"!" : L""));
            f.writePoint3d(AcGePoint3d(i, -i, 0.5 * i));
            unsigned char raw[3] = {static_cast<unsigned char>(i), 7,
                                    static_cast<unsigned char>(i == changedBytes ? 1 : 0)};
            f.writeBytes(raw, sizeof(raw));
            f.writeSoftPointerId(idOf(0x100000 + i));
        }
    };
    DwgMemoryFiler filer;
    fill(filer, -1, -1);
    ASSERT_EQ(filer.itemCount(), 5 * kRecords);
    for (int i = 0; i < kRecords; ++i) {
        Adesk::Int32 n = -1;
        AcString text;
        AcGePoint3d p;
        unsigned char raw[3] = {};
        AcDbSoftPointerId id;
        ASSERT_EQ(filer.readInt32(&n), Acad::eOk) << i;
        ASSERT_EQ(filer.readString(text), Acad::eOk) << i;
        ASSERT_EQ(filer.readPoint3d(&p), Acad::eOk) << i;
        ASSERT_EQ(filer.readBytes(raw, sizeof(raw)), Acad::eOk) << i;
        ASSERT_EQ(filer.readSoftPointerId(&id), Acad::eOk) << i;
        EXPECT_EQ(n, i);
        EXPECT_EQ(text, AcString(std::wstring(static_cast<size_t>(i % 7), L'a' + (i % 26))));
        EXPECT_EQ(p, AcGePoint3d(i, -i, 0.5 * i));
        EXPECT_EQ(raw[0], static_cast<unsigned char>(i));
        EXPECT_EQ(id, idOf(0x100000 + i));
    }

    // Any item can be reached again, and reading it as another kind still fails there.
    ASSERT_EQ(filer.seek(5 * 613 + 1, AcDb::kSeekFromStart), Acad::eOk);
    AcString text;
    EXPECT_EQ(filer.readString(text), Acad::eOk);
    EXPECT_EQ(text, AcString(std::wstring(613 % 7, L'a' + (613 % 26))));
    ASSERT_EQ(filer.seek(-4, AcDb::kSeekFromEnd), Acad::eOk);
    Adesk::Int32 wrong = 0;
    EXPECT_EQ(filer.readInt32(&wrong), Acad::eFilerError);
    EXPECT_EQ(filer.tell(), 5 * kRecords - 4);

    DwgMemoryFiler same;
    fill(same, -1, -1);
    DwgMemoryFiler otherText;
    fill(otherText, kRecords - 3, -1);
    DwgMemoryFiler otherBytes;
    fill(otherBytes, -1, kRecords - 2);
    EXPECT_TRUE(filer.sameItems(same));
    EXPECT_FALSE(filer.sameItems(otherText));
    EXPECT_FALSE(filer.sameItems(otherBytes));
    EXPECT_EQ(filer.describe(), same.describe());
    EXPECT_NE(filer.describe(), otherText.describe());

    // The item view holds the same values the reads gave, in order.
    const std::vector<DwgMemoryFiler::Item>& items = filer.items();
    ASSERT_EQ(items.size(), static_cast<size_t>(5 * kRecords));
    const DwgMemoryFiler::Item& last = items[5 * (kRecords - 1) + 1];
    EXPECT_EQ(last.kind, Kind::kString);
    EXPECT_EQ(last.text, std::wstring((kRecords - 1) % 7, L'a' + ((kRecords - 1) % 26)));
    const DwgMemoryFiler::Item& bytes = items[5 * 300 + 3];
    EXPECT_EQ(bytes.kind, Kind::kBytes);
    EXPECT_EQ(bytes.bytes, (std::vector<unsigned char>{static_cast<unsigned char>(300), 7, 0}));
    EXPECT_EQ(items[5 * 300 + 2].v[2], 150.0);
    EXPECT_FALSE(items == otherText.items());

    // A copy of the stream is a stream of its own (with the status the failed read left).
    DwgMemoryFiler copy(filer);
    EXPECT_TRUE(copy.sameItems(filer));
    EXPECT_EQ(copy.filerStatus(), Acad::eFilerError);
    copy.resetFilerStatus();
    copy.rewind();
    Adesk::Int32 first = -1;
    EXPECT_EQ(copy.readInt32(&first), Acad::eOk);
    EXPECT_EQ(first, 0);
    EXPECT_EQ(filer.filerStatus(), Acad::eFilerError);
    EXPECT_EQ(filer.tell(), 5 * kRecords - 4);
}

// The item view follows the stream: it shows items written after it was last asked for, and an
// emptied stream shows none.
TEST(DwgMemoryFilerTest, TheItemViewFollowsWritesAndClear) {
    DwgMemoryFiler filer;
    EXPECT_TRUE(filer.items().empty());
    filer.writeString(L"one");
    ASSERT_EQ(filer.items().size(), 1u);
    EXPECT_EQ(filer.items()[0].text, L"one");
    const unsigned char raw[2] = {1, 2};
    filer.writeBinaryChunk(reinterpret_cast<const char*>(raw), sizeof(raw));
    ASSERT_EQ(filer.items().size(), 2u);
    EXPECT_EQ(filer.items()[1].kind, Kind::kBinaryChunk);
    EXPECT_EQ(filer.items()[1].bytes, (std::vector<unsigned char>{1, 2}));
    filer.clear();
    EXPECT_TRUE(filer.items().empty());
    filer.writeString(L"two");
    ASSERT_EQ(filer.items().size(), 1u);
    EXPECT_EQ(filer.items()[0].text, L"two");
    // Reads after the failure status is set do not write; the view stays as it was.
    Adesk::Int8 v = 0;
    EXPECT_EQ(filer.readInt8(&v), Acad::eFilerError);
    EXPECT_EQ(filer.writeString(L"ignored"), Acad::eFilerError);
    EXPECT_EQ(filer.items().size(), 1u);
}

// ---- DWG failure paths ----

TEST(DwgMemoryFilerTest, ReadingPastTheEndFailsAndTheFailureSticks) {
    DwgMemoryFiler filer;
    filer.writeInt32(7);
    filer.writeInt32(8);

    Adesk::Int32 value = 0;
    ASSERT_EQ(filer.readInt32(&value), Acad::eOk);
    ASSERT_EQ(filer.readInt32(&value), Acad::eOk);
    value = -1;
    EXPECT_EQ(filer.readInt32(&value), Acad::eFilerError);
    EXPECT_EQ(value, -1);
    EXPECT_EQ(filer.filerStatus(), Acad::eFilerError);

    // A damaged stream stays damaged: rewinding does not make it readable, writes are dropped.
    filer.rewind();
    EXPECT_EQ(filer.readInt32(&value), Acad::eFilerError);
    EXPECT_EQ(value, -1);
    EXPECT_EQ(filer.writeInt32(9), Acad::eFilerError);
    EXPECT_EQ(filer.itemCount(), 2);

    filer.resetFilerStatus();
    EXPECT_EQ(filer.filerStatus(), Acad::eOk);
    EXPECT_EQ(filer.readInt32(&value), Acad::eOk);
    EXPECT_EQ(value, 7);
}

TEST(DwgMemoryFilerTest, KindMismatchFailsWithoutConsumingTheItem) {
    DwgMemoryFiler filer;
    filer.writeInt32(70000);

    Adesk::Int16 narrow = 3;
    EXPECT_EQ(filer.readInt16(&narrow), Acad::eFilerError);
    EXPECT_EQ(narrow, 3);
    EXPECT_EQ(filer.filerStatus(), Acad::eFilerError);
    EXPECT_EQ(filer.tell(), 0);

    // Even the right kind fails now, until the status is reset; then the item is still there.
    Adesk::Int32 wide = 0;
    EXPECT_EQ(filer.readInt32(&wide), Acad::eFilerError);
    EXPECT_EQ(wide, 0);
    filer.resetFilerStatus();
    EXPECT_EQ(filer.readInt32(&wide), Acad::eOk);
    EXPECT_EQ(wide, 70000);
}

TEST(DwgMemoryFilerTest, NearMissKindsAreMismatches) {
    struct Case {
        const char* what;
        void (*write)(DwgMemoryFiler&);
        Acad::ErrorStatus (*read)(DwgMemoryFiler&);
    };
    const Case cases[] = {
        {"signed read as unsigned", [](DwgMemoryFiler& f) { f.writeInt32(1); },
         [](DwgMemoryFiler& f) {
             Adesk::UInt32 v = 0;
             return f.readUInt32(&v);
         }},
        {"bool read as int8", [](DwgMemoryFiler& f) { f.writeBool(true); },
         [](DwgMemoryFiler& f) {
             Adesk::Int8 v = 0;
             return f.readInt8(&v);
         }},
        {"point read as vector", [](DwgMemoryFiler& f) { f.writePoint3d(AcGePoint3d()); },
         [](DwgMemoryFiler& f) {
             AcGeVector3d v;
             return f.readVector3d(&v);
         }},
        {"2d point read as 3d", [](DwgMemoryFiler& f) { f.writePoint2d(AcGePoint2d()); },
         [](DwgMemoryFiler& f) {
             AcGePoint3d v;
             return f.readPoint3d(&v);
         }},
        {"hard owner read as soft pointer",
         [](DwgMemoryFiler& f) { f.writeHardOwnershipId(idOf(5)); },
         [](DwgMemoryFiler& f) {
             AcDbSoftPointerId v;
             return f.readSoftPointerId(&v);
         }},
        {"soft owner read as hard owner",
         [](DwgMemoryFiler& f) { f.writeSoftOwnershipId(idOf(5)); },
         [](DwgMemoryFiler& f) {
             AcDbHardOwnershipId v;
             return f.readHardOwnershipId(&v);
         }},
        {"bytes read as binary chunk", [](DwgMemoryFiler& f) { f.writeBytes("abc", 3); },
         [](DwgMemoryFiler& f) {
             ads_binary v{0, nullptr};
             return f.readBinaryChunk(&v);
         }},
        {"bytes read with another length", [](DwgMemoryFiler& f) { f.writeBytes("abc", 3); },
         [](DwgMemoryFiler& f) {
             char v[4];
             return f.readBytes(v, 4);
         }},
        {"string read as handle", [](DwgMemoryFiler& f) { f.writeString(L"1F"); },
         [](DwgMemoryFiler& f) {
             AcDbHandle v;
             return f.readHandle(&v);
         }},
        {"empty stream", [](DwgMemoryFiler&) {},
         [](DwgMemoryFiler& f) {
             Adesk::Boolean v = false;
             return f.readBool(&v);
         }},
    };
    for (const Case& c : cases) {
        DwgMemoryFiler filer;
        c.write(filer);
        const long blocks = kxhost::heapLiveBlocks();
        EXPECT_EQ(c.read(filer), Acad::eFilerError) << c.what;
        EXPECT_EQ(filer.filerStatus(), Acad::eFilerError) << c.what;
        EXPECT_EQ(filer.tell(), 0) << c.what;
        EXPECT_EQ(kxhost::heapLiveBlocks(), blocks) << c.what;
    }
}

TEST(DwgMemoryFilerTest, InvalidArgumentsAreRefusedWithoutDamagingTheStream) {
    DwgMemoryFiler filer;
    EXPECT_EQ(filer.writeBytes(nullptr, 4), Acad::eInvalidInput);
    std::vector<char> big(40000, 'x');
    EXPECT_EQ(filer.writeBinaryChunk(big.data(), big.size()), Acad::eInvalidInput);
    EXPECT_EQ(filer.itemCount(), 0);
    EXPECT_EQ(filer.filerStatus(), Acad::eOk);

    filer.writeInt32(1);
    EXPECT_EQ(filer.readInt32(nullptr), Acad::eInvalidInput);
    EXPECT_EQ(filer.filerStatus(), Acad::eOk);
    EXPECT_EQ(filer.tell(), 0);
}

TEST(DwgMemoryFilerTest, StringReadThatCannotAllocateLeavesTheItemForARetry) {
    DwgMemoryFiler filer;
    filer.writeString(L"keep");
    filer.writeBinaryChunk("ab", 2);

    ACHAR* text = nullptr;
    kxhost::heapFailAfter(1);
    EXPECT_EQ(filer.readString(&text), Acad::eOutOfMemory);
    kxhost::heapFailAfter(0);
    EXPECT_EQ(text, nullptr);
    EXPECT_EQ(filer.filerStatus(), Acad::eOk);
    ASSERT_EQ(filer.readString(&text), Acad::eOk);
    EXPECT_STREQ(text, L"keep");
    acutDelBuffer(text);

    ads_binary bin{0, nullptr};
    kxhost::heapFailAfter(1);
    EXPECT_EQ(filer.readBinaryChunk(&bin), Acad::eOutOfMemory);
    kxhost::heapFailAfter(0);
    EXPECT_EQ(filer.tell(), 1);
    ASSERT_EQ(filer.readBinaryChunk(&bin), Acad::eOk);
    EXPECT_EQ(bin.clen, 2);
    acHeapFree(bin.buf);
}

TEST(DwgMemoryFilerTest, ReadsHandOutExactlyOneHeapBlockTheCallerFrees) {
    const long before = kxhost::heapLiveBlocks();
    {
        DwgMemoryFiler filer;
        filer.writeString(L"text");
        filer.writeBinaryChunk("xyz", 3);
        filer.writeString(AcString(L"more"));
        EXPECT_EQ(kxhost::heapLiveBlocks(), before);

        ACHAR* text = nullptr;
        ASSERT_EQ(filer.readString(&text), Acad::eOk);
        EXPECT_EQ(kxhost::heapLiveBlocks(), before + 1);
        acutDelBuffer(text);

        ads_binary bin{0, nullptr};
        ASSERT_EQ(filer.readBinaryChunk(&bin), Acad::eOk);
        EXPECT_EQ(kxhost::heapLiveBlocks(), before + 1);
        acHeapFree(bin.buf);

        AcString s;
        ASSERT_EQ(filer.readString(s), Acad::eOk);
        EXPECT_EQ(kxhost::heapLiveBlocks(), before);
    }
    EXPECT_EQ(kxhost::heapLiveBlocks(), before);
}

// ---- DWG stream handling ----

TEST(DwgMemoryFilerTest, ReportsTypeVersionAndDatabase) {
    DwgMemoryFiler plain;
    AcDb::AcDbDwgVersion ver = AcDb::kDHL_Unknown;
    AcDb::MaintenanceReleaseVersion maint = AcDb::kMReleaseUnknown;
    EXPECT_EQ(plain.filerType(), AcDb::kFileFiler);
    EXPECT_EQ(plain.dwgVersion(ver, maint), Acad::eOk);
    EXPECT_EQ(ver, AcDb::kDHL_CURRENT);
    EXPECT_EQ(maint, AcDb::kMReleaseCurrent);
    EXPECT_EQ(plain.database(), nullptr);

    auto* fakeDb = reinterpret_cast<AcDbDatabase*>(0x1000);
    DwgMemoryFiler undo(AcDb::kUndoFiler, AcDb::kDHL_1800, AcDb::kMRelease0, fakeDb);
    const AcDbDwgFiler& base = undo;
    EXPECT_EQ(base.filerType(), AcDb::kUndoFiler);
    EXPECT_EQ(base.dwgVersion(ver, maint), Acad::eOk);
    EXPECT_EQ(ver, AcDb::kDHL_1800);
    EXPECT_EQ(maint, AcDb::kMRelease0);
    EXPECT_EQ(base.database(), fakeDb);

    undo.setFilerType(AcDb::kDeepCloneFiler);
    undo.setDwgVersion(AcDb::kDHL_1027, AcDb::kMReleaseMax);
    undo.setDatabase(nullptr);
    EXPECT_EQ(base.filerType(), AcDb::kDeepCloneFiler);
    base.dwgVersion(ver, maint);
    EXPECT_EQ(ver, AcDb::kDHL_1027);
    EXPECT_EQ(maint, AcDb::kMReleaseMax);
    EXPECT_EQ(base.database(), nullptr);
}

TEST(DwgMemoryFilerTest, SeekAndTellMoveTheReadCursor) {
    DwgMemoryFiler filer;
    for (Adesk::Int32 i = 0; i < 5; ++i) {
        filer.writeInt32(i * 10);
    }
    Adesk::Int32 v = -1;
    EXPECT_EQ(filer.seek(3, AcDb::kSeekFromStart), Acad::eOk);
    EXPECT_EQ(filer.tell(), 3);
    filer.readInt32(&v);
    EXPECT_EQ(v, 30);
    EXPECT_EQ(filer.seek(-3, AcDb::kSeekFromCurrent), Acad::eOk);
    filer.readInt32(&v);
    EXPECT_EQ(v, 10);
    EXPECT_EQ(filer.seek(-1, AcDb::kSeekFromEnd), Acad::eOk);
    filer.readInt32(&v);
    EXPECT_EQ(v, 40);

    // Out-of-range targets and unknown methods leave everything as it was.
    EXPECT_EQ(filer.seek(1, AcDb::kSeekFromEnd), Acad::eInvalidInput);
    EXPECT_EQ(filer.seek(-1, AcDb::kSeekFromStart), Acad::eInvalidInput);
    EXPECT_EQ(filer.seek(0, 7), Acad::eInvalidInput);
    EXPECT_EQ(filer.tell(), 5);
    EXPECT_EQ(filer.filerStatus(), Acad::eOk);

    // Writing appends regardless of the cursor.
    filer.seek(0, AcDb::kSeekFromStart);
    filer.writeInt32(50);
    filer.readInt32(&v);
    EXPECT_EQ(v, 0);
    EXPECT_EQ(filer.itemCount(), 6);
}

TEST(DwgMemoryFilerTest, ClearStartsAFreshStream) {
    DwgMemoryFiler filer;
    filer.writeInt8(1);
    Adesk::Int16 v = 0;
    filer.readInt16(&v);
    ASSERT_EQ(filer.filerStatus(), Acad::eFilerError);
    filer.clear();
    EXPECT_EQ(filer.itemCount(), 0);
    EXPECT_EQ(filer.filerStatus(), Acad::eOk);
    EXPECT_EQ(filer.writeInt16(4), Acad::eOk);
    EXPECT_EQ(filer.readInt16(&v), Acad::eOk);
    EXPECT_EQ(v, 4);
}

// ---- cloning hooks ----

// Stands in for the cloning code: remembers the owned ids it is told of and maps ids on reading.
class RecordingFiler : public DwgMemoryFiler {
  public:
    RecordingFiler() : DwgMemoryFiler(AcDb::kIdXlateFiler) {}

    AcDbObjectId translateId(const AcDbObjectId& id, int idKind) override {
        translated.emplace_back(id.asOldId(), idKind);
        const auto it = map.find(id.asOldId());
        return it == map.end() ? id : idOf(it->second);
    }
    void noteOwnedId(const AcDbObjectId& id, bool hard) override {
        owned.emplace_back(id.asOldId(), hard);
    }

    std::map<Adesk::Int64, Adesk::Int64> map;
    std::vector<std::pair<Adesk::Int64, int>> translated;
    std::vector<std::pair<Adesk::Int64, bool>> owned;
};

TEST(DwgMemoryFilerTest, OwnershipIdsWrittenAreNotedWithTheirStrength) {
    RecordingFiler filer;
    filer.writeHardOwnershipId(idOf(1));
    filer.writeSoftOwnershipId(idOf(2));
    filer.writeHardPointerId(idOf(3));
    filer.writeSoftPointerId(idOf(4));
    filer.writeHardOwnershipId(AcDbObjectId());  // owns nothing
    const std::vector<std::pair<Adesk::Int64, bool>> expected = {{1, true}, {2, false}};
    EXPECT_EQ(filer.owned, expected);
    // The stream keeps the raw values whatever the hook does.
    EXPECT_EQ(filer.items()[2].bits, 3u);

    // A write dropped because the stream is damaged is not an ownership either.
    filer.setFilerStatus(Acad::eFilerError);
    filer.writeHardOwnershipId(idOf(9));
    EXPECT_EQ(filer.owned.size(), 2u);
}

TEST(DwgMemoryFilerTest, IdsReadAreTranslatedWithTheirKind) {
    RecordingFiler filer;
    filer.map = {{1, 101}, {2, 102}, {3, 103}};
    filer.writeHardOwnershipId(idOf(1));
    filer.writeSoftOwnershipId(idOf(2));
    filer.writeHardPointerId(idOf(3));
    filer.writeSoftPointerId(idOf(4));  // not in the map: kept
    filer.writeSoftPointerId(AcDbObjectId());

    AcDbHardOwnershipId ho;
    AcDbSoftOwnershipId so;
    AcDbHardPointerId hp;
    AcDbSoftPointerId sp;
    AcDbSoftPointerId none = idOf(77);
    ASSERT_EQ(filer.readHardOwnershipId(&ho), Acad::eOk);
    ASSERT_EQ(filer.readSoftOwnershipId(&so), Acad::eOk);
    ASSERT_EQ(filer.readHardPointerId(&hp), Acad::eOk);
    ASSERT_EQ(filer.readSoftPointerId(&sp), Acad::eOk);
    ASSERT_EQ(filer.readSoftPointerId(&none), Acad::eOk);
    EXPECT_EQ(ho.asOldId(), 101);
    EXPECT_EQ(so.asOldId(), 102);
    EXPECT_EQ(hp.asOldId(), 103);
    EXPECT_EQ(sp.asOldId(), 4);
    EXPECT_TRUE(none.isNull());

    const std::vector<std::pair<Adesk::Int64, int>> expected = {{1, AcDb::kDwgHardOwnershipId},
                                                                {2, AcDb::kDwgSoftOwnershipId},
                                                                {3, AcDb::kDwgHardPointerId},
                                                                {4, AcDb::kDwgSoftPointerId}};
    EXPECT_EQ(filer.translated, expected);

    // A failed read translates nothing.
    filer.rewind();
    EXPECT_EQ(filer.readSoftPointerId(&sp), Acad::eFilerError);
    EXPECT_EQ(filer.translated.size(), 4u);
}

TEST(DwgMemoryFilerTest, DefaultHooksKeepIdsAsWritten) {
    DwgMemoryFiler filer;
    filer.writeSoftOwnershipId(idOf(0x7FFFFFFFFFFFFFFFLL));
    AcDbSoftOwnershipId id;
    ASSERT_EQ(filer.readSoftOwnershipId(&id), Acad::eOk);
    EXPECT_EQ(id.asOldId(), 0x7FFFFFFFFFFFFFFFLL);
}

// ---- audit record ----

TEST(AcDbAuditInfoTest, CountsAccumulateAndReportLinesAreKept) {
    AcDbAuditInfo info;
    EXPECT_FALSE(info.fixErrors());
    EXPECT_EQ(info.numErrors(), 0);
    EXPECT_EQ(info.numFixes(), 0);
    EXPECT_TRUE(info.messages().isEmpty());

    info.setFixErrors(true);
    EXPECT_TRUE(info.fixErrors());
    info.errorsFound(2);
    info.errorsFound(3);
    info.errorsFixed(1);
    info.errorsFixed(4);
    EXPECT_EQ(info.numErrors(), 5);
    EXPECT_EQ(info.numFixes(), 5);

    info.printError(L"Block parameter", L"-1", L"must not be negative", L"0");
    info.printError(nullptr, nullptr, nullptr, nullptr);
    ASSERT_EQ(info.messages().length(), 2);
    const AcString& first = info.messages()[0];
    for (const ACHAR* part : {L"Block parameter", L"-1", L"must not be negative", L"0"}) {
        EXPECT_NE(first.str().find(part), std::wstring::npos) << AcString(part).utf8();
    }
    EXPECT_EQ(first.str().find(L"(null)"), std::wstring::npos);
    EXPECT_EQ(info.messages()[1].str().find(L"(null)"), std::wstring::npos);
}

}  // namespace
