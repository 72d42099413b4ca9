// The base of every action: an element of a block definition's graph that changes the objects of
// its selection set, for one block reference, when the parameter it hangs on changes.
#pragma once

#include "host/db/objectid.h"
#include "host/ge/matrix3d.h"
#include "host/ge/point3d.h"
#include "module/frame/pair_macros.h"
#include "module/graph/element.h"
#include "module/params/param_action_link.h"

class KXDB_EXPORT KxDbTagAction : public KxDbTagElement, public KxDbParamActionLink {
    KX_DECLARE_PAIR(KxDbTagAction, KxDbTagElement)

    // A point of the action in definition coordinates (for display only).
    virtual AcGePoint3d displayLocation() const;
    virtual Acad::ErrorStatus setDisplayLocation(const AcGePoint3d& point);
    // The objects of the block definition the action changes: entities and other elements.
    virtual AcDbObjectIdArray selectionSet() const;
    // Stores the set and rebuilds the dependent elements and their graph edges. 20054 when the
    // action is in no graph; 20057 when an element of the set would close a cycle of the graph,
    // in which case the old set, dependent list and edges stay as they were.
    virtual Acad::ErrorStatus setSelectionSet(const AcDbObjectIdArray& ids);
    // The object ids of the elements of the selection set, as the graph opens them.
    virtual AcDbObjectIdArray dependentElementIds() const;
    // Opens the parameter the action hangs on: 20054 when it has none, eWrongObjectType when that
    // node is no parameter. The caller closes the object.
    virtual Acad::ErrorStatus openParameter(AcDbObject*& param, AcDb::OpenMode mode) const;
    // The node id of the parameter the action hangs on; 0 for none.
    virtual KxNodeId parameterNodeId() const;
    // Another action carries this action along as part of its selection set.
    virtual Acad::ErrorStatus transformInstanceBy(const AcGeMatrix3d& xform);

    // What the parameters ask of their actions.
    Kind actionLinkKind() const override;
    KxNodeId actionLinkParameterId() const override;
    void actionLinkSelection(AcDbObjectIdArray& ids) const override;
    bool actionLinkHasOwnList() const override;
    Acad::ErrorStatus actionLinkReapplySelection() override;
};
