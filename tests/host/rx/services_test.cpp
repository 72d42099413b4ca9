// Services of the system registry: protocol reactor lists, commands, events, overrules.
#include <gtest/gtest.h>

#include "host/gi/drawable.h"
#include "host/rx/dictionary.h"
#include "host/rx/overrule.h"
#include "host/rx/services.h"

namespace {

TEST(SystemRegistry, OffersTheHostServices) {
    AcRxDictionary* reg = acrxSysRegistry();
    EXPECT_NE(AcRxDynamicLinker::cast(reg->at(L"DynamicLinker")), nullptr);
    EXPECT_NE(AcEdCommandStack::cast(reg->at(L"ACAD_REGISTERED_COMMANDS")), nullptr);
    EXPECT_NE(AcRxEvent::cast(reg->at(L"AcRxEvent")), nullptr);
    ASSERT_NE(acrxServiceDictionary(), nullptr);
    EXPECT_NE(AcRxProtocolReactorManagerFactory::cast(
                  acrxServiceDictionary()->at(L"ProtocolReactorManager")),
              nullptr);
}

TEST(SystemRegistry, RemovedServicesCanBeRestored) {
    AcRxObject* event = acrxSysRegistry()->remove(L"AcRxEvent");
    ASSERT_NE(event, nullptr);
    EXPECT_EQ(acrxEvent(), nullptr);
    kxhost::restoreSystemRegistry();
    EXPECT_NE(acrxEvent(), nullptr);
    delete event;
}

TEST(ProtocolReactors, ManagersAndListsAreMadeOnceAndIterated) {
    auto* factory = AcRxProtocolReactorManagerFactory::cast(
        acrxServiceDictionary()->at(L"ProtocolReactorManager"));
    ASSERT_NE(factory, nullptr);
    AcRxClass* host = newAcRxClass(L"TestReactorHost", L"AcRxObject");
    AcRxProtocolReactorManager* manager = factory->createReactorManager(host);
    EXPECT_EQ(factory->createReactorManager(host), manager);
    AcRxProtocolReactorList* list = manager->createReactorList(AcRxProtocolReactor::desc());
    EXPECT_EQ(manager->createReactorList(AcRxProtocolReactor::desc()), list);

    AcRxProtocolReactor a, b;
    EXPECT_EQ(list->addReactor(&a), Acad::eOk);
    EXPECT_EQ(list->addReactor(&b), Acad::eOk);
    EXPECT_EQ(list->addReactor(&a), Acad::eOk);  // once only
    EXPECT_EQ(list->addReactor(nullptr), Acad::eNullObjectPointer);
    AcRxProtocolReactorIterator* it = list->newIterator();
    std::vector<AcRxProtocolReactor*> seen;
    for (it->start(); !it->done(); it->next()) {
        seen.push_back(it->reactor());
        list->removeReactor(it->reactor());  // removal while iterating is safe
    }
    delete it;
    EXPECT_EQ(seen, (std::vector<AcRxProtocolReactor*>{&a, &b}));
    EXPECT_EQ(list->numReactors(), 0);
    deleteAcRxClass(host);
}

TEST(CommandStack, RemovingAnAbsentGroupIsHarmless) {
    auto* commands = AcEdCommandStack::cast(acrxSysRegistry()->at(L"ACAD_REGISTERED_COMMANDS"));
    ASSERT_NE(commands, nullptr);
    EXPECT_EQ(commands->removeGroup(L"HELLOWORLD_COMMANDS"), Acad::eKeyNotFound);
    EXPECT_EQ(commands->addCommand(L"G", L"HELLO", nullptr, 0, [] {}), Acad::eOk);
    EXPECT_EQ(commands->addCommand(L"G", L"HELLO", nullptr, 0, [] {}), Acad::eDuplicateKey);
    EXPECT_TRUE(commands->hasGroup(L"G"));
    EXPECT_EQ(commands->removeGroup(L"G"), Acad::eOk);
    EXPECT_FALSE(commands->hasGroup(L"G"));
}

class CountingReactor : public AcRxEventReactor {
  public:
    void endDeepClone(AcDbIdMapping&) override { ++ends; }
    void beginDeepCloneXlation(AcDbIdMapping&, Acad::ErrorStatus* es) override {
        ++xlations;
        if (fail) {
            *es = Acad::eInvalidInput;
        }
    }
    int ends = 0;
    int xlations = 0;
    bool fail = false;
};

TEST(EventNotifier, ReactorsAreAddedOnceAndAFailureStopsTheRound) {
    AcRxEvent* ev = acrxEvent();
    const int before = ev->numReactors();
    CountingReactor first, second;
    first.fail = true;
    ev->addReactor(&first);
    ev->addReactor(&first);
    ev->addReactor(&second);
    EXPECT_EQ(ev->numReactors(), before + 2);
    Acad::ErrorStatus es = Acad::eOk;
    // The reactors here never look at the map.
    alignas(16) static char storage[256] = {};
    ev->fireBeginDeepCloneXlation(*reinterpret_cast<AcDbIdMapping*>(storage), &es);
    EXPECT_EQ(es, Acad::eInvalidInput);
    EXPECT_EQ(first.xlations, 1);
    EXPECT_EQ(second.xlations, 0);
    ev->removeReactor(&first);
    ev->removeReactor(&second);
    EXPECT_EQ(ev->numReactors(), before);
}

// Drawables whose own drawing, and the overrules that take it over, record the order of calls.
std::vector<std::string> g_calls;

class TestDrawable : public AcGiDrawable {
  public:
    bool subWorldDraw(AcGiWorldDraw*) override {
        g_calls.push_back("own");
        return true;
    }
};

class TestOverrule : public AcGiDrawableOverrule {
  public:
    TestOverrule(std::string name, bool applicable = true)
        : m_name(std::move(name)), m_applicable(applicable) {}
    bool isApplicable(const AcRxObject*) const override { return m_applicable; }
    bool worldDraw(AcGiDrawable* d, AcGiWorldDraw* wd) override {
        g_calls.push_back(m_name);
        return AcGiDrawableOverrule::worldDraw(d, wd);
    }

