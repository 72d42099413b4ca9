#include "module/params/property_desc.h"

#include <cstring>

KxDbBlockPropertyDesc::KxDbBlockPropertyDesc(const ACHAR* propertyName, const ACHAR* connection,
                                             Adesk::Int16 type)
    : name(propertyName), connectionName(connection), valueType(type) {}

namespace {

// Two values are the same when they have the same type and the same value of that kind.
bool sameValue(const KxDbTagEvalVariant& a, const KxDbTagEvalVariant& b) {
    if (a.type() != b.type()) {
        return false;
    }
    if (a.isNull()) {
        return true;
    }
    if (KxDbTagEvalVariant::ownsText(a.type())) {
        return AcString(a.text()) == AcString(b.text());
    }
    switch (acdbGroupCodeToType(a.type())) {
        case AcDb::kDwgReal:
            return a.resval.rreal == b.resval.rreal;
        case AcDb::kDwg3Real:
            return a.point() == b.point();
        case AcDb::kDwgInt16:
        case AcDb::kDwgInt8:
            return a.resval.rint == b.resval.rint;
        case AcDb::kDwgInt32:
            return a.resval.rlong == b.resval.rlong;
        default:
            return std::memcmp(&a.resval, &b.resval, sizeof(a.resval)) == 0;
    }
}

}  // namespace

bool KxDbBlockPropertyDesc::operator==(const KxDbBlockPropertyDesc& other) const {
    if (name != other.name || connectionName != other.connectionName ||
        valueType != other.valueType || readOnly != other.readOnly || visible != other.visible ||
        description != other.description || listFlag != other.listFlag ||
        unitKind != other.unitKind || allowedValues.length() != other.allowedValues.length()) {
        return false;
    }
    for (int i = 0; i < allowedValues.length(); ++i) {
        if (!sameValue(allowedValues[i], other.allowedValues[i])) {
            return false;
        }
    }
    return true;
}
