// The graph's structure: node records and their ids, edges with their reference counts and
// bidirectional partners, and the queries on them.
#include <new>

#include "host/db/database.h"
#include "module/graph/eval_expr.h"
#include "module/graph/eval_graph_imp.h"
#include "module/params/block_tag.h"

using namespace kxgraph;

namespace {

// Runs `f` on the node of a record opened in `mode`; records that cannot be opened, and
// objects that are not nodes, are passed over: a notification is owed only to nodes that
// can hear it.
template <class F>
void withNode(const GraphNodeRecord* record, AcDb::OpenMode mode, F f) {
    if (record == nullptr || record->hasNoObject()) {
        return;
    }
    NodeAccess access;
    if (access.open(record, mode) == Acad::eOk && access.node() != nullptr) {
        f(access.node());
    }
}

constexpr KxNodeId kLargestNodeId = 0xFFFFFFFFu;

// One more use of an edge. A count read from a file may already be at the limit; it stays there.
void addReference(GraphEdgeRecord* edge) {
    if (edge->refCount < 0x7FFFFFFF) {
        ++edge->refCount;
    }
}

}  // namespace

KxDbImpTagEvalGraph::~KxDbImpTagEvalGraph() {
    releaseRecords();
}

void KxDbImpTagEvalGraph::releaseRecords() {
    // Take the arrays first: deleting a node object runs its destructor, which must find the
    // graph already empty.
    std::vector<GraphNodeRecord*> nodes;
    std::vector<GraphEdgeRecord*> edges;
    nodes.swap(m_nodes);
    edges.swap(m_edges);
    m_index.clear();
    for (GraphNodeRecord* record : nodes) {
        // An object that made it into a database belongs to the database, whatever the record
        // says.
        if (!record->isById() && record->object != nullptr && record->object->objectId().isNull()) {
            delete record->object;
        }
        delete record;
    }
    for (GraphEdgeRecord* edge : edges) {
        delete edge;
    }
}

GraphNodeRecord* KxDbImpTagEvalGraph::liveRecord(KxNodeId id) const {
    auto it = m_index.find(id);
    if (it == m_index.end() || it->second == nullptr || !it->second->isLive()) {
        return nullptr;
    }
    return it->second;
}

GraphEdgeRecord* KxDbImpTagEvalGraph::findOutEdge(const GraphNodeRecord* source,
                                                  const GraphNodeRecord* target) const {
    for (GraphEdgeRecord* edge : outList(source)) {
        if (edge->isLive() && edge->target == target) {
            return edge;
        }
    }
    return nullptr;
}

GraphEdgeRecord* KxDbImpTagEvalGraph::findInEdge(const GraphNodeRecord* source,
                                                 const GraphNodeRecord* target) const {
    for (GraphEdgeRecord* edge : inList(target)) {
        if (edge->isLive() && edge->source == source) {
            return edge;
        }
    }
    return nullptr;
}

// --- Node ids ------------------------------------------------------------------------------------

// Ids are handed out in increasing order. A graph read from a file may have handed out ids above
// its last one (its last id is below its high id); then the smallest free id after the last one
// is taken. The high id always follows the largest id handed out, and 0 is never handed out.
Acad::ErrorStatus KxDbImpTagEvalGraph::allocateNodeId(KxNodeId& id) {
    // The smallest id in [from, to] that no record uses, deleted records included (their ids
    // stay taken until the records are dropped).
    auto firstFree = [this](KxNodeId from, KxNodeId to, KxNodeId& found) {
        KxNodeId candidate = from;
        for (auto it = m_index.lower_bound(from); it != m_index.end(); ++it) {
            if (it->first != candidate) {
                break;
            }
            if (candidate == to) {
                return false;
            }
            ++candidate;
        }
        if (candidate > to) {
            return false;
        }
        found = candidate;
        return true;
    };
    KxNodeId start = m_lastId + 1;
    if (start == 0) {
        start = 1;
    }
    KxNodeId found = 0;
    if (!firstFree(start, kLargestNodeId, found) &&
        !(start > 1 && firstFree(1, start - 1, found))) {
        return KxStatus::kNodeExists;
    }
    m_lastId = found;
    if (found > m_highId) {
        m_highId = found;
    }
    id = found;
    return Acad::eOk;
}

