// The implementation of KxDbTagGripExpr.
#pragma once

#include "module/graph/eval_expr_imp.h"
#include "module/grips/grip_expr.h"

class KXDB_EXPORT KxDbImpTagGripExpr : public KxDbImpTagEvalExpr {
    KX_DECLARE_IMP(KxDbImpTagGripExpr, KxDbImpTagEvalExpr)

    KxNodeId targetNodeId() const;
    Acad::ErrorStatus setTargetNodeId(KxNodeId id);
    AcString targetConnectionName() const;
    Acad::ErrorStatus setTargetConnectionName(const ACHAR* name);

    Acad::ErrorStatus evaluate(KxDbTagEvalContext* context) override;
    int setIntegerValue(Adesk::Int16 value);
    int setRealValue(double value);

    // After the node's part. DWG: target node id, connection name (not for the id filers, whose
    // passes must leave these fields alone). DXF: 100 "AcDbBlockGripExpr", 91 target, 300 name.
    Acad::ErrorStatus dwgInFields(AcDbDwgFiler* filer) override;
    Acad::ErrorStatus dwgOutFields(AcDbDwgFiler* filer) const override;
    Acad::ErrorStatus dxfInFields(AcDbDxfFiler* filer) override;
    Acad::ErrorStatus dxfOutFields(AcDbDxfFiler* filer) const override;

  private:
    KxNodeId m_targetId = 0;
    AcString m_connectionName;
};
