#include <gtest/gtest.h>

#include "host/db/idmapping.h"

#include "host/core/heap.h"
#include "host/db/database.h"
#include "host/db/dictionary.h"
#include "host/db/dwgfiler.h"
#include "host/db/dxffiler.h"
#include "host/db/proxy.h"
#include "host/db/xrecord.h"
#include "tests/host/db/db_test_support.h"

namespace {

using dbtest::Chain;
using dbtest::sameChain;

class CopyTest : public DbTest {
  protected:
    AcDbDatabase db{false, true};

    // A resident record with every field set, extended data, an owner and a persistent reactor.
    AcDbObjectId makeSource() {
        const AcDbObjectId watcher = addRecord(db);
        AcDbDictionary* nod = nullptr;
        EXPECT_EQ(db.getNamedObjectsDictionary(nod, AcDb::kForWrite), Acad::eOk);
        auto* rec = new KxDbTestRecord();
        rec->setCount(-42);
        rec->setScale(0.1);
        rec->setLabel(L"l\u00e4bel");
        rec->setWhere(AcGePoint3d(1.0, -2.0, 1e10));
        rec->setRef(watcher);
        AcDbObjectId id;
        EXPECT_EQ(nod->setAt(L"source", rec, id), Acad::eOk);
        Chain xd(acutBuildList(1001, L"KXCOPY", 1000, L"x", 1071, 100000, 0));
        EXPECT_EQ(rec->setXData(xd.head), Acad::eOk);
        rec->addPersistentReactor(watcher);
        rec->close();
        nod->close();
        return id;
    }

