#include "module/grips/glyphs.h"

#include <cmath>

#include "host/db/database.h"
#include "host/entities/blockref.h"
#include "host/ge/point2d.h"
#include "module/display/display_settings.h"
#include "module/grips/dimensions.h"
#include "module/grips/grip.h"
#include "module/grips/nb_app_data.h"
#include "module/params/linear_tag.h"
#include "module/params/value_set.h"
#include "module/representation/ref_context.h"

namespace kxgrips {
namespace {

// 80 degrees: beyond this the reference's plane is seen too nearly edge-on for a flat glyph.
constexpr double kEdgeOnAngle = 1.396263401595464;
constexpr double kExtentSlack = 1.1920928955078125e-7;

bool finitePositive(double v) {
    return std::isfinite(v) && v > 0.0;
}

// Keeps the traits' draw flags and fill type as the caller left them, whatever path returns.
class TraitsGuard {
  public:
    explicit TraitsGuard(AcGiSubEntityTraits& traits)
        : m_traits(traits), m_flags(traits.drawFlags()) {}
    ~TraitsGuard() { m_traits.setDrawFlags(m_flags); }
    TraitsGuard(const TraitsGuard&) = delete;
    TraitsGuard& operator=(const TraitsGuard&) = delete;
    Adesk::UInt32 flags() const { return m_flags; }

