// Host services reached through the system registry: the dynamic linker that loads plug-ins,
// protocol reactor lists per class, the registered-command stack and the event notifier.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "host/rx/rxobject.h"

class AcDbDatabase;
class AcDbIdMapping;
class AcDbObjectId;

// --- Dynamic linker -------------------------------------------------------------------------

class AcRxDynamicLinker : public AcRxObject {
  public:
    ACRX_DECLARE_MEMBERS(AcRxDynamicLinker);

    // Loads a plug-in: opens the shared library, reads its string resources, and sends it the
    // initialise message. Returns false when the file cannot be loaded or has no entry point.
    bool loadModule(const ACHAR* fileName, bool printIt = false, bool asCmd = false);
    // Sends the unload message and closes the library. Returns false when it is not loaded.
    bool unloadModule(const ACHAR* fileName, bool asCmd = false);
    bool isModuleLoaded(const ACHAR* fileName) const;
    // The handle a loaded plug-in was given as its application id (null when not loaded).
    void* moduleHandle(const ACHAR* fileName) const;

    bool unlockApplication(void* appId);
    bool lockApplication(void* appId);
    bool isApplicationLocked(void* appId) const;
    bool registerAppMDIAware(void* appId);
    bool isAppMDIAware(void* appId) const;

  private:
    struct Module {
        void* handle;
        int (*entry)(int, void*);
    };
    std::map<std::wstring, Module> m_modules;
    std::vector<void*> m_unlocked;
    std::vector<void*> m_mdiAware;
};

AcRxDynamicLinker* acrxDynamicLinker();
bool acrxRegisterAppMDIAware(void* appId);

// --- Protocol reactors ----------------------------------------------------------------------

class AcRxProtocolReactor : public AcRxObject {
  public:
    ACRX_DECLARE_MEMBERS(AcRxProtocolReactor);
};

class AcRxProtocolReactorList;

class AcRxProtocolReactorIterator : public AcRxObject {
  public:
    ACRX_DECLARE_MEMBERS(AcRxProtocolReactorIterator);
    explicit AcRxProtocolReactorIterator(std::vector<AcRxProtocolReactor*> snapshot)
        : m_items(std::move(snapshot)) {}
    void start() { m_pos = 0; }
    bool done() const { return m_pos >= m_items.size(); }
    void next() { ++m_pos; }
    AcRxProtocolReactor* reactor() const { return done() ? nullptr : m_items[m_pos]; }
    AcRxProtocolReactor* object() const { return reactor(); }

  private:
    std::vector<AcRxProtocolReactor*> m_items;
    size_t m_pos = 0;
};

// The reactors of one reactor class attached to one host class. The list does not own them.
class AcRxProtocolReactorList : public AcRxObject {
  public:
    ACRX_DECLARE_MEMBERS(AcRxProtocolReactorList);
    explicit AcRxProtocolReactorList(AcRxClass* reactorClass) : m_reactorClass(reactorClass) {}
    AcRxClass* reactorClass() const { return m_reactorClass; }
    Acad::ErrorStatus addReactor(AcRxProtocolReactor* reactor);
    void removeReactor(AcRxProtocolReactor* reactor);
    int numReactors() const { return static_cast<int>(m_reactors.size()); }
    // The caller deletes the iterator; it walks a snapshot, so reactors may be removed meanwhile.
    AcRxProtocolReactorIterator* newIterator() const;

  private:
    AcRxClass* m_reactorClass;
    std::vector<AcRxProtocolReactor*> m_reactors;
};

class AcRxProtocolReactorManager : public AcRxObject {
  public:
    ACRX_DECLARE_MEMBERS(AcRxProtocolReactorManager);
    ~AcRxProtocolReactorManager() override;
    // The list for the reactor class, made on first request.
    AcRxProtocolReactorList* createReactorList(AcRxClass* reactorClass);
    AcRxProtocolReactorList* findReactorList(AcRxClass* reactorClass) const;
    int numReactorLists() const { return static_cast<int>(m_lists.size()); }

  private:
    std::vector<AcRxProtocolReactorList*> m_lists;
};

class AcRxProtocolReactorManagerFactory : public AcRxObject {
  public:
    ACRX_DECLARE_MEMBERS(AcRxProtocolReactorManagerFactory);
    ~AcRxProtocolReactorManagerFactory() override;
    // The manager of the host class, made on first request.
    AcRxProtocolReactorManager* createReactorManager(AcRxClass* hostClass);
    AcRxProtocolReactorManager* findReactorManager(AcRxClass* hostClass) const;

  private:
    std::vector<std::pair<AcRxClass*, AcRxProtocolReactorManager*>> m_managers;
};

// --- Command stack --------------------------------------------------------------------------

typedef void (*AcRxFunctionPtr)();

class AcEdCommandStack : public AcRxObject {
  public:
    ACRX_DECLARE_MEMBERS(AcEdCommandStack);
    Acad::ErrorStatus addCommand(const ACHAR* groupName, const ACHAR* globalName,
                                 const ACHAR* localName, int flags, AcRxFunctionPtr function);
    // eKeyNotFound when the group holds no command.
    Acad::ErrorStatus removeGroup(const ACHAR* groupName);
    Acad::ErrorStatus removeCmd(const ACHAR* groupName, const ACHAR* globalName);
    bool hasGroup(const ACHAR* groupName) const;
    int numCommands() const { return static_cast<int>(m_commands.size()); }

  private:
    struct Command {
        std::wstring group;
        std::wstring global;
        std::wstring local;
        int flags;
        AcRxFunctionPtr fn;
    };
    std::vector<Command> m_commands;
};

// --- Event notifier -------------------------------------------------------------------------

class AcRxEventReactor : public AcRxObject {
  public:
    ACRX_DECLARE_MEMBERS(AcRxEventReactor);
    virtual void databaseConstructed(AcDbDatabase*) {}
    virtual void databaseToBeDestroyed(AcDbDatabase*) {}
    virtual void beginDeepClone(AcDbDatabase* pTo, AcDbIdMapping& idMap) {}
    virtual void beginDeepCloneXlation(AcDbIdMapping& idMap, Acad::ErrorStatus* pRetStatus) {}
    virtual void abortDeepClone(AcDbIdMapping& idMap) {}
    virtual void endDeepClone(AcDbIdMapping& idMap) {}
    virtual void beginWblock(AcDbDatabase* pTo, AcDbDatabase* pFrom) {}
    virtual void endWblock(AcDbDatabase* pTo) {}
};

class AcRxEvent : public AcRxObject {
  public:
    ACRX_DECLARE_MEMBERS(AcRxEvent);
    void addReactor(AcRxEventReactor* reactor);
    void removeReactor(AcRxEventReactor* reactor);
    int numReactors() const { return static_cast<int>(m_reactors.size()); }
    // A copy of the list, so a reactor may remove itself while being notified.
    std::vector<AcRxEventReactor*> reactors() const { return m_reactors; }

    void fireBeginDeepClone(AcDbDatabase* pTo, AcDbIdMapping& idMap);
    void fireBeginDeepCloneXlation(AcDbIdMapping& idMap, Acad::ErrorStatus* pRetStatus);
    void fireAbortDeepClone(AcDbIdMapping& idMap);
    void fireEndDeepClone(AcDbIdMapping& idMap);

  private:
    std::vector<AcRxEventReactor*> m_reactors;
};

// The event notifier of the system registry; null when it is not there.
AcRxEvent* acrxEvent();
