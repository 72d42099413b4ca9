// Copies of a graph, moving an in-memory graph into a database, saving hooks and structural
// comparison.
#include "host/db/database.h"
#include "module/graph/eval_expr.h"
#include "module/graph/eval_graph_imp.h"
#include "module/graph/graph_filed.h"

using namespace kxgraph;

namespace {

bool sameEdges(const KxEdgeInfoArray& a, const KxEdgeInfoArray& b) {
    if (a.length() != b.length()) {
        return false;
    }
    for (int i = 0; i < a.length(); ++i) {
        if (a[i] != b[i]) {
            return false;
        }
    }
    return true;
}

void deleteObjects(std::vector<AcDbObject*>& objects) {
    for (AcDbObject* object : objects) {
        delete object;
    }
    objects.clear();
}

// Erases an object the graph put into a database before a failure: the database owns it, so it
// is never deleted, only erased.
void eraseAdded(const AcDbObjectId& id) {
    AcDbObject* object = nullptr;
    if (acdbOpenObject(object, id, AcDb::kForWrite, false) == Acad::eOk) {
        object->erase(true);
        object->close();
    }
}

}  // namespace

// The copy holds a clone of every node by pointer, under the source's ids, with the source's
// edges; the source is only read. When the host copies a graph it first runs the graph's own
// filing into this one, which leaves records naming the source's nodes: those are dropped here
// (a record naming a node by id never deletes it).
Acad::ErrorStatus KxDbImpTagEvalGraph::copyFrom(const AcRxObject* other) {
    const KxDbTagEvalGraph* source = KxDbTagEvalGraph::cast(other);
    if (source == nullptr) {
        return Acad::eWrongObjectType;
    }
    if (source == graph()) {
        return Acad::eOk;
    }
    const KxDbImpTagEvalGraph* from = kxImpOf<KxDbImpTagEvalGraph>(source);
    if (from == nullptr) {
        return Acad::eNullObjectPointer;
    }
    assertWriteEnabled();
    releaseRecords();

    // The source's dense view is what a compacted source would hold.
    FiledGraph filed;
    std::vector<GraphNodeRecord*> kept;
    from->snapshot(filed, &kept);
    std::vector<AcDbObject*> clones;
    for (size_t i = 0; i < kept.size(); ++i) {
        NodeAccess access;
        const Acad::ErrorStatus es = access.open(kept[i], AcDb::kForRead);
        if (es != Acad::eOk) {
            deleteObjects(clones);
            return es;
        }
        AcRxObject* made = access.object()->clone();
        access.close();
        AcDbObject* copy = AcDbObject::cast(made);
        // Without a clone of every node the copy would have edges to nothing.
        if (copy == nullptr || (KxDbTagEvalExpr::cast(copy) == nullptr && !copy->isAProxy())) {
            delete made;
            deleteObjects(clones);
            return Acad::eNullObjectPointer;
        }
        clones.push_back(copy);
        filed.nodes[i].flags &= ~kNodeById;
        filed.nodes[i].objectId.setNull();
    }
    const Acad::ErrorStatus es = adopt(filed, &clones);
    if (es != Acad::eOk) {
        deleteObjects(clones);
        return es;
    }
    for (size_t i = 0; i < clones.size(); ++i) {
        if (KxDbTagEvalExpr* node = KxDbTagEvalExpr::cast(clones[i])) {
            node->setNodeId(filed.nodes[i].id);
            node->setOwnerGraph(graph());
        }
    }
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpTagEvalGraph::addGraphToDatabase(AcDbObjectId& id, AcDbDatabase* db) {
    if (isDatabaseResident()) {
        return Acad::eWrongDatabase;
    }
    if (db == nullptr) {
        return Acad::eNoDatabase;
    }
    assertWriteEnabled();
    KxDbTagEvalGraph* self = graph();
    std::vector<GraphNodeRecord*> records;
    for (GraphNodeRecord* record : m_nodes) {
        if (record->isLive() && !record->isById() && record->object != nullptr) {
            records.push_back(record);
        }
    }
    // Nodes put into the database here; a failure erases them (the database owns them now),
    // while the nodes that never got there are deleted with the records.
    std::vector<AcDbObjectId> added(records.size());
    auto fail = [this, &added](Acad::ErrorStatus es) {
        for (const AcDbObjectId& nodeId : added) {
            if (!nodeId.isNull()) {
                eraseAdded(nodeId);
            }
        }
        releaseRecords();
        return es;
    };
    for (size_t i = 0; i < records.size(); ++i) {
        AcDbObject* object = records[i]->object;
        Acad::ErrorStatus es = Acad::eOk;
        AcDbObjectId nodeId;
        if (KxDbTagEvalExpr* node = KxDbTagEvalExpr::cast(object)) {
            node->removedFromGraph(self);
            es = node->addToDatabase(nodeId, db);
        } else {
            es = db->addAcDbObject(nodeId, object);
        }
        if (!object->objectId().isNull()) {
            added[i] = object->objectId();
            // A newly added object comes back open for write; nobody else holds it yet.
            if (object->isNotifyEnabled()) {
                object->close();
            }
        }
        if (es != Acad::eOk) {
            return fail(es);
        }
        if (added[i].isNull()) {
            return fail(Acad::eNotInDatabase);
        }
    }
    Acad::ErrorStatus es = db->addAcDbObject(id, self);
    if (es != Acad::eOk) {
        return fail(es);
    }
    for (size_t i = 0; i < records.size(); ++i) {
        AcDbObject* object = nullptr;
        es = acdbOpenObject(object, added[i], AcDb::kForWrite, false);
        if (es != Acad::eOk) {
            return fail(es);
        }
        es = object->setOwnerId(id);
        object->close();
        if (es != Acad::eOk) {
            return fail(es);
        }
        records[i]->flags |= kNodeById;
        records[i]->objectId = added[i];
        records[i]->object = nullptr;
    }
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpTagEvalGraph::decomposeForSave(AcDb::AcDbDwgVersion ver,
                                                        AcDbObject*& replaceObj,
                                                        AcDbObjectId& replaceId,
                                                        Adesk::Boolean& exchangeXData) {
    const std::vector<GraphNodeRecord*> nodes = m_nodes;
    for (GraphNodeRecord* record : nodes) {
        if (!record->isLive() || !record->isById() || !record->objectId.isValid()) {
            continue;
        }
        NodeAccess access;
        if (access.open(record, AcDb::kForWrite) != Acad::eOk) {
            continue;
        }
        AcDbObject* nodeReplace = nullptr;
        AcDbObjectId nodeReplaceId;
        Adesk::Boolean nodeExchange = false;
        access.object()->decomposeForSave(ver, nodeReplace, nodeReplaceId, nodeExchange);
    }
    return Acad::eOk;
}

bool KxDbImpTagEvalGraph::isGraphEquivalent(const KxDbTagEvalGraph* other) const {
    const KxDbImpTagEvalGraph* that = kxImpOf<KxDbImpTagEvalGraph>(other);
    if (that == nullptr) {
        return false;
    }
    auto liveCount = [](const std::vector<GraphNodeRecord*>& nodes) {
        size_t count = 0;
        for (const GraphNodeRecord* node : nodes) {
            count += node->isLive() ? 1 : 0;
        }
        return count;
    };
    return liveCount(m_nodes) == liveCount(that->m_nodes) && isStructureEqual(other) &&
           that->isStructureEqual(graph());
}

bool KxDbImpTagEvalGraph::isStructureEqual(const KxDbTagEvalGraph* other) const {
    const KxDbImpTagEvalGraph* that = kxImpOf<KxDbImpTagEvalGraph>(other);
    if (that == nullptr) {
        return false;
    }
    const std::vector<GraphNodeRecord*> nodes = m_nodes;
    for (const GraphNodeRecord* record : nodes) {
        if (!record->isLive()) {
            continue;
        }
        const GraphNodeRecord* theirs = that->liveRecord(record->id);
        if (theirs == nullptr) {
            return false;
        }
        if (!record->hasNoObject()) {
            NodeAccess mine;
            if (mine.open(record, AcDb::kForRead) != Acad::eOk) {
                return false;
            }
            NodeAccess their;
            if (!theirs->hasNoObject()) {
                their.open(theirs, AcDb::kForRead);
            }
            if (mine.node() != nullptr) {
                if (!mine.node()->isSameClass(their.node())) {
                    return false;
                }
            } else if (their.object() == nullptr || mine.object()->isA() != their.object()->isA()) {
                return false;
            }
        }
        KxEdgeInfoArray a;
        KxEdgeInfoArray b;
        getIncomingEdges(record->id, a);
        that->getIncomingEdges(record->id, b);
        if (!sameEdges(a, b)) {
            return false;
        }
        a.setLogicalLength(0);
        b.setLogicalLength(0);
        getOutgoingEdges(record->id, a);
        that->getOutgoingEdges(record->id, b);
        if (!sameEdges(a, b)) {
            return false;
        }
    }
    return true;
}
