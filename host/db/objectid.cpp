#include "host/db/objectid.h"

#include "host/db/dbobject.h"
#include "host/db/objectstate.h"

const AcDbObjectId AcDbObjectId::kNull;

// --- Handles ------------------------------------------------------------------------------------

AcDbHandle::AcDbHandle(const ACHAR* hex) {
    if (hex == nullptr || *hex == 0) {
        return;
    }
    Adesk::UInt64 value = 0;
    int digits = 0;
    for (const ACHAR* p = hex; *p != 0; ++p) {
        int d = -1;
        if (*p >= L'0' && *p <= L'9') {
            d = *p - L'0';
        } else if (*p >= L'a' && *p <= L'f') {
            d = *p - L'a' + 10;
        } else if (*p >= L'A' && *p <= L'F') {
            d = *p - L'A' + 10;
        }
        if (d < 0) {
            return;  // not a handle: stays null
        }
        // Leading zeros do not count towards the 16 digits a 64-bit handle can hold.
        if (value != 0 || d != 0) {
            ++digits;
        }
        if (digits > 16) {
            return;
        }
        value = (value << 4) | static_cast<Adesk::UInt64>(d);
    }
    m_value = value;
}

AcString AcDbHandle::getIntoAsciiBuffer() const {
    static const ACHAR kDigits[] = L"0123456789ABCDEF";
    if (m_value == 0) {
        return AcString(L"0");
    }
    ACHAR buf[17];
    int n = 0;
    for (Adesk::UInt64 v = m_value; v != 0; v >>= 4) {
        buf[n++] = kDigits[v & 0xF];
    }
    std::wstring out;
    while (n > 0) {
        out += buf[--n];
    }
    return AcString(out);
}

// --- Ids ----------------------------------------------------------------------------------------

bool AcDbObjectId::isValid() const {
    const kxhost::detail::IdEntry* e = kxhost::detail::findId(m_id);
    return e != nullptr && e->obj != nullptr;
}

bool AcDbObjectId::isErased() const {
    const kxhost::detail::IdEntry* e = kxhost::detail::findId(m_id);
    return e != nullptr && e->obj != nullptr && e->obj->hostState()->erased;
}

AcDbDatabase* AcDbObjectId::database() const {
    const kxhost::detail::IdEntry* e = kxhost::detail::findId(m_id);
    return e != nullptr ? e->db : nullptr;
}

AcDbHandle AcDbObjectId::handle() const {
    const kxhost::detail::IdEntry* e = kxhost::detail::findId(m_id);
    return e != nullptr ? AcDbHandle(e->handle) : AcDbHandle();
}

Acad::ErrorStatus acdbGetObjectId(AcDbObjectId& id, const ads_name name) {
    if (name == nullptr) {
        id.setNull();
        return Acad::eInvalidAdsName;
    }
    id.setFromOldId(name[0]);
    return Acad::eOk;
}

Acad::ErrorStatus acdbGetAdsName(ads_name& name, const AcDbObjectId& id) {
    name[0] = id.asOldId();
    name[1] = 0;
    return Acad::eOk;
}
