// The public/implementation pair: forwarding of filing, copy and audit, the implementation's
// helpers, and the pair's lifetime.
#include <gtest/gtest.h>

#include "host/db/auditinfo.h"
#include "host/db/dwgfiler.h"
#include "host/db/dxffiler.h"
#include "module/frame/pair_macros.h"
#include "support/module_loader.h"

namespace {

int g_impsAlive = 0;

class TestPair : public AcDbObjectWrapper {
    KX_DECLARE_PAIR(TestPair, AcDbObjectWrapper)
};

class TestPairImp : public AcDbImpObjectWrapper {
  public:
    explicit TestPairImp(AcDbObjectWrapper* pub) : AcDbImpObjectWrapper(pub) { ++g_impsAlive; }
    ~TestPairImp() override { --g_impsAlive; }

    Acad::ErrorStatus dwgOutFields(AcDbDwgFiler* filer) const override {
        filer->writeInt32(value);
        filer->writeString(name);
        return Acad::eOk;
    }
    Acad::ErrorStatus dwgInFields(AcDbDwgFiler* filer) override {
        ++reads;
        if (failWith != Acad::eOk) {
            return failWith;
        }
        assertWriteEnabled();
        filer->readInt32(&value);
        filer->readString(name);
        return filer->filerStatus();
    }
    Acad::ErrorStatus dxfOutFields(AcDbDxfFiler* filer) const override {
        filer->writeString(100, L"AcDbTestPair");
        filer->writeInt32(90, value);
        filer->writeString(1, name);
        return Acad::eOk;
    }
    Acad::ErrorStatus dxfInFields(AcDbDxfFiler* filer) override {
        ++reads;
        if (!filer->atSubclassData(L"AcDbTestPair")) {
            return Acad::eBadDxfSequence;
        }
        resbuf rb{};
        while (filer->readItem(&rb) == Acad::eOk) {
            if (rb.restype == 90) {
                value = rb.resval.rlong;
            } else if (rb.restype == 1) {
                name = rb.resval.rstring;
                acutDelBuffer(rb.resval.rstring);
            }
        }
        return Acad::eOk;
    }
    Acad::ErrorStatus audit(AcDbAuditInfo* info) override {
        info->errorsFound(1);
        return failWith;
    }

    Adesk::Int32 value = 0;
    AcString name;
    Acad::ErrorStatus failWith = Acad::eOk;
    int reads = 0;
};

ACRX_DEFINE_MEMBERS(TestPair)
KX_DEFINE_PAIR(TestPair, AcDbObjectWrapper, TestPairImp)

class OtherPair : public AcDbObjectWrapper {
    KX_DECLARE_PAIR(OtherPair, AcDbObjectWrapper)
};
ACRX_DEFINE_MEMBERS(OtherPair)
KX_DEFINE_PAIR(OtherPair, AcDbObjectWrapper, AcDbImpObjectWrapper)

TestPairImp* imp(const AcDbObjectWrapper* obj) {
    return kxImpOf<TestPairImp>(obj);
}

class ObjectPair : public kxtest::ModuleTest {
  protected:
    void SetUp() override {
        kxtest::ModuleTest::SetUp();
        TestPair::descCache() = newAcRxClass(
            L"TestPair", L"AcDbObjectWrapper", 33, 55, 1153,
            []() -> AcRxObject* { return new TestPair(); }, L"TESTPAIR", L"TESTAPP");
        OtherPair::descCache() = newAcRxClass(
            L"OtherPair", L"AcDbObjectWrapper", 33, 55, 1153,
            []() -> AcRxObject* { return new OtherPair(); }, L"OTHERPAIR", L"TESTAPP");
    }
    void TearDown() override {
        deleteAcRxClass(TestPair::desc());
        deleteAcRxClass(OtherPair::desc());
        TestPair::descCache() = nullptr;
        OtherPair::descCache() = nullptr;
        kxtest::ModuleTest::TearDown();
    }

