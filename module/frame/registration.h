// Registration of the module's run-time classes with the host's class system.
#pragma once

namespace kxframe {
// Registers every class in order (applying the display defaults midway). A class already
// registered by this module is reused; a name registered by anyone else stops the process.
void registerClasses();
// Deletes every class descriptor in the reverse of the registration order and clears the
// cached descriptors, so nothing stale survives an unload.
void unregisterClasses();
// Number of classes the module registers.
int classCount();
}  // namespace kxframe
