#include "module/params/value_set.h"

#include <algorithm>
#include <cmath>
#include <cwchar>
#include <new>
#include <vector>

#include "host/core/resbuf.h"
#include "host/db/dwgfiler.h"
#include "host/db/dxffiler.h"
#include "host/ed/sysvars.h"
#include "module/display/labels.h"
#include "module/graph/eval_expr_imp.h"
#include "module/params/value_set_imp.h"

namespace {

using Imp = KxDbImpBlockTagValueSet;

constexpr unsigned kLabelNone = 1146;
constexpr unsigned kLabelList = 1147;
constexpr unsigned kLabelIncrement = 1148;

// Reduces an angle into [0, 2pi).
double normalizeAngle(double a) {
    double r = std::fmod(a, Imp::kTwoPi);
    if (r < 0.0) {
        r += Imp::kTwoPi;
    }
    // A tiny negative remainder rounds up to exactly 2pi.
    if (r >= Imp::kTwoPi) {
        r = 0.0;
    }
    return r;
}

// The shorter way round between two angles.
double circularDistance(double a, double b) {
    if (a < b) {
        std::swap(a, b);
    }
    return std::min(a - b, std::fabs(b + Imp::kTwoPi - a));
}

// An upper angular bound keeps a full turn (2pi) as it is; anything else is normalised.
double normalizeUpperAngle(double a) {
    return (a >= 0.0 && a <= Imp::kTwoPi) ? a : normalizeAngle(a);
}

// The integer of a DXF item, taken from the field its group code is read into.
Adesk::Int32 dxfInteger(const resbuf& rb) {
    switch (acdbGroupCodeToType(rb.restype)) {
        case AcDb::kDwgInt16:
        case AcDb::kDwgInt8:
            return rb.resval.rint;
        case AcDb::kDwgInt64:
            return static_cast<Adesk::Int32>(rb.resval.mnInt64);
        default:
            return rb.resval.rlong;
    }
}

// True when `format` holds exactly one conversion and it is of the wanted kind ('s' a string,
// 'f' a real); "%%" is no conversion. Formats come from callers, so a wrong one must not make
// the print read arguments it was not given.
bool takesOne(const ACHAR* format, char kind) {
    if (format == nullptr) {
        return false;
    }
    int conversions = 0;
    bool matches = false;
    for (const ACHAR* p = format; *p != 0; ++p) {
        if (*p != L'%') {
            continue;
        }
        ++p;
        if (*p == L'%') {
            continue;
        }
        // Flags, width, precision and length modifiers.
        while (*p != 0 && std::wcschr(L"-+ #0123456789.lhLqjzt", *p) != nullptr) {
            ++p;
        }
        if (*p == 0) {
            return false;
        }
        ++conversions;
        matches =
            kind == 's' ? (*p == L's' || *p == L'S') : (std::wcschr(L"fFeEgGaA", *p) != nullptr);
        if (*p == L'*') {
            return false;
        }
    }
    return conversions == 1 && matches;
}

}  // namespace

// --- Public value set: one-line forwarders ----------------------------------------------------

KxDbBlockTagValueSet::KxDbBlockTagValueSet() : m_pImp(new (std::nothrow) Imp()) {}

KxDbBlockTagValueSet::KxDbBlockTagValueSet(const KxDbBlockTagValueSet& other)
    : AcRxObject(other),
      m_pImp(other.m_pImp != nullptr ? new (std::nothrow) Imp(*other.m_pImp)
                                     : new (std::nothrow) Imp()) {}

KxDbBlockTagValueSet& KxDbBlockTagValueSet::operator=(const KxDbBlockTagValueSet& other) {
    if (this == &other) {
        return *this;
    }
    if (m_pImp == nullptr) {
        m_pImp = new (std::nothrow) Imp();
    }
    if (m_pImp != nullptr) {
        *m_pImp = other.m_pImp != nullptr ? *other.m_pImp : Imp();
    }
    return *this;
}

KxDbBlockTagValueSet::~KxDbBlockTagValueSet() {
    delete m_pImp;
}

