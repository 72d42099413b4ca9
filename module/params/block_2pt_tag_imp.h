// The implementation of KxDbBlock2PtTag.
#pragma once

#include "module/params/block_2pt_tag.h"
#include "module/params/block_tag_imp.h"

class KXDB_EXPORT KxDbImpBlock2PtTag : public KxDbImpBlockTag {
    KX_DECLARE_IMP(KxDbImpBlock2PtTag, KxDbImpBlockTag)

    static constexpr int kMaxGrips = 4;
    // The input maps through which grips feed the updated points' displacements.
    enum Input { kBaseX = 0, kBaseY = 1, kEndX = 2, kEndY = 3, kInputCount = 4 };

    virtual bool isGripUsed(int index, const KxDbTagElement* action) const;
    virtual bool gripAffectsConnection(const ACHAR* name, int index) const;
    virtual bool grip0Affects(const ACHAR* name) const;
    virtual bool grip1Affects(const ACHAR* name) const;
    virtual bool grip2Affects(const ACHAR* name) const;
    virtual bool grip3Affects(const ACHAR* name) const;
    virtual Adesk::Int16 baseLocation() const { return m_baseLocation; }
    virtual Acad::ErrorStatus setBaseLocation(Adesk::Int16 location);
    virtual AcGePoint3d currentBasePoint() const { return m_currentBase; }
    virtual AcGePoint3d currentEndPoint() const { return m_currentEnd; }
    virtual double currentDistance() const;
    virtual double currentAngle() const;
    virtual Acad::ErrorStatus setCurrentBasePoint(const AcGePoint3d& point);
    virtual Acad::ErrorStatus setCurrentEndPoint(const AcGePoint3d& point);
    virtual AcGePoint3d updatedBasePoint() const { return m_updatedBase; }
    virtual AcGePoint3d updatedEndPoint() const { return m_updatedEnd; }
    virtual double updatedDistance() const;
    virtual double updatedAngle() const;
    virtual Acad::ErrorStatus setUpdatedBasePoint(const AcGePoint3d& point);
    virtual Acad::ErrorStatus setUpdatedEndPoint(const AcGePoint3d& point);
    virtual AcGePoint3d definitionBasePoint() const { return m_definitionBase; }
    virtual AcGePoint3d definitionEndPoint() const { return m_definitionEnd; }
    virtual double definitionDistance() const;
    virtual double definitionAngle() const;
    virtual Acad::ErrorStatus setDefinitionBasePoint(const AcGePoint3d& point);
    virtual Acad::ErrorStatus setDefinitionBasePoint(const AcGePoint3d& point, bool strict);
    virtual Acad::ErrorStatus setDefinitionEndPoint(const AcGePoint3d& point);
    virtual Acad::ErrorStatus setDefinitionEndPoint(const AcGePoint3d& point, bool strict);
    virtual AcGeVector3d normal() const { return m_normal; }

    // --- State for the concrete parameters ---
    // The node id of grip `index`; 0 for none or an index outside 0..3.
    KxNodeId gripId(int index) const;
    // Asserts write; an index outside 0..3 is ignored.
    void setGripId(int index, KxNodeId id);
    const KxConnectionMap& inputs(Input which) const { return m_inputs[which]; }
    // The own input connection names: "UpdatedBaseX", "UpdatedBaseY", "UpdatedEndX",
    // "UpdatedEndY".
    static const ACHAR* inputName(Input which);
    // The two input maps grip `index` drives (X map first); false for an index outside 0..3.
    static bool gripInputs(int index, Input& xInput, Input& yInput);
    // Asserts write.
    void setNormal(const AcGeVector3d& normal);
    // While set, setDefinitionBasePoint/EndPoint carry the grips along (set around transformBy).
    bool isMovingDefinition() const { return m_movingDefinition; }
    void setMovingDefinition(bool moving) { m_movingDefinition = moving; }
    // While set, transformInstanceBy moves the updated points only (moving through "Origin").
    bool isMovingAsWhole() const { return m_movingAsWhole; }
    void setMovingAsWhole(bool moving) { m_movingAsWhole = moving; }
    // The angle of a vector in the parameter's plane, counter-clockwise about the reversed normal
    // from the X axis, in [0, 2pi); 0 for a vector of length at most 1e-10.
    double angleOf(const AcGeVector3d& v) const;

