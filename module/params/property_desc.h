// The record by which a parameter describes one of its user-visible properties to the properties
// palette, the properties table and lookup actions. Descriptions are plain values: a parameter
// appends copies to the caller's array, which owns them.
#pragma once

#include "host/core/acstring.h"
#include "host/core/array.h"
#include "module/frame/export.h"
#include "module/graph/eval_variant.h"

class KXDB_EXPORT KxDbBlockPropertyDesc {
  public:
    KxDbBlockPropertyDesc() = default;
    // A description with the given name, connection name and value type; the rest default.
    KxDbBlockPropertyDesc(const ACHAR* name, const ACHAR* connectionName, Adesk::Int16 valueType);

    // The property's name as shown to the user.
    AcString name;
    // The name under which lookup actions exchange the property's value.
    AcString connectionName;
    // The DXF group code of the value's kind: 40 real, 11 point, 1 string, 70 16-bit integer ...
    // KxDbTagEvalVariant::kNullType when the property has no type.
    Adesk::Int16 valueType = KxDbTagEvalVariant::kNullType;
    // Set when the user may not change the property.
    Adesk::UInt8 readOnly = 0;
    // Cleared when the property is not to be shown.
    Adesk::UInt8 visible = 1;
    // Free text shown with the property.
    AcString description;
    // 1 when `allowedValues` is the list the value is chosen from; 0 otherwise.
    Adesk::Int32 listFlag = 0;
    // The values offered in a list.
    AcArray<KxDbTagEvalVariant> allowedValues;
    // The kind of quantity for unit display: 2 distance, 1 angle, 0 none.
    Adesk::Int32 unitKind = 0;

    bool operator==(const KxDbBlockPropertyDesc& other) const;
    bool operator!=(const KxDbBlockPropertyDesc& other) const { return !(*this == other); }
};

typedef AcArray<KxDbBlockPropertyDesc> KxDbBlockPropertyDescArray;
