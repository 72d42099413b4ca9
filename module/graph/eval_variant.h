// The typed value of the evaluation graph: a result buffer whose type field holds a group code,
// -9999 meaning null. A value may carry a chain of further values, each owned by its
// predecessor.
//
// Ownership: every text-kind code (the group codes classified as text) owns a heap copy of its
// string; a null string pointer reads as "". Kinds whose union holds a pointer the variant
// cannot own safely (binary chunks, handles, result-type strings) are refused wherever a value
// enters a variant (copies, result buffers, files) with eInvalidResBuf, leaving a null variant.
// Every other code keeps its type and the whole value union. Chains are released node by node
// with delete, never with acutRelRb: the nodes are run-time objects, not plain result buffers.
#pragma once

#include "host/core/resbuf.h"
#include "host/ge/point3d.h"
#include "host/rx/rxobject.h"
#include "module/frame/export.h"

class AcDbDwgFiler;
class AcDbDxfFiler;

class KXDB_EXPORT KxDbTagEvalVariant : public AcRxObject, public resbuf {
  public:
    ACRX_DECLARE_MEMBERS(KxDbTagEvalVariant);
    static constexpr short kNullType = -9999;

    KxDbTagEvalVariant();
    explicit KxDbTagEvalVariant(double value);        // type 40
    explicit KxDbTagEvalVariant(Adesk::Int32 value);  // type 90
    explicit KxDbTagEvalVariant(Adesk::Int16 value);  // type 70
    // Type 1 with a copy of the text; a null variant when the copy cannot be allocated.
    explicit KxDbTagEvalVariant(const ACHAR* value);
    explicit KxDbTagEvalVariant(const AcGePoint3d& value);  // type 11
    // A copy of the other value and its chain; a null variant when the copy fails.
    KxDbTagEvalVariant(const KxDbTagEvalVariant& other);
    // Takes over the other's value and chain; the other is left null.
    KxDbTagEvalVariant(KxDbTagEvalVariant&& other) noexcept;
    // Assigning a variant to itself, or to a value of its own chain, changes nothing.
    KxDbTagEvalVariant& operator=(KxDbTagEvalVariant&& other) noexcept;
    // Clears this value, then copies the other (chain included); a failed copy leaves null.
    KxDbTagEvalVariant& operator=(const KxDbTagEvalVariant& other);
    ~KxDbTagEvalVariant() override;

    // Copies another variant and its chain. eWrongObjectType for a null object or another class,
    // eInvalidResBuf (nothing changed) when this value already carries a chain, eOk for a copy
    // of itself. A failed copy (eOutOfMemory, or eInvalidResBuf for a refused kind) leaves this
    // variant null.
    Acad::ErrorStatus copyFrom(const AcRxObject* other) override;
    // Releases the chain and what the value owns; leaves a null value.
    void clear();
    void setPoint(const AcGePoint3d& point);

    // Setters: each clears the value (chain included) first.
    void setReal(double value);         // type 40
    void setInt32(Adesk::Int32 value);  // type 90
    void setInt16(Adesk::Int16 value);  // type 70
    // Type 1 with a copy of the text; eOutOfMemory leaves a null variant.
    Acad::ErrorStatus setText(const ACHAR* value);
    // Makes this a single value copied from one result buffer (its successors are ignored):
    // text duplicated, a type 10 point with z 0, eInvalidResBuf for a refused kind, eOutOfMemory
    // on allocation failure, eInvalidInput for a null item. Failures leave a null variant.
    Acad::ErrorStatus setFromResbuf(const resbuf* item);
    // A plain host result buffer (acutNewRb) holding a copy of this value only, text duplicated
    // (a null text becomes ""); the caller releases it with acutRelRb. Null on allocation
    // failure.
    resbuf* toResbuf() const;

    short type() const { return restype; }
    bool isNull() const { return restype == kNullType; }
    KxDbTagEvalVariant* next() const { return static_cast<KxDbTagEvalVariant*>(rbnext); }
    // Text of a text-kind value; "" for a null string pointer or another kind.
    const ACHAR* text() const;
    // The three coordinates of the value union, whatever the type.
    AcGePoint3d point() const {
        return AcGePoint3d(resval.rpoint[0], resval.rpoint[1], resval.rpoint[2]);
    }

    // True for codes whose value is an owned string.
    static bool ownsText(int type);
    // True for codes whose value union holds a pointer a variant does not carry.
    static bool isRefusedType(int type);

    // Filing of one value (the node filing embeds it). Object ids and 64-bit integers file their
    // type code only: they read back with a zero value.
    Acad::ErrorStatus dwgOutFields(AcDbDwgFiler* filer) const;
    Acad::ErrorStatus dwgInFields(AcDbDwgFiler* filer);
    Acad::ErrorStatus dxfOutFields(AcDbDxfFiler* filer) const;
    // Reads a value whose announcing group 1 has already been read: group 70 must follow
    // (else eBadDxfSequence), then the value group whose kind matches the type's (else
    // eInvalidResBuf, the offending group pushed back). Any failure leaves a null variant.
    Acad::ErrorStatus dxfInFields(AcDbDxfFiler* filer);

  private:
    // Null value, no chain, without releasing anything.
    void resetRaw();
    // Moves the other's value and chain into this null, chainless variant; the other is reset.
    void takeOver(KxDbTagEvalVariant& other);
    // Copies one value into this null, chainless variant.
    Acad::ErrorStatus assignValue(const resbuf& source);
    // Copies the source and its chain into the null, chainless target; a failure leaves it null.
    static Acad::ErrorStatus copyChain(const KxDbTagEvalVariant& source,
                                       KxDbTagEvalVariant& target);
    // True when `node` is one of the values chained after this one.
    bool chainHolds(const KxDbTagEvalVariant* node) const;
};
