// The grip side of the point parameters' bookkeeping: what a parameter asks of a grip node it
// owns (is it a grip, where is it, move it), kept in one place.
#pragma once

#include "host/ge/point3d.h"
#include "module/frame/export.h"
#include "module/graph/node_types.h"

class KxDbTagEvalExpr;
class KxDbTagEvalGraph;

namespace kxparam {

// True for a grip node.
bool isGrip(const KxDbTagEvalExpr* node);
// The grip's stored location.
Acad::ErrorStatus gripLocation(const KxDbTagEvalExpr* grip, AcGePoint3d& location);
// Stores the grip's location (its offset from the parameter point follows from it).
Acad::ErrorStatus setGripLocation(KxDbTagEvalExpr* grip, const AcGePoint3d& location);
// Puts the grip on a point: its stored location and its updated location both become `point`.
Acad::ErrorStatus placeGripAt(KxDbTagEvalExpr* grip, const AcGePoint3d& point);

}  // namespace kxparam
