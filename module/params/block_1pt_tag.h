// The base of parameters defined by one point (point, lookup, visibility, base point, user
// parameters and the properties table). The point exists three times: where it lies in the
// definition, where it lies in the reference being evaluated as last committed (current), and
// where the running evaluation asks it to be (updated). At most one grip drives it.
#pragma once

#include "host/ge/point3d.h"
#include "module/frame/pair_macros.h"
#include "module/params/block_tag.h"

class KXDB_EXPORT KxDbBlock1PtTag : public KxDbBlockTag {
    KX_DECLARE_PAIR(KxDbBlock1PtTag, KxDbBlockTag)

    virtual AcGePoint3d currentPoint() const;
    virtual Acad::ErrorStatus setCurrentPoint(const AcGePoint3d& point);
    virtual AcGePoint3d updatedPoint() const;
    virtual Acad::ErrorStatus setUpdatedPoint(const AcGePoint3d& point);
    virtual AcGePoint3d definitionPoint() const;
    // Stores the point as definition, current and updated point; while the definition is being
    // transformed the grip keeps its offset from the point.
    virtual Acad::ErrorStatus setDefinitionPoint(const AcGePoint3d& point);

    // The node id of the grip; 0 for none.
    KxNodeId gripId() const;
};
