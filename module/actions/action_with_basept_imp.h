// The implementation of KxDbTagActionWithBasePt: the base point, its "BaseX"/"BaseY" inputs,
// the dependent flag and the base offset.
#pragma once

#include "host/ge/vector3d.h"
#include "module/actions/action_imp.h"
#include "module/actions/action_with_basept.h"

class KXDB_EXPORT KxDbImpTagActionWithBasePt : public KxDbImpTagAction {
    KX_DECLARE_IMP(KxDbImpTagActionWithBasePt, KxDbImpTagAction)

    virtual AcGePoint3d basePoint() const { return m_basePoint; }
    virtual Acad::ErrorStatus setBasePoint(const AcGePoint3d& point);
    virtual bool isDependent() const { return m_dependent; }
    virtual Acad::ErrorStatus setDependent(bool dependent);
    virtual AcGeVector3d baseOffset() const { return m_baseOffset; }
    virtual Acad::ErrorStatus setBaseOffset(const AcGeVector3d& offset);

    // "BaseX" and "BaseY" (reals), not reported by getConnectedNodes.
    void listInputs(KxActionInputRefs& inputs) override;
    Acad::ErrorStatus getInputValue(const KxActionInputRef& input,
                                    KxDbTagEvalVariant& value) const override;
    // A dependent action in a graph with both inputs connected takes its base point from them.
    // Concrete actions call this first.
    Acad::ErrorStatus evaluate(KxDbTagEvalContext* context) override;
    Acad::ErrorStatus transformInstanceBy(const AcGeMatrix3d& xform) override;
    bool actionLinkHasOwnList() const override { return false; }

    Acad::ErrorStatus getGripPoints(AcGePoint3dArray& points) const override;
    Acad::ErrorStatus moveGripPointsAt(const AcDbIntArray& indices,
                                       const AcGeVector3d& offset) override;
    Acad::ErrorStatus transformBy(const AcGeMatrix3d& xform) override;

    bool hasInstanceData() const override { return true; }
    Acad::ErrorStatus getInstanceData(resbuf*& chain) const override;
    Acad::ErrorStatus setInstanceData(const resbuf*& cursor, int option) override;

    Acad::ErrorStatus dwgInFields(AcDbDwgFiler* filer) override;
    Acad::ErrorStatus dwgOutFields(AcDbDwgFiler* filer) const override;
    Acad::ErrorStatus dxfInFields(AcDbDxfFiler* filer) override;
    Acad::ErrorStatus dxfOutFields(AcDbDxfFiler* filer) const override;

  private:
    AcGePoint3d m_basePoint;
    KxActionInput m_baseX;
    KxActionInput m_baseY;
    bool m_dependent = true;
    AcGeVector3d m_baseOffset;
};
