// Reactors that attach or detach reactors while a notification is being sent: the reactors
// attached when it started and still attached when their turn comes hear it once; one detached
// meanwhile is not called, one attached meanwhile hears the next notification. Checked for a
// few reactors and for more than a handful, for object and database reactors alike.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "host/db/database.h"
#include "tests/host/db/db_test_support.h"

namespace {

// Counts what it hears; on the first modification it hears it may detach one reactor and
// attach another, on the object or on the database.
struct MeddlingReactor : public AcDbObjectReactor, public AcDbDatabaseReactor {
    int heard = 0;
    int closed = 0;
    int opened = 0;
    int dbModified = 0;
    AcDbObject* object = nullptr;
    AcDbDatabase* database = nullptr;
    MeddlingReactor* detach = nullptr;
    MeddlingReactor* attach = nullptr;

    void modified(const AcDbObject*) override {
        if (heard++ == 0 && object != nullptr) {
            if (detach != nullptr) {
                object->removeReactor(detach);
            }
            if (attach != nullptr) {
                object->addReactor(attach);
            }
        }
    }
    void openedForModify(const AcDbObject*) override { ++opened; }
    void objectClosed(const AcDbObjectId) override { ++closed; }
    void objectModified(const AcDbDatabase*, const AcDbObject*) override {
        if (dbModified++ == 0 && database != nullptr) {
            if (detach != nullptr) {
                database->removeReactor(detach);
            }
            if (attach != nullptr) {
                database->addReactor(attach);
            }
        }
    }
};

class NotificationTest : public DbTest, public ::testing::WithParamInterface<int> {
  protected:
    AcDbDatabase db{true, true};

    // One write session that changes the record.
    void change(const AcDbObjectId& id, int count) {
        KxDbTestRecord* rec = nullptr;
        ASSERT_EQ(acdbOpenObject(rec, id, AcDb::kForWrite), Acad::eOk);
        rec->setCount(count);
        rec->close();
    }
};

TEST_P(NotificationTest, ObjectReactorsChangedDuringANotification) {
    const int n = GetParam();
    const AcDbObjectId id = addRecord(db);
    std::vector<std::unique_ptr<MeddlingReactor>> reactors;
    for (int i = 0; i < n; ++i) {
        reactors.push_back(std::make_unique<MeddlingReactor>());
    }
    MeddlingReactor late;
    KxDbTestRecord* rec = nullptr;
    ASSERT_EQ(acdbOpenObject(rec, id, AcDb::kForWrite), Acad::eOk);
    for (auto& r : reactors) {
        rec->addReactor(r.get());
    }
    rec->close();
    for (auto& r : reactors) {
        r->closed = 0;
    }
    // The first detaches the last (not yet called) and attaches a new one.
    reactors.front()->object = rec;
    reactors.front()->detach = reactors.back().get();
    reactors.front()->attach = &late;

    change(id, 1);
    for (int i = 0; i + 1 < n; ++i) {
        EXPECT_EQ(reactors[i]->heard, 1) << i;
        EXPECT_EQ(reactors[i]->opened, 1) << i;
        EXPECT_EQ(reactors[i]->closed, 1) << i;
    }
    EXPECT_EQ(reactors.back()->heard, 0) << "detached before its turn";
    EXPECT_EQ(reactors.back()->closed, 0);
    EXPECT_EQ(late.heard, 0) << "attached during the notification";
    EXPECT_EQ(late.closed, 1) << "but attached when the object closed";

    change(id, 2);
    EXPECT_EQ(reactors.front()->heard, 2);
    EXPECT_EQ(reactors.back()->heard, 0);
    EXPECT_EQ(late.heard, 1);
    EXPECT_EQ(late.opened, 1);

    ASSERT_EQ(acdbOpenObject(rec, id, AcDb::kForWrite), Acad::eOk);
    for (auto& r : reactors) {
        rec->removeReactor(r.get());
    }
    rec->removeReactor(&late);
    rec->close();
}

TEST_P(NotificationTest, DatabaseReactorsChangedDuringANotification) {
    const int n = GetParam();
    const AcDbObjectId id = addRecord(db);
    std::vector<std::unique_ptr<MeddlingReactor>> reactors;
    for (int i = 0; i < n; ++i) {
        reactors.push_back(std::make_unique<MeddlingReactor>());
        db.addReactor(reactors.back().get());
    }
    MeddlingReactor late;
    // The second detaches the last, not yet called.
    MeddlingReactor* meddler = reactors[1].get();
    meddler->database = &db;
    meddler->detach = reactors[n - 1].get();
    meddler->attach = &late;

    change(id, 1);
    for (int i = 0; i < n; ++i) {
        EXPECT_EQ(reactors[i]->dbModified, i == n - 1 ? 0 : 1) << i;
    }
    EXPECT_EQ(late.dbModified, 0);
    change(id, 2);
    EXPECT_EQ(reactors[n - 1]->dbModified, 0);
    EXPECT_EQ(reactors[0]->dbModified, 2);
    EXPECT_EQ(late.dbModified, 1);

    for (auto& r : reactors) {
        db.removeReactor(r.get());
    }
    db.removeReactor(&late);
}

// Three reactors, and more than the host keeps on the stack while it notifies.
INSTANTIATE_TEST_SUITE_P(FewAndMany, NotificationTest, ::testing::Values(3, 8, 9, 20));

}  // namespace
