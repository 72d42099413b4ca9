// Binary filers: the interface objects use to write their state to and read it back from a
// drawing stream, and an in-memory stream that keeps every item together with the kind it was
// written as. The memory stream backs copying, undo and cloning, and lets tests see exactly what
// an object filed out.
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

// Every read returns eOk or an error status and leaves its out-value alone on failure; every
// write returns the filer's status. An object's dwgInFields() reads the items in the order its
// dwgOutFields() wrote them, with the same kinds.
class AcDbDwgFiler {
  public:
    virtual ~AcDbDwgFiler() = default;

    virtual AcDb::FilerType filerType() const = 0;
    virtual Acad::ErrorStatus filerStatus() const = 0;
    virtual void setFilerStatus(Acad::ErrorStatus status) = 0;
    virtual void resetFilerStatus() { setFilerStatus(Acad::eOk); }
    virtual Acad::ErrorStatus dwgVersion(AcDb::AcDbDwgVersion& ver,
                                         AcDb::MaintenanceReleaseVersion& maint) const = 0;
    // The database the data belongs to; null for a stream not tied to one.
    virtual AcDbDatabase* database() const { return nullptr; }

    virtual Acad::ErrorStatus readBool(Adesk::Boolean* value) = 0;
    virtual Acad::ErrorStatus readInt8(Adesk::Int8* value) = 0;
    virtual Acad::ErrorStatus readUInt8(Adesk::UInt8* value) = 0;
    virtual Acad::ErrorStatus readInt16(Adesk::Int16* value) = 0;
    virtual Acad::ErrorStatus readUInt16(Adesk::UInt16* value) = 0;
    virtual Acad::ErrorStatus readInt32(Adesk::Int32* value) = 0;
    virtual Acad::ErrorStatus readUInt32(Adesk::UInt32* value) = 0;
    virtual Acad::ErrorStatus readInt64(Adesk::Int64* value) = 0;
    virtual Acad::ErrorStatus readUInt64(Adesk::UInt64* value) = 0;
    virtual Acad::ErrorStatus readDouble(double* value) = 0;
    // The string is allocated with acutNewString; the caller frees it with acutDelBuffer.
    virtual Acad::ErrorStatus readString(ACHAR** value) = 0;
    virtual Acad::ErrorStatus readString(AcString& value) = 0;
    // Reads exactly `size` bytes; an item written with another length is an error.
    virtual Acad::ErrorStatus readBytes(void* buffer, Adesk::UIntPtr size) = 0;
    // The buffer comes from the host heap (acHeapAlloc); the caller frees it with acHeapFree.
    // An empty chunk gives clen 0 and a null buffer.
    virtual Acad::ErrorStatus readBinaryChunk(ads_binary* chunk) = 0;
    virtual Acad::ErrorStatus readHandle(AcDbHandle* value) = 0;
    virtual Acad::ErrorStatus readPoint2d(AcGePoint2d* value) = 0;
    virtual Acad::ErrorStatus readPoint3d(AcGePoint3d* value) = 0;
    virtual Acad::ErrorStatus readVector2d(AcGeVector2d* value) = 0;
    virtual Acad::ErrorStatus readVector3d(AcGeVector3d* value) = 0;
    virtual Acad::ErrorStatus readScale3d(AcGeScale3d* value) = 0;
    virtual Acad::ErrorStatus readHardOwnershipId(AcDbHardOwnershipId* id) = 0;
    virtual Acad::ErrorStatus readSoftOwnershipId(AcDbSoftOwnershipId* id) = 0;
    virtual Acad::ErrorStatus readHardPointerId(AcDbHardPointerId* id) = 0;
    virtual Acad::ErrorStatus readSoftPointerId(AcDbSoftPointerId* id) = 0;

