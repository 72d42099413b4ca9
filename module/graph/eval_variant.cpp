#include "module/graph/eval_variant.h"

#include <cstring>

#include "host/core/heap.h"
#include "host/db/dwgfiler.h"
#include "host/db/dxffiler.h"

namespace {

// Group codes of the DXF form of a variant.
constexpr int kDxfTypeCode = 70;
constexpr int kDxfRealCode = 140;
constexpr int kDxfInt32Code = 90;
constexpr int kDxfInt16Code = 70;
constexpr int kDxfTextCode = 300;
constexpr int kDxfPointCode = 1010;

// The family a group code files its value as: values of the 8-bit kind travel as 16-bit
// integers, and every kind not listed files nothing beyond its type code.
enum class Filed { kNothing, kReal, kInt32, kInt16, kText, kPoint };

Filed filedKind(int code) {
    switch (acdbGroupCodeToType(code)) {
        case AcDb::kDwgReal:
            return Filed::kReal;
        case AcDb::kDwgInt32:
            return Filed::kInt32;
        case AcDb::kDwgInt16:
        case AcDb::kDwgInt8:
            return Filed::kInt16;
        case AcDb::kDwgText:
            return Filed::kText;
        case AcDb::kDwg3Real:
            return Filed::kPoint;
        default:
            return Filed::kNothing;
    }
}

// Frees what the filer handed out in a group item. Items of codes the host does not classify
// cannot be told apart by their resbuf; the reader only meets those in damaged data.
void releaseItem(resbuf& item) {
    if (acutRbOwnsString(item.restype)) {
        acutDelBuffer(item.resval.rstring);
    } else if (acutRbOwnsBinary(item.restype)) {
        acHeapFree(item.resval.rbinary.buf);
        item.resval.rbinary.buf = nullptr;
    }
}

resbuf emptyItem() {
    resbuf item;
    std::memset(&item, 0, sizeof(item));
    return item;
}

}  // namespace

KxDbTagEvalVariant::KxDbTagEvalVariant() : AcRxObject(), resbuf() {
    resetRaw();
}

KxDbTagEvalVariant::KxDbTagEvalVariant(double value) : KxDbTagEvalVariant() {
    setReal(value);
}

KxDbTagEvalVariant::KxDbTagEvalVariant(Adesk::Int32 value) : KxDbTagEvalVariant() {
    setInt32(value);
}

KxDbTagEvalVariant::KxDbTagEvalVariant(Adesk::Int16 value) : KxDbTagEvalVariant() {
    setInt16(value);
}

KxDbTagEvalVariant::KxDbTagEvalVariant(const ACHAR* value) : KxDbTagEvalVariant() {
    setText(value);
}

KxDbTagEvalVariant::KxDbTagEvalVariant(const AcGePoint3d& value) : KxDbTagEvalVariant() {
    setPoint(value);
}

KxDbTagEvalVariant::KxDbTagEvalVariant(const KxDbTagEvalVariant& other) : KxDbTagEvalVariant() {
    copyChain(other, *this);
}

KxDbTagEvalVariant::KxDbTagEvalVariant(KxDbTagEvalVariant&& other) noexcept : KxDbTagEvalVariant() {
    takeOver(other);
}

KxDbTagEvalVariant& KxDbTagEvalVariant::operator=(KxDbTagEvalVariant&& other) noexcept {
    // A value cannot take over a chain it is part of: it would end up owning itself.
    if (&other == this || other.chainHolds(this)) {
        return *this;
    }
    // Detach the other's content before clearing: the other may be one of our own chained
    // values, which the clear releases.
    KxDbTagEvalVariant taken;
    taken.takeOver(other);
    clear();
    takeOver(taken);
    return *this;
}

KxDbTagEvalVariant& KxDbTagEvalVariant::operator=(const KxDbTagEvalVariant& other) {
    if (&other == this) {
        return *this;
    }
    // Copy first: the other may live in our chain, which the clear releases.
    KxDbTagEvalVariant copy;
    const Acad::ErrorStatus es = copyChain(other, copy);
    clear();
    if (es == Acad::eOk) {
        takeOver(copy);
    }
    return *this;
}

