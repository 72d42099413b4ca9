// DWG and DXF filing of the graph.
//
// What is filed is the graph's dense view: live nodes that name an object and the live edges
// between them, renumbered in array order, with list links that skip whatever was left out. The
// records in memory are not touched by writing, so a graph open for read can be saved and a
// graph being copied stays as it was.
//
// Everything read is untrusted: counts are bounded, every index is checked before it becomes a
// pointer, and nothing read becomes a record until the whole graph has passed the checks.
#include <new>
#include <unordered_map>

#include "host/core/heap.h"
#include "host/db/dwgfiler.h"
#include "host/db/dxffiler.h"
#include "module/graph/eval_graph_imp.h"
#include "module/graph/graph_filed.h"

using namespace kxgraph;

namespace {

const ACHAR* const kSubclassMarker = L"AcDbEvalGraph";

void freeRecords(std::vector<GraphNodeRecord*>& nodes, std::vector<GraphEdgeRecord*>& edges) {
    for (GraphNodeRecord* node : nodes) {
        delete node;
    }
    for (GraphEdgeRecord* edge : edges) {
        delete edge;
    }
    nodes.clear();
    edges.clear();
}

// Frees what a DXF item read by this reader owns.
void releaseGroupValue(resbuf& item) {
    if (acutRbOwnsString(item.restype)) {
        acutDelBuffer(item.resval.rstring);
    } else if (acutRbOwnsBinary(item.restype)) {
        acHeapFree(item.resval.rbinary.buf);
        item.resval.rbinary.buf = nullptr;
        item.resval.rbinary.clen = 0;
    }
}

}  // namespace

namespace kxgraph {

Acad::ErrorStatus checkFiledGraph(const FiledGraph& filed, bool requireObjects) {
    const auto nodeCount = static_cast<Adesk::Int64>(filed.nodes.size());
    const auto edgeCount = static_cast<Adesk::Int64>(filed.edges.size());
    // A negative index means "none"; anything else must name a record.
    auto edgeOrNone = [edgeCount](Adesk::Int32 index) { return index < edgeCount; };
    auto isNode = [nodeCount](Adesk::Int32 index) { return index >= 0 && index < nodeCount; };
    for (const FiledNode& node : filed.nodes) {
        if ((requireObjects && node.objectId.isNull()) || node.id == 0 || node.id > filed.highId ||
            !edgeOrNone(node.firstIn) || !edgeOrNone(node.lastIn) || !edgeOrNone(node.firstOut) ||
            !edgeOrNone(node.lastOut)) {
            return Acad::eBadDxfSequence;
        }
    }
    for (size_t i = 0; i < filed.edges.size(); ++i) {
        const FiledEdge& edge = filed.edges[i];
        const bool hasPartner = edge.partner >= 0;
        if (!isNode(edge.source) || !isNode(edge.target) || !edgeOrNone(edge.prevIn) ||
            !edgeOrNone(edge.nextIn) || !edgeOrNone(edge.prevOut) || !edgeOrNone(edge.nextOut) ||
            !edgeOrNone(edge.partner) || edge.refCount <= 0 ||
            hasPartner != ((edge.flags & kEdgeBidirectional) != 0) ||
            (hasPartner && static_cast<size_t>(edge.partner) == i)) {
            return Acad::eBadDxfSequence;
        }
    }
    return Acad::eOk;
}

}  // namespace kxgraph

