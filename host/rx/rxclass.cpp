// The class registry: descriptors by name, in registration order, with the host's own classes
// registered the first time anything asks the class system a question.
#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "host/rx/rxobject.h"

namespace {

struct Registry {
    std::map<std::wstring, AcRxClass*> byName;
    std::vector<AcRxClass*> inOrder;
    long created = 0;
    long deleted = 0;
    std::vector<std::wstring> deletionLog;
};

std::vector<void (*)()>& pendingHostClasses() {
    static std::vector<void (*)()> pending;
    return pending;
}

bool g_started = false;

Registry& registry() {
    static Registry r;
    return r;
}

Registry& liveRegistry() {
    if (!g_started) {
        kxhost::startClassSystem();
    }
    return registry();
}

void linkParent(Registry& r, AcRxClass* cls) {
    auto it = r.byName.find(cls->parentName());
    cls->setParent(it != r.byName.end() ? it->second : nullptr);
}

AcRxClass* registerClass(AcRxClass* cls) {
    Registry& r = registry();
    r.byName[cls->name()] = cls;
    r.inOrder.push_back(cls);
    ++r.created;
    linkParent(r, cls);
    // Children registered earlier find their parent now.
    for (AcRxClass* other : r.inOrder) {
        if (other->myParent() == nullptr && cls->name() == std::wstring(other->parentName())) {
            other->setParent(cls);
        }
    }
    return cls;
}

}  // namespace

namespace kxhost {

HostClassRegistrar::HostClassRegistrar(void (*registerFn)()) {
    if (g_started) {
        registerFn();
    } else {
        pendingHostClasses().push_back(registerFn);
    }
}

void startClassSystem() {
    if (g_started) {
        return;
    }
    g_started = true;
    // The root of the hierarchy first; every other host class registers through its registrar.
    AcRxObject::desc();
    std::vector<void (*)()> pending;
    pending.swap(pendingHostClasses());
    for (auto fn : pending) {
        fn();
    }
    acrxBuildClassHierarchy();
}

AcArray<AcRxClass*> registeredClasses() {
    AcArray<AcRxClass*> out;
    for (AcRxClass* cls : liveRegistry().inOrder) {
        out.append(cls);
    }
    return out;
}

long classesCreated() {
    return liveRegistry().created;
}
long classesDeleted() {
    return liveRegistry().deleted;
}

std::vector<std::wstring> takeClassDeletionLog() {
    std::vector<std::wstring> log;
    log.swap(liveRegistry().deletionLog);
    return log;
}

}  // namespace kxhost

AcRxClass* newAcRxClass(const ACHAR* className, const ACHAR* parentClassName, int dwgVersion,
                        int maintVersion, int proxyFlags, AppPseudoConstructor constructor,
                        const ACHAR* dxfName, const ACHAR* appName) {
    if (className == nullptr || *className == 0) {
        return nullptr;
    }
    Registry& r = liveRegistry();
    if (r.byName.count(className) != 0) {
        return nullptr;
    }
    auto* cls = new AcRxClass(className, parentClassName, dwgVersion, maintVersion, proxyFlags,
                              constructor, dxfName, appName);
    if (cls == nullptr) {
        return nullptr;
    }
    return registerClass(cls);
}

AcRxClass* newAcRxClass(const ACHAR* className, const ACHAR* parentClassName, int proxyFlags,
                        AppPseudoConstructor constructor, const ACHAR* dxfName,
                        const ACHAR* appName) {
    return newAcRxClass(className, parentClassName, 0, 0, proxyFlags, constructor, dxfName,
                        appName);
}

AcRxClass* acrxFindAcRxClass(const ACHAR* className) {
    if (className == nullptr) {
        return nullptr;
    }
    Registry& r = liveRegistry();
    auto it = r.byName.find(className);
    return it != r.byName.end() ? it->second : nullptr;
}

void acrxBuildClassHierarchy() {
    Registry& r = registry();
    for (AcRxClass* cls : r.inOrder) {
        linkParent(r, cls);
    }
}

void deleteAcRxClass(AcRxClass* cls) {
    if (cls == nullptr) {
        return;
    }
    Registry& r = liveRegistry();
    // Found by address first: a caller may hold a pointer to a descriptor that is already gone.
    auto pos = std::find(r.inOrder.begin(), r.inOrder.end(), cls);
    if (pos == r.inOrder.end()) {
        return;
    }
    r.inOrder.erase(pos);
    r.byName.erase(cls->name());
    // Children keep their parent's name, so a later registration of the parent relinks them.
    for (AcRxClass* other : r.inOrder) {
        if (other->myParent() == cls) {
            other->setParent(nullptr);
        }
    }
    ++r.deleted;
    r.deletionLog.push_back(cls->name());
    delete cls;
}

void acrx_abort(const ACHAR* format, ...) {
    va_list args;
    va_start(args, format);
    const AcString message(acFormatV(format, args));
    va_end(args);
    std::fprintf(stderr, "%s\n", message.utf8().c_str());
    std::fflush(stderr);
    std::abort();
}

