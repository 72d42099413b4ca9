// The evaluation graph of a dynamic block definition: its nodes are the definition's parameters,
// actions and grips (and other expression nodes), its edges say which node's value feeds which.
// A change is evaluated by activating the changed nodes, propagating activation along the
// edges, ordering the active nodes topologically and evaluating each in that order.
#pragma once

#include "module/frame/pair_macros.h"
#include "module/graph/node_types.h"

class KxDbTagEvalExpr;
class KxDbTagEvalContext;

class KXDB_EXPORT KxDbTagEvalGraph : public AcDbObjectWrapper {
    KX_DECLARE_PAIR(KxDbTagEvalGraph, AcDbObjectWrapper)

    // Gives the node (open for write, in no graph) the next id; a graph in a database adds the
    // node to its database (the node stays open for write: the caller's close ends that) and
    // becomes its owner. Ids are never 0 and never handed out twice while a record holds them.
    virtual Acad::ErrorStatus addNode(KxDbTagEvalExpr* node, KxNodeId& id);
    // Removes the node with all its edges; its neighbours and the node hear about it, and its id
    // becomes 0. A node held in memory is handed back: the caller owns (and deletes) it.
    virtual Acad::ErrorStatus removeNode(KxDbTagEvalExpr* node);
    virtual Acad::ErrorStatus removeNode(KxNodeId id);
    // The ids of the live nodes, in the graph's order. A node already open in a way that keeps
    // the graph from opening it (an element checking its new name) is listed as it is.
    virtual Acad::ErrorStatus getAllNodeIds(KxNodeIdArray& ids) const;
    // Opens the node (by id when the graph is database resident; in memory the node itself is
    // handed out, and closing it does nothing). The caller closes it.
    virtual Acad::ErrorStatus getNode(KxNodeId id, AcDb::OpenMode mode,
                                      KxDbTagEvalExpr*& node) const;
    // An edge already there counts one more use and answers KxStatus::kEdgeExists (callers
    // treat it as success). A bidirectional edge is a pair of partner edges used together.
    virtual Acad::ErrorStatus addEdge(KxNodeId sourceId, KxNodeId targetId, bool bidirectional);
    virtual Acad::ErrorStatus addEdge(KxNodeId sourceId, KxNodeId targetId);
    virtual Acad::ErrorStatus removeEdge(KxNodeId sourceId, KxNodeId targetId);
    virtual Acad::ErrorStatus getIncomingEdges(KxNodeId id, KxEdgeInfoArray& edges) const;
    virtual Acad::ErrorStatus getOutgoingEdges(KxNodeId id, KxEdgeInfoArray& edges) const;
    virtual Acad::ErrorStatus getEdgeInfo(KxNodeId sourceId, KxNodeId targetId,
                                          KxEdgeInfo& info) const;
    virtual Acad::ErrorStatus validateNodeObject(const AcDbObject* object) const;
    // Activates the ids, orders the active nodes and evaluates each (nodes on cycles last). All
    // active nodes run; the result is the first failure, and then every node is told
    // evaluationFailed instead of evaluationSucceeded. Without ids, the nodes of the last
    // activate are evaluated; without a context, the nodes get an empty one.
    virtual Acad::ErrorStatus evaluate(KxDbTagEvalContext* context, const KxNodeIdArray& ids);
    virtual Acad::ErrorStatus evaluate(KxDbTagEvalContext* context);
    virtual Acad::ErrorStatus evaluate();
    // Marks the nodes a change of `ids` reaches (and the edges it does not travel: their
    // EdgeInfo flags carry 0x10 until the next evaluation ends). With `cycles`,
    // KxStatus::kCycleFound when some active nodes lie on or behind a cycle.
    virtual Acad::ErrorStatus activate(const KxNodeIdArray& ids, KxNodeIdArray* activated,
                                       KxNodeIdArray* cycles);
    virtual Acad::ErrorStatus activate(const KxNodeIdArray& ids, KxNodeIdArray* activated);
    virtual Acad::ErrorStatus activate(const KxNodeIdArray& ids);
    virtual Acad::ErrorStatus getNodeStateFlag(KxNodeId id, bool& flag) const;
    virtual bool isGraphEquivalent(const KxDbTagEvalGraph* other) const;
    virtual bool isStructureEqual(const KxDbTagEvalGraph* other) const;
    // Moves an in-memory graph and its nodes into the database. The graph comes back open for
    // write, as addAcDbObject leaves it; the caller closes it. On failure the nodes already added
    // are erased, the others deleted, and the graph is left empty outside the database.
    virtual Acad::ErrorStatus addGraphToDatabase(AcDbObjectId& id, AcDbDatabase* db);

    // The label names of every parameter of the graph (what each parameter's getLabelNames
    // appends), skipping the node `except`; parameters validate a new property name against
    // them. Nodes that cannot be opened because they are already open are skipped, not failed.
    virtual Acad::ErrorStatus getParameterLabelNames(AcStringArray& names,
                                                     KxNodeId except = 0) const;
    // True when no parameter other than `except` uses the name (compared without regard to
    // case).
    bool isPropertyNameUnique(const ACHAR* name, KxNodeId except) const;
};
