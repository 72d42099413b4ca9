// The graph in its filed form: records that refer to each other by index instead of by pointer.
// Writing, reading and copying all go through it: the writer files the graph's dense view, the
// readers check what they read before any of it becomes records, and the copy builds its
// records from the source's view.
#pragma once

#include <vector>

#include "host/db/objectid.h"
#include "module/graph/node_types.h"

namespace kxgraph {

// Index meaning "no record". Any negative index read from a file means the same.
constexpr Adesk::Int32 kNoIndex = -1;

struct FiledNode {
    Adesk::Int32 index = 0;
    Adesk::Int32 flags = 0;
    KxNodeId id = 0;
    AcDbObjectId objectId;
    Adesk::Int32 firstIn = kNoIndex;
    Adesk::Int32 lastIn = kNoIndex;
    Adesk::Int32 firstOut = kNoIndex;
    Adesk::Int32 lastOut = kNoIndex;
};

struct FiledEdge {
    Adesk::Int32 index = 0;
    Adesk::Int32 flags = 0;
    Adesk::Int32 refCount = 0;
    Adesk::Int32 source = kNoIndex;
    Adesk::Int32 target = kNoIndex;
    Adesk::Int32 prevIn = kNoIndex;
    Adesk::Int32 nextIn = kNoIndex;
    Adesk::Int32 prevOut = kNoIndex;
    Adesk::Int32 nextOut = kNoIndex;
    Adesk::Int32 partner = kNoIndex;
};

struct FiledGraph {
    KxNodeId lastId = 0;
    KxNodeId highId = 0;
    std::vector<FiledNode> nodes;
    std::vector<FiledEdge> edges;
};

// The structural checks every reader applies before adopting filed data: node ids not 0 and
// not above the high id, list ends and links naming an edge or none, edge ends naming a node,
// reference counts above 0, and a partner exactly on the edges flagged bidirectional. With
// `requireObjects`, every node must also name an object. eBadDxfSequence when a check fails.
Acad::ErrorStatus checkFiledGraph(const FiledGraph& filed, bool requireObjects);

}  // namespace kxgraph
