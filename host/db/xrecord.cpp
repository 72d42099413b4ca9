#include "host/db/xrecord.h"

#include "host/db/dwgfiler.h"
#include "host/db/dxffiler.h"
#include "host/db/objectstate.h"

ACRX_HOST_DXF_CLASS(AcDbXrecord, AcDbObject, "XRECORD");

namespace {

// Codes an xrecord may hold: any the host classifies except the object's own handle groups.
bool acceptsCode(int code) {
    const AcDb::DwgDataType kind = acdbGroupCodeToType(code);
    return kind != AcDb::kDwgNotRecognized && kind != AcDb::kDwgNull && code != 5 && code != 105;
}

bool validMergeStyle(int style) {
    return style >= AcDb::kDrcNotApplicable && style <= AcDb::kDrcUnmangleName;
}

}  // namespace

AcDbXrecord::AcDbXrecord() = default;

AcDbXrecord::~AcDbXrecord() {
    acutRelRb(m_items);
}

Acad::ErrorStatus AcDbXrecord::rbChain(resbuf** ppRb, AcDbDatabase* auxDb) const {
    assertReadEnabled();
    if (ppRb == nullptr) {
        return Acad::eNullObjectPointer;
    }
    *ppRb = nullptr;
    if (m_items == nullptr) {
        return Acad::eOk;
    }
    *ppRb = acutCopyRb(m_items);
    return *ppRb != nullptr ? Acad::eOk : Acad::eOutOfMemory;
}

Acad::ErrorStatus AcDbXrecord::setFromRbChain(const resbuf& rb, AcDbDatabase* auxDb) {
    if (!isWriteEnabled()) {
        return Acad::eNotOpenForWrite;
    }
    for (const resbuf* p = &rb; p != nullptr; p = p->rbnext) {
        if (!acceptsCode(p->restype)) {
            return Acad::eInvalidResBuf;
        }
    }
    resbuf* copy = acutCopyRb(&rb);
    if (copy == nullptr) {
        return Acad::eOutOfMemory;
    }
    acutRelRb(m_items);
    m_items = copy;
    assertWriteEnabled(false, true);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbXrecord::clear() {
    if (!isWriteEnabled()) {
        return Acad::eNotOpenForWrite;
    }
    acutRelRb(m_items);
    m_items = nullptr;
    assertWriteEnabled(false, true);
    return Acad::eOk;
}

int AcDbXrecord::numItems() const {
    assertReadEnabled();
    int n = 0;
    for (const resbuf* p = m_items; p != nullptr; p = p->rbnext) {
        ++n;
    }
    return n;
}

void AcDbXrecord::setMergeStyle(AcDb::DuplicateRecordCloning style) {
    assertWriteEnabled();
    if (isWriteEnabled() && validMergeStyle(style)) {
        m_mergeStyle = style;
    }
}

// --- Filing -------------------------------------------------------------------------------------

Acad::ErrorStatus AcDbXrecord::dwgOutFields(AcDbDwgFiler* filer) const {
    Acad::ErrorStatus es = AcDbObject::dwgOutFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    filer->writeInt16(static_cast<Adesk::Int16>(m_mergeStyle));
    Adesk::Int32 count = 0;
    for (const resbuf* p = m_items; p != nullptr; p = p->rbnext) {
        ++count;
    }
    filer->writeInt32(count);
    for (const resbuf* p = m_items; p != nullptr; p = p->rbnext) {
        kxhost::detail::writeRbItem(filer, *p);
    }
    return filer->filerStatus();
}

Acad::ErrorStatus AcDbXrecord::dwgInFields(AcDbDwgFiler* filer) {
    Acad::ErrorStatus es = AcDbObject::dwgInFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    Adesk::Int16 style = 0;
    Adesk::Int32 count = 0;
    if ((es = filer->readInt16(&style)) != Acad::eOk) {
        return es;
    }
    if (!validMergeStyle(style)) {
        filer->setFilerStatus(Acad::eFilerError);
        return Acad::eFilerError;
    }
    if ((es = kxhost::detail::readCount(filer, count)) != Acad::eOk) {
        return es;
    }
    resbuf* head = nullptr;
    resbuf** tail = &head;
    for (Adesk::Int32 i = 0; i < count; ++i) {
        resbuf* rb = nullptr;
        if ((es = kxhost::detail::readRbItem(filer, rb, &acceptsCode)) != Acad::eOk) {
            acutRelRb(head);
            return es;
        }
        *tail = rb;
        tail = &rb->rbnext;
    }
    acutRelRb(m_items);
    m_items = head;
    m_mergeStyle = static_cast<AcDb::DuplicateRecordCloning>(style);
    return filer->filerStatus();
}

Acad::ErrorStatus AcDbXrecord::dxfOutFields(AcDbDxfFiler* filer) const {
    Acad::ErrorStatus es = AcDbObject::dxfOutFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    filer->writeString(100, L"AcDbXrecord");
    filer->writeInt8(280, static_cast<Adesk::Int8>(m_mergeStyle));
    for (const resbuf* p = m_items; p != nullptr; p = p->rbnext) {
        filer->writeItem(*p);
    }
    return filer->filerStatus();
}

Acad::ErrorStatus AcDbXrecord::dxfInFields(AcDbDxfFiler* filer) {
    Acad::ErrorStatus es = AcDbObject::dxfInFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    if (!filer->atSubclassData(L"AcDbXrecord")) {
        return filer->filerStatus() != Acad::eOk ? filer->filerStatus() : Acad::eBadDxfSequence;
    }
    // The first 280 after the marker is the merge style; any later one is data.
    AcDb::DuplicateRecordCloning style = AcDb::kDrcIgnore;
    resbuf first{};
    es = filer->readItem(&first);
    if (es == Acad::eOk) {
        if (first.restype == 280 && validMergeStyle(first.resval.rint)) {
            style = static_cast<AcDb::DuplicateRecordCloning>(first.resval.rint);
        } else {
            kxhost::detail::releaseItemValue(first);
            filer->pushBackItem();
        }
    } else if (es != Acad::eEndOfFile) {
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
        if (es == Acad::eEndOfFile) {
            acutRelRb(rb);
            break;
        }
        if (es != Acad::eOk) {
            acutRelRb(rb);
            acutRelRb(head);
            return es;
        }
        rb->rbnext = nullptr;
        if (!acceptsCode(rb->restype)) {
            acutRelRb(rb);
            acutRelRb(head);
            return Acad::eInvalidDxfCode;
        }
        *tail = rb;
        tail = &rb->rbnext;
    }
    acutRelRb(m_items);
    m_items = head;
    m_mergeStyle = style;
    return filer->filerStatus();
}
