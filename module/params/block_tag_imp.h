// The implementation of KxDbBlockTag.
#pragma once

#include "module/graph/element_imp.h"
#include "module/params/block_tag.h"
#include "module/params/property_desc.h"

class KXDB_EXPORT KxDbImpBlockTag : public KxDbImpTagElement {
    KX_DECLARE_IMP(KxDbImpBlockTag, KxDbImpTagElement)

    // State flag bit 0: no action is associated with the parameter.
    static constexpr Adesk::Int32 kNoActionFlag = 0x1;

    KxDbBlockTag* parameter() const { return static_cast<KxDbBlockTag*>(publicObject()); }

    // The parameter leaves its graph (run from removedFromGraph, while it still has its node
    // id): parameters with grips remove them first.
    virtual Acad::ErrorStatus detachFromGraph(KxDbTagEvalGraph* graph);
    virtual Acad::ErrorStatus addGrip(int index, KxNodeId& gripId, KxDbTagEvalGraph* graph);
    // Opens the owning graph for write and runs removeGripInGraph.
    virtual Acad::ErrorStatus removeGrip(int index);
    virtual Acad::ErrorStatus removeGripInGraph(int index, KxDbTagEvalGraph* graph);
    virtual Acad::ErrorStatus gripDeleted(int index);
    virtual Acad::ErrorStatus getGripCount(int& count) const;
    virtual Acad::ErrorStatus setGripCount(int count);
    virtual Acad::ErrorStatus getGrips(KxDbTagGripPtrArray& grips, AcDb::OpenMode mode) const;
    virtual Acad::ErrorStatus getGripIndex(KxNodeId gripId, int& index) const;
    virtual Acad::ErrorStatus placeGripsAtDefinition();
    virtual Acad::ErrorStatus transformInstanceBy(const AcGeMatrix3d& xform);
    virtual bool showProperties() const { return m_showProperties; }
    virtual Acad::ErrorStatus setShowProperties(bool show);
    virtual bool chainActions() const { return m_chainActions; }
    virtual Acad::ErrorStatus setChainActions(bool chain);
    virtual Acad::ErrorStatus getPropertyDescriptions(KxDbBlockPropertyDescArray& descs) const;
    virtual Acad::ErrorStatus getPropertyValueTransformed(const ACHAR* name,
                                                          const AcGeMatrix3d& xform,
                                                          KxDbTagEvalVariant& value) const;
    virtual Acad::ErrorStatus getPropertyValue(const ACHAR* name, KxDbTagEvalVariant& value) const;
    virtual Acad::ErrorStatus setPropertyValueTransformed(const ACHAR* name,
                                                          const AcGeMatrix3d& xform,
                                                          const KxDbTagEvalVariant& value);
    virtual Acad::ErrorStatus setPropertyValue(const ACHAR* name, const KxDbTagEvalVariant& value);
    virtual Acad::ErrorStatus getPropertyConnectionName(const ACHAR* name,
                                                        AcString& connectionName) const;
    virtual Acad::ErrorStatus getLabelNames(AcStringArray& names) const { return Acad::eOk; }
    virtual AcString descriptionText() const { return AcString(); }
    // Takes the parameter's property values from the lookup action that is the parameter's only
    // live input, if it is one (run at the start of each evaluation of a point parameter).
    virtual Acad::ErrorStatus pullLookupValues();

    Acad::ErrorStatus validatePropertyName(const ACHAR* oldName, const ACHAR* newName) const;

    // Element operations.
    Acad::ErrorStatus removedFromGraph(KxDbTagEvalGraph* graph) override;
    // Recomputes bit 0 (no associated action) after the element's own handling.
    Acad::ErrorStatus clearElementStateFlag() override;
    // An edge that goes may have been the last action on the parameter, or the one a grip
    // drove: the flags are recomputed as when an edge comes.
    Acad::ErrorStatus edgeRemoved(KxNodeId otherId) override;
    // Whether the actions hanging on the parameter overlap so that a reference's history is
    // needed: an object acted on by two of its actions, one of them not a move or stretch, or an
    // action with a non-empty list of its own kind.
    bool wantsHistory() const override;

    Acad::ErrorStatus dwgInFields(AcDbDwgFiler* filer) override;
    Acad::ErrorStatus dwgOutFields(AcDbDwgFiler* filer) const override;
    Acad::ErrorStatus dxfInFields(AcDbDxfFiler* filer) override;
    Acad::ErrorStatus dxfOutFields(AcDbDxfFiler* filer) const override;

  protected:
    // True when the graph has an action attached to this parameter (or a lookup action) among
    // the targets of the parameter's outgoing edges. `graph` is open.
    bool hasAssociatedAction(const KxDbTagEvalGraph* graph) const;
    // True when the parameter is no longer a live node of `graph`: it is being removed for good.
    // A graph that tells its nodes they leave it while it moves them elsewhere (into a database)
    // still holds them, and their grips must stay.
    bool hasLeftGraph(const KxDbTagEvalGraph* graph) const;
    // The modification guard: runs `work` with the public object writable, upgrading a read or
    // notify open for the moment and putting it back after. False (nothing run) when the object
    // cannot be made writable or is erased.
    template <class Work>
    bool runWritable(Work work);
    bool makeWritable(int& how);
    void restoreOpen(int how);

    // Removes a grip node from the graph and disposes of it: a resident grip is erased, a grip
    // held in memory deleted. The graph is open for write.
    static Acad::ErrorStatus removeGripNode(KxDbTagEvalGraph* graph, KxNodeId gripId);

    // --- Shared by the point parameters, whose inputs are connection maps chosen by name ---
    // Takes the lookup values, then reads the displacement each of the `count` maps feeds in the
    // running evaluation (`found[i]` false when none of the map's sources is live). 450 outside a
    // graph.
    Acad::ErrorStatus readInputDisplacements(const KxConnectionMap* inputs, int count,
                                             double* displacements, bool* found);
    // The nodes, or their connection names, feeding a named connection: eInvalidInput when the
    // name is no connection of the parameter (`isConnection` false); a connection that is no
    // input (`inputs` null) has none.
    static Acad::ErrorStatus connectedNodesOf(bool isConnection, const KxConnectionMap* inputs,
                                              KxNodeIdArray& ids);
    static Acad::ErrorStatus connectedConnectionsOf(bool isConnection,
                                                    const KxConnectionMap* inputs, KxNodeId nodeId,
                                                    AcStringArray& names);

    // Walks the actions of the graph asking each to re-apply its selection sets (chain actions).
    Acad::ErrorStatus reapplyActionSelections(KxDbTagEvalGraph* graph) const;

  private:
    bool m_showProperties = true;
    bool m_chainActions = false;
};

template <class Work>
bool KxDbImpBlockTag::runWritable(Work work) {
    int how = 0;
    if (!makeWritable(how)) {
        return false;
    }
    work();
    restoreOpen(how);
    return true;
}
