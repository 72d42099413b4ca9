// Loading and unloading the plug-in: what it registers, installs and removes.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include "host/entities/blockref.h"
#include "host/entities/minsert.h"
#include "host/rx/dictionary.h"
#include "host/rx/overrule.h"
#include "module/display/labels.h"
#include "module/frame/module_alloc.h"
#include "module/frame/module_services.h"
#include "module/params/linear_tag.h"
#include "module/params/user_tag.h"
#include "module/representation/equivalence.h"
#include "module/representation/representation.h"
#include "support/module_loader.h"

namespace {

using kxtest::LoadedModule;

constexpr int kModuleClasses = 58;

int equivalenceReactors() {
    auto* factory = AcRxProtocolReactorManagerFactory::cast(
        acrxServiceDictionary()->at(L"ProtocolReactorManager"));
    AcRxProtocolReactorManager* manager =
        factory != nullptr ? factory->findReactorManager(AcDbBlockReference::desc()) : nullptr;
    AcRxClass* reactorClass = acrxFindAcRxClass(L"KxDbTagRepresentationEquivalence");
    AcRxProtocolReactorList* list = manager != nullptr && reactorClass != nullptr
                                        ? manager->findReactorList(reactorClass)
                                        : nullptr;
    return list != nullptr ? list->numReactors() : 0;
}

TEST(ModuleLoad, RegistersEveryClassInTheHostsOneRegistry) {
    const long created = kxhost::classesCreated();
    LoadedModule module;
    ASSERT_TRUE(module.loaded());
    EXPECT_EQ(kxhost::classesCreated() - created, kModuleClasses);

    // The executable's lookup and the plug-in's own cache name the same descriptor.
    AcRxClass* linear = acrxFindAcRxClass(L"KxDbBlockLinearTag");
    ASSERT_NE(linear, nullptr);
    EXPECT_EQ(linear, KxDbBlockLinearTag::desc());
    EXPECT_STREQ(linear->dxfName(), L"BLOCKLINEARTAG");
    EXPECT_STREQ(linear->appName(), L"ZIZIZARAZODEVUVEVEZOZARE");
    EXPECT_EQ(linear->proxyFlags(), 1153);
    EXPECT_STREQ(acrxFindAcRxClass(L"KxDbTagGripExpr")->dxfName(), L"TAGGRIPEXPR");
    EXPECT_EQ(acrxFindAcRxClass(L"KxDbTagRootData")->proxyFlags(), 0);
    EXPECT_TRUE(linear->isDerivedFrom(AcDbObject::desc()));
    EXPECT_TRUE(KxDbBlockUserTag::desc()->isDerivedFrom(acrxFindAcRxClass(L"KxDbBlockTag")));
}

TEST(ModuleLoad, PseudoConstructorsMakeObjectsOfTheirOwnClass) {
    LoadedModule module;
    int made = 0;
    for (AcRxClass* cls : kxhost::registeredClasses()) {
        if (cls->appName() == nullptr ||
            AcString(cls->appName()) != AcString(L"ZIZIZARAZODEVUVEVEZOZARE")) {
            continue;
        }
        AcRxObject* obj = cls->create();
        ASSERT_NE(obj, nullptr) << AcString(cls->name()).utf8();
        EXPECT_EQ(obj->isA(), cls);
        EXPECT_NE(AcDbObjectWrapper::getImp(AcDbObjectWrapper::cast(obj)), nullptr);
        delete obj;
        ++made;
    }
    EXPECT_EQ(made, 36);
}

TEST(ModuleLoad, InstallsExtensionReactorsAndOverrules) {
    const int overrules = kxhost::overruleCount();
    const int events = acrxEvent()->numReactors();
    LoadedModule module;
    AcRxClass* repClass = KxDbTagRepresentation::desc();
    ASSERT_NE(repClass, nullptr);
    EXPECT_NE(AcDbBlockReference::desc()->queryX(repClass), nullptr);
    // Multi-insert references inherit it from their parent class.
    EXPECT_EQ(AcDbMInsertBlock::desc()->queryX(repClass),
              AcDbBlockReference::desc()->queryX(repClass));
    EXPECT_EQ(kxhost::overruleCount(AcDbBlockReference::desc()), 2);
    EXPECT_EQ(kxhost::overruleCount(), overrules + 2);
    EXPECT_EQ(acrxEvent()->numReactors(), events + 1);
    EXPECT_EQ(equivalenceReactors(), 1);
    ASSERT_NE(kxframe::moduleServices(), nullptr);
    EXPECT_FALSE(acrxDynamicLinker()->isApplicationLocked(module.handle()));
    EXPECT_TRUE(acrxDynamicLinker()->isAppMDIAware(module.handle()));
}

TEST(ModuleUnload, RemovesEverythingInReverseOrder) {
    const int overrules = kxhost::overruleCount();
    const int events = acrxEvent()->numReactors();
    const int extensions = AcDbBlockReference::desc()->numX();
    const long deleted = kxhost::classesDeleted();
    std::vector<std::wstring> registered;
    {
        LoadedModule module;
        for (AcRxClass* cls : kxhost::registeredClasses()) {
            registered.push_back(cls->name());
        }
        kxhost::takeClassDeletionLog();
    }
    EXPECT_EQ(kxhost::classesDeleted() - deleted, kModuleClasses);
    const std::vector<std::wstring> log = kxhost::takeClassDeletionLog();
    ASSERT_EQ(log.size(), static_cast<size_t>(kModuleClasses));
    EXPECT_EQ(log.front(), L"KxDbImpTagRepresentationEquivalence");
    EXPECT_EQ(log.back(), L"AcDbObjectWrapper");
    // The log is the tail of the registration order, reversed.
    for (size_t i = 0; i < log.size(); ++i) {
        EXPECT_EQ(log[i], registered[registered.size() - 1 - i]);
    }
    EXPECT_EQ(acrxFindAcRxClass(L"KxDbBlockLinearTag"), nullptr);
    EXPECT_EQ(kxhost::overruleCount(), overrules);
    EXPECT_EQ(acrxEvent()->numReactors(), events);
    EXPECT_EQ(AcDbBlockReference::desc()->numX(), extensions);
    EXPECT_EQ(equivalenceReactors(), 0);
    EXPECT_EQ(kxframe::moduleServices(), nullptr);
    // No stale descriptor is cached after unload.
    EXPECT_EQ(KxDbBlockLinearTag::descCache(), nullptr);
}

TEST(ModuleLoad, SecondLoadMessageReusesDescriptorsAndInstallsNothingTwice) {
    LoadedModule module;
    const long created = kxhost::classesCreated();
    AcRxClass* linear = KxDbBlockLinearTag::desc();
    const int overrules = kxhost::overruleCount();
    const int events = acrxEvent()->numReactors();
    EXPECT_EQ(module.send(AcRx::kInitAppMsg), 0);
    EXPECT_EQ(kxhost::classesCreated(), created);
    EXPECT_EQ(KxDbBlockLinearTag::desc(), linear);
    EXPECT_EQ(kxhost::overruleCount(), overrules);
    EXPECT_EQ(acrxEvent()->numReactors(), events);
    EXPECT_EQ(equivalenceReactors(), 1);
    const long deleted = kxhost::classesDeleted();
    module.unload();
    EXPECT_EQ(kxhost::classesDeleted() - deleted, kModuleClasses);
    EXPECT_EQ(kxhost::overruleCount(), overrules - 2);
}

TEST(ModuleLoad, LoadAfterUnloadRegistersAfresh) {
    { LoadedModule first; }
    LoadedModule second;
    ASSERT_TRUE(second.loaded());
    EXPECT_EQ(KxDbBlockLinearTag::desc(), acrxFindAcRxClass(L"KxDbBlockLinearTag"));
    EXPECT_NE(KxDbBlockLinearTag::desc(), nullptr);
}

TEST(ModuleLoad, OtherMessagesChangeNothing) {
    LoadedModule module;
    const long created = kxhost::classesCreated();
    const long deleted = kxhost::classesDeleted();
    const int overrules = kxhost::overruleCount();
    for (int message : {0, 3, 4, 99, -1}) {
        EXPECT_EQ(module.send(message), 0);
    }
    EXPECT_EQ(kxhost::classesCreated(), created);
    EXPECT_EQ(kxhost::classesDeleted(), deleted);
    EXPECT_EQ(kxhost::overruleCount(), overrules);
    EXPECT_NE(kxframe::moduleServices(), nullptr);
}

TEST(ModuleLoad, FailedHolderAllocationStillUnloadsCleanly) {
    const int extensions = AcDbBlockReference::desc()->numX();
    const int overrules = kxhost::overruleCount();
    const int events = acrxEvent()->numReactors();
    const long deleted = kxhost::classesDeleted();
    kxframe::failNextAllocation("ModuleServices");
    {
        LoadedModule module;
        ASSERT_TRUE(module.loaded());
        EXPECT_EQ(kxframe::moduleServices(), nullptr);
        EXPECT_EQ(kxhost::overruleCount(), overrules);
        EXPECT_EQ(acrxEvent()->numReactors(), events);
        EXPECT_EQ(equivalenceReactors(), 1);
    }
    EXPECT_EQ(kxhost::classesDeleted() - deleted, kModuleClasses);
    EXPECT_EQ(equivalenceReactors(), 0);
    EXPECT_EQ(AcDbBlockReference::desc()->numX(), extensions);
}

TEST(ModuleLoad, FailedOverruleAllocationInstallsTheRest) {
    const int overrules = kxhost::overruleCount();
    kxframe::failNextAllocation("KxDbNimbleBlockGripOverrule");
    LoadedModule module;
    ASSERT_NE(kxframe::moduleServices(), nullptr);
    EXPECT_EQ(kxframe::moduleServices()->gripOverrule, nullptr);
    EXPECT_EQ(kxhost::overruleCount(), overrules + 1);
    module.unload();
    EXPECT_EQ(kxhost::overruleCount(), overrules);
}

// Each required host service in turn is taken out of the system registry: load and unload must
// neither crash nor leave anything behind.
class MissingService : public ::testing::TestWithParam<const wchar_t*> {};

TEST_P(MissingService, LoadAndUnloadStayClean) {
    const std::wstring key = GetParam();
    AcRxDynamicLinker* linker = acrxDynamicLinker();
    AcRxDictionary* dict =
        key == L"ProtocolReactorManager" ? acrxServiceDictionary() : acrxSysRegistry();
    AcRxObject* removed = dict->remove(key.c_str());
    ASSERT_NE(removed, nullptr);
    const long deleted = kxhost::classesDeleted();
    const long created = kxhost::classesCreated();
    const int overrules = kxhost::overruleCount();

    ASSERT_TRUE(linker->loadModule(kxtest::moduleFile()));
    EXPECT_EQ(kxhost::classesCreated() - created, kModuleClasses);
    ASSERT_TRUE(linker->unloadModule(kxtest::moduleFile()));
    EXPECT_EQ(kxhost::classesDeleted() - deleted, kModuleClasses);
    EXPECT_EQ(kxhost::overruleCount(), overrules);

    delete dict->atPut(key.c_str(), removed);
}

INSTANTIATE_TEST_SUITE_P(Services, MissingService,
                         ::testing::Values(L"DynamicLinker", L"ServiceDictionary",
                                           L"ProtocolReactorManager", L"ACAD_REGISTERED_COMMANDS",
                                           L"AcRxEvent"));

TEST(ModuleLoad, RegisteringANameOwnedBySomeoneElseAborts) {
    EXPECT_DEATH(
        {
            newAcRxClass(L"KxDbTagEvalGraph", L"AcDbObject");
            LoadedModule module;
        },
        "Class mismatch");
}

TEST(ModuleLoad, ADescriptorReplacedBehindTheModulesBackAborts) {
    EXPECT_DEATH(
        {
            LoadedModule module;
            deleteAcRxClass(acrxFindAcRxClass(L"KxDbBlockLinearTag"));
            // Another class takes the freed descriptor's memory first, so the impostor cannot
            // land at the address the module still caches.
            newAcRxClass(L"TestFiller", L"AcRxObject");
            newAcRxClass(L"KxDbBlockLinearTag", L"KxDbBlock2PtTag");
            module.send(AcRx::kInitAppMsg);
        },
        "Class mismatch");
}

TEST(ModuleEntry, ReportsItsApiVersion) {
    LoadedModule module;
    auto version = reinterpret_cast<int (*)()>(dlsym(module.handle(), "acrxGetApiVersion"));
    ASSERT_NE(version, nullptr);
    EXPECT_EQ(version(), 0x180000);
}

}  // namespace
