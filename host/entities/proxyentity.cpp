#include "host/entities/proxyentity.h"

#include "host/entities/entity_filing.h"

ACRX_HOST_DXF_CLASS(AcDbProxyEntity, AcDbEntity, "ACAD_PROXY_ENTITY");

using namespace kxhost::detail;

AcDbProxyEntity::AcDbProxyEntity() = default;
AcDbProxyEntity::~AcDbProxyEntity() {
    acutRelRb(m_dxfItems);
}

resbuf* AcDbProxyEntity::rawDxfItems() const {
    assertReadEnabled();
    return m_dxfItems != nullptr ? acutCopyRb(m_dxfItems) : nullptr;
}

Acad::ErrorStatus AcDbProxyEntity::setRawDxfItems(const resbuf* items) {
    resbuf* copy = nullptr;
    if (items != nullptr && (copy = acutCopyRb(items)) == nullptr) {
        return Acad::eOutOfMemory;
    }
    assertWriteEnabled();
    acutRelRb(m_dxfItems);
    m_dxfItems = copy;
    return Acad::eOk;
}

const ACHAR* AcDbProxyEntity::originalClassName() const {
    assertReadEnabled();
    return m_className.kwszPtr();
}
Acad::ErrorStatus AcDbProxyEntity::setOriginalClassName(const ACHAR* name) {
    return setField(m_className, AcString(name));
}
const ACHAR* AcDbProxyEntity::originalDxfName() const {
    assertReadEnabled();
    return m_dxfName.kwszPtr();
}
Acad::ErrorStatus AcDbProxyEntity::setOriginalDxfName(const ACHAR* name) {
    return setField(m_dxfName, AcString(name));
}

Acad::ErrorStatus AcDbProxyEntity::transformBy(const AcGeMatrix3d& xform) {
    // The data that would have to move belongs to a class that is not here.
    return isWriteEnabled() ? Acad::eNotApplicable : Acad::eNotOpenForWrite;
}

namespace {

// How a kept text item travels in binary filing: text and binary data as such, ids by their kind
// (so a cloning filer translates them), any other value as the bits of its union.
enum class RawKind { kText, kBinary, kSoftPointer, kHardPointer, kSoftOwner, kHardOwner, kBits };

RawKind rawKindOf(int code) {
    switch (acdbGroupCodeToType(code)) {
        case AcDb::kDwgText:
        case AcDb::kDwgHandle:
            return RawKind::kText;
        case AcDb::kDwgBChunk:
            return RawKind::kBinary;
        case AcDb::kDwgSoftPointerId:
            return RawKind::kSoftPointer;
        case AcDb::kDwgHardPointerId:
            return RawKind::kHardPointer;
        case AcDb::kDwgSoftOwnershipId:
            return RawKind::kSoftOwner;
        case AcDb::kDwgHardOwnershipId:
            return RawKind::kHardOwner;
        default:
            return RawKind::kBits;
    }
}

void writeRawItem(AcDbDwgFiler* filer, const resbuf& rb) {
    filer->writeInt16(rb.restype);
    AcDbObjectId id;
    id.setFromOldId(rb.resval.rlname[0]);
    switch (rawKindOf(rb.restype)) {
        case RawKind::kText:
            filer->writeString(rb.resval.rstring != nullptr ? rb.resval.rstring : L"");
            break;
        case RawKind::kBinary:
            filer->writeBinaryChunk(rb.resval.rbinary);
            break;
        case RawKind::kSoftPointer:
            filer->writeSoftPointerId(id);
            break;
        case RawKind::kHardPointer:
            filer->writeHardPointerId(id);
            break;
        case RawKind::kSoftOwner:
            filer->writeSoftOwnershipId(id);
            break;
        case RawKind::kHardOwner:
            filer->writeHardOwnershipId(id);
            break;
        case RawKind::kBits:
            filer->writeBytes(&rb.resval, sizeof(rb.resval));
            break;
    }
}

Acad::ErrorStatus readRawItem(AcDbDwgFiler* filer, resbuf*& out) {
    out = nullptr;
    Adesk::Int16 code = 0;
    Acad::ErrorStatus es = filer->readInt16(&code);
    if (es != Acad::eOk) {
        return es;
    }
    resbuf* rb = acutNewRb(code);
    if (rb == nullptr) {
        return Acad::eOutOfMemory;
    }
    AcDbSoftPointerId softPointer;
    AcDbHardPointerId hardPointer;
    AcDbSoftOwnershipId softOwner;
    AcDbHardOwnershipId hardOwner;
    AcDbObjectId id;
    switch (rawKindOf(code)) {
        case RawKind::kText:
            es = filer->readString(&rb->resval.rstring);
            break;
        case RawKind::kBinary:
            es = filer->readBinaryChunk(&rb->resval.rbinary);
            break;
        case RawKind::kSoftPointer:
            es = filer->readSoftPointerId(&softPointer);
            id = softPointer;
            break;
        case RawKind::kHardPointer:
            es = filer->readHardPointerId(&hardPointer);
            id = hardPointer;
            break;
        case RawKind::kSoftOwner:
            es = filer->readSoftOwnershipId(&softOwner);
            id = softOwner;
            break;
        case RawKind::kHardOwner:
            es = filer->readHardOwnershipId(&hardOwner);
            id = hardOwner;
            break;
        case RawKind::kBits:
            es = filer->readBytes(&rb->resval, sizeof(rb->resval));
            break;
    }
    if (rawKindOf(code) >= RawKind::kSoftPointer && rawKindOf(code) <= RawKind::kHardOwner) {
        rb->resval.rlname[0] = id.asOldId();
        rb->resval.rlname[1] = 0;
    }
    if (es != Acad::eOk) {
        acutRelRb(rb);
        return es;
    }
    out = rb;
    return Acad::eOk;
}

}  // namespace

