// The run-time class system: every object of the host and of its plug-ins derives from
// AcRxObject and is described by an AcRxClass registered by name.
#pragma once

#include <string>
#include <vector>

#include "host/core/acstring.h"
#include "host/core/heap.h"
#include "host/core/types.h"

class AcRxClass;
class AcRxObject;

typedef AcRxObject* (*AppPseudoConstructor)();

namespace AcRx {
enum Ordering { kLessThan = -1, kEqual = 0, kGreaterThan = 1, kNotOrderable = 2 };
}

// Declares the run-time identity of a class: its descriptor accessor, checked cast and isA.
// The descriptor is cached in a per-class static pointer that registration fills and a class's
// unregistration clears.
#define ACRX_DECLARE_MEMBERS_EXPORT(CLASS, EXPORT)                   \
    EXPORT static AcRxClass* desc();                                 \
    EXPORT static CLASS* cast(const AcRxObject* p) {                 \
        return (p != nullptr && p->isKindOf(CLASS::desc()))          \
                   ? static_cast<CLASS*>(const_cast<AcRxObject*>(p)) \
                   : nullptr;                                        \
    }                                                                \
    EXPORT AcRxClass* isA() const override;                          \
    EXPORT static AcRxClass*& descCache()

#define ACRX_DECLARE_MEMBERS(CLASS) ACRX_DECLARE_MEMBERS_EXPORT(CLASS, )

