#include "host/db/dxffiler.h"

#include <cstdarg>
#include <cstring>
#include <cwchar>
#include <utility>

#include "host/core/heap.h"

void AcDbDxfFiler::setError(Acad::ErrorStatus status, const ACHAR* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    const std::wstring message = acFormatV(fmt, args);
    va_end(args);
    setErrorMessage(status, AcString(message));
}

void AcDbDxfFiler::setError(const ACHAR* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    const std::wstring message = acFormatV(fmt, args);
    va_end(args);
    setErrorMessage(Acad::eFilerError, AcString(message));
}

namespace kxhost {

namespace {
using Kind = DxfMemoryFiler::ItemKind;
using Item = DxfMemoryFiler::Item;

// The resbuf field an item travels in.
enum class Field { kAny, kRint, kRlong, kInt64, kReal, kPoint, kString, kName, kBinary, kRaw };

// The field a code dictates, or kAny for codes the host does not classify.
Field fieldForCode(int code) {
    switch (code) {
        case RTSHORT:
            return Field::kRint;
        case RTLONG:
            return Field::kRlong;
        case RTREAL:
        case RTANG:
            return Field::kReal;
        case RTPOINT:
        case RT3DPOINT:
            return Field::kPoint;
        case RTSTR:
            return Field::kString;
        case RTENAME:
            return Field::kName;
        default:
            break;
    }
    switch (acdbGroupCodeToType(code)) {
        case AcDb::kDwgInt8:
        case AcDb::kDwgInt16:
            return Field::kRint;
        case AcDb::kDwgInt32:
            return Field::kRlong;
        case AcDb::kDwgInt64:
            return Field::kInt64;
        case AcDb::kDwgReal:
            return Field::kReal;
        case AcDb::kDwg3Real:
            return Field::kPoint;
        case AcDb::kDwgText:
        case AcDb::kDwgHandle:
            return Field::kString;
        case AcDb::kDwgHardOwnershipId:
        case AcDb::kDwgSoftOwnershipId:
        case AcDb::kDwgHardPointerId:
        case AcDb::kDwgSoftPointerId:
            return Field::kName;
        case AcDb::kDwgBChunk:
            return Field::kBinary;
        default:
            return Field::kAny;
    }
}

bool isInteger(Kind kind) {
    switch (kind) {
        case Kind::kBool:
        case Kind::kInt8:
        case Kind::kUInt8:
        case Kind::kInt16:
        case Kind::kUInt16:
        case Kind::kInt32:
        case Kind::kUInt32:
        case Kind::kInt64:
        case Kind::kUInt64:
            return true;
        default:
            return false;
    }
}

bool isReal(Kind kind) {
    return kind == Kind::kDouble || kind == Kind::kAngle;
}

bool isCoords(Kind kind) {
    return kind == Kind::kPoint2d || kind == Kind::kPoint3d || kind == Kind::kVector2d ||
           kind == Kind::kVector3d || kind == Kind::kScale3d;
}

bool isText(Kind kind) {
    return kind == Kind::kString || kind == Kind::kName || kind == Kind::kHandle;
}

// The field a kind travels in under a code the host does not classify.
Field naturalField(Kind kind) {
    switch (kind) {
        case Kind::kBool:
        case Kind::kInt8:
        case Kind::kUInt8:
        case Kind::kInt16:
        case Kind::kUInt16:
            return Field::kRint;
        case Kind::kInt32:
        case Kind::kUInt32:
            return Field::kRlong;
        case Kind::kInt64:
        case Kind::kUInt64:
            return Field::kInt64;
        case Kind::kDouble:
        case Kind::kAngle:
            return Field::kReal;
        case Kind::kString:
        case Kind::kName:
        case Kind::kHandle:
            return Field::kString;
        case Kind::kObjectId:
            return Field::kName;
        case Kind::kBinaryChunk:
            return Field::kBinary;
        case Kind::kRaw:
            return Field::kRaw;
        default:
            return Field::kPoint;
    }
}

// Whether a code's field can carry a kind without losing its meaning: integers of another width
// are converted (as a DXF file would when the text is read back), integers may go into reals,
// nothing else crosses families.
bool fits(Field field, Kind kind) {
    switch (field) {
        case Field::kAny:
            return true;
        case Field::kRint:
        case Field::kRlong:
        case Field::kInt64:
            return isInteger(kind);
        case Field::kReal:
            return isReal(kind) || isInteger(kind);
        case Field::kPoint:
            return isCoords(kind);
        case Field::kString:
            return isText(kind);
        case Field::kName:
            return kind == Kind::kObjectId;
        case Field::kBinary:
            return kind == Kind::kBinaryChunk;
        case Field::kRaw:
            return kind == Kind::kRaw;
    }
    return false;
}

Field fieldFor(const Item& item) {
    const Field field = fieldForCode(item.code);
    return field == Field::kAny ? naturalField(item.kind) : field;
}

std::wstring textOf(const Item& item) {
    if (item.kind == Kind::kHandle) {
        return acFormat(L"%llX", static_cast<unsigned long long>(item.integer));
    }
    return item.text;
}

// Fills rb's type and value from the item. Allocates the string or binary buffer the value
// needs; on failure rb is left alone.
Acad::ErrorStatus fill(const Item& item, resbuf* rb) {
    ads_u_val val;
    std::memset(&val, 0, sizeof(val));
    switch (fieldFor(item)) {
        case Field::kRint:
            val.rint = static_cast<short>(item.integer);
            break;
        case Field::kRlong:
            val.rlong = static_cast<Adesk::Int32>(item.integer);
            break;
        case Field::kInt64:
            val.mnInt64 = item.integer;
            break;
        case Field::kReal:
            if (isReal(item.kind)) {
                val.rreal = item.v[0];
            } else if (item.kind == Kind::kUInt64) {
                val.rreal = static_cast<double>(static_cast<Adesk::UInt64>(item.integer));
            } else {
                val.rreal = static_cast<double>(item.integer);
            }
            break;
        case Field::kPoint:
            for (int i = 0; i < 3; ++i) {
                val.rpoint[i] = item.v[i];
            }
            break;
        case Field::kString: {
            val.rstring = acutNewString(textOf(item).c_str());
            if (val.rstring == nullptr) {
                return Acad::eOutOfMemory;
            }
            break;
        }
        case Field::kName:
            val.rlname[0] = item.integer;
            val.rlname[1] = 0;
            break;
        case Field::kBinary:
            if (!item.bytes.empty()) {
                val.rbinary.buf = static_cast<char*>(acHeapAlloc(item.bytes.size()));
                if (val.rbinary.buf == nullptr) {
                    return Acad::eOutOfMemory;
                }
                std::memcpy(val.rbinary.buf, item.bytes.data(), item.bytes.size());
            }
            val.rbinary.clen = static_cast<short>(item.bytes.size());
            break;
        case Field::kRaw:
        case Field::kAny:
            val = item.raw;
            break;
    }
    rb->restype = static_cast<short>(item.code);
    rb->resval = val;
    return Acad::eOk;
}

std::wstring formatReal(double d) {
    return acFormat(L"%.17g", d);
}
}  // namespace

// ---- items ----

DxfMemoryFiler::Item::Item() {
    std::memset(&raw, 0, sizeof(raw));
}

const ACHAR* DxfMemoryFiler::kindName(ItemKind kind) {
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
        case Kind::kAngle:
            return L"angle";
        case Kind::kString:
            return L"string";
        case Kind::kName:
            return L"name";
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
        case Kind::kObjectId:
            return L"objectId";
        case Kind::kBinaryChunk:
            return L"binaryChunk";
        case Kind::kRaw:
            return L"raw";
    }
    return L"?";
}

