#include <gtest/gtest.h>

#include <algorithm>

#include "host/core/heap.h"
#include "host/db/database.h"
#include "host/db/dictionary.h"
#include "host/db/regapp.h"
#include "host/db/xrecord.h"
#include "tests/host/db/db_test_support.h"

namespace {

class DatabaseTest : public DbTest {};

TEST_F(DatabaseTest, EveryDatabaseHasItsDictionaryAndApplicationTable) {
    AcDbDatabase db(true, true);
    AcDbDictionary* nod = nullptr;
    ASSERT_EQ(db.getNamedObjectsDictionary(nod, AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(nod->objectId(), db.namedObjectsDictionaryId());
    EXPECT_EQ(nod->numEntries(), 0);
    nod->close();
    AcDbRegAppTable* table = nullptr;
    ASSERT_EQ(db.getRegAppTable(table, AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(table->objectId(), db.regAppTableId());
    EXPECT_TRUE(table->has(L"acad"));  // the default drawing registers the host's own name
    table->close();
    EXPECT_EQ(kxhost::objectCount(&db), 3);

    AcDbDatabase bare(false, true);
    ASSERT_EQ(bare.getRegAppTable(table, AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(table->numEntries(), 0);
    table->close();
    EXPECT_EQ(kxhost::objectCount(&bare), 2);
    EXPECT_NE(bare.namedObjectsDictionaryId(), db.namedObjectsDictionaryId());
    EXPECT_EQ(kxhost::unmatchedCloses(), 0);
}

TEST_F(DatabaseTest, HeaderValuesStartAtTheHostDefaultsAndRefuseBadValues) {
    AcDbDatabase db(false, true);
    EXPECT_EQ(db.attmode(), 1);
    EXPECT_TRUE(db.fillmode());
    EXPECT_EQ(db.auprec(), 0);
    EXPECT_EQ(db.aunits(), 0);
    EXPECT_EQ(db.luprec(), 4);
    EXPECT_EQ(db.lunits(), 2);

    EXPECT_EQ(db.setAttmode(2), Acad::eOk);
    EXPECT_EQ(db.setAttmode(3), Acad::eInvalidInput);
    EXPECT_EQ(db.attmode(), 2);
    EXPECT_EQ(db.setLunits(0), Acad::eInvalidInput);
    EXPECT_EQ(db.setLunits(5), Acad::eOk);
    EXPECT_EQ(db.lunits(), 5);
    EXPECT_EQ(db.setLuprec(9), Acad::eInvalidInput);
    EXPECT_EQ(db.setAunits(4), Acad::eOk);
    EXPECT_EQ(db.setAuprec(-1), Acad::eInvalidInput);
    EXPECT_EQ(db.setFillmode(false), Acad::eOk);
    EXPECT_FALSE(db.fillmode());
}

TEST_F(DatabaseTest, AddingMakesTheObjectResidentAndOpenForWrite) {
    AcDbDatabase db(false, true);
    AcDbDatabase other(false, true);
    RecordingDbReactor reactor;
    db.addReactor(&reactor);

    const AcDbHandle seed = db.handseed();
    auto* rec = new KxDbTestRecord();
    AcDbObjectId id;
    ASSERT_EQ(db.addAcDbObject(id, rec), Acad::eOk);
    EXPECT_FALSE(id.isNull());
    EXPECT_EQ(rec->objectId(), id);
    EXPECT_EQ(rec->database(), &db);
    EXPECT_EQ(rec->handle(), seed);
    EXPECT_EQ(id.handle(), seed);
    EXPECT_EQ(id.database(), &db);
    EXPECT_TRUE(id.isValid());
    EXPECT_TRUE(rec->isWriteEnabled());
    EXPECT_TRUE(rec->isNewObject());
    EXPECT_TRUE(db.handseed().value() > seed.value());
    ASSERT_EQ(reactor.appended.size(), 1u);
    EXPECT_EQ(reactor.appended[0], id);

    AcDbObjectId again;
    EXPECT_EQ(db.addAcDbObject(again, rec), Acad::eAlreadyInDb);
    EXPECT_EQ(other.addAcDbObject(again, rec), Acad::eWrongDatabase);
    EXPECT_EQ(db.addAcDbObject(again, nullptr), Acad::eNullObjectPointer);
    EXPECT_EQ(rec->close(), Acad::eOk);
    EXPECT_FALSE(rec->isNewObject());
    EXPECT_EQ(rec->close(), Acad::eUnmatchedClose);

    AcDbObjectId found;
    ASSERT_EQ(db.getAcDbObjectId(found, false, seed), Acad::eOk);
    EXPECT_EQ(found, id);
    EXPECT_EQ(other.getAcDbObjectId(found, false, AcDbHandle(0xFFFF)), Acad::eUnknownHandle);
    EXPECT_TRUE(found.isNull());
    EXPECT_EQ(db.getAcDbObjectId(found, true, AcDbHandle()), Acad::eNullHandle);
    db.removeReactor(&reactor);
}

TEST_F(DatabaseTest, IdsAreNeverReusedAcrossDatabases) {
    AcDbObjectId first;
    {
        AcDbDatabase db(false, true);
        first = addRecord(db);
    }
    AcDbDatabase db(false, true);
    const AcDbObjectId second = addRecord(db);
    EXPECT_NE(first, second);
    EXPECT_FALSE(first.isValid());
    EXPECT_TRUE(first.handle().isNull());
    // Handles restart in every drawing, ids do not.
    AcDbDatabase third(false, true);
    const AcDbObjectId inThird = addRecord(third);
    EXPECT_EQ(inThird.handle(), second.handle());
    EXPECT_NE(inThird, second);
}

// Ids of two drawings interleave in the process-wide table; each resolves to its own object for
// as long as its drawing lives, whatever the other drawing does.
TEST_F(DatabaseTest, IdsResolveToTheirObjectsOnlyWhileTheirDatabaseLives) {
    AcDbDatabase kept(false, true);
    AcDbObjectIdArray keptIds;
    AcDbObjectIdArray goneIds;
    {
        AcDbDatabase gone(false, true);
        // Enough objects that the ids spread over many stretches of the table.
        for (int i = 0; i < 6000; ++i) {
            keptIds.append(addRecord(kept));
            goneIds.append(addRecord(gone));
        }
        for (int i = 0; i < goneIds.length(); i += 997) {
            ASSERT_TRUE(goneIds[i].isValid());
            EXPECT_EQ(goneIds[i].database(), &gone);
        }
    }
    for (int i = 0; i < goneIds.length(); ++i) {
        ASSERT_FALSE(goneIds[i].isValid()) << i;
        ASSERT_EQ(goneIds[i].database(), nullptr) << i;
    }
    for (int i = 0; i < keptIds.length(); ++i) {
        AcDbObject* obj = nullptr;
        ASSERT_EQ(acdbOpenAcDbObject(obj, keptIds[i], AcDb::kForRead), Acad::eOk) << i;
        EXPECT_EQ(obj->objectId(), keptIds[i]);
        EXPECT_EQ(obj->database(), &kept);
        obj->close();
    }
    // Values that were never handed out as ids resolve to nothing: a handle mistaken for an id,
    // the next id to come, and negative values.
    AcDbObjectId stray;
    for (const Adesk::Int64 raw : {Adesk::Int64{0x2A}, keptIds.last().asOldId() + 1000000,
                                   Adesk::Int64{-1}, Adesk::Int64{-0x100000}}) {
        stray.setFromOldId(raw);
        EXPECT_FALSE(stray.isValid()) << raw;
        AcDbObject* obj = nullptr;
        EXPECT_EQ(acdbOpenAcDbObject(obj, stray, AcDb::kForRead), Acad::eUnknownHandle) << raw;
    }
    // Objects erased and deleted one by one leave their neighbours resolvable.
    for (int i = 0; i < 300; ++i) {
        AcDbObject* obj = nullptr;
        ASSERT_EQ(acdbOpenAcDbObject(obj, keptIds[i], AcDb::kForWrite), Acad::eOk);
        delete obj;
        EXPECT_FALSE(keptIds[i].isValid());
    }
    EXPECT_TRUE(keptIds[300].isValid());
    EXPECT_TRUE(addRecord(kept).isValid());
}

TEST_F(DatabaseTest, AssignedHandlesAreKeptAndTheSeedStaysAboveThem) {
    AcDbDatabase db(false, true);
    auto* rec = new KxDbTestRecord();
    ASSERT_EQ(kxhost::assignHandle(rec, AcDbHandle(0x500)), Acad::eOk);
    AcDbObjectId id;
    ASSERT_EQ(db.addAcDbObject(id, rec), Acad::eOk);
    EXPECT_EQ(rec->handle(), AcDbHandle(0x500));
    EXPECT_EQ(kxhost::assignHandle(rec, AcDbHandle(0x600)), Acad::eAlreadyInDb);
    rec->close();
    EXPECT_GT(db.handseed().value(), 0x500u);
    const AcDbObjectId next = addRecord(db);
    EXPECT_GT(next.handle().value(), 0x500u);

    auto* clash = new KxDbTestRecord();
    ASSERT_EQ(kxhost::assignHandle(clash, AcDbHandle(0x500)), Acad::eOk);
    AcDbObjectId clashId;
    EXPECT_EQ(db.addAcDbObject(clashId, clash), Acad::eHandleInUse);
    EXPECT_EQ(clash->database(), nullptr);
    delete clash;

    EXPECT_EQ(db.setHandseed(AcDbHandle(0x400)), Acad::eInvalidInput);
    EXPECT_EQ(db.setHandseed(AcDbHandle(0x9000)), Acad::eOk);
    EXPECT_EQ(addRecord(db).handle(), AcDbHandle(0x9000));
}

TEST_F(DatabaseTest, ForwardReferencesReserveTheIdTheObjectLaterGets) {
    AcDbDatabase db(false, true);
    AcDbObjectId reserved;
    ASSERT_EQ(db.getAcDbObjectId(reserved, true, AcDbHandle(L"2A0")), Acad::eOk);
    EXPECT_FALSE(reserved.isNull());
    EXPECT_FALSE(reserved.isValid());  // nothing there yet
    EXPECT_EQ(reserved.database(), &db);
    EXPECT_GT(db.handseed().value(), 0x2A0u);
    AcDbObject* obj = nullptr;
    EXPECT_EQ(acdbOpenAcDbObject(obj, reserved, AcDb::kForRead), Acad::eUnknownHandle);

    auto* rec = new KxDbTestRecord();
    kxhost::assignHandle(rec, AcDbHandle(0x2A0));
    AcDbObjectId id;
    ASSERT_EQ(db.addAcDbObject(id, rec), Acad::eOk);
    rec->close();
    EXPECT_EQ(id, reserved);
    EXPECT_TRUE(reserved.isValid());
}

TEST_F(DatabaseTest, HandlesReadAndPrintAsHexadecimal) {
    EXPECT_EQ(AcDbHandle(L"1f").value(), 0x1Fu);
    EXPECT_EQ(AcDbHandle(0x1F).getIntoAsciiBuffer(), AcString(L"1F"));
    EXPECT_EQ(AcDbHandle().getIntoAsciiBuffer(), AcString(L"0"));
    EXPECT_TRUE(AcDbHandle(L"12G").isNull());
    EXPECT_TRUE(AcDbHandle(L"").isNull());
    EXPECT_EQ(AcDbHandle(L"00000000000000000FFFFFFFFFFFFFFF").value(), 0xFFFFFFFFFFFFFFFu);
    EXPECT_TRUE(AcDbHandle(L"1FFFFFFFFFFFFFFFF").isNull());  // 17 digits do not fit
}

// Removes itself when told goodbye, as a reactor whose owner goes away would.
struct SelfRemovingReactor : public RecordingDbReactor {
    void goodbye(const AcDbDatabase* db) override {
        RecordingDbReactor::goodbye(db);
        db->removeReactor(this);
    }
};

TEST_F(DatabaseTest, DestructionSaysGoodbyeThenDeletesEveryObject) {
    // The class system and the system registry allocate once, on first use.
    { AcDbDatabase warmUp(true, true); }
    const long before = kxhost::heapLiveBlocks();
    SelfRemovingReactor leaving;
    RecordingDbReactor staying;
    RecordingDbReactor alsoStaying;
    RecordingObjectReactor objReactor;
    AcDbObjectId stillOpen;
    AcDbObjectId closed;
    {
        auto* db = new AcDbDatabase(true, true);
        db->addReactor(&leaving);
        db->addReactor(&staying);
        db->addReactor(&alsoStaying);
        closed = addRecord(*db);
        KxDbTestRecord* rec = nullptr;
        ASSERT_EQ(acdbOpenObject(rec, closed, AcDb::kForRead), Acad::eOk);
        rec->addReactor(&objReactor);
        rec->close();
        auto* open = new KxDbTestRecord();
        ASSERT_EQ(db->addAcDbObject(stillOpen, open), Acad::eOk);  // never closed
        AcDbObjectId xid;
        auto* xrec = new AcDbXrecord();
        db->addAcDbObject(xid, xrec);
        xrec->setXData(dbtest::Chain(acutBuildList(1001, L"KXTEST", 1000, L"v", 0)).head);
        xrec->close();
        delete db;
    }
    EXPECT_EQ(leaving.goodbyes, 1);
    // Every reactor hears it exactly once although the list changed under the notification.
    EXPECT_EQ(staying.goodbyes, 1);
    EXPECT_EQ(alsoStaying.goodbyes, 1);
    EXPECT_EQ(staying.events.back(), L"goodbye");
    EXPECT_EQ(objReactor.count(L"goodbye"), 1);
    EXPECT_FALSE(stillOpen.isValid());
    EXPECT_FALSE(closed.isValid());
    EXPECT_EQ(kxhost::heapLiveBlocks(), before);
}

TEST_F(DatabaseTest, ADocumentDatabaseBecomesWorkingWhenThereIsNone) {
    AcDbHostApplicationServices* services = acdbHostApplicationServices();
    AcDbDatabase* previous = services->workingDatabase();
    services->setWorkingDatabase(nullptr);
    {
        AcDbDatabase document;
        EXPECT_EQ(services->workingDatabase(), &document);
        AcDbDatabase scratch(true, true);
        EXPECT_EQ(services->workingDatabase(), &document);
        AcDbDatabase second;
        EXPECT_EQ(services->workingDatabase(), &document);
    }
    EXPECT_EQ(services->workingDatabase(), nullptr);
    services->setWorkingDatabase(previous);
}

TEST_F(DatabaseTest, DeletingAResidentObjectDirectlyTakesItOutOfTheDatabase) {
    AcDbDatabase db(false, true);
    auto* rec = new KxDbTestRecord();
    AcDbObjectId id;
    ASSERT_EQ(db.addAcDbObject(id, rec), Acad::eOk);
    const AcDbHandle handle = rec->handle();
    delete rec;
    EXPECT_FALSE(id.isValid());
    AcDbObjectId found;
    EXPECT_EQ(db.getAcDbObjectId(found, false, handle), Acad::eUnknownHandle);
    EXPECT_EQ(kxhost::objectCount(&db), 2);
}

TEST_F(DatabaseTest, ObjectIdsListsObjectsInHandleOrder) {
    AcDbDatabase db(false, true);
    ASSERT_EQ(db.setHandseed(AcDbHandle(0x50)), Acad::eOk);
    const AcDbObjectId added = addRecord(db);  // takes 0x50 from the seed
    // A free handle below the seed may still be assigned (as the file reader does).
    auto* low = new KxDbTestRecord();
    kxhost::assignHandle(low, AcDbHandle(0x20));
    AcDbObjectId lowId;
    ASSERT_EQ(db.addAcDbObject(lowId, low), Acad::eOk);
    low->close();
    EXPECT_EQ(db.handseed(), AcDbHandle(0x51));
    const AcDbObjectIdArray ids = kxhost::objectIds(&db);
    ASSERT_EQ(ids.length(), 4);
    EXPECT_EQ(ids[0], db.namedObjectsDictionaryId());
    EXPECT_EQ(ids[1], db.regAppTableId());
    EXPECT_EQ(ids[2], lowId);
    EXPECT_EQ(ids[3], added);
}

}  // namespace
