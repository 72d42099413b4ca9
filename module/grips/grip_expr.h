// The expression node through which a grip reads one connection value of a parameter: it names
// the parameter's node and the connection, and evaluating it copies that connection's value into
// its own.
#pragma once

#include "host/core/acstring.h"
#include "module/frame/pair_macros.h"
#include "module/graph/eval_expr.h"

class KXDB_EXPORT KxDbTagGripExpr : public KxDbTagEvalExpr {
    KX_DECLARE_PAIR(KxDbTagGripExpr, KxDbTagEvalExpr)

    KxNodeId targetNodeId() const;
    Acad::ErrorStatus setTargetNodeId(KxNodeId id);
    AcString targetConnectionName() const;
    Acad::ErrorStatus setTargetConnectionName(const ACHAR* name);

    // The value becomes the target parameter's value of the connection. 450 without a node id or
    // a target, eWrongObjectType when the target is not a parameter; otherwise the status of the
    // graph or of the parameter (the value is kept on every failure).
    Acad::ErrorStatus evaluate(KxDbTagEvalContext* context) override;

    // Make the value a 16-bit integer (returns its type, 70) or a real (returns 40).
    virtual int setIntegerValue(Adesk::Int16 value);
    virtual int setRealValue(double value);
};
