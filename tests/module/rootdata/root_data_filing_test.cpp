// Filing of the root data: binary and text round trips in a drawing, what copies and clones
// carry, and damaged or truncated input.
#include <cstdint>
#include <functional>

#include "host/db/dwgfiler.h"
#include "host/db/dxffiler.h"
#include "root_data_fixture.h"

namespace {

using kxhost::DwgMemoryFiler;
using kxhost::DxfMemoryFiler;
using Kind = DwgMemoryFiler::ItemKind;

AcDbObjectId rawId(Adesk::Int64 raw) {
    AcDbObjectId id;
    id.setFromOldId(raw);
    return id;
}

// Writes one item of another stream again, so tests can build cut or altered copies.
void replay(DwgMemoryFiler& to, const DwgMemoryFiler::Item& item) {
    switch (item.kind) {
        case Kind::kBool:
            to.writeBool(item.bits != 0);
            break;
        case Kind::kInt16:
            to.writeInt16(static_cast<Adesk::Int16>(item.bits));
            break;
        case Kind::kInt32:
            to.writeInt32(static_cast<Adesk::Int32>(item.bits));
            break;
        case Kind::kString:
            to.writeString(item.text.c_str());
            break;
        case Kind::kHardOwnershipId:
            to.writeHardOwnershipId(rawId(static_cast<Adesk::Int64>(item.bits)));
            break;
        case Kind::kSoftOwnershipId:
            to.writeSoftOwnershipId(rawId(static_cast<Adesk::Int64>(item.bits)));
            break;
        case Kind::kHardPointerId:
            to.writeHardPointerId(rawId(static_cast<Adesk::Int64>(item.bits)));
            break;
        case Kind::kSoftPointerId:
            to.writeSoftPointerId(rawId(static_cast<Adesk::Int64>(item.bits)));
            break;
        default:
            ADD_FAILURE() << "unexpected item kind " << static_cast<int>(item.kind);
    }
}

// A stream of the first `count` items of `from`, each passed through `change` first.
void copyItems(const DwgMemoryFiler& from, DwgMemoryFiler& to, size_t count,
               const std::function<void(size_t, DwgMemoryFiler::Item&)>& change = nullptr) {
    for (size_t i = 0; i < count && i < from.items().size(); ++i) {
        DwgMemoryFiler::Item item = from.items()[i];
        if (change) {
            change(i, item);
        }
        replay(to, item);
    }
    to.rewind();
}

// A stream that cannot say where it is, so nothing can be known of what is left to read.
class BlindDwgFiler : public DwgMemoryFiler {
  public:
    using DwgMemoryFiler::DwgMemoryFiler;
    Adesk::Int64 tell() const override { return -1; }
    Acad::ErrorStatus seek(Adesk::Int64, int) override { return Acad::eNotImplementedYet; }
};

class RootDataFilingTest : public kxrdtest::RootDataTest {
  protected:
    // The database's root data with two graphs and three records: one with everything, one
    // with only a source definition, one with only hidden data.
    KxDbTagRootData* populate() {
        KxDbTagRootData* rd = openRootData();
        for (int i = 0; i < 2; ++i) {
            auto* graph = new KxDbTagEvalGraph();
            EXPECT_EQ(rd->setGraph(newKey(), graph), Acad::eOk);
            graph->close();
        }
        const AcDbObjectId full = newKey();
        EXPECT_EQ(rd->setSourceDefinition(full, newKey()), Acad::eOk);
        setXrec(rd, full, 0, nullptr);
        setXrec(rd, full, 1, L"12");
        setXrec(rd, full, 1, L"3");
        setXrec(rd, full, 2, L"12");
        EXPECT_EQ(rd->setSourceDefinition(newKey(), newKey()), Acad::eOk);
        setXrec(rd, newKey(), 2, L"Übersicht");
        return rd;
    }

    // kind 0 history, 1 data, 2 hidden data.
    void setXrec(KxDbTagRootData* rd, const AcDbObjectId& ref, int kind, const ACHAR* name) {
        AcDbXrecord* x = newXrecord(++m_marker);
        const Acad::ErrorStatus es = kind == 0   ? rd->setHistory(ref, x)
                                     : kind == 1 ? rd->setDataEntry(ref, name, x)
                                                 : rd->setHDataEntry(ref, name, x);
        EXPECT_EQ(es, Acad::eOk);
        x->close();
    }