AcRxObject* KxDbBlockTagValueSet::clone() const {
    auto* copy = new KxDbBlockTagValueSet(*this);
    if (copy != nullptr && copy->m_pImp == nullptr) {
        delete copy;
        return nullptr;
    }
    return copy;
}

Acad::ErrorStatus KxDbBlockTagValueSet::copyFrom(const AcRxObject* other) {
    const auto* set = dynamic_cast<const KxDbBlockTagValueSet*>(other);
    if (set == nullptr) {
        return Acad::eWrongObjectType;
    }
    *this = *set;
    return m_pImp != nullptr ? Acad::eOk : Acad::eOutOfMemory;
}

bool KxDbBlockTagValueSet::isValid(double value, double reference) const {
    return m_pImp == nullptr || m_pImp->isValid(value, reference);
}

double KxDbBlockTagValueSet::nearestValid(double value, double reference) const {
    return m_pImp != nullptr ? m_pImp->nearestValid(value, reference) : value;
}

Acad::ErrorStatus KxDbBlockTagValueSet::dwgInFields(AcDbDwgFiler* filer) {
    return m_pImp != nullptr ? m_pImp->dwgInFields(filer) : Acad::eOutOfMemory;
}

Acad::ErrorStatus KxDbBlockTagValueSet::dwgOutFields(AcDbDwgFiler* filer) const {
    return m_pImp != nullptr ? m_pImp->dwgOutFields(filer) : Acad::eOutOfMemory;
}

Acad::ErrorStatus KxDbBlockTagValueSet::dxfInFields(AcDbDxfFiler* filer, int flagsCode, int minCode,
                                                    int maxCode, int incCode, int countCode,
                                                    int valueCode) {
    return m_pImp != nullptr ? m_pImp->dxfInFields(filer, flagsCode, minCode, maxCode, incCode,
                                                   countCode, valueCode)
                             : Acad::eOutOfMemory;
}

Acad::ErrorStatus KxDbBlockTagValueSet::dxfOutFields(AcDbDxfFiler* filer, int flagsCode,
                                                     int minCode, int maxCode, int incCode,
                                                     int countCode, int valueCode) const {
    return m_pImp != nullptr ? m_pImp->dxfOutFields(filer, flagsCode, minCode, maxCode, incCode,
                                                    countCode, valueCode)
                             : Acad::eOutOfMemory;
}

bool KxDbBlockTagValueSet::isAngular() const {
    return m_pImp != nullptr && m_pImp->isAngular();
}

void KxDbBlockTagValueSet::setAngular() {
    if (m_pImp != nullptr) {
        m_pImp->setAngular();
    }
}

bool KxDbBlockTagValueSet::isReversed() const {
    return m_pImp != nullptr && m_pImp->isReversed();
}

Adesk::Int32 KxDbBlockTagValueSet::flags() const {
    return m_pImp != nullptr ? m_pImp->flags() : Imp::kHasMinimum;
}

double KxDbBlockTagValueSet::minimum() const {
    return m_pImp != nullptr ? m_pImp->minimum() : 0.0;
}

double KxDbBlockTagValueSet::maximum() const {
    return m_pImp != nullptr ? m_pImp->maximum() : 0.0;
}

double KxDbBlockTagValueSet::increment() const {
    return m_pImp != nullptr ? m_pImp->increment() : 0.0;
}

bool KxDbBlockTagValueSet::hasMinimum() const {
    return m_pImp == nullptr || m_pImp->hasMinimum();
}

bool KxDbBlockTagValueSet::hasMaximum() const {
    return m_pImp != nullptr && m_pImp->hasMaximum();
}

bool KxDbBlockTagValueSet::hasIncrement() const {
    return m_pImp != nullptr && m_pImp->hasIncrement();
}

bool KxDbBlockTagValueSet::isList() const {
    return m_pImp != nullptr && m_pImp->isList();
}

AcGeDoubleArray KxDbBlockTagValueSet::list() const {
    return m_pImp != nullptr ? m_pImp->list() : AcGeDoubleArray();
}

