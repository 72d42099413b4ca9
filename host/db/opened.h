// An object held open for the life of the holder and closed on every path: the open-close
// protocol's usual companion for code that opens objects by id.
#pragma once

#include "host/db/dbobject.h"

namespace kxhost {

template <class T>
class Opened {
  public:
    // Opens the object and checks its class; get() is null and status() says why when either
    // fails (eWrongObjectType for an object of another class, which is closed again).
    Opened(const AcDbObjectId& id, AcDb::OpenMode mode, bool openErased = false) {
        AcDbObject* obj = nullptr;
        m_status = acdbOpenObject(obj, id, mode, openErased);
        if (m_status != Acad::eOk) {
            return;
        }
        m_obj = T::cast(obj);
        if (m_obj == nullptr) {
            obj->close();
            m_status = Acad::eWrongObjectType;
        }
    }
    ~Opened() { close(); }
    Opened(const Opened&) = delete;
    Opened& operator=(const Opened&) = delete;

    // Closes the object now (nothing when it is not open).
    void close() {
        if (m_obj != nullptr) {
            m_obj->close();
            m_obj = nullptr;
        }
    }
    T* operator->() const { return m_obj; }
    T* get() const { return m_obj; }
    Acad::ErrorStatus status() const { return m_status; }

  private:
    T* m_obj = nullptr;
    Acad::ErrorStatus m_status = Acad::eOk;
};

}  // namespace kxhost
