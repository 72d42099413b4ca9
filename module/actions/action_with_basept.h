// The base of the actions that work about a base point (scale, rotate).
#pragma once

#include "host/ge/vector3d.h"
#include "module/actions/action.h"
#include "module/frame/pair_macros.h"

class KXDB_EXPORT KxDbTagActionWithBasePt : public KxDbTagAction {
    KX_DECLARE_PAIR(KxDbTagActionWithBasePt, KxDbTagAction)

    virtual AcGePoint3d basePoint() const;
    // eInvalidInput while the point follows its "BaseX"/"BaseY" connections.
    virtual Acad::ErrorStatus setBasePoint(const AcGePoint3d& point);
    // True: the base point follows the "BaseX"/"BaseY" connections.
    virtual bool isDependent() const;
    // Making the action independent keeps the point it has.
    virtual Acad::ErrorStatus setDependent(bool dependent);
    // Added to the base point to give the centre of the change.
    virtual AcGeVector3d baseOffset() const;
    virtual Acad::ErrorStatus setBaseOffset(const AcGeVector3d& offset);
};
