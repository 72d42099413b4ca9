// The host system variables that steer how dynamic blocks are shown and edited, with the
// fallbacks used when the host does not know a variable, and the block-authoring display values
// forced when the module loads.
#pragma once

#include "host/core/types.h"
#include "module/frame/export.h"

namespace kxdisplay {
KXDB_EXPORT Adesk::Int16 readDynMode();        // "DYNMODE", 3 when unknown
KXDB_EXPORT Adesk::UInt16 readGripDynColor();  // "GRIPDYNCOLOR", 140 when unknown
KXDB_EXPORT bool readBtMarkDisplay();          // "BTMARKDISPLAY", false when unknown
KXDB_EXPORT Adesk::Int16 readParameterSize();  // "BPARAMETERSIZE", 12 when unknown
// Writes the block display variables the host knows; the previous values are not kept.
KXDB_EXPORT bool applyDisplayDefaults();
}  // namespace kxdisplay
