// Internal to the host library: the per-object bookkeeping behind AcDbObject, the process-wide
// table that resolves ids, and the helpers the database classes share. Plug-ins never include
// this header.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "host/core/resbuf.h"
#include "host/db/dbobject.h"

class AcDbDwgFiler;

struct AcDbObject::State {
    // One outstanding open. The stack of them is the object's whole open state.
    struct Open {
        AcDb::OpenMode mode;
    };
    // The extended data of one application: the items after its 1001 group, copied on the host
    // heap so they outlive whatever chain they came from.
    struct AppData {
        std::wstring app;
        resbuf* items = nullptr;
    };

    AcDbDatabase* db = nullptr;
    AcDbObjectId id;
    AcDbObjectId owner;
    AcDbObjectId extDict;
    // The handle in the database, or the one the file reader assigned before adding the object.
    AcDbHandle handle;
    std::vector<Open> opens;
    bool erased = false;
    bool modified = false;
    bool newObject = false;
    // Set by a recorded modification; cleared once reactors were told about it.
    bool pendingModified = false;
    bool openedForModifySent = false;
    std::vector<AcDbObjectReactor*> reactors;
    AcDbObjectIdArray persistent;
    std::vector<AppData> xdata;

    ~State();
    bool hasWriteOpen() const;
    bool hasReadOpen() const;  // read records only (not writes)
};

namespace kxhost {
namespace detail {

// What the process-wide id table knows about one id. `obj` is null for a handle reserved with
// getAcDbObjectId(createIfNotFound) before its object was added.
struct IdEntry {
    AcDbDatabase* db = nullptr;
    AcDbObject* obj = nullptr;
    Adesk::UInt64 handle = 0;
};

// Null when the id was never handed out or its database is gone.
const IdEntry* findId(Adesk::Int64 raw);
// The object behind an id without going through the open protocol: for host code that only
// looks (names of records, erased flags). Null for unknown ids and reserved handles.
AcDbObject* residentObject(const AcDbObjectId& id);
// Called by ~AcDbObject for a resident object deleted outside its database's destructor.
void forgetObject(AcDbObject* obj);

// Notifications, each sent to the transient reactors, the persistent reactors and the database
// reactors of the object.
void announceModified(AcDbObject* obj);
void announceErased(AcDbObject* obj, bool erasing);
void announceAppended(AcDbObject* obj);

// Calls `fn` for each reactor of a snapshot of `live` taken on entry that is still attached when
// its turn comes, so a reactor may attach or detach itself or another one during the
// notification: one attached meanwhile waits for the next notification, one detached meanwhile
// is not called. The snapshot of the usual few reactors stays on the stack: notifications are
// sent for every modified object, and a heap copy each time was a measurable part of an edit.
template <class R, class Fn>
void forEachAttached(const std::vector<R*>& live, Fn fn) {
    const size_t count = live.size();
    if (count == 0) {
        return;
    }
    constexpr size_t kInline = 8;
    R* inlineCopy[kInline];
    std::vector<R*> heapCopy;
    R* const* snapshot = inlineCopy;
    if (count <= kInline) {
        std::copy(live.begin(), live.end(), inlineCopy);
    } else {
        heapCopy = live;
        snapshot = heapCopy.data();
    }
    for (size_t i = 0; i < count; ++i) {
        R* r = snapshot[i];
        if (std::find(live.begin(), live.end(), r) != live.end()) {
            fn(r);
        }
    }
}

// Items of result-buffer chains in binary filing: the group code as a 16-bit integer, then the
// value as the kind of the code (see acdbGroupCodeToType); ids by their id kind, handles as
// text. 8-bit codes travel as 16-bit integers so whatever the buffer held comes back.
Acad::ErrorStatus writeRbItem(AcDbDwgFiler* filer, const resbuf& rb);
// Reads one item into a new buffer (null on failure). `accept` rejects codes the caller does not
// allow; a rejected or unclassified code is a filer error.
Acad::ErrorStatus readRbItem(AcDbDwgFiler* filer, resbuf*& out, bool (*accept)(int code));
// Counts above this are treated as damage, not data: nothing is allocated for them.
constexpr Adesk::Int32 kMaxFiledCount = 1000000;
// Reads an item count, failing (and setting the filer status) for negative or absurd values.
Acad::ErrorStatus readCount(AcDbDwgFiler* filer, Adesk::Int32& count);

// Frees the string or binary data a filer handed out in a single item (for the codes the host
// classifies) and clears the pointer.
void releaseItemValue(resbuf& item);

// A buffer copied on its own (the rest of the chain is not copied).
resbuf* copyOneRb(const resbuf& rb);

// True for the group codes extended data may hold (1001 included).
bool isXDataCode(int code);

}  // namespace detail
}  // namespace kxhost