Acad::ErrorStatus AcDbProxyEntity::dwgOutFields(AcDbDwgFiler* filer) const {
    Acad::ErrorStatus es = AcDbEntity::dwgOutFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    filer->writeString(m_className);
    filer->writeString(m_dxfName);
    Adesk::Int32 count = 0;
    for (const resbuf* rb = m_dxfItems; rb != nullptr; rb = rb->rbnext) {
        ++count;
    }
    filer->writeInt32(count);
    for (const resbuf* rb = m_dxfItems; rb != nullptr; rb = rb->rbnext) {
        writeRawItem(filer, *rb);
    }
    return filer->filerStatus();
}

Acad::ErrorStatus AcDbProxyEntity::dwgInFields(AcDbDwgFiler* filer) {
    Acad::ErrorStatus es = AcDbEntity::dwgInFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    AcString className;
    AcString dxfName;
    Adesk::Int32 count = 0;
    if ((es = filer->readString(className)) != Acad::eOk ||
        (es = filer->readString(dxfName)) != Acad::eOk ||
        (es = kxhost::detail::readCount(filer, count)) != Acad::eOk) {
        return es;
    }
    resbuf* head = nullptr;
    resbuf** tail = &head;
    for (Adesk::Int32 i = 0; i < count; ++i) {
        resbuf* rb = nullptr;
        if ((es = readRawItem(filer, rb)) != Acad::eOk) {
            acutRelRb(head);
            return es;
        }
        *tail = rb;
        tail = &rb->rbnext;
    }
    m_className = className;
    m_dxfName = dxfName;
    acutRelRb(m_dxfItems);
    m_dxfItems = head;
    return filer->filerStatus();
}

Acad::ErrorStatus AcDbProxyEntity::dxfOutFields(AcDbDxfFiler* filer) const {
    Acad::ErrorStatus es = AcDbEntity::dxfOutFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    if (m_dxfItems != nullptr) {
        for (const resbuf* rb = m_dxfItems; rb != nullptr; rb = rb->rbnext) {
            filer->writeItem(*rb);
        }
        return filer->filerStatus();
    }
    filer->writeString(100, L"AcDbProxyEntity");
    filer->writeString(1, m_className);
    filer->writeString(2, m_dxfName);
    return filer->filerStatus();
}

Acad::ErrorStatus AcDbProxyEntity::keepRawItems(AcDbDxfFiler* filer) {
    resbuf* head = nullptr;
    resbuf** tail = &head;
    for (;;) {
        resbuf* rb = acutNewRb(0);
        if (rb == nullptr) {
            acutRelRb(head);
            return Acad::eOutOfMemory;
        }
        const Acad::ErrorStatus es = filer->readItem(rb);
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
    assertWriteEnabled();
    acutRelRb(m_dxfItems);
    m_dxfItems = head;
    return filer->filerStatus();
}

Acad::ErrorStatus AcDbProxyEntity::dxfInFields(AcDbDxfFiler* filer) {
    Acad::ErrorStatus es = AcDbEntity::dxfInFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    if (!filer->atSubclassData(L"AcDbProxyEntity")) {
        if (filer->filerStatus() != Acad::eOk) {
            return filer->filerStatus();
        }
        return keepRawItems(filer);
    }
    AcString className = m_className;
    AcString dxfName = m_dxfName;
    es = dxfReadGroups(filer, [&](const resbuf& rb) {
        if (rb.restype == 1) {
            className = AcString(rb.resval.rstring);
            return true;
        }
        if (rb.restype == 2) {
            dxfName = AcString(rb.resval.rstring);
            return true;
        }
        return false;
    });
    if (es != Acad::eOk) {
        return es;
    }
    m_className = className;
    m_dxfName = dxfName;
    return filer->filerStatus();
}
