// The module-wide services installed at load and removed at unload.
#pragma once

#include "module/frame/export.h"

class KxDbRootDataRxEventReactor;
class KxDbNimbleBlockGripOverrule;
class KxGiNimbleBlockDrawableOverrule;
class KxDbImpTagRepresentationEquivalence;

namespace kxframe {

struct ModuleServices {
    KxDbRootDataRxEventReactor* eventReactor = nullptr;
    KxDbNimbleBlockGripOverrule* gripOverrule = nullptr;
    KxGiNimbleBlockDrawableOverrule* drawableOverrule = nullptr;
};

// Null while the module is not loaded, or when the holder could not be allocated.
KXDB_EXPORT ModuleServices* moduleServices();
KXDB_EXPORT KxDbImpTagRepresentationEquivalence* equivalenceReactor();

void load(void* appId);
void unload(void* appId);

}  // namespace kxframe
