#include <gtest/gtest.h>

#include <algorithm>

#include "host/db/database.h"
#include "host/db/dictionary.h"
#include "host/db/xrecord.h"
#include "tests/host/db/db_test_support.h"

namespace {

using dbtest::idOf;

class OpenProtocolTest : public DbTest {
  protected:
    AcDbDatabase db{true, true};
};

TEST_F(OpenProtocolTest, OpenFailuresReportTheirStatusAndHandOutNothing) {
    AcDbObject* obj = reinterpret_cast<AcDbObject*>(0x1);
    EXPECT_EQ(acdbOpenAcDbObject(obj, AcDbObjectId::kNull, AcDb::kForRead), Acad::eNullObjectId);
    EXPECT_EQ(obj, nullptr);

    obj = reinterpret_cast<AcDbObject*>(0x1);
    EXPECT_EQ(acdbOpenAcDbObject(obj, idOf(0x7FFFFFFFFFFF), AcDb::kForRead), Acad::eUnknownHandle);
    EXPECT_EQ(obj, nullptr);

    const AcDbObjectId id = addRecord(db);
    EXPECT_EQ(acdbOpenAcDbObject(obj, id, static_cast<AcDb::OpenMode>(7)), Acad::eInvalidInput);
    EXPECT_EQ(obj, nullptr);

    // An id whose database is gone names nothing any more.
    AcDbObjectId gone;
    {
        AcDbDatabase other(false, true);
        gone = addRecord(other);
        ASSERT_TRUE(gone.isValid());
    }
    EXPECT_FALSE(gone.isValid());
    EXPECT_EQ(gone.database(), nullptr);
    EXPECT_EQ(acdbOpenAcDbObject(obj, gone, AcDb::kForRead), Acad::eUnknownHandle);
}

TEST_F(OpenProtocolTest, NestedOpensShareOneObjectAndCountTheirCloses) {
    const AcDbObjectId id = addRecord(db);
    AcDbObject* outer = nullptr;
    AcDbObject* inner = nullptr;
    AcDbObject* reader = nullptr;
    AcDbObject* notifier = nullptr;
    ASSERT_EQ(acdbOpenAcDbObject(outer, id, AcDb::kForWrite), Acad::eOk);

    // Write inside write is re-entrant.
    ASSERT_EQ(acdbOpenAcDbObject(inner, id, AcDb::kForWrite), Acad::eOk);
    EXPECT_EQ(inner, outer);
    // Read and notify inside write nest as well; the object stays write-enabled.
    ASSERT_EQ(acdbOpenAcDbObject(reader, id, AcDb::kForRead), Acad::eOk);
    ASSERT_EQ(acdbOpenAcDbObject(notifier, id, AcDb::kForNotify), Acad::eOk);
    EXPECT_EQ(reader, outer);
    EXPECT_EQ(notifier, outer);
    EXPECT_TRUE(outer->isWriteEnabled());

    EXPECT_EQ(notifier->close(), Acad::eOk);
    EXPECT_EQ(reader->close(), Acad::eOk);
    EXPECT_EQ(inner->close(), Acad::eOk);
    // The enclosing writer still holds it.
    EXPECT_TRUE(outer->isWriteEnabled());
    static_cast<KxDbTestRecord*>(outer)->setCount(5);
    EXPECT_EQ(kxhost::assertionViolations(), 0);
    EXPECT_EQ(outer->close(), Acad::eOk);

    // Closed for good: nothing is enabled and the next close matches no open.
    EXPECT_FALSE(outer->isReadEnabled());
    EXPECT_FALSE(outer->isWriteEnabled());
    EXPECT_FALSE(outer->isNotifyEnabled());
    EXPECT_EQ(outer->close(), Acad::eUnmatchedClose);
    EXPECT_EQ(kxhost::unmatchedCloses(), 1);
    EXPECT_EQ(kxhost::assertionViolations(), 0);
}

TEST_F(OpenProtocolTest, WriteWhileReadersHoldTheObjectEnablesWritingForAll) {
    const AcDbObjectId id = addRecord(db);
    AcDbObject* reader = nullptr;
    AcDbObject* writer = nullptr;
    ASSERT_EQ(acdbOpenAcDbObject(reader, id, AcDb::kForRead), Acad::eOk);
    EXPECT_FALSE(reader->isWriteEnabled());
    ASSERT_EQ(acdbOpenAcDbObject(writer, id, AcDb::kForWrite), Acad::eOk);
    EXPECT_TRUE(reader->isWriteEnabled());
    EXPECT_EQ(writer->close(), Acad::eOk);
    // Back to the reader alone.
    EXPECT_FALSE(reader->isWriteEnabled());
    EXPECT_TRUE(reader->isReadEnabled());
    EXPECT_EQ(reader->erase(), Acad::eNotOpenForWrite);
    EXPECT_EQ(reader->close(), Acad::eOk);
}

TEST_F(OpenProtocolTest, StrictModeRefusesConflictingOpens) {
    const AcDbObjectId id = addRecord(db);
    kxhost::setStrictOpens(true);
    AcDbObject* first = nullptr;
    AcDbObject* second = nullptr;

    ASSERT_EQ(acdbOpenAcDbObject(first, id, AcDb::kForWrite), Acad::eOk);
    EXPECT_EQ(acdbOpenAcDbObject(second, id, AcDb::kForRead), Acad::eWasOpenForWrite);
    EXPECT_EQ(second, nullptr);
    EXPECT_EQ(acdbOpenAcDbObject(second, id, AcDb::kForWrite), Acad::eWasOpenForWrite);
    // Notify opens conflict with nothing.
    ASSERT_EQ(acdbOpenAcDbObject(second, id, AcDb::kForNotify), Acad::eOk);
    EXPECT_EQ(second->close(), Acad::eOk);
    EXPECT_EQ(first->close(), Acad::eOk);

    ASSERT_EQ(acdbOpenAcDbObject(first, id, AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(acdbOpenAcDbObject(second, id, AcDb::kForWrite), Acad::eWasOpenForRead);
    // Readers do not conflict with each other.
    ASSERT_EQ(acdbOpenAcDbObject(second, id, AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(second->close(), Acad::eOk);
    EXPECT_EQ(first->close(), Acad::eOk);

    // Nothing was left open by the refusals.
    ASSERT_EQ(acdbOpenAcDbObject(first, id, AcDb::kForWrite), Acad::eOk);
    EXPECT_EQ(first->close(), Acad::eOk);
    EXPECT_EQ(first->close(), Acad::eUnmatchedClose);
}

TEST_F(OpenProtocolTest, OpenerDowngradedToNotifyBlocksNobody) {
    const AcDbObjectId id = addRecord(db);
    kxhost::setStrictOpens(true);
    AcDbObject* writer = nullptr;
    AcDbObject* other = nullptr;
    ASSERT_EQ(acdbOpenAcDbObject(writer, id, AcDb::kForWrite), Acad::eOk);
    ASSERT_EQ(writer->downgradeToNotify(false), Acad::eOk);
    EXPECT_FALSE(writer->isWriteEnabled());
    EXPECT_TRUE(writer->isNotifyEnabled());
    ASSERT_EQ(acdbOpenAcDbObject(other, id, AcDb::kForWrite), Acad::eOk);
    EXPECT_EQ(other->close(), Acad::eOk);
    EXPECT_EQ(writer->close(), Acad::eOk);
}

TEST_F(OpenProtocolTest, UpgradeAndDowngradeChangeTheOpenForReal) {
    const AcDbObjectId id = addRecord(db);
    AcDbObject* obj = nullptr;
    ASSERT_EQ(acdbOpenAcDbObject(obj, id, AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(obj->downgradeOpen(), Acad::eWasOpenForRead);
    ASSERT_EQ(obj->upgradeOpen(), Acad::eOk);
    EXPECT_TRUE(obj->isWriteEnabled());
    EXPECT_EQ(obj->upgradeOpen(), Acad::eWasOpenForWrite);
    auto* rec = static_cast<KxDbTestRecord*>(obj);
    rec->setCount(3);
    ASSERT_EQ(obj->downgradeOpen(), Acad::eOk);
    EXPECT_FALSE(obj->isWriteEnabled());
    EXPECT_TRUE(obj->isReadEnabled());
    rec->setCount(4);
    EXPECT_EQ(kxhost::assertionViolations(), 1);
    EXPECT_EQ(obj->close(), Acad::eOk);
    // Each state change kept one record: one close matched it.
    EXPECT_EQ(obj->close(), Acad::eUnmatchedClose);
    EXPECT_EQ(obj->upgradeOpen(), Acad::eInvalidOpenState);
}

TEST_F(OpenProtocolTest, UpgradeWithOtherReadersDependsOnTheRule) {
    const AcDbObjectId id = addRecord(db);
    AcDbObject* a = nullptr;
    AcDbObject* b = nullptr;
    ASSERT_EQ(acdbOpenAcDbObject(a, id, AcDb::kForRead), Acad::eOk);
    ASSERT_EQ(acdbOpenAcDbObject(b, id, AcDb::kForRead), Acad::eOk);
    kxhost::setStrictOpens(true);
    EXPECT_EQ(b->upgradeOpen(), Acad::eHadMultipleReaders);
    EXPECT_FALSE(b->isWriteEnabled());
    kxhost::setStrictOpens(false);
    EXPECT_EQ(b->upgradeOpen(), Acad::eOk);
    EXPECT_TRUE(a->isWriteEnabled());
    EXPECT_EQ(b->close(), Acad::eOk);
    EXPECT_FALSE(a->isWriteEnabled());
    EXPECT_EQ(a->close(), Acad::eOk);
}

TEST_F(OpenProtocolTest, NotifyRoundTripsRestoreTheOpenTheyFound) {
    const AcDbObjectId id = addRecord(db);
    AcDbObject* obj = nullptr;
    ASSERT_EQ(acdbOpenAcDbObject(obj, id, AcDb::kForNotify), Acad::eOk);
    EXPECT_FALSE(obj->isWriteEnabled());
    EXPECT_FALSE(obj->isReadEnabled());
    EXPECT_TRUE(obj->isNotifyEnabled());
    Adesk::Boolean wasWritable = true;
    ASSERT_EQ(obj->upgradeFromNotify(wasWritable), Acad::eOk);
    EXPECT_FALSE(wasWritable);
    EXPECT_TRUE(obj->isWriteEnabled());
    static_cast<KxDbTestRecord*>(obj)->setCount(9);
    ASSERT_EQ(obj->downgradeToNotify(wasWritable), Acad::eOk);
    EXPECT_FALSE(obj->isWriteEnabled());
    EXPECT_TRUE(obj->isNotifyEnabled());
    EXPECT_EQ(obj->close(), Acad::eOk);

    // On an object already open for write the pair changes nothing.
    ASSERT_EQ(acdbOpenAcDbObject(obj, id, AcDb::kForWrite), Acad::eOk);
    ASSERT_EQ(obj->upgradeFromNotify(wasWritable), Acad::eOk);
    EXPECT_TRUE(wasWritable);
    ASSERT_EQ(obj->downgradeToNotify(wasWritable), Acad::eOk);
    EXPECT_TRUE(obj->isWriteEnabled());
    EXPECT_EQ(static_cast<KxDbTestRecord*>(obj)->count(), 9);
    EXPECT_EQ(obj->close(), Acad::eOk);
    EXPECT_EQ(kxhost::assertionViolations(), 0);
}

TEST_F(OpenProtocolTest, ErasedObjectsOpenOnlyWhenAskedFor) {
    const AcDbObjectId id = addRecord(db);
    RecordingObjectReactor objReactor;
    RecordingDbReactor dbReactor;
    db.addReactor(&dbReactor);
    AcDbObject* obj = nullptr;
    ASSERT_EQ(acdbOpenAcDbObject(obj, id, AcDb::kForWrite), Acad::eOk);
    obj->addReactor(&objReactor);
    EXPECT_EQ(obj->erase(false), Acad::eWasNotErased);
    ASSERT_EQ(obj->erase(), Acad::eOk);
    EXPECT_EQ(obj->erase(), Acad::eWasErased);
    EXPECT_TRUE(obj->isErased());
    EXPECT_EQ(obj->close(), Acad::eOk);

    EXPECT_TRUE(id.isErased());
    EXPECT_TRUE(id.isValid());
    EXPECT_EQ(acdbOpenAcDbObject(obj, id, AcDb::kForRead), Acad::eWasErased);
    EXPECT_EQ(obj, nullptr);
    ASSERT_EQ(acdbOpenAcDbObject(obj, id, AcDb::kForWrite, true), Acad::eOk);
    ASSERT_EQ(obj->erase(false), Acad::eOk);
    EXPECT_EQ(obj->close(), Acad::eOk);
    EXPECT_FALSE(id.isErased());

    EXPECT_EQ(objReactor.count(L"erased"), 1);
    EXPECT_EQ(objReactor.count(L"unerased"), 1);
    EXPECT_EQ(std::count(dbReactor.events.begin(), dbReactor.events.end(), L"erased"), 1);
    EXPECT_EQ(std::count(dbReactor.events.begin(), dbReactor.events.end(), L"unerased"), 1);
    db.removeReactor(&dbReactor);
    ASSERT_EQ(acdbOpenAcDbObject(obj, id, AcDb::kForRead), Acad::eOk);
    obj->removeReactor(&objReactor);
    obj->close();
}

TEST_F(OpenProtocolTest, TypedOpenOfAnotherClassFailsAndLeavesNothingOpen) {
    const AcDbObjectId id = addRecord(db);
    kxhost::setStrictOpens(true);
    AcDbXrecord* xrec = reinterpret_cast<AcDbXrecord*>(0x1);
    EXPECT_EQ(acdbOpenObject(xrec, id, AcDb::kForRead), Acad::eNotThatKindOfClass);
    EXPECT_EQ(xrec, nullptr);
    // A strict write open succeeds only if the failed open closed what it opened.
    KxDbTestRecord* rec = nullptr;
    ASSERT_EQ(acdbOpenObject(rec, id, AcDb::kForWrite), Acad::eOk);
    EXPECT_EQ(rec->close(), Acad::eOk);
    EXPECT_EQ(kxhost::unmatchedCloses(), 0);
}

TEST_F(OpenProtocolTest, AssertionsCountViolationsAndRecordModification) {
    const AcDbObjectId id = addRecord(db);
    KxDbTestRecord* rec = nullptr;
    ASSERT_EQ(acdbOpenObject(rec, id, AcDb::kForRead), Acad::eOk);
    rec->assertReadEnabled();
    rec->assertNotifyEnabled();
    EXPECT_EQ(kxhost::assertionViolations(), 0);
    rec->assertWriteEnabled();
    EXPECT_EQ(kxhost::assertionViolations(), 1);
    EXPECT_FALSE(rec->isModified());
    rec->close();
    // Closed: even reading is a violation.
    rec->assertReadEnabled();
    rec->assertNotifyEnabled();
    EXPECT_EQ(kxhost::assertionViolations(), 3);

    ASSERT_EQ(acdbOpenObject(rec, id, AcDb::kForWrite), Acad::eOk);
    rec->assertWriteEnabled(true, false);
    EXPECT_FALSE(rec->isModified());
    rec->assertWriteEnabled();
    EXPECT_TRUE(rec->isModified());
    rec->close();
    EXPECT_EQ(kxhost::assertionViolations(), 3);
}

TEST_F(OpenProtocolTest, ObjectsOutsideADatabaseHaveNoOpenState) {
    KxDbTestRecord loose;
    EXPECT_TRUE(loose.isReadEnabled());
    EXPECT_TRUE(loose.isWriteEnabled());
    loose.assertReadEnabled();
    loose.setCount(2);
    EXPECT_EQ(kxhost::assertionViolations(), 0);
    EXPECT_EQ(loose.close(), Acad::eOk);
    EXPECT_EQ(loose.close(), Acad::eOk);
    EXPECT_EQ(kxhost::unmatchedCloses(), 0);
    // Closing did not destroy it.
    EXPECT_EQ(loose.count(), 2);
    EXPECT_EQ(loose.erase(), Acad::eNotInDatabase);
}

TEST_F(OpenProtocolTest, ReactorsHearOfAModificationWhenTheLastWriterCloses) {
    const AcDbObjectId id = addRecord(db);
    RecordingObjectReactor reactor;
    RecordingDbReactor dbReactor;
    db.addReactor(&dbReactor);
    KxDbTestRecord* rec = nullptr;
    ASSERT_EQ(acdbOpenObject(rec, id, AcDb::kForWrite), Acad::eOk);
    rec->addReactor(&reactor);
    KxDbTestRecord* inner = nullptr;
    ASSERT_EQ(acdbOpenObject(inner, id, AcDb::kForWrite), Acad::eOk);
    inner->setCount(1);
    inner->setCount(2);
    inner->close();
    EXPECT_EQ(reactor.count(L"modified"), 0);  // the outer writer still holds it
    EXPECT_EQ(reactor.count(L"openedForModify"), 1);
    rec->close();
    EXPECT_EQ(reactor.count(L"modified"), 1);
    EXPECT_EQ(reactor.count(L"closed"), 1);
    EXPECT_EQ(std::count(dbReactor.events.begin(), dbReactor.events.end(), L"modified"), 1);

    // A write session without changes announces nothing.
    ASSERT_EQ(acdbOpenObject(rec, id, AcDb::kForWrite), Acad::eOk);
    rec->close();
    EXPECT_EQ(reactor.count(L"modified"), 1);
    db.removeReactor(&dbReactor);
    ASSERT_EQ(acdbOpenObject(rec, id, AcDb::kForRead), Acad::eOk);
    rec->removeReactor(&reactor);
    rec->close();
}

TEST_F(OpenProtocolTest, PersistentReactorsAreToldThroughTheirOwnObject) {
    const AcDbObjectId watched = addRecord(db);
    const AcDbObjectId watcher = addRecord(db);
    KxDbTestRecord* rec = nullptr;
    ASSERT_EQ(acdbOpenObject(rec, watched, AcDb::kForRead), Acad::eOk);
    rec->addPersistentReactor(watcher);  // needs write
    EXPECT_EQ(kxhost::assertionViolations(), 1);
    EXPECT_FALSE(rec->hasPersistentReactor(watcher));
    ASSERT_EQ(rec->upgradeOpen(), Acad::eOk);
    rec->addPersistentReactor(watcher);
    EXPECT_TRUE(rec->hasPersistentReactor(watcher));
    rec->setCount(8);
    rec->close();
    ASSERT_EQ(acdbOpenObject(rec, watched, AcDb::kForWrite), Acad::eOk);
    rec->erase();
    rec->close();

    KxDbTestRecord* w = nullptr;
    ASSERT_EQ(acdbOpenObject(w, watcher, AcDb::kForRead), Acad::eOk);
    ASSERT_EQ(w->modifiedSeen.size(), 2u);  // the first session and the erasing one
    EXPECT_EQ(w->modifiedSeen[0], watched);
    ASSERT_EQ(w->erasedSeen.size(), 1u);
    EXPECT_TRUE(w->erasedSeen[0]);
    w->close();
}

}  // namespace