    virtual Acad::ErrorStatus writeBool(Adesk::Boolean value) = 0;
    virtual Acad::ErrorStatus writeInt8(Adesk::Int8 value) = 0;
    virtual Acad::ErrorStatus writeUInt8(Adesk::UInt8 value) = 0;
    virtual Acad::ErrorStatus writeInt16(Adesk::Int16 value) = 0;
    virtual Acad::ErrorStatus writeUInt16(Adesk::UInt16 value) = 0;
    virtual Acad::ErrorStatus writeInt32(Adesk::Int32 value) = 0;
    virtual Acad::ErrorStatus writeUInt32(Adesk::UInt32 value) = 0;
    virtual Acad::ErrorStatus writeInt64(Adesk::Int64 value) = 0;
    virtual Acad::ErrorStatus writeUInt64(Adesk::UInt64 value) = 0;
    virtual Acad::ErrorStatus writeDouble(double value) = 0;
    // A null pointer writes an empty string.
    virtual Acad::ErrorStatus writeString(const ACHAR* value) = 0;
    virtual Acad::ErrorStatus writeString(const AcString& value) = 0;
    virtual Acad::ErrorStatus writeBytes(const void* buffer, Adesk::UIntPtr size) = 0;
    // Chunks travel in ads_binary, whose length is a short: at most 32767 bytes.
    virtual Acad::ErrorStatus writeBinaryChunk(const char* buffer, Adesk::UIntPtr size) = 0;
    Acad::ErrorStatus writeBinaryChunk(const ads_binary& chunk) {
        return writeBinaryChunk(chunk.buf,
                                chunk.clen > 0 ? static_cast<Adesk::UIntPtr>(chunk.clen) : 0);
    }
    virtual Acad::ErrorStatus writeHandle(const AcDbHandle& value) = 0;
    virtual Acad::ErrorStatus writePoint2d(const AcGePoint2d& value) = 0;
    virtual Acad::ErrorStatus writePoint3d(const AcGePoint3d& value) = 0;
    virtual Acad::ErrorStatus writeVector2d(const AcGeVector2d& value) = 0;
    virtual Acad::ErrorStatus writeVector3d(const AcGeVector3d& value) = 0;
    virtual Acad::ErrorStatus writeScale3d(const AcGeScale3d& value) = 0;
    virtual Acad::ErrorStatus writeHardOwnershipId(const AcDbHardOwnershipId& id) = 0;
    virtual Acad::ErrorStatus writeSoftOwnershipId(const AcDbSoftOwnershipId& id) = 0;
    virtual Acad::ErrorStatus writeHardPointerId(const AcDbHardPointerId& id) = 0;
    virtual Acad::ErrorStatus writeSoftPointerId(const AcDbSoftPointerId& id) = 0;

    // Older plug-in code spells the boolean calls this way.
    Acad::ErrorStatus readBoolean(Adesk::Boolean* value) { return readBool(value); }
    Acad::ErrorStatus writeBoolean(Adesk::Boolean value) { return writeBool(value); }

    // Positions count items, not bytes. `method` is an AcDb::FilerSeekType. Streams that cannot
    // seek report eNotImplementedYet and a position of -1.
    virtual Acad::ErrorStatus seek(Adesk::Int64 offset, int method) {
        return Acad::eNotImplementedYet;
    }
    virtual Adesk::Int64 tell() const { return -1; }

  protected:
    AcDbDwgFiler() = default;
    AcDbDwgFiler(const AcDbDwgFiler&) = default;
    AcDbDwgFiler& operator=(const AcDbDwgFiler&) = default;
};

namespace kxhost {

// A typed in-memory stream. Writing appends an item; reading hands the items back in order from
// a read cursor. Reading past the end, or reading an item as another kind than it was written,
// fails with eFilerError, leaves the cursor where it was and sets the filer status. Once the
// status is not eOk every read fails with eFilerError and every write is ignored, so an object
// never half-reads a damaged stream. Writes always append; seek() and tell() move and report the
// read cursor.
class DwgMemoryFiler : public AcDbDwgFiler {
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
        kString,
        kBytes,
        kBinaryChunk,
        kHandle,
        kPoint2d,
        kPoint3d,
        kVector2d,
        kVector3d,
        kScale3d,
        kHardOwnershipId,
        kSoftOwnershipId,
        kHardPointerId,
        kSoftPointerId,
    };

    struct Item {
        ItemKind kind = ItemKind::kBool;
        // Integers (two's complement of the written width, widened), booleans (0/1), handle
        // values and raw object ids.
        Adesk::UInt64 bits = 0;
        // Doubles in v[0]; point, vector and scale coordinates in order (2d kinds leave v[2] 0).
        double v[3] = {0.0, 0.0, 0.0};
        std::wstring text;
        std::vector<unsigned char> bytes;

        // Doubles compare by bit pattern: a stream equals another only if reading both gives the
        // same values.
        bool operator==(const Item& other) const;
        bool operator!=(const Item& other) const { return !(*this == other); }
        // One line such as `int32 -5`, `point3d (1, 2, 3)` or `hardOwnershipId 0x2A`.
        AcString description() const;
    };

    static const ACHAR* kindName(ItemKind kind);

    explicit DwgMemoryFiler(AcDb::FilerType type = AcDb::kFileFiler,
                            AcDb::AcDbDwgVersion ver = AcDb::kDHL_CURRENT,
                            AcDb::MaintenanceReleaseVersion maint = AcDb::kMReleaseCurrent,
                            AcDbDatabase* db = nullptr);
    DwgMemoryFiler(const DwgMemoryFiler&) = default;
    DwgMemoryFiler& operator=(const DwgMemoryFiler&) = default;
    ~DwgMemoryFiler() override = default;