void KxDbImpTagEvalGraph::snapshot(FiledGraph& filed, std::vector<GraphNodeRecord*>* kept) const {
    filed = FiledGraph();
    filed.lastId = m_lastId;
    filed.highId = m_highId;
    std::unordered_map<const GraphNodeRecord*, Adesk::Int32> nodeIndex;
    std::unordered_map<const GraphEdgeRecord*, Adesk::Int32> edgeIndex;
    std::vector<GraphNodeRecord*> nodes;
    for (GraphNodeRecord* node : m_nodes) {
        if (node->isLive() && !node->hasNoObject()) {
            nodeIndex[node] = static_cast<Adesk::Int32>(nodes.size());
            nodes.push_back(node);
        }
    }
    std::vector<const GraphEdgeRecord*> edges;
    for (const GraphEdgeRecord* edge : m_edges) {
        if (edge->isLive() && nodeIndex.count(edge->source) != 0 &&
            nodeIndex.count(edge->target) != 0) {
            edgeIndex[edge] = static_cast<Adesk::Int32>(edges.size());
            edges.push_back(edge);
        }
    }
    filed.nodes.resize(nodes.size());
    filed.edges.resize(edges.size());

    // The lists of each node, keeping only the edges filed, in list order.
    for (size_t i = 0; i < nodes.size(); ++i) {
        const GraphNodeRecord* node = nodes[i];
        FiledNode& out = filed.nodes[i];
        out.index = static_cast<Adesk::Int32>(i);
        out.flags = node->flags & ~kUnfiledMask;
        out.id = node->id;
        if (node->isById()) {
            out.objectId = node->objectId;
        }
        std::vector<Adesk::Int32> chain;
        for (const GraphEdgeRecord* edge : inList(node)) {
            auto it = edgeIndex.find(edge);
            if (it != edgeIndex.end() && edge->target == node) {
                chain.push_back(it->second);
            }
        }
        if (!chain.empty()) {
            out.firstIn = chain.front();
            out.lastIn = chain.back();
        }
        for (size_t k = 0; k < chain.size(); ++k) {
            FiledEdge& edge = filed.edges[chain[k]];
            edge.prevIn = k > 0 ? chain[k - 1] : kNoIndex;
            edge.nextIn = k + 1 < chain.size() ? chain[k + 1] : kNoIndex;
        }
        chain.clear();
        for (const GraphEdgeRecord* edge : outList(node)) {
            auto it = edgeIndex.find(edge);
            if (it != edgeIndex.end() && edge->source == node) {
                chain.push_back(it->second);
            }
        }
        if (!chain.empty()) {
            out.firstOut = chain.front();
            out.lastOut = chain.back();
        }
        for (size_t k = 0; k < chain.size(); ++k) {
            FiledEdge& edge = filed.edges[chain[k]];
            edge.prevOut = k > 0 ? chain[k - 1] : kNoIndex;
            edge.nextOut = k + 1 < chain.size() ? chain[k + 1] : kNoIndex;
        }
    }
    for (size_t j = 0; j < edges.size(); ++j) {
        const GraphEdgeRecord* edge = edges[j];
        FiledEdge& out = filed.edges[j];
        out.index = static_cast<Adesk::Int32>(j);
        out.flags = edge->flags & ~kUnfiledMask;
        out.refCount = edge->refCount;
        out.source = nodeIndex[edge->source];
        out.target = nodeIndex[edge->target];
        auto partner = edge->isBidirectional() && edge->partner != nullptr
                           ? edgeIndex.find(edge->partner)
                           : edgeIndex.end();
        if (partner != edgeIndex.end()) {
            out.partner = partner->second;
        } else {
            out.partner = kNoIndex;
            out.flags &= ~kEdgeBidirectional;
        }
    }
    if (kept != nullptr) {
        *kept = nodes;
    }
}