Acad::ErrorStatus KxDbBlockTagValueSet::setList(const AcGeDoubleArray& values) {
    return m_pImp != nullptr ? m_pImp->setList(values) : Acad::eOutOfMemory;
}

AcGeDoubleArray KxDbBlockTagValueSet::listWithReference(double reference) const {
    return m_pImp != nullptr ? m_pImp->listWithReference(reference) : AcGeDoubleArray();
}

void KxDbBlockTagValueSet::setReferenceValue(double reference) {
    if (m_pImp != nullptr) {
        m_pImp->setReferenceValue(reference);
    }
}

void KxDbBlockTagValueSet::setMinimum(double value) {
    if (m_pImp != nullptr) {
        m_pImp->setMinimum(value);
    }
}

void KxDbBlockTagValueSet::setMaximum(double value) {
    if (m_pImp != nullptr) {
        m_pImp->setMaximum(value);
    }
}

void KxDbBlockTagValueSet::setHasMinimum(bool on) {
    if (m_pImp != nullptr) {
        m_pImp->setHasMinimum(on);
    }
}

void KxDbBlockTagValueSet::setHasMaximum(bool on) {
    if (m_pImp != nullptr) {
        m_pImp->setHasMaximum(on);
    }
}

void KxDbBlockTagValueSet::setIncrement(double value) {
    if (m_pImp != nullptr) {
        m_pImp->setIncrement(value);
    }
}

void KxDbBlockTagValueSet::setHasIncrement(bool on) {
    if (m_pImp != nullptr) {
        m_pImp->setHasIncrement(on);
    }
}

// --- Implementation -----------------------------------------------------------------------------

bool KxDbImpBlockTagValueSet::hasUsableIncrement() const {
    // A NaN increment compares false and is no increment either.
    return hasIncrement() && std::fabs(m_increment) > kGridTolerance;
}

double KxDbImpBlockTagValueSet::distance(double a, double b) const {
    return m_angular ? circularDistance(a, b) : std::fabs(a - b);
}

// On the grid when the remainder of the step from the reference is within the grid tolerance of
// 0 or of a whole increment (the remainder of a value just below a grid point is nearly d).
bool KxDbImpBlockTagValueSet::isOnGrid(double value, double reference) const {
    const double d = std::fabs(m_increment);
    const double rest = std::fabs(std::fmod(value - reference, d));
    return rest <= kGridTolerance || std::fabs(d - rest) <= kGridTolerance;
}

bool KxDbImpBlockTagValueSet::isValid(double value, double reference) const {
    if (isList()) {
        if (value == reference) {
            return true;
        }
        for (double allowed : m_list) {
            if (value == allowed) {
                return true;
            }
        }
        return false;
    }
    if (hasMinimum() && hasMaximum()) {
        if (m_angular) {
            if (m_minimum == m_maximum) {
                return false;
            }
            if (m_minimum > m_maximum) {
                // The range runs through 0: only the gap between maximum and minimum is out.
                if (value > m_maximum && value < m_minimum) {
                    return false;
                }
                if (!hasUsableIncrement()) {
                    return value >= 0.0;
                }
                return value >= 0.0 && isOnGrid(value, reference);
            }
        } else if (m_minimum > m_maximum) {
            return false;
        }
    }
    if (hasMinimum() && value < m_minimum) {
        return false;
    }
    if (hasMaximum() && value > m_maximum) {
        return false;
    }
    if (hasUsableIncrement() || value < 0.0) {
        return value >= 0.0 && isOnGrid(value, reference);
    }
    return true;
}

