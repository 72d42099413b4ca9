// The implementation of KxDbTagMoveAction, and the delta inputs and settings that the move and
// stretch actions share.
#pragma once

#include "host/ge/vector3d.h"
#include "module/actions/action_imp.h"
#include "module/actions/move_action.h"

// "DeltaX"/"DeltaY" with their last values, the distance multiplier, the angle offset and the XY
// type (0: X and Y, 1: X only, 2: Y only, other values as 0).
class KXDB_EXPORT KxMoveDelta {
  public:
    double deltaX = 0.0;
    double deltaY = 0.0;
    KxActionInput sourceX;
    KxActionInput sourceY;
    double multiplier = 1.0;
    double angleOffset = 0.0;
    Adesk::UInt8 xyType = 0;

    // Appends "DeltaX" and "DeltaY" (reals).
    void listInputs(KxActionInputRefs& inputs);
    // The last value of "DeltaX"/"DeltaY" (names without regard to case); false for other names.
    bool inputValue(const ACHAR* name, KxDbTagEvalVariant& value) const;
    bool isConnected() const { return sourceX.isConnected() && sourceY.isConnected(); }
    // Clears the inputs fed by `nodeId`; true when one was cleared.
    bool clearSource(KxNodeId nodeId);
    // The move vector from the last values: the multiplier and XY type applied, then turned by
    // the angle offset about +Z.
    AcGeVector3d vector() const;
    // The angle offset after the action is carried along by `xform` (a mirroring negates it).
    double carriedAngleOffset(const AcGeMatrix3d& xform) const;

    // The seven filed values after the action's own (not for id, id-translation and purge
    // filers). The reader returns the first failure of the filer.
    Acad::ErrorStatus dwgOut(AcDbDwgFiler* filer) const;
    Acad::ErrorStatus dwgIn(AcDbDwgFiler* filer);
    // The groups after the subclass marker; the reader stops at a foreign group (pushed back)
    // and needs all seven groups.
    Acad::ErrorStatus dxfOut(AcDbDxfFiler* filer) const;
    Acad::ErrorStatus dxfIn(AcDbDxfFiler* filer);
};

class KXDB_EXPORT KxDbImpTagMoveAction : public KxDbImpTagAction {
    KX_DECLARE_IMP(KxDbImpTagMoveAction, KxDbImpTagAction)

    const KxMoveDelta& delta() const { return m_delta; }
    // For authoring and tests: the settings that otherwise come from filing.
    Acad::ErrorStatus setMultiplier(double multiplier);
    Acad::ErrorStatus setAngleOffset(double angle);
    Acad::ErrorStatus setXYType(Adesk::UInt8 type);

    KxNodeId parameterNodeId() const override { return m_delta.sourceX.sourceId; }
    KxDbParamActionLink::Kind actionLinkKind() const override {
        return KxDbParamActionLink::kMoveLike;
    }
    void listInputs(KxActionInputRefs& inputs) override;
    Acad::ErrorStatus getInputValue(const KxActionInputRef& input,
                                    KxDbTagEvalVariant& value) const override;
    Acad::ErrorStatus evaluate(KxDbTagEvalContext* context) override;
    Acad::ErrorStatus transformInstanceBy(const AcGeMatrix3d& xform) override;

    bool hasInstanceData() const override { return true; }
    Acad::ErrorStatus getInstanceData(resbuf*& chain) const override;
    Acad::ErrorStatus setInstanceData(const resbuf*& cursor, int option) override;

    Acad::ErrorStatus dwgInFields(AcDbDwgFiler* filer) override;
    Acad::ErrorStatus dwgOutFields(AcDbDwgFiler* filer) const override;
    Acad::ErrorStatus dxfInFields(AcDbDxfFiler* filer) override;
    Acad::ErrorStatus dxfOutFields(AcDbDxfFiler* filer) const override;

  private:
    KxMoveDelta m_delta;
};
