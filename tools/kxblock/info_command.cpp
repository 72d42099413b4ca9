#include "host/entities/blockref.h"
#include "module/graph/eval_expr.h"
#include "module/graph/eval_graph.h"
#include "module/params/block_tag.h"
#include "module/representation/ref_context.h"
#include "module/rootdata/root_data.h"
#include "tools/kxblock/commands.h"
#include "tools/kxblock/session.h"

namespace kxtool {

nlohmann::json referenceJson(const AcDbObjectId& id) {
    Opened<AcDbBlockReference> ref(id, AcDb::kForRead);
    if (ref.get() == nullptr) {
        return nullptr;
    }
    KxDbTagRefContext context(kxref::kDefaultKey, ref.get());
    if (!context.isBound()) {
        return nullptr;  // a reference of an ordinary block
    }
    nlohmann::json row;
    row["handle"] = handleOf(id);
    row["block"] = blockName(ref->blockTableRecord());
    row["definition"] = blockName(context.definitionId());
    const AcGePoint3d pos = ref->position();
    row["position"] = {pos.x, pos.y, pos.z};
    row["properties"] = nlohmann::json::array();
    KxDbTagParameterList params;
    if (context.listParameters(params) != Acad::eOk) {
        return row;
    }
    for (const KxDbTagParameterEntry& entry : params) {
        KxDbBlockPropertyDescArray descs;
        if (context.getPropertyDescriptions(entry, descs) != Acad::eOk) {
            continue;
        }
        for (int i = 0; i < descs.length(); ++i) {
            KxDbTagEvalVariant value;
            if (context.getPropertyValue(entry, descs[i].name.kwszPtr(), value) != Acad::eOk) {
                value.clear();
            }
            row["properties"].push_back({{"node", entry.second},
                                         {"parameter", text(entry.first)},
                                         {"name", text(descs[i].name)},
                                         {"value", valueJson(value)},
                                         {"readOnly", descs[i].readOnly != 0}});
        }
    }
    return row;
}

void printProperties(const nlohmann::json& row, std::ostream& out) {
    for (const auto& p : row["properties"]) {
        out << "    " << p["name"].get<std::string>() << " = " << p["value"].dump()
            << (p["readOnly"].get<bool>() ? " (read-only)" : "") << "\n";
    }
}

namespace {

nlohmann::json collectInfo(AcDbDatabase* db) {
    nlohmann::json result;
    result["definitions"] = nlohmann::json::array();
    result["references"] = nlohmann::json::array();

    // Definitions: every block the root data names a graph for.
    const AcDbObjectIdArray blocks = blocksOf(db);
    KxDbTagRootData* root = nullptr;
    if (KxDbTagRootData::openRootData(db, AcDb::kForRead, root) == Acad::eOk) {
        std::vector<std::pair<AcDbObjectId, AcDbObjectId>> graphs;
        for (const AcDbObjectId& btrId : blocks) {
            AcDbObjectId graphId;
            if (root->getGraph(btrId, graphId)) {
                graphs.emplace_back(btrId, graphId);
            }
        }
        root->close();
        for (const auto& [btrId, graphId] : graphs) {
            nlohmann::json def;
            def["name"] = blockName(btrId);
            def["handle"] = handleOf(btrId);
            def["parameters"] = nlohmann::json::array();
            Opened<KxDbTagEvalGraph> graph(graphId, AcDb::kForRead);
            KxNodeIdArray ids;
            if (graph.get() != nullptr) {
                graph->getAllNodeIds(ids);
            }
            def["nodes"] = ids.length();
            for (int i = 0; i < ids.length(); ++i) {
                KxDbTagEvalExpr* node = nullptr;
                if (graph->getNode(ids[i], AcDb::kForRead, node) != Acad::eOk || node == nullptr) {
                    continue;
                }
                if (const KxDbBlockTag* param = KxDbBlockTag::cast(node)) {
                    const ACHAR* dxf = param->isA()->dxfName();
                    def["parameters"].push_back({{"node", ids[i]},
                                                 {"name", text(param->getName())},
                                                 {"class", dxf != nullptr ? text(dxf) : ""}});
                }
                node->close();
            }
            result["definitions"].push_back(def);
        }
    }

    // References: the dynamic block references of model space.
    for (const AcDbObjectId& id : entitiesOf(db->modelSpaceId())) {
        nlohmann::json row = referenceJson(id);
        if (!row.is_null()) {
            result["references"].push_back(row);
        }
    }
    return result;
}

}  // namespace

int runInfo(const std::string& file, bool json, std::ostream& out, std::ostream& err) {
    nlohmann::json info;
    const int rc = withDrawing(file, err, [&](AcDbDatabase* db) {
        info = collectInfo(db);
        return 0;
    });
    if (rc != 0) {
        return rc;
    }
    if (json) {
        out << info.dump(2) << "\n";
        return 0;
    }
    out << info["definitions"].size() << " dynamic definitions\n";
    for (const auto& def : info["definitions"]) {
        out << "  " << def["name"].get<std::string>() << " (handle "
            << def["handle"].get<std::string>() << ", " << def["nodes"] << " nodes)\n";
        for (const auto& p : def["parameters"]) {
            out << "    node " << p["node"] << ": " << p["class"].get<std::string>() << " \""
                << p["name"].get<std::string>() << "\"\n";
        }
    }
    out << info["references"].size() << " dynamic block references\n";
    for (const auto& ref : info["references"]) {
        out << "  " << ref["handle"].get<std::string>() << " block "
            << ref["block"].get<std::string>() << " of " << ref["definition"].get<std::string>()
            << " at " << ref["position"].dump() << "\n";
        printProperties(ref, out);
    }
    return 0;
}

}  // namespace kxtool
