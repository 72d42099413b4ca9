// The grip of a linear parameter: a drag is projected onto the parameter's line, and the grip
// keeps its offset from the parameter when the parameter is turned. Its X and Y connect only to
// a linear parameter.
#pragma once

#include "host/ge/point3d.h"
#include "host/ge/vector3d.h"
#include "module/frame/pair_macros.h"
#include "module/grips/grip.h"

class KXDB_EXPORT KxDbTagLinearGrip : public KxDbTagGrip {
    KX_DECLARE_PAIR(KxDbTagLinearGrip, KxDbTagGrip)

    // A grip with that name, whose location, updated location and fallback position are the
    // point (how a parameter creates its grips).
    KxDbTagLinearGrip(const ACHAR* name, const AcGePoint3d& point);

    // The direction the grip points to (drawn glyph); default (1, 0, 0).
    virtual AcGeVector3d orientation() const;
    virtual Acad::ErrorStatus setOrientation(const AcGeVector3d& direction);
};