    static void expectSameFields(const KxDbTestRecord& a, const KxDbTestRecord& b) {
        EXPECT_EQ(a.count(), b.count());
        EXPECT_EQ(a.scale(), b.scale());
        EXPECT_EQ(a.label(), b.label());
        EXPECT_EQ(a.where().x, b.where().x);
        EXPECT_EQ(a.where().y, b.where().y);
        EXPECT_EQ(a.where().z, b.where().z);
        EXPECT_EQ(a.ref(), b.ref());
        Chain xa(a.xData());
        Chain xb(b.xData());
        EXPECT_TRUE(sameChain(xa.head, xb.head));
    }
};

TEST_F(CopyTest, CopyFromKeepsEveryFieldOfTheMostDerivedClass) {
    const AcDbObjectId id = makeSource();
    KxDbTestRecord* source = nullptr;
    ASSERT_EQ(acdbOpenObject(source, id, AcDb::kForRead), Acad::eOk);
    KxDbTestRecord target;
    ASSERT_EQ(target.copyFrom(source), Acad::eOk);
    expectSameFields(*source, target);
    // Ownership, reactors and identity are not the copy's to take.
    EXPECT_TRUE(target.ownerId().isNull());
    EXPECT_TRUE(target.persistentReactors().isEmpty());
    EXPECT_TRUE(target.objectId().isNull());
    source->close();
    EXPECT_EQ(kxhost::assertionViolations(), 0);
}

TEST_F(CopyTest, CopyFromRefusesOtherClassesAndNull) {
    KxDbTestRecord rec;
    rec.setCount(5);
    KxDbOtherRecord other;
    EXPECT_EQ(rec.copyFrom(&other), Acad::eWrongObjectType);
    EXPECT_EQ(static_cast<int>(Acad::eWrongObjectType), 34);
    EXPECT_EQ(other.copyFrom(&rec), Acad::eWrongObjectType);
    AcDbXrecord xrec;
    EXPECT_EQ(rec.copyFrom(&xrec), Acad::eWrongObjectType);
    EXPECT_EQ(rec.copyFrom(nullptr), Acad::eNullObjectPointer);
    EXPECT_EQ(rec.count(), 5);
    EXPECT_EQ(rec.copyFrom(&rec), Acad::eOk);
}

TEST_F(CopyTest, CopyIntoAResidentObjectNeedsItOpenForWrite) {
    const AcDbObjectId sourceId = makeSource();
    const AcDbObjectId targetId = addRecord(db, 7);
    KxDbTestRecord* source = nullptr;
    KxDbTestRecord* target = nullptr;
    ASSERT_EQ(acdbOpenObject(source, sourceId, AcDb::kForRead), Acad::eOk);
    ASSERT_EQ(acdbOpenObject(target, targetId, AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(target->copyFrom(source), Acad::eNotOpenForWrite);
    EXPECT_EQ(target->count(), 7);
    ASSERT_EQ(target->upgradeOpen(), Acad::eOk);
    ASSERT_EQ(target->copyFrom(source), Acad::eOk);
    expectSameFields(*source, *target);
    EXPECT_TRUE(target->isModified());
    target->close();
    source->close();
}

TEST_F(CopyTest, CloneIsAFreeStandingCopy) {
    const AcDbObjectId id = makeSource();
    KxDbTestRecord* source = nullptr;
    ASSERT_EQ(acdbOpenObject(source, id, AcDb::kForRead), Acad::eOk);
    AcRxObject* made = source->clone();
    source->close();
    ASSERT_NE(made, nullptr);
    auto* copy = KxDbTestRecord::cast(made);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->database(), nullptr);
    EXPECT_TRUE(copy->objectId().isNull());
    EXPECT_TRUE(copy->ownerId().isNull());
    EXPECT_TRUE(copy->isWriteEnabled());
    ASSERT_EQ(acdbOpenObject(source, id, AcDb::kForRead), Acad::eOk);
    expectSameFields(*source, *copy);
    source->close();
    delete copy;

    // Without a pseudo-constructor there is nothing to clone into.
    AcDbObject plain;
    EXPECT_EQ(plain.clone(), nullptr);
}

TEST_F(CopyTest, CloningAndCopyingBalanceTheHeap) {
    KxDbTestRecord source;
    source.setLabel(L"heap");
    Chain xd(acutBuildList(1001, L"KXCOPY", 1000, L"x", 1000, L"y", 0));
    source.setXData(xd.head);
    delete source.clone();  // warms up the class system
    const long before = kxhost::heapLiveBlocks();
    for (int i = 0; i < 3; ++i) {
        AcRxObject* c = source.clone();
        ASSERT_NE(c, nullptr);
        delete c;
        KxDbTestRecord target;
        ASSERT_EQ(target.copyFrom(&source), Acad::eOk);
    }
    EXPECT_EQ(kxhost::heapLiveBlocks(), before);
}

TEST_F(CopyTest, AnObjectOutsideADatabaseCannotBeDeepCloned) {
    KxDbTestRecord rec;
    AcDbIdMapping map;
    AcDbObject* clone = reinterpret_cast<AcDbObject*>(0x1);
    EXPECT_EQ(rec.deepClone(nullptr, clone, map, true), Acad::eNotInDatabase);
    EXPECT_EQ(clone, nullptr);
    AcDbObject* wclone = reinterpret_cast<AcDbObject*>(0x1);
    EXPECT_EQ(rec.wblockClone(nullptr, wclone, map, true), Acad::eNotInDatabase);
    EXPECT_EQ(wclone, nullptr);
    EXPECT_EQ(map.numPairs(), 0);
}

TEST_F(CopyTest, BaseFilingOfOwnerExtensionDictionaryAndReactorsIsSymmetric) {
    const AcDbObjectId id = makeSource();
    KxDbTestRecord* source = nullptr;
    ASSERT_EQ(acdbOpenObject(source, id, AcDb::kForWrite), Acad::eOk);
    ASSERT_EQ(source->createExtensionDictionary(), Acad::eOk);
    for (AcDb::FilerType type : {AcDb::kFileFiler, AcDb::kIdXlateFiler, AcDb::kIdFiler}) {
        kxhost::DwgMemoryFiler filer(type);
        ASSERT_EQ(source->dwgOut(&filer), Acad::eOk);
        // The owner goes out as a soft pointer, the extension dictionary as hard ownership.
        ASSERT_GE(filer.itemCount(), 2);
        EXPECT_EQ(filer.items()[0].kind, kxhost::DwgMemoryFiler::ItemKind::kSoftPointerId);
        EXPECT_EQ(filer.items()[1].kind, kxhost::DwgMemoryFiler::ItemKind::kHardOwnershipId);
        filer.rewind();
        KxDbTestRecord back;
        ASSERT_EQ(back.dwgIn(&filer), Acad::eOk) << "filer type " << type;
        EXPECT_EQ(back.ownerId(), source->ownerId());
        EXPECT_EQ(back.extensionDictionary(), source->extensionDictionary());
        EXPECT_EQ(back.persistentReactors(), source->persistentReactors());
        EXPECT_EQ(back.count(), source->count());
    }
    // Text filing of the base object is left to the file writer.
    kxhost::DxfMemoryFiler dxf;
    ASSERT_EQ(source->AcDbObject::dxfOutFields(&dxf), Acad::eOk);
    EXPECT_EQ(dxf.itemCount(), 0);
    source->close();
}

TEST_F(CopyTest, ProxiesKeepTheDataOfTheirOriginalClass) {
    KxDbTestRecord original;
    original.setCount(77);
    original.setLabel(L"kept");
    original.setWhere(AcGePoint3d(3, 2, 1));
    kxhost::DwgMemoryFiler written(AcDb::kFileFiler);
    ASSERT_EQ(original.dwgOut(&written), Acad::eOk);

    AcDbProxyObject proxy;
    proxy.setOriginalClassName(L"KxDbTestRecord");
    EXPECT_TRUE(proxy.isAProxy());
    EXPECT_FALSE(original.isAProxy());
    KxDbProxyChild child;
    EXPECT_TRUE(child.isAProxy());
    written.rewind();
    ASSERT_EQ(proxy.dwgIn(&written), Acad::eOk);
    EXPECT_EQ(proxy.rawDwgItems().size(), 5u);

    kxhost::DwgMemoryFiler rewritten(AcDb::kFileFiler);
    ASSERT_EQ(proxy.dwgOut(&rewritten), Acad::eOk);
    EXPECT_TRUE(written.sameItems(rewritten)) << rewritten.describe().utf8();
    rewritten.rewind();
    KxDbTestRecord back;
    ASSERT_EQ(back.dwgIn(&rewritten), Acad::eOk);
    EXPECT_EQ(back.count(), 77);
    EXPECT_EQ(back.label(), AcString(L"kept"));
    EXPECT_EQ(AcString(proxy.originalClassName()), AcString(L"KxDbTestRecord"));

    // Text data comes back group for group.
    Chain groups(acutBuildList(100, L"AcDbKxThing", 90, 70000, 1, L"t", 0));
    kxhost::DxfMemoryFiler in;
    ASSERT_EQ(in.load(groups.head), Acad::eOk);
    ASSERT_EQ(proxy.dxfIn(&in), Acad::eOk);
    kxhost::DxfMemoryFiler out;
    ASSERT_EQ(proxy.dxfOut(&out), Acad::eOk);
    EXPECT_TRUE(in.sameItems(out)) << out.describe().utf8();

    // Instantiable by name, as the file reader makes it.
    AcRxObject* made = AcDbProxyObject::desc()->create();
    ASSERT_NE(made, nullptr);
    EXPECT_TRUE(AcDbObject::cast(made)->isAProxy());
    delete made;
}

}  // namespace
