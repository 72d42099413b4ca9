// The stretch action: moves the objects of its selection set like the move action, except that
// objects with stretch points inside its frame have only those points moved.
#pragma once

#include "host/ge/point2d.h"
#include "module/actions/action.h"
#include "module/frame/pair_macros.h"

class KXDB_EXPORT KxDbTagStretchAction : public KxDbTagAction {
    KX_DECLARE_PAIR(KxDbTagStretchAction, KxDbTagAction)

    // The frame polygon in the definition's XY plane.
    virtual AcGePoint2dArray stretchFrame() const;
    // Stores the frame and, when it differs from the old one, works out again which stretch
    // points of the selection set lie in it; returns the failure of that when there is one.
    virtual Acad::ErrorStatus setStretchFrame(const AcGePoint2dArray& frame);
};
