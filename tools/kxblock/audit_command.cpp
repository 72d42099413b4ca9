// kxblock audit: every object of a drawing audited (the evaluation graphs check their own
// structure), each finding reported; with --fix the repairs are written to a new drawing.
#include "host/db/auditinfo.h"
#include "host/testing/regen.h"
#include "tools/kxblock/commands.h"
#include "tools/kxblock/session.h"

namespace kxtool {

int runAudit(const std::string& file, bool fix, const std::string& outPath, bool json,
             std::ostream& out, std::ostream& err) {
    if (fix && outPath.empty()) {
        err << "kxblock: audit --fix writes the repaired drawing to -o OUT; name one\n";
        return 1;
    }
    if (!fix && !outPath.empty()) {
        err << "kxblock: -o is only written with --fix\n";
        return 1;
    }
    nlohmann::json result;
    const int rc = withDrawing(file, err, [&](AcDbDatabase* db) {
        AcDbAuditInfo info;
        info.setFixErrors(fix);
        kxhost::AuditReport report;
        const Acad::ErrorStatus es = kxhost::auditDatabase(db, info, &report);
        if (es != Acad::eOk) {
            err << "kxblock: the audit could not run (status " << statusText(es) << ")\n";
            return 1;
        }
        result["audited"] = report.audited;
        result["errors"] = info.numErrors();
        result["fixed"] = info.numFixes();
        result["findings"] = nlohmann::json::array();
        for (const AcString& line : info.messages()) {
            result["findings"].push_back(text(line));
        }
        if (fix && !writeDrawing(db, outPath, err)) {
            return 1;
        }
        return 0;
    });
    if (rc != 0) {
        return rc;
    }
    const int errors = result["errors"].get<int>();
    const int fixed = result["fixed"].get<int>();
    const int remaining = errors > fixed ? errors - fixed : 0;
    result["remaining"] = fix ? remaining : errors;
    if (json) {
        out << result.dump(2) << "\n";
    } else {
        for (const auto& line : result["findings"]) {
            out << "  " << line.get<std::string>() << "\n";
        }
        out << result["audited"] << " objects audited: " << errors << " errors found, " << fixed
            << " fixed\n";
        if (fix) {
            out << "wrote " << outPath << "\n";
        }
    }
    return result["remaining"].get<int>() > 0 ? 1 : 0;
}

}  // namespace kxtool
