// Text-format filers: the interface objects use to write their state as DXF group items and read
// it back, and an in-memory list of the group items of one object, used by the DXF file reader
// and writer and by tests.
#pragma once

#include <string>
#include <vector>

#include "host/core/acstring.h"
#include "host/core/resbuf.h"
#include "host/core/types.h"
#include "host/db/objectid.h"
#include "host/ge/point2d.h"
#include "host/ge/point3d.h"
#include "host/ge/scale3d.h"
#include "host/ge/vector2d.h"
#include "host/ge/vector3d.h"

class AcDbDatabase;

// Reading hands out one group item at a time in a resbuf whose restype is the group code.
// Writing stores the value with the kind it was written as; a code whose value kind the host knows
// (see acdbGroupCodeToType) only takes values of that family: a mismatch sets the filer status to
// eInvalidDxfCode, and once the status is not eOk further writes are ignored.
class AcDbDxfFiler {
  public:
    // Precision argument meaning "the filer's precision()".
    static constexpr int kDfltPrec = -1;

    virtual ~AcDbDxfFiler() = default;

    virtual AcDb::FilerType filerType() const { return AcDb::kFileFiler; }
    virtual Acad::ErrorStatus dwgVersion(AcDb::AcDbDwgVersion& ver,
                                         AcDb::MaintenanceReleaseVersion& maint) const = 0;
    virtual AcDbDatabase* database() const { return nullptr; }

    virtual Acad::ErrorStatus filerStatus() const = 0;
    virtual void resetFilerStatus() = 0;
    // Sets the status and records the formatted message ("%s" takes an ACHAR string).
    void setError(Acad::ErrorStatus status, const ACHAR* fmt, ...);
    // Same with eFilerError.
    void setError(const ACHAR* fmt, ...);
    virtual void setErrorMessage(Acad::ErrorStatus status, const AcString& message) = 0;
    virtual const AcString& errorMessage() const = 0;

    // Significant digits used for reals written with kDfltPrec.
    virtual int precision() const = 0;
    virtual void setPrecision(int digits) = 0;

    // Fills *item with the next group item and returns eOk. Text comes in a new string the
    // caller owns (acutRelRb frees it for the text codes the host knows; otherwise free it with
    // acutDelBuffer), binary data in a host-heap buffer; an id comes as an ads_name (rlname[0]
    // the raw id, rlname[1] 0). item->rbnext is left alone. At the end of the object's data it
    // returns eEndOfFile, which is the normal end and leaves the status alone. With the status
    // not eOk it returns that status.
    virtual Acad::ErrorStatus readItem(resbuf* item) = 0;
    Acad::ErrorStatus readResBuf(resbuf* item) { return readItem(item); }
    // Makes the next read return the item just read again. Only one item deep: a second call
    // without a successful read in between does nothing, as does a call after a failed read.
    virtual void pushBackItem() = 0;
    virtual bool atEOF() const = 0;
    // True, consuming it, when the next item is group 100 with exactly this text; otherwise the
    // item stays unread and false comes back (no error is set).
    virtual bool atSubclassData(const ACHAR* name) = 0;
    virtual bool atEmbeddedObjectStart() { return false; }

    virtual Acad::ErrorStatus writeItem(const resbuf& item) = 0;
    Acad::ErrorStatus writeResBuf(const resbuf& item) { return writeItem(item); }
    // A null string writes an empty one.
    virtual Acad::ErrorStatus writeString(int code, const ACHAR* value) = 0;
    virtual Acad::ErrorStatus writeString(int code, const AcString& value) = 0;
    virtual Acad::ErrorStatus writeName(int code, const ACHAR* value) = 0;
    virtual Acad::ErrorStatus writeBool(int code, bool value) = 0;
    Acad::ErrorStatus writeBoolean(int code, bool value) { return writeBool(code, value); }
    virtual Acad::ErrorStatus writeInt8(int code, Adesk::Int8 value) = 0;
    virtual Acad::ErrorStatus writeUInt8(int code, Adesk::UInt8 value) = 0;
    virtual Acad::ErrorStatus writeInt16(int code, Adesk::Int16 value) = 0;
    virtual Acad::ErrorStatus writeUInt16(int code, Adesk::UInt16 value) = 0;
    virtual Acad::ErrorStatus writeInt32(int code, Adesk::Int32 value) = 0;
    virtual Acad::ErrorStatus writeUInt32(int code, Adesk::UInt32 value) = 0;
    virtual Acad::ErrorStatus writeInt64(int code, Adesk::Int64 value) = 0;
    virtual Acad::ErrorStatus writeUInt64(int code, Adesk::UInt64 value) = 0;
    virtual Acad::ErrorStatus writeDouble(int code, double value, int prec = kDfltPrec) = 0;
    virtual Acad::ErrorStatus writeAngle(int code, double angle, int prec = kDfltPrec) = 0;
    virtual Acad::ErrorStatus writePoint2d(int code, const AcGePoint2d& value,
                                           int prec = kDfltPrec) = 0;
    virtual Acad::ErrorStatus writePoint3d(int code, const AcGePoint3d& value,
                                           int prec = kDfltPrec) = 0;
    virtual Acad::ErrorStatus writeVector2d(int code, const AcGeVector2d& value,
                                            int prec = kDfltPrec) = 0;
    virtual Acad::ErrorStatus writeVector3d(int code, const AcGeVector3d& value,
                                            int prec = kDfltPrec) = 0;
    virtual Acad::ErrorStatus writeScale3d(int code, const AcGeScale3d& value,
                                           int prec = kDfltPrec) = 0;
    virtual Acad::ErrorStatus writeObjectId(int code, const AcDbObjectId& id) = 0;
    virtual Acad::ErrorStatus writeHandle(int code, const AcDbHandle& handle) = 0;
    virtual Acad::ErrorStatus writeBinaryChunk(int code, const ads_binary& chunk) = 0;

