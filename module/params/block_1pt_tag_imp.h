// The implementation of KxDbBlock1PtTag.
#pragma once

#include "module/params/block_1pt_tag.h"
#include "module/params/block_tag_imp.h"

class KXDB_EXPORT KxDbImpBlock1PtTag : public KxDbImpBlockTag {
    KX_DECLARE_IMP(KxDbImpBlock1PtTag, KxDbImpBlockTag)

    // The input maps through which grips feed the updated point's displacement.
    enum Input { kInputX = 0, kInputY = 1, kInputCount = 2 };

    virtual AcGePoint3d currentPoint() const { return m_currentPoint; }
    virtual Acad::ErrorStatus setCurrentPoint(const AcGePoint3d& point);
    virtual AcGePoint3d updatedPoint() const { return m_updatedPoint; }
    virtual Acad::ErrorStatus setUpdatedPoint(const AcGePoint3d& point);
    virtual AcGePoint3d definitionPoint() const { return m_definitionPoint; }
    virtual Acad::ErrorStatus setDefinitionPoint(const AcGePoint3d& point);

    // --- State for the concrete parameters ---
    KxNodeId gripId() const { return m_gripId; }
    // Asserts write.
    void setGripId(KxNodeId id);
    const KxConnectionMap& inputs(Input which) const { return m_inputs[which]; }
    // The own input connection names: "UpdatedX", "UpdatedY".
    static const ACHAR* inputName(Input which);
    // While set, setDefinitionPoint carries the grip along (set around transformBy).
    bool isMovingDefinition() const { return m_movingDefinition; }
    void setMovingDefinition(bool moving) { m_movingDefinition = moving; }

    // --- Grips: at most one, index 0 ---
    Acad::ErrorStatus detachFromGraph(KxDbTagEvalGraph* graph) override;
    Acad::ErrorStatus removeGripInGraph(int index, KxDbTagEvalGraph* graph) override;
    Acad::ErrorStatus getGripCount(int& count) const override;
    Acad::ErrorStatus setGripCount(int count) override;
    Acad::ErrorStatus getGrips(KxDbTagGripPtrArray& grips, AcDb::OpenMode mode) const override;
    Acad::ErrorStatus getGripIndex(KxNodeId gripId, int& index) const override;
    Acad::ErrorStatus placeGripsAtDefinition() override;
    Acad::ErrorStatus transformInstanceBy(const AcGeMatrix3d& xform) override;

    // --- Connections: "X", "Y", "UpdatedX", "UpdatedY", "XDelta", "YDelta" (reals); inputs
    // "UpdatedX" and "UpdatedY" ---
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

    // --- Graph hooks and evaluation ---
    Acad::ErrorStatus nodeRemoved(KxNodeId id) override;
    // Reads the grips' displacements into the updated point.
    Acad::ErrorStatus evaluate(KxDbTagEvalContext* context) override;
    // Commits the updated point as current.
    void evaluationSucceeded(bool isActive) override;

    // --- Editing as geometry ---
    Acad::ErrorStatus getGripPoints(AcGePoint3dArray& points) const override;
    Acad::ErrorStatus moveGripPointsAt(const AcDbIntArray& indices,
                                       const AcGeVector3d& offset) override;
    Acad::ErrorStatus transformBy(const AcGeMatrix3d& xform) override;

    // --- Instance data: the current point (group 10) after the header ---
    bool hasInstanceData() const override { return true; }
    Acad::ErrorStatus getInstanceData(resbuf*& chain) const override;
    Acad::ErrorStatus setInstanceData(const resbuf*& cursor, int option) override;

    Acad::ErrorStatus dwgInFields(AcDbDwgFiler* filer) override;
    Acad::ErrorStatus dwgOutFields(AcDbDwgFiler* filer) const override;
    Acad::ErrorStatus dxfInFields(AcDbDxfFiler* filer) override;
    Acad::ErrorStatus dxfOutFields(AcDbDxfFiler* filer) const override;

  protected:
    KxConnectionMap& inputsForWrite(Input which) { return m_inputs[which]; }
    // The node-id checks of the connection protocol: 450 when neither id is set or the
    // parameter is in no graph, eInvalidInput for a source id 0.
    Acad::ErrorStatus checkIds(KxNodeId sourceId) const;

  private:
    KxNodeId m_gripId = 0;
    KxConnectionMap m_inputs[kInputCount];
    AcGePoint3d m_currentPoint;
    AcGePoint3d m_updatedPoint;
    AcGePoint3d m_definitionPoint;
    bool m_movingDefinition = false;
};