// --- Nodes ---------------------------------------------------------------------------------------

Acad::ErrorStatus KxDbImpTagEvalGraph::addNode(KxDbTagEvalExpr* node, KxNodeId& id) {
    assertWriteEnabled();
    if (node == nullptr) {
        return Acad::eNullObjectPointer;
    }
    if (!node->isWriteEnabled()) {
        return Acad::eNotOpenForWrite;
    }
    AcDbDatabase* db = database();
    if (node->database() != nullptr && node->database() != db) {
        return Acad::eWrongDatabase;
    }
    const AcDbObjectId owner = node->ownerId();
    if (!owner.isNull() && owner != objectId()) {
        return Acad::eInvalidContext;
    }
    if (node->getNodeId() != 0) {
        return KxStatus::kNodeExists;
    }
    if (db != nullptr && node->database() == nullptr) {
        // The node comes back open for write, as the caller had it; the caller's close ends
        // that open.
        AcDbObjectId added;
        const Acad::ErrorStatus es = db->addAcDbObject(added, node);
        if (es != Acad::eOk) {
            return es;
        }
    }
    KxNodeId newId = 0;
    Acad::ErrorStatus es = allocateNodeId(newId);
    if (es != Acad::eOk) {
        return es;
    }
    if (m_index.count(newId) != 0) {
        return KxStatus::kNodeExists;
    }
    auto* record = new (std::nothrow) GraphNodeRecord();
    if (record == nullptr) {
        return Acad::eOutOfMemory;
    }
    record->index = static_cast<Adesk::Int32>(m_nodes.size());
    record->id = newId;
    if (!node->objectId().isNull()) {
        record->flags = kNodeById;
        record->objectId = node->objectId();
    } else {
        record->object = node;
    }
    m_index[newId] = record;
    m_nodes.push_back(record);

    node->setNodeId(newId);
    id = newId;
    if (db != nullptr) {
        node->setOwnerId(objectId());
    }
    node->addedToGraph(graph());
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpTagEvalGraph::removeNode(KxDbTagEvalExpr* node) {
    if (node == nullptr) {
        return Acad::eNullObjectPointer;
    }
    GraphNodeRecord* record = liveRecord(node->getNodeId());
    // A node of another graph may carry the same id: only the record of this very object
    // counts.
    if (record == nullptr ||
        (record->isById() ? record->objectId != node->objectId() : record->object != node)) {
        assertWriteEnabled();
        return Acad::eNullObjectPointer;
    }
    return removeNodeRecord(record, node);
}

Acad::ErrorStatus KxDbImpTagEvalGraph::removeNode(KxNodeId id) {
    GraphNodeRecord* record = liveRecord(id);
    if (record == nullptr) {
        assertWriteEnabled();
        return Acad::eNullObjectPointer;
    }
    return removeNodeRecord(record, nullptr);
}

// Removes the node's edges and flags its record deleted before anyone is told: the hooks may
// call back into the graph (a grip removes its expression nodes along with itself) and must find
// it consistent. An in-memory node object is handed back to whoever removed it: the record lets
// go of it, so neither compaction nor releasing the records frees it.
Acad::ErrorStatus KxDbImpTagEvalGraph::removeNodeRecord(GraphNodeRecord* record,
                                                        KxDbTagEvalExpr* given) {
    assertWriteEnabled();
    const KxNodeId removedId = record->id;
    const std::vector<GraphEdgeRecord*> outs = outList(record);
    const std::vector<GraphEdgeRecord*> ins = inList(record);
    std::vector<KxNodeId> neighbours;
    for (GraphEdgeRecord* edge : outs) {
        if (edge->isLive() && edge->target != nullptr) {
            neighbours.push_back(edge->target->id);
        }
    }
    for (GraphEdgeRecord* edge : ins) {
        if (edge->isLive() && edge->source != nullptr) {
            neighbours.push_back(edge->source->id);
        }
    }

    // The removed node itself hears about its edges and its removal; it is opened for write
    // because it loses its id.
    NodeAccess removedAccess;
    KxDbTagEvalExpr* removed = given;
    if (removed == nullptr && !record->hasNoObject() &&
        removedAccess.open(record, AcDb::kForWrite) == Acad::eOk) {
        removed = removedAccess.node();
    }

    for (GraphEdgeRecord* edge : outs) {
        if (edge->isLive()) {
            deleteEdge(edge);
        }
    }
    for (GraphEdgeRecord* edge : ins) {
        if (edge->isLive()) {
            deleteEdge(edge);
        }
    }
    record->firstIn = record->lastIn = record->firstOut = record->lastOut = nullptr;
    record->flags |= kNodeDeleted;
    if (!record->isById()) {
        record->object = nullptr;
    }

    for (KxNodeId neighbour : neighbours) {
        withNode(liveRecord(neighbour), AcDb::kForNotify,
                 [removedId](KxDbTagEvalExpr* node) { node->edgeRemoved(removedId); });
        if (removed != nullptr) {
            removed->edgeRemoved(neighbour);
        }
    }
    for (KxNodeId neighbour : neighbours) {
        withNode(liveRecord(neighbour), AcDb::kForNotify,
                 [removedId](KxDbTagEvalExpr* node) { node->nodeRemoved(removedId); });
    }
    if (removed != nullptr) {
        removed->removedFromGraph(graph());
        removed->setNodeId(0);
    }
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpTagEvalGraph::getAllNodeIds(KxNodeIdArray& ids) const {
    ids.setLogicalLength(0);
    const std::vector<GraphNodeRecord*> nodes = m_nodes;
    for (GraphNodeRecord* record : nodes) {
        if (!record->isLive()) {
            continue;
        }
        // A node filed without its object (an in-memory graph read back) has nothing to
        // compare with.
        if (!record->isById() && record->object == nullptr) {
            ids.append(record->id);
            continue;
        }
        NodeAccess access;
        const Acad::ErrorStatus es = access.open(record, AcDb::kForRead);
        // A node already open in a conflicting mode belongs to an enclosing caller (an element
        // checking a new name): it is in the graph, and its id is the one it was given.
        if (isAlreadyOpen(es)) {
            ids.append(record->id);
            continue;
        }
        if (es != Acad::eOk) {
            return es;
        }
        const KxDbTagEvalExpr* node = access.node();
        if (node != nullptr && node->getNodeId() != record->id) {
            return Acad::eInvalidIndex;
        }
        ids.append(record->id);
    }
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpTagEvalGraph::getNode(KxNodeId id, AcDb::OpenMode mode,
                                               KxDbTagEvalExpr*& node) const {
    node = nullptr;
    const GraphNodeRecord* record = liveRecord(id);
    if (record == nullptr) {
        return Acad::eKeyNotFound;
    }
    NodeAccess access;
    const Acad::ErrorStatus es = access.open(record, mode);
    if (es != Acad::eOk) {
        return es;
    }
    if (access.node() == nullptr) {
        return Acad::eNotThatKindOfClass;
    }
    node = access.node();
    access.release();
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpTagEvalGraph::validateNodeObject(const AcDbObject* object) const {
    if (object == nullptr) {
        return Acad::eNullObjectPointer;
    }
    if (object == publicObject()) {
        return Acad::eMissingSymbolTableRec;
    }
    if (object->database() != nullptr && object->database() != database()) {
        return Acad::eWrongDatabase;
    }
    if (!object->isWriteEnabled()) {
        return Acad::eNotOpenForWrite;
    }
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpTagEvalGraph::getNodeStateFlag(KxNodeId id, bool& flag) const {
    flag = false;
    return liveRecord(id) != nullptr ? Acad::eOk : KxStatus::kNodeNotFound;
}

Acad::ErrorStatus KxDbImpTagEvalGraph::getParameterLabelNames(AcStringArray& names,
                                                              KxNodeId except) const {
    Acad::ErrorStatus result = Acad::eOk;
    const std::vector<GraphNodeRecord*> nodes = m_nodes;
    for (GraphNodeRecord* record : nodes) {
        if (!record->isLive() || record->id == except || record->hasNoObject()) {
            continue;
        }
        NodeAccess access;
        const Acad::ErrorStatus es = access.open(record, AcDb::kForRead);
        if (isAlreadyOpen(es)) {
            continue;
        }
        if (es != Acad::eOk) {
            if (result == Acad::eOk) {
                result = es;
            }
            continue;
        }
        if (const KxDbBlockTag* parameter = KxDbBlockTag::cast(access.object())) {
            parameter->getLabelNames(names);
        }
    }
    return result;
}

// --- Edges ---------------------------------------------------------------------------------------

GraphEdgeRecord* KxDbImpTagEvalGraph::createEdge(GraphNodeRecord* source, GraphNodeRecord* target,
                                                 Adesk::Int32 flags) {
    auto* edge = new (std::nothrow) GraphEdgeRecord();
    if (edge == nullptr) {
        return nullptr;
    }
    edge->index = static_cast<Adesk::Int32>(m_edges.size());
    edge->flags = flags;
    edge->refCount = 1;
    edge->source = source;
    edge->target = target;
    m_edges.push_back(edge);
    linkEdge(edge);
    return edge;
}

void KxDbImpTagEvalGraph::deleteEdge(GraphEdgeRecord* edge) {
    unlinkEdge(edge);
    edge->flags |= kEdgeDeleted;
    GraphEdgeRecord* partner = edge->partner;
    if (partner != nullptr && partner->partner == edge) {
        partner->partner = nullptr;
        partner->flags &= ~kEdgeBidirectional;
    }
    edge->partner = nullptr;
}

void KxDbImpTagEvalGraph::releaseEdgeReference(GraphEdgeRecord* edge) {
    GraphEdgeRecord* partner = edge->partner;
    --edge->refCount;
    if (partner != nullptr) {
        --partner->refCount;
    }
    if (edge->refCount <= 0) {
        deleteEdge(edge);
    }
    if (partner != nullptr && partner->isLive() && partner->refCount <= 0) {
        deleteEdge(partner);
    }
}

void KxDbImpTagEvalGraph::notifyEdgeRemoved(KxNodeId sourceId, KxNodeId targetId) const {
    withNode(liveRecord(targetId), AcDb::kForNotify,
             [sourceId](KxDbTagEvalExpr* node) { node->edgeRemoved(sourceId); });
    withNode(liveRecord(sourceId), AcDb::kForNotify,
             [targetId](KxDbTagEvalExpr* node) { node->edgeRemoved(targetId); });
}

void KxDbImpTagEvalGraph::notifyEdgeAdded(KxNodeId sourceId, KxNodeId targetId,
                                          bool bidirectional) const {
    auto tell = [sourceId, targetId, bidirectional](KxDbTagEvalExpr* node) {
        node->edgeAdded(sourceId, targetId, bidirectional);
        if (bidirectional) {
            node->edgeAdded(targetId, sourceId, true);
        }
    };
    withNode(liveRecord(sourceId), AcDb::kForNotify, tell);
    withNode(liveRecord(targetId), AcDb::kForNotify, tell);
}

Acad::ErrorStatus KxDbImpTagEvalGraph::addEdge(KxNodeId sourceId, KxNodeId targetId,
                                               bool bidirectional) {
    assertWriteEnabled();
    GraphNodeRecord* source = liveRecord(sourceId);
    GraphNodeRecord* target = liveRecord(targetId);
    if (source != nullptr && target != nullptr) {
        if (GraphEdgeRecord* existing = findOutEdge(source, target)) {
            // Adding an edge again counts one more use of it; an edge of the other kind stays
            // as it is.
            if (existing->isBidirectional() == bidirectional) {
                addReference(existing);
                if (existing->partner != nullptr) {
                    addReference(existing->partner);
                }
            }
            notifyEdgeAdded(sourceId, targetId, bidirectional);
            return KxStatus::kEdgeExists;
        }
    }
    if (source == nullptr || target == nullptr) {
        return Acad::eNullObjectPointer;
    }
    // A node never feeds itself: a bidirectional edge to itself would be its own partner.
    if (source == target) {
        return Acad::eInvalidInput;
    }
    GraphEdgeRecord* forward = createEdge(source, target, bidirectional ? kEdgeBidirectional : 0);
    if (forward == nullptr) {
        return Acad::eOutOfMemory;
    }
    bool replacedPlainReverse = false;
    if (bidirectional) {
        // A plain edge back from the target gives up one use to the new pair.
        GraphEdgeRecord* plain = findOutEdge(target, source);
        if (plain != nullptr && !plain->isBidirectional()) {
            releaseEdgeReference(plain);
            replacedPlainReverse = true;
        }
        GraphEdgeRecord* reverse = createEdge(target, source, kEdgeBidirectional);
        if (reverse == nullptr) {
            deleteEdge(forward);
            return Acad::eOutOfMemory;
        }
        forward->partner = reverse;
        reverse->partner = forward;
    }
    // The nodes hear about the changes once the structure is whole again.
    if (replacedPlainReverse) {
        notifyEdgeRemoved(targetId, sourceId);
    }
    notifyEdgeAdded(sourceId, targetId, bidirectional);
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpTagEvalGraph::removeEdge(KxNodeId sourceId, KxNodeId targetId) {
    assertWriteEnabled();
    GraphNodeRecord* source = liveRecord(sourceId);
    GraphNodeRecord* target = liveRecord(targetId);
    if (source == nullptr || target == nullptr) {
        return KxStatus::kNodeNotFound;
    }
    GraphEdgeRecord* edge = findOutEdge(source, target);
    if (edge == nullptr) {
        return KxStatus::kEdgeNotFound;
    }
    releaseEdgeReference(edge);
    notifyEdgeRemoved(sourceId, targetId);
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpTagEvalGraph::getIncomingEdges(KxNodeId id, KxEdgeInfoArray& edges) const {
    const GraphNodeRecord* record = liveRecord(id);
    if (record == nullptr) {
        return Acad::eNullObjectPointer;
    }
    for (const GraphEdgeRecord* edge : inList(record)) {
        if (edge->isLive()) {
            edges.append(edgeInfo(edge));
        }
    }
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpTagEvalGraph::getOutgoingEdges(KxNodeId id, KxEdgeInfoArray& edges) const {
    const GraphNodeRecord* record = liveRecord(id);
    if (record == nullptr) {
        return Acad::eNullObjectPointer;
    }
    for (const GraphEdgeRecord* edge : outList(record)) {
        if (edge->isLive()) {
            edges.append(edgeInfo(edge));
        }
    }
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpTagEvalGraph::getEdgeInfo(KxNodeId sourceId, KxNodeId targetId,
                                                   KxEdgeInfo& info) const {
    const GraphNodeRecord* source = liveRecord(sourceId);
    const GraphNodeRecord* target = liveRecord(targetId);
    if (source == nullptr || target == nullptr) {
        return Acad::eNullObjectPointer;
    }
    const GraphEdgeRecord* edge = findOutEdge(source, target);
    if (edge == nullptr) {
        edge = findInEdge(source, target);
    }
    if (edge == nullptr) {
        return Acad::eNullObjectPointer;
    }
    info = edgeInfo(edge);
    return Acad::eOk;
}
