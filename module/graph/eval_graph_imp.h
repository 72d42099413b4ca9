// The implementation of KxDbTagEvalGraph.
#pragma once

#include <map>
#include <vector>

#include "module/frame/pair_macros.h"
#include "module/graph/eval_graph.h"
#include "module/graph/graph_records.h"

class AcDbAuditInfo;

namespace kxgraph {
struct FiledGraph;
}

class KxDbImpTagEvalGraph : public AcDbImpObjectWrapper {
  public:
    explicit KxDbImpTagEvalGraph(AcDbObjectWrapper* pub) : AcDbImpObjectWrapper(pub) {}
    // In-memory node objects go with the graph; database-resident ones belong to the database.
    ~KxDbImpTagEvalGraph() override;

    KxDbTagEvalGraph* graph() const { return static_cast<KxDbTagEvalGraph*>(publicObject()); }

    // Structure (graph_structure.cpp).
    Acad::ErrorStatus addNode(KxDbTagEvalExpr* node, KxNodeId& id);
    Acad::ErrorStatus removeNode(KxDbTagEvalExpr* node);
    Acad::ErrorStatus removeNode(KxNodeId id);
    Acad::ErrorStatus getAllNodeIds(KxNodeIdArray& ids) const;
    Acad::ErrorStatus getNode(KxNodeId id, AcDb::OpenMode mode, KxDbTagEvalExpr*& node) const;
    Acad::ErrorStatus addEdge(KxNodeId sourceId, KxNodeId targetId, bool bidirectional);
    Acad::ErrorStatus removeEdge(KxNodeId sourceId, KxNodeId targetId);
    Acad::ErrorStatus getIncomingEdges(KxNodeId id, KxEdgeInfoArray& edges) const;
    Acad::ErrorStatus getOutgoingEdges(KxNodeId id, KxEdgeInfoArray& edges) const;
    Acad::ErrorStatus getEdgeInfo(KxNodeId sourceId, KxNodeId targetId, KxEdgeInfo& info) const;
    Acad::ErrorStatus validateNodeObject(const AcDbObject* object) const;
    Acad::ErrorStatus getNodeStateFlag(KxNodeId id, bool& flag) const;
    Acad::ErrorStatus getParameterLabelNames(AcStringArray& names, KxNodeId except) const;

    // Activation and evaluation (graph_activation.cpp).
    Acad::ErrorStatus activate(const KxNodeIdArray& ids, KxNodeIdArray* activated,
                               KxNodeIdArray* cycles);
    Acad::ErrorStatus evaluate(KxDbTagEvalContext* context, const KxNodeIdArray* ids);

    // Copies, database membership, comparison (graph_copy.cpp).
    Acad::ErrorStatus copyFrom(const AcRxObject* other) override;
    Acad::ErrorStatus addGraphToDatabase(AcDbObjectId& id, AcDbDatabase* db);
    Acad::ErrorStatus decomposeForSave(AcDb::AcDbDwgVersion ver, AcDbObject*& replaceObj,
                                       AcDbObjectId& replaceId,
                                       Adesk::Boolean& exchangeXData) override;
    bool isGraphEquivalent(const KxDbTagEvalGraph* other) const;
    bool isStructureEqual(const KxDbTagEvalGraph* other) const;

    // Filing (graph_filing.cpp) and audit (graph_audit.cpp).
    Acad::ErrorStatus dwgInFields(AcDbDwgFiler* filer) override;
    Acad::ErrorStatus dwgOutFields(AcDbDwgFiler* filer) const override;
    Acad::ErrorStatus dxfInFields(AcDbDxfFiler* filer) override;
    Acad::ErrorStatus dxfOutFields(AcDbDxfFiler* filer) const override;
    Acad::ErrorStatus audit(AcDbAuditInfo* info) override;

  private:
    // The live record of a node id; null for unknown and removed nodes.
    GraphNodeRecord* liveRecord(KxNodeId id) const;
    // The live edge from source to target, searched in the source's out-list.
    GraphEdgeRecord* findOutEdge(const GraphNodeRecord* source,
                                 const GraphNodeRecord* target) const;
    GraphEdgeRecord* findInEdge(const GraphNodeRecord* source, const GraphNodeRecord* target) const;
    // Removes a live node: `given` is the caller's open object, or null to open it here.
    Acad::ErrorStatus removeNodeRecord(GraphNodeRecord* record, KxDbTagEvalExpr* given);
    size_t edgeBound() const { return m_edges.size(); }
    std::vector<GraphEdgeRecord*> outList(const GraphNodeRecord* node) const {
        return kxgraph::outEdges(node, edgeBound());
    }
    std::vector<GraphEdgeRecord*> inList(const GraphNodeRecord* node) const {
        return kxgraph::inEdges(node, edgeBound());
    }

    Acad::ErrorStatus allocateNodeId(KxNodeId& id);
    // A new linked edge; null when out of memory.
    GraphEdgeRecord* createEdge(GraphNodeRecord* source, GraphNodeRecord* target,
                                Adesk::Int32 flags);
    // Unlinks the edge and flags it deleted; a partner left alone loses its half of the pair.
    void deleteEdge(GraphEdgeRecord* edge);
    // Drops one reference of the edge and of its partner, deleting what reaches 0.
    void releaseEdgeReference(GraphEdgeRecord* edge);
    // Sends the edge-removed notifications of one removed connection.
    void notifyEdgeRemoved(KxNodeId sourceId, KxNodeId targetId) const;
    void notifyEdgeAdded(KxNodeId sourceId, KxNodeId targetId, bool bidirectional) const;

    void clearTransientFlags(Adesk::Int32 mask = kxgraph::kTransientMask);
    // Orders the active nodes topologically; the nodes left over (on or behind a cycle) go to
    // `cycles`, in array order.
    void orderActive(std::vector<GraphNodeRecord*>& ordered, std::vector<GraphNodeRecord*>& cycles);
    // Tells every live node that the evaluation ended.
    void notifyEvaluationEnd(bool succeeded, const std::vector<GraphNodeRecord*>& nodes,
                             const std::vector<bool>& active) const;

    // Frees every record, and with it every in-memory node object that is not in a database.
    void releaseRecords();

    // The graph as it is filed: live nodes that name an object, the live edges between them,
    // all renumbered densely in array order. `kept` receives the records of the nodes filed.
    void snapshot(kxgraph::FiledGraph& filed, std::vector<GraphNodeRecord*>* kept) const;
    // Builds the records from filed data. `objects` (optional) gives the in-memory object of
    // each node. On failure nothing is adopted; objects stay with the caller.
    Acad::ErrorStatus adopt(const kxgraph::FiledGraph& filed,
                            const std::vector<AcDbObject*>* objects);

    bool isDatabaseResident() const { return !objectId().isNull(); }

    std::vector<GraphNodeRecord*> m_nodes;
    std::vector<GraphEdgeRecord*> m_edges;
    std::map<KxNodeId, GraphNodeRecord*> m_index;
    KxNodeId m_lastId = 0;
    KxNodeId m_highId = 0;
};
