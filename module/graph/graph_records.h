// The records an evaluation graph keeps for its nodes and edges, and the small tools the graph's
// algorithms share: opening a node object, walking an edge list with a bound, and a ring of
// node records.
//
// Records are owned by the graph's arrays and are freed only when the graph releases all of
// them at once (before reading, on failures, on destruction). Removing a node or an edge only
// flags its record deleted, so every record pointer stays valid for the life of the arrays;
// nothing a node does from inside a notification can leave the graph holding a dangling record.
#pragma once

#include <vector>

#include "host/db/dbobject.h"
#include "module/graph/node_types.h"

class KxDbTagEvalExpr;
struct GraphEdgeRecord;

namespace kxgraph {

// Node flags.
constexpr Adesk::Int32 kNodeDeleted = 0x1;
constexpr Adesk::Int32 kNodeActive = 0x2;
constexpr Adesk::Int32 kNodeNoExtraActivation = 0x4;
constexpr Adesk::Int32 kNodeQueued = 0x8;  // queued by the activation, ordered by the ordering
constexpr Adesk::Int32 kNodeOrderQueued = 0x40;  // waiting in the ordering's ring
constexpr Adesk::Int32 kNodeById = 0x20;         // the object is referenced by object id
constexpr Adesk::Int32 kNodeReportInactive = 0x200;

// Edge flags.
constexpr Adesk::Int32 kEdgeDeleted = 0x1;
constexpr Adesk::Int32 kEdgeBidirectional = 0x4;
constexpr Adesk::Int32 kEdgeSeen = 0x8;
constexpr Adesk::Int32 kEdgeInactive = 0x10;
constexpr Adesk::Int32 kEdgeConsumed = 0x40;
constexpr Adesk::Int32 kEdgeNeverTraversed = 0x80;

// Flags that live only during one activation, ordering, evaluation or audit.
constexpr Adesk::Int32 kTransientMask = 0x5a;
// Flags never written to a file.
constexpr Adesk::Int32 kUnfiledMask = 0x5b;

// No graph holds more records than this; larger counts in a file are damage.
constexpr Adesk::Int32 kMaxRecords = 1 << 22;

}  // namespace kxgraph

struct GraphNodeRecord {
    Adesk::Int32 index = 0;
    KxNodeId id = 0;
    // The object: by id when kNodeById is set, else an owned in-memory pointer (a node, or a
    // proxy standing in for one).
    AcDbObject* object = nullptr;
    AcDbObjectId objectId;
    GraphEdgeRecord* firstIn = nullptr;
    GraphEdgeRecord* lastIn = nullptr;
    GraphEdgeRecord* firstOut = nullptr;
    GraphEdgeRecord* lastOut = nullptr;
    Adesk::Int32 flags = 0;

    bool isLive() const { return (flags & kxgraph::kNodeDeleted) == 0; }
    bool isById() const { return (flags & kxgraph::kNodeById) != 0; }
    // True when the record names no object at all (a node filed without one).
    bool hasNoObject() const { return isById() ? objectId.isNull() : object == nullptr; }
    // Told to the node during an evaluation.
    bool reportsActive() const {
        return (flags & (kxgraph::kNodeActive | kxgraph::kNodeReportInactive)) ==
               kxgraph::kNodeActive;
    }
};

struct GraphEdgeRecord {
    Adesk::Int32 index = 0;
    Adesk::Int32 flags = 0;
    Adesk::Int32 refCount = 0;
    GraphNodeRecord* target = nullptr;
    GraphNodeRecord* source = nullptr;
    GraphEdgeRecord* prevIn = nullptr;
    GraphEdgeRecord* nextIn = nullptr;
    GraphEdgeRecord* prevOut = nullptr;
    GraphEdgeRecord* nextOut = nullptr;
    GraphEdgeRecord* partner = nullptr;

    bool isLive() const { return (flags & kxgraph::kEdgeDeleted) == 0; }
    bool isBidirectional() const { return (flags & kxgraph::kEdgeBidirectional) != 0; }
};

namespace kxgraph {

// The edges of one list of a node, in list order. A damaged list (one whose links run in a
// circle) is cut after `bound` edges, so no walk can run forever.
std::vector<GraphEdgeRecord*> outEdges(const GraphNodeRecord* node, size_t bound);
std::vector<GraphEdgeRecord*> inEdges(const GraphNodeRecord* node, size_t bound);

// Appends the edge to the end of its source's out-list and its target's in-list.
void linkEdge(GraphEdgeRecord* edge);
// Takes the edge out of both lists (its own links are cleared).
void unlinkEdge(GraphEdgeRecord* edge);

KxEdgeInfo edgeInfo(const GraphEdgeRecord* edge);

// A node object opened for the length of a scope. Database-resident nodes are opened through
// the host (erased ones included) and closed again; in-memory nodes are used by pointer and
// need no close.
class NodeAccess {
  public:
    NodeAccess() = default;
    ~NodeAccess() { close(); }
    NodeAccess(const NodeAccess&) = delete;
    NodeAccess& operator=(const NodeAccess&) = delete;

    // eBrokenHandle for a record whose stored id names nothing; eNullObjectPointer for an
    // in-memory record without an object; otherwise the host's open status.
    Acad::ErrorStatus open(const GraphNodeRecord* record, AcDb::OpenMode mode);
    AcDbObject* object() const { return m_object; }
    // The object as a node; null for anything else (a proxy).
    KxDbTagEvalExpr* node() const;
    void close();
    // Hands the open object to the caller, who closes it.
    AcDbObject* release();

  private:
    AcDbObject* m_object = nullptr;
    bool m_hostOpened = false;
};

// True for the statuses by which the host refuses an open because an enclosing caller holds the
// object already.
inline bool isAlreadyOpen(Acad::ErrorStatus es) {
    return es == Acad::eWasOpenForWrite || es == Acad::eWasOpenForRead;
}

// A fixed ring of node records: a push onto a full ring is dropped.
class NodeRing {
  public:
    explicit NodeRing(size_t capacity) : m_slots(capacity > 0 ? capacity : 1) {}
    void push(GraphNodeRecord* node);
    GraphNodeRecord* pop();
    bool empty() const { return m_count == 0; }

  private:
    std::vector<GraphNodeRecord*> m_slots;
    size_t m_head = 0;
    size_t m_count = 0;
};

}  // namespace kxgraph
