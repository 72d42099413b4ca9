#include "host/rx/services.h"

#include <dlfcn.h>

#include <algorithm>

#include "host/ed/platform.h"
#include "host/ed/sysvars.h"
#include "host/rx/dictionary.h"

ACRX_HOST_CLASS(AcRxDynamicLinker, AcRxObject);
ACRX_HOST_CLASS(AcRxProtocolReactor, AcRxObject);
ACRX_HOST_CLASS(AcRxProtocolReactorIterator, AcRxObject);
ACRX_HOST_CLASS(AcRxProtocolReactorList, AcRxObject);
ACRX_HOST_CLASS(AcRxProtocolReactorManager, AcRxObject);
ACRX_HOST_CLASS(AcRxProtocolReactorManagerFactory, AcRxObject);
ACRX_HOST_CLASS(AcEdCommandStack, AcRxObject);
ACRX_HOST_CLASS(AcRxEventReactor, AcRxObject);
ACRX_HOST_CLASS(AcRxEvent, AcRxObject);

// --- Dynamic linker -------------------------------------------------------------------------

AcRxDynamicLinker* acrxDynamicLinker() {
    return AcRxDynamicLinker::cast(acrxSysRegistry()->at(L"DynamicLinker"));
}

bool AcRxDynamicLinker::loadModule(const ACHAR* fileName, bool printIt, bool asCmd) {
    if (fileName == nullptr || m_modules.count(fileName) != 0) {
        return false;
    }
    const std::string path = AcString(fileName).utf8();
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        if (printIt) {
            acutPrintf(L"Unable to load %s: %s\n", fileName,
                       AcString::fromUtf8(dlerror()).kwszPtr());
        }
        return false;
    }
    auto entry = reinterpret_cast<int (*)(int, void*)>(dlsym(handle, "acrxEntryPoint"));
    if (entry == nullptr) {
        dlclose(handle);
        return false;
    }
    // Resources are readable before the plug-in runs any code, as from a resource section.
    const auto* table =
        static_cast<const kxhost::StringResource*>(dlsym(handle, KXHOST_STRING_RESOURCES_SYMBOL));
    if (table != nullptr) {
        kxhost::registerStringResources(handle, table);
    }
    m_modules[fileName] = Module{handle, entry};
    entry(AcRx::kInitAppMsg, handle);
    return true;
}

bool AcRxDynamicLinker::unloadModule(const ACHAR* fileName, bool asCmd) {
    auto it = fileName != nullptr ? m_modules.find(fileName) : m_modules.end();
    if (it == m_modules.end()) {
        return false;
    }
    const Module module = it->second;
    m_modules.erase(it);
    module.entry(AcRx::kUnloadAppMsg, module.handle);
    kxhost::unregisterStringResources(module.handle);
    m_unlocked.erase(std::remove(m_unlocked.begin(), m_unlocked.end(), module.handle),
                     m_unlocked.end());
    m_mdiAware.erase(std::remove(m_mdiAware.begin(), m_mdiAware.end(), module.handle),
                     m_mdiAware.end());
    dlclose(module.handle);
    return true;
}

bool AcRxDynamicLinker::isModuleLoaded(const ACHAR* fileName) const {
    return fileName != nullptr && m_modules.count(fileName) != 0;
}

void* AcRxDynamicLinker::moduleHandle(const ACHAR* fileName) const {
    auto it = fileName != nullptr ? m_modules.find(fileName) : m_modules.end();
    return it != m_modules.end() ? it->second.handle : nullptr;
}

bool AcRxDynamicLinker::unlockApplication(void* appId) {
    if (!isApplicationLocked(appId)) {
        return true;
    }
    m_unlocked.push_back(appId);
    return true;
}

bool AcRxDynamicLinker::lockApplication(void* appId) {
    m_unlocked.erase(std::remove(m_unlocked.begin(), m_unlocked.end(), appId), m_unlocked.end());
    return true;
}

bool AcRxDynamicLinker::isApplicationLocked(void* appId) const {
    return std::find(m_unlocked.begin(), m_unlocked.end(), appId) == m_unlocked.end();
}

bool AcRxDynamicLinker::registerAppMDIAware(void* appId) {
    if (!isAppMDIAware(appId)) {
        m_mdiAware.push_back(appId);
    }
    return true;
}

bool AcRxDynamicLinker::isAppMDIAware(void* appId) const {
    return std::find(m_mdiAware.begin(), m_mdiAware.end(), appId) != m_mdiAware.end();
}

bool acrxRegisterAppMDIAware(void* appId) {
    AcRxDynamicLinker* linker = acrxDynamicLinker();
    return linker != nullptr && linker->registerAppMDIAware(appId);
}

// --- Protocol reactors ----------------------------------------------------------------------

Acad::ErrorStatus AcRxProtocolReactorList::addReactor(AcRxProtocolReactor* reactor) {
    if (reactor == nullptr) {
        return Acad::eNullObjectPointer;
    }
    if (m_reactorClass != nullptr && !reactor->isKindOf(m_reactorClass)) {
        return Acad::eWrongObjectType;
    }
    if (std::find(m_reactors.begin(), m_reactors.end(), reactor) == m_reactors.end()) {
        m_reactors.push_back(reactor);
    }
    return Acad::eOk;
}

void AcRxProtocolReactorList::removeReactor(AcRxProtocolReactor* reactor) {
    m_reactors.erase(std::remove(m_reactors.begin(), m_reactors.end(), reactor), m_reactors.end());
}

