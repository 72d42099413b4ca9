// The module's holder of an opened object: closes it when it goes out of scope (objects outside
// a database ignore close), whichever way the object was opened (by id here, or through a graph
// or another object's call filling slot()).
#pragma once

#include "host/db/dbobject.h"

namespace kxframe {

template <class T>
class Opened {
  public:
    Opened() = default;
    explicit Opened(T* obj) : m_obj(obj) {}
    Opened(const Opened&) = delete;
    Opened& operator=(const Opened&) = delete;
    ~Opened() { reset(); }

    // Opens by id, checking the class (eNotThatKindOfClass, and nothing held, for another class).
    Acad::ErrorStatus open(const AcDbObjectId& id, AcDb::OpenMode mode, bool openErased = false) {
        reset();
        return acdbOpenObject(m_obj, id, mode, openErased);
    }
    Acad::ErrorStatus openEntity(const AcDbObjectId& id, AcDb::OpenMode mode) {
        reset();
        return acdbOpenObject(m_obj, id, mode, false, true);
    }
    // Where an opening call puts the object; what was held before is closed first.
    T*& slot() {
        reset();
        return m_obj;
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

}  // namespace kxframe
