// The drawing format's class names of the element classes, and the two hashes of such a name that
// open the header of an element's instance data. The hashes tie stored instance data to the class
// that wrote it.
#pragma once

#include "host/core/types.h"
#include "module/frame/export.h"

// The drawing format's class name of a module class, looked up without regard to case; null for
// a class that has none (it then hashes to 0 and 0).
KXDB_EXPORT const ACHAR* kxDrawingClassName(const ACHAR* moduleClassName);

// The forward and backward polynomial hashes of a drawing-format class name; 0 and 0 for a null
// or empty name.
KXDB_EXPORT void kxClassNameHashes(const ACHAR* drawingClassName, Adesk::Int32& forward,
                                   Adesk::Int32& backward);