    void setFilerType(AcDb::FilerType type) { m_type = type; }
    void setDwgVersion(AcDb::AcDbDwgVersion ver, AcDb::MaintenanceReleaseVersion maint) {
        m_ver = ver;
        m_maint = maint;
    }
    void setDatabase(AcDbDatabase* db) { m_db = db; }

    // Stream handling. rewind() only moves the read cursor (the status stays); clear() empties
    // the stream and resets the status.
    void rewind() { m_cursor = 0; }
    void clear();
    int itemCount() const { return static_cast<int>(m_items.size()); }
    // The items as written. The view is made on demand and stays valid until the next write or
    // clear(); the stream itself keeps its items in a compact form (see Stored).
    const std::vector<Item>& items() const;
    bool sameItems(const DwgMemoryFiler& other) const;
    // Every item's description, one per line; gtest failure messages use it.
    AcString describe() const;

    // Hooks for the cloning code. translateId() maps every non-null id as it is read (null ids
    // stay null); `idKind` is the AcDb::DwgDataType of the id (kDwgHardOwnershipId ..
    // kDwgSoftPointerId). The default keeps the id; an id-translation filer maps it through its
    // id map. noteOwnedId() is told of every non-null ownership id as it is written; a
    // deep-clone filer uses it to learn which owned objects to clone along.
    virtual AcDbObjectId translateId(const AcDbObjectId& id, int idKind) { return id; }
    virtual void noteOwnedId(const AcDbObjectId& id, bool hard) {}

    AcDb::FilerType filerType() const override { return m_type; }
    Acad::ErrorStatus filerStatus() const override { return m_status; }
    void setFilerStatus(Acad::ErrorStatus status) override { m_status = status; }
    Acad::ErrorStatus dwgVersion(AcDb::AcDbDwgVersion& ver,
                                 AcDb::MaintenanceReleaseVersion& maint) const override;
    AcDbDatabase* database() const override { return m_db; }

    Acad::ErrorStatus readBool(Adesk::Boolean* value) override;
    Acad::ErrorStatus readInt8(Adesk::Int8* value) override;
    Acad::ErrorStatus readUInt8(Adesk::UInt8* value) override;
    Acad::ErrorStatus readInt16(Adesk::Int16* value) override;
    Acad::ErrorStatus readUInt16(Adesk::UInt16* value) override;
    Acad::ErrorStatus readInt32(Adesk::Int32* value) override;
    Acad::ErrorStatus readUInt32(Adesk::UInt32* value) override;
    Acad::ErrorStatus readInt64(Adesk::Int64* value) override;
    Acad::ErrorStatus readUInt64(Adesk::UInt64* value) override;
    Acad::ErrorStatus readDouble(double* value) override;
    Acad::ErrorStatus readString(ACHAR** value) override;
    Acad::ErrorStatus readString(AcString& value) override;
    Acad::ErrorStatus readBytes(void* buffer, Adesk::UIntPtr size) override;
    Acad::ErrorStatus readBinaryChunk(ads_binary* chunk) override;
    Acad::ErrorStatus readHandle(AcDbHandle* value) override;
    Acad::ErrorStatus readPoint2d(AcGePoint2d* value) override;
    Acad::ErrorStatus readPoint3d(AcGePoint3d* value) override;
    Acad::ErrorStatus readVector2d(AcGeVector2d* value) override;
    Acad::ErrorStatus readVector3d(AcGeVector3d* value) override;
    Acad::ErrorStatus readScale3d(AcGeScale3d* value) override;
    Acad::ErrorStatus readHardOwnershipId(AcDbHardOwnershipId* id) override;
    Acad::ErrorStatus readSoftOwnershipId(AcDbSoftOwnershipId* id) override;
    Acad::ErrorStatus readHardPointerId(AcDbHardPointerId* id) override;
    Acad::ErrorStatus readSoftPointerId(AcDbSoftPointerId* id) override;

