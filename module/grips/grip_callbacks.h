// The functions the module puts into the host's grip records.
//
// The host's grip editor talks to a grip only through its record: a point, flags, the
// application data (KxDbNimbleBlockNBAppData) and these callbacks. Callbacks never throw into
// the host and close every object they open.
#pragma once

#include "host/grips/gripoverrule.h"
#include "module/frame/export.h"

class KxDbNimbleBlockNBAppData;

namespace kxgrips {

// The first characters of the menu name the default right-click handler answers: an escape
// character, which tells the editor to show its own menu unchanged.
inline constexpr ACHAR kDefaultMenuName[] = {27, 0};

// The application data of a record, when the record says it holds one of the module's.
KXDB_EXPORT KxDbNimbleBlockNBAppData* appDataOf(const AcDbGripData* record);

// Gives a record (and its application data) an alternate base point: the world point a drag is
// measured from. The record owns its copy; the application data keeps the value. False when the
// record is not the module's or the copy cannot be made.
KXDB_EXPORT bool setAlternateBasePoint(AcDbGripData* record, const AcGePoint3d& worldPoint);

// Right-click handler of every grip: builds no menu of its own and names the editor's default.
KXDB_EXPORT AcDbGripOperations::ReturnValue defaultRightClick(AcDbGripDataArray& hotGrips,
                                                              const AcDbObjectIdArray& ents,
                                                              ACHAR*& menuName, HMENU& menu,
                                                              ContextMenuItemIndexPtr& cb);

// Hot-grip function of the menu grips: a shared grip or one of several hot grips is left to the
// editor (eGripHotToo), else eOk.
KXDB_EXPORT AcDbGripOperations::ReturnValue menuHotGrip(AcDbGripData* record,
                                                        const AcDbObjectId& entId,
                                                        int contextFlags);

// Tooltip of every grip type: the description text of the grip's parameter, read from the
// definition's graph. The text is copied into storage the module keeps until the next tooltip
// (or unload), so the host may read it after every object involved has been closed or
// destroyed. Null when the record, reference, graph, grip or parameter cannot be found.
KXDB_EXPORT const ACHAR* gripTooltip(AcDbGripData* record);

// Frees what the callbacks keep between calls (the last tooltip). Run at unload.
KXDB_EXPORT void releaseCallbackState();

}  // namespace kxgrips
