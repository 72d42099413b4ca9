#include "host/db/dwgfiler.h"

#include <climits>
#include <cstring>
#include <utility>

#include "host/core/heap.h"

namespace kxhost {

namespace {
using Kind = DwgMemoryFiler::ItemKind;

bool sameDouble(double a, double b) {
    return std::memcmp(&a, &b, sizeof(double)) == 0;
}

int idKindToDataType(Kind kind) {
    switch (kind) {
        case Kind::kHardOwnershipId:
            return AcDb::kDwgHardOwnershipId;
        case Kind::kSoftOwnershipId:
            return AcDb::kDwgSoftOwnershipId;
        case Kind::kHardPointerId:
            return AcDb::kDwgHardPointerId;
        default:
            return AcDb::kDwgSoftPointerId;
    }
}

// %g keeps descriptions short; the 17 digits make distinct doubles print distinctly.
std::wstring formatReal(double d) {
    return acFormat(L"%.17g", d);
}
}  // namespace

const ACHAR* DwgMemoryFiler::kindName(ItemKind kind) {
    switch (kind) {
        case Kind::kBool:
            return L"bool";
        case Kind::kInt8:
            return L"int8";
        case Kind::kUInt8:
            return L"uint8";
        case Kind::kInt16:
            return L"int16";
        case Kind::kUInt16:
            return L"uint16";
        case Kind::kInt32:
            return L"int32";
        case Kind::kUInt32:
            return L"uint32";
        case Kind::kInt64:
            return L"int64";
        case Kind::kUInt64:
            return L"uint64";
        case Kind::kDouble:
            return L"double";
        case Kind::kString:
            return L"string";
        case Kind::kBytes:
            return L"bytes";
        case Kind::kBinaryChunk:
            return L"binaryChunk";
        case Kind::kHandle:
            return L"handle";
        case Kind::kPoint2d:
            return L"point2d";
        case Kind::kPoint3d:
            return L"point3d";
        case Kind::kVector2d:
            return L"vector2d";
        case Kind::kVector3d:
            return L"vector3d";
        case Kind::kScale3d:
            return L"scale3d";
        case Kind::kHardOwnershipId:
            return L"hardOwnershipId";
        case Kind::kSoftOwnershipId:
            return L"softOwnershipId";
        case Kind::kHardPointerId:
            return L"hardPointerId";
        case Kind::kSoftPointerId:
            return L"softPointerId";
    }
    return L"?";
}

bool DwgMemoryFiler::Item::operator==(const Item& other) const {
    return kind == other.kind && bits == other.bits && sameDouble(v[0], other.v[0]) &&
           sameDouble(v[1], other.v[1]) && sameDouble(v[2], other.v[2]) && text == other.text &&
           bytes == other.bytes;
}

AcString DwgMemoryFiler::Item::description() const {
    std::wstring out = kindName(kind);
    out += L' ';
    switch (kind) {
        case Kind::kBool:
            out += bits != 0 ? L"true" : L"false";
            break;
        case Kind::kInt8:
        case Kind::kInt16:
        case Kind::kInt32:
        case Kind::kInt64:
            out += std::to_wstring(static_cast<Adesk::Int64>(bits));
            break;
        case Kind::kUInt8:
        case Kind::kUInt16:
        case Kind::kUInt32:
        case Kind::kUInt64:
            out += std::to_wstring(bits);
            break;
        case Kind::kDouble:
            out += formatReal(v[0]);
            break;
        case Kind::kString:
            out += L'"' + text + L'"';
            break;
        case Kind::kBytes:
        case Kind::kBinaryChunk:
            out += L'[';
            for (size_t i = 0; i < bytes.size(); ++i) {
                out += acFormat(i == 0 ? L"%02X" : L" %02X", static_cast<unsigned>(bytes[i]));
            }
            out += L']';
            break;
        case Kind::kHandle:
            out += acFormat(L"%llX", static_cast<unsigned long long>(bits));
            break;
        case Kind::kPoint2d:
        case Kind::kVector2d:
            out += L'(' + formatReal(v[0]) + L", " + formatReal(v[1]) + L')';
            break;
        case Kind::kPoint3d:
        case Kind::kVector3d:
        case Kind::kScale3d:
            out += L'(' + formatReal(v[0]) + L", " + formatReal(v[1]) + L", " + formatReal(v[2]) +
                   L')';
            break;
        case Kind::kHardOwnershipId:
        case Kind::kSoftOwnershipId:
        case Kind::kHardPointerId:
        case Kind::kSoftPointerId:
            out += acFormat(L"0x%llX", static_cast<unsigned long long>(bits));
            break;
    }
    return AcString(out);
}

DwgMemoryFiler::DwgMemoryFiler(AcDb::FilerType type, AcDb::AcDbDwgVersion ver,
                               AcDb::MaintenanceReleaseVersion maint, AcDbDatabase* db)
    : m_type(type), m_ver(ver), m_maint(maint), m_db(db) {}

void DwgMemoryFiler::clear() {
    m_items.clear();
    m_texts.clear();
    m_blobs.clear();
    m_view.clear();
    m_viewValid = true;
    m_cursor = 0;
    m_status = Acad::eOk;
}

DwgMemoryFiler::Item DwgMemoryFiler::itemAt(size_t index) const {
    const Stored& stored = m_items[index];
    Item item;
    item.kind = stored.kind;
    item.bits = stored.bits;
    for (int i = 0; i < 3; ++i) {
        item.v[i] = stored.v[i];
    }
    if (stored.kind == Kind::kString) {
        item.text = m_texts[stored.side];
    } else if (stored.kind == Kind::kBytes || stored.kind == Kind::kBinaryChunk) {
        item.bytes = m_blobs[stored.side];
    }
    return item;
}

const std::vector<DwgMemoryFiler::Item>& DwgMemoryFiler::items() const {
    if (!m_viewValid) {
        m_view.clear();
        m_view.reserve(m_items.size());
        for (size_t i = 0; i < m_items.size(); ++i) {
            m_view.push_back(itemAt(i));
        }
        m_viewValid = true;
    }
    return m_view;
}

// As Item::operator== compares the items the two streams would hand out.
bool DwgMemoryFiler::sameStored(const Stored& a, const DwgMemoryFiler& otherFiler,
                                const Stored& b) const {
    if (a.kind != b.kind || a.bits != b.bits || !sameDouble(a.v[0], b.v[0]) ||
        !sameDouble(a.v[1], b.v[1]) || !sameDouble(a.v[2], b.v[2])) {
        return false;
    }
    if (a.kind == Kind::kString) {
        return m_texts[a.side] == otherFiler.m_texts[b.side];
    }
    if (a.kind == Kind::kBytes || a.kind == Kind::kBinaryChunk) {
        return m_blobs[a.side] == otherFiler.m_blobs[b.side];
    }
    return true;
}

bool DwgMemoryFiler::sameItems(const DwgMemoryFiler& other) const {
    if (m_items.size() != other.m_items.size()) {
        return false;
    }
    for (size_t i = 0; i < m_items.size(); ++i) {
        if (!sameStored(m_items[i], other, other.m_items[i])) {
            return false;
        }
    }
    return true;
}

AcString DwgMemoryFiler::describe() const {
    AcString out;
    for (size_t i = 0; i < m_items.size(); ++i) {
        out += itemAt(i).description();
        out += L'\n';
    }
    return out;
}

Acad::ErrorStatus DwgMemoryFiler::dwgVersion(AcDb::AcDbDwgVersion& ver,
                                             AcDb::MaintenanceReleaseVersion& maint) const {
    ver = m_ver;
    maint = m_maint;
    return Acad::eOk;
}

Acad::ErrorStatus DwgMemoryFiler::seek(Adesk::Int64 offset, int method) {
    Adesk::Int64 base = 0;
    switch (method) {
        case AcDb::kSeekFromStart:
            base = 0;
            break;
        case AcDb::kSeekFromCurrent:
            base = static_cast<Adesk::Int64>(m_cursor);
            break;
        case AcDb::kSeekFromEnd:
            base = static_cast<Adesk::Int64>(m_items.size());
            break;
        default:
            return Acad::eInvalidInput;
    }
    const Adesk::Int64 target = base + offset;
    if (target < 0 || target > static_cast<Adesk::Int64>(m_items.size())) {
        return Acad::eInvalidInput;
    }
    m_cursor = static_cast<size_t>(target);
    return Acad::eOk;
}

// ---- reading ----

Acad::ErrorStatus DwgMemoryFiler::fail() {
    m_status = Acad::eFilerError;
    return Acad::eFilerError;
}

const DwgMemoryFiler::Stored* DwgMemoryFiler::peek(ItemKind kind) {
    if (m_status != Acad::eOk || m_cursor >= m_items.size() || m_items[m_cursor].kind != kind) {
        fail();
        return nullptr;
    }
    return &m_items[m_cursor];
}

Acad::ErrorStatus DwgMemoryFiler::readBits(ItemKind kind, Adesk::UInt64* bits) {
    const Stored* item = peek(kind);
    if (item == nullptr) {
        return Acad::eFilerError;
    }
    *bits = item->bits;
    ++m_cursor;
    return Acad::eOk;
}

Acad::ErrorStatus DwgMemoryFiler::readCoords(ItemKind kind, double* xyz) {
    const Stored* item = peek(kind);
    if (item == nullptr) {
        return Acad::eFilerError;
    }
    for (int i = 0; i < 3; ++i) {
        xyz[i] = item->v[i];
    }
    ++m_cursor;
    return Acad::eOk;
}

Acad::ErrorStatus DwgMemoryFiler::readId(ItemKind kind, AcDbObjectId* id) {
    if (id == nullptr) {
        return Acad::eInvalidInput;
    }
    Adesk::UInt64 bits = 0;
    const Acad::ErrorStatus es = readBits(kind, &bits);
    if (es != Acad::eOk) {
        return es;
    }
    AcDbObjectId raw;
    raw.setFromOldId(static_cast<Adesk::Int64>(bits));
    *id = raw.isNull() ? raw : translateId(raw, idKindToDataType(kind));
    return Acad::eOk;
}

// Each typed read goes through readBits with the kind it expects, then narrows.
#define KX_READ_INTEGER(name, Type, kind)                   \
    Acad::ErrorStatus DwgMemoryFiler::name(Type* value) {   \
        if (value == nullptr) {                             \
            return Acad::eInvalidInput;                     \
        }                                                   \
        Adesk::UInt64 bits = 0;                             \
        const Acad::ErrorStatus es = readBits(kind, &bits); \
        if (es == Acad::eOk) {                              \
            *value = static_cast<Type>(bits);               \
        }                                                   \
        return es;                                          \
    }

KX_READ_INTEGER(readInt8, Adesk::Int8, Kind::kInt8)
KX_READ_INTEGER(readUInt8, Adesk::UInt8, Kind::kUInt8)
KX_READ_INTEGER(readInt16, Adesk::Int16, Kind::kInt16)
KX_READ_INTEGER(readUInt16, Adesk::UInt16, Kind::kUInt16)
KX_READ_INTEGER(readInt32, Adesk::Int32, Kind::kInt32)
KX_READ_INTEGER(readUInt32, Adesk::UInt32, Kind::kUInt32)
KX_READ_INTEGER(readInt64, Adesk::Int64, Kind::kInt64)
KX_READ_INTEGER(readUInt64, Adesk::UInt64, Kind::kUInt64)
#undef KX_READ_INTEGER

Acad::ErrorStatus DwgMemoryFiler::readBool(Adesk::Boolean* value) {
    if (value == nullptr) {
        return Acad::eInvalidInput;
    }
    Adesk::UInt64 bits = 0;
    const Acad::ErrorStatus es = readBits(Kind::kBool, &bits);
    if (es == Acad::eOk) {
        *value = bits != 0;
    }
    return es;
}

Acad::ErrorStatus DwgMemoryFiler::readDouble(double* value) {
    if (value == nullptr) {
        return Acad::eInvalidInput;
    }
    double xyz[3];
    const Acad::ErrorStatus es = readCoords(Kind::kDouble, xyz);
    if (es == Acad::eOk) {
        *value = xyz[0];
    }
    return es;
}

Acad::ErrorStatus DwgMemoryFiler::readString(ACHAR** value) {
    if (value == nullptr) {
        return Acad::eInvalidInput;
    }
    const Stored* item = peek(Kind::kString);
    if (item == nullptr) {
        return Acad::eFilerError;
    }
    ACHAR* copy = acutNewString(m_texts[item->side].c_str());
    if (copy == nullptr) {
        // The stream is intact; the caller may retry once memory is available.
        return Acad::eOutOfMemory;
    }
    *value = copy;
    ++m_cursor;
    return Acad::eOk;
}

Acad::ErrorStatus DwgMemoryFiler::readString(AcString& value) {
    const Stored* item = peek(Kind::kString);
    if (item == nullptr) {
        return Acad::eFilerError;
    }
    value = AcString(m_texts[item->side]);
    ++m_cursor;
    return Acad::eOk;
}

Acad::ErrorStatus DwgMemoryFiler::readBytes(void* buffer, Adesk::UIntPtr size) {
    if (buffer == nullptr && size > 0) {
        return Acad::eInvalidInput;
    }
    const Stored* item = peek(Kind::kBytes);
    if (item == nullptr) {
        return Acad::eFilerError;
    }
    const std::vector<unsigned char>& bytes = m_blobs[item->side];
    if (bytes.size() != size) {
        // Reading another length than was written would leave the stream out of step.
        return fail();
    }
    if (size > 0) {
        std::memcpy(buffer, bytes.data(), size);
    }
    ++m_cursor;
    return Acad::eOk;
}

Acad::ErrorStatus DwgMemoryFiler::readBinaryChunk(ads_binary* chunk) {
    if (chunk == nullptr) {
        return Acad::eInvalidInput;
    }
    const Stored* item = peek(Kind::kBinaryChunk);
    if (item == nullptr) {
        return Acad::eFilerError;
    }
    const std::vector<unsigned char>& bytes = m_blobs[item->side];
    char* buf = nullptr;
    if (!bytes.empty()) {
        buf = static_cast<char*>(acHeapAlloc(bytes.size()));
        if (buf == nullptr) {
            return Acad::eOutOfMemory;
        }
        std::memcpy(buf, bytes.data(), bytes.size());
    }
    chunk->clen = static_cast<short>(bytes.size());
    chunk->buf = buf;
    ++m_cursor;
    return Acad::eOk;
}

Acad::ErrorStatus DwgMemoryFiler::readHandle(AcDbHandle* value) {
    if (value == nullptr) {
        return Acad::eInvalidInput;
    }
    Adesk::UInt64 bits = 0;
    const Acad::ErrorStatus es = readBits(Kind::kHandle, &bits);
    if (es == Acad::eOk) {
        *value = AcDbHandle(bits);
    }
    return es;
}

Acad::ErrorStatus DwgMemoryFiler::readPoint2d(AcGePoint2d* value) {
    if (value == nullptr) {
        return Acad::eInvalidInput;
    }
    double xyz[3];
    const Acad::ErrorStatus es = readCoords(Kind::kPoint2d, xyz);
    if (es == Acad::eOk) {
        *value = AcGePoint2d(xyz[0], xyz[1]);
    }
    return es;
}

Acad::ErrorStatus DwgMemoryFiler::readPoint3d(AcGePoint3d* value) {
    if (value == nullptr) {
        return Acad::eInvalidInput;
    }
    double xyz[3];
    const Acad::ErrorStatus es = readCoords(Kind::kPoint3d, xyz);
    if (es == Acad::eOk) {
        *value = AcGePoint3d(xyz[0], xyz[1], xyz[2]);
    }
    return es;
}

Acad::ErrorStatus DwgMemoryFiler::readVector2d(AcGeVector2d* value) {
    if (value == nullptr) {
        return Acad::eInvalidInput;
    }
    double xyz[3];
    const Acad::ErrorStatus es = readCoords(Kind::kVector2d, xyz);
    if (es == Acad::eOk) {
        *value = AcGeVector2d(xyz[0], xyz[1]);
    }
    return es;
}

Acad::ErrorStatus DwgMemoryFiler::readVector3d(AcGeVector3d* value) {
    if (value == nullptr) {
        return Acad::eInvalidInput;
    }
    double xyz[3];
    const Acad::ErrorStatus es = readCoords(Kind::kVector3d, xyz);
    if (es == Acad::eOk) {
        *value = AcGeVector3d(xyz[0], xyz[1], xyz[2]);
    }
    return es;
}

Acad::ErrorStatus DwgMemoryFiler::readScale3d(AcGeScale3d* value) {
    if (value == nullptr) {
        return Acad::eInvalidInput;
    }
    double xyz[3];
    const Acad::ErrorStatus es = readCoords(Kind::kScale3d, xyz);
    if (es == Acad::eOk) {
        *value = AcGeScale3d(xyz[0], xyz[1], xyz[2]);
    }
    return es;
}

Acad::ErrorStatus DwgMemoryFiler::readHardOwnershipId(AcDbHardOwnershipId* id) {
    return readId(Kind::kHardOwnershipId, id);
}

Acad::ErrorStatus DwgMemoryFiler::readSoftOwnershipId(AcDbSoftOwnershipId* id) {
    return readId(Kind::kSoftOwnershipId, id);
}

Acad::ErrorStatus DwgMemoryFiler::readHardPointerId(AcDbHardPointerId* id) {
    return readId(Kind::kHardPointerId, id);
}

Acad::ErrorStatus DwgMemoryFiler::readSoftPointerId(AcDbSoftPointerId* id) {
    return readId(Kind::kSoftPointerId, id);
}

// ---- writing ----

Acad::ErrorStatus DwgMemoryFiler::appendBits(ItemKind kind, Adesk::UInt64 bits) {
    if (m_status != Acad::eOk) {
        return m_status;
    }
    m_items.push_back(Stored{kind, 0, bits, {0.0, 0.0, 0.0}});
    m_viewValid = false;
    return Acad::eOk;
}

Acad::ErrorStatus DwgMemoryFiler::appendCoords(ItemKind kind, double x, double y, double z) {
    if (m_status != Acad::eOk) {
        return m_status;
    }
    m_items.push_back(Stored{kind, 0, 0, {x, y, z}});
    m_viewValid = false;
    return Acad::eOk;
}

Acad::ErrorStatus DwgMemoryFiler::appendText(std::wstring text) {
    if (m_status != Acad::eOk) {
        return m_status;
    }
    m_texts.push_back(std::move(text));
    m_items.push_back(
        Stored{Kind::kString, static_cast<Adesk::UInt32>(m_texts.size() - 1), 0, {0.0, 0.0, 0.0}});
    m_viewValid = false;
    return Acad::eOk;
}

Acad::ErrorStatus DwgMemoryFiler::appendBytes(ItemKind kind, const unsigned char* data,
                                              size_t size) {
    if (m_status != Acad::eOk) {
        return m_status;
    }
    m_blobs.emplace_back();
    if (size > 0) {
        m_blobs.back().assign(data, data + size);
    }
    m_items.push_back(
        Stored{kind, static_cast<Adesk::UInt32>(m_blobs.size() - 1), 0, {0.0, 0.0, 0.0}});
    m_viewValid = false;
    return Acad::eOk;
}

Acad::ErrorStatus DwgMemoryFiler::appendId(ItemKind kind, const AcDbObjectId& id) {
    const Acad::ErrorStatus es = appendBits(kind, static_cast<Adesk::UInt64>(id.asOldId()));
    if (es == Acad::eOk && !id.isNull() &&
        (kind == Kind::kHardOwnershipId || kind == Kind::kSoftOwnershipId)) {
        noteOwnedId(id, kind == Kind::kHardOwnershipId);
    }
    return es;
}

Acad::ErrorStatus DwgMemoryFiler::writeBool(Adesk::Boolean value) {
    return appendBits(Kind::kBool, value ? 1 : 0);
}

// Signed values are widened with their sign so that description() and the 64-bit readers see the
// same number that was written.
Acad::ErrorStatus DwgMemoryFiler::writeInt8(Adesk::Int8 value) {
    return appendBits(Kind::kInt8, static_cast<Adesk::UInt64>(static_cast<Adesk::Int64>(value)));
}

Acad::ErrorStatus DwgMemoryFiler::writeUInt8(Adesk::UInt8 value) {
    return appendBits(Kind::kUInt8, value);
}

Acad::ErrorStatus DwgMemoryFiler::writeInt16(Adesk::Int16 value) {
    return appendBits(Kind::kInt16, static_cast<Adesk::UInt64>(static_cast<Adesk::Int64>(value)));
}

Acad::ErrorStatus DwgMemoryFiler::writeUInt16(Adesk::UInt16 value) {
    return appendBits(Kind::kUInt16, value);
}

Acad::ErrorStatus DwgMemoryFiler::writeInt32(Adesk::Int32 value) {
    return appendBits(Kind::kInt32, static_cast<Adesk::UInt64>(static_cast<Adesk::Int64>(value)));
}

Acad::ErrorStatus DwgMemoryFiler::writeUInt32(Adesk::UInt32 value) {
    return appendBits(Kind::kUInt32, value);
}

Acad::ErrorStatus DwgMemoryFiler::writeInt64(Adesk::Int64 value) {
    return appendBits(Kind::kInt64, static_cast<Adesk::UInt64>(value));
}

Acad::ErrorStatus DwgMemoryFiler::writeUInt64(Adesk::UInt64 value) {
    return appendBits(Kind::kUInt64, value);
}

Acad::ErrorStatus DwgMemoryFiler::writeDouble(double value) {
    return appendCoords(Kind::kDouble, value, 0.0, 0.0);
}

Acad::ErrorStatus DwgMemoryFiler::writeString(const ACHAR* value) {
    return appendText(value != nullptr ? value : L"");
}

Acad::ErrorStatus DwgMemoryFiler::writeString(const AcString& value) {
    return appendText(value.str());
}

Acad::ErrorStatus DwgMemoryFiler::writeBytes(const void* buffer, Adesk::UIntPtr size) {
    if (buffer == nullptr && size > 0) {
        return Acad::eInvalidInput;
    }
    return appendBytes(Kind::kBytes, static_cast<const unsigned char*>(buffer), size);
}

Acad::ErrorStatus DwgMemoryFiler::writeBinaryChunk(const char* buffer, Adesk::UIntPtr size) {
    if ((buffer == nullptr && size > 0) || size > static_cast<Adesk::UIntPtr>(SHRT_MAX)) {
        return Acad::eInvalidInput;
    }
    return appendBytes(Kind::kBinaryChunk, reinterpret_cast<const unsigned char*>(buffer), size);
}

Acad::ErrorStatus DwgMemoryFiler::writeHandle(const AcDbHandle& value) {
    return appendBits(Kind::kHandle, value.value());
}

Acad::ErrorStatus DwgMemoryFiler::writePoint2d(const AcGePoint2d& value) {
    return appendCoords(Kind::kPoint2d, value.x, value.y, 0.0);
}

Acad::ErrorStatus DwgMemoryFiler::writePoint3d(const AcGePoint3d& value) {
    return appendCoords(Kind::kPoint3d, value.x, value.y, value.z);
}

Acad::ErrorStatus DwgMemoryFiler::writeVector2d(const AcGeVector2d& value) {
    return appendCoords(Kind::kVector2d, value.x, value.y, 0.0);
}

Acad::ErrorStatus DwgMemoryFiler::writeVector3d(const AcGeVector3d& value) {
    return appendCoords(Kind::kVector3d, value.x, value.y, value.z);
}

Acad::ErrorStatus DwgMemoryFiler::writeScale3d(const AcGeScale3d& value) {
    return appendCoords(Kind::kScale3d, value.sx, value.sy, value.sz);
}

Acad::ErrorStatus DwgMemoryFiler::writeHardOwnershipId(const AcDbHardOwnershipId& id) {
    return appendId(Kind::kHardOwnershipId, id);
}

Acad::ErrorStatus DwgMemoryFiler::writeSoftOwnershipId(const AcDbSoftOwnershipId& id) {
    return appendId(Kind::kSoftOwnershipId, id);
}

Acad::ErrorStatus DwgMemoryFiler::writeHardPointerId(const AcDbHardPointerId& id) {
    return appendId(Kind::kHardPointerId, id);
}

Acad::ErrorStatus DwgMemoryFiler::writeSoftPointerId(const AcDbSoftPointerId& id) {
    return appendId(Kind::kSoftPointerId, id);
}

}  // namespace kxhost
