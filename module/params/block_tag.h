// The base of every parameter.
#pragma once

#include "module/frame/pair_macros.h"
#include "module/graph/element.h"

class KXDB_EXPORT KxDbBlockTag : public KxDbTagElement {
    KX_DECLARE_PAIR(KxDbBlockTag, KxDbTagElement)

    // Appends the names of the parameter's user-visible properties (a new property name must be
    // unique among those of the whole block).
    virtual Acad::ErrorStatus getLabelNames(AcStringArray& names) const;
};