AcRxProtocolReactorIterator* AcRxProtocolReactorList::newIterator() const {
    return new AcRxProtocolReactorIterator(m_reactors);
}

AcRxProtocolReactorManager::~AcRxProtocolReactorManager() {
    for (AcRxProtocolReactorList* list : m_lists) {
        delete list;
    }
}

AcRxProtocolReactorList* AcRxProtocolReactorManager::createReactorList(AcRxClass* reactorClass) {
    if (AcRxProtocolReactorList* existing = findReactorList(reactorClass)) {
        return existing;
    }
    auto* list = new AcRxProtocolReactorList(reactorClass);
    if (list != nullptr) {
        m_lists.push_back(list);
    }
    return list;
}

AcRxProtocolReactorList* AcRxProtocolReactorManager::findReactorList(
    AcRxClass* reactorClass) const {
    for (AcRxProtocolReactorList* list : m_lists) {
        if (list->reactorClass() == reactorClass) {
            return list;
        }
    }
    return nullptr;
}

AcRxProtocolReactorManagerFactory::~AcRxProtocolReactorManagerFactory() {
    for (auto& entry : m_managers) {
        delete entry.second;
    }
}

AcRxProtocolReactorManager* AcRxProtocolReactorManagerFactory::createReactorManager(
    AcRxClass* hostClass) {
    if (AcRxProtocolReactorManager* existing = findReactorManager(hostClass)) {
        return existing;
    }
    auto* manager = new AcRxProtocolReactorManager();
    if (manager != nullptr) {
        m_managers.emplace_back(hostClass, manager);
    }
    return manager;
}

AcRxProtocolReactorManager* AcRxProtocolReactorManagerFactory::findReactorManager(
    AcRxClass* hostClass) const {
    for (const auto& entry : m_managers) {
        if (entry.first == hostClass) {
            return entry.second;
        }
    }
    return nullptr;
}

// --- Command stack --------------------------------------------------------------------------

Acad::ErrorStatus AcEdCommandStack::addCommand(const ACHAR* groupName, const ACHAR* globalName,
                                               const ACHAR* localName, int flags,
                                               AcRxFunctionPtr function) {
    if (groupName == nullptr || globalName == nullptr || function == nullptr) {
        return Acad::eInvalidInput;
    }
    for (const Command& c : m_commands) {
        if (c.group == groupName && c.global == globalName) {
            return Acad::eDuplicateKey;
        }
    }
    m_commands.push_back(Command{groupName, globalName,
                                 localName != nullptr ? localName : globalName, flags, function});
    return Acad::eOk;
}

Acad::ErrorStatus AcEdCommandStack::removeGroup(const ACHAR* groupName) {
    if (groupName == nullptr) {
        return Acad::eInvalidInput;
    }
    const size_t before = m_commands.size();
    m_commands.erase(std::remove_if(m_commands.begin(), m_commands.end(),
                                    [&](const Command& c) { return c.group == groupName; }),
                     m_commands.end());
    return m_commands.size() == before ? Acad::eKeyNotFound : Acad::eOk;
}

Acad::ErrorStatus AcEdCommandStack::removeCmd(const ACHAR* groupName, const ACHAR* globalName) {
    for (size_t i = 0; i < m_commands.size(); ++i) {
        if (m_commands[i].group == groupName && m_commands[i].global == globalName) {
            m_commands.erase(m_commands.begin() + static_cast<long>(i));
            return Acad::eOk;
        }
    }
    return Acad::eKeyNotFound;
}

bool AcEdCommandStack::hasGroup(const ACHAR* groupName) const {
    return std::any_of(m_commands.begin(), m_commands.end(),
                       [&](const Command& c) { return c.group == groupName; });
}

// --- Event notifier -------------------------------------------------------------------------

AcRxEvent* acrxEvent() {
    return AcRxEvent::cast(acrxSysRegistry()->at(L"AcRxEvent"));
}

void AcRxEvent::addReactor(AcRxEventReactor* reactor) {
    if (reactor != nullptr &&
        std::find(m_reactors.begin(), m_reactors.end(), reactor) == m_reactors.end()) {
        m_reactors.push_back(reactor);
    }
}

void AcRxEvent::removeReactor(AcRxEventReactor* reactor) {
    m_reactors.erase(std::remove(m_reactors.begin(), m_reactors.end(), reactor), m_reactors.end());
}

void AcRxEvent::fireBeginDeepClone(AcDbDatabase* pTo, AcDbIdMapping& idMap) {
    for (AcRxEventReactor* r : reactors()) {
        r->beginDeepClone(pTo, idMap);
    }
}

void AcRxEvent::fireBeginDeepCloneXlation(AcDbIdMapping& idMap, Acad::ErrorStatus* pRetStatus) {
    for (AcRxEventReactor* r : reactors()) {
        r->beginDeepCloneXlation(idMap, pRetStatus);
        if (pRetStatus != nullptr && *pRetStatus != Acad::eOk) {
            return;
        }
    }
}

void AcRxEvent::fireAbortDeepClone(AcDbIdMapping& idMap) {
    for (AcRxEventReactor* r : reactors()) {
        r->abortDeepClone(idMap);
    }
}

void AcRxEvent::fireEndDeepClone(AcDbIdMapping& idMap) {
    for (AcRxEventReactor* r : reactors()) {
        r->endDeepClone(idMap);
    }
}