  private:
    AcGiSubEntityTraits& m_traits;
    Adesk::UInt32 m_flags;
};

bool fillModeOn() {
    AcDbHostApplicationServices* services = acdbHostApplicationServices();
    AcDbDatabase* db = services != nullptr ? services->workingDatabase() : nullptr;
    // Without a working database there is nothing that turned fill off.
    return db == nullptr || db->fillmode();
}

bool gripColorsWanted() {
    AcDbHostApplicationServices* services = acdbHostApplicationServices();
    return services != nullptr && services->gripColorsEnabled();
}

// How far the view reaches from `origin`, in world units: the screen's size plus the distance
// from the origin to the view's centre, so that marks cover whatever part of the line is seen.
double visibleExtent(const AcGiViewport& viewport, const AcGePoint3d& origin, double sx,
                     double sy) {
    AcGePoint2d lowerLeft;
    AcGePoint2d upperRight;
    viewport.getViewportDcCorners(lowerLeft, upperRight);
    const double width = std::fabs(upperRight.x - lowerLeft.x) / sx;
    const double height = std::fabs(upperRight.y - lowerLeft.y) / sy;
    AcGePoint3d target;
    viewport.getCameraTarget(target);
    return std::sqrt(width * width + height * height) + (origin - target).length();
}

// Where the marks of a hot linear grip go, read from its parameter in the reference's graph.
bool linearMarks(AcDbBlockReference* ref, const KxDbNimbleBlockNBAppData& appData,
                 KxDbBlockTagValueSet& set, ValueSetMarks& marks) {
    KxDbTagRefContext context(kxref::kDefaultKey, ref);
    if (!context.isBound()) {
        return false;
    }
    KxDbTagEvalExpr* node = nullptr;
    if (context.getNode(appData.gripId(), node) != Acad::eOk) {
        return false;
    }
    const KxDbTagGrip* grip = KxDbTagGrip::cast(node);
    KxDbBlockTag* param = nullptr;
    int index = -1;
    const bool opened = grip != nullptr && grip->gripIndex(index) == Acad::eOk &&
                        grip->openParameter(param) == Acad::eOk;
    node->close();
    if (!opened) {
        return false;
    }
    const KxDbBlockLinearTag* linear = KxDbBlockLinearTag::cast(param);
    AcGePoint3d base;
    AcGePoint3d end;
    bool centred = false;
    if (linear != nullptr) {
        set = linear->valueSet();
        base = linear->currentBasePoint();
        end = linear->currentEndPoint();
        centred = linear->baseLocation() == 1;
        marks.currentDistance = linear->currentDistance();
    }
    param->close();
    if (linear == nullptr) {
        return false;
    }
    const AcGeMatrix3d& toWorld = appData.blockTransform();
    AcGePoint3d origin = index == 0 ? end : base;
    if (centred) {
        origin = base + (end - base) * 0.5;
    }
    AcGeVector3d along = end - base;
    if (along.isZeroLength()) {
        along = appData.direction();
    }
    const double definitionLength = along.length();
    const AcGeVector3d direction = toWorld * appData.direction();
    if (direction.isZeroLength() || !(definitionLength > 0.0)) {
        return false;
    }
    marks.origin = toWorld * origin;
    marks.direction = direction.normal();
    marks.across = ucsPerpendicular(marks.direction, ref->database());
    marks.scale = (toWorld * along).length() / definitionLength;
    marks.halfDistance = centred;
    marks.valueSet = &set;
    return true;
}

}  // namespace

bool valueSetMarkDistances(const KxDbBlockTagValueSet& set, double scale, double currentDistance,
                           double visibleExtent, double pixelsPerUnit,
                           std::vector<double>& distances) {
    distances.clear();
    if (!std::isfinite(scale) || !std::isfinite(currentDistance) ||
        !finitePositive(pixelsPerUnit)) {
        return false;
    }
    const double s = std::fabs(scale);
    if (set.isList()) {
        const AcGeDoubleArray values = set.list();
        if (static_cast<std::size_t>(values.length()) > kMaxValueSetMarks) {
            return false;
        }
        for (int i = 0; i < values.length(); ++i) {
            if (std::isfinite(values[i])) {
                distances.push_back(values[i] * s);
            }
        }
        return !distances.empty();
    }
    if (!set.hasIncrement()) {
        return false;
    }
    // The increment comes from the file: its sign is meaningless for a grid of allowed values,
    // and a tiny one must not turn into millions of marks.
    const double step = std::fabs(set.increment() * s);
    if (!finitePositive(step) || step * pixelsPerUnit < 1.0) {
        return false;
    }
    const double current = currentDistance * s;
    const double lower = set.hasMinimum() ? set.minimum() * s : std::fmin(0.0, current);
    const double upper = set.hasMaximum()
                             ? set.maximum() * s
                             : std::fmax(current, std::fabs(visibleExtent)) + kExtentSlack;
    if (!std::isfinite(lower) || !std::isfinite(upper) || upper < lower) {
        return false;
    }
    // The grid runs through the current distance; only the steps within the bounds are marked.
    const double eps = 1e-9;
    const double kLow = std::ceil((lower - current) / step - eps);
    const double kHigh = std::floor((upper - current) / step + eps);
    if (!std::isfinite(kLow) || !std::isfinite(kHigh) || kHigh < kLow) {
        return false;
    }
    if (kHigh - kLow + 1.0 > static_cast<double>(kMaxValueSetMarks)) {
        return false;
    }
    for (double k = kLow; k <= kHigh; k += 1.0) {
        distances.push_back(current + k * step);
    }
    return !distances.empty();
}

int drawValueSetMarks(AcGiViewportDraw* vd, const ValueSetMarks& marks, double halfLength) {
    if (vd == nullptr || marks.valueSet == nullptr) {
        return 0;
    }
    AcGePoint2d pixels;
    vd->viewport().getNumPixelsInUnitSquare(marks.origin, pixels);
    if (!(pixels.x >= kMinPixelSize) || !(pixels.y >= kMinPixelSize)) {
        return 0;
    }
    AcGeVector3d dir = marks.direction;
    AcGeVector3d across = marks.across;
    if (dir.isZeroLength() || across.isZeroLength()) {
        return 0;
    }
    dir.normalize();
    across.normalize();
    // Along the direction marks half a distance apart on a centred parameter still have to
    // clear a pixel.
    const double along = std::fmin(pixels.x, pixels.y) * (marks.halfDistance ? 0.5 : 1.0);
    std::vector<double> distances;
    if (!valueSetMarkDistances(*marks.valueSet, marks.scale, marks.currentDistance,
                               visibleExtent(vd->viewport(), marks.origin, pixels.x, pixels.y) *
                                   (marks.halfDistance ? 2.0 : 1.0),
                               along, distances)) {
        return 0;
    }
    vd->subEntityTraits().setColor(kValueSetMarkColor);
    int drawn = 0;
    for (double d : distances) {
        const AcGePoint3d at = marks.origin + dir * (marks.halfDistance ? d * 0.5 : d);
        const AcGePoint3d line[2] = {at - across * halfLength, at + across * halfLength};
        if (vd->geometry().polyline(2, line)) {
            ++drawn;
        }
    }
    return drawn;
}

bool drawLinearGlyph(AcDbGripData* record, AcGiViewportDraw* vd, const AcDbObjectId& entityId,
                     AcDbGripOperations::DrawType type, AcGePoint3d* imageGripPoint,
                     int gripSizeInPixels) {
    if (record == nullptr || vd == nullptr) {
        return false;
    }
    const KxDbNimbleBlockNBAppData* appData =
        KxDbNimbleBlockNBAppData::fromRecord(record->appData(), record->appDataAcRxClass());
    if (appData == nullptr) {
        return false;
    }
    AcDbObject* obj = nullptr;
    if (acdbOpenObject(obj, entityId, AcDb::kForRead) != Acad::eOk) {
        return false;
    }
    auto* ref = AcDbBlockReference::cast(obj);
    bool drawn = false;
    if (ref != nullptr) {
        LinearGlyph glyph;
        glyph.blockTransform = appData->blockTransform();
        glyph.definitionPosition = appData->definitionPosition();
        glyph.direction = appData->direction();
        glyph.degenerate = appData->isDirectionDegenerate();
        glyph.normal = appData->normal();
        glyph.gripPoint = imageGripPoint != nullptr ? *imageGripPoint : record->gripPoint();
        glyph.drawType = type;
        glyph.gripSize = gripSizeInPixels;
        KxDbBlockTagValueSet set;
        ValueSetMarks marks;
        // The parameter is only read for a hot grip that will show its marks.
        if (type == AcDbGripOperations::kHotGrip && !glyph.degenerate &&
            kxdisplay::readBtMarkDisplay() && linearMarks(ref, *appData, set, marks)) {
            glyph.marks = &marks;
        }
        drawn = drawLinearGlyph(vd, glyph);
    }
    obj->close();
    return drawn;
}

bool glyphInEyeSpace(const AcGiViewport& viewport, const AcGeVector3d& normal) {
    if (viewport.isPerspective()) {
        return true;
    }
    const AcGeVector3d view = viewport.viewDir();
    if (view.isZeroLength() || normal.isZeroLength()) {
        return false;
    }
    // The sense of the normal does not matter: a plane seen from behind is still seen flat.
    double angle = normal.angleTo(view);
    angle = std::fmin(angle, M_PI - angle);
    return angle > kEdgeOnAngle;
}

bool drawLinearGlyph(AcGiViewportDraw* vd, const LinearGlyph& glyph) {
    if (vd == nullptr) {
        return false;
    }
    AcGiSubEntityTraits& traits = vd->subEntityTraits();
    const AcGiViewport& viewport = vd->viewport();
    if ((glyph.drawType == kGlyphWarm || glyph.drawType == kGlyphDragImage) && gripColorsWanted()) {
        traits.setColor(kxdisplay::readGripDynColor());
    }
    AcGePoint2d pixels;
    viewport.getNumPixelsInUnitSquare(glyph.gripPoint, pixels);
    if (!(pixels.x >= kMinPixelSize) || !(pixels.y >= kMinPixelSize)) {
        return false;
    }
    const double hx = glyph.gripSize / pixels.x;
    const double hy = glyph.gripSize / pixels.y;

    AcGePoint3d tri[3];
    const bool eye = glyphInEyeSpace(viewport, glyph.normal);
    if (!eye) {
        AcGeVector3d u = glyph.direction;
        if (glyph.degenerate || u.isZeroLength()) {
            u.set(1.0, 0.0, 0.0);
        }
        u.normalize();
        AcGeVector3d v = AcGeVector3d(0.0, 0.0, 1.0).crossProduct(u);
        if (v.isZeroLength()) {
            // A direction along the definition's Z axis: any perpendicular makes the arrow's base.
            v = u.perpVector();
        }
        v.normalize();
        // The half sizes are world lengths; the triangle is built in definition coordinates.
        const AcGeMatrix3d toDefinition = glyph.blockTransform.inverse();
        u *= (toDefinition * AcGeVector3d(hx, 0.0, 0.0)).length();
        v *= (toDefinition * AcGeVector3d(0.0, hy, 0.0)).length();
        const AcGePoint3d& d = glyph.definitionPosition;
        tri[0] = glyph.blockTransform * (d - u - v);
        tri[1] = glyph.blockTransform * (d + u * 2.0);
        tri[2] = glyph.blockTransform * (d - u + v);
    } else {
        AcGeMatrix3d worldToEye;
        AcGeMatrix3d eyeToWorld;
        viewport.getWorldToEyeTransform(worldToEye);
        viewport.getEyeToWorldTransform(eyeToWorld);
        AcGeVector3d u = worldToEye * (glyph.blockTransform * glyph.direction);
        u.z = 0.0;
        if (glyph.degenerate || u.isZeroLength()) {
            u.set(1.0, 0.0, 0.0);
        }
        u.normalize();
        AcGeVector3d v = AcGeVector3d(0.0, 0.0, 1.0).crossProduct(u);
        u *= hx;
        v *= hy;
        AcGePoint3d d = worldToEye * glyph.gripPoint;
        const bool perspective = viewport.isPerspective() && viewport.doPerspective(d);
        tri[0] = d - u - v;
        tri[1] = d + u * 2.0;
        tri[2] = d - u + v;
        for (AcGePoint3d& p : tri) {
            // Built on the projected screen, so it keeps its pixel size wherever it stands.
            if (perspective) {
                viewport.doInversePerspective(p);
            }
            p = eyeToWorld * p;
        }
    }

    {
        TraitsGuard guard(traits);
        traits.setFillType(kAcGiFillAlways);
        traits.setDrawFlags(guard.flags() | kGlyphFillDrawFlag);
        vd->geometry().polygon(3, tri);
    }
    if (glyph.drawType == kGlyphWarm && fillModeOn()) {
        traits.setColor(kGlyphOutlineColor);
        const AcGePoint3d outline[4] = {tri[0], tri[1], tri[2], tri[0]};
        vd->geometry().polyline(4, outline);
    }
    if (glyph.drawType == kGlyphHot && !glyph.degenerate && glyph.marks != nullptr &&
        kxdisplay::readBtMarkDisplay()) {
        drawValueSetMarks(vd, *glyph.marks, std::fmax(hx, hy));
    }
    return true;
}

}  // namespace kxgrips
