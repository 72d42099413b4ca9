// The implementation of KxDbTagAction: the display location, the selection set with its
// dependent elements, the single-source connection protocol every action follows, and filing.
#pragma once

#include <vector>

#include "host/core/acstring.h"
#include "module/actions/action.h"
#include "module/graph/element_imp.h"
#include "module/graph/eval_variant.h"

class KxDbTagEvalContext;

// One input connection of an action: the node feeding it and that node's connection name.
// Unconnected: node 0 and an empty name.
struct KxActionInput {
    KxNodeId sourceId = 0;
    AcString sourceName;
    bool isConnected() const { return sourceId != 0 && !sourceName.isEmpty(); }
    bool isSet() const { return sourceId != 0 || !sourceName.isEmpty(); }
    void clear() {
        sourceId = 0;
        sourceName = AcString();
    }
};

// An input as an action lists it: its name, its value type, where its source pair lives, and
// whether getConnectedNodes/getConnectedConnections report it (the base-point pair is not).
struct KxActionInputRef {
    const ACHAR* name = nullptr;
    AcDb::DwgDataType type = AcDb::kDwgNull;
    KxActionInput* input = nullptr;
    bool reportedAsConnected = true;
};
typedef std::vector<KxActionInputRef> KxActionInputRefs;

class KXDB_EXPORT KxDbImpTagAction : public KxDbImpTagElement {
    KX_DECLARE_IMP(KxDbImpTagAction, KxDbImpTagElement)

    KxDbTagAction* action() const { return static_cast<KxDbTagAction*>(publicObject()); }

    virtual AcGePoint3d displayLocation() const { return m_displayLocation; }
    virtual Acad::ErrorStatus setDisplayLocation(const AcGePoint3d& point);
    virtual AcDbObjectIdArray selectionSet() const { return m_selection; }
    virtual Acad::ErrorStatus setSelectionSet(const AcDbObjectIdArray& ids);
    virtual AcDbObjectIdArray dependentElementIds() const;
    // The node ids of the elements of the selection set, in order.
    const KxNodeIdArray& dependentNodeIds() const { return m_dependents; }
    virtual Acad::ErrorStatus openParameter(AcDbObject*& param, AcDb::OpenMode mode) const;
    virtual KxNodeId parameterNodeId() const { return 0; }
    // Whether the transformation step may carry the dependent element `nodeId` along.
    virtual bool acceptsDependent(KxNodeId nodeId) const { return true; }
    virtual Acad::ErrorStatus transformInstanceBy(const AcGeMatrix3d& xform) { return Acad::eOk; }

    // What the parameters ask: the kind (other by default), the parameter, the selection, an own
    // extra list, and a re-application of the selection set (write access).
    virtual KxDbParamActionLink::Kind actionLinkKind() const {
        return KxDbParamActionLink::kOtherKind;
    }
    virtual void actionLinkSelection(AcDbObjectIdArray& ids) const;
    virtual bool actionLinkHasOwnList() const { return false; }
    virtual Acad::ErrorStatus actionLinkReapplySelection();

    // The input connections in listing order. Subclasses call their parent first, then append
    // their own; the connection operations below work from this list.
    virtual void listInputs(KxActionInputRefs& inputs);
    // The value of an input connection (the number read at the last evaluation): eInvalidInput
    // for a name that is no input. The base knows no values.
    virtual Acad::ErrorStatus getInputValue(const KxActionInputRef& input,
                                            KxDbTagEvalVariant& value) const;

    // The connection protocol over listInputs: names without regard to case when asking, with
    // regard to case when connecting and disconnecting; one source per input.
    Acad::ErrorStatus getConnectionNames(AcStringArray& names) const override;
    bool hasConnection(const ACHAR* name) const override;
    Acad::ErrorStatus getConnectionType(const ACHAR* name, AcDb::DwgDataType& kind) const override;
    Acad::ErrorStatus getConnectionValue(const ACHAR* name,
                                         KxDbTagEvalVariant& value) const override;
    Acad::ErrorStatus connectTo(const ACHAR* name, KxNodeId otherId,
                                const ACHAR* otherName) override;
    Acad::ErrorStatus disconnectFrom(const ACHAR* name, KxNodeId otherId,
                                     const ACHAR* otherName) override;
    bool canConnectTo(const ACHAR* name, KxNodeId otherId, const ACHAR* otherName) const override;
    Acad::ErrorStatus getConnectedNodes(const ACHAR* name, KxNodeIdArray& ids) const override;
    Acad::ErrorStatus getConnectedConnections(const ACHAR* name, KxNodeId nodeId,
                                              AcStringArray& names) const override;

    // A removed node: inputs it fed are cleared, it leaves the dependent list, and the state
    // flag is recomputed (the action is made writable for the moment).
    Acad::ErrorStatus nodeRemoved(KxNodeId id) override;
    bool evaluatesOnLoad() const override { return false; }
    Acad::ErrorStatus evaluate(KxDbTagEvalContext* context) override { return Acad::eOk; }
    // 2 without a parameter, plus 4 without a live object in the selection set.
    Acad::ErrorStatus clearElementStateFlag() override;

    Acad::ErrorStatus dwgInFields(AcDbDwgFiler* filer) override;
    Acad::ErrorStatus dwgOutFields(AcDbDwgFiler* filer) const override;
    Acad::ErrorStatus dxfInFields(AcDbDxfFiler* filer) override;
    Acad::ErrorStatus dxfOutFields(AcDbDxfFiler* filer) const override;

  protected:
    // True while stored instance data is being replayed: actions then change nothing.
    static bool isLoadReplay(const KxDbTagEvalContext* context);
    // Opens the graph for read and reads the current value of each input's source connection:
    // 450 when the action is in no graph, the open failure, or eWrongObjectType when a source is
    // no connectable node. Every node opened is closed; `values` gets one value per input.
    Acad::ErrorStatus readInputValues(const KxActionInput* const* inputs, int count,
                                      KxDbTagEvalVariant* values) const;
    // The transformation step (see action_transform.h) over this action's selection set.
    Acad::ErrorStatus transformSelection(const AcGeMatrix3d& xform, KxDbTagEvalContext* context);

  private:
    const KxActionInputRef* findInput(const KxActionInputRefs& inputs, const ACHAR* name,
                                      bool ignoreCase) const;
    Acad::ErrorStatus checkConnect(const ACHAR* name, KxNodeId otherId, const ACHAR* otherName,
                                   bool forChange) const;
    Acad::ErrorStatus removeDependencyEdges();
    Acad::ErrorStatus restoreDependencies(const KxNodeIdArray& oldDependents);

    AcGePoint3d m_displayLocation;
    AcDbObjectIdArray m_selection;
    KxNodeIdArray m_dependents;
};
