// Activation, topological ordering and evaluation of the graph.
//
// Activation marks the nodes a change reaches (0x2 active, 0x8 queued) and the edges it does not
// travel (0x10). The marks stay set after activation so that a following evaluation without ids
// works on them; ordering consumes its own marks (0x8 ordered, 0x40), and an evaluation clears
// every transient mark when it ends.
#include "module/graph/eval_context.h"
#include "module/graph/eval_expr.h"
#include "module/graph/eval_graph_imp.h"

using namespace kxgraph;

void KxDbImpTagEvalGraph::clearTransientFlags(Adesk::Int32 mask) {
    for (GraphNodeRecord* node : m_nodes) {
        node->flags &= ~mask;
    }
    for (GraphEdgeRecord* edge : m_edges) {
        edge->flags &= ~mask;
    }
}

Acad::ErrorStatus KxDbImpTagEvalGraph::activate(const KxNodeIdArray& ids, KxNodeIdArray* activated,
                                                KxNodeIdArray* cycles) {
    clearTransientFlags();
    if (ids.isEmpty() && activated == nullptr && cycles == nullptr) {
        return Acad::eOk;
    }
    const Adesk::Int32 reached = kNodeActive | kNodeQueued;
    NodeRing ring(m_nodes.size() + 1);
    for (KxNodeId id : ids) {
        GraphNodeRecord* node = liveRecord(id);
        if (node != nullptr && (node->flags & kNodeQueued) == 0) {
            node->flags |= reached;
            ring.push(node);
        }
    }
    while (!ring.empty()) {
        GraphNodeRecord* node = ring.pop();
        KxNodeIdArray extra;
        if (!node->hasNoObject()) {
            NodeAccess access;
            if (access.open(node, AcDb::kForRead) == Acad::eOk && access.node() != nullptr) {
                access.node()->getExtraActivation(extra);
            }
        }
        for (KxNodeId id : extra) {
            GraphNodeRecord* other = liveRecord(id);
            if (other == nullptr || (other->flags & kNodeNoExtraActivation) != 0) {
                continue;
            }
            // A node already queued is not queued again: two nodes naming each other would
            // otherwise keep the activation going for ever.
            const bool queued = (other->flags & kNodeQueued) != 0;
            other->flags |= reached;
            if (!queued) {
                ring.push(other);
            }
        }
        for (GraphEdgeRecord* edge : outList(node)) {
            if (!edge->isLive() || (edge->flags & (kEdgeNeverTraversed | kEdgeInactive)) != 0) {
                continue;
            }
            // The way back along a bidirectional pair is not taken in this activation.
            if (edge->isBidirectional() && edge->partner != nullptr) {
                edge->partner->flags |= kEdgeInactive;
            }
            GraphNodeRecord* target = edge->target;
            if (target != nullptr && target->isLive() && (target->flags & kNodeQueued) == 0) {
                target->flags |= reached;
                ring.push(target);
            }
        }
    }

    if (activated != nullptr) {
        activated->setLogicalLength(0);
    }
    for (GraphNodeRecord* node : m_nodes) {
        if (!node->isLive()) {
            continue;
        }
        if ((node->flags & kNodeQueued) != 0) {
            if (activated != nullptr) {
                activated->append(node->id);
            }
        } else {
            // What an unreached node feeds is not fed in this evaluation.
            for (GraphEdgeRecord* edge : outList(node)) {
                edge->flags |= kEdgeInactive;
            }
        }
    }
    if (cycles == nullptr) {
        return Acad::eOk;
    }
    std::vector<GraphNodeRecord*> ordered;
    std::vector<GraphNodeRecord*> left;
    orderActive(ordered, left);
    cycles->setLogicalLength(0);
    for (const GraphNodeRecord* node : left) {
        cycles->append(node->id);
    }
    return left.empty() ? Acad::eOk : KxStatus::kCycleFound;
}

