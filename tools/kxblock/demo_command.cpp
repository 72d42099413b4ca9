#include <filesystem>
#include <memory>

#include "host/entities/blockref.h"
#include "host/testing/grip_editor.h"
#include "module/graph/eval_variant.h"
#include "module/representation/ref_context.h"
#include "tools/authoring/authoring.h"
#include "tools/kxblock/commands.h"
#include "tools/kxblock/session.h"
#include "tools/kxblock/svg.h"

namespace kxtool {
namespace {

constexpr double kDemoWidth = 10.0;
constexpr double kDemoHeight = 20.0;
constexpr double kDemoStep = 2.5;
constexpr double kDemoSpacing = 40.0;
constexpr int kDemoReferences = 3;
constexpr int kDraggedReference = 1;
constexpr double kDemoDrag = 5.0;

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
    if (!writeDrawing(db, dxfPath, err)) {
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
    std::unique_ptr<AcDbDatabase> db(new AcDbDatabase(true, true));
    return demoIn(db.get(), outDir, out, err);
}

}  // namespace kxtool
