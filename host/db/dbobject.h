// Database objects: the open/close protocol, ownership, erasure, reactors, extended data,
// extension dictionaries, filing and copying.
#pragma once

#include <vector>

#include "host/core/resbuf.h"
#include "host/db/objectid.h"
#include "host/gi/drawable.h"

class AcDbDatabase;
class AcDbDwgFiler;
class AcDbDxfFiler;
class AcDbAuditInfo;
class AcDbIdMapping;
class AcDbObjectReactor;

class AcDbObject : public AcGiDrawable {
  public:
    ACRX_DECLARE_MEMBERS(AcDbObject);

    AcDbObject();
    ~AcDbObject() override;
    AcDbObject(const AcDbObject&) = delete;
    AcDbObject& operator=(const AcDbObject&) = delete;

    // Identity and membership. An object outside a database has the null id and no owner
    // database; it has no open state: it is always writable and its close does nothing.
    AcDbObjectId objectId() const;
    AcDbObjectId ownerId() const;
    virtual Acad::ErrorStatus setOwnerId(AcDbObjectId ownerId);
    AcDbDatabase* database() const;
    AcDbHandle handle() const;
    void getAcDbHandle(AcDbHandle& handle) const { handle = this->handle(); }

    // Open protocol: each successful open is matched by exactly one close.
    //
    // Every open pushes a record (read, write or notify) on the object's stack of opens and every
    // close pops the newest one; upgradeOpen/downgradeOpen/upgradeFromNotify/downgradeToNotify
    // change the newest record. The object is write-enabled while any outstanding record is a
    // write, read-enabled while any is a read or a write, notify-enabled while any record is
    // outstanding.
    //
    // Which opens are granted (see acdbOpenAcDbObject):
    // - Nested rule (default). The host runs one call chain at a time, so every open outstanding
    //   when a new one is asked for belongs to an enclosing caller of the same chain. Reads,
    //   notifies and writes are therefore always granted: a write inside a write is re-entrant
    //   (same pointer, one more record), a read inside a write leaves the object write-enabled,
    //   and a write while only reads are outstanding makes the object write-enabled for those
    //   readers too. upgradeOpen is granted whatever other readers there are.
    // - Strict rule (kxhost::setStrictOpens(true)). Opens conflict as between independent callers:
    //   a read of an object open for write fails with eWasOpenForWrite, a write of an object open
    //   for write with eWasOpenForWrite, a write of an object open for read with eWasOpenForRead,
    //   and upgradeOpen with other readers outstanding with eHadMultipleReaders. Notify opens, and
    //   records downgraded to notify, conflict with nothing.
    //
    // Failures of the state changes: eInvalidOpenState when the object has no outstanding open;
    // upgradeOpen answers eWasOpenForWrite / eWasOpenForNotify when the newest record is already
    // a write / a notify; downgradeOpen answers eWasOpenForRead / eWasOpenForNotify when it is a
    // read / a notify. upgradeFromNotify sets wasWritable to whether the object was write-enabled
    // already (then nothing changes) and otherwise turns the newest record into a write;
    // downgradeToNotify(wasWritable) undoes that: with false the newest record becomes a notify,
    // with true nothing changes, so the pair leaves the object as it found it.
    //
    // close() of a resident object with no open outstanding returns eUnmatchedClose and is
    // counted (kxhost::unmatchedCloses). When a close or downgrade ends the last write of an
    // object that was modified (assertWriteEnabled with recordModified), its reactors, persistent
    // reactors and database reactors are told `modified` while the closing record reads as a
    // notify. Objects outside a database have no open state: every call here returns eOk.
    Acad::ErrorStatus close();
    Acad::ErrorStatus upgradeOpen();
    Acad::ErrorStatus downgradeOpen();
    Acad::ErrorStatus upgradeFromNotify(Adesk::Boolean& wasWritable);
    Acad::ErrorStatus downgradeToNotify(Adesk::Boolean wasWritable);
    bool isReadEnabled() const;
    bool isWriteEnabled() const;
    bool isNotifyEnabled() const;
    bool isModified() const;
    bool isNewObject() const;
    bool isErased() const;
    bool isAProxy() const;

