// User-visible labels: names of parameters, actions, grips, flip states and value-set kinds,
// stored as string resources of the module.
#pragma once

#include "host/core/acstring.h"
#include "module/frame/export.h"

namespace kxdisplay {
// The text of a label id; empty for an id the module does not have (or before it is loaded).
KXDB_EXPORT AcString loadLabel(unsigned id);
// The module's own handle, as the host gave it at load; its resources are found through it.
KXDB_EXPORT void setModuleInstance(HINSTANCE instance);
KXDB_EXPORT HINSTANCE moduleInstance();
}  // namespace kxdisplay