KxDbTagEvalVariant::~KxDbTagEvalVariant() {
    clear();
}

Acad::ErrorStatus KxDbTagEvalVariant::copyFrom(const AcRxObject* other) {
    const auto* source = dynamic_cast<const KxDbTagEvalVariant*>(other);
    if (source == nullptr) {
        return Acad::eWrongObjectType;
    }
    if (source == this) {
        return Acad::eOk;
    }
    if (rbnext != nullptr) {
        return Acad::eInvalidResBuf;
    }
    // Built aside so that a source whose chain runs through this value is read before this
    // value changes.
    KxDbTagEvalVariant copy;
    const Acad::ErrorStatus es = copyChain(*source, copy);
    clear();
    if (es == Acad::eOk) {
        takeOver(copy);
    }
    return es;
}

void KxDbTagEvalVariant::clear() {
    // Released iteratively: a node deleted with a null next releases nothing further, so long
    // chains do not recurse.
    KxDbTagEvalVariant* node = next();
    rbnext = nullptr;
    while (node != nullptr) {
        KxDbTagEvalVariant* after = node->next();
        node->rbnext = nullptr;
        delete node;
        node = after;
    }
    if (ownsText(restype) && resval.rstring != nullptr) {
        acutDelBuffer(resval.rstring);
    }
    resetRaw();
}

void KxDbTagEvalVariant::setPoint(const AcGePoint3d& point) {
    clear();
    restype = 11;
    resval.rpoint[0] = point.x;
    resval.rpoint[1] = point.y;
    resval.rpoint[2] = point.z;
}

void KxDbTagEvalVariant::setReal(double value) {
    clear();
    restype = 40;
    resval.rreal = value;
}

void KxDbTagEvalVariant::setInt32(Adesk::Int32 value) {
    clear();
    restype = 90;
    resval.rlong = value;
}

void KxDbTagEvalVariant::setInt16(Adesk::Int16 value) {
    clear();
    restype = 70;
    resval.rint = value;
}

Acad::ErrorStatus KxDbTagEvalVariant::setText(const ACHAR* value) {
    ACHAR* copy = nullptr;
    if (value != nullptr) {
        copy = acutNewString(value);
        if (copy == nullptr) {
            clear();
            return Acad::eOutOfMemory;
        }
    }
    // The copy is made before the clear, so the value may be this variant's own text.
    clear();
    restype = 1;
    resval.rstring = copy;
    return Acad::eOk;
}

Acad::ErrorStatus KxDbTagEvalVariant::setFromResbuf(const resbuf* item) {
    if (item == nullptr) {
        clear();
        return Acad::eInvalidInput;
    }
    KxDbTagEvalVariant copy;
    const Acad::ErrorStatus es = copy.assignValue(*item);
    // The item may be this variant or one of its chained values: it is read before the clear.
    clear();
    if (es == Acad::eOk) {
        takeOver(copy);
    }
    return es;
}

resbuf* KxDbTagEvalVariant::toResbuf() const {
    resbuf* rb = acutNewRb(restype);
    if (rb == nullptr) {
        return nullptr;
    }
    if (ownsText(restype)) {
        rb->resval.rstring = acutNewString(text());
        if (rb->resval.rstring == nullptr) {
            acutRelRb(rb);
            return nullptr;
        }
    } else if (!isRefusedType(restype)) {
        rb->resval = resval;
    }
    return rb;
}

const ACHAR* KxDbTagEvalVariant::text() const {
    if (ownsText(restype) && resval.rstring != nullptr) {
        return resval.rstring;
    }
    return L"";
}

bool KxDbTagEvalVariant::ownsText(int type) {
    return type != kNullType && acdbGroupCodeToType(type) == AcDb::kDwgText;
}

bool KxDbTagEvalVariant::isRefusedType(int type) {
    return !ownsText(type) && (acutRbOwnsString(type) || acutRbOwnsBinary(type));
}