    static int hostItems(const KxDbTagRootData* rd, AcDb::FilerType type) {
        DwgMemoryFiler host(type);
        EXPECT_EQ(rd->AcDbObject::dwgOutFields(&host), Acad::eOk);
        return host.itemCount();
    }

    int m_marker = 0;
};

// --- Binary filing ------------------------------------------------------------------------------

TEST_F(RootDataFilingTest, DwgRoundTripInTheDrawing) {
    KxDbTagRootData* rd = populate();
    const std::wstring before = kxrdtest::describe(rd);
    DwgMemoryFiler out(AcDb::kFileFiler, AcDb::kDHL_CURRENT, AcDb::kMReleaseCurrent, db);
    ASSERT_EQ(rd->dwgOut(&out), Acad::eOk);

    // What follows the host's part: counts as Int32, keys as soft pointers, owned objects as
    // hard ownership ids, the source definition as a hard pointer.
    const auto& items = out.items();
    size_t i = static_cast<size_t>(hostItems(rd, AcDb::kFileFiler));
    ASSERT_EQ(items[i].kind, Kind::kInt32);
    EXPECT_EQ(items[i].bits, 2u);
    ++i;
    for (int g = 0; g < 2; ++g, i += 2) {
        EXPECT_EQ(items[i].kind, Kind::kSoftPointerId);
        EXPECT_EQ(items[i + 1].kind, Kind::kHardOwnershipId);
    }
    ASSERT_EQ(items[i].kind, Kind::kInt32);
    EXPECT_EQ(items[i].bits, 3u);
    ++i;
    for (int r = 0; r < 3; ++r) {
        EXPECT_EQ(items[i].kind, Kind::kSoftPointerId);
        EXPECT_EQ(items[i + 1].kind, Kind::kInt16);
        EXPECT_EQ(items[i + 2].kind, Kind::kHardPointerId);
        EXPECT_EQ(items[i + 3].kind, Kind::kHardOwnershipId);
        i += 4;
        for (int list = 0; list < 2; ++list) {
            ASSERT_EQ(items[i].kind, Kind::kInt32);
            const size_t n = items[i].bits;
            ++i;
            for (size_t e = 0; e < n; ++e, i += 2) {
                EXPECT_EQ(items[i].kind, Kind::kString);
                EXPECT_EQ(items[i + 1].kind, Kind::kHardOwnershipId);
            }
        }
    }
    EXPECT_EQ(i, items.size());

    // Read back into a new object and into the drawing's own one.
    KxDbTagRootData copy;
    out.rewind();
    ASSERT_EQ(copy.dwgIn(&out), Acad::eOk);
    EXPECT_EQ(kxrdtest::describe(&copy), before);
    out.rewind();
    ASSERT_EQ(rd->dwgIn(&out), Acad::eOk);
    EXPECT_EQ(kxrdtest::describe(rd), before);
    rd->close();
}

TEST_F(RootDataFilingTest, DwgKeepsTheStoredValueAndSkipsErasedKeys) {
    KxDbTagRootData* rd = populate();
    KxDbImpTagRootData* imp = kxImpOf<KxDbImpTagRootData>(rd);
    // The record's 16-bit value is not the module's to change, only to carry.
    DwgMemoryFiler out(AcDb::kFileFiler);
    ASSERT_EQ(rd->dwgOut(&out), Acad::eOk);
    DwgMemoryFiler altered(AcDb::kFileFiler);
    const size_t recordStart = static_cast<size_t>(hostItems(rd, AcDb::kFileFiler)) + 1 + 4 + 1;
    copyItems(out, altered, out.items().size(), [&](size_t i, DwgMemoryFiler::Item& item) {
        if (i == recordStart + 1) {
            item.bits = static_cast<Adesk::UInt64>(static_cast<Adesk::Int64>(-12345));
        }
    });
    ASSERT_EQ(rd->dwgIn(&altered), Acad::eOk);
    const AcDbObjectId firstRef = rawId(static_cast<Adesk::Int64>(out.items()[recordStart].bits));
    ASSERT_NE(imp->findRecord(firstRef), nullptr);
    EXPECT_EQ(imp->findRecord(firstRef)->value, -12345);
    DwgMemoryFiler again(AcDb::kFileFiler);
    ASSERT_EQ(rd->dwgOut(&again), Acad::eOk);
    KxDbTagRootData reread;
    ASSERT_EQ(reread.dwgIn(&again), Acad::eOk);
    EXPECT_EQ(kxrdtest::describe(&reread), kxrdtest::describe(rd));
    EXPECT_EQ(kxrdtest::impOf(&reread)->findRecord(firstRef)->value, -12345);

    // Erase one graph key and one reference key: both entries are left out of the file.
    const AcDbObjectId graphKey = imp->graphs().begin()->first;
    AcDbObject* obj = nullptr;
    ASSERT_EQ(acdbOpenObject(obj, graphKey, AcDb::kForWrite), Acad::eOk);
    ASSERT_EQ(obj->erase(), Acad::eOk);
    obj->close();
    ASSERT_EQ(acdbOpenObject(obj, firstRef, AcDb::kForWrite), Acad::eOk);
    ASSERT_EQ(obj->erase(), Acad::eOk);
    obj->close();
    DwgMemoryFiler pruned(AcDb::kFileFiler);
    ASSERT_EQ(rd->dwgOut(&pruned), Acad::eOk);
    KxDbTagRootData back;
    pruned.rewind();
    ASSERT_EQ(back.dwgIn(&pruned), Acad::eOk);
    EXPECT_EQ(back.numGraphs(), 1);
    EXPECT_EQ(back.numReferences(), 2);
    AcDbObjectId id;
    EXPECT_FALSE(back.getGraph(graphKey, id));
    EXPECT_EQ(kxImpOf<KxDbImpTagRootData>(&back)->findRecord(firstRef), nullptr);
    rd->close();
}

TEST_F(RootDataFilingTest, CopiesAndClonesCarryNothing) {
    KxDbTagRootData* rd = populate();
    for (AcDb::FilerType type :
         {AcDb::kCopyFiler, AcDb::kDeepCloneFiler, AcDb::kWblockCloneFiler}) {
        DwgMemoryFiler out(type);
        ASSERT_EQ(rd->dwgOut(&out), Acad::eOk);
        EXPECT_EQ(out.itemCount(), hostItems(rd, type)) << type;

        // Reading such a stream leaves the maps alone.
        KxDbTagRootData target;
        DwgMemoryFiler full(AcDb::kFileFiler);
        ASSERT_EQ(rd->dwgOut(&full), Acad::eOk);
        ASSERT_EQ(target.dwgIn(&full), Acad::eOk);
        const std::wstring loaded = kxrdtest::describe(&target);
        out.rewind();
        EXPECT_EQ(target.dwgIn(&out), Acad::eOk);
        EXPECT_EQ(kxrdtest::describe(&target), loaded);
    }
    // Other filers that are not files still see the maps (the purge filer must learn what the
    // root data owns).
    DwgMemoryFiler purge(AcDb::kPurgeFiler);
    ASSERT_EQ(rd->dwgOut(&purge), Acad::eOk);
    EXPECT_GT(purge.itemCount(), hostItems(rd, AcDb::kPurgeFiler));

    // A copy of the object is an empty root data.
    AcRxObject* copy = rd->clone();
    ASSERT_NE(copy, nullptr);
    auto* copied = KxDbTagRootData::cast(copy);
    ASSERT_NE(copied, nullptr);
    EXPECT_EQ(copied->numGraphs(), 0);
    EXPECT_EQ(copied->numReferences(), 0);
    delete copy;
    rd->close();
}

TEST_F(RootDataFilingTest, TruncatedDwgFailsWithTheFilersStatus) {
    KxDbTagRootData* rd = populate();
    DwgMemoryFiler out(AcDb::kFileFiler);
    ASSERT_EQ(rd->dwgOut(&out), Acad::eOk);
    const size_t host = static_cast<size_t>(hostItems(rd, AcDb::kFileFiler));
    for (size_t cut = host; cut < out.items().size(); ++cut) {
        for (int blind = 0; blind < 2; ++blind) {
            DwgMemoryFiler plain(AcDb::kFileFiler);
            BlindDwgFiler unseekable(AcDb::kFileFiler);
            DwgMemoryFiler& in = blind != 0 ? unseekable : plain;
            copyItems(out, in, cut);
            KxDbTagRootData target;
            const Acad::ErrorStatus es = target.dwgIn(&in);
            EXPECT_NE(es, Acad::eOk) << "cut at " << cut;
            EXPECT_EQ(es, in.filerStatus()) << "cut at " << cut;
        }
    }
    rd->close();
}

TEST_F(RootDataFilingTest, DamagedDwgCountsFailWithoutHangingOrAllocating) {
    KxDbTagRootData* rd = populate();
    DwgMemoryFiler out(AcDb::kFileFiler);
    ASSERT_EQ(rd->dwgOut(&out), Acad::eOk);
    // Every count of the stream in turn made huge, negative or one too large.
    std::vector<size_t> counts;
    for (size_t i = static_cast<size_t>(hostItems(rd, AcDb::kFileFiler)); i < out.items().size();
         ++i) {
        if (out.items()[i].kind == Kind::kInt32) {
            counts.push_back(i);
        }
    }
    ASSERT_EQ(counts.size(), 2u + 3u * 2u);
    const long heapBefore = kxhost::heapLiveBlocks();
    for (size_t at : counts) {
        const Adesk::UInt64 original = out.items()[at].bits;
        for (Adesk::Int64 value : {Adesk::Int64(0x7FFFFFF0), Adesk::Int64(-1),
                                   Adesk::Int64(INT32_MIN), Adesk::Int64(original + 1)}) {
            for (int blind = 0; blind < 2; ++blind) {
                DwgMemoryFiler plain(AcDb::kFileFiler);
                BlindDwgFiler unseekable(AcDb::kFileFiler);
                DwgMemoryFiler& in = blind != 0 ? unseekable : plain;
                copyItems(out, in, out.items().size(), [&](size_t i, DwgMemoryFiler::Item& item) {
                    if (i == at) {
                        item.bits = static_cast<Adesk::UInt64>(value);
                    }
                });
                KxDbTagRootData target;
                const Acad::ErrorStatus es = target.dwgIn(&in);
                EXPECT_EQ(es, Acad::eFilerError) << "count at " << at << " = " << value;
                EXPECT_EQ(in.filerStatus(), Acad::eFilerError);
            }
        }
    }
    EXPECT_EQ(kxhost::heapLiveBlocks(), heapBefore);

    // An item of the wrong kind in place of an id.
    DwgMemoryFiler swapped(AcDb::kFileFiler);
    const size_t firstKey = static_cast<size_t>(hostItems(rd, AcDb::kFileFiler)) + 1;
    copyItems(out, swapped, out.items().size(), [&](size_t i, DwgMemoryFiler::Item& item) {
        if (i == firstKey) {
            item.kind = Kind::kInt32;
        }
    });
    KxDbTagRootData target;
    EXPECT_EQ(target.dwgIn(&swapped), Acad::eFilerError);
    rd->close();
}

// --- Text filing --------------------------------------------------------------------------------

TEST_F(RootDataFilingTest, DxfRoundTripWritesTheFixedGroupSequence) {
    KxDbTagRootData* rd = populate();
    const std::wstring before = kxrdtest::describe(rd);
    DxfMemoryFiler out(AcDb::kFileFiler, AcDb::kDHL_CURRENT, AcDb::kMReleaseCurrent, db);
    ASSERT_EQ(rd->dxfOut(&out), Acad::eOk);

    std::vector<int> codes;
    for (const auto& item : out.items()) {
        codes.push_back(item.code);
    }
    ASSERT_GE(codes.size(), 2u);
    EXPECT_EQ(out.items()[0].code, 100);
    EXPECT_EQ(out.items()[0].text, L"KxDbTagRootData");
    // Expected: 100, 90, 2 x (330 360), 91, then per record 330 60 330 360, 92, pairs, 92, pairs.
    std::vector<int> want = {100, 90, 330, 360, 330, 360, 91};
    const KxDbImpTagRootData* imp = kxrdtest::impOf(rd);
    // Records come in the map's own order; rebuild the expectation from what was written.
    size_t i = want.size();
    for (int r = 0; r < 3; ++r) {
        for (int code : {330, 60, 330, 360}) {
            want.push_back(code);
        }
        i += 4;
        for (int list = 0; list < 2; ++list) {
            ASSERT_LT(i, out.items().size());
            const auto n = static_cast<int>(out.items()[i].integer);
            want.push_back(92);
            ++i;
            for (int e = 0; e < n; ++e, i += 2) {
                want.push_back(300);
                want.push_back(360);
            }
        }
    }
    EXPECT_EQ(codes, want);
    EXPECT_EQ(imp->numReferences(), 3);

    KxDbTagRootData copy;
    out.rewind();
    ASSERT_EQ(copy.dxfIn(&out), Acad::eOk);
    EXPECT_EQ(kxrdtest::describe(&copy), before);
    out.rewind();
    ASSERT_EQ(rd->dxfIn(&out), Acad::eOk);
    EXPECT_EQ(kxrdtest::describe(rd), before);
    rd->close();
}

TEST_F(RootDataFilingTest, DxfWithAWrongGroupAnywhereStopsWith301KeepingWhatWasRead) {
    KxDbTagRootData* rd = populate();
    const KxDbImpTagRootData* original = kxrdtest::impOf(rd);
    DxfMemoryFiler out;
    ASSERT_EQ(rd->dxfOut(&out), Acad::eOk);
    resbuf* chain = out.toChain();
    ASSERT_NE(chain, nullptr);
    int position = 0;
    for (resbuf* bad = chain; bad != nullptr; bad = bad->rbnext, ++position) {
        // A neighbouring code of the same value kind, so only the code is wrong.
        const short code = bad->restype;
        bad->restype = static_cast<short>(code + 1);
        DxfMemoryFiler in = DxfMemoryFiler::fromChain(chain);
        bad->restype = code;

        KxDbTagRootData target;
        EXPECT_EQ(target.dxfIn(&in), 301) << "wrong group at " << position;
        // Whatever was read matches the original.
        const KxDbImpTagRootData* got = kxrdtest::impOf(&target);
        for (const auto& g : got->graphs()) {
            AcDbObjectId graphId;
            ASSERT_TRUE(original->getGraph(g.first, graphId));
            EXPECT_EQ(g.second, graphId);
        }
        for (const auto& r : got->records()) {
            const KxDbTagRootDataRecord* want = original->findRecord(r.first);
            ASSERT_NE(want, nullptr);
            if (!r.second.sourceDefinition.isNull()) {
                EXPECT_EQ(r.second.sourceDefinition, want->sourceDefinition);
            }
            for (const auto& e : r.second.data) {
                EXPECT_EQ(want->data.at(e.first), e.second);
            }
        }
    }

    // A wrong group inside the second graph entry keeps the first one.
    resbuf* secondGraph = chain->rbnext->rbnext->rbnext->rbnext;  // 100, 90, 330, 360, >330<
    ASSERT_EQ(secondGraph->restype, 330);
    secondGraph->rbnext->restype = 340;
    DxfMemoryFiler in = DxfMemoryFiler::fromChain(chain);
    KxDbTagRootData target;
    EXPECT_EQ(target.dxfIn(&in), 301);
    EXPECT_EQ(target.numGraphs(), 1);
    EXPECT_EQ(target.numReferences(), 0);
    acutRelRb(chain);
    rd->close();
}

TEST_F(RootDataFilingTest, DxfWithoutMarkerCutShortOrWithForeignGroupsIsRefused) {
    // No subclass marker.
    DxfMemoryFiler noMarker;
    noMarker.writeInt32(90, 0);
    noMarker.writeInt32(91, 0);
    noMarker.rewind();
    KxDbTagRootData target;
    EXPECT_EQ(target.dxfIn(&noMarker), 301);

    // Another class's marker.
    DxfMemoryFiler otherMarker;
    otherMarker.writeString(100, L"AcDbEvalGraph");
    otherMarker.rewind();
    EXPECT_EQ(target.dxfIn(&otherMarker), 301);

    // Ends before its counts say.
    DxfMemoryFiler cut;
    cut.writeString(100, L"KxDbTagRootData");
    cut.writeInt32(90, 0x7FFFFFFF);
    cut.writeObjectId(330, rawId(5));
    cut.writeObjectId(360, rawId(6));
    cut.rewind();
    EXPECT_EQ(target.dxfIn(&cut), 301);
    EXPECT_EQ(target.numGraphs(), 1);

    // A negative count cannot have been written.
    DxfMemoryFiler negative;
    negative.writeString(100, L"KxDbTagRootData");
    negative.writeInt32(90, 0);
    negative.writeInt32(91, -1);
    negative.rewind();
    EXPECT_EQ(target.dxfIn(&negative), 301);

    // A text group where a name belongs is freed and refused.
    DxfMemoryFiler text;
    text.writeString(100, L"KxDbTagRootData");
    text.writeInt32(90, 1);
    text.writeString(1, L"not an id");
    text.rewind();
    EXPECT_EQ(target.dxfIn(&text), 301);
    EXPECT_EQ(target.numGraphs(), 0);
}

TEST_F(RootDataFilingTest, DxfCountsAreReadAsFull32BitValues) {
    // More entries than a 16-bit count could hold.
    constexpr Adesk::Int32 kGraphs = 70000;
    DxfMemoryFiler in;
    in.writeString(100, L"KxDbTagRootData");
    in.writeInt32(90, kGraphs);
    for (Adesk::Int32 i = 0; i < kGraphs; ++i) {
        in.writeObjectId(330, rawId(1000 + i));
        in.writeObjectId(360, rawId(200000 + i));
    }
    in.writeInt32(91, 1);
    in.writeObjectId(330, rawId(7));
    in.writeInt16(60, 3);
    in.writeObjectId(330, rawId(8));
    in.writeObjectId(360, AcDbObjectId::kNull);
    in.writeInt32(92, 0);
    in.writeInt32(92, 0);
    in.rewind();
    KxDbTagRootData target;
    ASSERT_EQ(target.dxfIn(&in), Acad::eOk);
    EXPECT_EQ(target.numGraphs(), kGraphs);
    AcDbObjectId id;
    ASSERT_TRUE(target.getGraph(rawId(1000 + kGraphs - 1), id));
    EXPECT_EQ(id, rawId(200000 + kGraphs - 1));
    ASSERT_TRUE(target.getSourceDefinition(rawId(7), id));
    EXPECT_EQ(id, rawId(8));
    EXPECT_EQ(kxrdtest::impOf(&target)->findRecord(rawId(7))->value, 3);
}

TEST_F(RootDataFilingTest, ClearingAnEntryFromAFileErasesOnlyWhatTheRootDataOwns) {
    // A damaged file can name any object of the drawing as a record's xrecord.
    KxDbTagRootData* rd = openRootData();
    const AcDbObjectId ref = newKey();
    const AcDbObjectId notOurs = newKey();
    DxfMemoryFiler in;
    in.writeString(100, L"KxDbTagRootData");
    in.writeInt32(90, 0);
    in.writeInt32(91, 1);
    in.writeObjectId(330, ref);
    in.writeInt16(60, 0);
    in.writeObjectId(330, AcDbObjectId::kNull);
    in.writeObjectId(360, notOurs);
    in.writeInt32(92, 1);
    in.writeString(300, L"1");
    in.writeObjectId(360, db->namedObjectsDictionaryId());
    in.writeInt32(92, 0);
    in.rewind();
    ASSERT_EQ(rd->dxfIn(&in), Acad::eOk);
    EXPECT_EQ(rd->clearData(ref), Acad::eOk);
    EXPECT_EQ(rd->clearHistory(ref), Acad::eOk);
    EXPECT_EQ(rd->numReferences(), 0);
    EXPECT_FALSE(db->namedObjectsDictionaryId().isErased());
    EXPECT_FALSE(notOurs.isErased());
    rd->close();
}

}  // namespace
