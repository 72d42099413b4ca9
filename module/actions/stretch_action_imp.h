// The implementation of KxDbTagStretchAction.
#pragma once

#include <map>

#include "host/core/array.h"
#include "host/ge/point2d.h"
#include "host/ge/vector3d.h"
#include "module/actions/action_imp.h"
#include "module/actions/stretch_action.h"

class KXDB_EXPORT KxDbImpTagStretchAction : public KxDbImpTagAction {
    KX_DECLARE_IMP(KxDbImpTagStretchAction, KxDbImpTagAction)

    // Which stretch points of the selection set lie in the frame: entities by object id,
    // elements (parameters, base-point actions) by node id; each with ascending indices.
    typedef std::map<AcDbObjectId, AcDbIntArray> EntityPoints;
    typedef std::map<KxNodeId, AcDbIntArray> ElementPoints;

    // Works both maps out again from the frame and the selection set.
    virtual Acad::ErrorStatus rebuildStretchPoints();
    // The same work; kept as a separate entry so callers that rebuild for other reasons can be
    // told apart later.
    virtual Acad::ErrorStatus refreshStretchPoints();
    virtual AcGePoint2dArray stretchFrame() const { return m_frame; }
    virtual Acad::ErrorStatus setStretchFrame(const AcGePoint2dArray& frame);

    const EntityPoints& entityStretchPoints() const { return m_entityPoints; }
    const ElementPoints& elementStretchPoints() const { return m_elementPoints; }

    const KxActionInput& sourceX() const { return m_sourceX; }
    const KxActionInput& sourceY() const { return m_sourceY; }
    double deltaX() const { return m_deltaX; }
    double deltaY() const { return m_deltaY; }
    double distanceMultiplier() const { return m_multiplier; }
    double angleOffset() const { return m_angleOffset; }
    Adesk::UInt8 xyType() const { return m_xyType; }
    // For authoring and tests: the settings that otherwise come from filing.
    Acad::ErrorStatus setDistanceMultiplier(double multiplier);
    Acad::ErrorStatus setAngleOffset(double angle);
    Acad::ErrorStatus setXYType(Adesk::UInt8 type);
    // The displacement from the last delta values: multiplier and XY type applied, then turned
    // by the angle offset about +Z.
    AcGeVector3d displacement() const;

    KxNodeId parameterNodeId() const override { return m_sourceX.sourceId; }
    KxDbParamActionLink::Kind actionLinkKind() const override {
        return KxDbParamActionLink::kMoveLike;
    }
    void listInputs(KxActionInputRefs& inputs) override;
    Acad::ErrorStatus getInputValue(const KxActionInputRef& input,
                                    KxDbTagEvalVariant& value) const override;
    Acad::ErrorStatus setSelectionSet(const AcDbObjectIdArray& ids) override;
    bool acceptsDependent(KxNodeId nodeId) const override;
    Acad::ErrorStatus nodeRemoved(KxNodeId id) override;
    Acad::ErrorStatus evaluate(KxDbTagEvalContext* context) override;
    Acad::ErrorStatus transformInstanceBy(const AcGeMatrix3d& xform) override;
    Acad::ErrorStatus transformBy(const AcGeMatrix3d& xform) override;

    bool hasInstanceData() const override { return true; }
    Acad::ErrorStatus getInstanceData(resbuf*& chain) const override;
    Acad::ErrorStatus setInstanceData(const resbuf*& cursor, int option) override;

    Acad::ErrorStatus dwgInFields(AcDbDwgFiler* filer) override;
    Acad::ErrorStatus dwgOutFields(AcDbDwgFiler* filer) const override;
    Acad::ErrorStatus dxfInFields(AcDbDxfFiler* filer) override;
    Acad::ErrorStatus dxfOutFields(AcDbDxfFiler* filer) const override;

  private:
    Acad::ErrorStatus stretchEntities(const AcGeVector3d& v, KxDbTagEvalContext* context);
    Acad::ErrorStatus stretchElements(const AcGeVector3d& v);

    double m_deltaX = 0.0;
    double m_deltaY = 0.0;
    KxActionInput m_sourceX;
    KxActionInput m_sourceY;
    AcGePoint2dArray m_frame;
    EntityPoints m_entityPoints;
    ElementPoints m_elementPoints;
    double m_multiplier = 1.0;
    double m_angleOffset = 0.0;
    Adesk::UInt8 m_xyType = 0;
};