// The grid angle nearest to `value` (circularly) among the angles reference + k * |increment|
// that lie in the circular range from the lower bound (or 0) to the upper bound (or a full
// turn). The candidates are computed, not walked, so no increment can make this slow: only the
// grid neighbours of the value and the first and last grid angles of the range can be nearest.
double KxDbImpBlockTagValueSet::nearestAngleOnGrid(double value, double reference) const {
    const bool reversed = isReversed();
    auto turn = [reversed](double a) { return reversed ? kTwoPi - a : a; };
    const double d = std::fabs(m_increment);

    const double lower = hasMinimum() ? normalizeAngle(turn(m_minimum)) : 0.0;
    double span = kTwoPi - lower;
    if (hasMaximum()) {
        span = normalizeUpperAngle(turn(m_maximum)) - lower;
        if (span < 0.0) {
            span += kTwoPi;
        }
    }
    // Positions are offsets from the lower bound; the grid passes through the reference.
    const double ref = normalizeAngle(normalizeAngle(turn(reference)) - lower);
    const double target = normalizeAngle(turn(value));
    const double kFirst = std::ceil((-kSameValue - ref) / d);
    const double kLast = std::floor((span + kSameValue - ref) / d);
    if (!(kFirst <= kLast)) {
        return 0.0;
    }
    const double kNear = (normalizeAngle(target - lower) - ref) / d;
    double candidates[4] = {kFirst, std::floor(kNear), std::ceil(kNear), kLast};
    for (double& k : candidates) {
        if (!(k >= kFirst)) {
            k = kFirst;
        }
        if (k > kLast) {
            k = kLast;
        }
    }
    // Increasing order, so that a tie keeps the first angle of the walk.
    std::sort(std::begin(candidates), std::end(candidates));
    double best = 0.0;
    double bestDistance = 0.0;
    bool found = false;
    for (double k : candidates) {
        const double angle = normalizeAngle(lower + ref + k * d);
        const double dist = circularDistance(angle, target);
        if (!found || dist < bestDistance) {
            best = angle;
            bestDistance = dist;
            found = true;
        }
    }
    return normalizeAngle(turn(best));
}

double KxDbImpBlockTagValueSet::nearestValid(double value, double reference) const {
    if (isValid(value, reference)) {
        return value;
    }
    if (isList()) {
        // The reference is a candidate too, and wins every tie.
        double best = reference;
        double bestDistance = distance(reference, value);
        for (double allowed : m_list) {
            const double dist = distance(allowed, value);
            if (dist < bestDistance) {
                best = allowed;
                bestDistance = dist;
            }
        }
        return best;
    }
    if (hasUsableIncrement()) {
        if (m_angular) {
            return nearestAngleOnGrid(value, reference);
        }
        const double d = std::fabs(m_increment);
        if (hasMinimum() && value < m_minimum) {
            double k = std::floor((m_minimum - reference) / d);
            if (std::fabs(reference + k * d - m_minimum) >= kSameValue) {
                k = std::ceil((m_minimum - reference) / d);
            }
            return reference + k * d;
        }
        if (hasMaximum() && value > m_maximum) {
            double k = std::ceil((m_maximum - reference) / d);
            if (std::fabs(reference + k * d - m_maximum) >= kSameValue) {
                k = std::floor((m_maximum - reference) / d);
            }
            return value >= 0.0 ? reference + k * d : 0.0;
        }
        double lower = reference + std::floor((value - reference) / d) * d;
        double upper = reference + std::ceil((value - reference) / d) * d;
        if (std::fabs(value - reference) < kSameValue) {
            lower = reference;
            upper = reference;
        }
        if (hasMinimum()) {
            if (lower < m_minimum) {
                return upper;
            }
            // Halfway goes to the lower grid value.
            return (upper - value) >= (value - lower) ? lower : upper;
        }
        if ((!hasMaximum() || upper <= m_maximum) && (upper - value) >= (value - lower)) {
            return lower;
        }
        if (hasMaximum() && upper > m_maximum) {
            return 0.0;
        }
        return upper;
    }
    if (hasMinimum() && hasMaximum()) {
        if (!m_angular) {
            return (value >= m_minimum && value > m_maximum) ? m_maximum : m_minimum;
        }
        if (value < m_minimum || value > m_maximum) {
            return circularDistance(m_maximum, value) <= circularDistance(m_minimum, value)
                       ? m_maximum
                       : m_minimum;
        }
    } else {
        if (hasMinimum() && value < m_minimum) {
            return m_minimum;
        }
        if (hasMaximum() && value > m_maximum) {
            return m_maximum;
        }
    }
    return value < 0.0 ? 0.0 : value;
}

