#include "host/db/proxy.h"

#include "host/core/heap.h"
#include "host/db/dxffiler.h"
#include "host/db/objectstate.h"

ACRX_HOST_DXF_CLASS(AcDbProxyObject, AcDbObject, "ACAD_PROXY_OBJECT");

namespace {

using Item = kxhost::DwgMemoryFiler::Item;
using Kind = kxhost::DwgMemoryFiler::ItemKind;

// Reads one item as the kind it was written as, through the filer's typed calls, so that id
// translation of a cloning filer applies to the kept ids too.
Acad::ErrorStatus readAs(AcDbDwgFiler* filer, const Item& expected, Item& out) {
    out = Item();
    out.kind = expected.kind;
    Acad::ErrorStatus es = Acad::eOk;
    switch (expected.kind) {
        case Kind::kBool: {
            Adesk::Boolean b = false;
            es = filer->readBool(&b);
            out.bits = b ? 1 : 0;
            break;
        }
        case Kind::kInt8: {
            Adesk::Int8 v = 0;
            es = filer->readInt8(&v);
            out.bits = static_cast<Adesk::UInt8>(v);
            break;
        }
        case Kind::kUInt8: {
            Adesk::UInt8 v = 0;
            es = filer->readUInt8(&v);
            out.bits = v;
            break;
        }
        case Kind::kInt16: {
            Adesk::Int16 v = 0;
            es = filer->readInt16(&v);
            out.bits = static_cast<Adesk::UInt16>(v);
            break;
        }
        case Kind::kUInt16: {
            Adesk::UInt16 v = 0;
            es = filer->readUInt16(&v);
            out.bits = v;
            break;
        }
        case Kind::kInt32: {
            Adesk::Int32 v = 0;
            es = filer->readInt32(&v);
            out.bits = static_cast<Adesk::UInt32>(v);
            break;
        }
        case Kind::kUInt32: {
            Adesk::UInt32 v = 0;
            es = filer->readUInt32(&v);
            out.bits = v;
            break;
        }
        case Kind::kInt64: {
            Adesk::Int64 v = 0;
            es = filer->readInt64(&v);
            out.bits = static_cast<Adesk::UInt64>(v);
            break;
        }
        case Kind::kUInt64:
            es = filer->readUInt64(&out.bits);
            break;
        case Kind::kDouble:
            es = filer->readDouble(&out.v[0]);
            break;
        case Kind::kString: {
            AcString s;
            es = filer->readString(s);
            out.text = s.str();
            break;
        }
        case Kind::kBytes:
            out.bytes.resize(expected.bytes.size());
            es = filer->readBytes(out.bytes.data(), out.bytes.size());
            break;
        case Kind::kBinaryChunk: {
            ads_binary chunk{0, nullptr};
            es = filer->readBinaryChunk(&chunk);
            if (es == Acad::eOk && chunk.buf != nullptr && chunk.clen > 0) {
                out.bytes.assign(chunk.buf, chunk.buf + chunk.clen);
            }
            acHeapFree(chunk.buf);
            break;
        }
        case Kind::kHandle: {
            AcDbHandle h;
            es = filer->readHandle(&h);
            out.bits = h.value();
            break;
        }
        case Kind::kPoint2d: {
            AcGePoint2d p;
            es = filer->readPoint2d(&p);
            out.v[0] = p.x;
            out.v[1] = p.y;
            break;
        }
        case Kind::kPoint3d: {
            AcGePoint3d p;
            es = filer->readPoint3d(&p);
            out.v[0] = p.x;
            out.v[1] = p.y;
            out.v[2] = p.z;
            break;
        }
        case Kind::kVector2d: {
            AcGeVector2d p;
            es = filer->readVector2d(&p);
            out.v[0] = p.x;
            out.v[1] = p.y;
            break;
        }
        case Kind::kVector3d: {
            AcGeVector3d p;
            es = filer->readVector3d(&p);
            out.v[0] = p.x;
            out.v[1] = p.y;
            out.v[2] = p.z;
            break;
        }
        case Kind::kScale3d: {
            AcGeScale3d p;
            es = filer->readScale3d(&p);
            out.v[0] = p.sx;
            out.v[1] = p.sy;
            out.v[2] = p.sz;
            break;
        }
        case Kind::kHardOwnershipId: {
            AcDbHardOwnershipId id;
            es = filer->readHardOwnershipId(&id);
            out.bits = static_cast<Adesk::UInt64>(id.asOldId());
            break;
        }
        case Kind::kSoftOwnershipId: {
            AcDbSoftOwnershipId id;
            es = filer->readSoftOwnershipId(&id);
            out.bits = static_cast<Adesk::UInt64>(id.asOldId());
            break;
        }
        case Kind::kHardPointerId: {
            AcDbHardPointerId id;
            es = filer->readHardPointerId(&id);
            out.bits = static_cast<Adesk::UInt64>(id.asOldId());
            break;
        }
        case Kind::kSoftPointerId: {
            AcDbSoftPointerId id;
            es = filer->readSoftPointerId(&id);
            out.bits = static_cast<Adesk::UInt64>(id.asOldId());
            break;
        }
    }
    return es;
}

AcDbObjectId idOf(const Item& item) {
    return AcDbObjectId().setFromOldId(static_cast<Adesk::Int64>(item.bits));
}

void writeAs(AcDbDwgFiler* filer, const Item& item) {
    switch (item.kind) {
        case Kind::kBool:
            filer->writeBool(item.bits != 0);
            break;
        case Kind::kInt8:
            filer->writeInt8(static_cast<Adesk::Int8>(item.bits));
            break;
        case Kind::kUInt8:
            filer->writeUInt8(static_cast<Adesk::UInt8>(item.bits));
            break;
        case Kind::kInt16:
            filer->writeInt16(static_cast<Adesk::Int16>(item.bits));
            break;
        case Kind::kUInt16:
            filer->writeUInt16(static_cast<Adesk::UInt16>(item.bits));
            break;
        case Kind::kInt32:
            filer->writeInt32(static_cast<Adesk::Int32>(item.bits));
            break;
        case Kind::kUInt32:
            filer->writeUInt32(static_cast<Adesk::UInt32>(item.bits));
            break;
        case Kind::kInt64:
            filer->writeInt64(static_cast<Adesk::Int64>(item.bits));
            break;
        case Kind::kUInt64:
            filer->writeUInt64(item.bits);
            break;
        case Kind::kDouble:
            filer->writeDouble(item.v[0]);
            break;
        case Kind::kString:
            filer->writeString(item.text.c_str());
            break;
        case Kind::kBytes:
            filer->writeBytes(item.bytes.data(), item.bytes.size());
            break;
        case Kind::kBinaryChunk:
            filer->writeBinaryChunk(reinterpret_cast<const char*>(item.bytes.data()),
                                    item.bytes.size());
            break;
        case Kind::kHandle:
            filer->writeHandle(AcDbHandle(item.bits));
            break;
        case Kind::kPoint2d:
            filer->writePoint2d(AcGePoint2d(item.v[0], item.v[1]));
            break;
        case Kind::kPoint3d:
            filer->writePoint3d(AcGePoint3d(item.v[0], item.v[1], item.v[2]));
            break;
        case Kind::kVector2d:
            filer->writeVector2d(AcGeVector2d(item.v[0], item.v[1]));
            break;
        case Kind::kVector3d:
            filer->writeVector3d(AcGeVector3d(item.v[0], item.v[1], item.v[2]));
            break;
        case Kind::kScale3d:
            filer->writeScale3d(AcGeScale3d(item.v[0], item.v[1], item.v[2]));
            break;
        case Kind::kHardOwnershipId:
            filer->writeHardOwnershipId(idOf(item));
            break;
        case Kind::kSoftOwnershipId:
            filer->writeSoftOwnershipId(idOf(item));
            break;
        case Kind::kHardPointerId:
            filer->writeHardPointerId(idOf(item));
            break;
        case Kind::kSoftPointerId:
            filer->writeSoftPointerId(idOf(item));
            break;
    }
}

}  // namespace

