// Shared pieces of the regeneration suites: a drawing with the default tables and helpers to
// fill it, an open holder, an overrule registration that undoes itself, and point comparisons.
#pragma once

#include <gtest/gtest.h>

#include "host/db/blocktable.h"
#include "host/db/blocktablerecord.h"
#include "host/db/database.h"
#include "host/entities/blockref.h"
#include "host/entities/entity.h"
#include "host/gi/drawable.h"
#include "host/gi/recording.h"
#include "host/testing/regen.h"

namespace regentest {

// Closes what it holds when it goes.
template <class T>
struct Open {
    Open(AcDbObjectId id, AcDb::OpenMode mode) { status = acdbOpenObject(obj, id, mode); }
    ~Open() { reset(); }
    Open(const Open&) = delete;
    Open& operator=(const Open&) = delete;
    void reset() {
        if (obj != nullptr) {
            obj->close();
            obj = nullptr;
        }
    }
    T* operator->() const { return obj; }
    T* obj = nullptr;
    Acad::ErrorStatus status = Acad::eOk;
};

// An overrule registered on a class for the life of the holder.
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

::testing::AssertionResult samePoint(const AcGePoint3d& expected, const AcGePoint3d& actual,
                                     double tol = 1e-9);
::testing::AssertionResult samePoints(const std::vector<AcGePoint3d>& expected,
                                      const std::vector<AcGePoint3d>& actual, double tol = 1e-9);

// Every test starts with the default open rule and fresh counters, and checks at the end that
// nothing was left open, closed twice or changed without write access.
class RegenTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Appends to model space (or the given block) and closes; the id of the entity.
    AcDbObjectId append(AcDbEntity* ent, AcDbObjectId block = AcDbObjectId::kNull);
    // A new block with that name and origin, added to the block table and closed.
    AcDbObjectId addBlock(const ACHAR* name, const AcGePoint3d& origin = AcGePoint3d::kOrigin);
    // A reference with the given frame, appended to `owner` (model space when null).
    AcDbObjectId addReference(AcDbObjectId block, const AcGePoint3d& position, double rotation,
                              const AcGeScale3d& scale, AcDbObjectId owner = AcDbObjectId::kNull);
    void erase(AcDbObjectId id);
    AcDbObjectId modelSpace() const { return db.modelSpaceId(); }

    AcDbDatabase db{true, true};
};

// The transform of a reference built from its parts, independently of the reference's own
// blockTransform: position . rotation about Z . scaling . minus the block origin.
AcGeMatrix3d frame(const AcGePoint3d& position, double rotation, const AcGeScale3d& scale,
                   const AcGePoint3d& blockOrigin);

std::vector<AcGePoint3d> mapped(const AcGeMatrix3d& m, const std::vector<AcGePoint3d>& pts);

}  // namespace regentest
