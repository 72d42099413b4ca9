#include "tools/kxblock/drawing_commands.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <vector>

#include "host/db/blocktable.h"
#include "host/db/blocktablerecord.h"
#include "host/db/database.h"
#include "host/dxf/dxf_reader.h"
#include "host/dxf/dxf_writer.h"
#include "host/entities/blockref.h"
#include "host/gi/recording.h"
#include "host/rx/services.h"
#include "host/testing/grip_editor.h"
#include "host/testing/regen.h"
#include "module/graph/eval_expr.h"
#include "module/graph/eval_graph.h"
#include "module/params/block_tag.h"
#include "module/representation/ref_context.h"
#include "module/rootdata/root_data.h"
#include "tools/authoring/authoring.h"
#include "tools/kxblock/plugin.h"

namespace kxtool {
namespace {

constexpr double kDemoWidth = 10.0;
constexpr double kDemoHeight = 20.0;
constexpr double kDemoStep = 2.5;
constexpr double kDemoSpacing = 40.0;
constexpr int kDemoReferences = 3;
constexpr int kDraggedReference = 1;
constexpr double kDemoDrag = 5.0;

// Holds an object open and closes it on every path.
template <class T>
class Opened {
  public:
    Opened(AcDbObjectId id, AcDb::OpenMode mode) {
        AcDbObject* obj = nullptr;
        m_status = acdbOpenObject(obj, id, mode);
        if (m_status == Acad::eOk) {
            m_obj = T::cast(obj);
            if (m_obj == nullptr) {
                obj->close();
                m_status = Acad::eWrongObjectType;
            }
        }
    }
    ~Opened() {
        if (m_obj != nullptr) {
            m_obj->close();
        }
    }
    Opened(const Opened&) = delete;
    Opened& operator=(const Opened&) = delete;
    T* operator->() const { return m_obj; }
    T* get() const { return m_obj; }
    Acad::ErrorStatus status() const { return m_status; }

  private:
    T* m_obj = nullptr;
    Acad::ErrorStatus m_status = Acad::eOk;
};

// The plug-in loaded for the command's lifetime; databases must be gone before it unloads.
class PluginSession {
  public:
    explicit PluginSession(std::ostream& err) : m_path(AcString::fromUtf8(pluginPath())) {
        AcRxDynamicLinker* linker = acrxDynamicLinker();
        if (linker == nullptr || !linker->loadModule(m_path.kwszPtr(), false)) {
            err << "kxblock: cannot load the plug-in " << pluginPath() << "\n";
            return;
        }
        m_loaded = true;
    }
    ~PluginSession() {
        if (m_loaded) {
            acrxDynamicLinker()->unloadModule(m_path.kwszPtr());
        }
    }
    PluginSession(const PluginSession&) = delete;
    PluginSession& operator=(const PluginSession&) = delete;
    bool loaded() const { return m_loaded; }

