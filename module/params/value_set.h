// The values a distance or an angle of a parameter may take: any value of 0 or more (the
// default), a range with an optional increment grid, or a list. The owning parameter passes its
// definition value as the reference: the reference is always allowed and anchors the grid.
// Parameters hold value sets by value and file them inside their own records.
#pragma once

#include "host/core/acstring.h"
#include "host/core/array.h"
#include "host/core/types.h"
#include "host/rx/rxobject.h"
#include "module/frame/export.h"

class AcDbDwgFiler;
class AcDbDxfFiler;
class KxDbImpBlockTagValueSet;

class KXDB_EXPORT KxDbBlockTagValueSet : public AcRxObject {
  public:
    KxDbBlockTagValueSet();
    KxDbBlockTagValueSet(const KxDbBlockTagValueSet& other);
    KxDbBlockTagValueSet& operator=(const KxDbBlockTagValueSet& other);
    ~KxDbBlockTagValueSet() override;

    // A copy (null when memory runs out).
    AcRxObject* clone() const override;
    // eWrongObjectType unless `other` is a value set.
    Acad::ErrorStatus copyFrom(const AcRxObject* other) override;

    // Whether `value` is allowed, `reference` being the owner's definition value.
    virtual bool isValid(double value, double reference) const;
    // The allowed value nearest to `value` (the value itself when it is allowed).
    virtual double nearestValid(double value, double reference) const;
    // The DWG form: flags, minimum, maximum, increment, 16-bit count, values. A damaged record
    // leaves the set as it was and reports the filer's status.
    virtual Acad::ErrorStatus dwgInFields(AcDbDwgFiler* filer);
    virtual Acad::ErrorStatus dwgOutFields(AcDbDwgFiler* filer) const;
    // The DXF form, under the owner's group codes for flags, minimum, maximum, increment, count
    // and value. Reading takes the first five in any order (the values follow their count) and
    // stops, pushing it back, at the first other group.
    virtual Acad::ErrorStatus dxfInFields(AcDbDxfFiler* filer, int flagsCode, int minCode,
                                          int maxCode, int incCode, int countCode, int valueCode);
    virtual Acad::ErrorStatus dxfOutFields(AcDbDxfFiler* filer, int flagsCode, int minCode,
                                           int maxCode, int incCode, int countCode,
                                           int valueCode) const;

    bool isAngular() const;
    // Makes the set hold radians; there is no way back.
    void setAngular();
    bool isReversed() const;
    Adesk::Int32 flags() const;
    double minimum() const;
    double maximum() const;
    double increment() const;
    bool hasMinimum() const;
    bool hasMaximum() const;
    bool hasIncrement() const;
    bool isList() const;
    AcGeDoubleArray list() const;
    // Makes the set a list of these values, without bounds or increment. Lists longer than
    // 32767 values cannot be filed and are refused (eInvalidInput, nothing changes).
    Acad::ErrorStatus setList(const AcGeDoubleArray& values);
    // The list values without those equal to `reference`, then `reference`, sorted ascending:
    // what property descriptions offer.
    AcGeDoubleArray listWithReference(double reference) const;
    // Widens the range so that it contains `reference`.
    void setReferenceValue(double reference);

    // Editing; each keeps the set consistent (see KxDbImpBlockTagValueSet).
    void setMinimum(double value);
    void setMaximum(double value);
    void setHasMinimum(bool on);
    void setHasMaximum(bool on);
    void setIncrement(double value);
    void setHasIncrement(bool on);

    // The implementation (null only when memory ran out at construction).
    KxDbImpBlockTagValueSet* imp() const { return m_pImp; }

  private:
    KxDbImpBlockTagValueSet* m_pImp;
};
