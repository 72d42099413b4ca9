#include "module/graph/eval_graph.h"

#include "host/core/acstring.h"
#include "module/graph/eval_context.h"
#include "module/graph/eval_graph_imp.h"

KX_DEFINE_PAIR(KxDbTagEvalGraph, AcDbObjectWrapper, KxDbImpTagEvalGraph)

namespace {
KxDbImpTagEvalGraph* impOf(const KxDbTagEvalGraph* graph) {
    return kxImpOf<KxDbImpTagEvalGraph>(graph);
}
}  // namespace

KX_FORWARD_STATUS(KxDbTagEvalGraph, addNode, (KxDbTagEvalExpr * node, KxNodeId& id), (node, id), )
KX_FORWARD_STATUS(KxDbTagEvalGraph, removeNode, (KxDbTagEvalExpr * node), (node), )
KX_FORWARD_STATUS(KxDbTagEvalGraph, removeNode, (KxNodeId id), (id), )
KX_FORWARD_STATUS(KxDbTagEvalGraph, getAllNodeIds, (KxNodeIdArray & ids), (ids), const)

Acad::ErrorStatus KxDbTagEvalGraph::getNode(KxNodeId id, AcDb::OpenMode mode,
                                            KxDbTagEvalExpr*& node) const {
    node = nullptr;
    return impOf(this) != nullptr ? impOf(this)->getNode(id, mode, node) : Acad::eNullObjectPointer;
}

KX_FORWARD_STATUS(KxDbTagEvalGraph, addEdge,
                  (KxNodeId sourceId, KxNodeId targetId, bool bidirectional),
                  (sourceId, targetId, bidirectional), )

Acad::ErrorStatus KxDbTagEvalGraph::addEdge(KxNodeId sourceId, KxNodeId targetId) {
    return addEdge(sourceId, targetId, false);
}

KX_FORWARD_STATUS(KxDbTagEvalGraph, removeEdge, (KxNodeId sourceId, KxNodeId targetId),
                  (sourceId, targetId), )
KX_FORWARD_STATUS(KxDbTagEvalGraph, getIncomingEdges, (KxNodeId id, KxEdgeInfoArray& edges),
                  (id, edges), const)
KX_FORWARD_STATUS(KxDbTagEvalGraph, getOutgoingEdges, (KxNodeId id, KxEdgeInfoArray& edges),
                  (id, edges), const)
KX_FORWARD_STATUS(KxDbTagEvalGraph, getEdgeInfo,
                  (KxNodeId sourceId, KxNodeId targetId, KxEdgeInfo& info),
                  (sourceId, targetId, info), const)
KX_FORWARD_STATUS(KxDbTagEvalGraph, validateNodeObject, (const AcDbObject* object), (object), const)

Acad::ErrorStatus KxDbTagEvalGraph::evaluate(KxDbTagEvalContext* context,
                                             const KxNodeIdArray& ids) {
    KxDbImpTagEvalGraph* imp = impOf(this);
    return imp != nullptr ? imp->evaluate(context, &ids) : Acad::eNullObjectPointer;
}

Acad::ErrorStatus KxDbTagEvalGraph::evaluate(KxDbTagEvalContext* context) {
    KxDbImpTagEvalGraph* imp = impOf(this);
    return imp != nullptr ? imp->evaluate(context, nullptr) : Acad::eNullObjectPointer;
}

// Nodes always get a context to ask: without one of the caller's, an empty one.
Acad::ErrorStatus KxDbTagEvalGraph::evaluate() {
    KxDbTagEvalContext context;
    return evaluate(&context);
}

KX_FORWARD_STATUS(KxDbTagEvalGraph, activate,
                  (const KxNodeIdArray& ids, KxNodeIdArray* activated, KxNodeIdArray* cycles),
                  (ids, activated, cycles), )

Acad::ErrorStatus KxDbTagEvalGraph::activate(const KxNodeIdArray& ids, KxNodeIdArray* activated) {
    return activate(ids, activated, nullptr);
}

Acad::ErrorStatus KxDbTagEvalGraph::activate(const KxNodeIdArray& ids) {
    return activate(ids, nullptr, nullptr);
}

Acad::ErrorStatus KxDbTagEvalGraph::getNodeStateFlag(KxNodeId id, bool& flag) const {
    flag = false;
    return impOf(this) != nullptr ? impOf(this)->getNodeStateFlag(id, flag)
                                  : Acad::eNullObjectPointer;
}

KX_FORWARD(bool, KxDbTagEvalGraph, isGraphEquivalent, (const KxDbTagEvalGraph* other), (other),
           const, false)
KX_FORWARD(bool, KxDbTagEvalGraph, isStructureEqual, (const KxDbTagEvalGraph* other), (other),
           const, false)
KX_FORWARD_STATUS(KxDbTagEvalGraph, addGraphToDatabase, (AcDbObjectId & id, AcDbDatabase* db),
                  (id, db), )
KX_FORWARD_STATUS(KxDbTagEvalGraph, getParameterLabelNames,
                  (AcStringArray & names, KxNodeId except), (names, except), const)

bool KxDbTagEvalGraph::isPropertyNameUnique(const ACHAR* name, KxNodeId except) const {
    AcStringArray names;
    // A node that cannot be read cannot hold the name against anyone: judge by what was read.
    getParameterLabelNames(names, except);
    const ACHAR* wanted = name != nullptr ? name : L"";
    for (const AcString& used : names) {
        if (acCompareNoCase(used.kwszPtr(), wanted) == 0) {
            return false;
        }
    }
    return true;
}
