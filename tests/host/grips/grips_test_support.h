// Shared pieces of the grip suites: a drawing with a block holding one line, a reference to it,
// an open holder, an overrule registration that undoes itself, and the open-protocol checks
// every test ends with.
#pragma once

#include <gtest/gtest.h>

#include "host/db/blocktable.h"
#include "host/db/blocktablerecord.h"
#include "host/db/database.h"
#include "host/db/objectstate.h"
#include "host/entities/blockref.h"
#include "host/entities/line.h"
#include "host/grips/gripoverrule.h"

namespace griptest {

template <class T>
struct Open {
    Open(AcDbObjectId id, AcDb::OpenMode mode) { status = acdbOpenObject(obj, id, mode); }
    ~Open() {
        if (obj != nullptr) {
            obj->close();
        }
    }
    Open(const Open&) = delete;
    Open& operator=(const Open&) = delete;
    T* operator->() const { return obj; }
    T* obj = nullptr;
    Acad::ErrorStatus status = Acad::eOk;
};

class OverruleScope {
  public:
    OverruleScope(AcRxClass* cls, AcRxOverrule* overrule) : m_cls(cls), m_overrule(overrule) {
        EXPECT_EQ(AcRxOverrule::addOverrule(cls, overrule), Acad::eOk);
    }
    ~OverruleScope() { AcRxOverrule::removeOverrule(m_cls, m_overrule); }
    OverruleScope(const OverruleScope&) = delete;
    OverruleScope& operator=(const OverruleScope&) = delete;

  private:
    AcRxClass* m_cls;
    AcRxOverrule* m_overrule;
};

inline ::testing::AssertionResult samePoint(const AcGePoint3d& e, const AcGePoint3d& a,
                                            double tol = 1e-9) {
    if (e.distanceTo(a) <= tol) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "expected (" << e.x << ", " << e.y << ", " << e.z
                                         << ") got (" << a.x << ", " << a.y << ", " << a.z << ")";
}

class GripTest : public ::testing::Test {
  protected:
    void SetUp() override {
        kxhost::setStrictOpens(false);
        kxhost::resetAssertionViolations();
        kxhost::resetUnmatchedCloses();
        AcDbBlockTable* table = nullptr;
        ASSERT_EQ(db.getBlockTable(table, AcDb::kForWrite), Acad::eOk);
        auto* rec = new AcDbBlockTableRecord();
        rec->setName(L"PART");
        ASSERT_EQ(table->add(block, rec), Acad::eOk);
        rec->close();
        table->close();
        append(new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 0, 0)), block);
        ref = append(new AcDbBlockReference(kInsert, block));
    }
    void TearDown() override {
        EXPECT_EQ(kxhost::assertionViolations(), 0);
        EXPECT_EQ(kxhost::unmatchedCloses(), 0);
        for (const AcDbObjectId& id : kxhost::objectIds(&db)) {
            const AcDbObject* obj = kxhost::detail::residentObject(id);
            EXPECT_TRUE(obj == nullptr || obj->hostState()->opens.empty())
                << "left open: " << AcString(obj->isA()->name()).utf8();
        }
    }
    AcDbObjectId append(AcDbEntity* ent, AcDbObjectId owner = AcDbObjectId::kNull) {
        Open<AcDbBlockTableRecord> rec(owner.isNull() ? db.modelSpaceId() : owner, AcDb::kForWrite);
        EXPECT_EQ(rec.status, Acad::eOk);
        AcDbObjectId id;
        EXPECT_EQ(rec->appendAcDbEntity(id, ent), Acad::eOk);
        ent->close();
        return id;
    }
    AcGePoint3d position() {
        Open<AcDbBlockReference> r(ref, AcDb::kForRead);
        EXPECT_EQ(r.status, Acad::eOk);
        return r.obj != nullptr ? r->position() : AcGePoint3d();
    }

    const AcGePoint3d kInsert{10.0, 20.0, 0.0};
    AcDbDatabase db{true, true};
    AcDbObjectId block;
    AcDbObjectId ref;
};

}  // namespace griptest