// Defines the members declared above. desc() answers the cached descriptor or, when the cache is
// empty, looks the class up by name and caches what it finds.
#define ACRX_DEFINE_MEMBERS(CLASS)                     \
    AcRxClass*& CLASS::descCache() {                   \
        static AcRxClass* s_desc = nullptr;            \
        return s_desc;                                 \
    }                                                  \
    AcRxClass* CLASS::desc() {                         \
        AcRxClass*& cache = descCache();               \
        if (cache == nullptr) {                        \
            cache = acrxFindAcRxClass(ACRX_T(#CLASS)); \
        }                                              \
        return cache;                                  \
    }                                                  \
    AcRxClass* CLASS::isA() const {                    \
        return CLASS::desc();                          \
    }

class AcRxObject {
  public:
    ACRX_HEAP_OPERATORS()

    AcRxObject() = default;
    AcRxObject(const AcRxObject&) = default;
    AcRxObject& operator=(const AcRxObject&) = default;
    virtual ~AcRxObject();

    static AcRxClass* desc();
    static AcRxObject* cast(const AcRxObject* p) { return const_cast<AcRxObject*>(p); }
    virtual AcRxClass* isA() const;
    bool isKindOf(const AcRxClass* cls) const;

    // A new object of the same class made by the class's pseudo-constructor, given this
    // object's state through copyFrom; null when the class cannot be created or copied.
    virtual AcRxObject* clone() const;
    virtual Acad::ErrorStatus copyFrom(const AcRxObject* other);
    virtual bool isEqualTo(const AcRxObject* other) const { return other == this; }
    virtual AcRx::Ordering comparedTo(const AcRxObject* other) const { return AcRx::kNotOrderable; }

    // The protocol extension object registered for `protocolClass` on this object's class or
    // the nearest ancestor that has one; the object itself when it is of that class.
    AcRxObject* queryX(const AcRxClass* protocolClass) const;
    AcRxObject* x(const AcRxClass* protocolClass) const { return queryX(protocolClass); }

  protected:
    virtual AcRxObject* subQueryX(const AcRxClass* protocolClass) const;
};

class AcRxClass : public AcRxObject {
  public:
    ACRX_DECLARE_MEMBERS(AcRxClass);

    AcRxClass(const ACHAR* name, const ACHAR* parentName, int dwgVersion, int maintVersion,
              int proxyFlags, AppPseudoConstructor constructor, const ACHAR* dxfName,
              const ACHAR* appName);
    ~AcRxClass() override;
    AcRxClass(const AcRxClass&) = delete;
    AcRxClass& operator=(const AcRxClass&) = delete;

    const ACHAR* name() const { return m_name.kwszPtr(); }
    const ACHAR* parentName() const { return m_parentName.kwszPtr(); }
    AcRxClass* myParent() const { return m_parent; }
    bool isDerivedFrom(const AcRxClass* other) const;

    AcRxObject* create() const { return m_constructor != nullptr ? m_constructor() : nullptr; }
    AppPseudoConstructor constructor() const { return m_constructor; }
    // Null for classes registered without a DXF record name or application name.
    const ACHAR* dxfName() const { return m_dxfName.isEmpty() ? nullptr : m_dxfName.kwszPtr(); }
    const ACHAR* appName() const { return m_appName.isEmpty() ? nullptr : m_appName.kwszPtr(); }
    int getClassVersion(int& maintVersion) const {
        maintVersion = m_maintVersion;
        return m_dwgVersion;
    }
    int dwgVersion() const { return m_dwgVersion; }
    int maintenanceVersion() const { return m_maintVersion; }
    int proxyFlags() const { return m_proxyFlags; }

    // Protocol extensions: addX returns the object previously attached for the protocol class
    // (the caller owns it again); delX detaches and returns it.
    AcRxObject* addX(AcRxClass* protocolClass, AcRxObject* extension);
    AcRxObject* delX(AcRxClass* protocolClass);
    // Searches this class, then its ancestors.
    AcRxObject* queryX(const AcRxClass* protocolClass) const;
    // This class only.
    AcRxObject* getX(const AcRxClass* protocolClass) const;
    int numX() const;

    // Used by the registry when the hierarchy is built and when a class is deleted.
    void setParent(AcRxClass* parent) { m_parent = parent; }

  private:
    struct XEntry;
    AcString m_name;
    AcString m_parentName;
    AcString m_dxfName;
    AcString m_appName;
    int m_dwgVersion;
    int m_maintVersion;
    int m_proxyFlags;
    AppPseudoConstructor m_constructor;
    AcRxClass* m_parent = nullptr;
    XEntry* m_x = nullptr;  // singly linked list of attached extensions
};

// Registration. The full call carries the filing identity of a database class; the short call
// registers an abstract base or a transient class. Parents may be registered after their
// children: parent links are resolved when the hierarchy is built (and immediately when the
// parent is already present). A name that is already registered is not registered again: the
// call returns null.
AcRxClass* newAcRxClass(const ACHAR* className, const ACHAR* parentClassName, int dwgVersion,
                        int maintVersion, int proxyFlags, AppPseudoConstructor constructor,
                        const ACHAR* dxfName, const ACHAR* appName);
AcRxClass* newAcRxClass(const ACHAR* className, const ACHAR* parentClassName, int proxyFlags = 0,
                        AppPseudoConstructor constructor = nullptr, const ACHAR* dxfName = nullptr,
                        const ACHAR* appName = nullptr);
AcRxClass* acrxFindAcRxClass(const ACHAR* className);
void acrxBuildClassHierarchy();
void deleteAcRxClass(AcRxClass* cls);

// Stops the process with a message: used when a plug-in finds the class system in a state it
// cannot work with. The message is written to standard error before the process aborts.
[[noreturn]] void acrx_abort(const ACHAR* format, ...);

namespace kxhost {
// Every registered class, in registration order.
AcArray<AcRxClass*> registeredClasses();
// Number of classes created and deleted since the process started (tests of plug-in unload).
long classesCreated();
long classesDeleted();
// Names of the classes deleted since the last call, in deletion order; the call clears the log.
std::vector<std::wstring> takeClassDeletionLog();

// Host classes register themselves through this: the registration runs when the class system
// first starts, or at once when it has already started.
struct HostClassRegistrar {
    explicit HostClassRegistrar(void (*registerFn)());
};
void startClassSystem();
}  // namespace kxhost

// Registers a host class with the short call (abstract or transient host classes).
#define ACRX_HOST_CLASS(CLASS, PARENT)                          \
    ACRX_DEFINE_MEMBERS(CLASS)                                  \
    static const kxhost::HostClassRegistrar s_register_##CLASS( \
        [] { CLASS::descCache() = newAcRxClass(ACRX_T(#CLASS), ACRX_T(#PARENT)); })

// Registers a host database class with a DXF record name and a pseudo-constructor.
#define ACRX_HOST_DXF_CLASS(CLASS, PARENT, DXFNAME)                                            \
    ACRX_DEFINE_MEMBERS(CLASS)                                                                 \
    static AcRxObject* s_make_##CLASS() {                                                      \
        return new CLASS();                                                                    \
    }                                                                                          \
    static const kxhost::HostClassRegistrar s_register_##CLASS([] {                            \
        CLASS::descCache() = newAcRxClass(ACRX_T(#CLASS), ACRX_T(#PARENT), AcDb::kDHL_CURRENT, \
                                          AcDb::kMReleaseCurrent, 0, &s_make_##CLASS,          \
                                          ACRX_T(DXFNAME), ACRX_T("AcDbHost"));                \
    })