  protected:
    AcDbDxfFiler() = default;
    AcDbDxfFiler(const AcDbDxfFiler&) = default;
    AcDbDxfFiler& operator=(const AcDbDxfFiler&) = default;
};

namespace kxhost {

// The group items of one object, in memory. Values are kept in the filer's own storage (strings
// and binary data copied in and out), so nothing handed in or out stays tied to it.
//
// What readItem() puts in the resbuf: for a code the host classifies (acdbGroupCodeToType, plus
// the RT result codes) the field of that classification - 16-bit codes and 280-299 in rint,
// 90-99/420-429/1071 in rlong, 160-169 in mnInt64, reals in rreal, 10-18/110-112/210/1010-1013 in
// rpoint, text and handles in rstring, 330-369 in rlname, 310-319/1004 in rbinary - converting
// integers to the width of the code. For any other code the field of the kind it was written as:
// a 32-bit value under 190 comes back in rlong, a 64-bit one in mnInt64, and so on.
// Coordinates written under a real code become one real item per coordinate under consecutive
// codes (a scale under 41 gives 41, 42 and 43), as in a DXF file.
class DxfMemoryFiler : public AcDbDxfFiler {
  public:
    enum class ItemKind {
        kBool,
        kInt8,
        kUInt8,
        kInt16,
        kUInt16,
        kInt32,
        kUInt32,
        kInt64,
        kUInt64,
        kDouble,
        kAngle,
        kString,
        kName,
        kHandle,
        kPoint2d,
        kPoint3d,
        kVector2d,
        kVector3d,
        kScale3d,
        kObjectId,
        kBinaryChunk,
        // A resbuf of a code the host does not classify, kept bit for bit (it owns nothing).
        kRaw,
    };

    struct Item {
        Item();
        int code = 0;
        ItemKind kind = ItemKind::kRaw;
        // Integers (unsigned 64-bit values as their bit pattern), booleans (0/1), handle values
        // and raw object ids.
        Adesk::Int64 integer = 0;
        // Reals in v[0]; coordinates in order (2d kinds leave v[2] 0).
        double v[3] = {0.0, 0.0, 0.0};
        std::wstring text;
        std::vector<char> bytes;
        // As passed to the write call; kDfltPrec means the filer's precision().
        int precision = kDfltPrec;
        ads_u_val raw;

        // Reals compare by bit pattern.
        bool operator==(const Item& other) const;
        bool operator!=(const Item& other) const { return !(*this == other); }
        // One line such as `90 int32 -5` or `10 point3d (1, 2, 3)`.
        AcString description() const;
    };

    static const ACHAR* kindName(ItemKind kind);

    explicit DxfMemoryFiler(AcDb::FilerType type = AcDb::kFileFiler,
                            AcDb::AcDbDwgVersion ver = AcDb::kDHL_CURRENT,
                            AcDb::MaintenanceReleaseVersion maint = AcDb::kMReleaseCurrent,
                            AcDbDatabase* db = nullptr);
    DxfMemoryFiler(const DxfMemoryFiler&) = default;
    DxfMemoryFiler& operator=(const DxfMemoryFiler&) = default;
    ~DxfMemoryFiler() override = default;

    // A reader over a copy of the chain (see load()).
    static DxfMemoryFiler fromChain(const resbuf* chain);
    // Replaces the items with copies of the chain's, as writeItem() stores them, and rewinds.
    // The status starts over; a resbuf that cannot be stored stops the load with the status set.
    Acad::ErrorStatus load(const resbuf* chain);
    // A copied chain of every item, converted as readItem() converts it; the caller releases it
    // with acutRelRb. Null for an empty filer, on allocation failure, and when an item holds text
    // or binary data under a code whose resbuf acutRelRb would not free.
    resbuf* toChain() const;

