// kxblock classes: the run-time classes the plug-in registers, and a check that unloading it
// removes everything loading it added.
#pragma once

#include <iosfwd>

namespace kxtool {
int runClasses(bool json, std::ostream& out, std::ostream& err);
}