    // --- Grips ---
    Acad::ErrorStatus detachFromGraph(KxDbTagEvalGraph* graph) override;
    Acad::ErrorStatus removeGripInGraph(int index, KxDbTagEvalGraph* graph) override;
    Acad::ErrorStatus gripDeleted(int index) override;
    Acad::ErrorStatus getGripCount(int& count) const override;
    Acad::ErrorStatus setGripCount(int count) override;
    Acad::ErrorStatus getGrips(KxDbTagGripPtrArray& grips, AcDb::OpenMode mode) const override;
    Acad::ErrorStatus getGripIndex(KxNodeId gripId, int& index) const override;
    Acad::ErrorStatus placeGripsAtDefinition() override;
    Acad::ErrorStatus transformInstanceBy(const AcGeMatrix3d& xform) override;

    // --- The "Origin" property ---
    Acad::ErrorStatus getPropertyDescriptions(KxDbBlockPropertyDescArray& descs) const override;
    Acad::ErrorStatus getPropertyValueTransformed(const ACHAR* name, const AcGeMatrix3d& xform,
                                                  KxDbTagEvalVariant& value) const override;
    Acad::ErrorStatus getPropertyValue(const ACHAR* name, KxDbTagEvalVariant& value) const override;
    Acad::ErrorStatus setPropertyValueTransformed(const ACHAR* name, const AcGeMatrix3d& xform,
                                                  const KxDbTagEvalVariant& value) override;
    Acad::ErrorStatus setPropertyValue(const ACHAR* name, const KxDbTagEvalVariant& value) override;

    // --- Connections (see the table in the source); inputs "UpdatedBaseX", "UpdatedBaseY",
    // "UpdatedEndX", "UpdatedEndY" ---
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
    Acad::ErrorStatus evaluate(KxDbTagEvalContext* context) override;
    void evaluationSucceeded(bool isActive) override;

    // --- Editing as geometry ---
    Acad::ErrorStatus getGripPoints(AcGePoint3dArray& points) const override;
    Acad::ErrorStatus moveGripPointsAt(const AcDbIntArray& indices,
                                       const AcGeVector3d& offset) override;
    Acad::ErrorStatus transformBy(const AcGeMatrix3d& xform) override;

    // --- Instance data: current base, current end and normal (groups 10) after the header ---
    bool hasInstanceData() const override { return true; }
    Acad::ErrorStatus getInstanceData(resbuf*& chain) const override;
    Acad::ErrorStatus setInstanceData(const resbuf*& cursor, int option) override;

    Acad::ErrorStatus dwgInFields(AcDbDwgFiler* filer) override;
    Acad::ErrorStatus dwgOutFields(AcDbDwgFiler* filer) const override;
    Acad::ErrorStatus dxfInFields(AcDbDxfFiler* filer) override;
    Acad::ErrorStatus dxfOutFields(AcDbDxfFiler* filer) const override;

  protected:
    KxConnectionMap& inputsForWrite(Input which) { return m_inputs[which]; }
    // Carries grip `index` from its position relative to `oldNominal` to the same position
    // relative to `newNominal` (when the definition is moving). Sets `offsetZero` when the grip's
    // offset from its nominal position has zero length. eOk for a missing grip.
    Acad::ErrorStatus carryGrip(int index, const AcGePoint3d& oldNominal,
                                const AcGePoint3d& newNominal, bool* offsetZero);

  private:
    KxNodeId m_gripIds[kMaxGrips] = {0, 0, 0, 0};
    KxConnectionMap m_inputs[kInputCount];
    Adesk::Int16 m_baseLocation = 0;
    bool m_movingAsWhole = false;
    AcGePoint3d m_currentBase;
    AcGePoint3d m_currentEnd;
    AcGePoint3d m_updatedBase;
    AcGePoint3d m_updatedEnd;
    AcGePoint3d m_definitionBase{2.2250738585072009e-308, 2.2250738585072009e-308, 0.0};
    AcGePoint3d m_definitionEnd{1.7976931348623157e+308, 1.7976931348623157e+308, 0.0};
    AcGeVector3d m_normal{0.0, 0.0, -1.0};
    bool m_movingDefinition = false;
};
