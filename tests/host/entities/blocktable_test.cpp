#include <gtest/gtest.h>

#include "host/db/blocktable.h"
#include "host/db/layer.h"
#include "host/entities/attdef.h"
#include "host/entities/blockref.h"
#include "host/entities/line.h"
#include "host/entities/minsert.h"
#include "tests/host/entities/entities_test_support.h"

namespace {

using enttest::Open;
using enttest::Owned;

class BlockTableTest : public enttest::EntityTest {
  protected:
    AcDbObjectId addLine(AcDbObjectId block, double x) {
        return append(new AcDbLine(AcGePoint3d(x, 0, 0), AcGePoint3d(x, 1, 0)), block);
    }
    AcDbObjectIdArray walk(AcDbObjectId block, bool atBeginning = true, bool skipDeleted = true) {
        Open<AcDbBlockTableRecord> rec(block, AcDb::kForRead);
        AcDbBlockTableRecordIterator* it = nullptr;
        EXPECT_EQ(rec->newIterator(it, atBeginning, skipDeleted), Acad::eOk);
        AcDbObjectIdArray ids;
        for (; !it->done(); it->step(atBeginning, skipDeleted)) {
            AcDbObjectId id;
            EXPECT_EQ(it->getEntityId(id), Acad::eOk);
            ids.append(id);
        }
        delete it;
        return ids;
    }
    void erase(AcDbObjectId id) {
        Open<AcDbObject> obj(id, AcDb::kForWrite);
        ASSERT_EQ(obj.status, Acad::eOk);
        ASSERT_EQ(obj->erase(), Acad::eOk);
    }
};

TEST_F(BlockTableTest, DefaultDrawingHasModelAndPaperSpaceAndLayerZero) {
    Open<AcDbBlockTable> table(db.blockTableId(), AcDb::kForRead);
    ASSERT_EQ(table.status, Acad::eOk);
    EXPECT_TRUE(table->has(L"*MODEL_SPACE"));  // names compare without regard to case
    EXPECT_TRUE(table->has(ACDB_PAPER_SPACE));
    AcDbObjectId ms;
    ASSERT_EQ(table->getAt(ACDB_MODEL_SPACE, ms), Acad::eOk);
    EXPECT_EQ(ms, db.modelSpaceId());
    EXPECT_EQ(table->getAt(L"missing", ms), Acad::eKeyNotFound);
    Open<AcDbBlockTableRecord> rec(db.modelSpaceId(), AcDb::kForRead);
    EXPECT_TRUE(rec->isLayout());
    EXPECT_FALSE(rec->isAnonymous());
    EXPECT_EQ(rec->ownerId(), db.blockTableId());
    EXPECT_FALSE(db.layerZero().isNull());

    // A drawing without the default tables has none to open.
    AcDbDatabase bare(false, true);
    AcDbBlockTable* none = nullptr;
    EXPECT_EQ(bare.getBlockTable(none, AcDb::kForRead), Acad::eMissingSymbolTable);
    EXPECT_EQ(none, nullptr);
    EXPECT_TRUE(bare.modelSpaceId().isNull());
}

TEST_F(BlockTableTest, AnonymousBlocksGetUniqueNames) {
    const AcDbObjectId a = addBlock(L"*U");
    const AcDbObjectId b = addBlock(L"*U");
    const AcDbObjectId c = addBlock(L"*u");
    AcString names[3];
    const AcDbObjectId ids[3] = {a, b, c};
    for (int i = 0; i < 3; ++i) {
        Open<AcDbBlockTableRecord> rec(ids[i], AcDb::kForRead);
        ASSERT_EQ(rec->getName(names[i]), Acad::eOk);
        EXPECT_TRUE(rec->isAnonymous());
        EXPECT_FALSE(rec->isLayout());
    }
    EXPECT_EQ(names[0], AcString(L"*U1"));
    EXPECT_EQ(names[1], AcString(L"*U2"));
    EXPECT_EQ(names[2], AcString(L"*u3"));

    // An erased block keeps its name from being handed out again.
    erase(b);
    const AcDbObjectId d = addBlock(L"*U");
    Open<AcDbBlockTableRecord> rec(d, AcDb::kForWrite);
    AcString name;
    rec->getName(name);
    EXPECT_EQ(name, AcString(L"*U4"));
    // Renaming a resident block to the bare prefix takes the next unique name too.
    ASSERT_EQ(rec->setName(L"*U"), Acad::eOk);
    rec->getName(name);
    EXPECT_EQ(name, AcString(L"*U5"));
    // An explicit anonymous name is kept when free.
    EXPECT_EQ(rec->setName(L"*U77"), Acad::eOk);
    EXPECT_TRUE(rec->isAnonymous());
    rec.reset();

    // A block arriving under an anonymous name that is taken gets a fresh one of its kind; a
    // named block under a taken name is refused.
    const AcDbObjectId arrived = addBlock(L"*U77");
    Open<AcDbBlockTableRecord> copy(arrived, AcDb::kForRead);
    copy->getName(name);
    EXPECT_EQ(name, AcString(L"*U6"));
    Open<AcDbBlockTable> table(db.blockTableId(), AcDb::kForWrite);
    auto* named = new AcDbBlockTableRecord();
    named->setName(L"*Model_Space");
    EXPECT_EQ(table->add(named), Acad::eDuplicateRecordName);
    delete named;
}

TEST_F(BlockTableTest, TableRefusesBadRecords) {
    Open<AcDbBlockTable> table(db.blockTableId(), AcDb::kForWrite);
    auto* dup = new AcDbBlockTableRecord();
    dup->setName(L"*model_space");
    EXPECT_EQ(table->add(dup), Acad::eDuplicateRecordName);
    EXPECT_EQ(dup->database(), nullptr);
    delete dup;

    auto* bad = new AcDbBlockTableRecord();
    EXPECT_EQ(bad->setName(L"a<b"), Acad::eInvalidSymbolTableName);
    EXPECT_EQ(bad->setName(L""), Acad::eInvalidSymbolTableName);
    EXPECT_EQ(table->add(bad), Acad::eInvalidSymbolTableName);  // no name at all
    delete bad;

    // A layer is not a block.
    auto* layer = new AcDbLayerTableRecord();
    layer->setName(L"L1");
    EXPECT_EQ(table->AcDbSymbolTable::add(layer), Acad::eWrongObjectType);
    delete layer;
    EXPECT_EQ(table->add(static_cast<AcDbBlockTableRecord*>(nullptr)), Acad::eNullObjectPointer);
    table.reset();

    // Adding needs the table open for write.
    Open<AcDbBlockTable> readOnly(db.blockTableId(), AcDb::kForRead);
    auto* rec = new AcDbBlockTableRecord();
    rec->setName(L"B");
    EXPECT_EQ(readOnly->add(rec), Acad::eNotOpenForWrite);
    delete rec;
}

TEST_F(BlockTableTest, TableIteratorWalksRecordsInOrderSkippingErased) {
    const AcDbObjectId b1 = addBlock(L"B1");
    const AcDbObjectId b2 = addBlock(L"B2");
    const AcDbObjectId b3 = addBlock(L"B3");
    erase(b2);
    Open<AcDbBlockTable> table(db.blockTableId(), AcDb::kForRead);
    AcDbBlockTableIterator* it = nullptr;
    ASSERT_EQ(table->newIterator(it), Acad::eOk);
    AcDbObjectIdArray seen;
    for (; !it->done(); it->step()) {
        AcDbBlockTableRecord* rec = nullptr;
        ASSERT_EQ(it->getRecord(rec, AcDb::kForRead), Acad::eOk);
        seen.append(rec->objectId());
        rec->close();
    }
    ASSERT_EQ(seen.length(), 4);
    EXPECT_EQ(seen[0], db.modelSpaceId());
    EXPECT_EQ(seen[2], b1);
    EXPECT_EQ(seen[3], b3);
    AcDbObjectId none;
    EXPECT_EQ(it->getRecordId(none), Acad::eInvalidIndex);
    EXPECT_EQ(it->seek(b2), Acad::eOk);  // erased records can still be reached on purpose
    delete it;
    EXPECT_FALSE(table->has(L"B2"));
    AcDbObjectId erasedId;
    EXPECT_EQ(table->getAt(L"B2", erasedId, true), Acad::eOk);
    EXPECT_EQ(erasedId, b2);
}

TEST_F(BlockTableTest, AppendMakesTheEntityResidentOwnedAndOpenForWrite) {
    const AcDbObjectId block = addBlock(L"B");
    Open<AcDbBlockTableRecord> rec(block, AcDb::kForWrite);
    auto* line = new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 0, 0));
    AcDbObjectId id;
    ASSERT_EQ(rec->appendAcDbEntity(id, line), Acad::eOk);
    EXPECT_EQ(line->objectId(), id);
    EXPECT_EQ(line->ownerId(), block);
    EXPECT_EQ(line->blockId(), block);
    EXPECT_EQ(line->database(), &db);
    EXPECT_TRUE(line->isWriteEnabled());
    EXPECT_EQ(line->layerId(), db.layerZero());
    EXPECT_EQ(rec->appendAcDbEntity(line), Acad::eAlreadyInDb);
    EXPECT_EQ(rec->appendAcDbEntity(nullptr), Acad::eNullEntityPointer);
    line->close();
    rec.reset();

    Open<AcDbBlockTableRecord> readOnly(block, AcDb::kForRead);
    auto* other = new AcDbLine();
    EXPECT_EQ(readOnly->appendAcDbEntity(other), Acad::eNotOpenForWrite);
    EXPECT_EQ(other->database(), nullptr);
    delete other;

    AcDbBlockTableRecord loose;
    auto* third = new AcDbLine();
    EXPECT_EQ(loose.appendAcDbEntity(third), Acad::eNoDatabase);
    delete third;
}

