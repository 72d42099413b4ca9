// The database-wide audit walk.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "host/entities/line.h"
#include "tests/host/regen/regen_test_support.h"

// An object that knows how many of its fields are damaged and remembers how it was audited.
class KxAuditProbe : public AcDbObject {
  public:
    ACRX_DECLARE_MEMBERS(KxAuditProbe);

    struct Visit {
        AcDbObjectId id;
        bool writable;
    };
    static std::vector<Visit>& visits() {
        static std::vector<Visit> v;
        return v;
    }

    Acad::ErrorStatus audit(AcDbAuditInfo* info) override {
        visits().push_back({objectId(), isWriteEnabled()});
        if (damage > 0) {
            info->errorsFound(damage);
            info->printError(L"KxAuditProbe", L"damaged", L"must be whole", L"repaired");
            if (info->fixErrors()) {
                assertWriteEnabled();
                info->errorsFixed(damage);
                damage = 0;
            }
        }
        return answer;
    }

    int damage = 0;
    Acad::ErrorStatus answer = Acad::eOk;
};

ACRX_HOST_DXF_CLASS(KxAuditProbe, AcDbObject, "KXAUDITPROBE");

namespace {

using regentest::Open;

class AuditWalkTest : public regentest::RegenTest {
  protected:
    void SetUp() override {
        RegenTest::SetUp();
        KxAuditProbe::visits().clear();
        // Some ordinary drawing content besides the probes.
        const AcDbObjectId block = addBlock(L"B");
        append(new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 0, 0)), block);
        addReference(block, AcGePoint3d(1, 1, 0), 0.0, AcGeScale3d(1, 1, 1));
        whole = addProbe(0);
        damaged = addProbe(2);
        gone = addProbe(5);
        erase(gone);
    }
    AcDbObjectId addProbe(int damage) {
        auto* probe = new KxAuditProbe();
        probe->damage = damage;
        AcDbObjectId id;
        EXPECT_EQ(db.addAcDbObject(id, probe), Acad::eOk);
        probe->close();
        return id;
    }
    int liveObjects() {
        int n = 0;
        for (const AcDbObjectId& id : kxhost::objectIds(&db)) {
            n += id.isErased() ? 0 : 1;
        }
        return n;
    }
    int visitsOf(AcDbObjectId id) {
        const auto& v = KxAuditProbe::visits();
        return static_cast<int>(std::count_if(
            v.begin(), v.end(), [&](const KxAuditProbe::Visit& x) { return x.id == id; }));
    }
    int damageOf(AcDbObjectId id) {
        Open<KxAuditProbe> probe(id, AcDb::kForRead);
        return probe->damage;
    }
    AcDbObjectId whole;
    AcDbObjectId damaged;
    AcDbObjectId gone;
};

TEST_F(AuditWalkTest, CheckingVisitsEveryLiveObjectForReadAndChangesNothing) {
    AcDbAuditInfo info;
    kxhost::AuditReport report;
    ASSERT_EQ(kxhost::auditDatabase(&db, info, &report), Acad::eOk);
    EXPECT_EQ(report.audited, liveObjects());
    EXPECT_GT(report.audited, 5);  // tables, records, dictionary, entities and probes
    EXPECT_EQ(report.erased, 1);
    EXPECT_TRUE(report.notOpened.isEmpty());
    EXPECT_TRUE(report.failed.isEmpty());
    EXPECT_EQ(visitsOf(whole), 1);
    EXPECT_EQ(visitsOf(damaged), 1);
    EXPECT_EQ(visitsOf(gone), 0);
    for (const KxAuditProbe::Visit& v : KxAuditProbe::visits()) {
        EXPECT_FALSE(v.writable);
    }
    EXPECT_EQ(info.numErrors(), 2);
    EXPECT_EQ(info.numFixes(), 0);
    ASSERT_EQ(info.messages().length(), 1);
    EXPECT_NE(info.messages()[0].utf8().find("must be whole"), std::string::npos);
    EXPECT_EQ(damageOf(damaged), 2);
}

TEST_F(AuditWalkTest, FixingOpensForWriteAndASecondAuditFindsNothing) {
    AcDbAuditInfo info;
    info.setFixErrors(true);
    ASSERT_EQ(kxhost::auditDatabase(&db, info), Acad::eOk);
    for (const KxAuditProbe::Visit& v : KxAuditProbe::visits()) {
        EXPECT_TRUE(v.writable);
    }
    EXPECT_EQ(info.numErrors(), 2);
    EXPECT_EQ(info.numFixes(), 2);
    EXPECT_EQ(damageOf(damaged), 0);

    AcDbAuditInfo again;
    ASSERT_EQ(kxhost::auditDatabase(&db, again), Acad::eOk);
    EXPECT_EQ(again.numErrors(), 0);
    EXPECT_TRUE(again.messages().isEmpty());
}

TEST_F(AuditWalkTest, ObjectsThatCannotBeOpenedAreReportedAsErrors) {
    kxhost::setStrictOpens(true);
    Open<KxAuditProbe> held(damaged, AcDb::kForWrite);
    ASSERT_EQ(held.status, Acad::eOk);
    AcDbAuditInfo info;
    kxhost::AuditReport report;
    ASSERT_EQ(kxhost::auditDatabase(&db, info, &report), Acad::eOk);
    ASSERT_EQ(report.notOpened.length(), 1);
    EXPECT_EQ(report.notOpened[0], damaged);
    EXPECT_EQ(report.notOpenedStatus[0], Acad::eWasOpenForWrite);
    EXPECT_EQ(report.audited, liveObjects() - 1);
    EXPECT_EQ(visitsOf(damaged), 0);
    EXPECT_EQ(info.numErrors(), 1);  // the unopened object, its own damage unseen
    ASSERT_EQ(info.messages().length(), 1);
    const std::string line = info.messages()[0].utf8();
    EXPECT_NE(line.find("could not be opened"), std::string::npos);
    EXPECT_NE(line.find(damaged.handle().toString().utf8()), std::string::npos);
}

TEST_F(AuditWalkTest, FailingAuditsAreReportedAndTheWalkGoesOn) {
    {
        Open<KxAuditProbe> probe(whole, AcDb::kForWrite);
        probe->answer = Acad::eInvalidInput;
    }
    AcDbAuditInfo info;
    kxhost::AuditReport report;
    ASSERT_EQ(kxhost::auditDatabase(&db, info, &report), Acad::eOk);
    ASSERT_EQ(report.failed.length(), 1);
    EXPECT_EQ(report.failed[0], whole);
    EXPECT_EQ(report.failedStatus[0], Acad::eInvalidInput);
    EXPECT_EQ(visitsOf(damaged), 1);
    EXPECT_EQ(info.numErrors(), 2);
    ASSERT_EQ(info.messages().length(), 2);
    EXPECT_NE(info.messages()[0].utf8().find("KxAuditProbe " + whole.handle().toString().utf8()),
              std::string::npos);

    EXPECT_EQ(kxhost::auditDatabase(nullptr, info), Acad::eNullObjectPointer);
}

}  // namespace
