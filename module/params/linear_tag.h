// The linear parameter: a distance measured along the line from its base point to its end point.
// Its grips (a KxDbTagLinearGrip on the base point and one on the end point) and its distance
// property change the distance; a value set restricts the distances allowed, and a requested
// distance that is not allowed becomes the nearest allowed one along the parameter's current
// axis. With base location 1 the parameter keeps its midpoint: both ends move symmetrically.
//
// Connections are those of the two-point base; actions read "Distance", "UpdatedDistance" and
// "DistanceDelta".
#pragma once

#include "host/core/acstring.h"
#include "module/frame/pair_macros.h"
#include "module/params/block_2pt_tag.h"
#include "module/params/value_set.h"

class KXDB_EXPORT KxDbBlockLinearTag : public KxDbBlock2PtTag {
    KX_DECLARE_PAIR(KxDbBlockLinearTag, KxDbBlock2PtTag)

    // The name under which the distance is offered as a property (by default the label
    // "distance"). Setting it fails with eDuplicateKey when another parameter of the block
    // already uses the name.
    virtual AcString distanceName() const;
    virtual Acad::ErrorStatus setDistanceName(const ACHAR* name);
    virtual AcString distanceDescription() const;
    virtual Acad::ErrorStatus setDistanceDescription(const ACHAR* description);
    // Asks for a new distance along the present direction of the parameter; the value set and
    // the base location apply as for a dragged end point.
    virtual Acad::ErrorStatus setUpdatedDistance(double distance);
    // A value filed with the parameter for other applications.
    virtual double labelValue() const;
    virtual Acad::ErrorStatus setLabelValue(double value);

    // The allowed distances (a copy).
    KxDbBlockTagValueSet valueSet() const;
    Acad::ErrorStatus setValueSet(const KxDbBlockTagValueSet& valueSet);
};