    using AcDbDwgFiler::writeBinaryChunk;
    Acad::ErrorStatus writeBool(Adesk::Boolean value) override;
    Acad::ErrorStatus writeInt8(Adesk::Int8 value) override;
    Acad::ErrorStatus writeUInt8(Adesk::UInt8 value) override;
    Acad::ErrorStatus writeInt16(Adesk::Int16 value) override;
    Acad::ErrorStatus writeUInt16(Adesk::UInt16 value) override;
    Acad::ErrorStatus writeInt32(Adesk::Int32 value) override;
    Acad::ErrorStatus writeUInt32(Adesk::UInt32 value) override;
    Acad::ErrorStatus writeInt64(Adesk::Int64 value) override;
    Acad::ErrorStatus writeUInt64(Adesk::UInt64 value) override;
    Acad::ErrorStatus writeDouble(double value) override;
    Acad::ErrorStatus writeString(const ACHAR* value) override;
    Acad::ErrorStatus writeString(const AcString& value) override;
    Acad::ErrorStatus writeBytes(const void* buffer, Adesk::UIntPtr size) override;
    Acad::ErrorStatus writeBinaryChunk(const char* buffer, Adesk::UIntPtr size) override;
    Acad::ErrorStatus writeHandle(const AcDbHandle& value) override;
    Acad::ErrorStatus writePoint2d(const AcGePoint2d& value) override;
    Acad::ErrorStatus writePoint3d(const AcGePoint3d& value) override;
    Acad::ErrorStatus writeVector2d(const AcGeVector2d& value) override;
    Acad::ErrorStatus writeVector3d(const AcGeVector3d& value) override;
    Acad::ErrorStatus writeScale3d(const AcGeScale3d& value) override;
    Acad::ErrorStatus writeHardOwnershipId(const AcDbHardOwnershipId& id) override;
    Acad::ErrorStatus writeSoftOwnershipId(const AcDbSoftOwnershipId& id) override;
    Acad::ErrorStatus writeHardPointerId(const AcDbHardPointerId& id) override;
    Acad::ErrorStatus writeSoftPointerId(const AcDbSoftPointerId& id) override;

    // Out-of-range targets return eInvalidInput and leave the cursor and the status alone.
    Acad::ErrorStatus seek(Adesk::Int64 offset, int method) override;
    Adesk::Int64 tell() const override { return static_cast<Adesk::Int64>(m_cursor); }

  private:
    // One item as the stream keeps it. Copying an object files every field of it through a
    // stream, so a step that copies a large object appends thousands of items: they are kept
    // small and trivially copyable (growing the array is one block copy), with the text of
    // strings and the contents of byte items in side arrays, named by `side`.
    struct Stored {
        ItemKind kind;
        Adesk::UInt32 side;
        Adesk::UInt64 bits;
        double v[3];
    };
    // The items in blocks of a fixed size: a long stream grows without moving what it holds,
    // from blocks small enough for the heap to hand out again from one copy to the next.
    class StoredItems {
      public:
        size_t size() const { return m_size; }
        const Stored& operator[](size_t i) const { return m_blocks[i / kBlock][i % kBlock]; }
        void push_back(const Stored& item) {
            if (m_size % kBlock == 0) {
                m_blocks.emplace_back();
                m_blocks.back().reserve(kBlock);
            }
            m_blocks.back().push_back(item);
            ++m_size;
        }
        void clear() {
            m_blocks.clear();
            m_size = 0;
        }

      private:
        static constexpr size_t kBlock = 256;
        std::vector<std::vector<Stored>> m_blocks;
        size_t m_size = 0;
    };
    bool sameStored(const Stored& a, const DwgMemoryFiler& otherFiler, const Stored& b) const;
    Item itemAt(size_t index) const;

    // The next item if it has the wanted kind; otherwise null, with the status set to
    // eFilerError. Does not move the cursor.
    const Stored* peek(ItemKind kind);
    Acad::ErrorStatus fail();
    Acad::ErrorStatus appendText(std::wstring text);
    Acad::ErrorStatus appendBytes(ItemKind kind, const unsigned char* data, size_t size);
    Acad::ErrorStatus appendBits(ItemKind kind, Adesk::UInt64 bits);
    Acad::ErrorStatus appendCoords(ItemKind kind, double x, double y, double z);
    Acad::ErrorStatus appendId(ItemKind kind, const AcDbObjectId& id);
    Acad::ErrorStatus readId(ItemKind kind, AcDbObjectId* id);
    Acad::ErrorStatus readBits(ItemKind kind, Adesk::UInt64* bits);
    Acad::ErrorStatus readCoords(ItemKind kind, double* xyz);

    AcDb::FilerType m_type;
    AcDb::AcDbDwgVersion m_ver;
    AcDb::MaintenanceReleaseVersion m_maint;
    AcDbDatabase* m_db;
    Acad::ErrorStatus m_status = Acad::eOk;
    StoredItems m_items;
    std::vector<std::wstring> m_texts;
    std::vector<std::vector<unsigned char>> m_blobs;
    size_t m_cursor = 0;
    // What items() hands out, made from m_items when asked for after a change.
    mutable std::vector<Item> m_view;
    mutable bool m_viewValid = true;
};

}  // namespace kxhost
