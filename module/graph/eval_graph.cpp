#include "module/graph/eval_graph.h"

#include "host/core/acstring.h"
#include "module/graph/eval_context.h"
#include "module/graph/eval_graph_imp.h"

KX_DEFINE_PAIR(KxDbTagEvalGraph, AcDbObjectWrapper, KxDbImpTagEvalGraph)

namespace {
KxDbImpTagEvalGraph* imp(const KxDbTagEvalGraph* graph) {
    return kxImpOf<KxDbImpTagEvalGraph>(graph);
}
}  // namespace

Acad::ErrorStatus KxDbTagEvalGraph::addNode(KxDbTagEvalExpr* node, KxNodeId& id) {
    return imp(this) != nullptr ? imp(this)->addNode(node, id) : Acad::eNullObjectPointer;
}

Acad::ErrorStatus KxDbTagEvalGraph::removeNode(KxDbTagEvalExpr* node) {
    return imp(this) != nullptr ? imp(this)->removeNode(node) : Acad::eNullObjectPointer;
}

Acad::ErrorStatus KxDbTagEvalGraph::removeNode(KxNodeId id) {
    return imp(this) != nullptr ? imp(this)->removeNode(id) : Acad::eNullObjectPointer;
}

Acad::ErrorStatus KxDbTagEvalGraph::getAllNodeIds(KxNodeIdArray& ids) const {
    return imp(this) != nullptr ? imp(this)->getAllNodeIds(ids) : Acad::eNullObjectPointer;
}

Acad::ErrorStatus KxDbTagEvalGraph::getNode(KxNodeId id, AcDb::OpenMode mode,
                                            KxDbTagEvalExpr*& node) const {
    node = nullptr;
    return imp(this) != nullptr ? imp(this)->getNode(id, mode, node) : Acad::eNullObjectPointer;
}

Acad::ErrorStatus KxDbTagEvalGraph::addEdge(KxNodeId sourceId, KxNodeId targetId,
                                            bool bidirectional) {
    return imp(this) != nullptr ? imp(this)->addEdge(sourceId, targetId, bidirectional)
                                : Acad::eNullObjectPointer;
}

Acad::ErrorStatus KxDbTagEvalGraph::addEdge(KxNodeId sourceId, KxNodeId targetId) {
    return addEdge(sourceId, targetId, false);
}

Acad::ErrorStatus KxDbTagEvalGraph::removeEdge(KxNodeId sourceId, KxNodeId targetId) {
    return imp(this) != nullptr ? imp(this)->removeEdge(sourceId, targetId)
                                : Acad::eNullObjectPointer;
}

Acad::ErrorStatus KxDbTagEvalGraph::getIncomingEdges(KxNodeId id, KxEdgeInfoArray& edges) const {
    return imp(this) != nullptr ? imp(this)->getIncomingEdges(id, edges) : Acad::eNullObjectPointer;
}

Acad::ErrorStatus KxDbTagEvalGraph::getOutgoingEdges(KxNodeId id, KxEdgeInfoArray& edges) const {
    return imp(this) != nullptr ? imp(this)->getOutgoingEdges(id, edges) : Acad::eNullObjectPointer;
}

Acad::ErrorStatus KxDbTagEvalGraph::getEdgeInfo(KxNodeId sourceId, KxNodeId targetId,
                                                KxEdgeInfo& info) const {
    return imp(this) != nullptr ? imp(this)->getEdgeInfo(sourceId, targetId, info)
                                : Acad::eNullObjectPointer;
}

Acad::ErrorStatus KxDbTagEvalGraph::validateNodeObject(const AcDbObject* object) const {
    return imp(this) != nullptr ? imp(this)->validateNodeObject(object) : Acad::eNullObjectPointer;
}

Acad::ErrorStatus KxDbTagEvalGraph::evaluate(KxDbTagEvalContext* context,
                                             const KxNodeIdArray& ids) {
    return imp(this) != nullptr ? imp(this)->evaluate(context, &ids) : Acad::eNullObjectPointer;
}

Acad::ErrorStatus KxDbTagEvalGraph::evaluate(KxDbTagEvalContext* context) {
    return imp(this) != nullptr ? imp(this)->evaluate(context, nullptr) : Acad::eNullObjectPointer;
}

// Nodes always get a context to ask: without one of the caller's, an empty one.
Acad::ErrorStatus KxDbTagEvalGraph::evaluate() {
    KxDbTagEvalContext context;
    return evaluate(&context);
}

Acad::ErrorStatus KxDbTagEvalGraph::activate(const KxNodeIdArray& ids, KxNodeIdArray* activated,
                                             KxNodeIdArray* cycles) {
    return imp(this) != nullptr ? imp(this)->activate(ids, activated, cycles)
                                : Acad::eNullObjectPointer;
}

Acad::ErrorStatus KxDbTagEvalGraph::activate(const KxNodeIdArray& ids, KxNodeIdArray* activated) {
    return activate(ids, activated, nullptr);
}

Acad::ErrorStatus KxDbTagEvalGraph::activate(const KxNodeIdArray& ids) {
    return activate(ids, nullptr, nullptr);
}

Acad::ErrorStatus KxDbTagEvalGraph::getNodeStateFlag(KxNodeId id, bool& flag) const {
    flag = false;
    return imp(this) != nullptr ? imp(this)->getNodeStateFlag(id, flag) : Acad::eNullObjectPointer;
}

bool KxDbTagEvalGraph::isGraphEquivalent(const KxDbTagEvalGraph* other) const {
    return imp(this) != nullptr && imp(this)->isGraphEquivalent(other);
}

bool KxDbTagEvalGraph::isStructureEqual(const KxDbTagEvalGraph* other) const {
    return imp(this) != nullptr && imp(this)->isStructureEqual(other);
}

Acad::ErrorStatus KxDbTagEvalGraph::addGraphToDatabase(AcDbObjectId& id, AcDbDatabase* db) {
    return imp(this) != nullptr ? imp(this)->addGraphToDatabase(id, db) : Acad::eNullObjectPointer;
}

Acad::ErrorStatus KxDbTagEvalGraph::getParameterLabelNames(AcStringArray& names,
                                                           KxNodeId except) const {
    return imp(this) != nullptr ? imp(this)->getParameterLabelNames(names, except)
                                : Acad::eNullObjectPointer;
}

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