    // Assertions: a violation is counted (see kxhost::assertionViolations) rather than fatal.
    void assertReadEnabled() const;
    void assertWriteEnabled(bool autoUndo = true, bool recordModified = true);
    void assertNotifyEnabled() const;

    // Needs the object write-enabled (eNotOpenForWrite) and in a database (eNotInDatabase).
    // Erasing an erased object answers eWasErased, unerasing a live one eWasNotErased. subErase
    // runs first and can refuse; the extension dictionary follows its owner; reactors, persistent
    // reactors and database reactors are told.
    Acad::ErrorStatus erase(bool erasing = true);
    // Hook for classes that erase what they own along with themselves.
    virtual Acad::ErrorStatus subErase(Adesk::Boolean erasing) { return Acad::eOk; }

    // Notifications an object receives as a persistent reactor of another object (it is opened
    // for notify around the call).
    virtual void erased(const AcDbObject* dbObj, Adesk::Boolean erasing) {}
    virtual void modified(const AcDbObject* dbObj) {}

    // Filing: the full entry points run the object's virtual field filing.
    Acad::ErrorStatus dwgIn(AcDbDwgFiler* filer);
    Acad::ErrorStatus dwgOut(AcDbDwgFiler* filer) const;
    Acad::ErrorStatus dxfIn(AcDbDxfFiler* filer);
    Acad::ErrorStatus dxfOut(AcDbDxfFiler* filer) const;
    virtual Acad::ErrorStatus dwgInFields(AcDbDwgFiler* filer);
    virtual Acad::ErrorStatus dwgOutFields(AcDbDwgFiler* filer) const;
    virtual Acad::ErrorStatus dxfInFields(AcDbDxfFiler* filer);
    virtual Acad::ErrorStatus dxfOutFields(AcDbDxfFiler* filer) const;
    virtual Acad::ErrorStatus audit(AcDbAuditInfo* info);
    virtual Acad::ErrorStatus decomposeForSave(AcDb::AcDbDwgVersion ver, AcDbObject*& replaceObj,
                                               AcDbObjectId& replaceId,
                                               Adesk::Boolean& exchangeXData);

    // Copying: copyFrom (eNullObjectPointer for null, eWrongObjectType for another class) takes the
    // state of an object of the same class through a copy filer running the most derived class's
    // filing; clone makes a new object that is in no database and has no owner.
    Acad::ErrorStatus copyFrom(const AcRxObject* other) override;
    AcRxObject* clone() const override;
    virtual Acad::ErrorStatus deepClone(AcDbObject* pOwner, AcDbObject*& pClone,
                                        AcDbIdMapping& idMap,
                                        Adesk::Boolean isPrimary = true) const;
    virtual Acad::ErrorStatus wblockClone(AcRxObject* pOwner, AcDbObject*& pClone,
                                          AcDbIdMapping& idMap,
                                          Adesk::Boolean isPrimary = true) const;

    // Reactors: transient reactors are objects of the caller; persistent ones are ids, filed with
    // the object. addPersistentReactor needs the object write-enabled (a violation is counted and
    // nothing is added); removePersistentReactor answers eNotOpenForWrite or eKeyNotFound.
    void addReactor(AcDbObjectReactor* reactor) const;
    void removeReactor(AcDbObjectReactor* reactor) const;
    void addPersistentReactor(AcDbObjectId id);
    Acad::ErrorStatus removePersistentReactor(AcDbObjectId id);
    bool hasPersistentReactor(AcDbObjectId id) const;
    AcDbObjectIdArray persistentReactors() const;
    std::vector<AcDbObjectReactor*> transientReactors() const;

