#include "tools/kxblock/commands.h"
#include "tools/kxblock/session.h"
#include "tools/kxblock/svg.h"

namespace kxtool {

int runRender(const std::string& file, const std::string& outPath,
              const std::vector<std::string>& gripHandles, std::ostream& err) {
    PluginSession plugin(err);
    if (!plugin.loaded()) {
        return 2;
    }
    std::string svg;
    {
        Drawing drawing(file, err);
        if (drawing.get() == nullptr) {
            return 1;
        }
        AcDbObjectIdArray refs;
        for (const std::string& handle : gripHandles) {
            const AcDbObjectId id = referenceByHandle(drawing.get(), handle, err);
            if (id.isNull()) {
                return 1;
            }
            refs.append(id);
        }
        const Acad::ErrorStatus es = renderSvg(drawing.get(), svg, refs);
        if (es != Acad::eOk) {
            err << "kxblock: rendering failed (status " << statusText(es) << ")\n";
            return 1;
        }
    }
    return writeRendering(svg, outPath, err);
}

}  // namespace kxtool