bool DxfMemoryFiler::Item::operator==(const Item& other) const {
    return code == other.code && kind == other.kind && integer == other.integer &&
           std::memcmp(v, other.v, sizeof(v)) == 0 && text == other.text && bytes == other.bytes &&
           precision == other.precision && std::memcmp(&raw, &other.raw, sizeof(raw)) == 0;
}

AcString DxfMemoryFiler::Item::description() const {
    std::wstring out = std::to_wstring(code) + L' ' + kindName(kind) + L' ';
    switch (kind) {
        case Kind::kBool:
            out += integer != 0 ? L"true" : L"false";
            break;
        case Kind::kUInt64:
            out += std::to_wstring(static_cast<Adesk::UInt64>(integer));
            break;
        case Kind::kDouble:
        case Kind::kAngle:
            out += formatReal(v[0]);
            break;
        case Kind::kString:
        case Kind::kName:
            out += L'"' + text + L'"';
            break;
        case Kind::kHandle:
            out += textOf(*this);
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
        case Kind::kObjectId:
            out += acFormat(L"0x%llX", static_cast<unsigned long long>(integer));
            break;
        case Kind::kBinaryChunk:
            out += L'[';
            for (size_t i = 0; i < bytes.size(); ++i) {
                out += acFormat(i == 0 ? L"%02X" : L" %02X",
                                static_cast<unsigned>(static_cast<unsigned char>(bytes[i])));
            }
            out += L']';
            break;
        case Kind::kRaw:
            out += acFormat(L"0x%016llX", static_cast<unsigned long long>(raw.rlname[0]));
            break;
        default:
            out += std::to_wstring(integer);
            break;
    }
    return AcString(out);
}