AcDbProxyObject::AcDbProxyObject() = default;

AcDbProxyObject::~AcDbProxyObject() {
    acutRelRb(m_dxfItems);
}

resbuf* AcDbProxyObject::rawDxfItems() const {
    assertReadEnabled();
    return m_dxfItems != nullptr ? acutCopyRb(m_dxfItems) : nullptr;
}

Acad::ErrorStatus AcDbProxyObject::setRawDxfItems(const resbuf* items) {
    resbuf* copy = nullptr;
    if (items != nullptr && (copy = acutCopyRb(items)) == nullptr) {
        return Acad::eOutOfMemory;
    }
    acutRelRb(m_dxfItems);
    m_dxfItems = copy;
    return Acad::eOk;
}

Acad::ErrorStatus AcDbProxyObject::dwgOutFields(AcDbDwgFiler* filer) const {
    Acad::ErrorStatus es = AcDbObject::dwgOutFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    for (const Item& item : m_dwgItems) {
        writeAs(filer, item);
    }
    return filer->filerStatus();
}

Acad::ErrorStatus AcDbProxyObject::dwgInFields(AcDbDwgFiler* filer) {
    Acad::ErrorStatus es = AcDbObject::dwgInFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    auto* memory = dynamic_cast<kxhost::DwgMemoryFiler*>(filer);
    if (memory == nullptr) {
        return filer->filerStatus();
    }
    const std::vector<Item>& all = memory->items();
    std::vector<Item> kept;
    for (auto pos = static_cast<size_t>(memory->tell()); pos < all.size(); ++pos) {
        Item item;
        if ((es = readAs(filer, all[pos], item)) != Acad::eOk) {
            return es;
        }
        kept.push_back(std::move(item));
    }
    m_dwgItems = std::move(kept);
    return filer->filerStatus();
}

Acad::ErrorStatus AcDbProxyObject::dxfOutFields(AcDbDxfFiler* filer) const {
    Acad::ErrorStatus es = AcDbObject::dxfOutFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    for (const resbuf* rb = m_dxfItems; rb != nullptr; rb = rb->rbnext) {
        filer->writeItem(*rb);
    }
    return filer->filerStatus();
}

Acad::ErrorStatus AcDbProxyObject::dxfInFields(AcDbDxfFiler* filer) {
    Acad::ErrorStatus es = AcDbObject::dxfInFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    resbuf* head = nullptr;
    resbuf** tail = &head;
    for (;;) {
        resbuf* rb = acutNewRb(0);
        if (rb == nullptr) {
            acutRelRb(head);
            return Acad::eOutOfMemory;
        }
        es = filer->readItem(rb);
        if (es != Acad::eOk) {
            acutRelRb(rb);
            if (es == Acad::eEndOfFile) {
                break;
            }
            acutRelRb(head);
            return es;
        }
        rb->rbnext = nullptr;
        *tail = rb;
        tail = &rb->rbnext;
    }
    acutRelRb(m_dxfItems);
    m_dxfItems = head;
    return filer->filerStatus();
}
