// Shared pieces of the database suites: a module-style object class with fields of its own, a
// second class to copy between, reactors that record what they are told, and chain helpers.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/core/resbuf.h"
#include "host/db/database.h"
#include "host/db/dbobject.h"
#include "host/db/proxy.h"
#include "host/ge/point3d.h"

// Files a field of each common kind after the base object's fields, as a plug-in class does.
class KxDbTestRecord : public AcDbObject {
  public:
    ACRX_DECLARE_MEMBERS(KxDbTestRecord);

    Adesk::Int32 count() const {
        assertReadEnabled();
        return m_count;
    }
    void setCount(Adesk::Int32 v) {
        assertWriteEnabled();
        m_count = v;
    }
    double scale() const { return m_scale; }
    void setScale(double v) {
        assertWriteEnabled();
        m_scale = v;
    }
    const AcString& label() const { return m_label; }
    void setLabel(const ACHAR* v) {
        assertWriteEnabled();
        m_label = AcString(v);
    }
    AcGePoint3d where() const { return m_where; }
    void setWhere(const AcGePoint3d& v) {
        assertWriteEnabled();
        m_where = v;
    }
    AcDbObjectId ref() const { return m_ref; }
    void setRef(AcDbObjectId v) {
        assertWriteEnabled();
        m_ref = v;
    }

    Acad::ErrorStatus dwgOutFields(AcDbDwgFiler* filer) const override;
    Acad::ErrorStatus dwgInFields(AcDbDwgFiler* filer) override;

    // What the object heard as a persistent reactor of others.
    void modified(const AcDbObject* obj) override { modifiedSeen.push_back(obj->objectId()); }
    void erased(const AcDbObject* obj, Adesk::Boolean erasing) override {
        erasedSeen.push_back(erasing);
    }
    std::vector<AcDbObjectId> modifiedSeen;
    std::vector<bool> erasedSeen;

  private:
    Adesk::Int32 m_count = 0;
    double m_scale = 1.0;
    AcString m_label;
    AcGePoint3d m_where;
    AcDbObjectId m_ref;
};

// Another instantiable class, for copies across classes.
class KxDbOtherRecord : public AcDbObject {
  public:
    ACRX_DECLARE_MEMBERS(KxDbOtherRecord);
};

// A class derived from the proxy class counts as a proxy as well.
class KxDbProxyChild : public AcDbProxyObject {
  public:
    ACRX_DECLARE_MEMBERS(KxDbProxyChild);
};

struct RecordingObjectReactor : public AcDbObjectReactor {
    std::vector<std::wstring> events;
    void erased(const AcDbObject*, Adesk::Boolean erasing) override {
        events.push_back(erasing ? L"erased" : L"unerased");
    }
    void modified(const AcDbObject*) override { events.push_back(L"modified"); }
    void goodbye(const AcDbObject*) override { events.push_back(L"goodbye"); }
    void openedForModify(const AcDbObject*) override { events.push_back(L"openedForModify"); }
    void objectClosed(const AcDbObjectId) override { events.push_back(L"closed"); }
    int count(const std::wstring& what) const {
        int n = 0;
        for (const auto& e : events) {
            n += e == what ? 1 : 0;
        }
        return n;
    }
};

struct RecordingDbReactor : public AcDbDatabaseReactor {
    std::vector<std::wstring> events;
    std::vector<AcDbObjectId> appended;
    int goodbyes = 0;
    void objectAppended(const AcDbDatabase*, const AcDbObject* obj) override {
        events.push_back(L"appended");
        appended.push_back(obj->objectId());
    }
    void objectModified(const AcDbDatabase*, const AcDbObject*) override {
        events.push_back(L"modified");
    }
    void objectErased(const AcDbDatabase*, const AcDbObject*, Adesk::Boolean erasing) override {
        events.push_back(erasing ? L"erased" : L"unerased");
    }
    void goodbye(const AcDbDatabase*) override {
        events.push_back(L"goodbye");
        ++goodbyes;
    }
};

// Every suite starts with the default open rule and fresh counters, and leaves the default rule
// behind whatever happens.
class DbTest : public ::testing::Test {
  protected:
    void SetUp() override {
        kxhost::setStrictOpens(false);
        kxhost::resetAssertionViolations();
        kxhost::resetUnmatchedCloses();
    }
    void TearDown() override { kxhost::setStrictOpens(false); }

    // Adds a new record and closes it.
    static AcDbObjectId addRecord(AcDbDatabase& db, Adesk::Int32 count = 0);
};

namespace dbtest {

AcDbObjectId idOf(Adesk::Int64 raw);
// Compares two chains item by item: code, then the value of the code's kind.
::testing::AssertionResult sameChain(const resbuf* expected, const resbuf* actual);
int chainLength(const resbuf* rb);
// A chain owned by the test: released when the holder goes.
struct Chain {
    explicit Chain(resbuf* rb = nullptr) : head(rb) {}
    ~Chain() { acutRelRb(head); }
    Chain(const Chain&) = delete;
    Chain& operator=(const Chain&) = delete;
    void reset(resbuf* rb) {
        acutRelRb(head);
        head = rb;
    }
    resbuf* head;
};

}  // namespace dbtest
