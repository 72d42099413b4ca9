#include "module/graph/eval_connectable.h"

#include "module/graph/eval_connectable_imp.h"

KX_DEFINE_PAIR(KxDbTagEvalConnectable, KxDbTagEvalExpr, KxDbImpTagEvalConnectable)

// A bare connectable node has no connections: every query finds nothing.

Acad::ErrorStatus KxDbTagEvalConnectable::getConnectionNames(AcStringArray& names) const {
    return Acad::eOk;
}

bool KxDbTagEvalConnectable::hasConnection(const ACHAR* name) const {
    return false;
}

Acad::ErrorStatus KxDbTagEvalConnectable::getConnectionType(const ACHAR* name,
                                                            AcDb::DwgDataType& kind) const {
    return Acad::eKeyNotFound;
}

Acad::ErrorStatus KxDbTagEvalConnectable::getConnectionValue(const ACHAR* name,
                                                             KxDbTagEvalVariant& value) const {
    return Acad::eKeyNotFound;
}

Acad::ErrorStatus KxDbTagEvalConnectable::reservedConnectionOp() {
    return Acad::eKeyNotFound;
}

Acad::ErrorStatus KxDbTagEvalConnectable::connectTo(const ACHAR* name, KxNodeId otherId,
                                                    const ACHAR* otherName) {
    return Acad::eKeyNotFound;
}

Acad::ErrorStatus KxDbTagEvalConnectable::disconnectFrom(const ACHAR* name, KxNodeId otherId,
                                                         const ACHAR* otherName) {
    return Acad::eKeyNotFound;
}

bool KxDbTagEvalConnectable::canConnectTo(const ACHAR* name, KxNodeId otherId,
                                          const ACHAR* otherName) const {
    return false;
}

Acad::ErrorStatus KxDbTagEvalConnectable::getConnectedNodes(const ACHAR* name,
                                                            KxNodeIdArray& ids) const {
    return Acad::eKeyNotFound;
}

Acad::ErrorStatus KxDbTagEvalConnectable::getConnectedConnections(const ACHAR* name,
                                                                  KxNodeId nodeId,
                                                                  AcStringArray& names) const {
    return Acad::eKeyNotFound;
}
