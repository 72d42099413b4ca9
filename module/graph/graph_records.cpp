#include "module/graph/graph_records.h"

#include "module/graph/eval_expr.h"

namespace kxgraph {

std::vector<GraphEdgeRecord*> outEdges(const GraphNodeRecord* node, size_t bound) {
    std::vector<GraphEdgeRecord*> edges;
    if (node == nullptr) {
        return edges;
    }
    for (GraphEdgeRecord* e = node->firstOut; e != nullptr && edges.size() < bound;
         e = e->nextOut) {
        edges.push_back(e);
    }
    return edges;
}

std::vector<GraphEdgeRecord*> inEdges(const GraphNodeRecord* node, size_t bound) {
    std::vector<GraphEdgeRecord*> edges;
    if (node == nullptr) {
        return edges;
    }
    for (GraphEdgeRecord* e = node->firstIn; e != nullptr && edges.size() < bound; e = e->nextIn) {
        edges.push_back(e);
    }
    return edges;
}

void linkEdge(GraphEdgeRecord* edge) {
    GraphNodeRecord* source = edge->source;
    GraphNodeRecord* target = edge->target;
    edge->prevOut = source->lastOut;
    edge->nextOut = nullptr;
    if (source->lastOut != nullptr) {
        source->lastOut->nextOut = edge;
    } else {
        source->firstOut = edge;
    }
    source->lastOut = edge;

    edge->prevIn = target->lastIn;
    edge->nextIn = nullptr;
    if (target->lastIn != nullptr) {
        target->lastIn->nextIn = edge;
    } else {
        target->firstIn = edge;
    }
    target->lastIn = edge;
}

void unlinkEdge(GraphEdgeRecord* edge) {
    GraphNodeRecord* source = edge->source;
    GraphNodeRecord* target = edge->target;
    if (edge->prevOut != nullptr) {
        edge->prevOut->nextOut = edge->nextOut;
    } else if (source != nullptr && source->firstOut == edge) {
        source->firstOut = edge->nextOut;
    }
    if (edge->nextOut != nullptr) {
        edge->nextOut->prevOut = edge->prevOut;
    } else if (source != nullptr && source->lastOut == edge) {
        source->lastOut = edge->prevOut;
    }
    if (edge->prevIn != nullptr) {
        edge->prevIn->nextIn = edge->nextIn;
    } else if (target != nullptr && target->firstIn == edge) {
        target->firstIn = edge->nextIn;
    }
    if (edge->nextIn != nullptr) {
        edge->nextIn->prevIn = edge->prevIn;
    } else if (target != nullptr && target->lastIn == edge) {
        target->lastIn = edge->prevIn;
    }
    edge->prevOut = edge->nextOut = edge->prevIn = edge->nextIn = nullptr;
}

KxEdgeInfo edgeInfo(const GraphEdgeRecord* edge) {
    KxEdgeInfo info;
    info.sourceId = edge->source != nullptr ? edge->source->id : 0;
    info.targetId = edge->target != nullptr ? edge->target->id : 0;
    info.flags = edge->flags;
    info.refCount = edge->refCount;
    return info;
}

Acad::ErrorStatus NodeAccess::open(const GraphNodeRecord* record, AcDb::OpenMode mode) {
    close();
    if (record == nullptr) {
        return Acad::eNullObjectPointer;
    }
    if (record->isById()) {
        if (!record->objectId.isValid()) {
            return Acad::eBrokenHandle;
        }
        AcDbObject* obj = nullptr;
        const Acad::ErrorStatus es = acdbOpenObject(obj, record->objectId, mode, true);
        if (es != Acad::eOk) {
            return es;
        }
        m_object = obj;
        m_hostOpened = true;
        return Acad::eOk;
    }
    if (record->object == nullptr) {
        return Acad::eNullObjectPointer;
    }
    m_object = record->object;
    return Acad::eOk;
}

KxDbTagEvalExpr* NodeAccess::node() const {
    return KxDbTagEvalExpr::cast(m_object);
}

void NodeAccess::close() {
    if (m_object != nullptr && m_hostOpened) {
        m_object->close();
    }
    m_object = nullptr;
    m_hostOpened = false;
}

AcDbObject* NodeAccess::release() {
    AcDbObject* obj = m_object;
    m_object = nullptr;
    m_hostOpened = false;
    return obj;
}

void NodeRing::push(GraphNodeRecord* node) {
    if (m_count == m_slots.size()) {
        return;
    }
    m_slots[(m_head + m_count) % m_slots.size()] = node;
    ++m_count;
}

GraphNodeRecord* NodeRing::pop() {
    if (m_count == 0) {
        return nullptr;
    }
    GraphNodeRecord* node = m_slots[m_head];
    m_head = (m_head + 1) % m_slots.size();
    --m_count;
    return node;
}

}  // namespace kxgraph