// ---- filer state ----

DxfMemoryFiler::DxfMemoryFiler(AcDb::FilerType type, AcDb::AcDbDwgVersion ver,
                               AcDb::MaintenanceReleaseVersion maint, AcDbDatabase* db)
    : m_type(type), m_ver(ver), m_maint(maint), m_db(db) {}

DxfMemoryFiler DxfMemoryFiler::fromChain(const resbuf* chain) {
    DxfMemoryFiler filer;
    filer.load(chain);
    return filer;
}

Acad::ErrorStatus DxfMemoryFiler::load(const resbuf* chain) {
    clear();
    for (const resbuf* rb = chain; rb != nullptr; rb = rb->rbnext) {
        const Acad::ErrorStatus es = writeItem(*rb);
        if (es != Acad::eOk) {
            return es;
        }
    }
    return Acad::eOk;
}

resbuf* DxfMemoryFiler::toChain() const {
    resbuf* head = nullptr;
    resbuf** tail = &head;
    for (const Item& item : m_items) {
        // acutRelRb decides by the code alone what an item owns; a chain it would release
        // wrongly must not leave here.
        const Field field = fieldFor(item);
        if ((field == Field::kString) != acutRbOwnsString(item.code) ||
            (field == Field::kBinary) != acutRbOwnsBinary(item.code)) {
            acutRelRb(head);
            return nullptr;
        }
        resbuf* rb = acutNewRb(item.code);
        if (rb == nullptr || fill(item, rb) != Acad::eOk) {
            acutRelRb(rb);
            acutRelRb(head);
            return nullptr;
        }
        *tail = rb;
        tail = &rb->rbnext;
    }
    return head;
}

AcString DxfMemoryFiler::describe() const {
    AcString out;
    for (const Item& item : m_items) {
        out += item.description();
        out += L'\n';
    }
    return out;
}

void DxfMemoryFiler::rewind() {
    m_cursor = 0;
    m_canPushBack = false;
}

void DxfMemoryFiler::clear() {
    m_items.clear();
    rewind();
    resetFilerStatus();
}

Acad::ErrorStatus DxfMemoryFiler::dwgVersion(AcDb::AcDbDwgVersion& ver,
                                             AcDb::MaintenanceReleaseVersion& maint) const {
    ver = m_ver;
    maint = m_maint;
    return Acad::eOk;
}

void DxfMemoryFiler::resetFilerStatus() {
    m_status = Acad::eOk;
    m_message.setEmpty();
}

void DxfMemoryFiler::setErrorMessage(Acad::ErrorStatus status, const AcString& message) {
    m_status = status;
    m_message = message;
}

void DxfMemoryFiler::setPrecision(int digits) {
    m_precision = digits < 0 ? 0 : (digits > 16 ? 16 : digits);
}

// ---- reading ----

Acad::ErrorStatus DxfMemoryFiler::readItem(resbuf* item) {
    if (item == nullptr) {
        return Acad::eInvalidInput;
    }
    m_canPushBack = false;
    if (m_status != Acad::eOk) {
        return m_status;
    }
    if (m_cursor >= m_items.size()) {
        return Acad::eEndOfFile;
    }
    const Acad::ErrorStatus es = fill(m_items[m_cursor], item);
    if (es != Acad::eOk) {
        return es;
    }
    ++m_cursor;
    m_canPushBack = true;
    return Acad::eOk;
}

void DxfMemoryFiler::pushBackItem() {
    if (m_canPushBack && m_cursor > 0) {
        --m_cursor;
    }
    m_canPushBack = false;
}

bool DxfMemoryFiler::atSubclassData(const ACHAR* name) {
    // Looks at the item in place: consuming it is a read, leaving it is a read and a push-back,
    // and neither needs a copy of the text.
    m_canPushBack = false;
    if (m_status != Acad::eOk || m_cursor >= m_items.size() || name == nullptr) {
        return false;
    }
    const Item& next = m_items[m_cursor];
    if (next.code != 100 || !isText(next.kind) || textOf(next) != name) {
        return false;
    }
    ++m_cursor;
    m_canPushBack = true;
    return true;
}

