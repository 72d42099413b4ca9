// kxblock grips and drag: the grips a reference offers, and dragging one of them through the
// host's grip editor exactly as a user at the host would.
#include <cctype>
#include <cstdlib>

#include "host/entities/blockref.h"
#include "host/grips/gripoverrule.h"
#include "host/testing/grip_editor.h"
#include "module/graph/eval_expr.h"
#include "module/grips/nb_app_data.h"
#include "module/representation/ref_context.h"
#include "tools/kxblock/commands.h"
#include "tools/kxblock/session.h"

namespace kxtool {
namespace {

// A grip class's record name without its "TAG" prefix and "GRIP" suffix, in lower case
// ("TAGLINEARGRIP" -> "linear").
std::string gripKind(const ACHAR* dxfName) {
    std::string name = dxfName != nullptr ? text(dxfName) : std::string();
    if (name.rfind("TAG", 0) == 0) {
        name = name.substr(3);
    }
    if (name.size() > 4 && name.compare(name.size() - 4, 4, "GRIP") == 0) {
        name.resize(name.size() - 4);
    }
    for (char& c : name) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return name.empty() ? "grip" : name;
}

// The kind of one grip node of the reference's graph.
std::string kindOfNode(const AcDbObjectId& refId, KxNodeId node) {
    Opened<AcDbBlockReference> ref(refId, AcDb::kForRead);
    if (ref.get() == nullptr) {
        return "grip";
    }
    KxDbTagRefContext context(kxref::kDefaultKey, ref.get());
    KxDbTagEvalExpr* expr = nullptr;
    if (context.getNode(node, expr) != Acad::eOk || expr == nullptr) {
        return "grip";
    }
    const std::string kind = gripKind(expr->isA() != nullptr ? expr->isA()->dxfName() : nullptr);
    expr->close();
    return kind;
}

// The grips of the editor's entity as JSON rows, in the editor's order.
nlohmann::json gripRows(kxhost::GripEditor& editor, const AcDbObjectId& refId) {
    nlohmann::json rows = nlohmann::json::array();
    for (int i = 0; i < editor.gripCount(); ++i) {
        const AcDbGripData* grip = editor.grip(i);
        if (grip == nullptr) {
            continue;
        }
        nlohmann::json row;
        row["index"] = i;
        // A block reference's grip records carry either the host's own markers or the plug-in's
        // application data; both are run-time objects, so the class check is safe.
        const int own = kxhost::HostGripAppData::indexOf(grip->appData());
        const auto* data =
            own >= 0
                ? nullptr
                : KxDbNimbleBlockNBAppData::cast(static_cast<const AcRxObject*>(grip->appData()));
        row["dynamic"] = data != nullptr;
        if (data != nullptr) {
            row["node"] = data->gripId();
            row["kind"] = kindOfNode(refId, data->gripId());
        } else {
            row["node"] = nullptr;
            row["kind"] = "host";
        }
        const AcGePoint3d p = grip->gripPoint();
        row["position"] = {p.x, p.y, p.z};
        rows.push_back(row);
    }
    return rows;
}

// "DX,DY[,DZ]" as a vector; false for anything else.
bool parseOffset(const std::string& textValue, AcGeVector3d& v) {
    double c[3] = {0.0, 0.0, 0.0};
    const char* p = textValue.c_str();
    int n = 0;
    while (n < 3) {
        char* end = nullptr;
        c[n] = std::strtod(p, &end);
        if (end == p || !std::isfinite(c[n])) {
            return false;
        }
        ++n;
        if (*end == 0) {
            break;
        }
        if (*end != ',') {
            return false;
        }
        p = end + 1;
        if (n == 3) {
            return false;
        }
    }
    if (n < 2) {
        return false;
    }
    v.set(c[0], c[1], c[2]);
    return true;
}

void printGrips(const nlohmann::json& rows, std::ostream& out) {
    for (const auto& row : rows) {
        out << "  " << row["index"] << ": " << row["kind"].get<std::string>();
        if (row["dynamic"].get<bool>()) {
            out << " (node " << row["node"] << ")";
        }
        out << " at " << row["position"].dump() << "\n";
    }
}

}  // namespace

int runGrips(const std::string& file, const std::string& refHandle, bool json, std::ostream& out,
             std::ostream& err) {
    nlohmann::json result;
    const int rc =
        withReference(file, refHandle, err, [&](AcDbDatabase* db, const AcDbObjectId& refId) {
            kxhost::GripEditor editor(db, refId);
            const Acad::ErrorStatus es = editor.collectGrips();
            if (es != Acad::eOk) {
                err << "kxblock: the reference offers no grips (status " << statusText(es) << ")\n";
                return 1;
            }
            result["reference"] = refHandle;
            result["grips"] = gripRows(editor, refId);
            return 0;
        });
    if (rc != 0) {
        return rc;
    }
    if (json) {
        out << result.dump(2) << "\n";
        return 0;
    }
    out << result["grips"].size() << " grips on reference " << refHandle << "\n";
    printGrips(result["grips"], out);
    return 0;
}

int runDrag(const std::string& file, const std::string& refHandle, int gripIndex,
            const std::string& by, const std::string& outPath, bool json, std::ostream& out,
            std::ostream& err) {
    AcGeVector3d offset;
    if (!parseOffset(by, offset)) {
        err << "kxblock: --by wants DX,DY or DX,DY,DZ (numbers), not \"" << by << "\"\n";
        return 1;
    }
    nlohmann::json result;
    const int rc =
        withReference(file, refHandle, err, [&](AcDbDatabase* db, const AcDbObjectId& refId) {
            kxhost::GripEditor editor(db, refId);
            Acad::ErrorStatus es = editor.collectGrips();
            if (es != Acad::eOk) {
                err << "kxblock: the reference offers no grips (status " << statusText(es) << ")\n";
                return 1;
            }
            if (gripIndex < 0 || gripIndex >= editor.gripCount()) {
                err << "kxblock: the reference offers " << editor.gripCount()
                    << " grips; there is no grip " << gripIndex << " (see kxblock grips)\n";
                return 1;
            }
            const nlohmann::json before = gripRows(editor, refId)[gripIndex];
            es = editor.beginDrag(gripIndex);
            if (es == Acad::eOk) {
                es = editor.dragTo(offset);
            }
            if (es == Acad::eOk) {
                es = editor.release();
            } else {
                editor.cancel();
            }
            if (es != Acad::eOk) {
                err << "kxblock: the drag was refused (" << refusal(es) << ")\n";
                return 1;
            }
            result["reference"] = refHandle;
            result["grip"] = before;
            result["by"] = {offset.x, offset.y, offset.z};
            result["block"] = blockName(blockOfReference(refId));
            result["after"] = referenceJson(refId);
            if (!writeDrawing(db, outPath, err)) {
                return 1;
            }
            return 0;
        });
    if (rc != 0) {
        return rc;
    }
    if (json) {
        out << result.dump(2) << "\n";
        return 0;
    }
    out << "dragged grip " << gripIndex << " (" << result["grip"]["kind"].get<std::string>()
        << ") of reference " << refHandle << " by " << result["by"].dump()
        << "; the reference now shows block " << result["block"].get<std::string>() << "\n";
    if (!result["after"].is_null()) {
        printProperties(result["after"], out);
    }
    out << "wrote " << outPath << "\n";
    return 0;
}

}  // namespace kxtool
