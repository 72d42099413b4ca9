// Shared pieces of the cloning suites: an object class that files every kind of id (so tests see
// which ids cloning follows and how each is translated), a class that cannot be created, a class
// whose clone filing breaks, an event reactor that records what it is told and can act inside
// the notifications, and small helpers for opening and chains.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "host/core/resbuf.h"
#include "host/db/clone.h"
#include "host/db/database.h"
#include "host/db/dbobject.h"
#include "host/db/idmapping.h"
#include "host/rx/services.h"

// Files a value, hard-owned children, a soft-owned child, and a hard and a soft pointer.
class KxCloneNode : public AcDbObject {
  public:
    ACRX_DECLARE_MEMBERS(KxCloneNode);

    Adesk::Int32 value = 0;
    AcDbObjectIdArray hardOwned;
    AcDbObjectId softOwned;
    AcDbObjectId hardPointer;
    AcDbObjectId softPointer;

    Acad::ErrorStatus dwgOutFields(AcDbDwgFiler* filer) const override;
    Acad::ErrorStatus dwgInFields(AcDbDwgFiler* filer) override;
};

// Registered without a pseudo-constructor.
class KxCloneAbstract : public AcDbObject {
  public:
    ACRX_DECLARE_MEMBERS(KxCloneAbstract);
};

// Reads back nothing it wrote when the filer is a clone filer: a damaged stream.
class KxCloneBroken : public AcDbObject {
  public:
    ACRX_DECLARE_MEMBERS(KxCloneBroken);
    Acad::ErrorStatus dwgOutFields(AcDbDwgFiler* filer) const override;
    Acad::ErrorStatus dwgInFields(AcDbDwgFiler* filer) override;
};

// Records the notifications with what the map held at each; hooks let a test act inside them.
class RecordingEventReactor : public AcRxEventReactor {
  public:
    RecordingEventReactor();
    ~RecordingEventReactor() override;

    void beginDeepClone(AcDbDatabase* pTo, AcDbIdMapping& idMap) override;
    void beginDeepCloneXlation(AcDbIdMapping& idMap, Acad::ErrorStatus* pRetStatus) override;
    void abortDeepClone(AcDbIdMapping& idMap) override;
    void endDeepClone(AcDbIdMapping& idMap) override;

    std::vector<std::wstring> events;
    AcDbDatabase* beginDest = nullptr;
    AcDb::DeepCloneType beginContext = AcDb::kDcCopy;
    int pairsAtXlation = 0;
    int pairsAtEnd = 0;
    std::function<void(AcDbIdMapping&, Acad::ErrorStatus*)> onXlation;
    std::function<void(AcDbIdMapping&)> onEnd;
};

class CloneTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // A new node in the database, closed.
    static AcDbObjectId addNode(AcDbDatabase& db, Adesk::Int32 value = 0);
    // Opens the node for write, lets `edit` change it, closes it.
    static void editNode(AcDbObjectId id, const std::function<void(KxCloneNode*)>& edit);
    // The node's fields as they are now (a copy made while it is open for read).
    struct NodeView {
        Adesk::Int32 value = 0;
        AcDbObjectIdArray hardOwned;
        AcDbObjectId softOwned, hardPointer, softPointer, owner;
        AcDbObjectIdArray reactors;
    };
    static NodeView viewNode(AcDbObjectId id);
    // The clone recorded for the key; null when there is none.
    static AcDbObjectId cloneOf(const AcDbIdMapping& map, AcDbObjectId key);
};

namespace clonetest {

// An object opened here and closed when the holder goes.
template <class T>
struct Open {
    Open(AcDbObjectId id, AcDb::OpenMode mode, bool openErased = false) {
        status = acdbOpenObject(obj, id, mode, openErased);
    }
    ~Open() {
        if (obj != nullptr) {
            obj->close();
        }
    }
    Open(const Open&) = delete;
    Open& operator=(const Open&) = delete;
    T* operator->() const { return obj; }
    T* obj = nullptr;
    Acad::ErrorStatus status;
};

// A chain owned by the test.
struct Chain {
    explicit Chain(resbuf* rb = nullptr) : head(rb) {}
    ~Chain() { acutRelRb(head); }
    Chain(const Chain&) = delete;
    Chain& operator=(const Chain&) = delete;
    resbuf* head;
};

// The text of the n-th item with the code in the chain ("" when absent).
std::wstring textAt(const resbuf* chain, int code, int n = 0);
// An ads_name holding the id, for building chains.
struct Name {
    explicit Name(AcDbObjectId id) { acdbGetAdsName(value, id); }
    ads_name value;
};

}  // namespace clonetest
