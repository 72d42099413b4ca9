// The graph's audit: finds damage in the records (as a damaged drawing can bring) and, when asked
// to fix, repairs it so that every list is a proper chain of the edges of its node.
#include "host/core/acstring.h"
#include "host/db/auditinfo.h"
#include "module/graph/eval_graph_imp.h"

using namespace kxgraph;

namespace {

// Transient marks of the audit: an edge seen in its target's in-list, and in its source's
// out-list.
constexpr Adesk::Int32 kSeenIn = kEdgeSeen;
constexpr Adesk::Int32 kSeenOut = 0x2;

const ACHAR* const kGraphName = L"Evaluation graph";

// The links of one kind of list, so the in-lists and out-lists are audited by the same code.
struct ListKind {
    GraphEdgeRecord* GraphNodeRecord::*first;
    GraphEdgeRecord* GraphNodeRecord::*last;
    GraphEdgeRecord* GraphEdgeRecord::*prev;
    GraphEdgeRecord* GraphEdgeRecord::*next;
    GraphNodeRecord* GraphEdgeRecord::*end;  // the node whose list this is
    Adesk::Int32 seen;
    const ACHAR* name;
};

const ListKind kInList = {&GraphNodeRecord::firstIn,
                          &GraphNodeRecord::lastIn,
                          &GraphEdgeRecord::prevIn,
                          &GraphEdgeRecord::nextIn,
                          &GraphEdgeRecord::target,
                          kSeenIn,
                          L"in-edge list"};
const ListKind kOutList = {&GraphNodeRecord::firstOut,
                           &GraphNodeRecord::lastOut,
                           &GraphEdgeRecord::prevOut,
                           &GraphEdgeRecord::nextOut,
                           &GraphEdgeRecord::source,
                           kSeenOut,
                           L"out-edge list"};

// Counts and reports findings, and says whether each may be fixed. The graph is made writable
// on the first fix only.
class AuditReport {
  public:
    AuditReport(AcDbAuditInfo* info, const KxDbImpTagEvalGraph* graph)
        : m_info(info), m_graph(graph) {}
    ~AuditReport() {
        if (m_upgraded) {
            m_graph->downgradeOpen();
        }
    }

    // Reports one error; true when it is to be fixed now.
    bool error(const AcString& value, const ACHAR* rule, const ACHAR* fix, bool canFix = true) {
        m_info->errorsFound(1);
        const bool fixing = canFix && m_info->fixErrors() && writable();
        m_info->printError(kGraphName, value.kwszPtr(), rule, fixing ? fix : L"");
        if (fixing) {
            m_info->errorsFixed(1);
        }
        return fixing;
    }

  private:
    bool writable() {
        if (!m_checked) {
            m_checked = true;
            if (!m_graph->isWriteEnabled() && m_graph->upgradeOpen() == Acad::eOk) {
                m_upgraded = true;
            }
            m_writable = m_graph->isWriteEnabled();
            if (m_writable) {
                m_graph->assertWriteEnabled();
            }
        }
        return m_writable;
    }

