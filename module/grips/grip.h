// The base of every grip element. A grip says where a handle of a parameter is drawn on a block
// reference and which parameter it drives. Its position is not stored as a plain point: while it
// is in a graph it owns two grip expression nodes (one per coordinate) that read the parameter's
// updated coordinates, so the grip follows its parameter whenever the graph is evaluated. Out of
// a graph a fallback position takes their place.
//
// Connections (names compare without regard to case when listed, tested, typed and read, and
// with regard to case when connected or disconnected), all real:
//   "X", "Y"                        gripPosition; "X" and "Y" are fed by a parameter connection
//                                   (through the grip's expression nodes)
//   "DisplacementX", "DisplacementY" updatedLocation minus expressionPosition
#pragma once

#include "host/ge/point3d.h"
#include "host/ge/vector3d.h"
#include "module/frame/pair_macros.h"
#include "module/graph/element.h"

class AcDbGripData;
class KxDbBlockTag;

class KXDB_EXPORT KxDbTagGrip : public KxDbTagElement {
    KX_DECLARE_PAIR(KxDbTagGrip, KxDbTagElement)

    // expressionPosition plus gripOffset.
    virtual AcGePoint3d gripPosition() const;
    // Where the grip is after a drag (definition coordinates).
    virtual AcGePoint3d updatedLocation() const;
    virtual Acad::ErrorStatus setUpdatedLocation(const AcGePoint3d& point);
    // location minus parameterPoint.
    virtual AcGeVector3d offsetFromParameterPoint() const;
    // The offset of the drawn grip from the point its expressions give; grip types that follow a
    // turned parameter rotate it.
    virtual AcGeVector3d gripOffset() const;
    // The stored grip location.
    virtual AcGePoint3d location() const;
    virtual Acad::ErrorStatus setLocation(const AcGePoint3d& point);
    virtual bool insertionCycling() const;
    virtual Acad::ErrorStatus setInsertionCycling(bool flag);
    virtual Adesk::Int32 insertionCyclingWeight() const;
    virtual Acad::ErrorStatus setInsertionCyclingWeight(Adesk::Int32 weight);
    // Fills the host's grip record prepared by the grip overrule. The base changes nothing.
    virtual Acad::ErrorStatus fillGripData(AcDbGripData* data);
    // The index of this grip among its parameter's grips (450 without a node id; 20054 without
    // expression nodes; eWrongObjectType when the expressions do not read a parameter).
    virtual Acad::ErrorStatus gripIndex(int& index) const;

    // Sets the position: the expression values (or, out of a graph, the fallback position)
    // become point minus gripOffset.
    Acad::ErrorStatus setGripPosition(const AcGePoint3d& point);
    // The values of the two expression nodes (0 for one that cannot be read), or the fallback
    // position while the grip has no expression nodes.
    AcGePoint3d expressionPosition() const;
    // Opens the parameter the grip's X expression reads; the caller closes it. 450 without a node
    // id, 20054 without an X expression, eWrongObjectType when the target is not a parameter.
    Acad::ErrorStatus openParameter(KxDbBlockTag*& param,
                                    AcDb::OpenMode mode = AcDb::kForRead) const;
    // The parameter's definition point under this grip (origin when it cannot be found).
    AcGePoint3d parameterPoint() const;
    // The node ids of the two expression nodes; 0 while the grip is in no graph.
    KxNodeId xExpressionId() const;
    KxNodeId yExpressionId() const;
};
