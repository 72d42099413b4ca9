// Load and unload: the module's classes, its protocol extension and reactor on block references,
// its event reactor and its two overrules come and go together.
#include "host/entities/blockref.h"
#include "host/rx/dictionary.h"
#include "host/rx/services.h"
#include "module/display/drawable_overrule.h"
#include "module/display/labels.h"
#include "module/frame/module_alloc.h"
#include "module/frame/module_services.h"
#include "module/frame/registration.h"
#include "module/grips/grip_overrule.h"
#include "module/representation/entity_index.h"
#include "module/representation/equivalence.h"
#include "module/representation/representation.h"
#include "module/rootdata/event_reactor.h"

namespace kxframe {
namespace {

ModuleServices* g_services = nullptr;
KxDbImpTagRepresentationEquivalence* g_equivalence = nullptr;

// The list of equivalence reactors of block references; made on request when `create`, else
// only found. Null when the host lacks the service.
AcRxProtocolReactorList* equivalenceList(bool create) {
    AcRxDictionary* services = AcRxDictionary::cast(acrxSysRegistry()->at(L"ServiceDictionary"));
    if (services == nullptr) {
        return nullptr;
    }
    auto* factory =
        AcRxProtocolReactorManagerFactory::cast(services->at(L"ProtocolReactorManager"));
    if (factory == nullptr) {
        return nullptr;
    }
    AcRxClass* reactorClass = KxDbTagRepresentationEquivalence::desc();
    if (!create) {
        AcRxProtocolReactorManager* manager =
            factory->findReactorManager(AcDbBlockReference::desc());
        return manager != nullptr ? manager->findReactorList(reactorClass) : nullptr;
    }
    AcRxProtocolReactorManager* manager = factory->createReactorManager(AcDbBlockReference::desc());
    return manager != nullptr ? manager->createReactorList(reactorClass) : nullptr;
}

AcRxEvent* eventNotifier() {
    return AcRxEvent::cast(acrxSysRegistry()->at(L"AcRxEvent"));
}

void installServices() {
    // The protocol extension through which block references keep their representation.
    auto* representation = moduleNew<KxDbTagRepresentation>("KxDbTagRepresentation");
    if (representation != nullptr) {
        delete AcDbBlockReference::desc()->addX(KxDbTagRepresentation::desc(), representation);
    }

    g_equivalence =
        moduleNew<KxDbImpTagRepresentationEquivalence>("KxDbImpTagRepresentationEquivalence");
    if (g_equivalence != nullptr) {
        if (AcRxProtocolReactorList* list = equivalenceList(true)) {
            list->addReactor(g_equivalence);
        }
    }

    ModuleServices* services = moduleNew<ModuleServices>("ModuleServices");
    if (services == nullptr) {
        return;
    }
    services->eventReactor = moduleNew<KxDbRootDataRxEventReactor>("KxDbRootDataRxEventReactor");
    services->gripOverrule = moduleNew<KxDbNimbleBlockGripOverrule>("KxDbNimbleBlockGripOverrule");
    services->drawableOverrule =
        moduleNew<KxGiNimbleBlockDrawableOverrule>("KxGiNimbleBlockDrawableOverrule");
    if (AcRxEvent* notifier = eventNotifier(); notifier != nullptr && services->eventReactor) {
        notifier->addReactor(services->eventReactor);
    }
    if (services->gripOverrule != nullptr) {
        AcRxOverrule::addOverrule(AcDbBlockReference::desc(), services->gripOverrule, false);
    }
    if (services->drawableOverrule != nullptr) {
        AcRxOverrule::addOverrule(AcDbBlockReference::desc(), services->drawableOverrule, false);
    }
    g_services = services;
}

void removeServices() {
    if (ModuleServices* services = g_services) {
        if (services->drawableOverrule != nullptr) {
            AcRxOverrule::removeOverrule(AcDbBlockReference::desc(), services->drawableOverrule);
            delete services->drawableOverrule;
        }
        if (services->gripOverrule != nullptr) {
            AcRxOverrule::removeOverrule(AcDbBlockReference::desc(), services->gripOverrule);
            delete services->gripOverrule;
        }
        if (services->eventReactor != nullptr) {
            if (AcRxEvent* notifier = eventNotifier()) {
                notifier->removeReactor(services->eventReactor);
            }
            delete services->eventReactor;
        }
        delete services;
        g_services = nullptr;
    }

    if (g_equivalence != nullptr) {
        if (AcRxProtocolReactorList* list = equivalenceList(false)) {
            list->removeReactor(g_equivalence);
        }
        delete g_equivalence;
        g_equivalence = nullptr;
    }

    delete AcDbBlockReference::desc()->delX(KxDbTagRepresentation::desc());
}

}  // namespace

ModuleServices* moduleServices() {
    return g_services;
}
KxDbImpTagRepresentationEquivalence* equivalenceReactor() {
    return g_equivalence;
}

void load(void* appId) {
    if (auto* linker = AcRxDynamicLinker::cast(acrxSysRegistry()->at(L"DynamicLinker"))) {
        linker->unlockApplication(appId);
    }
    acrxRegisterAppMDIAware(appId);
    kxdisplay::setModuleInstance(appId);

    registerClasses();
    acrxBuildClassHierarchy();

    // A second load message finds everything in place: installing again would register every
    // grip and reactor twice.
    if (g_services != nullptr || g_equivalence != nullptr) {
        return;
    }
    installServices();
}

void unload(void* appId) {
    if (auto* commands =
            AcEdCommandStack::cast(acrxSysRegistry()->at(L"ACAD_REGISTERED_COMMANDS"))) {
        commands->removeGroup(L"HELLOWORLD_COMMANDS");
    }
    // The entity index's watcher sits on a block and its database, which outlive the module:
    // left there, their next notification would call into unloaded code.
    kxindex::releaseModuleCaches();
    removeServices();
    unregisterClasses();
    kxdisplay::setModuleInstance(nullptr);
}

}  // namespace kxframe

extern "C" KXDB_EXPORT int acrxEntryPoint(int msg, void* appId) {
    switch (msg) {
        case AcRx::kInitAppMsg:
            kxframe::load(appId);
            break;
        case AcRx::kUnloadAppMsg:
            kxframe::unload(appId);
            break;
        default:
            break;
    }
    return AcRx::kRetOK;
}

// The host interface version the module is built for.
extern "C" KXDB_EXPORT int acrxGetApiVersion() {
    return 0x180000;
}