    // Stores a copy of the item's value (strings and binary data duplicated); the caller keeps
    // its resbuf. Same as writeItem().
    Acad::ErrorStatus appendItem(const resbuf& item) { return writeItem(item); }
    const std::vector<Item>& items() const { return m_items; }
    int itemCount() const { return static_cast<int>(m_items.size()); }
    bool sameItems(const DxfMemoryFiler& other) const { return m_items == other.m_items; }
    // Every item's description, one per line.
    AcString describe() const;
    // Moves the read cursor to the first item (the status stays).
    void rewind();
    // Drops every item and resets the status.
    void clear();

    void setFilerType(AcDb::FilerType type) { m_type = type; }
    void setDwgVersion(AcDb::AcDbDwgVersion ver, AcDb::MaintenanceReleaseVersion maint) {
        m_ver = ver;
        m_maint = maint;
    }
    void setDatabase(AcDbDatabase* db) { m_db = db; }

    AcDb::FilerType filerType() const override { return m_type; }
    Acad::ErrorStatus dwgVersion(AcDb::AcDbDwgVersion& ver,
                                 AcDb::MaintenanceReleaseVersion& maint) const override;
    AcDbDatabase* database() const override { return m_db; }

    Acad::ErrorStatus filerStatus() const override { return m_status; }
    void resetFilerStatus() override;
    void setErrorMessage(Acad::ErrorStatus status, const AcString& message) override;
    const AcString& errorMessage() const override { return m_message; }

    int precision() const override { return m_precision; }
    // Clamped to 0..16.
    void setPrecision(int digits) override;

    Acad::ErrorStatus readItem(resbuf* item) override;
    void pushBackItem() override;
    bool atEOF() const override { return m_cursor >= m_items.size(); }
    bool atSubclassData(const ACHAR* name) override;

    Acad::ErrorStatus writeItem(const resbuf& item) override;
    Acad::ErrorStatus writeString(int code, const ACHAR* value) override;
    Acad::ErrorStatus writeString(int code, const AcString& value) override;
    Acad::ErrorStatus writeName(int code, const ACHAR* value) override;
    Acad::ErrorStatus writeBool(int code, bool value) override;
    Acad::ErrorStatus writeInt8(int code, Adesk::Int8 value) override;
    Acad::ErrorStatus writeUInt8(int code, Adesk::UInt8 value) override;
    Acad::ErrorStatus writeInt16(int code, Adesk::Int16 value) override;
    Acad::ErrorStatus writeUInt16(int code, Adesk::UInt16 value) override;
    Acad::ErrorStatus writeInt32(int code, Adesk::Int32 value) override;
    Acad::ErrorStatus writeUInt32(int code, Adesk::UInt32 value) override;
    Acad::ErrorStatus writeInt64(int code, Adesk::Int64 value) override;
    Acad::ErrorStatus writeUInt64(int code, Adesk::UInt64 value) override;
    Acad::ErrorStatus writeDouble(int code, double value, int prec = kDfltPrec) override;
    Acad::ErrorStatus writeAngle(int code, double angle, int prec = kDfltPrec) override;
    Acad::ErrorStatus writePoint2d(int code, const AcGePoint2d& value,
                                   int prec = kDfltPrec) override;
    Acad::ErrorStatus writePoint3d(int code, const AcGePoint3d& value,
                                   int prec = kDfltPrec) override;
    Acad::ErrorStatus writeVector2d(int code, const AcGeVector2d& value,
                                    int prec = kDfltPrec) override;
    Acad::ErrorStatus writeVector3d(int code, const AcGeVector3d& value,
                                    int prec = kDfltPrec) override;
    Acad::ErrorStatus writeScale3d(int code, const AcGeScale3d& value,
                                   int prec = kDfltPrec) override;
    Acad::ErrorStatus writeObjectId(int code, const AcDbObjectId& id) override;
    Acad::ErrorStatus writeHandle(int code, const AcDbHandle& handle) override;
    Acad::ErrorStatus writeBinaryChunk(int code, const ads_binary& chunk) override;

  private:
    Acad::ErrorStatus add(Item item);
    Acad::ErrorStatus addSplit(const Item& item);
    Acad::ErrorStatus addInteger(int code, ItemKind kind, Adesk::Int64 value);
    Acad::ErrorStatus addCoords(int code, ItemKind kind, double x, double y, double z, int prec);
    Acad::ErrorStatus addText(int code, ItemKind kind, std::wstring text);

    AcDb::FilerType m_type;
    AcDb::AcDbDwgVersion m_ver;
    AcDb::MaintenanceReleaseVersion m_maint;
    AcDbDatabase* m_db;
    Acad::ErrorStatus m_status = Acad::eOk;
    AcString m_message;
    int m_precision = 16;
    std::vector<Item> m_items;
    size_t m_cursor = 0;
    // Set by a successful read, cleared by any other read and by a push-back.
    bool m_canPushBack = false;
};

}  // namespace kxhost