    AcDbAuditInfo* m_info;
    const KxDbImpTagEvalGraph* m_graph;
    bool m_checked = false;
    bool m_writable = false;
    bool m_upgraded = false;
};

AcString describe(const ACHAR* fmt, long a, long b = 0) {
    AcString text;
    text.format(fmt, a, b);
    return text;
}

// Audits one list of a node: its ends, and each edge's end node and back link. The list is what
// the walk from its first edge finds: the walk stops at an edge already claimed by a list (one
// running in a circle, or into another list), at a deleted edge and at the bound, and with fixes
// the list is cut there and its last edge made its end. Links of edges another list claims are
// never touched.
void auditList(GraphNodeRecord* node, const ListKind& kind, size_t bound, AuditReport& report) {
    GraphEdgeRecord*& first = node->*kind.first;
    GraphEdgeRecord*& last = node->*kind.last;
    const AcString where = describe(L"node %ld", static_cast<long>(node->id));
    if ((first == nullptr) != (last == nullptr)) {
        if (report.error(where, L"list ends both set or both empty", L"list emptied")) {
            first = last = nullptr;
        }
    }
    auto claimed = [&kind](const GraphEdgeRecord* edge) {
        return (edge->flags & kind.seen) != 0 || !edge->isLive();
    };
    GraphEdgeRecord* previous = nullptr;
    GraphEdgeRecord* edge = first;
    size_t steps = 0;
    while (edge != nullptr) {
        if (steps >= bound || claimed(edge)) {
            if (report.error(where, L"edge list is a chain of its own live edges", L"list cut")) {
                if (previous != nullptr) {
                    previous->*kind.next = nullptr;
                } else {
                    first = nullptr;
                }
            }
            break;
        }
        ++steps;
        edge->flags |= kind.seen;
        if (previous == nullptr && edge->*kind.prev != nullptr) {
            if (report.error(where, L"first edge has no previous edge", L"link cleared")) {
                edge->*kind.prev = nullptr;
            }
        }
        if (edge->*kind.end != node) {
            if (report.error(
                    describe(L"edge %ld of node %ld", edge->index, static_cast<long>(node->id)),
                    L"edge belongs to the node of its list", L"edge end set")) {
                edge->*kind.end = node;
            }
        }
        GraphEdgeRecord* next = edge->*kind.next;
        if (next != nullptr && !claimed(next) && next->*kind.prev != edge) {
            if (report.error(describe(L"edge %ld", next->index), L"previous link points back",
                             L"link set")) {
                next->*kind.prev = edge;
            }
        }
        previous = edge;
        edge = next;
    }
    // The last edge of the walk ends the list (with fixes the walk is the list).
    if (last != previous && (first != nullptr || last != nullptr)) {
        if (report.error(where, L"last edge has no next edge and ends the list", L"list end set")) {
            last = previous;
            if (previous == nullptr) {
                first = nullptr;
            }
        }
    }
}

// Takes an edge that no list walk reached out of the lists it is properly in, and deletes it.
void dropEdge(GraphEdgeRecord* edge) {
    if ((edge->flags & kSeenOut) != 0 && edge->source != nullptr) {
        if (edge->prevOut != nullptr) {
            edge->prevOut->nextOut = edge->nextOut;
        } else {
            edge->source->firstOut = edge->nextOut;
        }
        if (edge->nextOut != nullptr) {
            edge->nextOut->prevOut = edge->prevOut;
        } else {
            edge->source->lastOut = edge->prevOut;
        }
    }
    if ((edge->flags & kSeenIn) != 0 && edge->target != nullptr) {
        if (edge->prevIn != nullptr) {
            edge->prevIn->nextIn = edge->nextIn;
        } else {
            edge->target->firstIn = edge->nextIn;
        }
        if (edge->nextIn != nullptr) {
            edge->nextIn->prevIn = edge->prevIn;
        } else {
            edge->target->lastIn = edge->prevIn;
        }
    }
    if (edge->partner != nullptr && edge->partner->partner == edge) {
        edge->partner->partner = nullptr;
        edge->partner->flags &= ~kEdgeBidirectional;
    }
    edge->flags |= kEdgeDeleted;
    edge->prevIn = edge->nextIn = edge->prevOut = edge->nextOut = edge->partner = nullptr;
    edge->source = edge->target = nullptr;
}

// True when the two live edges run between the same nodes in opposite directions.
bool areReverse(const GraphEdgeRecord* a, const GraphEdgeRecord* b) {
    return a != b && b != nullptr && b->isLive() && a->source == b->target &&
           a->target == b->source;
}

// True when the edge is one half of a sound bidirectional pair.
bool isSoundPair(const GraphEdgeRecord* edge) {
    const GraphEdgeRecord* partner = edge->partner;
    return edge->isBidirectional() && areReverse(edge, partner) && partner->isBidirectional() &&
           partner->partner == edge;
}

// Partners are checked once the lists are sound, so that the ends the pairs are judged by are
// final. A pair that is sound is never broken to repair another one.
void auditPartner(GraphEdgeRecord* edge, AuditReport& report) {
    GraphEdgeRecord* partner = edge->partner;
    if (!edge->isBidirectional()) {
        if (partner != nullptr &&
            report.error(describe(L"edge %ld", edge->index),
                         L"only bidirectional edges have a partner", L"partner cleared")) {
            edge->partner = nullptr;
        }
        return;
    }
    if (isSoundPair(edge)) {
        return;
    }
    if (!areReverse(edge, partner) || isSoundPair(partner)) {
        if (report.error(describe(L"edge %ld", edge->index),
                         L"bidirectional edge has a partner running back", L"flag cleared")) {
            edge->flags &= ~kEdgeBidirectional;
            edge->partner = nullptr;
        }
        return;
    }
    if (report.error(describe(L"edge %ld", edge->index), L"partners point at each other",
                     L"partner linked back")) {
        partner->flags |= kEdgeBidirectional;
        partner->partner = edge;
    }
}

}  // namespace

