// The implementation of KxDbBlockTagValueSet: the stored restriction and every rule over it.
#pragma once

#include "host/core/acstring.h"
#include "host/core/array.h"
#include "host/core/types.h"
#include "module/frame/export.h"

class AcDbDwgFiler;
class AcDbDxfFiler;

class KXDB_EXPORT KxDbImpBlockTagValueSet {
  public:
    // Bits of the stored flags.
    static constexpr Adesk::Int32 kHasMinimum = 0x1;
    static constexpr Adesk::Int32 kHasMaximum = 0x2;
    static constexpr Adesk::Int32 kHasIncrement = 0x4;
    static constexpr Adesk::Int32 kIsList = 0x8;
    // Angular sets whose angles run clockwise.
    static constexpr Adesk::Int32 kReversed = 0x10;

    // The list count is filed as a 16-bit integer: longer lists cannot be stored.
    static constexpr int kMaxListLength = 32767;

    // An increment at most this large is no increment; a value whose remainder on the grid is
    // within it lies on the grid.
    static constexpr double kGridTolerance = 1e-10;
    // Two reals this close are the same value in range repairs, snapping and list editing.
    static constexpr double kSameValue = 1.1920928955078125e-07;
    static constexpr double kPi = 3.141592653589793;
    static constexpr double kTwoPi = 6.283185307179586;

    KxDbImpBlockTagValueSet() = default;
    KxDbImpBlockTagValueSet(const KxDbImpBlockTagValueSet&) = default;
    KxDbImpBlockTagValueSet& operator=(const KxDbImpBlockTagValueSet&) = default;
    virtual ~KxDbImpBlockTagValueSet() = default;

    // --- Questions of the owning parameter; `reference` is its definition value ---
    virtual bool isValid(double value, double reference) const;
    virtual double nearestValid(double value, double reference) const;

    // --- Filing, inside the owner's record. The DXF forms take the owner's group codes in the
    // order flags, minimum, maximum, increment, count, value. ---
    virtual Acad::ErrorStatus dwgInFields(AcDbDwgFiler* filer);
    virtual Acad::ErrorStatus dwgOutFields(AcDbDwgFiler* filer) const;
    virtual Acad::ErrorStatus dxfInFields(AcDbDxfFiler* filer, int flagsCode, int minCode,
                                          int maxCode, int incCode, int countCode, int valueCode);
    virtual Acad::ErrorStatus dxfOutFields(AcDbDxfFiler* filer, int flagsCode, int minCode,
                                           int maxCode, int incCode, int countCode,
                                           int valueCode) const;

    // --- State ---
    bool isAngular() const { return m_angular; }
    // Angular sets hold radians; there is no way back.
    void setAngular() { m_angular = true; }
    Adesk::Int32 flags() const { return m_flags; }
    // Direct access to the stored bits (no repair of the bounds).
    void setFlags(Adesk::Int32 flags) { m_flags = flags; }
    bool isReversed() const { return (m_flags & kReversed) != 0; }
    bool hasMinimum() const { return (m_flags & kHasMinimum) != 0; }
    bool hasMaximum() const { return (m_flags & kHasMaximum) != 0; }
    bool hasIncrement() const { return (m_flags & kHasIncrement) != 0; }
    bool isList() const { return (m_flags & kIsList) != 0; }
    double minimum() const { return m_minimum; }
    double maximum() const { return m_maximum; }
    double increment() const { return m_increment; }
    const AcGeDoubleArray& list() const { return m_list; }

    // --- Editing: each keeps the set consistent ---
    // eInvalidInput, changing nothing, for a list longer than kMaxListLength.
    Acad::ErrorStatus setList(const AcGeDoubleArray& values);
    // The list offered to the user: the stored values without those equal to `reference`, then
    // `reference`, sorted ascending.
    AcGeDoubleArray listWithReference(double reference) const;
    // Widens the range so that it contains `reference`.
    void setReferenceValue(double reference);
    void setMinimum(double value);
    void setMaximum(double value);
    void setHasMinimum(bool on);
    void setHasMaximum(bool on);
    // Turns the set into a grid of `value` steps anchored at the reference (a list set becomes a
    // range again); the bounds stay as they are.
    void setIncrement(double value);
    void setHasIncrement(bool on);

    // Prints the kind of the set (one string argument), then the minimum, maximum and increment
    // that are present (one real argument each) on the command line.
    void describe(const ACHAR* kindFormat, const ACHAR* minimumFormat, const ACHAR* maximumFormat,
                  const ACHAR* incrementFormat) const;

  private:
    bool hasUsableIncrement() const;
    double distance(double a, double b) const;
    bool isOnGrid(double value, double reference) const;
    double nearestAngleOnGrid(double value, double reference) const;
    void widenAngularRange(double reference);

    Adesk::Int32 m_flags = kHasMinimum;
    double m_minimum = 0.0;
    double m_maximum = 0.0;
    double m_increment = 0.0;
    AcGeDoubleArray m_list;
    bool m_angular = false;
};
