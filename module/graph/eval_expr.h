// A node of an evaluation graph: a node id within its graph, a value, and the hooks through which
// the graph tells it about edges, activation and evaluation.
#pragma once

#include "module/frame/pair_macros.h"
#include "module/graph/eval_variant.h"
#include "module/graph/node_types.h"

class KxDbTagEvalGraph;
class KxDbTagEvalContext;

class KXDB_EXPORT KxDbTagEvalExpr : public AcDbObjectWrapper {
    KX_DECLARE_PAIR(KxDbTagEvalExpr, AcDbObjectWrapper)

    // A copy of the node's value.
    KxDbTagEvalVariant getValue() const;
    KxNodeId getNodeId() const;
    Acad::ErrorStatus setNodeId(KxNodeId id);
    // The owning graph: opened by id when the node is database resident, else the graph that
    // holds it in memory. The caller closes it either way (closing an object outside a database
    // does nothing). 450 without a node id, eNullObjectPointer without a graph.
    Acad::ErrorStatus openOwnerGraph(KxDbTagEvalGraph*& graph, AcDb::OpenMode mode) const;

    // The value lives in the public object.
    KxDbTagEvalVariant& value() { return m_value; }
    const KxDbTagEvalVariant& value() const { return m_value; }

    // Hooks the graph calls.
    virtual Acad::ErrorStatus addedToGraph(KxDbTagEvalGraph* graph);
    virtual Acad::ErrorStatus removedFromGraph(KxDbTagEvalGraph* graph);
    virtual Acad::ErrorStatus nodeRemoved(KxNodeId id);
    virtual Acad::ErrorStatus edgeRemoved(KxNodeId otherId);
    virtual Acad::ErrorStatus edgeAdded(KxNodeId sourceId, KxNodeId targetId, bool bidirectional);
    virtual void reservedHookA();
    virtual Acad::ErrorStatus attachToGraph(KxDbTagEvalGraph* graph);
    virtual void reservedHookB();
    virtual Acad::ErrorStatus setOwnerGraph(KxDbTagEvalGraph* graph);
    virtual bool evaluatesOnLoad() const;
    virtual void getExtraActivation(KxNodeIdArray& ids) const;
    virtual void beginEvaluation(bool isActive);
    virtual void evaluationSucceeded(bool isActive);
    virtual void evaluationFailed(bool isActive);
    virtual Acad::ErrorStatus evaluate(KxDbTagEvalContext* context);
    virtual bool isSameClass(const KxDbTagEvalExpr* other) const;
    virtual Acad::ErrorStatus addToDatabase(AcDbObjectId& id, AcDbDatabase* db);

  private:
    KxDbTagEvalVariant m_value;
};