// --- AcRxObject -------------------------------------------------------------------------------

AcRxObject::~AcRxObject() = default;

AcRxClass* AcRxObject::desc() {
    static AcRxClass* s_desc = nullptr;
    if (s_desc == nullptr) {
        Registry& r = registry();
        auto it = r.byName.find(L"AcRxObject");
        if (it != r.byName.end()) {
            s_desc = it->second;
        } else {
            s_desc = new AcRxClass(L"AcRxObject", L"", 0, 0, 0, nullptr, nullptr, nullptr);
            registerClass(s_desc);
        }
    }
    return s_desc;
}

AcRxClass* AcRxObject::isA() const {
    return AcRxObject::desc();
}

bool AcRxObject::isKindOf(const AcRxClass* cls) const {
    const AcRxClass* mine = isA();
    return cls != nullptr && mine != nullptr && mine->isDerivedFrom(cls);
}

AcRxObject* AcRxObject::clone() const {
    AcRxClass* cls = isA();
    AcRxObject* copy = cls != nullptr ? cls->create() : nullptr;
    if (copy != nullptr && copy->copyFrom(this) != Acad::eOk) {
        delete copy;
        return nullptr;
    }
    return copy;
}

Acad::ErrorStatus AcRxObject::copyFrom(const AcRxObject* other) {
    return Acad::eNotApplicable;
}

AcRxObject* AcRxObject::queryX(const AcRxClass* protocolClass) const {
    if (protocolClass == nullptr) {
        return nullptr;
    }
    if (isKindOf(protocolClass)) {
        return const_cast<AcRxObject*>(this);
    }
    return subQueryX(protocolClass);
}

AcRxObject* AcRxObject::subQueryX(const AcRxClass* protocolClass) const {
    const AcRxClass* cls = isA();
    return cls != nullptr ? cls->queryX(protocolClass) : nullptr;
}

// --- AcRxClass --------------------------------------------------------------------------------

ACRX_DEFINE_MEMBERS(AcRxClass)
static const kxhost::HostClassRegistrar s_registerAcRxClass([] {
    AcRxClass::descCache() = newAcRxClass(L"AcRxClass", L"AcRxObject");
});

struct AcRxClass::XEntry {
    const AcRxClass* protocolClass;
    AcRxObject* extension;
    XEntry* next;
};

AcRxClass::AcRxClass(const ACHAR* name, const ACHAR* parentName, int dwgVersion, int maintVersion,
                     int proxyFlags, AppPseudoConstructor constructor, const ACHAR* dxfName,
                     const ACHAR* appName)
    : m_name(name),
      m_parentName(parentName),
      m_dxfName(dxfName),
      m_appName(appName),
      m_dwgVersion(dwgVersion),
      m_maintVersion(maintVersion),
      m_proxyFlags(proxyFlags),
      m_constructor(constructor) {}

AcRxClass::~AcRxClass() {
    // Extensions still attached belong to the class being removed.
    while (m_x != nullptr) {
        XEntry* next = m_x->next;
        delete m_x->extension;
        delete m_x;
        m_x = next;
    }
}

bool AcRxClass::isDerivedFrom(const AcRxClass* other) const {
    int depth = 0;
    for (const AcRxClass* c = this; c != nullptr && depth < 256; c = c->m_parent, ++depth) {
        if (c == other) {
            return true;
        }
    }
    return false;
}

AcRxObject* AcRxClass::addX(AcRxClass* protocolClass, AcRxObject* extension) {
    if (protocolClass == nullptr) {
        return nullptr;
    }
    for (XEntry* e = m_x; e != nullptr; e = e->next) {
        if (e->protocolClass == protocolClass) {
            AcRxObject* previous = e->extension;
            e->extension = extension;
            return previous;
        }
    }
    m_x = new XEntry{protocolClass, extension, m_x};
    return nullptr;
}

AcRxObject* AcRxClass::delX(AcRxClass* protocolClass) {
    for (XEntry** link = &m_x; *link != nullptr; link = &(*link)->next) {
        if ((*link)->protocolClass == protocolClass) {
            XEntry* e = *link;
            AcRxObject* extension = e->extension;
            *link = e->next;
            delete e;
            return extension;
        }
    }
    return nullptr;
}

AcRxObject* AcRxClass::getX(const AcRxClass* protocolClass) const {
    for (XEntry* e = m_x; e != nullptr; e = e->next) {
        if (e->protocolClass == protocolClass) {
            return e->extension;
        }
    }
    return nullptr;
}

AcRxObject* AcRxClass::queryX(const AcRxClass* protocolClass) const {
    int depth = 0;
    for (const AcRxClass* c = this; c != nullptr && depth < 256; c = c->m_parent, ++depth) {
        if (AcRxObject* found = c->getX(protocolClass)) {
            return found;
        }
    }
    return nullptr;
}

int AcRxClass::numX() const {
    int n = 0;
    for (XEntry* e = m_x; e != nullptr; e = e->next) {
        ++n;
    }
    return n;
}