  private:
    AcString m_path;
    bool m_loaded = false;
};

std::string text(const AcString& s) {
    return s.utf8();
}
std::string handleOf(const AcDbObjectId& id) {
    return text(id.handle().getIntoAsciiBuffer());
}
std::string blockName(const AcDbObjectId& btrId) {
    Opened<AcDbBlockTableRecord> btr(btrId, AcDb::kForRead);
    AcString name;
    if (btr.get() != nullptr) {
        btr->getName(name);
    }
    return text(name);
}
std::string statusText(Acad::ErrorStatus es) {
    return std::to_string(static_cast<int>(es));
}

// The entities of a block, in the block's order.
AcDbObjectIdArray entitiesOf(const AcDbObjectId& btrId) {
    AcDbObjectIdArray ids;
    Opened<AcDbBlockTableRecord> btr(btrId, AcDb::kForRead);
    if (btr.get() == nullptr) {
        return ids;
    }
    AcDbBlockTableRecordIterator* it = nullptr;
    if (btr->newIterator(it) == Acad::eOk) {
        for (it->start(); !it->done(); it->step()) {
            AcDbObjectId id;
            if (it->getEntityId(id) == Acad::eOk) {
                ids.append(id);
            }
        }
        delete it;
    }
    return ids;
}

// A property value as JSON: number, [x, y, z], string or null, by the value's group code.
nlohmann::json valueJson(const KxDbTagEvalVariant& v) {
    if (v.isNull()) {
        return nullptr;
    }
    const int t = v.type();
    if ((t >= 10 && t <= 19) || (t >= 110 && t <= 112) || (t >= 1010 && t <= 1013)) {
        const AcGePoint3d p = v.point();
        return nlohmann::json::array({p.x, p.y, p.z});
    }
    if ((t >= 38 && t <= 59) || (t >= 140 && t <= 149) || (t >= 1040 && t <= 1042)) {
        return v.resval.rreal;
    }
    if ((t >= 60 && t <= 79) || (t >= 170 && t <= 179) || (t >= 270 && t <= 289) ||
        (t >= 400 && t <= 409) || t == 1070) {
        return v.resval.rint;
    }
    if ((t >= 90 && t <= 99) || t == 1071) {
        return v.resval.rlong;
    }
    if ((t >= 0 && t <= 9) || (t >= 300 && t <= 309) || t == 1000) {
        return AcString(v.text()).utf8();
    }
    return nullptr;
}

// The width the reference shows for the named property of the given parameter node.
bool referenceProperty(const AcDbObjectId& refId, const ACHAR* name, double& value) {
    Opened<AcDbBlockReference> ref(refId, AcDb::kForRead);
    if (ref.get() == nullptr) {
        return false;
    }
    KxDbTagRefContext context(kxref::kDefaultKey, ref.get());
    KxDbTagParameterList params;
    if (context.listParameters(params) != Acad::eOk) {
        return false;
    }
    for (const KxDbTagParameterEntry& entry : params) {
        KxDbTagEvalVariant v;
        if (context.getPropertyValue(entry, name, v) == Acad::eOk && !v.isNull()) {
            value = v.resval.rreal;
            return true;
        }
    }
    return false;
}

// --- SVG ---------------------------------------------------------------------------------------

struct Bounds {
    double minX = 1e300, minY = 1e300, maxX = -1e300, maxY = -1e300;
    void add(double x, double y) {
        minX = std::min(minX, x);
        minY = std::min(minY, y);
        maxX = std::max(maxX, x);
        maxY = std::max(maxY, y);
    }
    bool empty() const { return minX > maxX; }
};

std::string num(double v) {
    if (std::fabs(v) < 1e-12) {
        v = 0.0;
    }
    std::ostringstream s;
    s.precision(10);
    s << v;
    return s.str();
}
std::string escapeXml(const std::string& in) {
    std::string out;
    for (char c : in) {
        switch (c) {
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '&':
                out += "&amp;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

// The model space regenerated through the overrules, as an SVG document: world y points up,
// SVG y down, so every y is negated. Each element names the top-level entity it was drawn for.
Acad::ErrorStatus renderSvg(AcDbDatabase* db, std::string& svg) {
    kxhost::RecordingWorldDraw wd;
    const Acad::ErrorStatus es = kxhost::regenerate(db, wd);
    if (es != Acad::eOk) {
        return es;
    }
    Bounds b;
    std::ostringstream body;
    for (const kxhost::GiPrimitive& p : wd.primitives()) {
        const std::string entity =
            p.entity.isNull() ? std::string() : " data-entity=\"" + handleOf(p.entity) + "\"";
        switch (p.kind) {
            case kxhost::GiKind::kPolyline:
            case kxhost::GiKind::kPolygon: {
                std::string pts;
                for (const AcGePoint3d& pt : p.points) {
                    b.add(pt.x, pt.y);
                    pts += (pts.empty() ? "" : " ") + num(pt.x) + "," + num(-pt.y);
                }
                const bool polygon = p.kind == kxhost::GiKind::kPolygon;
                body << "  <" << (polygon ? "polygon" : "polyline") << entity << " points=\"" << pts
                     << "\"/>\n";
                break;
            }
            case kxhost::GiKind::kCircle:
                b.add(p.center.x - p.radius, p.center.y - p.radius);
                b.add(p.center.x + p.radius, p.center.y + p.radius);
                body << "  <circle" << entity << " cx=\"" << num(p.center.x) << "\" cy=\""
                     << num(-p.center.y) << "\" r=\"" << num(p.radius) << "\"/>\n";
                break;
            case kxhost::GiKind::kArc: {
                if (p.points.size() < 3) {
                    break;
                }
                const AcGePoint3d& s = p.points.front();
                const AcGePoint3d& e = p.points.back();
                for (const AcGePoint3d& pt : p.points) {
                    b.add(pt.x, pt.y);
                }
                const bool large = std::fabs(p.sweep) > M_PI;
                // Counter-clockwise about +Z stays counter-clockwise on screen once y is
                // flipped, which is SVG's negative direction.
                const bool ccw = (p.sweep >= 0) == (p.normal.z >= 0);
                body << "  <path" << entity << " d=\"M " << num(s.x) << "," << num(-s.y) << " A "
                     << num(p.radius) << "," << num(p.radius) << " 0 " << (large ? 1 : 0) << " "
                     << (ccw ? 0 : 1) << " " << num(e.x) << "," << num(-e.y) << "\"/>\n";
                break;
            }
            case kxhost::GiKind::kText: {
                if (p.points.empty()) {
                    break;
                }
                const AcGePoint3d& at = p.points.front();
                b.add(at.x, at.y);
                body << "  <text" << entity << " x=\"" << num(at.x) << "\" y=\"" << num(-at.y)
                     << "\" font-size=\"" << num(p.height > 0 ? p.height : 1.0)
                     << "\" fill=\"black\" stroke=\"none\">"
                     << escapeXml(AcString(p.text.c_str()).utf8()) << "</text>\n";
                break;
            }
            default:
                break;  // construction lines and view-dependent geometry have no extents
        }
    }
    if (b.empty()) {
        b.add(0, 0);
        b.add(1, 1);
    }
    const double margin = std::max(b.maxX - b.minX, b.maxY - b.minY) * 0.05 + 1.0;
    const double x = b.minX - margin;
    const double y = -b.maxY - margin;
    const double w = b.maxX - b.minX + 2 * margin;
    const double h = b.maxY - b.minY + 2 * margin;
    std::ostringstream doc;
    doc << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        << "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"" << num(x) << " " << num(y) << " "
        << num(w) << " " << num(h) << "\" width=\"" << 800 << "\" height=\""
        << static_cast<int>(std::ceil(800 * h / w)) << "\">\n"
        << " <rect x=\"" << num(x) << "\" y=\"" << num(y) << "\" width=\"" << num(w)
        << "\" height=\"" << num(h) << "\" fill=\"white\"/>\n"
        << " <g fill=\"none\" stroke=\"black\" stroke-width=\"" << num(w / 800) << "\">\n"
        << body.str() << " </g>\n</svg>\n";
    svg = doc.str();
    return Acad::eOk;
}

bool writeText(const std::string& path, const std::string& content) {
    std::ofstream f(path, std::ios::binary);
    f << content;
    f.close();
    return !f.fail();
}

bool endsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

std::string shellQuote(const std::string& s) {
    std::string out = "'";
    for (char c : s) {
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return out + "'";
}

// Writes the SVG, or converts it to PNG through rsvg-convert.
int writeRendering(const std::string& svg, const std::string& outPath, std::ostream& err) {
    if (!endsWith(outPath, ".png")) {
        if (!writeText(outPath, svg)) {
            err << "kxblock: cannot write " << outPath << "\n";
            return 1;
        }
        return 0;
    }
    const std::string tmp = outPath + ".tmp.svg";
    if (!writeText(tmp, svg)) {
        err << "kxblock: cannot write " << tmp << "\n";
        return 1;
    }
    const std::string cmd =
        "rsvg-convert -f png -o " + shellQuote(outPath) + " " + shellQuote(tmp) + " 2>&1";
    const int rc = std::system(cmd.c_str());
    std::remove(tmp.c_str());
    if (rc != 0) {
        err << "kxblock: rsvg-convert failed (is librsvg2-bin installed?)\n";
        return 1;
    }
    return 0;
}

// Reads a DXF drawing; null with a message on failure.
AcDbDatabase* readDrawing(const std::string& file, std::ostream& err) {
    AcDbDatabase* db = nullptr;
    AcString message;
    const Acad::ErrorStatus es =
        kxhost::dxf::readDxfFile(AcString::fromUtf8(file).kwszPtr(), db, &message);
    if (es != Acad::eOk || db == nullptr) {
        err << "kxblock: cannot read " << file << " (status " << statusText(es) << ")";
        if (!message.isEmpty()) {
            err << ": " << text(message);
        }
        err << "\n";
        delete db;
        return nullptr;
    }
    return db;
}

// --- demo --------------------------------------------------------------------------------------

int demoIn(AcDbDatabase* db, const std::string& outDir, std::ostream& out, std::ostream& err) {
    kxauthor::Author author(db);
    author.rootData().definition(L"PANEL",
                                 {kxauthor::rectangle(AcGePoint2d(0, 0), kDemoWidth, kDemoHeight)});
    author.graph().linear(AcGePoint3d(0, 0, 0), AcGePoint3d(kDemoWidth, 0, 0), L"Width", 2);
    author.valueSet(kxauthor::ValueSetSpec::grid(kDemoStep));
    if (!author.ok()) {
        err << "kxblock: building the definition failed (status " << statusText(author.status())
            << ")\n";
        return 1;
    }
    const AcDbObjectIdArray entities = entitiesOf(author.definitionId());
    AcDbObjectIdArray selection;
    if (entities.length() > 0) {
        selection.append(entities[0]);
    }
    AcDbObjectId actionId;
    Acad::ErrorStatus es = kxauthor::addStretchAction(
        db, author.graphId(), author.parameterId(), selection, AcGePoint2d(kDemoWidth - 1, -1),
        AcGePoint2d(kDemoWidth + 1, kDemoHeight + 1), L"Stretch", actionId);
    if (es != Acad::eOk) {
        err << "kxblock: adding the stretch action failed (status " << statusText(es) << ")\n";
        return 1;
    }
    AcDbObjectIdArray refs;
    for (int i = 0; i < kDemoReferences; ++i) {
        AcDbObjectId refId;
        es = kxauthor::insertReference(db, author.definitionId(),
                                       AcGePoint3d(kDemoSpacing * i, 0, 0), 0.0, 1.0, refId);
        if (es != Acad::eOk) {
            err << "kxblock: inserting a reference failed (status " << statusText(es) << ")\n";
            return 1;
        }
        refs.append(refId);
    }
    out << "definition PANEL: a " << kDemoWidth << " x " << kDemoHeight
        << " rectangle, linear parameter \"Width\" (2 grips, steps of " << kDemoStep
        << "), stretch action on the right edge\n";
    out << "references:";
    for (int i = 0; i < refs.length(); ++i) {
        out << " " << handleOf(refs[i]) << " at (" << kDemoSpacing * i << ",0)";
    }
    out << "\n";

    const AcDbObjectId dragged = refs[kDraggedReference];
    {
        kxhost::GripEditor editor(db, dragged);
        es = editor.collectGrips();
        if (es == Acad::eOk && editor.gripCount() == 0) {
            es = Acad::eNotApplicable;
        }
        if (es == Acad::eOk) {
            es = editor.beginDrag(0);  // the overrule offers the end grip first
        }
        if (es == Acad::eOk) {
            es = editor.dragTo(AcGeVector3d(kDemoDrag, 0, 0));
        }
        if (es == Acad::eOk) {
            es = editor.release();
        } else {
            editor.cancel();
        }
        if (es != Acad::eOk) {
            err << "kxblock: dragging the grip failed (status " << statusText(es) << ")\n";
            return 1;
        }
    }
    double width = 0.0;
    if (!referenceProperty(dragged, L"Width", width)) {
        err << "kxblock: the dragged reference shows no width\n";
        return 1;
    }
    out << "dragged the end grip of reference " << handleOf(dragged) << " by (" << kDemoDrag
        << ",0): Width " << kDemoWidth << " -> " << width << " (block "
        << blockName(Opened<AcDbBlockReference>(dragged, AcDb::kForRead)->blockTableRecord())
        << ")\n";

    const std::string dxfPath = outDir + "/demo.dxf";
    const std::string svgPath = outDir + "/demo.svg";
    AcString message;
    es = kxhost::dxf::writeDxfFile(db, AcString::fromUtf8(dxfPath).kwszPtr(), &message);
    if (es != Acad::eOk) {
        err << "kxblock: cannot write " << dxfPath << " (status " << statusText(es) << ") "
            << text(message) << "\n";
        return 1;
    }
    std::string svg;
    es = renderSvg(db, svg);
    if (es != Acad::eOk) {
        err << "kxblock: rendering failed (status " << statusText(es) << ")\n";
        return 1;
    }
    if (!writeText(svgPath, svg)) {
        err << "kxblock: cannot write " << svgPath << "\n";
        return 1;
    }
    out << "wrote " << dxfPath << " and " << svgPath << "\n";
    return 0;
}

// --- info --------------------------------------------------------------------------------------

nlohmann::json collectInfo(AcDbDatabase* db) {
    nlohmann::json result;
    result["definitions"] = nlohmann::json::array();
    result["references"] = nlohmann::json::array();

    // Definitions: every block the root data names a graph for.
    AcDbObjectIdArray blocks;
    {
        AcDbBlockTable* table = nullptr;
        if (db->getBlockTable(table, AcDb::kForRead) == Acad::eOk) {
            AcDbBlockTableIterator* it = nullptr;
            if (table->newIterator(it) == Acad::eOk) {
                for (it->start(); !it->done(); it->step()) {
                    AcDbObjectId id;
                    if (it->getRecordId(id) == Acad::eOk) {
                        blocks.append(id);
                    }
                }
                delete it;
            }
            table->close();
        }
    }
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

    // References: the block references of model space.
    for (const AcDbObjectId& id : entitiesOf(db->modelSpaceId())) {
        Opened<AcDbBlockReference> ref(id, AcDb::kForRead);
        if (ref.get() == nullptr) {
            continue;
        }
        KxDbTagRefContext context(kxref::kDefaultKey, ref.get());
        if (!context.isBound()) {
            continue;  // a reference of an ordinary block
        }
        nlohmann::json row;
        row["handle"] = handleOf(id);
        row["block"] = blockName(ref->blockTableRecord());
        row["definition"] = blockName(context.definitionId());
        const AcGePoint3d pos = ref->position();
        row["position"] = {pos.x, pos.y, pos.z};
        row["properties"] = nlohmann::json::array();
        KxDbTagParameterList params;
        if (context.listParameters(params) == Acad::eOk) {
            for (const KxDbTagParameterEntry& entry : params) {
                KxDbBlockPropertyDescArray descs;
                if (context.getPropertyDescriptions(entry, descs) != Acad::eOk) {
                    continue;
                }
                for (int i = 0; i < descs.length(); ++i) {
                    KxDbTagEvalVariant value;
                    if (context.getPropertyValue(entry, descs[i].name.kwszPtr(), value) !=
                        Acad::eOk) {
                        value.clear();
                    }
                    row["properties"].push_back({{"node", entry.second},
                                                 {"parameter", text(entry.first)},
                                                 {"name", text(descs[i].name)},
                                                 {"value", valueJson(value)},
                                                 {"readOnly", descs[i].readOnly != 0}});
                }
            }
        }
        result["references"].push_back(row);
    }
    return result;
}

}  // namespace

int runDemo(const std::string& outDir, std::ostream& out, std::ostream& err) {
    PluginSession plugin(err);
    if (!plugin.loaded()) {
        return 2;
    }
    // The folder is made when missing, as an output folder of a build usually is.
    std::error_code ec;
    std::filesystem::create_directories(outDir, ec);
    if (ec || !std::filesystem::is_directory(outDir)) {
        err << "kxblock: cannot write into " << outDir << ": not a folder that can be made\n";
        return 1;
    }
    AcDbDatabase* db = new AcDbDatabase(true, true);
    const int rc = demoIn(db, outDir, out, err);
    delete db;
    return rc;
}

int runRender(const std::string& file, const std::string& outPath, std::ostream& err) {
    PluginSession plugin(err);
    if (!plugin.loaded()) {
        return 2;
    }
    AcDbDatabase* db = readDrawing(file, err);
    if (db == nullptr) {
        return 1;
    }
    std::string svg;
    const Acad::ErrorStatus es = renderSvg(db, svg);
    delete db;
    if (es != Acad::eOk) {
        err << "kxblock: rendering failed (status " << statusText(es) << ")\n";
        return 1;
    }
    return writeRendering(svg, outPath, err);
}

int runInfo(const std::string& file, bool json, std::ostream& out, std::ostream& err) {
    PluginSession plugin(err);
    if (!plugin.loaded()) {
        return 2;
    }
    AcDbDatabase* db = readDrawing(file, err);
    if (db == nullptr) {
        return 1;
    }
    const nlohmann::json info = collectInfo(db);
    delete db;
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
        for (const auto& p : ref["properties"]) {
            out << "    " << p["name"].get<std::string>() << " = " << p["value"].dump()
                << (p["readOnly"].get<bool>() ? " (read-only)" : "") << "\n";
        }
    }
    return 0;
}

}  // namespace kxtool