Acad::ErrorStatus KxDbImpTagEvalGraph::adopt(const FiledGraph& filed,
                                             const std::vector<AcDbObject*>* objects) {
    std::vector<GraphNodeRecord*> nodes;
    std::vector<GraphEdgeRecord*> edges;
    for (size_t i = 0; i < filed.nodes.size(); ++i) {
        const FiledNode& in = filed.nodes[i];
        auto* node = new (std::nothrow) GraphNodeRecord();
        if (node == nullptr) {
            freeRecords(nodes, edges);
            return Acad::eOutOfMemory;
        }
        node->index = in.index;
        node->id = in.id;
        node->flags = in.flags;
        if (node->isById()) {
            node->objectId = in.objectId;
        } else if (objects != nullptr && i < objects->size()) {
            node->object = (*objects)[i];
        }
        nodes.push_back(node);
    }
    for (const FiledEdge& in : filed.edges) {
        auto* edge = new (std::nothrow) GraphEdgeRecord();
        if (edge == nullptr) {
            freeRecords(nodes, edges);
            return Acad::eOutOfMemory;
        }
        edge->index = in.index;
        edge->flags = in.flags;
        edge->refCount = in.refCount;
        edges.push_back(edge);
    }
    auto nodeAt = [&nodes](Adesk::Int32 i) -> GraphNodeRecord* {
        return i >= 0 && static_cast<size_t>(i) < nodes.size() ? nodes[i] : nullptr;
    };
    auto edgeAt = [&edges](Adesk::Int32 i) -> GraphEdgeRecord* {
        return i >= 0 && static_cast<size_t>(i) < edges.size() ? edges[i] : nullptr;
    };
    for (size_t i = 0; i < nodes.size(); ++i) {
        const FiledNode& in = filed.nodes[i];
        nodes[i]->firstIn = edgeAt(in.firstIn);
        nodes[i]->lastIn = edgeAt(in.lastIn);
        nodes[i]->firstOut = edgeAt(in.firstOut);
        nodes[i]->lastOut = edgeAt(in.lastOut);
    }
    for (size_t j = 0; j < edges.size(); ++j) {
        const FiledEdge& in = filed.edges[j];
        GraphEdgeRecord* edge = edges[j];
        edge->source = nodeAt(in.source);
        edge->target = nodeAt(in.target);
        edge->prevIn = edgeAt(in.prevIn);
        edge->nextIn = edgeAt(in.nextIn);
        edge->prevOut = edgeAt(in.prevOut);
        edge->nextOut = edgeAt(in.nextOut);
        edge->partner = edgeAt(in.partner);
    }
    std::map<KxNodeId, GraphNodeRecord*> index;
    for (GraphNodeRecord* node : nodes) {
        if (!index.emplace(node->id, node).second) {
            freeRecords(nodes, edges);
            return KxStatus::kNodeExists;
        }
    }
    m_nodes.swap(nodes);
    m_edges.swap(edges);
    m_index.swap(index);
    m_lastId = filed.lastId;
    m_highId = filed.highId;
    return Acad::eOk;
}

// --- DWG -----------------------------------------------------------------------------------------

Acad::ErrorStatus KxDbImpTagEvalGraph::dwgOutFields(AcDbDwgFiler* filer) const {
    assertReadEnabled();
    FiledGraph filed;
    snapshot(filed, nullptr);
    filer->writeInt32(static_cast<Adesk::Int32>(filed.lastId));
    filer->writeInt32(static_cast<Adesk::Int32>(filed.highId));
    filer->writeInt32(static_cast<Adesk::Int32>(filed.nodes.size()));
    for (const FiledNode& node : filed.nodes) {
        filer->writeInt32(node.index);
        filer->writeInt32(node.flags);
        filer->writeInt32(static_cast<Adesk::Int32>(node.id));
        filer->writeHardOwnershipId(node.objectId);
        filer->writeInt32(node.firstIn);
        filer->writeInt32(node.lastIn);
        filer->writeInt32(node.firstOut);
        filer->writeInt32(node.lastOut);
    }
    filer->writeInt32(static_cast<Adesk::Int32>(filed.edges.size()));
    for (const FiledEdge& edge : filed.edges) {
        filer->writeInt32(edge.index);
        filer->writeInt32(edge.flags);
        filer->writeInt32(edge.refCount);
        filer->writeInt32(edge.source);
        filer->writeInt32(edge.target);
        filer->writeInt32(edge.prevIn);
        filer->writeInt32(edge.nextIn);
        filer->writeInt32(edge.prevOut);
        filer->writeInt32(edge.nextOut);
        filer->writeInt32(edge.partner);
    }
    return filer->filerStatus();
}

