#include "tools/kxblock/svg.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "host/gi/recording.h"
#include "host/grips/gripoverrule.h"
#include "host/testing/grip_editor.h"
#include "host/testing/regen.h"
#include "tools/kxblock/session.h"

namespace kxtool {
namespace {

// The width of the picture in pixels; its height follows the drawing's proportions.
constexpr int kPictureWidth = 800;

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

// One primitive as an SVG element carrying `attributes`; nothing for primitives without extents
// (construction lines, view-dependent geometry).
void appendPrimitive(const kxhost::GiPrimitive& p, const std::string& attributes, Bounds& b,
                     std::ostream& body) {
    switch (p.kind) {
        case kxhost::GiKind::kPolyline:
        case kxhost::GiKind::kPolygon: {
            std::string pts;
            for (const AcGePoint3d& pt : p.points) {
                b.add(pt.x, pt.y);
                pts += (pts.empty() ? "" : " ") + num(pt.x) + "," + num(-pt.y);
            }
            const bool polygon = p.kind == kxhost::GiKind::kPolygon;
            body << "  <" << (polygon ? "polygon" : "polyline") << attributes << " points=\"" << pts
                 << "\"/>\n";
            break;
        }
        case kxhost::GiKind::kCircle:
            b.add(p.center.x - p.radius, p.center.y - p.radius);
            b.add(p.center.x + p.radius, p.center.y + p.radius);
            body << "  <circle" << attributes << " cx=\"" << num(p.center.x) << "\" cy=\""
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
            // Counter-clockwise about +Z stays counter-clockwise on screen once y is flipped,
            // which is SVG's negative direction.
            const bool ccw = (p.sweep >= 0) == (p.normal.z >= 0);
            body << "  <path" << attributes << " d=\"M " << num(s.x) << "," << num(-s.y) << " A "
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
            body << "  <text" << attributes << " x=\"" << num(at.x) << "\" y=\"" << num(-at.y)
                 << "\" font-size=\"" << num(p.height > 0 ? p.height : 1.0)
                 << "\" fill=\"black\" stroke=\"none\">"
                 << escapeXml(AcString(p.text.c_str()).utf8()) << "</text>\n";
            break;
        }
        default:
            break;
    }
}

// The plug-in's glyphs of every grip it offers on the references, drawn as the host draws warm
// grips in a viewport of the picture's scale.
Acad::ErrorStatus appendGripGlyphs(AcDbDatabase* db, const AcDbObjectIdArray& refs,
                                   double pixelsPerUnit, Bounds& b, std::ostream& body) {
    for (const AcDbObjectId& refId : refs) {
        kxhost::GripEditor editor(db, refId);
        editor.setView(1.0 / pixelsPerUnit, 7, AcGeVector3d(0.0, 0.0, 1.0));
        const Acad::ErrorStatus es = editor.collectGrips();
        if (es != Acad::eOk) {
            return es;
        }
        for (int i = 0; i < editor.gripCount(); ++i) {
            AcDbGripData* grip = editor.grip(i);
            if (grip == nullptr || kxhost::HostGripAppData::indexOf(grip->appData()) >= 0 ||
                grip->viewportDraw() == nullptr) {
                continue;
            }
            kxhost::RecordingViewportDraw vd;
            vd.recordingViewport().setPixelsPerUnit(pixelsPerUnit, pixelsPerUnit);
            AcGePoint3d at = grip->gripPoint();
            grip->viewportDraw()(grip, &vd, refId, AcDbGripOperations::kWarmGrip, &at, 7);
            const std::string attributes = " data-reference=\"" + handleOf(refId) +
                                           "\" data-grip=\"" + std::to_string(i) + "\"";
            for (const kxhost::GiPrimitive& p : vd.primitives()) {
                appendPrimitive(p, attributes, b, body);
            }
        }
    }
    return Acad::eOk;
}

}  // namespace

Acad::ErrorStatus renderSvg(AcDbDatabase* db, std::string& svg,
                            const AcDbObjectIdArray& gripReferences) {
    kxhost::RecordingWorldDraw wd;
    Acad::ErrorStatus es = kxhost::regenerate(db, wd);
    if (es != Acad::eOk) {
        return es;
    }
    Bounds b;
    std::ostringstream body;
    for (const kxhost::GiPrimitive& p : wd.primitives()) {
        const std::string entity =
            p.entity.isNull() ? std::string() : " data-entity=\"" + handleOf(p.entity) + "\"";
        appendPrimitive(p, entity, b, body);
    }
    if (b.empty()) {
        b.add(0, 0);
        b.add(1, 1);
    }
    const double margin = std::max(b.maxX - b.minX, b.maxY - b.minY) * 0.05 + 1.0;
    const double w = b.maxX - b.minX + 2 * margin;
    std::ostringstream grips;
    if (!gripReferences.isEmpty()) {
        // Glyphs are sized in pixels: the picture's scale decides how large they are drawn.
        Bounds glyphBounds = b;
        es = appendGripGlyphs(db, gripReferences, kPictureWidth / w, glyphBounds, grips);
        if (es != Acad::eOk) {
            return es;
        }
        b = glyphBounds;
    }
    const double x = b.minX - margin;
    const double y = -b.maxY - margin;
    const double width = b.maxX - b.minX + 2 * margin;
    const double h = b.maxY - b.minY + 2 * margin;
    std::ostringstream doc;
    doc << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        << "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"" << num(x) << " " << num(y) << " "
        << num(width) << " " << num(h) << "\" width=\"" << kPictureWidth << "\" height=\""
        << static_cast<int>(std::ceil(kPictureWidth * h / width)) << "\">\n"
        << " <rect x=\"" << num(x) << "\" y=\"" << num(y) << "\" width=\"" << num(width)
        << "\" height=\"" << num(h) << "\" fill=\"white\"/>\n"
        << " <g fill=\"none\" stroke=\"black\" stroke-width=\"" << num(width / kPictureWidth)
        << "\">\n"
        << body.str() << " </g>\n";
    if (!gripReferences.isEmpty()) {
        doc << " <g class=\"grips\" fill=\"#1e6fd9\" stroke=\"#0b3d91\" stroke-width=\""
            << num(width / kPictureWidth) << "\">\n"
            << grips.str() << " </g>\n";
    }
    doc << "</svg>\n";
    svg = doc.str();
    return Acad::eOk;
}

bool writeText(const std::string& path, const std::string& content) {
    std::ofstream f(path, std::ios::binary);
    f << content;
    f.close();
    return !f.fail();
}

namespace {
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
}  // namespace

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

}  // namespace kxtool
