#include <gtest/gtest.h>

#include "host/core/heap.h"
#include "host/db/database.h"
#include "host/db/dictionary.h"
#include "host/db/dwgfiler.h"
#include "host/db/dxffiler.h"
#include "host/db/xrecord.h"
#include "tests/host/db/db_test_support.h"

namespace {

using dbtest::Chain;
using dbtest::sameChain;

class DictionaryTest : public DbTest {
  protected:
    AcDbDatabase db{false, true};
    AcDbDictionary* dict = nullptr;

    void SetUp() override {
        DbTest::SetUp();
        ASSERT_EQ(db.getNamedObjectsDictionary(dict, AcDb::kForWrite), Acad::eOk);
    }
    void TearDown() override {
        if (dict != nullptr) {
            dict->close();
        }
        DbTest::TearDown();
    }

    // Adds a new record under the key and closes it.
    AcDbObjectId put(const ACHAR* key, Adesk::Int32 count = 0) {
        auto* rec = new KxDbTestRecord();
        rec->setCount(count);
        AcDbObjectId id;
        EXPECT_EQ(dict->setAt(key, rec, id), Acad::eOk);
        rec->close();
        return id;
    }
};

TEST_F(DictionaryTest, KeysIgnoreCaseAndMissingKeysReport22) {
    const AcDbObjectId id = put(L"Kx_Data");
    AcDbObjectId found;
    ASSERT_EQ(dict->getAt(L"KX_DATA", found), Acad::eOk);
    EXPECT_EQ(found, id);
    EXPECT_TRUE(dict->has(L"kx_data"));
    EXPECT_TRUE(dict->has(id));
    AcString name;
    ASSERT_EQ(dict->nameAt(id, name), Acad::eOk);
    EXPECT_EQ(name, AcString(L"Kx_Data"));  // the spelling it was given

    EXPECT_EQ(dict->getAt(L"missing", found), Acad::eKeyNotFound);
    EXPECT_EQ(static_cast<int>(Acad::eKeyNotFound), 22);
    EXPECT_TRUE(found.isNull());
    AcDbObject* obj = nullptr;
    EXPECT_EQ(dict->getAt(L"missing", obj, AcDb::kForRead), Acad::eKeyNotFound);
    EXPECT_EQ(dict->nameAt(db.regAppTableId(), name), Acad::eKeyNotFound);

    KxDbTestRecord* typed = nullptr;
    ASSERT_EQ(dict->getAt(L"kx_DATA", typed, AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(typed->objectId(), id);
    typed->close();
    AcDbXrecord* wrong = nullptr;
    EXPECT_EQ(dict->getAt(L"kx_data", wrong, AcDb::kForRead), Acad::eNotThatKindOfClass);
}

TEST_F(DictionaryTest, EntriesAreOwnedAndListedInKeyOrder) {
    const AcDbObjectId b = put(L"beta");
    const AcDbObjectId a = put(L"ALPHA");
    const AcDbObjectId c = put(L"Gamma");
    EXPECT_EQ(dict->numEntries(), 3);
    const auto entries = dict->entries();
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].id, a);
    EXPECT_EQ(entries[1].id, b);
    EXPECT_EQ(entries[2].id, c);

    AcDbDictionaryIterator* it = dict->newIterator();
    ASSERT_NE(it, nullptr);
    int n = 0;
    for (; !it->done(); it->next(), ++n) {
        AcDbObject* obj = nullptr;
        ASSERT_EQ(it->getObject(obj, AcDb::kForRead), Acad::eOk);
        EXPECT_EQ(obj->ownerId(), dict->objectId());
        EXPECT_EQ(obj->objectId(), it->objectId());
        obj->close();
    }
    EXPECT_EQ(n, 3);
    delete it;
}

TEST_F(DictionaryTest, SettingAnExistingKeyReplacesAndErasesTheOldEntry) {
    const AcDbObjectId first = put(L"key", 1);
    const AcDbObjectId second = put(L"KEY", 2);
    EXPECT_NE(first, second);
    EXPECT_TRUE(first.isErased());
    EXPECT_EQ(dict->numEntries(), 1);
    KxDbTestRecord* rec = nullptr;
    ASSERT_EQ(dict->getAt(L"key", rec, AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(rec->count(), 2);
    rec->close();
}

TEST_F(DictionaryTest, SetAtRefusesWhatItCannotOwn) {
    auto* rec = new KxDbTestRecord();
    AcDbObjectId id;
    EXPECT_EQ(dict->setAt(L"", rec, id), Acad::eInvalidKey);
    EXPECT_EQ(dict->setAt(nullptr, rec, id), Acad::eInvalidKey);
    EXPECT_EQ(dict->setAt(L"k", nullptr, id), Acad::eNullObjectPointer);
    EXPECT_EQ(dict->setAt(L"self", dict, id), Acad::eSelfReference);
    EXPECT_EQ(rec->database(), nullptr);  // nothing happened to it
    ASSERT_EQ(dict->setAt(L"one", rec, id), Acad::eOk);
    EXPECT_EQ(dict->setAt(L"two", rec, id), Acad::eAlreadyInDb);
    rec->close();

    AcDbDatabase other(false, true);
    KxDbTestRecord* foreign = nullptr;
    ASSERT_EQ(acdbOpenObject(foreign, addRecord(other), AcDb::kForWrite), Acad::eOk);
    EXPECT_EQ(dict->setAt(L"foreign", foreign, id), Acad::eWrongDatabase);
    foreign->close();

    AcDbDictionary loose;
    auto* orphan = new KxDbTestRecord();
    EXPECT_EQ(loose.setAt(L"k", orphan, id), Acad::eNoDatabase);
    delete orphan;

    dict->downgradeOpen();
    auto* late = new KxDbTestRecord();
    EXPECT_EQ(dict->setAt(L"late", late, id), Acad::eNotOpenForWrite);
    delete late;
    EXPECT_EQ(dict->remove(L"one"), Acad::eNotOpenForWrite);
}

TEST_F(DictionaryTest, RemovingKeepsTheObjectButDropsTheOwnership) {
    const AcDbObjectId id = put(L"k");
    AcDbObjectId removed;
    ASSERT_EQ(dict->remove(L"K", removed), Acad::eOk);
    EXPECT_EQ(removed, id);
    EXPECT_FALSE(dict->has(L"k"));
    EXPECT_FALSE(dict->has(id));
    EXPECT_EQ(dict->remove(L"k"), Acad::eKeyNotFound);
    ASSERT_TRUE(id.isValid());
    EXPECT_FALSE(id.isErased());
    AcDbObject* obj = nullptr;
    ASSERT_EQ(acdbOpenAcDbObject(obj, id, AcDb::kForRead), Acad::eOk);
    EXPECT_TRUE(obj->ownerId().isNull());
    obj->close();

    const AcDbObjectId byId = put(L"other");
    ASSERT_EQ(dict->remove(byId), Acad::eOk);
    EXPECT_EQ(dict->numEntries(), 0);
}

TEST_F(DictionaryTest, ErasingADictionaryErasesWhatItOwns) {
    AcDbDictionary* sub = new AcDbDictionary();
    AcDbObjectId subId;
    ASSERT_EQ(dict->setAt(L"sub", sub, subId), Acad::eOk);
    auto* rec = new KxDbTestRecord();
    AcDbObjectId recId;
    ASSERT_EQ(sub->setAt(L"rec", rec, recId), Acad::eOk);
    rec->close();
    ASSERT_EQ(sub->erase(), Acad::eOk);
    EXPECT_TRUE(recId.isErased());
    EXPECT_FALSE(dict->has(L"sub"));
    ASSERT_EQ(sub->erase(false), Acad::eOk);
    EXPECT_FALSE(recId.isErased());
    EXPECT_TRUE(dict->has(L"sub"));
    sub->close();
}

TEST_F(DictionaryTest, EntriesRoundTripThroughBinaryAndTextFiling) {
    put(L"Alpha");
    put(L"beta");
    kxhost::DwgMemoryFiler dwg(AcDb::kFileFiler);
    ASSERT_EQ(dict->dwgOut(&dwg), Acad::eOk);
    dwg.rewind();
    AcDbDictionary fromDwg;
    ASSERT_EQ(fromDwg.dwgIn(&dwg), Acad::eOk);
    ASSERT_EQ(fromDwg.numEntries(), 2);
    AcDbObjectId a;
    ASSERT_EQ(fromDwg.getAt(L"ALPHA", a), Acad::eOk);
    AcDbObjectId expected;
    dict->getAt(L"alpha", expected);
    EXPECT_EQ(a, expected);
    AcString name;
    fromDwg.nameAt(a, name);
    EXPECT_EQ(name, AcString(L"Alpha"));

    kxhost::DxfMemoryFiler dxf;
    ASSERT_EQ(dict->dxfOut(&dxf), Acad::eOk);
    dxf.rewind();
    AcDbDictionary fromDxf;
    ASSERT_EQ(fromDxf.dxfIn(&dxf), Acad::eOk) << dxf.describe().utf8();
    ASSERT_EQ(fromDxf.numEntries(), 2);
    EXPECT_TRUE(fromDxf.has(L"BETA"));
    ASSERT_EQ(fromDxf.getAt(L"alpha", a), Acad::eOk);
    EXPECT_EQ(a, expected);

    // The copy filer files no entries: a copy cannot own the originals.
    kxhost::DwgMemoryFiler copy(AcDb::kCopyFiler);
    dict->dwgOut(&copy);
    copy.rewind();
    AcDbDictionary fromCopy;
    ASSERT_EQ(fromCopy.dwgIn(&copy), Acad::eOk);
    EXPECT_EQ(fromCopy.numEntries(), 0);
}

TEST_F(DictionaryTest, ExtensionDictionariesBelongToTheirObject) {
    const AcDbObjectId id = put(L"owner");
    KxDbTestRecord* rec = nullptr;
    ASSERT_EQ(acdbOpenObject(rec, id, AcDb::kForWrite), Acad::eOk);
    ASSERT_EQ(rec->createExtensionDictionary(), Acad::eOk);
    EXPECT_EQ(rec->createExtensionDictionary(), Acad::eAlreadyInDb);
    const AcDbObjectId extId = rec->extensionDictionary();
    AcDbDictionary* ext = nullptr;
    ASSERT_EQ(acdbOpenObject(ext, extId, AcDb::kForWrite), Acad::eOk);
    EXPECT_EQ(ext->ownerId(), id);
    auto* xrec = new AcDbXrecord();
    AcDbObjectId xid;
    ASSERT_EQ(ext->setAt(L"data", xrec, xid), Acad::eOk);
    xrec->close();
    ext->close();

    EXPECT_EQ(rec->releaseExtensionDictionary(), Acad::eContainerNotEmpty);
    ASSERT_EQ(rec->erase(), Acad::eOk);
    EXPECT_TRUE(extId.isErased());
    EXPECT_TRUE(xid.isErased());
    ASSERT_EQ(rec->erase(false), Acad::eOk);
    EXPECT_FALSE(xid.isErased());

    ASSERT_EQ(acdbOpenObject(ext, extId, AcDb::kForWrite), Acad::eOk);
    ASSERT_EQ(ext->remove(L"data"), Acad::eOk);
    ext->close();
    ASSERT_EQ(rec->releaseExtensionDictionary(), Acad::eOk);
    EXPECT_TRUE(rec->extensionDictionary().isNull());
    EXPECT_TRUE(extId.isErased());
    rec->close();

    KxDbTestRecord loose;
    EXPECT_EQ(loose.createExtensionDictionary(), Acad::eNoDatabase);
}

// --- Xrecords -----------------------------------------------------------------------------------

class XrecordTest : public DbTest {
  protected:
    AcDbDatabase db{false, true};
    AcDbObjectId target;
    Chain chain;

    void SetUp() override {
        DbTest::SetUp();
        target = addRecord(db);
        const double p10[3] = {1.5, -2.0, 3.25};
        const double p11[3] = {0.0, 1e-9, -7.0};
        ads_name name;
        acdbGetAdsName(name, target);
        chain.reset(acutBuildList(1071, 100000, 1071, -5, 1070, -300, 300, L"text", 10, p10, 11,
                                  p11, 40, 0.125, 70, 32000, 90, 70000, 330, name, 0));
        ASSERT_NE(chain.head, nullptr);
    }
};

TEST_F(XrecordTest, KeepsEveryKindOfItemAsGiven) {
    AcDbXrecord xrec;
    ASSERT_EQ(xrec.setFromRbChain(*chain.head), Acad::eOk);
    EXPECT_EQ(xrec.numItems(), 10);
    resbuf* got = nullptr;
    ASSERT_EQ(xrec.rbChain(&got), Acad::eOk);
    Chain copy(got);
    EXPECT_TRUE(sameChain(chain.head, copy.head));
    EXPECT_EQ(copy.head->resval.rlong, 100000);
    EXPECT_EQ(copy.head->rbnext->resval.rlong, -5);
    // The copy is the caller's: changing it leaves the record alone.
    copy.head->resval.rlong = 1;
    Chain again;
    xrec.rbChain(&again.head);
    EXPECT_TRUE(sameChain(chain.head, again.head));

    AcDbXrecord empty;
    resbuf* none = reinterpret_cast<resbuf*>(0x1);
    ASSERT_EQ(empty.rbChain(&none), Acad::eOk);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(empty.rbChain(nullptr), Acad::eNullObjectPointer);
}

TEST_F(XrecordTest, RoundTripsThroughBinaryFiling) {
    AcDbXrecord xrec;
    ASSERT_EQ(xrec.setFromRbChain(*chain.head), Acad::eOk);
    for (AcDb::FilerType type : {AcDb::kFileFiler, AcDb::kCopyFiler}) {
        kxhost::DwgMemoryFiler filer(type);
        ASSERT_EQ(xrec.dwgOut(&filer), Acad::eOk);
        filer.rewind();
        AcDbXrecord back;
        ASSERT_EQ(back.dwgIn(&filer), Acad::eOk) << filer.describe().utf8();
        Chain got;
        back.rbChain(&got.head);
        EXPECT_TRUE(sameChain(chain.head, got.head)) << "filer type " << type;
    }
    // The 330 group goes out as a soft pointer.
    kxhost::DwgMemoryFiler filer;
    xrec.dwgOut(&filer);
    int softPointers = 0;
    for (const auto& item : filer.items()) {
        if (item.kind == kxhost::DwgMemoryFiler::ItemKind::kSoftPointerId &&
            item.bits == static_cast<Adesk::UInt64>(target.asOldId())) {
            ++softPointers;
        }
    }
    EXPECT_EQ(softPointers, 1);
}

TEST_F(XrecordTest, RoundTripsThroughTextFiling) {
    AcDbXrecord xrec;
    ASSERT_EQ(xrec.setFromRbChain(*chain.head), Acad::eOk);
    xrec.setMergeStyle(AcDb::kDrcMangleName);
    kxhost::DxfMemoryFiler filer;
    ASSERT_EQ(xrec.dxfOut(&filer), Acad::eOk);
    filer.rewind();
    AcDbXrecord back;
    ASSERT_EQ(back.dxfIn(&filer), Acad::eOk) << filer.describe().utf8();
    Chain got;
    back.rbChain(&got.head);
    EXPECT_TRUE(sameChain(chain.head, got.head)) << filer.describe().utf8();
    EXPECT_EQ(back.mergeStyle(), AcDb::kDrcMangleName);

    // Data that begins with a 280 of its own keeps it: only the first 280 is the style.
    Chain starts280(acutBuildList(280, 3, 1000, L"x", 0));
    ASSERT_EQ(xrec.setFromRbChain(*starts280.head), Acad::eOk);
    kxhost::DxfMemoryFiler second;
    xrec.dxfOut(&second);
    second.rewind();
    AcDbXrecord back2;
    ASSERT_EQ(back2.dxfIn(&second), Acad::eOk);
    Chain got2;
    back2.rbChain(&got2.head);
    EXPECT_TRUE(sameChain(starts280.head, got2.head));
}

TEST_F(XrecordTest, RefusesCodesItCannotKeepAndWritesOnlyWhenOpenForWrite) {
    AcDbXrecord* xrec = new AcDbXrecord();
    AcDbObjectId id;
    ASSERT_EQ(db.addAcDbObject(id, xrec), Acad::eOk);
    ASSERT_EQ(xrec->setFromRbChain(*chain.head), Acad::eOk);
    Chain handle(acutBuildList(1000, L"ok", 5, L"1F", 0));
    EXPECT_EQ(xrec->setFromRbChain(*handle.head), Acad::eInvalidResBuf);
    resbuf odd{};
    odd.restype = 1006;
    EXPECT_EQ(xrec->setFromRbChain(odd), Acad::eInvalidResBuf);
    EXPECT_EQ(xrec->numItems(), 10);
    xrec->close();

    ASSERT_EQ(acdbOpenObject(xrec, id, AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(xrec->setFromRbChain(*chain.head), Acad::eNotOpenForWrite);
    Chain got;
    ASSERT_EQ(xrec->rbChain(&got.head), Acad::eOk);
    EXPECT_TRUE(sameChain(chain.head, got.head));
    xrec->close();
}

TEST_F(XrecordTest, DamagedStreamsFailWithoutLeaks) {
    AcDbXrecord xrec;
    ASSERT_EQ(xrec.setFromRbChain(*chain.head), Acad::eOk);
    kxhost::DwgMemoryFiler good(AcDb::kCopyFiler);
    xrec.dwgOut(&good);
    const long before = kxhost::heapLiveBlocks();
    // Drop the last item: the read runs out in the middle.
    kxhost::DwgMemoryFiler cut(AcDb::kCopyFiler);
    for (int i = 0; i + 1 < good.itemCount(); ++i) {
        const auto& item = good.items()[static_cast<size_t>(i)];
        switch (item.kind) {
            case kxhost::DwgMemoryFiler::ItemKind::kInt16:
                cut.writeInt16(static_cast<Adesk::Int16>(item.bits));
                break;
            case kxhost::DwgMemoryFiler::ItemKind::kInt32:
                cut.writeInt32(static_cast<Adesk::Int32>(item.bits));
                break;
            case kxhost::DwgMemoryFiler::ItemKind::kDouble:
                cut.writeDouble(item.v[0]);
                break;
            case kxhost::DwgMemoryFiler::ItemKind::kString:
                cut.writeString(item.text.c_str());
                break;
            case kxhost::DwgMemoryFiler::ItemKind::kPoint3d:
                cut.writePoint3d(AcGePoint3d(item.v[0], item.v[1], item.v[2]));
                break;
            default:
                FAIL() << "unexpected item " << item.description().utf8();
        }
    }
    cut.rewind();
    AcDbXrecord back;
    EXPECT_NE(back.dwgIn(&cut), Acad::eOk);
    EXPECT_EQ(back.numItems(), 0);
    EXPECT_EQ(kxhost::heapLiveBlocks(), before);

    kxhost::DwgMemoryFiler absurd(AcDb::kCopyFiler);
    absurd.writeInt32(0);   // no extended data
    absurd.writeInt16(1);   // merge style
    absurd.writeInt32(-7);  // item count
    absurd.rewind();
    EXPECT_EQ(back.dwgIn(&absurd), Acad::eFilerError);
}

}  // namespace