void KxDbTagEvalVariant::resetRaw() {
    rbnext = nullptr;
    restype = kNullType;
    std::memset(&resval, 0, sizeof(resval));
}

void KxDbTagEvalVariant::takeOver(KxDbTagEvalVariant& other) {
    rbnext = other.rbnext;
    restype = other.restype;
    resval = other.resval;
    other.resetRaw();
}

Acad::ErrorStatus KxDbTagEvalVariant::assignValue(const resbuf& source) {
    const short type = source.restype;
    if (type == kNullType) {
        return Acad::eOk;
    }
    if (isRefusedType(type)) {
        return Acad::eInvalidResBuf;
    }
    if (ownsText(type)) {
        ACHAR* copy = nullptr;
        if (source.resval.rstring != nullptr) {
            copy = acutNewString(source.resval.rstring);
            if (copy == nullptr) {
                return Acad::eOutOfMemory;
            }
        }
        restype = type;
        resval.rstring = copy;
        return Acad::eOk;
    }
    restype = type;
    if (type == 10) {
        // A two-dimensional point: whatever the source's third slot holds is not a coordinate.
        resval.rpoint[0] = source.resval.rpoint[0];
        resval.rpoint[1] = source.resval.rpoint[1];
        resval.rpoint[2] = 0.0;
    } else {
        resval = source.resval;
    }
    return Acad::eOk;
}

Acad::ErrorStatus KxDbTagEvalVariant::copyChain(const KxDbTagEvalVariant& source,
                                                KxDbTagEvalVariant& target) {
    KxDbTagEvalVariant* to = &target;
    for (const KxDbTagEvalVariant* from = &source;;) {
        Acad::ErrorStatus es = to->assignValue(*from);
        if (es != Acad::eOk) {
            target.clear();
            return es;
        }
        from = from->next();
        if (from == nullptr) {
            return Acad::eOk;
        }
        // The class's heap operator yields null when the host heap refuses.
        auto* node = new KxDbTagEvalVariant();
        if (node == nullptr) {
            target.clear();
            return Acad::eOutOfMemory;
        }
        to->rbnext = node;
        to = node;
    }
}

bool KxDbTagEvalVariant::chainHolds(const KxDbTagEvalVariant* node) const {
    for (const KxDbTagEvalVariant* v = next(); v != nullptr; v = v->next()) {
        if (v == node) {
            return true;
        }
    }
    return false;
}

Acad::ErrorStatus KxDbTagEvalVariant::dwgOutFields(AcDbDwgFiler* filer) const {
    if (filer == nullptr) {
        return Acad::eNullObjectPointer;
    }
    filer->writeInt16(restype);
    switch (filedKind(restype)) {
        case Filed::kReal:
            filer->writeDouble(resval.rreal);
            break;
        case Filed::kInt32:
            filer->writeInt32(resval.rlong);
            break;
        case Filed::kInt16:
            filer->writeInt16(resval.rint);
            break;
        case Filed::kText:
            filer->writeString(text());
            break;
        case Filed::kPoint:
            filer->writePoint3d(point());
            break;
        case Filed::kNothing:
            break;
    }
    return filer->filerStatus();
}

Acad::ErrorStatus KxDbTagEvalVariant::dwgInFields(AcDbDwgFiler* filer) {
    clear();
    if (filer == nullptr) {
        return Acad::eNullObjectPointer;
    }
    Adesk::Int16 type = 0;
    Acad::ErrorStatus es = filer->readInt16(&type);
    if (es != Acad::eOk) {
        return es;
    }
    // Nothing follows the code of a refused kind, so refusing it leaves the stream in step.
    if (isRefusedType(type)) {
        return Acad::eInvalidResBuf;
    }
    switch (filedKind(type)) {
        case Filed::kReal: {
            double value = 0.0;
            es = filer->readDouble(&value);
            if (es == Acad::eOk) {
                resval.rreal = value;
            }
            break;
        }
        case Filed::kInt32: {
            Adesk::Int32 value = 0;
            es = filer->readInt32(&value);
            if (es == Acad::eOk) {
                resval.rlong = value;
            }
            break;
        }
        case Filed::kInt16: {
            Adesk::Int16 value = 0;
            es = filer->readInt16(&value);
            if (es == Acad::eOk) {
                resval.rint = value;
            }
            break;
        }
        case Filed::kText: {
            ACHAR* value = nullptr;
            es = filer->readString(&value);
            if (es == Acad::eOk) {
                // The filer's string is ours to keep.
                resval.rstring = value;
            }
            break;
        }
        case Filed::kPoint: {
            AcGePoint3d value;
            es = filer->readPoint3d(&value);
            if (es == Acad::eOk) {
                resval.rpoint[0] = value.x;
                resval.rpoint[1] = value.y;
                resval.rpoint[2] = value.z;
            }
            break;
        }
        case Filed::kNothing:
            break;
    }
    if (es == Acad::eOk) {
        restype = type;
    }
    return es;
}

