// kxblock graph: the evaluation graph of one dynamic definition, its edges and connections, and
// the order in which its nodes evaluate when every node is activated.
#include <deque>
#include <map>
#include <memory>
#include <set>

#include "module/graph/element.h"
#include "module/graph/eval_connectable.h"
#include "module/graph/eval_expr.h"
#include "module/graph/eval_graph.h"
#include "module/rootdata/root_data.h"
#include "tools/kxblock/commands.h"
#include "tools/kxblock/session.h"

namespace kxtool {
namespace {

// Edges an activation did not travel, or that no activation travels.
constexpr Adesk::Int32 kEdgeNotTravelled = 0x10 | 0x80;

// Holds a node opened through its graph and closes it on every path.
class GraphNode {
  public:
    GraphNode(const KxDbTagEvalGraph* graph, KxNodeId id) {
        if (graph == nullptr || graph->getNode(id, AcDb::kForRead, m_node) != Acad::eOk) {
            m_node = nullptr;
        }
    }
    ~GraphNode() {
        if (m_node != nullptr) {
            m_node->close();
        }
    }
    GraphNode(const GraphNode&) = delete;
    GraphNode& operator=(const GraphNode&) = delete;
    KxDbTagEvalExpr* get() const { return m_node; }

  private:
    KxDbTagEvalExpr* m_node = nullptr;
};

struct GraphDeleter {
    void operator()(KxDbTagEvalGraph* g) const { delete g; }
};

// The definition's graph by block name (any case); the null id with the reason on `err`.
AcDbObjectId graphOfBlock(AcDbDatabase* db, const std::string& name, std::string& blockName_,
                          std::ostream& err) {
    const AcString wanted = AcString::fromUtf8(name);
    AcDbObjectId btrId;
    for (const AcDbObjectId& id : blocksOf(db)) {
        const std::string n = blockName(id);
        if (acCompareNoCase(AcString::fromUtf8(n).kwszPtr(), wanted.kwszPtr()) == 0) {
            btrId = id;
            blockName_ = n;
            break;
        }
    }
    if (btrId.isNull()) {
        err << "kxblock: the drawing has no block \"" << name << "\"\n";
        return AcDbObjectId();
    }
    KxDbTagRootData* root = nullptr;
    AcDbObjectId graphId;
    if (KxDbTagRootData::openRootData(db, AcDb::kForRead, root) == Acad::eOk) {
        root->getGraph(btrId, graphId);
        root->close();
    }
    if (graphId.isNull()) {
        err << "kxblock: block \"" << blockName_ << "\" is not a dynamic definition\n";
    }
    return graphId;
}

nlohmann::json nodeRows(const KxDbTagEvalGraph* graph, const KxNodeIdArray& ids) {
    nlohmann::json nodes = nlohmann::json::array();
    for (const KxNodeId id : ids) {
        GraphNode node(graph, id);
        nlohmann::json row = {{"id", id}, {"class", nullptr}, {"name", nullptr}};
        if (node.get() != nullptr && node.get()->isA() != nullptr) {
            // The record name, as info names parameter classes.
            const ACHAR* dxf = node.get()->isA()->dxfName();
            row["class"] = text(dxf != nullptr ? dxf : node.get()->isA()->name());
            if (const auto* element = KxDbTagElement::cast(node.get())) {
                row["name"] = text(element->getName());
            }
        }
        nodes.push_back(row);
    }
    return nodes;
}

nlohmann::json edgeRows(const KxDbTagEvalGraph* graph, const KxNodeIdArray& ids) {
    nlohmann::json edges = nlohmann::json::array();
    for (const KxNodeId id : ids) {
        KxEdgeInfoArray out;
        if (graph->getOutgoingEdges(id, out) != Acad::eOk) {
            continue;
        }
        for (const KxEdgeInfo& e : out) {
            edges.push_back({{"source", e.sourceId},
                             {"target", e.targetId},
                             {"refCount", e.refCount},
                             {"flags", e.flags}});
        }
    }
    return edges;
}

// Every named connection of every node, once from each end.
nlohmann::json connectionRows(const KxDbTagEvalGraph* graph, const KxNodeIdArray& ids) {
    nlohmann::json rows = nlohmann::json::array();
    for (const KxNodeId id : ids) {
        GraphNode node(graph, id);
        const auto* connectable = KxDbTagEvalConnectable::cast(node.get());
        AcStringArray names;
        if (connectable == nullptr || connectable->getConnectionNames(names) != Acad::eOk) {
            continue;
        }
        for (const AcString& name : names) {
            KxNodeIdArray others;
            if (connectable->getConnectedNodes(name.kwszPtr(), others) != Acad::eOk) {
                continue;
            }
            for (const KxNodeId other : others) {
                AcStringArray otherNames;
                connectable->getConnectedConnections(name.kwszPtr(), other, otherNames);
                for (const AcString& otherName : otherNames) {
                    rows.push_back({{"node", id},
                                    {"connection", text(name)},
                                    {"otherNode", other},
                                    {"otherConnection", text(otherName)}});
                }
            }
        }
    }
    return rows;
}

// Activates every node of a private copy and orders the activated nodes the way an evaluation
// does: a node comes once every edge the activation travelled into it has been passed; nodes
// left over lie on or behind a cycle.
Acad::ErrorStatus evaluationOrder(const KxDbTagEvalGraph* graph, KxNodeIdArray& order,
                                  KxNodeIdArray& cycles) {
    std::unique_ptr<KxDbTagEvalGraph, GraphDeleter> copy(KxDbTagEvalGraph::cast(graph->clone()));
    if (copy == nullptr) {
        return Acad::eOutOfMemory;
    }
    KxNodeIdArray ids;
    Acad::ErrorStatus es = copy->getAllNodeIds(ids);
    if (es != Acad::eOk) {
        return es;
    }
    KxNodeIdArray activated;
    KxNodeIdArray ignored;
    es = copy->activate(ids, &activated, &ignored);
    if (es != Acad::eOk && ignored.isEmpty()) {
        return es;
    }
    std::set<KxNodeId> active(activated.begin(), activated.end());
    std::map<KxNodeId, int> pending;
    std::map<KxNodeId, std::vector<KxNodeId>> next;
    for (const KxNodeId id : activated) {
        KxEdgeInfoArray out;
        copy->getOutgoingEdges(id, out);
        for (const KxEdgeInfo& e : out) {
            if ((e.flags & kEdgeNotTravelled) == 0 && active.count(e.targetId) != 0) {
                ++pending[e.targetId];
                next[id].push_back(e.targetId);
            }
        }
    }
    std::deque<KxNodeId> ready;
    for (const KxNodeId id : activated) {
        if (pending[id] == 0) {
            ready.push_back(id);
        }
    }
    std::set<KxNodeId> done;
    while (!ready.empty()) {
        const KxNodeId id = ready.front();
        ready.pop_front();
        order.append(id);
        done.insert(id);
        for (const KxNodeId target : next[id]) {
            if (--pending[target] == 0 && done.count(target) == 0) {
                ready.push_back(target);
            }
        }
    }
    for (const KxNodeId id : activated) {
        if (done.count(id) == 0) {
            cycles.append(id);
        }
    }
    return Acad::eOk;
}

void printDot(const nlohmann::json& g, std::ostream& out) {
    out << "digraph \"" << g["block"].get<std::string>() << "\" {\n  rankdir=LR;\n";
    for (const auto& n : g["nodes"]) {
        std::string label = n["class"].is_null() ? "?" : n["class"].get<std::string>();
        if (!n["name"].is_null() && !n["name"].get<std::string>().empty()) {
            label += "\\n" + n["name"].get<std::string>();
        }
        std::string escaped;
        for (char c : label) {
            escaped += c == '"' ? std::string("\\\"") : std::string(1, c);
        }
        out << "  n" << n["id"] << " [shape=box, label=\"" << n["id"] << ": " << escaped
            << "\"];\n";
    }
    for (const auto& e : g["edges"]) {
        out << "  n" << e["source"] << " -> n" << e["target"] << " [label=\"" << e["refCount"]
            << "\"];\n";
    }
    out << "}\n";
}

void printText(const nlohmann::json& g, std::ostream& out) {
    out << "graph of " << g["block"].get<std::string>() << ": " << g["nodes"].size() << " nodes, "
        << g["edges"].size() << " edges\n";
    for (const auto& n : g["nodes"]) {
        out << "  node " << n["id"] << ": "
            << (n["class"].is_null() ? "?" : n["class"].get<std::string>());
        if (!n["name"].is_null()) {
            out << " \"" << n["name"].get<std::string>() << "\"";
        }
        out << "\n";
    }
    for (const auto& e : g["edges"]) {
        out << "  edge " << e["source"] << " -> " << e["target"] << " (references " << e["refCount"]
            << ")\n";
    }
    for (const auto& c : g["connections"]) {
        out << "  connection " << c["node"] << "." << c["connection"].get<std::string>() << " - "
            << c["otherNode"] << "." << c["otherConnection"].get<std::string>() << "\n";
    }
    out << "  order:";
    for (const auto& id : g["order"]) {
        out << " " << id;
    }
    out << "\n";
    if (!g["cycles"].empty()) {
        out << "  on or behind a cycle:";
        for (const auto& id : g["cycles"]) {
            out << " " << id;
        }
        out << "\n";
    }
}

}  // namespace

int runGraph(const std::string& file, const std::string& block, bool dot, bool json,
             std::ostream& out, std::ostream& err) {
    nlohmann::json result;
    const int rc = withDrawing(file, err, [&](AcDbDatabase* db) {
        std::string name;
        const AcDbObjectId graphId = graphOfBlock(db, block, name, err);
        if (graphId.isNull()) {
            return 1;
        }
        Opened<KxDbTagEvalGraph> graph(graphId, AcDb::kForRead);
        if (graph.get() == nullptr) {
            err << "kxblock: the graph of \"" << name << "\" cannot be opened (status "
                << statusText(graph.status()) << ")\n";
            return 1;
        }
        KxNodeIdArray ids;
        graph->getAllNodeIds(ids);
        KxNodeIdArray order;
        KxNodeIdArray cycles;
        const Acad::ErrorStatus es = evaluationOrder(graph.get(), order, cycles);
        if (es != Acad::eOk) {
            err << "kxblock: the graph of \"" << name << "\" cannot be activated (status "
                << statusText(es) << ")\n";
            return 1;
        }
        result["block"] = name;
        result["graph"] = handleOf(graphId);
        result["nodes"] = nodeRows(graph.get(), ids);
        result["edges"] = edgeRows(graph.get(), ids);
        result["connections"] = connectionRows(graph.get(), ids);
        result["order"] = nlohmann::json::array();
        for (const KxNodeId id : order) {
            result["order"].push_back(id);
        }
        result["cycles"] = nlohmann::json::array();
        for (const KxNodeId id : cycles) {
            result["cycles"].push_back(id);
        }
        return 0;
    });
    if (rc != 0) {
        return rc;
    }
    if (dot) {
        printDot(result, out);
    } else if (json) {
        out << result.dump(2) << "\n";
    } else {
        printText(result, out);
    }
    return 0;
}

}  // namespace kxtool
