// kxblock set: properties of one reference set as a properties palette sets them, through the
// reference context, one assignment at a time.
#include <cmath>
#include <cstdlib>

#include "host/entities/blockref.h"
#include "module/graph/eval_variant.h"
#include "module/representation/ref_context.h"
#include "tools/kxblock/commands.h"
#include "tools/kxblock/session.h"

namespace kxtool {
namespace {

struct Assignment {
    bool hasNode = false;
    long node = 0;
    std::string name;
    std::string value;
};

// "[NODE:]NAME=VALUE"; false (with the reason on `err`) for anything else.
bool parseAssignment(const std::string& textValue, Assignment& a, std::ostream& err) {
    const size_t eq = textValue.find('=');
    if (eq == std::string::npos || eq == 0) {
        err << "kxblock: --property wants [NODE:]NAME=VALUE, not \"" << textValue << "\"\n";
        return false;
    }
    std::string left = textValue.substr(0, eq);
    a.value = textValue.substr(eq + 1);
    const size_t colon = left.find(':');
    if (colon != std::string::npos) {
        const std::string node = left.substr(0, colon);
        char* end = nullptr;
        a.node = std::strtol(node.c_str(), &end, 10);
        if (node.empty() || end == nullptr || *end != 0 || a.node <= 0) {
            err << "kxblock: \"" << node
                << "\" is not a node id (a positive number, as info shows)\n";
            return false;
        }
        a.hasNode = true;
        left = left.substr(colon + 1);
    }
    if (left.empty()) {
        err << "kxblock: --property \"" << textValue << "\" names no property\n";
        return false;
    }
    a.name = left;
    return true;
}

bool parseReal(const std::string& s, double& v) {
    char* end = nullptr;
    v = std::strtod(s.c_str(), &end);
    return !s.empty() && end != nullptr && *end == 0 && std::isfinite(v);
}

// The value text read by the property's type (its group code).
bool parseValue(const std::string& s, int type, KxDbTagEvalVariant& value) {
    if ((type >= 10 && type <= 19) || (type >= 110 && type <= 112) ||
        (type >= 1010 && type <= 1013)) {
        double c[3] = {0.0, 0.0, 0.0};
        size_t start = 0;
        int n = 0;
        for (; n < 3; ++n) {
            const size_t comma = s.find(',', start);
            const std::string part =
                s.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
            if (!parseReal(part, c[n])) {
                return false;
            }
            if (comma == std::string::npos) {
                break;
            }
            start = comma + 1;
        }
        if (n < 1 || n > 2) {
            return false;
        }
        value.setPoint(AcGePoint3d(c[0], c[1], c[2]));
        return true;
    }
    if ((type >= 38 && type <= 59) || (type >= 140 && type <= 149) ||
        (type >= 1040 && type <= 1042)) {
        double d = 0.0;
        if (!parseReal(s, d)) {
            return false;
        }
        value = KxDbTagEvalVariant(d);
        return true;
    }
    const bool int16 = (type >= 60 && type <= 79) || (type >= 170 && type <= 179) ||
                       (type >= 270 && type <= 289) || (type >= 400 && type <= 409) || type == 1070;
    const bool int32 = (type >= 90 && type <= 99) || type == 1071;
    if (int16 || int32) {
        char* end = nullptr;
        const long long n = std::strtoll(s.c_str(), &end, 10);
        if (s.empty() || end == nullptr || *end != 0) {
            return false;
        }
        if (int16) {
            if (n < -32768 || n > 32767) {
                return false;
            }
            value.setInt16(static_cast<Adesk::Int16>(n));
        } else {
            if (n < INT32_MIN || n > INT32_MAX) {
                return false;
            }
            value.setInt32(static_cast<Adesk::Int32>(n));
        }
        return true;
    }
    return value.setText(AcString::fromUtf8(s).kwszPtr()) == Acad::eOk;
}

struct Match {
    KxDbTagParameterEntry entry;
    KxDbBlockPropertyDesc desc;
};

// The properties of the reference that the assignment names.
std::vector<Match> matchesOf(KxDbTagRefContext& context, const Assignment& a) {
    std::vector<Match> found;
    KxDbTagParameterList params;
    if (context.listParameters(params) != Acad::eOk) {
        return found;
    }
    const AcString name = AcString::fromUtf8(a.name);
    for (const KxDbTagParameterEntry& entry : params) {
        if (a.hasNode && static_cast<long>(entry.second) != a.node) {
            continue;
        }
        KxDbBlockPropertyDescArray descs;
        if (context.getPropertyDescriptions(entry, descs) != Acad::eOk) {
            continue;
        }
        for (int i = 0; i < descs.length(); ++i) {
            if (acCompareNoCase(descs[i].name.kwszPtr(), name.kwszPtr()) == 0) {
                found.push_back({entry, descs[i]});
            }
        }
    }
    return found;
}

// Applies one assignment; the row says what was asked and what the reference shows after.
bool apply(const AcDbObjectId& refId, const Assignment& a, nlohmann::json& row, std::ostream& err) {
    Opened<AcDbBlockReference> ref(refId, AcDb::kForWrite);
    if (ref.get() == nullptr) {
        err << "kxblock: the reference cannot be opened (status " << statusText(ref.status())
            << ")\n";
        return false;
    }
    KxDbTagRefContext context(kxref::kDefaultKey, ref.get());
    if (!context.isBound()) {
        err << "kxblock: the reference is not a dynamic block reference\n";
        return false;
    }
    const std::vector<Match> matches = matchesOf(context, a);
    if (matches.empty()) {
        err << "kxblock: the reference has no property \"" << a.name << "\""
            << (a.hasNode ? " on node " + std::to_string(a.node) : std::string()) << "\n";
        return false;
    }
    if (matches.size() > 1) {
        err << "kxblock: several parameters have a property \"" << a.name
            << "\"; name one with NODE:NAME (nodes";
        for (const Match& m : matches) {
            err << " " << m.entry.second;
        }
        err << ")\n";
        return false;
    }
    const Match& m = matches.front();
    if (m.desc.readOnly != 0) {
        err << "kxblock: property \"" << text(m.desc.name) << "\" of node " << m.entry.second
            << " is read-only\n";
        return false;
    }
    KxDbTagEvalVariant value;
    if (!parseValue(a.value, m.desc.valueType, value)) {
        err << "kxblock: \"" << a.value << "\" is not a value of property \"" << text(m.desc.name)
            << "\" (type " << m.desc.valueType << ")\n";
        return false;
    }
    Acad::ErrorStatus es = context.activateNode(m.entry.second);
    if (es == Acad::eOk) {
        es = context.setPropertyAndEvaluate(m.desc.name.kwszPtr(), value);
    }
    if (es != Acad::eOk) {
        err << "kxblock: property \"" << text(m.desc.name) << "\" refused the value " << a.value
            << " (" << refusal(es) << ")\n";
        return false;
    }
    KxDbTagEvalVariant now;
    if (context.getPropertyValue(m.entry, m.desc.name.kwszPtr(), now) != Acad::eOk) {
        now.clear();
    }
    row = {{"node", m.entry.second},
           {"parameter", text(m.entry.first)},
           {"name", text(m.desc.name)},
           {"asked", a.value},
           {"value", valueJson(now)}};
    return true;
}

}  // namespace

int runSet(const std::string& file, const std::string& refHandle,
           const std::vector<std::string>& assignments, const std::string& outPath, bool json,
           std::ostream& out, std::ostream& err) {
    std::vector<Assignment> parsed;
    for (const std::string& s : assignments) {
        Assignment a;
        if (!parseAssignment(s, a, err)) {
            return 1;
        }
        parsed.push_back(a);
    }
    nlohmann::json result;
    result["reference"] = refHandle;
    result["properties"] = nlohmann::json::array();
    const int rc =
        withReference(file, refHandle, err, [&](AcDbDatabase* db, const AcDbObjectId& refId) {
            for (const Assignment& a : parsed) {
                nlohmann::json row;
                if (!apply(refId, a, row, err)) {
                    return 1;
                }
                result["properties"].push_back(row);
            }
            result["block"] = blockName(blockOfReference(refId));
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
    for (const auto& row : result["properties"]) {
        out << "node " << row["node"] << " " << row["name"].get<std::string>() << ": asked "
            << row["asked"].get<std::string>() << ", now " << row["value"].dump() << "\n";
    }
    out << "reference " << refHandle << " shows block " << result["block"].get<std::string>()
        << "\nwrote " << outPath << "\n";
    return 0;
}

}  // namespace kxtool