// ---- writing ----

Acad::ErrorStatus DxfMemoryFiler::add(Item item) {
    if (m_status != Acad::eOk) {
        return m_status;
    }
    const Field field = fieldForCode(item.code);
    if (field == Field::kReal && isCoords(item.kind)) {
        return addSplit(item);
    }
    if (!fits(field, item.kind)) {
        setError(Acad::eInvalidDxfCode, L"group %d cannot hold a %s value", item.code,
                 kindName(item.kind));
        return Acad::eInvalidDxfCode;
    }
    m_items.push_back(std::move(item));
    return Acad::eOk;
}

// Coordinates under a real code (a scale under 41, say) are written the way a DXF file carries
// them: one real per coordinate under consecutive codes (41, 42, 43), so that reading the memory
// filer gives what reading the file would.
Acad::ErrorStatus DxfMemoryFiler::addSplit(const Item& item) {
    const bool is2d = item.kind == Kind::kPoint2d || item.kind == Kind::kVector2d;
    const int count = is2d ? 2 : 3;
    for (int i = 0; i < count; ++i) {
        if (fieldForCode(item.code + i) != Field::kReal) {
            setError(Acad::eInvalidDxfCode, L"group %d cannot hold a %s value", item.code,
                     kindName(item.kind));
            return Acad::eInvalidDxfCode;
        }
    }
    for (int i = 0; i < count; ++i) {
        Item part;
        part.code = item.code + i;
        part.kind = Kind::kDouble;
        part.v[0] = item.v[i];
        part.precision = item.precision;
        m_items.push_back(std::move(part));
    }
    return Acad::eOk;
}

Acad::ErrorStatus DxfMemoryFiler::addInteger(int code, ItemKind kind, Adesk::Int64 value) {
    Item item;
    item.code = code;
    item.kind = kind;
    item.integer = value;
    return add(std::move(item));
}

Acad::ErrorStatus DxfMemoryFiler::addCoords(int code, ItemKind kind, double x, double y, double z,
                                            int prec) {
    Item item;
    item.code = code;
    item.kind = kind;
    item.v[0] = x;
    item.v[1] = y;
    item.v[2] = z;
    item.precision = prec;
    return add(std::move(item));
}

Acad::ErrorStatus DxfMemoryFiler::addText(int code, ItemKind kind, std::wstring text) {
    Item item;
    item.code = code;
    item.kind = kind;
    item.text = std::move(text);
    return add(std::move(item));
}

Acad::ErrorStatus DxfMemoryFiler::writeItem(const resbuf& rb) {
    const int code = rb.restype;
    const ads_u_val& val = rb.resval;
    switch (fieldForCode(code)) {
        case Field::kRint:
            return addInteger(code, Kind::kInt16, val.rint);
        case Field::kRlong:
            return addInteger(code, Kind::kInt32, val.rlong);
        case Field::kInt64:
            return addInteger(code, Kind::kInt64, val.mnInt64);
        case Field::kReal:
            return addCoords(code, code == RTANG ? Kind::kAngle : Kind::kDouble, val.rreal, 0.0,
                             0.0, kDfltPrec);
        case Field::kPoint:
            return addCoords(code, Kind::kPoint3d, val.rpoint[0], val.rpoint[1], val.rpoint[2],
                             kDfltPrec);
        case Field::kString:
            return addText(code, Kind::kString, val.rstring != nullptr ? val.rstring : L"");
        case Field::kName:
            return addInteger(code, Kind::kObjectId, val.rlname[0]);
        case Field::kBinary: {
            if (val.rbinary.clen > 0 && val.rbinary.buf == nullptr) {
                if (m_status == Acad::eOk) {
                    setError(Acad::eInvalidResBuf, L"group %d has %d bytes but no buffer", code,
                             static_cast<int>(val.rbinary.clen));
                }
                return m_status;
            }
            Item item;
            item.code = code;
            item.kind = Kind::kBinaryChunk;
            if (val.rbinary.clen > 0) {
                item.bytes.assign(val.rbinary.buf, val.rbinary.buf + val.rbinary.clen);
            }
            return add(std::move(item));
        }
        default: {
            Item item;
            item.code = code;
            item.kind = Kind::kRaw;
            item.raw = val;
            return add(std::move(item));
        }
    }
}

