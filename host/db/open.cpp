// The open protocol: opening by id, closing, the state changes of an open object and the
// read/write/notify assertions. The rules are described at AcDbObject::close in dbobject.h.
#include <algorithm>

#include "host/db/database.h"
#include "host/db/objectstate.h"

namespace {

long g_violations = 0;
long g_unmatchedCloses = 0;
bool g_strict = false;

// A bound on outstanding opens of one object: past it something opens in a loop without closing.
constexpr size_t kMaxOpens = 256;

// A write session starts when an object that was not write-enabled becomes so; its modification
// flags describe that session only.
void startWriteSession(AcDbObject::State* st) {
    st->modified = false;
    st->pendingModified = false;
    st->openedForModifySent = false;
}

// Counts the records other than the newest one that are of the given mode.
size_t othersOfMode(const AcDbObject::State* st, AcDb::OpenMode mode) {
    if (st->opens.empty()) {
        return 0;
    }
    return static_cast<size_t>(
        std::count_if(st->opens.begin(), st->opens.end() - 1,
                      [mode](const AcDbObject::State::Open& o) { return o.mode == mode; }));
}

// Tells the reactors about a modification once the object is no longer write-enabled. A
// reactor that modifies the object again during the announcement is not told again: that would
// never end when two objects react to each other.
void announceIfWriteEnded(AcDbObject* obj) {
    AcDbObject::State* st = obj->hostState();
    if (!st->pendingModified || st->hasWriteOpen()) {
        return;
    }
    st->pendingModified = false;
    static std::vector<const AcDbObject*> s_announcing;
    if (std::find(s_announcing.begin(), s_announcing.end(), obj) != s_announcing.end()) {
        return;
    }
    s_announcing.push_back(obj);
    kxhost::detail::announceModified(obj);
    s_announcing.erase(std::find(s_announcing.begin(), s_announcing.end(), obj));
}

}  // namespace

bool AcDbObject::State::hasWriteOpen() const {
    return std::any_of(opens.begin(), opens.end(),
                       [](const Open& o) { return o.mode == AcDb::kForWrite; });
}

bool AcDbObject::State::hasReadOpen() const {
    return std::any_of(opens.begin(), opens.end(),
                       [](const Open& o) { return o.mode == AcDb::kForRead; });
}

Acad::ErrorStatus acdbOpenAcDbObject(AcDbObject*& pObj, AcDbObjectId id, AcDb::OpenMode mode,
                                     bool openErased) {
    pObj = nullptr;
    if (id.isNull()) {
        return Acad::eNullObjectId;
    }
    const kxhost::detail::IdEntry* e = kxhost::detail::findId(id.asOldId());
    if (e == nullptr || e->obj == nullptr) {
        return Acad::eUnknownHandle;
    }
    if (mode != AcDb::kForRead && mode != AcDb::kForWrite && mode != AcDb::kForNotify) {
        return Acad::eInvalidInput;
    }
    AcDbObject* obj = e->obj;
    AcDbObject::State* st = obj->hostState();
    if (st->erased && !openErased) {
        return Acad::eWasErased;
    }
    if (st->opens.size() >= kMaxOpens) {
        return Acad::eAtMaxReaders;
    }
    const bool writeOpen = st->hasWriteOpen();
    if (g_strict) {
        if (mode == AcDb::kForRead && writeOpen) {
            return Acad::eWasOpenForWrite;
        }
        if (mode == AcDb::kForWrite) {
            if (writeOpen) {
                return Acad::eWasOpenForWrite;
            }
            if (st->hasReadOpen()) {
                return Acad::eWasOpenForRead;
            }
        }
    }
    if (mode == AcDb::kForWrite && !writeOpen) {
        startWriteSession(st);
    }
    st->opens.push_back(AcDbObject::State::Open{mode});
    pObj = obj;
    return Acad::eOk;
}

Acad::ErrorStatus acdbOpenObject(AcDbObject*& pObj, AcDbObjectId id, AcDb::OpenMode mode,
                                 bool openErased) {
    return acdbOpenAcDbObject(pObj, id, mode, openErased);
}

Acad::ErrorStatus AcDbObject::close() {
    State* st = m_state;
    if (st->db == nullptr) {
        return Acad::eOk;
    }
    if (st->opens.empty()) {
        ++g_unmatchedCloses;
        return Acad::eUnmatchedClose;
    }
    const size_t depth = st->opens.size();
    const bool endsWrite =
        st->opens.back().mode == AcDb::kForWrite && othersOfMode(st, AcDb::kForWrite) == 0;
    if (endsWrite && st->pendingModified) {
        // Reactors look at the object while the closing record reads as a notify.
        st->opens.back().mode = AcDb::kForNotify;
        announceIfWriteEnded(this);
    }
    // A reactor that closed the object itself (a misuse) must not make this close pop twice.
    if (st->db != nullptr && st->opens.size() == depth) {
        st->opens.pop_back();
    }
    if (st->db != nullptr && st->opens.empty()) {
        st->newObject = false;
        const AcDbObjectId id = st->id;
        kxhost::detail::forEachAttached(st->reactors,
                                        [&](AcDbObjectReactor* r) { r->objectClosed(id); });
    }
    return Acad::eOk;
}

