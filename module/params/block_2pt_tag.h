// The base of parameters defined by a base point and an end point (linear, polar, XY, rotation,
// flip and alignment parameters). Each point exists as definition, current and updated point (see
// KxDbBlock1PtTag). Up to four grips drive it: grip 0 on the base point, grip 1 on the end point,
// grip 2 on the corner (base X, end Y), grip 3 on the corner (end X, base Y).
#pragma once

#include "host/ge/point3d.h"
#include "host/ge/vector3d.h"
#include "module/frame/pair_macros.h"
#include "module/params/block_tag.h"

class KXDB_EXPORT KxDbBlock2PtTag : public KxDbBlockTag {
    KX_DECLARE_PAIR(KxDbBlock2PtTag, KxDbBlockTag)

    // Whether dragging grip `index` moves anything: an action attached to this parameter that
    // scales, arrays, rotates or flips, or that reads a connection the grip affects. With an
    // action (open at least for read), only that action is asked about.
    virtual bool isGripUsed(int index, const KxDbTagElement* action = nullptr) const;
    // Whether grip `index` changes the value of the connection (names compared without regard to
    // case); false for an index above 3.
    virtual bool gripAffectsConnection(const ACHAR* name, int index) const;
    virtual bool grip0Affects(const ACHAR* name) const;
    virtual bool grip1Affects(const ACHAR* name) const;
    virtual bool grip2Affects(const ACHAR* name) const;
    virtual bool grip3Affects(const ACHAR* name) const;
    // 0: the parameter's base is its base point; 1: the midpoint of base and end point.
    virtual Adesk::Int16 baseLocation() const;
    virtual Acad::ErrorStatus setBaseLocation(Adesk::Int16 location);

    virtual AcGePoint3d currentBasePoint() const;
    virtual AcGePoint3d currentEndPoint() const;
    virtual double currentDistance() const;
    // Angle of current end minus current base, counter-clockwise about the reversed normal, in
    // [0, 2pi); 0 for coincident points.
    virtual double currentAngle() const;
    virtual Acad::ErrorStatus setCurrentBasePoint(const AcGePoint3d& point);
    virtual Acad::ErrorStatus setCurrentEndPoint(const AcGePoint3d& point);

    virtual AcGePoint3d updatedBasePoint() const;
    virtual AcGePoint3d updatedEndPoint() const;
    virtual double updatedDistance() const;
    virtual double updatedAngle() const;
    virtual Acad::ErrorStatus setUpdatedBasePoint(const AcGePoint3d& point);
    virtual Acad::ErrorStatus setUpdatedEndPoint(const AcGePoint3d& point);

    virtual AcGePoint3d definitionBasePoint() const;
    virtual AcGePoint3d definitionEndPoint() const;
    virtual double definitionDistance() const;
    // The plain angle of the definition's 2D vector from base to end.
    virtual double definitionAngle() const;
    // The strict forms refuse (402, nothing changed) a point equal to the other definition point.
    // The point also becomes the current and updated point; while the definition is being
    // transformed the grips keep their offsets.
    virtual Acad::ErrorStatus setDefinitionBasePoint(const AcGePoint3d& point);
    virtual Acad::ErrorStatus setDefinitionBasePoint(const AcGePoint3d& point, bool strict);
    virtual Acad::ErrorStatus setDefinitionEndPoint(const AcGePoint3d& point);
    virtual Acad::ErrorStatus setDefinitionEndPoint(const AcGePoint3d& point, bool strict);
    // The reference for angles; (0,0,-1) by default.
    virtual AcGeVector3d normal() const;

    // The node id of grip `index` (0 to 3); 0 for none.
    KxNodeId gripId(int index) const;
};
