#include "tests/host/regen/regen_test_support.h"

#include "host/db/objectstate.h"

namespace regentest {

::testing::AssertionResult samePoint(const AcGePoint3d& e, const AcGePoint3d& a, double tol) {
    if (e.distanceTo(a) <= tol) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "expected (" << e.x << ", " << e.y << ", " << e.z
                                         << ") got (" << a.x << ", " << a.y << ", " << a.z << ")";
}

::testing::AssertionResult samePoints(const std::vector<AcGePoint3d>& e,
                                      const std::vector<AcGePoint3d>& a, double tol) {
    if (e.size() != a.size()) {
        return ::testing::AssertionFailure()
               << "expected " << e.size() << " points, got " << a.size();
    }
    for (size_t i = 0; i < e.size(); ++i) {
        ::testing::AssertionResult one = samePoint(e[i], a[i], tol);
        if (!one) {
            return ::testing::AssertionFailure() << "point " << i << ": " << one.message();
        }
    }
    return ::testing::AssertionSuccess();
}

void RegenTest::SetUp() {
    kxhost::setStrictOpens(false);
    kxhost::resetAssertionViolations();
    kxhost::resetUnmatchedCloses();
}

void RegenTest::TearDown() {
    kxhost::setStrictOpens(false);
    EXPECT_EQ(kxhost::assertionViolations(), 0);
    EXPECT_EQ(kxhost::unmatchedCloses(), 0);
    for (const AcDbObjectId& id : kxhost::objectIds(&db)) {
        const AcDbObject* obj = kxhost::detail::residentObject(id);
        EXPECT_TRUE(obj == nullptr || obj->hostState()->opens.empty())
            << "left open: " << AcString(obj->isA()->name()).utf8();
    }
}

AcDbObjectId RegenTest::append(AcDbEntity* ent, AcDbObjectId block) {
    Open<AcDbBlockTableRecord> rec(block.isNull() ? modelSpace() : block, AcDb::kForWrite);
    EXPECT_EQ(rec.status, Acad::eOk);
    AcDbObjectId id;
    EXPECT_EQ(rec->appendAcDbEntity(id, ent), Acad::eOk);
    ent->close();
    return id;
}

AcDbObjectId RegenTest::addBlock(const ACHAR* name, const AcGePoint3d& origin) {
    AcDbBlockTable* table = nullptr;
    EXPECT_EQ(db.getBlockTable(table, AcDb::kForWrite), Acad::eOk);
    auto* rec = new AcDbBlockTableRecord();
    rec->setName(name);
    rec->setOrigin(origin);
    AcDbObjectId id;
    EXPECT_EQ(table->add(id, rec), Acad::eOk);
    rec->close();
    table->close();
    return id;
}

AcDbObjectId RegenTest::addReference(AcDbObjectId block, const AcGePoint3d& position,
                                     double rotation, const AcGeScale3d& scale,
                                     AcDbObjectId owner) {
    auto* ref = new AcDbBlockReference(position, block);
    EXPECT_EQ(ref->setRotation(rotation), Acad::eOk);
    EXPECT_EQ(ref->setScaleFactors(scale), Acad::eOk);
    return append(ref, owner);
}

void RegenTest::erase(AcDbObjectId id) {
    Open<AcDbObject> obj(id, AcDb::kForWrite);
    ASSERT_EQ(obj.status, Acad::eOk);
    EXPECT_EQ(obj->erase(), Acad::eOk);
}

AcGeMatrix3d frame(const AcGePoint3d& position, double rotation, const AcGeScale3d& scale,
                   const AcGePoint3d& blockOrigin) {
    return AcGeMatrix3d::translation(position.asVector()) *
           AcGeMatrix3d::rotation(rotation, AcGeVector3d::kZAxis) * AcGeMatrix3d::scaling(scale) *
           AcGeMatrix3d::translation(-blockOrigin.asVector());
}

std::vector<AcGePoint3d> mapped(const AcGeMatrix3d& m, const std::vector<AcGePoint3d>& pts) {
    std::vector<AcGePoint3d> out;
    for (const AcGePoint3d& p : pts) {
        out.push_back(AcGePoint3d(p).transformBy(m));
    }
    return out;
}

}  // namespace regentest