namespace {

// Reads the DWG form into `filed`, stopping at the first failure. eBadDxfSequence for a count
// that cannot be right.
Acad::ErrorStatus readDwgGraph(AcDbDwgFiler* filer, FiledGraph& filed) {
    Acad::ErrorStatus es = Acad::eOk;
    auto read = [filer, &es](Adesk::Int32& value) {
        if (es == Acad::eOk) {
            es = filer->readInt32(&value);
        }
        return es == Acad::eOk;
    };
    Adesk::Int32 lastId = 0;
    Adesk::Int32 highId = 0;
    Adesk::Int32 count = 0;
    if (!read(lastId) || !read(highId) || !read(count)) {
        return es;
    }
    filed.lastId = static_cast<KxNodeId>(lastId);
    filed.highId = static_cast<KxNodeId>(highId);
    if (count < 0 || count > kMaxRecords) {
        return Acad::eBadDxfSequence;
    }
    // Records are added as they are read, never reserved from a count: a damaged count then
    // costs no more than the data actually there.
    for (Adesk::Int32 i = 0; i < count; ++i) {
        FiledNode node;
        Adesk::Int32 id = 0;
        AcDbHardOwnershipId object;
        if (!read(node.index) || !read(node.flags) || !read(id)) {
            return es;
        }
        es = filer->readHardOwnershipId(&object);
        if (es != Acad::eOk || !read(node.firstIn) || !read(node.lastIn) || !read(node.firstOut) ||
            !read(node.lastOut)) {
            return es;
        }
        node.id = static_cast<KxNodeId>(id);
        node.objectId = object;
        filed.nodes.push_back(node);
    }
    if (!read(count)) {
        return es;
    }
    if (count < 0 || count > kMaxRecords) {
        return Acad::eBadDxfSequence;
    }
    for (Adesk::Int32 i = 0; i < count; ++i) {
        FiledEdge edge;
        if (!read(edge.index) || !read(edge.flags) || !read(edge.refCount) || !read(edge.source) ||
            !read(edge.target) || !read(edge.prevIn) || !read(edge.nextIn) || !read(edge.prevOut) ||
            !read(edge.nextOut) || !read(edge.partner)) {
            return es;
        }
        filed.edges.push_back(edge);
    }
    return Acad::eOk;
}

}  // namespace

Acad::ErrorStatus KxDbImpTagEvalGraph::dwgInFields(AcDbDwgFiler* filer) {
    assertWriteEnabled();
    releaseRecords();
    FiledGraph filed;
    Acad::ErrorStatus es = readDwgGraph(filer, filed);
    if (es == Acad::eOk) {
        // Read from a drawing into a database, the nodes are that database's objects. Other
        // filers carry the graph's own flags: by id where the source held its nodes by id.
        const bool intoDatabase = filer->filerType() == AcDb::kFileFiler &&
                                  (database() != nullptr || filer->database() != nullptr);
        for (FiledNode& node : filed.nodes) {
            node.flags &= ~kUnfiledMask;
            if (intoDatabase) {
                node.flags |= kNodeById;
            }
            if ((node.flags & kNodeById) == 0) {
                node.objectId.setNull();
            }
        }
        for (FiledEdge& edge : filed.edges) {
            edge.flags &= ~kUnfiledMask;
        }
        // In-memory graphs file their nodes without ids, so a node need not name an object.
        es = checkFiledGraph(filed, false);
    }
    if (es == Acad::eOk) {
        es = adopt(filed, nullptr);
    }
    // A failure the filer does not know of yet is reported through it.
    if (es != Acad::eOk && filer->filerStatus() == Acad::eOk) {
        filer->setFilerStatus(es);
    }
    return filer->filerStatus();
}

