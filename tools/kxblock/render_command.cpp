#include "tools/kxblock/commands.h"
#include "tools/kxblock/session.h"
#include "tools/kxblock/svg.h"

namespace kxtool {

int runRender(const std::string& file, const std::string& outPath,
              const std::vector<std::string>& gripHandles, std::ostream& out, std::ostream& err) {
    std::string svg;
    const int rc = withDrawing(file, err, [&](AcDbDatabase* db) {
        AcDbObjectIdArray refs;
        for (const std::string& handle : gripHandles) {
            const AcDbObjectId id = referenceByHandle(db, handle, err);
            if (id.isNull()) {
                return 1;
            }
            refs.append(id);
        }
        const Acad::ErrorStatus es = renderSvg(db, svg, refs);
        if (es != Acad::eOk) {
            err << "kxblock: rendering failed (status " << statusText(es) << ")\n";
            return 1;
        }
        return 0;
    });
    if (rc != 0) {
        return rc;
    }
    const int written = writeRendering(svg, outPath, err);
    if (written == 0) {
        out << "wrote " << outPath << "\n";
    }
    return written;
}

}  // namespace kxtool
