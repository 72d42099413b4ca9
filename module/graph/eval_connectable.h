// A graph node with named connections: typed value ports through which one node's value is wired
// to another's.
#pragma once

#include "module/graph/eval_expr.h"

class KXDB_EXPORT KxDbTagEvalConnectable : public KxDbTagEvalExpr {
    KX_DECLARE_PAIR(KxDbTagEvalConnectable, KxDbTagEvalExpr)

    virtual Acad::ErrorStatus getConnectionNames(AcStringArray& names) const;
    virtual bool hasConnection(const ACHAR* name) const;
    virtual Acad::ErrorStatus getConnectionType(const ACHAR* name, AcDb::DwgDataType& kind) const;
    virtual Acad::ErrorStatus getConnectionValue(const ACHAR* name,
                                                 KxDbTagEvalVariant& value) const;
    virtual Acad::ErrorStatus reservedConnectionOp();
    virtual Acad::ErrorStatus connectTo(const ACHAR* name, KxNodeId otherId,
                                        const ACHAR* otherName);
    virtual Acad::ErrorStatus disconnectFrom(const ACHAR* name, KxNodeId otherId,
                                             const ACHAR* otherName);
    virtual bool canConnectTo(const ACHAR* name, KxNodeId otherId, const ACHAR* otherName) const;
    virtual Acad::ErrorStatus getConnectedNodes(const ACHAR* name, KxNodeIdArray& ids) const;
    virtual Acad::ErrorStatus getConnectedConnections(const ACHAR* name, KxNodeId nodeId,
                                                      AcStringArray& names) const;
};
