#include "module/graph/element_class_names.h"

#include <array>
#include <cmath>
#include <cwchar>

#include "host/core/acstring.h"

namespace {

struct ClassNamePair {
    const ACHAR* moduleName;
    const ACHAR* drawingName;
};

const ClassNamePair kClassNames[] = {
    {L"KxDbBlockAlignmentTag", L"AcDbBlockAlignmentParameter"},
    {L"KxDbBlockBasepointTag", L"AcDbBlockBasepointParameter"},
    {L"KxDbBlockPointTag", L"AcDbBlockPointParameter"},
    {L"KxDbBlockLinearTag", L"AcDbBlockLinearParameter"},
    {L"KxDbBlockPolarTag", L"AcDbBlockPolarParameter"},
    {L"KxDbBlockXYTag", L"AcDbBlockXYParameter"},
    {L"KxDbBlockRotationTag", L"AcDbBlockRotationParameter"},
    {L"KxDbBlockFlipTag", L"AcDbBlockFlipParameter"},
    {L"KxDbBlockVisibilityTag", L"AcDbBlockVisibilityParameter"},
    {L"KxDbBlockLookupTag", L"AcDbBlockLookupParameter"},
    {L"KxDbBlockUserTag", L"AcDbBlockUserParameter"},
    {L"KxDbTagPropertiesTable", L"AcDbBlockPropertiesTable"},
    {L"KxDbTagAlignmentGrip", L"AcDbBlockAlignmentGrip"},
    {L"KxDbTagXYGrip", L"AcDbBlockXYGrip"},
    {L"KxDbTagLinearGrip", L"AcDbBlockLinearGrip"},
    {L"KxDbTagPolarGrip", L"AcDbBlockPolarGrip"},
    {L"KxDbTagRotationGrip", L"AcDbBlockRotationGrip"},
    {L"KxDbTagFlipGrip", L"AcDbBlockFlipGrip"},
    {L"KxDbTagVisibilityGrip", L"AcDbBlockVisibilityGrip"},
    {L"KxDbTagLookupGrip", L"AcDbBlockLookupGrip"},
    {L"KxDbTagPropertiesTableGrip", L"AcDbBlockPropertiesTableGrip"},
    {L"KxDbTagStretchAction", L"AcDbBlockStretchAction"},
    {L"KxDbTagArrayAction", L"AcDbBlockArrayAction"},
    {L"KxDbTagFlipAction", L"AcDbBlockFlipAction"},
    {L"KxDbTagLookupAction", L"AcDbBlockLookupAction"},
    {L"KxDbTagMoveAction", L"AcDbBlockMoveAction"},
    {L"KxDbTagPolarStretchAction", L"AcDbBlockPolarStretchAction"},
    {L"KxDbTagRotateAction", L"AcDbBlockRotateAction"},
    {L"KxDbTagScaleAction", L"AcDbBlockScaleAction"},
};

// The multiplier is the single-precision 1.643 widened to double: stored hashes were made with
// exactly that value, so it must not be written as the double literal 1.643.
const double kMultiplier = static_cast<double>(1.643f);
const double kModulus = 2147483647.0;

Adesk::Int32 reduce(double v) {
    const double q = v / kModulus;
    const double frac = q - std::floor(q);
    return static_cast<Adesk::Int32>(frac * kModulus);
}

}  // namespace

const ACHAR* kxDrawingClassName(const ACHAR* moduleClassName) {
    if (moduleClassName == nullptr) {
        return nullptr;
    }
    // Every element asks this whenever its instance data is written or read, which is at every
    // step of a drag; the names share their first letters, so only names of the same length
    // (which equal names without regard to case have) are compared.
    constexpr size_t kCount = sizeof(kClassNames) / sizeof(kClassNames[0]);
    static const std::array<size_t, kCount> kLengths = [] {
        std::array<size_t, kCount> lengths{};
        for (size_t i = 0; i < kCount; ++i) {
            lengths[i] = std::wcslen(kClassNames[i].moduleName);
        }
        return lengths;
    }();
    const size_t length = std::wcslen(moduleClassName);
    for (size_t i = 0; i < kCount; ++i) {
        if (kLengths[i] == length &&
            acCompareNoCase(kClassNames[i].moduleName, moduleClassName) == 0) {
            return kClassNames[i].drawingName;
        }
    }
    return nullptr;
}

void kxClassNameHashes(const ACHAR* drawingClassName, Adesk::Int32& forward,
                       Adesk::Int32& backward) {
    forward = 0;
    backward = 0;
    if (drawingClassName == nullptr || drawingClassName[0] == 0) {
        return;
    }
    const size_t n = std::wcslen(drawingClassName);
    double f = 0.0;
    for (size_t i = 0; i < n; ++i) {
        f = f * kMultiplier + static_cast<double>(drawingClassName[i]);
    }
    double b = 0.0;
    for (size_t i = n; i > 0; --i) {
        b = b * kMultiplier + static_cast<double>(drawingClassName[i - 1]);
    }
    forward = reduce(f);
    backward = reduce(b);
}