Acad::ErrorStatus DxfMemoryFiler::writeString(int code, const ACHAR* value) {
    return addText(code, Kind::kString, value != nullptr ? value : L"");
}

Acad::ErrorStatus DxfMemoryFiler::writeString(int code, const AcString& value) {
    return addText(code, Kind::kString, value.str());
}

Acad::ErrorStatus DxfMemoryFiler::writeName(int code, const ACHAR* value) {
    return addText(code, Kind::kName, value != nullptr ? value : L"");
}

Acad::ErrorStatus DxfMemoryFiler::writeBool(int code, bool value) {
    return addInteger(code, Kind::kBool, value ? 1 : 0);
}

Acad::ErrorStatus DxfMemoryFiler::writeInt8(int code, Adesk::Int8 value) {
    return addInteger(code, Kind::kInt8, value);
}

Acad::ErrorStatus DxfMemoryFiler::writeUInt8(int code, Adesk::UInt8 value) {
    return addInteger(code, Kind::kUInt8, value);
}

Acad::ErrorStatus DxfMemoryFiler::writeInt16(int code, Adesk::Int16 value) {
    return addInteger(code, Kind::kInt16, value);
}

Acad::ErrorStatus DxfMemoryFiler::writeUInt16(int code, Adesk::UInt16 value) {
    return addInteger(code, Kind::kUInt16, value);
}

Acad::ErrorStatus DxfMemoryFiler::writeInt32(int code, Adesk::Int32 value) {
    return addInteger(code, Kind::kInt32, value);
}

Acad::ErrorStatus DxfMemoryFiler::writeUInt32(int code, Adesk::UInt32 value) {
    return addInteger(code, Kind::kUInt32, value);
}

Acad::ErrorStatus DxfMemoryFiler::writeInt64(int code, Adesk::Int64 value) {
    return addInteger(code, Kind::kInt64, value);
}

Acad::ErrorStatus DxfMemoryFiler::writeUInt64(int code, Adesk::UInt64 value) {
    return addInteger(code, Kind::kUInt64, static_cast<Adesk::Int64>(value));
}

Acad::ErrorStatus DxfMemoryFiler::writeDouble(int code, double value, int prec) {
    return addCoords(code, Kind::kDouble, value, 0.0, 0.0, prec);
}

Acad::ErrorStatus DxfMemoryFiler::writeAngle(int code, double angle, int prec) {
    return addCoords(code, Kind::kAngle, angle, 0.0, 0.0, prec);
}

Acad::ErrorStatus DxfMemoryFiler::writePoint2d(int code, const AcGePoint2d& value, int prec) {
    return addCoords(code, Kind::kPoint2d, value.x, value.y, 0.0, prec);
}

Acad::ErrorStatus DxfMemoryFiler::writePoint3d(int code, const AcGePoint3d& value, int prec) {
    return addCoords(code, Kind::kPoint3d, value.x, value.y, value.z, prec);
}

Acad::ErrorStatus DxfMemoryFiler::writeVector2d(int code, const AcGeVector2d& value, int prec) {
    return addCoords(code, Kind::kVector2d, value.x, value.y, 0.0, prec);
}

Acad::ErrorStatus DxfMemoryFiler::writeVector3d(int code, const AcGeVector3d& value, int prec) {
    return addCoords(code, Kind::kVector3d, value.x, value.y, value.z, prec);
}

Acad::ErrorStatus DxfMemoryFiler::writeScale3d(int code, const AcGeScale3d& value, int prec) {
    return addCoords(code, Kind::kScale3d, value.sx, value.sy, value.sz, prec);
}

Acad::ErrorStatus DxfMemoryFiler::writeObjectId(int code, const AcDbObjectId& id) {
    return addInteger(code, Kind::kObjectId, id.asOldId());
}

Acad::ErrorStatus DxfMemoryFiler::writeHandle(int code, const AcDbHandle& handle) {
    return addInteger(code, Kind::kHandle, static_cast<Adesk::Int64>(handle.value()));
}

Acad::ErrorStatus DxfMemoryFiler::writeBinaryChunk(int code, const ads_binary& chunk) {
    if (chunk.clen > 0 && chunk.buf == nullptr) {
        return Acad::eInvalidInput;
    }
    Item item;
    item.code = code;
    item.kind = Kind::kBinaryChunk;
    if (chunk.clen > 0) {
        item.bytes.assign(chunk.buf, chunk.buf + chunk.clen);
    }
    return add(std::move(item));
}

}  // namespace kxhost