void KxDbImpBlockTagValueSet::widenAngularRange(double reference) {
    const bool reversed = isReversed();
    auto turn = [reversed](double a) { return reversed ? kTwoPi - a : a; };
    const double x = normalizeAngle(turn(reference));
    if (hasMinimum() && hasMaximum()) {
        const double lower = normalizeAngle(turn(m_minimum));
        const double upper = normalizeUpperAngle(turn(m_maximum));
        double span = upper - lower;
        if (span < 0.0) {
            span += kTwoPi;
        }
        const double offset = normalizeAngle(x - lower);
        if (offset <= span + kSameValue) {
            return;
        }
        // Move the bound the reference lies nearer to.
        if (offset - span <= kTwoPi - offset) {
            m_maximum = normalizeUpperAngle(turn(x));
        } else {
            m_minimum = normalizeAngle(turn(x));
        }
    } else if (hasMinimum()) {
        // From the minimum up to a full turn.
        if (x < normalizeAngle(turn(m_minimum)) - kSameValue) {
            m_minimum = normalizeAngle(turn(x));
        }
    } else if (hasMaximum()) {
        // From 0 up to the maximum.
        if (x > normalizeUpperAngle(turn(m_maximum)) + kSameValue) {
            m_maximum = normalizeUpperAngle(turn(x));
        }
    }
}

void KxDbImpBlockTagValueSet::setReferenceValue(double reference) {
    if (isList()) {
        return;
    }
    if (m_angular) {
        widenAngularRange(reference);
        return;
    }
    if (hasMinimum() && m_minimum > reference) {
        m_minimum = reference;
    }
    if (hasMaximum() && m_maximum < reference) {
        m_maximum = reference;
    }
}

AcGeDoubleArray KxDbImpBlockTagValueSet::listWithReference(double reference) const {
    std::vector<double> values;
    for (double v : m_list) {
        if (std::fabs(v - reference) >= kSameValue) {
            values.push_back(v);
        }
    }
    values.push_back(reference);
    std::sort(values.begin(), values.end());
    AcGeDoubleArray result;
    for (double v : values) {
        result.append(v);
    }
    return result;
}

Acad::ErrorStatus KxDbImpBlockTagValueSet::setList(const AcGeDoubleArray& values) {
    if (values.length() > kMaxListLength) {
        return Acad::eInvalidInput;
    }
    m_list = values;
    m_flags &= ~kHasIncrement;
    m_flags |= kIsList;
    setHasMinimum(false);
    m_flags &= ~kHasMaximum;
    return Acad::eOk;
}

void KxDbImpBlockTagValueSet::setMinimum(double value) {
    if (m_angular) {
        m_minimum = normalizeAngle(value);
    } else if (value >= 0.0) {
        m_minimum = value;
    } else {
        // A distance range never starts below 0.
        return;
    }
    setHasMinimum(true);
}

void KxDbImpBlockTagValueSet::setMaximum(double value) {
    if (m_angular) {
        // An upper bound at 0 is a full turn.
        const double a = normalizeAngle(value);
        m_maximum = std::fabs(a) < kSameValue ? kTwoPi : a;
    } else if (value >= 0.0) {
        m_maximum = value;
    } else {
        return;
    }
    setHasMaximum(true);
}

void KxDbImpBlockTagValueSet::setHasMinimum(bool on) {
    if (m_angular || isList()) {
        m_flags = on ? (m_flags | kHasMinimum) : (m_flags & ~kHasMinimum);
    } else if (on) {
        m_flags |= kHasMinimum;
    } else {
        // A distance range always has a lower bound: "none" means 0.
        m_minimum = 0.0;
    }
    if (hasMinimum() && hasMaximum()) {
        if (m_angular) {
            // An angular range may run through 0 (maximum below minimum); an empty one may not.
            if (m_maximum == m_minimum) {
                m_flags &= ~kHasMaximum;
            }
        } else if (m_maximum < m_minimum) {
            if (m_minimum - m_maximum >= kSameValue) {
                m_flags &= ~kHasMaximum;
            } else {
                m_minimum = m_maximum;
            }
        }
    }
    if (on) {
        m_flags &= ~kIsList;
    }
}