Acad::ErrorStatus KxDbImpTagEvalGraph::audit(AcDbAuditInfo* info) {
    if (info == nullptr) {
        return Acad::eNullObjectPointer;
    }
    clearTransientFlags();
    AuditReport report(info, this);

    if (m_highId < m_lastId) {
        if (report.error(describe(L"high id %ld, last id %ld", static_cast<long>(m_highId),
                                  static_cast<long>(m_lastId)),
                         L"high id not below last id", L"high id set to last id")) {
            m_highId = m_lastId;
        }
    }
    for (size_t i = 0; i < m_nodes.size(); ++i) {
        if (m_nodes[i]->index != static_cast<Adesk::Int32>(i)) {
            if (report.error(
                    describe(L"node index %ld at %ld", m_nodes[i]->index, static_cast<long>(i)),
                    L"index is the position", L"index rewritten")) {
                m_nodes[i]->index = static_cast<Adesk::Int32>(i);
            }
        }
    }
    for (size_t i = 0; i < m_edges.size(); ++i) {
        if (m_edges[i]->index != static_cast<Adesk::Int32>(i)) {
            if (report.error(
                    describe(L"edge index %ld at %ld", m_edges[i]->index, static_cast<long>(i)),
                    L"index is the position", L"index rewritten")) {
                m_edges[i]->index = static_cast<Adesk::Int32>(i);
            }
        }
    }
    for (GraphNodeRecord* node : m_nodes) {
        if (!node->isLive()) {
            continue;
        }
        auto it = m_index.find(node->id);
        if (it != m_index.end() && it->second == node) {
            continue;
        }
        // Another live node under the same id cannot be told apart from this one.
        const bool taken = it != m_index.end() && it->second != nullptr && it->second->isLive();
        if (report.error(describe(L"node %ld", static_cast<long>(node->id)),
                         L"node found under its id", L"node indexed", !taken)) {
            m_index[node->id] = node;
        }
    }
    const size_t bound = m_edges.size();
    for (GraphNodeRecord* node : m_nodes) {
        if (node->isLive()) {
            auditList(node, kInList, bound, report);
            auditList(node, kOutList, bound, report);
        }
    }
    for (GraphEdgeRecord* edge : m_edges) {
        if (!edge->isLive()) {
            continue;
        }
        const Adesk::Int32 seen = edge->flags & (kSeenIn | kSeenOut);
        if (seen == (kSeenIn | kSeenOut)) {
            continue;
        }
        if (report.error(describe(L"edge %ld", edge->index), L"edge in the lists of both its nodes",
                         L"edge deleted")) {
            dropEdge(edge);
        }
    }
    for (GraphEdgeRecord* edge : m_edges) {
        if (edge->isLive()) {
            auditPartner(edge, report);
        }
    }
    clearTransientFlags();
    return Acad::eOk;
}
