// A per-reference record of a dynamic block reference: a version and a hard pointer to the
// object it keeps. The module makes these only when reading drawings and never follows the
// pointer; it files them faithfully so that drawings keep them through a save.
#pragma once

#include "module/frame/pair_macros.h"

class KXDB_EXPORT KxDbTagRepresentationData : public AcDbObjectWrapper {
    KX_DECLARE_PAIR(KxDbTagRepresentationData, AcDbObjectWrapper)

    // The only layout there is.
    static constexpr Adesk::Int16 kCurrentVersion = 1;

    Adesk::Int16 version() const;
    // The object the record points at (hard pointer); null initially.
    AcDbObjectId dataId() const;
    Acad::ErrorStatus setDataId(AcDbObjectId id);
};