    static TestPair* makeFilled() {
        auto* obj = new TestPair();
        imp(obj)->value = -70000;
        imp(obj)->name = L"基点";
        return obj;
    }
};

TEST_F(ObjectPair, DwgFilingIsTheHostsPartThenTheClasssFields) {
    TestPair* obj = makeFilled();
    kxhost::DwgMemoryFiler hostPart(AcDb::kFileFiler);
    ASSERT_EQ(obj->AcDbObject::dwgOutFields(&hostPart), Acad::eOk);
    kxhost::DwgMemoryFiler whole(AcDb::kFileFiler);
    ASSERT_EQ(obj->dwgOut(&whole), Acad::eOk);

    const auto& items = whole.items();
    ASSERT_EQ(items.size(), hostPart.items().size() + 2);
    for (size_t i = 0; i < hostPart.items().size(); ++i) {
        EXPECT_EQ(items[i], hostPart.items()[i]) << i;
    }
    EXPECT_EQ(items[items.size() - 2].kind, kxhost::DwgMemoryFiler::ItemKind::kInt32);
    EXPECT_EQ(items.back().text, L"基点");

    TestPair back;
    whole.rewind();
    ASSERT_EQ(back.dwgIn(&whole), Acad::eOk);
    EXPECT_EQ(imp(&back)->value, -70000);
    EXPECT_EQ(imp(&back)->name, AcString(L"基点"));
    delete obj;
}

TEST_F(ObjectPair, DxfFilingIsTheHostsPartThenTheClasssGroups) {
    TestPair* obj = makeFilled();
    kxhost::DxfMemoryFiler hostPart;
    ASSERT_EQ(obj->AcDbObject::dxfOutFields(&hostPart), Acad::eOk);
    kxhost::DxfMemoryFiler whole;
    ASSERT_EQ(obj->dxfOut(&whole), Acad::eOk);
    const auto& items = whole.items();
    ASSERT_EQ(items.size(), hostPart.items().size() + 3);
    EXPECT_EQ(items[hostPart.items().size()].code, 100);

    TestPair back;
    whole.rewind();
    ASSERT_EQ(back.dxfIn(&whole), Acad::eOk);
    EXPECT_EQ(imp(&back)->value, -70000);
    EXPECT_EQ(imp(&back)->name, AcString(L"基点"));
    delete obj;
}

TEST_F(ObjectPair, AnImplementationErrorStopsTheFilerWithThatError) {
    TestPair* obj = makeFilled();
    kxhost::DwgMemoryFiler filer;
    ASSERT_EQ(obj->dwgOut(&filer), Acad::eOk);
    TestPair back;
    imp(&back)->failWith = Acad::eInvalidInput;
    filer.rewind();
    EXPECT_EQ(back.dwgIn(&filer), Acad::eInvalidInput);
    delete obj;
}

TEST_F(ObjectPair, AFailingHostStepStopsBeforeTheImplementationReads) {
    kxhost::DwgMemoryFiler empty;  // damaged: not even the host's part is there
    TestPair back;
    EXPECT_EQ(back.dwgIn(&empty), Acad::eFilerError);
    EXPECT_EQ(imp(&back)->reads, 0);
}

TEST_F(ObjectPair, CopyKeepsEveryFieldOfTheMostDerivedClass) {
    TestPair* obj = makeFilled();
    TestPair copy;
    ASSERT_EQ(copy.copyFrom(obj), Acad::eOk);
    EXPECT_EQ(imp(&copy)->value, -70000);
    EXPECT_EQ(imp(&copy)->name, AcString(L"基点"));

    OtherPair other;
    EXPECT_EQ(copy.copyFrom(&other), Acad::eWrongObjectType);

    AcRxObject* cloned = obj->clone();
    ASSERT_NE(cloned, nullptr);
    auto* clonedPair = TestPair::cast(cloned);
    ASSERT_NE(clonedPair, nullptr);
    EXPECT_EQ(imp(clonedPair)->name, AcString(L"基点"));
    EXPECT_TRUE(clonedPair->objectId().isNull());
    delete cloned;
    delete obj;
}

TEST_F(ObjectPair, AuditReachesTheImplementation) {
    TestPair obj;
    AcDbAuditInfo info;
    EXPECT_EQ(obj.audit(&info), Acad::eOk);
    EXPECT_EQ(info.numErrors(), 1);
    imp(&obj)->failWith = Acad::eInvalidInput;
    EXPECT_EQ(obj.audit(&info), Acad::eInvalidInput);
}

TEST_F(ObjectPair, DecomposeForSaveKeepsTheHostsOutArguments) {
    TestPair obj;
    AcDbObject* replacement = &obj;
    AcDbObjectId replacementId;
    replacementId.setFromOldId(99);
    Adesk::Boolean exchange = true;
    EXPECT_EQ(obj.decomposeForSave(AcDb::kDHL_1800, replacement, replacementId, exchange),
              Acad::eOk);
    EXPECT_EQ(replacement, nullptr);
    EXPECT_TRUE(replacementId.isNull());
    EXPECT_FALSE(exchange);
}

TEST_F(ObjectPair, WithoutAnImplementationForwardersReportANullObject) {
    TestPair obj;
    delete AcDbObjectWrapper::getImp(&obj);
    AcDbObjectWrapper::setImp(&obj, nullptr);
    kxhost::DwgMemoryFiler filer;
    EXPECT_EQ(obj.dwgOutFields(&filer), Acad::eNullObjectPointer);
    kxhost::DxfMemoryFiler dxf;
    EXPECT_EQ(obj.dxfOutFields(&dxf), Acad::eNullObjectPointer);
    AcDbAuditInfo info;
    EXPECT_EQ(obj.audit(&info), Acad::eNullObjectPointer);
    AcDbObjectWrapper::setImp(nullptr, nullptr);  // harmless
    EXPECT_EQ(AcDbObjectWrapper::getImp(nullptr), nullptr);
}

TEST_F(ObjectPair, ThePublicObjectOwnsItsImplementation) {
    const int alive = g_impsAlive;
    {
        TestPair a;
        AcRxObject* b = TestPair::desc()->create();
        EXPECT_EQ(g_impsAlive, alive + 2);
        delete b;
        EXPECT_EQ(g_impsAlive, alive + 1);
    }
    EXPECT_EQ(g_impsAlive, alive);
}

TEST_F(ObjectPair, ImplementationHelpersWithoutAPublicObjectTouchNothing) {
    AcDbImpObjectWrapper orphan(nullptr);
    EXPECT_TRUE(orphan.objectId().isNull());
    EXPECT_TRUE(orphan.ownerId().isNull());
    EXPECT_EQ(orphan.database(), nullptr);
    EXPECT_FALSE(orphan.isWriteEnabled());
    EXPECT_EQ(orphan.close(), Acad::eNotHandled);
    EXPECT_EQ(orphan.erase(), Acad::eNotHandled);
    EXPECT_EQ(orphan.upgradeOpen(), Acad::eNullObjectId);
    EXPECT_EQ(orphan.downgradeOpen(), Acad::eNullObjectId);
    EXPECT_EQ(orphan.setOwnerId(AcDbObjectId()), Acad::eNullObjectPointer);
    orphan.assertWriteEnabled();
    orphan.assertReadEnabled();
    orphan.assertNotifyEnabled();
}

TEST_F(ObjectPair, ImplementationHelpersReachTheOpenState) {
    TestPair obj;  // outside a database: always writable, close is harmless
    AcDbImpObjectWrapper* helpers = AcDbObjectWrapper::getImp(&obj);
    EXPECT_TRUE(helpers->isWriteEnabled());
    EXPECT_EQ(helpers->close(), Acad::eOk);
    EXPECT_EQ(helpers->publicObject(), &obj);
}

}  // namespace