Acad::ErrorStatus AcDbObject::upgradeOpen() {
    State* st = m_state;
    if (st->db == nullptr) {
        return Acad::eOk;
    }
    if (st->opens.empty()) {
        return Acad::eInvalidOpenState;
    }
    State::Open& top = st->opens.back();
    if (top.mode == AcDb::kForWrite) {
        return Acad::eWasOpenForWrite;
    }
    if (top.mode == AcDb::kForNotify) {
        return Acad::eWasOpenForNotify;
    }
    if (g_strict && othersOfMode(st, AcDb::kForRead) + othersOfMode(st, AcDb::kForWrite) > 0) {
        return Acad::eHadMultipleReaders;
    }
    if (!st->hasWriteOpen()) {
        startWriteSession(st);
    }
    top.mode = AcDb::kForWrite;
    return Acad::eOk;
}

Acad::ErrorStatus AcDbObject::downgradeOpen() {
    State* st = m_state;
    if (st->db == nullptr) {
        return Acad::eOk;
    }
    if (st->opens.empty()) {
        return Acad::eInvalidOpenState;
    }
    State::Open& top = st->opens.back();
    if (top.mode == AcDb::kForRead) {
        return Acad::eWasOpenForRead;
    }
    if (top.mode == AcDb::kForNotify) {
        return Acad::eWasOpenForNotify;
    }
    top.mode = AcDb::kForRead;
    announceIfWriteEnded(this);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbObject::upgradeFromNotify(Adesk::Boolean& wasWritable) {
    State* st = m_state;
    wasWritable = true;
    if (st->db == nullptr) {
        return Acad::eOk;
    }
    if (st->opens.empty()) {
        wasWritable = false;
        return Acad::eInvalidOpenState;
    }
    if (st->hasWriteOpen()) {
        return Acad::eOk;
    }
    wasWritable = false;
    if (g_strict && othersOfMode(st, AcDb::kForRead) > 0) {
        return Acad::eWasOpenForRead;
    }
    // The modification flags are left alone: this runs inside notifications of a write session
    // that is still being announced.
    st->opens.back().mode = AcDb::kForWrite;
    return Acad::eOk;
}

Acad::ErrorStatus AcDbObject::downgradeToNotify(Adesk::Boolean wasWritable) {
    State* st = m_state;
    if (st->db == nullptr) {
        return Acad::eOk;
    }
    if (st->opens.empty()) {
        return Acad::eInvalidOpenState;
    }
    if (wasWritable) {
        return Acad::eOk;
    }
    st->opens.back().mode = AcDb::kForNotify;
    announceIfWriteEnded(this);
    return Acad::eOk;
}

bool AcDbObject::isReadEnabled() const {
    return m_state->db == nullptr || m_state->hasReadOpen() || m_state->hasWriteOpen();
}

bool AcDbObject::isWriteEnabled() const {
    return m_state->db == nullptr || m_state->hasWriteOpen();
}

bool AcDbObject::isNotifyEnabled() const {
    return m_state->db == nullptr || !m_state->opens.empty();
}

void AcDbObject::assertReadEnabled() const {
    if (m_state->db != nullptr && m_state->opens.empty()) {
        ++g_violations;
    }
}

void AcDbObject::assertNotifyEnabled() const {
    if (m_state->db != nullptr && m_state->opens.empty()) {
        ++g_violations;
    }
}

void AcDbObject::assertWriteEnabled(bool autoUndo, bool recordModified) {
    State* st = m_state;
    if (st->db != nullptr && !st->hasWriteOpen()) {
        ++g_violations;
        return;
    }
    if (!recordModified) {
        return;
    }
    st->modified = true;
    if (st->db == nullptr) {
        return;
    }
    st->pendingModified = true;
    if (!st->openedForModifySent) {
        st->openedForModifySent = true;
        kxhost::detail::forEachAttached(st->reactors,
                                        [&](AcDbObjectReactor* r) { r->openedForModify(this); });
    }
}

namespace kxhost {
long assertionViolations() {
    return g_violations;
}
void resetAssertionViolations() {
    g_violations = 0;
}
long unmatchedCloses() {
    return g_unmatchedCloses;
}
void resetUnmatchedCloses() {
    g_unmatchedCloses = 0;
}
void setStrictOpens(bool strict) {
    g_strict = strict;
}
bool strictOpens() {
    return g_strict;
}
}  // namespace kxhost
