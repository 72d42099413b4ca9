// Carries the graphs and per-reference records of dynamic blocks through copies between and
// within drawings.
#pragma once

#include "host/rx/services.h"
#include "module/frame/export.h"

class KXDB_EXPORT KxDbRootDataRxEventReactor : public AcRxEventReactor {};