    // Extended data per registered application. xData returns a copy the caller releases with
    // acutRelRb (null when there is none); setXData replaces the data of each application the
    // chain names and leaves the others alone; a lone application group removes that
    // application's data. setXData needs the object write-enabled (eNotOpenForWrite); the chain
    // must start with a 1001 group (eInvalidInput) and hold only extended-data codes
    // (eInvalidResBuf). Applications a resident object names are registered in its database's
    // application table when missing.
    resbuf* xData(const ACHAR* regappName = nullptr) const;
    virtual Acad::ErrorStatus setXData(const resbuf* xdata);

    // The extension dictionary is an AcDbDictionary hard-owned by the object. Creating needs the
    // object resident (eNoDatabase) and write-enabled; a second one answers eAlreadyInDb.
    // Releasing erases it, only when empty (eContainerNotEmpty).
    AcDbObjectId extensionDictionary() const;
    Acad::ErrorStatus createExtensionDictionary();
    Acad::ErrorStatus releaseExtensionDictionary();

    // Used by the database; not for plug-ins.
    struct State;
    State* hostState() const { return m_state; }

  private:
    State* m_state;
};

// Object reactors: notifications sent to reactors of an object.
class AcDbObjectReactor : public AcRxObject {
  public:
    ACRX_DECLARE_MEMBERS(AcDbObjectReactor);
    virtual void cancelled(const AcDbObject*) {}
    virtual void copied(const AcDbObject*, const AcDbObject*) {}
    virtual void erased(const AcDbObject*, Adesk::Boolean) {}
    virtual void goodbye(const AcDbObject*) {}
    virtual void openedForModify(const AcDbObject*) {}
    virtual void modified(const AcDbObject*) {}
    virtual void modifyUndone(const AcDbObject*) {}
    virtual void unappended(const AcDbObject*) {}
    virtual void reappended(const AcDbObject*) {}
    virtual void objectClosed(const AcDbObjectId) {}
};

// Opening by id. The typed form checks the class (eNotThatKindOfClass and no object when it
// does not match). An erased object opens only when openErased is true. Statuses: eNullObjectId
// for the null id, eUnknownHandle for an id that names no object (never handed out, its database
// gone, or a handle reserved by getAcDbObjectId whose object has not been added yet), eWasErased,
// eInvalidInput for an unknown mode, eAtMaxReaders past 256 outstanding opens, and the strict-mode
// conflicts described at AcDbObject::close.
Acad::ErrorStatus acdbOpenObject(AcDbObject*& pObj, AcDbObjectId id, AcDb::OpenMode mode,
                                 bool openErased = false);
Acad::ErrorStatus acdbOpenAcDbObject(AcDbObject*& pObj, AcDbObjectId id, AcDb::OpenMode mode,
                                     bool openErased = false);

template <class T>
Acad::ErrorStatus acdbOpenObject(T*& pObj, AcDbObjectId id, AcDb::OpenMode mode,
                                 bool openErased = false) {
    pObj = nullptr;
    AcDbObject* obj = nullptr;
    Acad::ErrorStatus es = acdbOpenAcDbObject(obj, id, mode, openErased);
    if (es != Acad::eOk) {
        return es;
    }
    T* typed = T::cast(obj);
    if (typed == nullptr) {
        obj->close();
        return Acad::eNotThatKindOfClass;
    }
    pObj = typed;
    return Acad::eOk;
}

namespace kxhost {
// Number of failed read/write/notify assertions since the last reset.
long assertionViolations();
void resetAssertionViolations();
// Number of close calls that matched no open since the last reset.
long unmatchedCloses();
void resetUnmatchedCloses();
// Strict mode reports an open that conflicts with an open already held (eWasOpenForWrite, 80,
// when the object is open for write and a read is asked; eWasOpenForRead, 81, when it is open
// for read and a write is asked) instead of nesting the opens.
void setStrictOpens(bool strict);
bool strictOpens();
}  // namespace kxhost
