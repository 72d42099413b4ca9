// The run-time class system: registration, lookup, hierarchy, protocol extensions.
#include <gtest/gtest.h>

#include "host/rx/rxobject.h"

namespace {

class Probe : public AcRxObject {
  public:
    ACRX_DECLARE_MEMBERS(Probe);
};
ACRX_DEFINE_MEMBERS(Probe)

class Extension : public AcRxObject {
  public:
    explicit Extension(int* deaths = nullptr) : m_deaths(deaths) {}
    ~Extension() override {
        if (m_deaths != nullptr) {
            ++*m_deaths;
        }
    }

  private:
    int* m_deaths;
};

TEST(ClassSystem, HostClassesArePresentFromTheStart) {
    EXPECT_NE(acrxFindAcRxClass(L"AcRxObject"), nullptr);
    EXPECT_EQ(acrxFindAcRxClass(L"AcRxClass"), AcRxClass::desc());
    EXPECT_EQ(AcRxClass::desc()->myParent(), AcRxObject::desc());
    EXPECT_EQ(acrxFindAcRxClass(L"NoSuchClass"), nullptr);
    EXPECT_EQ(acrxFindAcRxClass(nullptr), nullptr);
}

TEST(ClassSystem, FullRegistrationKeepsItsRow) {
    AcRxClass* cls = newAcRxClass(L"TestFullRow", L"AcRxObject", 25, 55, 1153, nullptr,
                                  L"TESTFULLROW", L"TESTAPP");
    ASSERT_NE(cls, nullptr);
    int maint = 0;
    EXPECT_EQ(cls->getClassVersion(maint), 25);
    EXPECT_EQ(maint, 55);
    EXPECT_EQ(cls->proxyFlags(), 1153);
    EXPECT_STREQ(cls->dxfName(), L"TESTFULLROW");
    EXPECT_STREQ(cls->appName(), L"TESTAPP");
    EXPECT_EQ(cls->create(), nullptr);
    // A name is registered once only.
    EXPECT_EQ(newAcRxClass(L"TestFullRow", L"AcRxObject"), nullptr);
    deleteAcRxClass(cls);
    EXPECT_EQ(acrxFindAcRxClass(L"TestFullRow"), nullptr);
}

TEST(ClassSystem, ChildrenMayBeRegisteredBeforeTheirParents) {
    AcRxClass* child = newAcRxClass(L"TestLateChild", L"TestLateParent");
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(child->myParent(), nullptr);
    AcRxClass* parent = newAcRxClass(L"TestLateParent", L"AcRxObject");
    acrxBuildClassHierarchy();
    EXPECT_EQ(child->myParent(), parent);
    EXPECT_TRUE(child->isDerivedFrom(AcRxObject::desc()));

    // Deleting the parent first leaves the child without a dangling link.
    deleteAcRxClass(parent);
    EXPECT_EQ(child->myParent(), nullptr);
    EXPECT_FALSE(child->isDerivedFrom(AcRxObject::desc()));
    deleteAcRxClass(child);
}

TEST(ClassSystem, DescriptorCacheFollowsRegistration) {
    EXPECT_EQ(Probe::desc(), nullptr);
    Probe probe;
    EXPECT_FALSE(probe.isKindOf(AcRxObject::desc()));
    Probe::descCache() = newAcRxClass(L"Probe", L"AcRxObject");
    EXPECT_EQ(probe.isA(), acrxFindAcRxClass(L"Probe"));
    EXPECT_TRUE(probe.isKindOf(AcRxObject::desc()));
    EXPECT_EQ(Probe::cast(&probe), &probe);
    AcRxObject plain;
    EXPECT_EQ(Probe::cast(&plain), nullptr);
    EXPECT_EQ(Probe::cast(nullptr), nullptr);
    deleteAcRxClass(Probe::desc());
    Probe::descCache() = nullptr;
}

TEST(ClassSystem, DeletingAnUnknownOrStalePointerIsHarmless) {
    AcRxClass* cls = newAcRxClass(L"TestStale", L"AcRxObject");
    const long deleted = kxhost::classesDeleted();
    deleteAcRxClass(cls);
    deleteAcRxClass(cls);  // already gone: found by address, so never dereferenced
    deleteAcRxClass(nullptr);
    EXPECT_EQ(kxhost::classesDeleted(), deleted + 1);
}

TEST(ProtocolExtensions, QuerySearchesAncestorsAndAddReplaces) {
    AcRxClass* protocol = newAcRxClass(L"TestProtocol", L"AcRxObject");
    AcRxClass* base = newAcRxClass(L"TestBase", L"AcRxObject");
    AcRxClass* derived = newAcRxClass(L"TestDerived", L"TestBase");
    int deaths = 0;
    auto* first = new Extension(&deaths);
    auto* second = new Extension(&deaths);

    EXPECT_EQ(base->addX(protocol, first), nullptr);
    EXPECT_EQ(derived->queryX(protocol), first);
    EXPECT_EQ(derived->getX(protocol), nullptr);
    EXPECT_EQ(base->addX(protocol, second), first);
    delete first;
    EXPECT_EQ(derived->queryX(protocol), second);
    EXPECT_EQ(base->delX(protocol), second);
    EXPECT_EQ(derived->queryX(protocol), nullptr);
    EXPECT_EQ(base->numX(), 0);

    // An extension still attached goes with its class.
    base->addX(protocol, second);
    deleteAcRxClass(derived);
    deleteAcRxClass(base);
    EXPECT_EQ(deaths, 2);
    deleteAcRxClass(protocol);
}

TEST(ClassSystem, AbortWritesItsMessage) {
    EXPECT_DEATH(acrx_abort(L"Class %s", L"mismatch"), "Class mismatch");
}

}  // namespace