  private:
    std::string m_name;
    bool m_applicable;
};

TEST(Overrules, ChainRunsFrontFirstAndEndsInTheObjectsOwnCode) {
    g_calls.clear();
    TestOverrule first("first"), second("second"), skipped("skipped", false), last("last");
    AcRxClass* cls = AcGiDrawable::desc();
    ASSERT_EQ(AcRxOverrule::addOverrule(cls, &first), Acad::eOk);
    ASSERT_EQ(AcRxOverrule::addOverrule(cls, &skipped), Acad::eOk);
    ASSERT_EQ(AcRxOverrule::addOverrule(cls, &second), Acad::eOk);  // goes to the front
    ASSERT_EQ(AcRxOverrule::addOverrule(cls, &last, true), Acad::eOk);
    EXPECT_EQ(AcRxOverrule::addOverrule(cls, &first), Acad::eDuplicateKey);

    TestDrawable d;
    EXPECT_TRUE(d.worldDraw(nullptr));
    EXPECT_EQ(g_calls, (std::vector<std::string>{"second", "first", "last", "own"}));

    g_calls.clear();
    AcRxOverrule::setIsOverruling(false);
    d.worldDraw(nullptr);
    AcRxOverrule::setIsOverruling(true);
    EXPECT_EQ(g_calls, (std::vector<std::string>{"own"}));

    for (AcRxOverrule* o : std::initializer_list<AcRxOverrule*>{&first, &second, &skipped, &last}) {
        EXPECT_EQ(AcRxOverrule::removeOverrule(cls, o), Acad::eOk);
    }
    EXPECT_EQ(AcRxOverrule::removeOverrule(cls, &first), Acad::eKeyNotFound);
    EXPECT_EQ(kxhost::overruleCount(cls), 0);
    g_calls.clear();
    d.worldDraw(nullptr);
    EXPECT_EQ(g_calls, (std::vector<std::string>{"own"}));
}

TEST(Overrules, ADeletedOverruleIsNeverCalled) {
    AcRxClass* cls = AcGiDrawable::desc();
    {
        TestOverrule temporary("temporary");
        AcRxOverrule::addOverrule(cls, &temporary);
    }
    EXPECT_EQ(kxhost::overruleCount(cls), 0);
}

}  // namespace
