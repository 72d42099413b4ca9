// Dynamic dimensions of linear grips: the aligned dimension the grip editor shows from a
// parameter's base to its end while the grip is hovered or hot, the value the user types into it,
// and how it follows a drag.
//
// Every dimension record made here carries a KxGripDimensionData as its application data; it
// belongs to this module (the editor deletes the records and their dimensions, never their
// application data) and is released with freeGripDimensionData.
#pragma once

#include "host/db/database.h"
#include "host/entities/aligneddim.h"
#include "host/ge/matrix3d.h"
#include "host/ge/point3d.h"
#include "host/ge/vector3d.h"
#include "host/grips/gripoverrule.h"
#include "module/frame/export.h"
#include "module/graph/node_types.h"

class AcDbBlockReference;
class KxDbNimbleBlockNBAppData;
class KxDbTagGrip;

namespace kxgrips {

// What a dimension record remembers about the grip it was made for.
struct KxGripDimensionData {
    KxNodeId gripNode = 0;
    double scale = 1.0;      // the editor's dimension scale
    Adesk::Int32 index = 0;  // 0 for a grip's first dimension, 1 for its second
};

// The perpendicular of `direction` in the plane of the database's current UCS (the working
// database when null): where a dimension's line is offset to. The UCS Y axis when the direction
// is zero or along the UCS Z axis.
KXDB_EXPORT AcGeVector3d ucsPerpendicular(const AcGeVector3d& direction,
                                          AcDbDatabase* db = nullptr);

// A new dynamic aligned dimension from `first` to `second` in the plane of `normal`, its line
// `scale` away from the midpoint along `offsetDirection`, with the database's defaults and
// linear precision and units (the working database when null). The caller owns it.
KXDB_EXPORT AcDbAlignedDimension* makeAlignedDimension(const AcGePoint3d& first,
                                                       const AcGePoint3d& second,
                                                       const AcGeVector3d& offsetDirection,
                                                       double scale, const AcGeVector3d& normal,
                                                       AcDbDatabase* db = nullptr);

// The dimension of a linear parameter's grip: base to end (world points), offset across the line
// in the UCS plane. Null when base and end coincide. The caller owns it.
KXDB_EXPORT AcDbAlignedDimension* makeLinearGripDimension(const AcGePoint3d& base,
                                                          const AcGePoint3d& end, double scale,
                                                          const AcGeVector3d& normal,
                                                          AcDbDatabase* db = nullptr);

// Makes the dimension record of a linear grip and appends it to `dimData`: owner `entityId`,
// editable and focal unless `editable` is false, set-value function setDimensionValue, and its
// KxGripDimensionData. False (nothing appended) when base and end coincide.
KXDB_EXPORT bool appendLinearGripDimension(const AcGePoint3d& base, const AcGePoint3d& end,
                                           double scale, const AcGeVector3d& normal,
                                           KxNodeId gripNode, const AcDbObjectId& entityId,
                                           bool editable, AcDbDimDataPtrArray& dimData,
                                           AcDbDatabase* db = nullptr);

// Moves a linear grip's dimension to a new base and end, keeping the distance of its line from
// the measured points. eInvalidInput for a record without dimension or not an aligned one.
KXDB_EXPORT Acad::ErrorStatus followLinearDimension(AcDbDimData* data, const AcGePoint3d& base,
                                                    const AcGePoint3d& end);

// The point a typed distance moves: for grip 0 the base to `end - v·u`, for grip 1 the end to
// `base + v·u`, u the unit vector from base to end. False when base and end coincide, the
// value is not finite or the grip index is neither.
KXDB_EXPORT bool pointForTypedDistance(const AcGePoint3d& base, const AcGePoint3d& end,
                                       int gripIndex, double value, AcGePoint3d& moved);

// Places a linear parameter's grip at the typed distance from the other point, through a
// reference context on `ref` (which must be open for write). `worldOffset` is how far the
// moved point went (zero when nothing was done).
KXDB_EXPORT Acad::ErrorStatus applyTypedDistance(AcDbBlockReference* ref, KxNodeId gripNode,
                                                 double value, AcGeVector3d& worldOffset);

// The set-value function of the dimension records made here (the editor's callback form).
KXDB_EXPORT AcGeVector3d setDimensionValue(AcDbDimData* data, AcDbEntity* entity, double newValue,
                                           const AcGeVector3d& offset);

// The hover- and hot-grip dimension function of linear grips (the editor's callback form): one
// aligned dimension from the parameter's base to its end, editable unless the definition holds
// proxy entities or the reference cannot be changed, listed in the grip's application data too.
KXDB_EXPORT void gripDimensions(AcDbGripData* record, const AcDbObjectId& entityId, double dimScale,
                                AcDbDimDataPtrArray& dimData);

// Moves the dimensions listed in a grip's application data to where the grip's parameter is now
// (called after each drag evaluation; `grip` is the grip of the evaluated graph). Stops at the
// first record that has no data or no dimension.
KXDB_EXPORT Acad::ErrorStatus followDimensions(KxDbNimbleBlockNBAppData* appData,
                                               const KxDbTagGrip* grip, AcDbBlockReference* ref);

// Releases the application data of a record made here (and clears it). Records from elsewhere,
// or already released, are left alone.
KXDB_EXPORT void freeGripDimensionData(AcDbDimData* data);

}  // namespace kxgrips
