// Object ids and handles. An id is a 64-bit value (0 is the null id) naming one object of one
// live database for the life of the process; a handle is the object's persistent name inside its
// database, written as hexadecimal text.
#pragma once

#include "host/core/acstring.h"
#include "host/core/array.h"
#include "host/core/resbuf.h"
#include "host/core/types.h"

class AcDbDatabase;
class AcDbObject;

class AcDbHandle {
  public:
    AcDbHandle() = default;
    explicit AcDbHandle(Adesk::UInt64 value) : m_value(value) {}
    // From hexadecimal text; anything unreadable gives the null handle.
    explicit AcDbHandle(const ACHAR* hex);

    bool isNull() const { return m_value == 0; }
    Adesk::UInt64 value() const { return m_value; }
    void setNull() { m_value = 0; }
    // Upper-case hexadecimal without leading zeros; "0" for the null handle.
    AcString getIntoAsciiBuffer() const;
    AcString toString() const { return getIntoAsciiBuffer(); }
    AcDbHandle& operator++() {
        ++m_value;
        return *this;
    }
    bool operator==(const AcDbHandle& o) const { return m_value == o.m_value; }
    bool operator!=(const AcDbHandle& o) const { return m_value != o.m_value; }
    bool operator<(const AcDbHandle& o) const { return m_value < o.m_value; }

  private:
    Adesk::UInt64 m_value = 0;
};

class AcDbObjectId {
  public:
    AcDbObjectId() = default;
    static const AcDbObjectId kNull;

    bool isNull() const { return m_id == 0; }
    void setNull() { m_id = 0; }
    // Non-null and naming an object of a live database (erased objects included).
    bool isValid() const;
    bool isErased() const;
    bool isResident() const { return isValid(); }
    AcDbDatabase* database() const;
    AcDbHandle handle() const;

    Adesk::Int64 asOldId() const { return m_id; }
    AcDbObjectId& setFromOldId(Adesk::Int64 raw) {
        m_id = raw;
        return *this;
    }

    bool operator==(const AcDbObjectId& o) const { return m_id == o.m_id; }
    bool operator!=(const AcDbObjectId& o) const { return m_id != o.m_id; }
    bool operator<(const AcDbObjectId& o) const { return m_id < o.m_id; }
    bool operator>(const AcDbObjectId& o) const { return m_id > o.m_id; }
    bool operator<=(const AcDbObjectId& o) const { return m_id <= o.m_id; }
    bool operator>=(const AcDbObjectId& o) const { return m_id >= o.m_id; }

  private:
    Adesk::Int64 m_id = 0;
};

// Typed variants of the id, as the host's filers distinguish them by use.
class AcDbHardOwnershipId : public AcDbObjectId {
  public:
    AcDbHardOwnershipId() = default;
    AcDbHardOwnershipId(const AcDbObjectId& id) : AcDbObjectId(id) {}  // NOLINT
};
class AcDbSoftOwnershipId : public AcDbObjectId {
  public:
    AcDbSoftOwnershipId() = default;
    AcDbSoftOwnershipId(const AcDbObjectId& id) : AcDbObjectId(id) {}  // NOLINT
};
class AcDbHardPointerId : public AcDbObjectId {
  public:
    AcDbHardPointerId() = default;
    AcDbHardPointerId(const AcDbObjectId& id) : AcDbObjectId(id) {}  // NOLINT
};
class AcDbSoftPointerId : public AcDbObjectId {
  public:
    AcDbSoftPointerId() = default;
    AcDbSoftPointerId(const AcDbObjectId& id) : AcDbObjectId(id) {}  // NOLINT
};

typedef AcArray<AcDbObjectId> AcDbObjectIdArray;

// Ids travel through result buffers and DXF items as entity names.
Acad::ErrorStatus acdbGetObjectId(AcDbObjectId& id, const ads_name name);
Acad::ErrorStatus acdbGetAdsName(ads_name& name, const AcDbObjectId& id);
