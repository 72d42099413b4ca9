// The common base of parameters, actions and grips: a named connectable node with per-reference
// instance data, a state flag and geometric editing hooks.
#pragma once

#include "host/ge/matrix3d.h"
#include "host/ge/point3d.h"
#include "module/graph/eval_connectable.h"

class KXDB_EXPORT KxDbTagElement : public KxDbTagEvalConnectable {
    KX_DECLARE_PAIR(KxDbTagElement, KxDbTagEvalConnectable)

    // Connection protocol: forwarded to the implementation (whose base reports
    // eNotImplementedYet or false).
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

    // Node hooks and evaluation: forwarded to the implementation.
    Acad::ErrorStatus addedToGraph(KxDbTagEvalGraph* graph) override;
    Acad::ErrorStatus removedFromGraph(KxDbTagEvalGraph* graph) override;
    Acad::ErrorStatus nodeRemoved(KxNodeId id) override;
    Acad::ErrorStatus edgeRemoved(KxNodeId otherId) override;
    Acad::ErrorStatus edgeAdded(KxNodeId sourceId, KxNodeId targetId, bool bidirectional) override;
    Acad::ErrorStatus attachToGraph(KxDbTagEvalGraph* graph) override;
    Acad::ErrorStatus setOwnerGraph(KxDbTagEvalGraph* graph) override;
    bool evaluatesOnLoad() const override;
    void getExtraActivation(KxNodeIdArray& ids) const override;
    void beginEvaluation(bool isActive) override;
    void evaluationSucceeded(bool isActive) override;
    void evaluationFailed(bool isActive) override;
    Acad::ErrorStatus evaluate(KxDbTagEvalContext* context) override;

    virtual AcString getName() const;
    // eDuplicateKey when another element of the graph has the name without regard to case.
    virtual Acad::ErrorStatus setName(const ACHAR* name);
    virtual Acad::ErrorStatus clearElementStateFlag();
    virtual Adesk::Int32 elementStateFlag() const;
    // Instance data: per-reference values as a result-buffer chain beginning with a header.
    // Readers walk the chain through a cursor and never free items they did not allocate; the
    // cursor is left after the items read.
    virtual Acad::ErrorStatus applyInstanceData(const resbuf*& cursor);
    virtual Acad::ErrorStatus setInstanceData(const resbuf*& cursor, int option);
    virtual Adesk::Int32 instanceDataVersionMajor() const;
    virtual Adesk::Int32 instanceDataVersionMinor() const;
    virtual bool hasInstanceData() const;
    // A new chain (the caller releases it with acutRelRb).
    virtual Acad::ErrorStatus getInstanceData(resbuf*& chain) const;
    virtual void setDisplayFlag(Adesk::Int32 flag);
    virtual Adesk::Int32 displayFlag() const;
    virtual Acad::ErrorStatus getGripPoints(AcGePoint3dArray& points) const;
    virtual Acad::ErrorStatus moveGripPointsAt(const AcDbIntArray& indices,
                                               const AcGeVector3d& offset);
    virtual Acad::ErrorStatus transformBy(const AcGeMatrix3d& xform);
    virtual bool wantsHistory() const;
    virtual int historyMergeMode() const;
};