TEST_F(BlockTableTest, EntitiesIterateInOrderSkippingErasedOnes) {
    const AcDbObjectId block = addBlock(L"B");
    const AcDbObjectId l1 = addLine(block, 1);
    const AcDbObjectId l2 = addLine(block, 2);
    const AcDbObjectId l3 = addLine(block, 3);
    erase(l2);
    EXPECT_EQ(walk(block), AcDbObjectIdArray({l1, l3}));
    EXPECT_EQ(walk(block, true, false), AcDbObjectIdArray({l1, l2, l3}));
    EXPECT_EQ(walk(block, false), AcDbObjectIdArray({l3, l1}));
    EXPECT_EQ(kxhost::blockEntityIds(block), AcDbObjectIdArray({l1, l3}));

    Open<AcDbBlockTableRecord> rec(block, AcDb::kForRead);
    AcDbBlockTableRecordIterator* it = nullptr;
    ASSERT_EQ(rec->newIterator(it), Acad::eOk);
    EXPECT_EQ(it->blockTableRecord(), block);
    AcDbEntity* ent = nullptr;
    ASSERT_EQ(it->getEntity(ent, AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(ent->objectId(), l1);
    ent->close();
    ASSERT_EQ(it->seek(l2), Acad::eOk);
    EXPECT_EQ(it->getEntity(ent, AcDb::kForRead), Acad::eWasErased);
    ASSERT_EQ(it->getEntity(ent, AcDb::kForRead, true), Acad::eOk);
    ent->close();
    EXPECT_EQ(it->seek(db.modelSpaceId()), Acad::eKeyNotFound);
    delete it;
}

TEST_F(BlockTableTest, BlockFlagsAreSettable) {
    const AcDbObjectId block = addBlock(L"B", AcGePoint3d(1, 2, 3));
    Open<AcDbBlockTableRecord> rec(block, AcDb::kForWrite);
    EXPECT_TRUE(rec->explodable());
    EXPECT_EQ(rec->blockScaling(), AcDbBlockTableRecord::kAny);
    EXPECT_EQ(rec->setExplodable(false), Acad::eOk);
    EXPECT_EQ(rec->setBlockScaling(AcDbBlockTableRecord::kUniform), Acad::eOk);
    EXPECT_EQ(rec->setBlockScaling(static_cast<AcDbBlockTableRecord::BlockScaling>(7)),
              Acad::eInvalidInput);
    EXPECT_FALSE(rec->isFromExternalReference());
    EXPECT_EQ(rec->setIsFromOverlayReference(true), Acad::eOk);
    EXPECT_TRUE(rec->isFromExternalReference());  // an overlay is an external reference
    EXPECT_TRUE(rec->isFromOverlayReference());
    EXPECT_TRUE(enttest::samePoint(AcGePoint3d(1, 2, 3), rec->origin()));
    rec->downgradeOpen();
    EXPECT_FALSE(rec->explodable());
    EXPECT_EQ(rec->blockScaling(), AcDbBlockTableRecord::kUniform);
    EXPECT_EQ(rec->setExplodable(true), Acad::eNotOpenForWrite);
}

TEST_F(BlockTableTest, ReferenceIdsCountOnlyResidentLiveReferences) {
    const AcDbObjectId block = addBlock(L"B");
    const AcDbObjectId other = addBlock(L"C");
    addLine(block, 0);
    const AcDbObjectId r1 = append(new AcDbBlockReference(AcGePoint3d(0, 0, 0), block));
    const AcDbObjectId r2 = append(new AcDbMInsertBlock(AcGePoint3d(5, 0, 0), block, 2, 2, 1, 1));
    const AcDbObjectId r3 = append(new AcDbBlockReference(AcGePoint3d(9, 0, 0), block));
    append(new AcDbBlockReference(AcGePoint3d(0, 9, 0), other));
    erase(r3);

    // A drag image points at the block too, but is no user of it.
    Owned<AcRxObject> image;
    {
        Open<AcDbBlockReference> ref(r1, AcDb::kForRead);
        image.reset(ref->clone());
    }
    ASSERT_NE(image, nullptr);

    Open<AcDbBlockTableRecord> rec(block, AcDb::kForRead);
    AcDbObjectIdArray ids;
    ASSERT_EQ(rec->getBlockReferenceIds(ids), Acad::eOk);
    EXPECT_EQ(ids.length(), 2);
    EXPECT_TRUE(ids.contains(r1));
    EXPECT_TRUE(ids.contains(r2));

    AcDbBlockTableRecord loose;
    EXPECT_EQ(loose.getBlockReferenceIds(ids), Acad::eNotInDatabase);
}

TEST_F(BlockTableTest, IndirectReferencesFollowNestedBlocks) {
    const AcDbObjectId inner = addBlock(L"Inner");
    const AcDbObjectId outer = addBlock(L"Outer");
    const AcDbObjectId nested = append(new AcDbBlockReference(AcGePoint3d(), inner), outer);
    const AcDbObjectId top = append(new AcDbBlockReference(AcGePoint3d(), outer));
    Open<AcDbBlockTableRecord> rec(inner, AcDb::kForRead);
    AcDbObjectIdArray direct;
    AcDbObjectIdArray all;
    ASSERT_EQ(rec->getBlockReferenceIds(direct, true), Acad::eOk);
    ASSERT_EQ(rec->getBlockReferenceIds(all, false), Acad::eOk);
    EXPECT_EQ(direct, AcDbObjectIdArray({nested}));
    EXPECT_EQ(all.length(), 2);
    EXPECT_TRUE(all.contains(top));
}

TEST_F(BlockTableTest, ErasingABlockErasesItsEntitiesAndUnerasingBringsThemBack) {
    const AcDbObjectId block = addBlock(L"B");
    const AcDbObjectId line = addLine(block, 0);
    {
        Open<AcDbBlockTableRecord> rec(block, AcDb::kForWrite);
        ASSERT_EQ(rec->erase(), Acad::eOk);
    }
    EXPECT_TRUE(line.isErased());
    {
        Open<AcDbBlockTableRecord> rec(block, AcDb::kForWrite, true);
        ASSERT_EQ(rec->erase(false), Acad::eOk);
    }
    EXPECT_FALSE(line.isErased());
}

TEST_F(BlockTableTest, RecordFilingKeepsFieldsAndEntityOwnership) {
    const AcDbObjectId block = addBlock(L"*U", AcGePoint3d(1, -2, 0.5));
    const AcDbObjectId l1 = addLine(block, 1);
    const AcDbObjectId l2 = addLine(block, 2);
    erase(l2);
    {
        Open<AcDbBlockTableRecord> rec(block, AcDb::kForWrite);
        rec->setExplodable(false);
        rec->setBlockScaling(AcDbBlockTableRecord::kUniform);
        rec->setIsFromExternalReference(true);
        rec->setAnnotative(true);
    }
    Open<AcDbBlockTableRecord> rec(block, AcDb::kForRead);
    Owned<AcDbObject> copy;
    ASSERT_TRUE(enttest::dwgRoundTrip(rec.obj, AcDb::kFileFiler, &copy));
    auto* read = AcDbBlockTableRecord::cast(copy.get());
    EXPECT_FALSE(read->explodable());
    EXPECT_EQ(read->blockScaling(), AcDbBlockTableRecord::kUniform);
    EXPECT_TRUE(read->isFromExternalReference());
    EXPECT_TRUE(read->isAnnotative());
    EXPECT_TRUE(read->isAnonymous());
    EXPECT_TRUE(enttest::samePoint(AcGePoint3d(1, -2, 0.5), read->origin()));
    // Files leave erased entities out; the entities are listed as owned.
    kxhost::DwgMemoryFiler filer(AcDb::kFileFiler);
    rec->dwgOutFields(&filer);
    int owned = 0;
    for (const auto& item : filer.items()) {
        if (item.kind == kxhost::DwgMemoryFiler::ItemKind::kHardOwnershipId &&
            item.bits == static_cast<Adesk::UInt64>(l1.asOldId())) {
            ++owned;
        }
        EXPECT_NE(item.bits, static_cast<Adesk::UInt64>(l2.asOldId()));
    }
    EXPECT_EQ(owned, 1);
    // A copy owns none of the block's entities.
    Owned<AcRxObject> clone(rec->clone());
    ASSERT_NE(clone, nullptr);
    EXPECT_TRUE(kxhost::blockEntityIds(AcDbObject::cast(clone.get())->objectId()).isEmpty());
    EXPECT_TRUE(enttest::dxfRoundTrip(rec.obj, &db));
}

TEST_F(BlockTableTest, DamagedRecordStreamsAreRefused) {
    const AcDbObjectId block = addBlock(L"B");
    addLine(block, 1);
    Open<AcDbBlockTableRecord> rec(block, AcDb::kForRead);
    kxhost::DwgMemoryFiler full(AcDb::kFileFiler);
    rec->dwgOutFields(&full);
    for (int keep = 0; keep < full.itemCount(); ++keep) {
        AcDbBlockTableRecord target;
        EXPECT_NE(enttest::readDamaged(rec.obj, &target, keep), Acad::eOk) << keep;
    }
    // An absurd entity count is damage, not a reason to allocate.
    AcDbBlockTableRecord target;
    const int countIndex = full.itemCount() - 2;
    EXPECT_NE(enttest::readDamaged(rec.obj, &target, -1,
                                   [&](int i, kxhost::DwgMemoryFiler::Item& item) {
                                       if (i == countIndex) {
                                           item.bits = 0x7FFFFFFF;
                                       }
                                   }),
              Acad::eOk);
}

}  // namespace