// --- DXF -----------------------------------------------------------------------------------------

Acad::ErrorStatus KxDbImpTagEvalGraph::dxfOutFields(AcDbDxfFiler* filer) const {
    assertReadEnabled();
    FiledGraph filed;
    snapshot(filed, nullptr);
    filer->writeString(100, kSubclassMarker);
    filer->writeInt32(96, static_cast<Adesk::Int32>(filed.lastId));
    filer->writeInt32(97, static_cast<Adesk::Int32>(filed.highId));
    for (const FiledNode& node : filed.nodes) {
        filer->writeInt32(91, node.index);
        filer->writeInt32(93, node.flags);
        filer->writeInt32(95, static_cast<Adesk::Int32>(node.id));
        filer->writeObjectId(360, node.objectId);
        filer->writeInt32(92, node.firstIn);
        filer->writeInt32(92, node.lastIn);
        filer->writeInt32(92, node.firstOut);
        filer->writeInt32(92, node.lastOut);
    }
    for (const FiledEdge& edge : filed.edges) {
        filer->writeInt32(92, edge.index);
        filer->writeInt32(93, edge.flags);
        filer->writeInt32(94, edge.refCount);
        filer->writeInt32(91, edge.source);
        filer->writeInt32(91, edge.target);
        filer->writeInt32(92, edge.prevIn);
        filer->writeInt32(92, edge.nextIn);
        filer->writeInt32(92, edge.prevOut);
        filer->writeInt32(92, edge.nextOut);
        filer->writeInt32(92, edge.partner);
    }
    return filer->filerStatus();
}

namespace {

// The DXF groups of the graph in the order they are written: per node 91, 93, 95, 360 and four
// 92 list ends; after the nodes, per edge a 92 index, 93, 94, two 91 ends and five 92 links.
class DxfGraphReader {
  public:
    explicit DxfGraphReader(FiledGraph& filed) : m_filed(filed) {}

    // eOk when the group was taken; eInvalidInput for a group of the graph out of its place;
    // eInvalidResBuf for a group that is not the graph's.
    Acad::ErrorStatus take(const resbuf& item) {
        const Adesk::Int32 value = item.resval.rlong;
        switch (item.restype) {
            case 96:
                m_filed.lastId = static_cast<KxNodeId>(value);
                return Acad::eOk;
            case 97:
                m_filed.highId = static_cast<KxNodeId>(value);
                return Acad::eOk;
            case 91:
                return takeInt91(value);
            case 92:
                return takeInt92(value);
            case 93:
                if (inEdges()) {
                    edge().flags = value;
                } else if (m_haveNode) {
                    node().flags = value;
                } else {
                    return Acad::eInvalidInput;
                }
                return Acad::eOk;
            case 94:
                if (!inEdges()) {
                    return Acad::eInvalidInput;
                }
                edge().refCount = value;
                return Acad::eOk;
            case 95:
                if (inEdges() || !m_haveNode) {
                    return Acad::eInvalidInput;
                }
                node().id = static_cast<KxNodeId>(value);
                return Acad::eOk;
            case 360: {
                if (inEdges() || !m_haveNode) {
                    return Acad::eInvalidInput;
                }
                AcDbObjectId id;
                acdbGetObjectId(id, item.resval.rlname);
                node().objectId = id;
                return Acad::eOk;
            }
            default:
                return Acad::eInvalidResBuf;
        }
    }

  private:
    bool inEdges() const { return !m_filed.edges.empty(); }
    FiledNode& node() { return m_filed.nodes.back(); }
    FiledEdge& edge() { return m_filed.edges.back(); }