void KxDbImpBlockTagValueSet::setHasMaximum(bool on) {
    m_flags = on ? (m_flags | kHasMaximum) : (m_flags & ~kHasMaximum);
    if (hasMinimum() && hasMaximum()) {
        if (m_angular) {
            if (m_maximum == m_minimum) {
                m_flags &= ~kHasMinimum;
            }
        } else if (m_maximum < m_minimum) {
            if (m_minimum - m_maximum >= kSameValue) {
                m_minimum = 0.0;
            } else {
                m_maximum = m_minimum;
            }
        }
    }
    if (on) {
        m_flags &= ~kIsList;
    }
}

void KxDbImpBlockTagValueSet::setIncrement(double value) {
    m_increment = value;
    setHasIncrement(true);
}

void KxDbImpBlockTagValueSet::setHasIncrement(bool on) {
    if (!on) {
        m_flags &= ~kHasIncrement;
        return;
    }
    m_flags |= kHasIncrement;
    if (isList()) {
        // A grid is a range again; a distance range has its lower bound.
        m_flags &= ~kIsList;
        if (!m_angular && !hasMinimum()) {
            m_minimum = 0.0;
            m_flags |= kHasMinimum;
        }
    }
}

void KxDbImpBlockTagValueSet::describe(const ACHAR* kindFormat, const ACHAR* minimumFormat,
                                       const ACHAR* maximumFormat,
                                       const ACHAR* incrementFormat) const {
    const unsigned kind = hasIncrement() ? kLabelIncrement : (isList() ? kLabelList : kLabelNone);
    const AcString label = kxdisplay::loadLabel(kind);
    if (takesOne(kindFormat, 's')) {
        acutPrintf(kindFormat, label.kwszPtr());
    }
    if (hasMinimum() && takesOne(minimumFormat, 'f')) {
        acutPrintf(minimumFormat, m_minimum);
    }
    if (hasMaximum() && takesOne(maximumFormat, 'f')) {
        acutPrintf(maximumFormat, m_maximum);
    }
    if (hasIncrement() && takesOne(incrementFormat, 'f')) {
        acutPrintf(incrementFormat, m_increment);
    }
}

// --- Filing
// ---------------------------------------------------------------------------------------

Acad::ErrorStatus KxDbImpBlockTagValueSet::dwgOutFields(AcDbDwgFiler* filer) const {
    if (filer == nullptr) {
        return Acad::eNullObjectPointer;
    }
    filer->writeInt32(m_flags);
    filer->writeDouble(m_minimum);
    filer->writeDouble(m_maximum);
    filer->writeDouble(m_increment);
    // setList and the readers keep the list within the 16-bit count.
    filer->writeInt16(static_cast<Adesk::Int16>(m_list.length()));
    for (double v : m_list) {
        filer->writeDouble(v);
    }
    return filer->filerStatus();
}

