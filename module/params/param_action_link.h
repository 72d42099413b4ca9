// What a parameter asks of the actions that hang on it. An action class takes part by deriving
// its public class from KxDbParamActionLink besides its element base (the parameters find it by
// a cross-cast from the graph node they open), and answers:
// - its kind (move-like actions are the move and stretch actions; lookup actions count as
//   associated with every parameter whose values they drive);
// - the node id of the parameter it is attached to;
// - its selection sets (a parameter needs history when its actions overlap on an object);
// - whether it keeps a non-empty list of its own kind besides its selection set (a base-point
//   action's or a polar stretch's extra list), which always makes history needed;
// - a re-application of its selection sets, which a parameter asks for when its chain-actions
//   flag changes, so that the action re-checks the objects it acts on (20057 when one of the
//   sets would close a cycle of the graph).
#pragma once

#include "host/db/objectid.h"
#include "module/frame/export.h"
#include "module/graph/node_types.h"

class KxDbTagEvalExpr;

class KXDB_EXPORT KxDbParamActionLink {
  public:
    enum Kind {
        kMoveLike = 0,  // move and stretch actions
        kRotate = 1,
        kScale = 2,
        kFlip = 3,
        kPolarStretch = 4,
        kArray = 5,
        kLookup = 6,
        kOtherKind = 7
    };

    KxDbParamActionLink() = default;
    KxDbParamActionLink(const KxDbParamActionLink&) = default;
    KxDbParamActionLink& operator=(const KxDbParamActionLink&) = default;
    virtual ~KxDbParamActionLink();

    virtual Kind actionLinkKind() const = 0;
    // The node id of the parameter the action is attached to; 0 for none.
    virtual KxNodeId actionLinkParameterId() const = 0;
    // Appends every object the action acts on (all of its selection sets).
    virtual void actionLinkSelection(AcDbObjectIdArray& ids) const = 0;
    // True when the action keeps a non-empty list of its own kind besides its selection set.
    virtual bool actionLinkHasOwnList() const { return false; }
    // Writes the action's selection sets back unchanged (the action is open for write).
    virtual Acad::ErrorStatus actionLinkReapplySelection() = 0;

    // The link of a graph node, or null for a node that is no action.
    static KxDbParamActionLink* of(KxDbTagEvalExpr* node);
    static const KxDbParamActionLink* of(const KxDbTagEvalExpr* node);
    // True for the kinds that a parameter's history cares about when they overlap.
    static bool isMoveLike(Kind kind) { return kind == kMoveLike; }
};