// Kahn's algorithm over the active nodes and the edges the activation travelled.
void KxDbImpTagEvalGraph::orderActive(std::vector<GraphNodeRecord*>& ordered,
                                      std::vector<GraphNodeRecord*>& cycles) {
    ordered.clear();
    cycles.clear();
    for (GraphNodeRecord* node : m_nodes) {
        node->flags &= ~(kNodeQueued | kNodeOrderQueued);
    }
    auto pendingInputs = [this](const GraphNodeRecord* node) {
        int count = 0;
        for (const GraphEdgeRecord* edge : inList(node)) {
            if (edge->isLive() && (edge->flags & (kEdgeConsumed | kEdgeInactive)) == 0) {
                ++count;
            }
        }
        return count;
    };
    auto isActive = [](const GraphNodeRecord* node) {
        return node != nullptr && node->isLive() && (node->flags & kNodeActive) != 0;
    };
    NodeRing ring(m_nodes.size() + 1);
    for (GraphNodeRecord* node : m_nodes) {
        if (isActive(node) && pendingInputs(node) == 0) {
            node->flags |= kNodeOrderQueued;
            ring.push(node);
        }
    }
    while (!ring.empty()) {
        GraphNodeRecord* node = ring.pop();
        for (GraphEdgeRecord* edge : outList(node)) {
            if (!edge->isLive() || (edge->flags & (kEdgeNeverTraversed | kEdgeInactive)) != 0) {
                continue;
            }
            edge->flags |= kEdgeConsumed;
            GraphNodeRecord* target = edge->target;
            // A node waits in the ring at most once, even when damaged lists name an edge twice.
            if (isActive(target) && (target->flags & (kNodeOrderQueued | kNodeQueued)) == 0 &&
                pendingInputs(target) == 0) {
                target->flags |= kNodeOrderQueued;
                ring.push(target);
            }
        }
        ordered.push_back(node);
        node->flags |= kNodeQueued;
    }
    for (GraphNodeRecord* node : m_nodes) {
        if (isActive(node) && (node->flags & kNodeQueued) == 0) {
            cycles.push_back(node);
        }
    }
    clearTransientFlags(kNodeQueued | kEdgeConsumed);
}

void KxDbImpTagEvalGraph::notifyEvaluationEnd(bool succeeded,
                                              const std::vector<GraphNodeRecord*>& nodes,
                                              const std::vector<bool>& active) const {
    for (size_t i = 0; i < nodes.size(); ++i) {
        GraphNodeRecord* record = nodes[i];
        if (!record->isLive() || record->hasNoObject()) {
            continue;
        }
        NodeAccess access;
        if (access.open(record, AcDb::kForWrite) != Acad::eOk || access.node() == nullptr) {
            continue;
        }
        if (succeeded) {
            access.node()->evaluationSucceeded(active[i]);
        } else {
            access.node()->evaluationFailed(active[i]);
        }
    }
}

// Every active node is evaluated, in order, whatever the others answer, so that each can leave
// its own state consistent; the evaluation as a whole fails with the first failure, and then
// every node is told so (parameters keep their committed values).
Acad::ErrorStatus KxDbImpTagEvalGraph::evaluate(KxDbTagEvalContext* context,
                                                const KxNodeIdArray* ids) {
    Acad::ErrorStatus status = Acad::eOk;
    if (ids != nullptr) {
        status = activate(*ids, nullptr, nullptr);
    }
    // What the nodes are told is fixed before any of them runs: a node may call back into the
    // graph (even into a nested evaluation) while it evaluates.
    std::vector<GraphNodeRecord*> nodes;
    std::vector<bool> active;
    for (GraphNodeRecord* record : m_nodes) {
        if (record->isLive()) {
            nodes.push_back(record);
            active.push_back(record->reportsActive());
        }
    }
    if (status == Acad::eOk) {
        std::vector<GraphNodeRecord*> list;
        std::vector<GraphNodeRecord*> cycles;
        orderActive(list, cycles);
        // Nodes on or behind a cycle still run, after every node that could be ordered.
        list.insert(list.end(), cycles.begin(), cycles.end());

        bool allThere = true;
        for (GraphNodeRecord* record : list) {
            if (!record->isById()) {
                continue;
            }
            NodeAccess access;
            const Acad::ErrorStatus es = access.open(record, AcDb::kForRead);
            if (es != Acad::eOk && !isAlreadyOpen(es)) {
                status = es;
                allThere = false;
                break;
            }
        }
        if (allThere) {
            for (size_t i = 0; i < nodes.size(); ++i) {
                if (nodes[i]->isLive() && !nodes[i]->hasNoObject()) {
                    NodeAccess access;
                    if (access.open(nodes[i], AcDb::kForWrite) == Acad::eOk &&
                        access.node() != nullptr) {
                        access.node()->beginEvaluation(active[i]);
                    }
                }
            }
            for (GraphNodeRecord* record : list) {
                if (!record->isLive()) {
                    continue;  // removed by an earlier node
                }
                NodeAccess access;
                Acad::ErrorStatus es = access.open(record, AcDb::kForWrite);
                if (es != Acad::eOk) {
                    if (status == Acad::eOk) {
                        status = es;
                    }
                    break;
                }
                if (KxDbTagEvalExpr* node = access.node()) {
                    es = node->evaluate(context);
                    if (es != Acad::eOk && status == Acad::eOk) {
                        status = es;
                    }
                }
            }
        }
    }
    notifyEvaluationEnd(status == Acad::eOk, nodes, active);
    clearTransientFlags();
    return status;
}