Acad::ErrorStatus KxDbTagEvalVariant::dxfOutFields(AcDbDxfFiler* filer) const {
    if (filer == nullptr) {
        return Acad::eNullObjectPointer;
    }
    filer->writeString(1, L"");
    filer->writeInt16(kDxfTypeCode, restype);
    switch (filedKind(restype)) {
        case Filed::kReal:
            filer->writeDouble(kDxfRealCode, resval.rreal);
            break;
        case Filed::kInt32:
            filer->writeInt32(kDxfInt32Code, resval.rlong);
            break;
        case Filed::kInt16:
            filer->writeInt16(kDxfInt16Code, resval.rint);
            break;
        case Filed::kText:
            filer->writeString(kDxfTextCode, text());
            break;
        case Filed::kPoint:
            filer->writePoint3d(kDxfPointCode, point());
            break;
        case Filed::kNothing:
            break;
    }
    return filer->filerStatus();
}

Acad::ErrorStatus KxDbTagEvalVariant::dxfInFields(AcDbDxfFiler* filer) {
    clear();
    if (filer == nullptr) {
        return Acad::eNullObjectPointer;
    }
    resbuf item = emptyItem();
    Acad::ErrorStatus es = filer->readItem(&item);
    if (es == Acad::eEndOfFile) {
        return Acad::eBadDxfSequence;
    }
    if (es != Acad::eOk) {
        return es;
    }
    if (item.restype != kDxfTypeCode) {
        releaseItem(item);
        filer->pushBackItem();
        return Acad::eBadDxfSequence;
    }
    const short type = item.resval.rint;
    if (isRefusedType(type)) {
        return Acad::eInvalidResBuf;
    }
    const Filed kind = filedKind(type);
    if (kind == Filed::kNothing) {
        restype = type;
        return Acad::eOk;
    }

    resbuf value = emptyItem();
    es = filer->readItem(&value);
    if (es == Acad::eEndOfFile) {
        return Acad::eInvalidResBuf;
    }
    if (es != Acad::eOk) {
        return es;
    }
    // The value group must be of the family the type announces: its union field is only
    // meaningful then (a real read as a string pointer would be followed).
    if (filedKind(value.restype) != kind) {
        releaseItem(value);
        filer->pushBackItem();
        return Acad::eInvalidResBuf;
    }
    switch (kind) {
        case Filed::kReal:
            resval.rreal = value.resval.rreal;
            break;
        case Filed::kInt32:
            resval.rlong = value.resval.rlong;
            break;
        case Filed::kInt16:
            resval.rint = value.resval.rint;
            break;
        case Filed::kText:
            if (value.resval.rstring != nullptr) {
                resval.rstring = acutNewString(value.resval.rstring);
                if (resval.rstring == nullptr) {
                    releaseItem(value);
                    return Acad::eOutOfMemory;
                }
            }
            break;
        case Filed::kPoint:
            resval.rpoint[0] = value.resval.rpoint[0];
            resval.rpoint[1] = value.resval.rpoint[1];
            resval.rpoint[2] = value.resval.rpoint[2];
            break;
        case Filed::kNothing:
            break;
    }
    releaseItem(value);
    restype = type;
    return Acad::eOk;
}