Acad::ErrorStatus KxDbImpBlockTagValueSet::dwgInFields(AcDbDwgFiler* filer) {
    if (filer == nullptr) {
        return Acad::eNullObjectPointer;
    }
    // Everything is read before anything is stored, so a damaged record changes nothing.
    Adesk::Int32 flags = 0;
    double minimum = 0.0;
    double maximum = 0.0;
    double increment = 0.0;
    Adesk::Int16 count = 0;
    filer->readInt32(&flags);
    filer->readDouble(&minimum);
    filer->readDouble(&maximum);
    filer->readDouble(&increment);
    filer->readInt16(&count);
    if (filer->filerStatus() != Acad::eOk) {
        return filer->filerStatus();
    }
    if (count < 0) {
        filer->setFilerStatus(Acad::eBadDxfSequence);
        return Acad::eBadDxfSequence;
    }
    AcGeDoubleArray values;
    for (int i = 0; i < count; ++i) {
        double v = 0.0;
        if (filer->readDouble(&v) != Acad::eOk || filer->filerStatus() != Acad::eOk) {
            return filer->filerStatus() != Acad::eOk ? filer->filerStatus() : Acad::eFilerError;
        }
        values.append(v);
    }
    m_flags = flags;
    m_minimum = minimum;
    m_maximum = maximum;
    m_increment = increment;
    m_list = values;
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpBlockTagValueSet::dxfOutFields(AcDbDxfFiler* filer, int flagsCode,
                                                        int minCode, int maxCode, int incCode,
                                                        int countCode, int valueCode) const {
    if (filer == nullptr) {
        return Acad::eNullObjectPointer;
    }
    filer->writeInt16(flagsCode, static_cast<Adesk::Int16>(m_flags));
    filer->writeDouble(minCode, m_minimum);
    filer->writeDouble(maxCode, m_maximum);
    filer->writeDouble(incCode, m_increment);
    filer->writeInt16(countCode, static_cast<Adesk::Int16>(m_list.length()));
    for (double v : m_list) {
        filer->writeDouble(valueCode, v);
    }
    return filer->filerStatus();
}

Acad::ErrorStatus KxDbImpBlockTagValueSet::dxfInFields(AcDbDxfFiler* filer, int flagsCode,
                                                       int minCode, int maxCode, int incCode,
                                                       int countCode, int valueCode) {
    if (filer == nullptr) {
        return Acad::eNullObjectPointer;
    }
    Adesk::Int32 flags = 0;
    double minimum = 0.0;
    double maximum = 0.0;
    double increment = 0.0;
    AcGeDoubleArray values;
    bool haveFlags = false;
    bool haveMinimum = false;
    bool haveMaximum = false;
    bool haveIncrement = false;
    bool haveList = false;
    for (;;) {
        resbuf rb{};
        const Acad::ErrorStatus es = filer->readItem(&rb);
        if (es == Acad::eEndOfFile) {
            // The end of the object's data ends the set as well as a foreign group does.
            break;
        }
        if (es != Acad::eOk) {
            return Acad::eFilerError;
        }
        const int code = rb.restype;
        if (code == flagsCode) {
            flags = dxfInteger(rb);
            haveFlags = true;
        } else if (code == minCode) {
            minimum = rb.resval.rreal;
            haveMinimum = true;
        } else if (code == maxCode) {
            maximum = rb.resval.rreal;
            haveMaximum = true;
        } else if (code == incCode) {
            increment = rb.resval.rreal;
            haveIncrement = true;
        } else if (code == countCode) {
            const Adesk::Int32 count = dxfInteger(rb);
            if (count < 0 || count > kMaxListLength) {
                return Acad::eBadDxfSequence;
            }
            values.setLogicalLength(0);
            for (Adesk::Int32 i = 0; i < count; ++i) {
                resbuf item{};
                const Acad::ErrorStatus vs = filer->readItem(&item);
                if (vs == Acad::eEndOfFile) {
                    // Fewer values than announced.
                    return Acad::eBadDxfSequence;
                }
                if (vs != Acad::eOk) {
                    return Acad::eFilerError;
                }
                if (item.restype != valueCode) {
                    kxnode::releaseDxfItem(item);
                    filer->pushBackItem();
                    return Acad::eBadDxfSequence;
                }
                values.append(item.resval.rreal);
            }
            haveList = true;
        } else {
            // The owner's next group: leave it to the owner.
            kxnode::releaseDxfItem(rb);
            filer->pushBackItem();
            break;
        }
    }
    if (!haveFlags || !haveMinimum || !haveMaximum || !haveIncrement || !haveList) {
        const int missing = !haveFlags       ? flagsCode
                            : !haveMinimum   ? minCode
                            : !haveMaximum   ? maxCode
                            : !haveIncrement ? incCode
                                             : countCode;
        filer->setError(Acad::eMissingDxfField, L"value set: missing group %d", missing);
        return Acad::eMissingDxfField;
    }
    m_flags = flags;
    m_minimum = minimum;
    m_maximum = maximum;
    m_increment = increment;
    m_list = values;
    return Acad::eOk;
}
