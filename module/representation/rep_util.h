// Small helpers of the representation code: a holder that closes what it opened, and the
// lookups shared by the protocol extension and the representation context.
#pragma once

#include "host/db/blocktablerecord.h"
#include "host/db/dbobject.h"
#include "host/entities/blockref.h"
#include "host/entities/entity.h"

namespace kxrep {

// Closes the held object when it goes out of scope (objects outside a database ignore close).
template <class T>
class Opened {
  public:
    Opened() = default;
    explicit Opened(T* obj) : m_obj(obj) {}
    Opened(const Opened&) = delete;
    Opened& operator=(const Opened&) = delete;
    ~Opened() { reset(); }

    Acad::ErrorStatus open(const AcDbObjectId& id, AcDb::OpenMode mode, bool openErased = false) {
        reset();
        return acdbOpenObject(m_obj, id, mode, openErased);
    }
    Acad::ErrorStatus openEntity(const AcDbObjectId& id, AcDb::OpenMode mode) {
        reset();
        return acdbOpenObject(m_obj, id, mode, false, true);
    }
    void reset() {
        if (m_obj != nullptr) {
            m_obj->close();
            m_obj = nullptr;
        }
    }
    // Hands the object over without closing it.
    T* release() {
        T* obj = m_obj;
        m_obj = nullptr;
        return obj;
    }
    T* get() const { return m_obj; }
    T* operator->() const { return m_obj; }
    explicit operator bool() const { return m_obj != nullptr; }

  private:
    T* m_obj = nullptr;
};

// The source definition recorded in the root data for a database-resident reference.
bool recordedSourceDefinition(const AcDbBlockReference* ref, AcDbObjectId& definitionId);
// Records (null: clears) the source definition of a database-resident reference.
Acad::ErrorStatus recordSourceDefinition(const AcDbBlockReference* ref,
                                         const AcDbObjectId& definitionId);
// True when the block holds a live proxy entity.
bool blockHasProxyEntities(const AcDbObjectId& blockId);

}  // namespace kxrep