    Acad::ErrorStatus takeInt91(Adesk::Int32 value) {
        if (inEdges()) {
            if (m_edgeEnds >= 2 || m_edgeLinks > 0) {
                return Acad::eInvalidInput;
            }
            (m_edgeEnds == 0 ? edge().source : edge().target) = value;
            ++m_edgeEnds;
            return Acad::eOk;
        }
        if (m_haveNode && m_nodeEnds < 4) {
            return Acad::eInvalidInput;
        }
        if (m_filed.nodes.size() >= static_cast<size_t>(kMaxRecords)) {
            return Acad::eBadDxfSequence;
        }
        FiledNode fresh;
        fresh.index = value;
        m_filed.nodes.push_back(fresh);
        m_haveNode = true;
        m_nodeEnds = 0;
        return Acad::eOk;
    }

    Acad::ErrorStatus takeInt92(Adesk::Int32 value) {
        if (!inEdges() && m_haveNode && m_nodeEnds < 4) {
            Adesk::Int32* ends[] = {&node().firstIn, &node().lastIn, &node().firstOut,
                                    &node().lastOut};
            *ends[m_nodeEnds++] = value;
            return Acad::eOk;
        }
        if (inEdges() && m_edgeLinks < 5) {
            if (m_edgeEnds < 2) {
                return Acad::eInvalidInput;
            }
            FiledEdge& e = edge();
            Adesk::Int32* links[] = {&e.prevIn, &e.nextIn, &e.prevOut, &e.nextOut, &e.partner};
            *links[m_edgeLinks++] = value;
            return Acad::eOk;
        }
        if (m_filed.edges.size() >= static_cast<size_t>(kMaxRecords)) {
            return Acad::eBadDxfSequence;
        }
        FiledEdge fresh;
        fresh.index = value;
        m_filed.edges.push_back(fresh);
        m_edgeEnds = 0;
        m_edgeLinks = 0;
        return Acad::eOk;
    }

    FiledGraph& m_filed;
    bool m_haveNode = false;
    int m_nodeEnds = 0;   // 92 groups of the current node
    int m_edgeEnds = 0;   // 91 groups of the current edge
    int m_edgeLinks = 0;  // 92 groups of the current edge after its index
};

}  // namespace

Acad::ErrorStatus KxDbImpTagEvalGraph::dxfInFields(AcDbDxfFiler* filer) {
    assertWriteEnabled();
    releaseRecords();
    if (!filer->atSubclassData(kSubclassMarker)) {
        // Without the marker this is not a graph's data: reading nothing is not a success.
        if (filer->filerStatus() == Acad::eOk) {
            filer->setError(Acad::eBadDxfSequence, L"missing subclass marker %s", kSubclassMarker);
        }
        return filer->filerStatus();
    }
    FiledGraph filed;
    DxfGraphReader reader(filed);
    Acad::ErrorStatus es = Acad::eOk;
    for (;;) {
        resbuf item{};
        const Acad::ErrorStatus readStatus = filer->readItem(&item);
        if (readStatus == Acad::eEndOfFile) {
            break;
        }
        if (readStatus != Acad::eOk) {
            es = readStatus;
            break;
        }
        es = reader.take(item);
        releaseGroupValue(item);
        if (es == Acad::eInvalidResBuf) {
            filer->pushBackItem();
        }
        if (es != Acad::eOk) {
            break;
        }
    }
    if (es == Acad::eOk) {
        // Nodes read from DXF are always the database's objects.
        for (FiledNode& node : filed.nodes) {
            node.flags = (node.flags & ~kUnfiledMask) | kNodeById;
        }
        for (FiledEdge& edge : filed.edges) {
            edge.flags &= ~kUnfiledMask;
        }
        es = checkFiledGraph(filed, true);
    }
    if (es == Acad::eOk) {
        es = adopt(filed, nullptr);
    }
    if (es != Acad::eOk && filer->filerStatus() == Acad::eOk) {
        filer->setError(es, L"evaluation graph data refused (%d)", static_cast<int>(es));
    }
    return filer->filerStatus();
}
