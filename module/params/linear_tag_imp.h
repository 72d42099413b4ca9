// The implementation of KxDbBlockLinearTag.
#pragma once

#include "host/core/acstring.h"
#include "module/params/block_2pt_tag_imp.h"
#include "module/params/linear_tag.h"
#include "module/params/value_set.h"

class KXDB_EXPORT KxDbImpBlockLinearTag : public KxDbImpBlock2PtTag {
  public:
    explicit KxDbImpBlockLinearTag(AcDbObjectWrapper* pub);
    ~KxDbImpBlockLinearTag() override = default;

    // State flag bit 5: a grip of the parameter drives nothing.
    static constexpr Adesk::Int32 kIdleGripFlag = 0x20;
    // Label ids: the default distance name and the names of the two grips.
    static constexpr unsigned kDistanceLabel = 1128;
    static constexpr unsigned kBaseGripLabel = 1130;
    static constexpr unsigned kEndGripLabel = 1131;

    KxDbBlockLinearTag* linear() const { return static_cast<KxDbBlockLinearTag*>(publicObject()); }

    virtual AcString distanceName() const { return m_distanceName; }
    virtual Acad::ErrorStatus setDistanceName(const ACHAR* name);
    virtual AcString distanceDescription() const { return m_distanceDescription; }
    virtual Acad::ErrorStatus setDistanceDescription(const ACHAR* description);
    virtual Acad::ErrorStatus setUpdatedDistance(double distance);
    virtual double labelValue() const { return m_labelValue; }
    virtual Acad::ErrorStatus setLabelValue(double value);

    const KxDbBlockTagValueSet& valueSet() const { return m_valueSet; }
    Acad::ErrorStatus setValueSet(const KxDbBlockTagValueSet& valueSet);

    // --- Grips: 0 on the base point, 1 on the end point ---
    Acad::ErrorStatus addGrip(int index, KxNodeId& gripId, KxDbTagEvalGraph* graph) override;
    Acad::ErrorStatus removeGripInGraph(int index, KxDbTagEvalGraph* graph) override;
    Acad::ErrorStatus setGripCount(int count) override;

    // --- Inputs come from linear grips only ---
    Acad::ErrorStatus connectTo(const ACHAR* name, KxNodeId otherId,
                                const ACHAR* otherName) override;
    Acad::ErrorStatus disconnectFrom(const ACHAR* name, KxNodeId otherId,
                                     const ACHAR* otherName) override;
    bool canConnectTo(const ACHAR* name, KxNodeId otherId, const ACHAR* otherName) const override;

    // Stored instance data being applied needs no evaluation of the grips' displacements.
    Acad::ErrorStatus evaluate(KxDbTagEvalContext* context) override;

    // --- Points constrained by the value set ---
    Acad::ErrorStatus setUpdatedBasePoint(const AcGePoint3d& point) override;
    Acad::ErrorStatus setUpdatedEndPoint(const AcGePoint3d& point) override;
    // The strict forms turn the grips to the new direction of the parameter.
    Acad::ErrorStatus setDefinitionBasePoint(const AcGePoint3d& point) override;
    Acad::ErrorStatus setDefinitionBasePoint(const AcGePoint3d& point, bool strict) override;
    Acad::ErrorStatus setDefinitionEndPoint(const AcGePoint3d& point) override;
    Acad::ErrorStatus setDefinitionEndPoint(const AcGePoint3d& point, bool strict) override;

    // --- The distance property, then "Origin" ---
    Acad::ErrorStatus getPropertyDescriptions(KxDbBlockPropertyDescArray& descs) const override;
    Acad::ErrorStatus getPropertyValueTransformed(const ACHAR* name, const AcGeMatrix3d& xform,
                                                  KxDbTagEvalVariant& value) const override;
    Acad::ErrorStatus getPropertyValue(const ACHAR* name, KxDbTagEvalVariant& value) const override;
    Acad::ErrorStatus setPropertyValueTransformed(const ACHAR* name, const AcGeMatrix3d& xform,
                                                  const KxDbTagEvalVariant& value) override;
    Acad::ErrorStatus setPropertyValue(const ACHAR* name, const KxDbTagEvalVariant& value) override;
    Acad::ErrorStatus getLabelNames(AcStringArray& names) const override;

    // Recomputes bit 5 (a grip that drives nothing) after the parameter base's bits.
    Acad::ErrorStatus clearElementStateFlag() override;

    Acad::ErrorStatus dwgInFields(AcDbDwgFiler* filer) override;
    Acad::ErrorStatus dwgOutFields(AcDbDwgFiler* filer) const override;
    Acad::ErrorStatus dxfInFields(AcDbDxfFiler* filer) override;
    Acad::ErrorStatus dxfOutFields(AcDbDxfFiler* filer) const override;

  private:
    // Points each grip away from the other point of the definition.
    void orientGrips();
    // Whether the node is a linear grip (false when it cannot be opened).
    bool isLinearGrip(KxNodeId id) const;
    // The requested length of a midpoint parameter dragged `dragged` away from its other end.
    double symmetricLength(double dragged) const;
    // Centres the parameter on its present midpoint with length `length`, the dragged end
    // pointing towards `dragged`.
    Acad::ErrorStatus recentre(const AcGePoint3d& dragged, double length, bool baseDragged);
    // A request for the base (or end) point: refused past the other end, re-centred in midpoint
    // mode, otherwise the requested point when the value set allows its distance, else the
    // nearest allowed distance along the parameter's axis.
    Acad::ErrorStatus constrainPoint(const AcGePoint3d& requested, bool baseDragged);

    KxDbBlockTagValueSet m_valueSet;
    AcString m_distanceName;
    AcString m_distanceDescription;
    double m_labelValue = 0.0;
};
