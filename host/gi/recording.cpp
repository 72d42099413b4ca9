#include "host/gi/recording.h"

#include <cmath>
#include <cstdio>
#include <sstream>

#include "host/db/dbobject.h"
#include "host/entities/entity.h"
#include "host/gi/drawable.h"

namespace kxhost {

namespace {

const double kTwoPi = 6.28318530717958647692;

std::wstring classNameOf(const AcRxObject* obj) {
    if (obj == nullptr || obj->isA() == nullptr) {
        return std::wstring();
    }
    return obj->isA()->name();
}

AcDbObjectId idOf(const AcRxObject* obj) {
    const AcDbObject* dbObj = AcDbObject::cast(obj);
    return dbObj != nullptr ? dbObj->objectId() : AcDbObjectId::kNull;
}

AcGeVector3d unitOr(const AcGeVector3d& v, const AcGeVector3d& fallback) {
    return v.isZeroLength() ? fallback : v.normal();
}

// Two unit axes spanning the plane of the normal (the plane's arbitrary-axis frame).
void planeAxes(const AcGeVector3d& normal, AcGeVector3d& u, AcGeVector3d& v) {
    const AcGeVector3d n = unitOr(normal, AcGeVector3d::kZAxis);
    u = n.perpVector();
    v = n.crossProduct(u);
}

// The circle through three points: false (centre at the first point, radius 0, normal Z) when
// they are collinear or coincide. The normal is the side from which a, b, c run
// counter-clockwise.
bool circleThrough(const AcGePoint3d& a, const AcGePoint3d& b, const AcGePoint3d& c,
                   AcGePoint3d& center, double& radius, AcGeVector3d& normal) {
    const AcGeVector3d ab = b - a;
    const AcGeVector3d ac = c - a;
    const AcGeVector3d n = ab.crossProduct(ac);
    const double n2 = n.lengthSqrd();
    if (!(n2 > 1e-24 * ab.lengthSqrd() * ac.lengthSqrd()) || n2 == 0.0) {
        center = a;
        radius = 0.0;
        normal = AcGeVector3d::kZAxis;
        return false;
    }
    center = a + (n.crossProduct(ab) * ac.lengthSqrd() + ac.crossProduct(n) * ab.lengthSqrd()) /
                     (2.0 * n2);
    radius = center.distanceTo(a);
    normal = n.normal();
    return true;
}

std::string utf8(const std::wstring& s) {
    return AcString(s).utf8();
}

std::string handleText(const AcDbObjectId& id) {
    return id.isNull() ? std::string("-") : id.handle().toString().utf8();
}

std::string number(double v) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.6g", v);
    return buf;
}

std::string pointText(const AcGePoint3d& p) {
    return "(" + number(p.x) + ", " + number(p.y) + ", " + number(p.z) + ")";
}

// The traits of what is drawn next; a drawable's are set before it draws and the drawer's
// restored after it.
struct TraitsState {
    Adesk::UInt16 color = 256;
    AcGiFillType fill = kAcGiFillNever;
    Adesk::UInt32 flags = 0;
    AcDbObjectId layer;
    AcDbObjectId linetype;
    Adesk::LongPtr marker = -1;
    int lineWeight = -1;
    double linetypeScale = 1.0;
    double thickness = 0.0;
};

class RecordingTraits : public AcGiDrawableTraits {
  public:
    void setColor(const Adesk::UInt16 color) override { s.color = color; }
    Adesk::UInt16 color() const override { return s.color; }
    void setFillType(const AcGiFillType fillType) override { s.fill = fillType; }
    AcGiFillType fillType() const override { return s.fill; }
    void setDrawFlags(Adesk::UInt32 flags) override { s.flags = flags; }
    Adesk::UInt32 drawFlags() const override { return s.flags; }
    void setLayer(const AcDbObjectId& layerId) override { s.layer = layerId; }
    AcDbObjectId layerId() const override { return s.layer; }
    void setLineType(const AcDbObjectId& linetypeId) override { s.linetype = linetypeId; }
    AcDbObjectId lineTypeId() const override { return s.linetype; }
    void setSelectionMarker(const Adesk::LongPtr marker) override { s.marker = marker; }
    void setLineWeight(const int lineWeight) override { s.lineWeight = lineWeight; }
    int lineWeight() const override { return s.lineWeight; }
    void setLineTypeScale(double scale) override { s.linetypeScale = scale; }
    double lineTypeScale() const override { return s.linetypeScale; }
    void setThickness(double thickness) override { s.thickness = thickness; }
    double thickness() const override { return s.thickness; }

    TraitsState s;
};

}  // namespace

const wchar_t* giKindName(GiKind kind) {
    switch (kind) {
        case GiKind::kPolyline:
            return L"polyline";
        case GiKind::kPolygon:
            return L"polygon";
        case GiKind::kCircle:
            return L"circle";
        case GiKind::kArc:
            return L"arc";
        case GiKind::kText:
            return L"text";
        case GiKind::kXline:
            return L"xline";
        case GiKind::kRay:
            return L"ray";
        case GiKind::kPolylineEye:
            return L"polylineEye";
        case GiKind::kPolygonEye:
            return L"polygonEye";
        case GiKind::kPolylineDc:
            return L"polylineDc";
        case GiKind::kPolygonDc:
            return L"polygonDc";
    }
    return L"?";
}

// --- The recording -------------------------------------------------------------------------------

struct GiRecording::Impl {
    // One drawable being drawn: where the stack stood when it started (it may not pop below),
    // who it is, and whether it is the top-level entity of an entity record.
    struct Frame {
        size_t base = 0;
        AcDbObjectId id;
        std::wstring className;
        bool top = false;
    };

    std::vector<GiPrimitive> prims;
    std::vector<GiEntityDraw> entities;
    bool inEntity = false;
    std::vector<AcGeMatrix3d> stack;
    std::vector<Frame> frames;
    RecordingTraits traits;
    int pushes = 0;
    int pops = 0;
    int refusedPops = 0;
    long long abortAt = -1;
    bool aborted = false;
    // The viewport context sharing this recording: nested drawables whose worldDraw answers
    // false get its viewportDraw.
    AcGiViewportDraw* viewportDraw = nullptr;

    GiEntityDraw* entity() { return inEntity ? &entities.back() : nullptr; }

    AcGeMatrix3d current() const { return stack.empty() ? AcGeMatrix3d() : stack.back(); }
    AcGePoint3d map(const AcGePoint3d& p) const { return AcGePoint3d(p).transformBy(current()); }
    AcGeVector3d mapVector(const AcGeVector3d& v) const {
        return AcGeVector3d(v).transformBy(current());
    }
    // The world normal of the plane spanned by two model axes (mirrorings flip it).
    AcGeVector3d mapNormal(const AcGeVector3d& u, const AcGeVector3d& v,
                           const AcGeVector3d& modelNormal) const {
        const AcGeVector3d n = mapVector(u).crossProduct(mapVector(v));
        return n.isZeroLength() ? unitOr(mapVector(modelNormal), AcGeVector3d::kZAxis) : n.normal();
    }

    bool push(const AcGeMatrix3d& xform) {
        stack.push_back(current() * xform);
        ++pushes;
        if (GiEntityDraw* e = entity()) {
            ++e->pushes;
        }
        return true;
    }

    bool pop() {
        const size_t base = frames.empty() ? 0 : frames.back().base;
        if (stack.size() <= base) {
            ++refusedPops;
            if (GiEntityDraw* e = entity()) {
                ++e->refusedPops;
            }
            return false;
        }
        stack.pop_back();
        ++pops;
        if (GiEntityDraw* e = entity()) {
            ++e->pops;
        }
        return true;
    }

    void beginEntity(AcDbObjectId id, const AcRxObject* drawable) {
        if (inEntity) {
            endEntity();
        }
        GiEntityDraw e;
        e.id = id;
        e.className = classNameOf(drawable);
        e.firstPrimitive = prims.size();
        entities.push_back(e);
        inEntity = true;
    }

    void endEntity() { inEntity = false; }

    // Fills in traits and origin and keeps the primitive; answers whether to abandon.
    bool record(GiPrimitive&& p) {
        if (aborted) {
            return true;
        }
        p.color = traits.s.color;
        p.fillType = traits.s.fill;
        p.drawFlags = traits.s.flags;
        p.layer = traits.s.layer;
        if (inEntity) {
            p.entity = entities.back().id;
        }
        if (!frames.empty()) {
            p.drawable = frames.back().id;
            p.drawableClass = frames.back().className;
            const bool topFrame = frames.front().top;
            p.nesting = static_cast<int>(frames.size()) - (topFrame ? 1 : 0);
        }
        p.transformDepth = static_cast<int>(stack.size());
        p.modelToWorld = current();
        prims.push_back(std::move(p));
        if (GiEntityDraw* e = entity()) {
            ++e->primitiveCount;
        }
        if (abortAt >= 0 && static_cast<long long>(prims.size()) >= abortAt) {
            aborted = true;
        }
        return aborted;
    }

    // Draws one drawable in its own frame: its traits, its worldDraw (and viewportDraw when a
    // viewport context is given and worldDraw answers false, or always when asked), then the
    // stack cut back to where it was and the drawer's traits restored. Answers what worldDraw
    // answered.
    bool drawFrame(AcGiDrawable* drawable, AcGiWorldDraw* wd, AcGiViewportDraw* vd,
                   bool alwaysViewportDraw, bool top, bool* viewportDrawn) {
        if (frames.size() >= static_cast<size_t>(kMaxNesting)) {
            if (GiEntityDraw* e = entity()) {
                ++e->refusedDraws;
            }
            return true;
        }
        const TraitsState saved = traits.s;
        if (const AcDbEntity* ent = AcDbEntity::cast(drawable)) {
            Adesk::UInt16 color = ent->colorIndex();
            if (color == 0 && !frames.empty()) {
                color = saved.color;  // by block: the colour of what it is drawn in
            }
            traits.s.color = color;
            traits.s.layer = ent->layerId();
            traits.s.fill = kAcGiFillNever;
            traits.s.flags = 0;
        }
        Frame frame;
        frame.base = stack.size();
        frame.id = idOf(drawable);
        frame.className = classNameOf(drawable);
        frame.top = top;
        frames.push_back(frame);
        drawable->setAttributes(&traits);
        const bool result = drawable->worldDraw(wd);
        if (vd != nullptr && (alwaysViewportDraw || !result) && !aborted) {
            drawable->viewportDraw(vd);
            if (viewportDrawn != nullptr) {
                *viewportDrawn = true;
            }
        }
        while (stack.size() > frame.base) {
            stack.pop_back();
            if (GiEntityDraw* e = entity()) {
                ++e->leftPushed;
            }
        }
        frames.pop_back();
        traits.s = saved;
        return result;
    }

    // A top-level drawable as an entity record of its own; nested when an entity is being drawn.
    bool drawTop(AcGiDrawable* drawable, AcGiWorldDraw* wd, AcGiViewportDraw* vd,
                 bool alwaysViewportDraw) {
        if (drawable == nullptr) {
            return false;
        }
        if (inEntity) {
            return drawFrame(drawable, wd, viewportDraw, false, false, nullptr);
        }
        beginEntity(idOf(drawable), drawable);
        bool viewportDrawn = false;
        const bool result = drawFrame(drawable, wd, vd, alwaysViewportDraw, true, &viewportDrawn);
        entities.back().worldDrawResult = result;
        entities.back().viewportDrawn = viewportDrawn;
        endEntity();
        return result;
    }

    // --- Primitives in model coordinates ---------------------------------------------------

    bool points(GiKind kind, Adesk::UInt32 n, const AcGePoint3d* pts, const AcGeVector3d* normal) {
        if (n == 0 || pts == nullptr) {
            return aborted;
        }
        GiPrimitive p;
        p.kind = kind;
        p.given.assign(pts, pts + n);
        p.points.reserve(n);
        for (const AcGePoint3d& pt : p.given) {
            p.points.push_back(map(pt));
        }
        if (normal != nullptr) {
            AcGeVector3d u;
            AcGeVector3d v;
            planeAxes(*normal, u, v);
            p.normal = mapNormal(u, v, *normal);
        }
        return record(std::move(p));
    }

    bool circle(const AcGePoint3d& center, double radius, const AcGeVector3d& normal) {
        GiPrimitive p;
        p.kind = GiKind::kCircle;
        p.given = {center};
        AcGeVector3d u;
        AcGeVector3d v;
        planeAxes(normal, u, v);
        p.center = map(center);
        p.points = {p.center};
        p.radius = mapVector(u * radius).length();
        p.normal = mapNormal(u, v, normal);
        p.startVector = unitOr(mapVector(u), AcGeVector3d::kXAxis);
        p.sweep = kTwoPi;
        return record(std::move(p));
    }

    bool circle3(const AcGePoint3d& p1, const AcGePoint3d& p2, const AcGePoint3d& p3) {
        GiPrimitive p;
        p.kind = GiKind::kCircle;
        p.given = {p1, p2, p3};
        p.points = {map(p1), map(p2), map(p3)};
        circleThrough(p.points[0], p.points[1], p.points[2], p.center, p.radius, p.normal);
        p.startVector = unitOr(p.points[0] - p.center, AcGeVector3d::kXAxis);
        p.sweep = kTwoPi;
        return record(std::move(p));
    }

    bool arc(const AcGePoint3d& center, double radius, const AcGeVector3d& normal,
             const AcGeVector3d& startVector, double sweep, AcGiArcType type) {
        GiPrimitive p;
        p.kind = GiKind::kArc;
        p.arcType = type;
        p.given = {center};
        const AcGeVector3d n = unitOr(normal, AcGeVector3d::kZAxis);
        AcGeVector3d u;
        AcGeVector3d v;
        planeAxes(n, u, v);
        const AcGeVector3d s = startVector.isZeroLength() ? u : startVector.normal();
        const AcGeVector3d t = n.crossProduct(s);
        AcGeVector3d mid = s;
        mid.rotateBy(sweep / 2.0, n);
        AcGeVector3d end = s;
        end.rotateBy(sweep, n);
        p.center = map(center);
        p.points = {map(center + s * radius), map(center + mid * radius),
                    map(center + end * radius)};
        p.radius = mapVector(s * radius).length();
        p.normal = mapNormal(s, t, n);
        p.startVector = unitOr(mapVector(s), AcGeVector3d::kXAxis);
        p.sweep = sweep;
        return record(std::move(p));
    }

    bool arc3(const AcGePoint3d& start, const AcGePoint3d& point, const AcGePoint3d& end,
              AcGiArcType type) {
        GiPrimitive p;
        p.kind = GiKind::kArc;
        p.arcType = type;
        p.given = {start, point, end};
        p.points = {map(start), map(point), map(end)};
        if (circleThrough(p.points[0], p.points[1], p.points[2], p.center, p.radius, p.normal)) {
            const AcGeVector3d x = (p.points[0] - p.center).normal();
            const AcGeVector3d y = p.normal.crossProduct(x);
            const AcGeVector3d e = p.points[2] - p.center;
            double sweep = std::atan2(e.dotProduct(y), e.dotProduct(x));
            if (sweep <= 0.0) {
                sweep += kTwoPi;
            }
            p.startVector = x;
            p.sweep = sweep;
        }
        return record(std::move(p));
    }

    bool text(const AcGePoint3d& position, const AcGeVector3d& normal,
              const AcGeVector3d& direction, double height, double width, double oblique,
              const ACHAR* msg) {
        GiPrimitive p;
        p.kind = GiKind::kText;
        p.given = {position};
        p.points = {map(position)};
        AcGeVector3d u;
        AcGeVector3d v;
        planeAxes(normal, u, v);
        const AcGeVector3d n = unitOr(normal, AcGeVector3d::kZAxis);
        const AcGeVector3d dir = direction.isZeroLength() ? u : direction.normal();
        const AcGeVector3d up = n.crossProduct(dir);
        const AcGeVector3d dirWorld = mapVector(dir);
        const AcGeVector3d upWorld = mapVector(up * height);
        p.direction = unitOr(dirWorld, AcGeVector3d::kXAxis);
        p.height = upWorld.length();
        p.normal = mapNormal(dir, up, n);
        p.widthFactor = width;
        p.oblique = oblique;
        p.text = msg != nullptr ? msg : L"";
        return record(std::move(p));
    }

    // Points given outside the model transforms (eye coordinates mapped by `toWorld`, display
    // coordinates as they are).
    bool raw(GiKind kind, Adesk::UInt32 n, const AcGePoint3d* pts, const AcGeMatrix3d* toWorld) {
        if (n == 0 || pts == nullptr) {
            return aborted;
        }
        GiPrimitive p;
        p.kind = kind;
        p.given.assign(pts, pts + n);
        for (const AcGePoint3d& pt : p.given) {
            p.points.push_back(toWorld != nullptr ? AcGePoint3d(pt).transformBy(*toWorld) : pt);
        }
        return record(std::move(p));
    }
};

GiRecording::GiRecording() : m(new Impl()) {}
GiRecording::~GiRecording() = default;

const std::vector<GiPrimitive>& GiRecording::primitives() const {
    return m->prims;
}

std::vector<GiPrimitive> GiRecording::primitivesOf(AcDbObjectId entity) const {
    std::vector<GiPrimitive> out;
    for (const GiPrimitive& p : m->prims) {
        if (p.entity == entity) {
            out.push_back(p);
        }
    }
    return out;
}

int GiRecording::count(GiKind kind) const {
    int n = 0;
    for (const GiPrimitive& p : m->prims) {
        n += p.kind == kind ? 1 : 0;
    }
    return n;
}

int GiRecording::count(GiKind kind, AcDbObjectId entity) const {
    int n = 0;
    for (const GiPrimitive& p : m->prims) {
        n += p.kind == kind && p.entity == entity ? 1 : 0;
    }
    return n;
}

std::map<GiKind, int> GiRecording::countsByKind() const {
    std::map<GiKind, int> out;
    for (const GiPrimitive& p : m->prims) {
        ++out[p.kind];
    }
    return out;
}

std::vector<std::wstring> GiRecording::texts() const {
    std::vector<std::wstring> out;
    for (const GiPrimitive& p : m->prims) {
        if (p.kind == GiKind::kText) {
            out.push_back(p.text);
        }
    }
    return out;
}

const std::vector<GiEntityDraw>& GiRecording::entityDraws() const {
    return m->entities;
}

const GiEntityDraw* GiRecording::entityDraw(AcDbObjectId id) const {
    for (auto it = m->entities.rbegin(); it != m->entities.rend(); ++it) {
        if (it->id == id) {
            return &*it;
        }
    }
    return nullptr;
}

AcDbObjectIdArray GiRecording::entityOrder() const {
    AcDbObjectIdArray ids;
    for (const GiEntityDraw& e : m->entities) {
        ids.append(e.id);
    }
    return ids;
}

int GiRecording::depth() const {
    return static_cast<int>(m->stack.size());
}

AcGeMatrix3d GiRecording::modelToWorld() const {
    return m->current();
}

int GiRecording::pushCount() const {
    return m->pushes;
}

int GiRecording::popCount() const {
    return m->pops;
}

int GiRecording::refusedPopCount() const {
    return m->refusedPops;
}

void GiRecording::beginEntity(AcDbObjectId id, const AcRxObject* drawable) {
    m->beginEntity(id, drawable);
}

void GiRecording::endEntity() {
    m->endEntity();
}

void GiRecording::abortAfter(int primitives) {
    if (primitives <= 0) {
        m->aborted = true;
        return;
    }
    m->abortAt = static_cast<long long>(m->prims.size()) + primitives;
    m->aborted = false;
}

bool GiRecording::aborted() const {
    return m->aborted;
}

void GiRecording::clear() {
    m->prims.clear();
    m->entities.clear();
    m->inEntity = false;
    m->pushes = 0;
    m->pops = 0;
    m->refusedPops = 0;
    m->abortAt = -1;
    m->aborted = false;
}

std::string GiRecording::dump() const {
    std::ostringstream out;
    for (size_t i = 0; i < m->prims.size(); ++i) {
        const GiPrimitive& p = m->prims[i];
        out << "[" << i << "] " << utf8(giKindName(p.kind)) << " entity=" << handleText(p.entity);
        if (!p.drawableClass.empty()) {
            out << " by=" << utf8(p.drawableClass) << "(" << handleText(p.drawable) << ")";
        }
        out << " nest=" << p.nesting << " depth=" << p.transformDepth << " color=" << p.color
            << " fill=" << static_cast<int>(p.fillType) << " flags=0x" << std::hex << p.drawFlags
            << std::dec;
        for (const AcGePoint3d& pt : p.points) {
            out << " " << pointText(pt);
        }
        if (p.kind == GiKind::kCircle || p.kind == GiKind::kArc) {
            out << " r=" << number(p.radius);
        }
        if (p.kind == GiKind::kArc) {
            out << " sweep=" << number(p.sweep);
        }
        if (p.kind == GiKind::kText) {
            out << " \"" << utf8(p.text) << "\" h=" << number(p.height);
        }
        out << "\n";
    }
    return out.str();
}

// --- Geometry -----------------------------------------------------------------------------------

namespace {

// The model primitives, shared by the world and the viewport geometry.
template <class Base>
class RecordingGeometry : public Base {
  public:
    RecordingGeometry(GiRecording::Impl& rec, AcGiWorldDraw* nestedDraw)
        : r(rec), m_nestedDraw(nestedDraw) {}

    void getModelToWorldTransform(AcGeMatrix3d& xform) const override { xform = r.current(); }
    void getWorldToModelTransform(AcGeMatrix3d& xform) const override {
        xform = r.current().inverse();
    }
    Adesk::Boolean pushModelTransform(const AcGeVector3d& normal) override {
        return r.push(AcGeMatrix3d::planeToWorld(normal));
    }
    Adesk::Boolean pushModelTransform(const AcGeMatrix3d& xform) override { return r.push(xform); }
    Adesk::Boolean popModelTransform() override { return r.pop(); }

    Adesk::Boolean circle(const AcGePoint3d& center, const double radius,
                          const AcGeVector3d& normal) const override {
        return r.circle(center, radius, normal);
    }
    Adesk::Boolean circle(const AcGePoint3d& p1, const AcGePoint3d& p2,
                          const AcGePoint3d& p3) const override {
        return r.circle3(p1, p2, p3);
    }
    Adesk::Boolean circularArc(const AcGePoint3d& center, const double radius,
                               const AcGeVector3d& normal, const AcGeVector3d& startVector,
                               const double sweepAngle, const AcGiArcType arcType) const override {
        return r.arc(center, radius, normal, startVector, sweepAngle, arcType);
    }
    Adesk::Boolean circularArc(const AcGePoint3d& start, const AcGePoint3d& point,
                               const AcGePoint3d& end, const AcGiArcType arcType) const override {
        return r.arc3(start, point, end, arcType);
    }
    Adesk::Boolean polyline(const Adesk::UInt32 nbPoints, const AcGePoint3d* pVertexList,
                            const AcGeVector3d* pNormal, Adesk::LongPtr) const override {
        return r.points(GiKind::kPolyline, nbPoints, pVertexList, pNormal);
    }
    Adesk::Boolean polygon(const Adesk::UInt32 nbPoints,
                           const AcGePoint3d* pVertexList) const override {
        return r.points(GiKind::kPolygon, nbPoints, pVertexList, nullptr);
    }
    Adesk::Boolean text(const AcGePoint3d& position, const AcGeVector3d& normal,
                        const AcGeVector3d& direction, const double height, const double width,
                        const double oblique, const ACHAR* pMsg) const override {
        return r.text(position, normal, direction, height, width, oblique, pMsg);
    }
    Adesk::Boolean xline(const AcGePoint3d& p1, const AcGePoint3d& p2) const override {
        const AcGePoint3d pts[2] = {p1, p2};
        return r.points(GiKind::kXline, 2, pts, nullptr);
    }
    Adesk::Boolean ray(const AcGePoint3d& basePoint,
                       const AcGePoint3d& throughPoint) const override {
        const AcGePoint3d pts[2] = {basePoint, throughPoint};
        return r.points(GiKind::kRay, 2, pts, nullptr);
    }
    Adesk::Boolean draw(AcGiDrawable* pDrawable) const override {
        if (pDrawable != nullptr && !r.aborted) {
            r.drawFrame(pDrawable, m_nestedDraw, r.viewportDraw, false, false, nullptr);
        }
        return r.aborted;
    }

  protected:
    GiRecording::Impl& r;
    AcGiWorldDraw* m_nestedDraw;
};

class WorldGeometry final : public RecordingGeometry<AcGiWorldGeometry> {
  public:
    using RecordingGeometry<AcGiWorldGeometry>::RecordingGeometry;
};

class ViewportGeometry final : public RecordingGeometry<AcGiViewportGeometry> {
  public:
    ViewportGeometry(GiRecording::Impl& rec, AcGiWorldDraw* nestedDraw, const AcGiViewport* vp)
        : RecordingGeometry<AcGiViewportGeometry>(rec, nestedDraw), m_viewport(vp) {}

    Adesk::Boolean polylineEye(const Adesk::UInt32 nbPoints,
                               const AcGePoint3d* pPoints) const override {
        const AcGeMatrix3d toWorld = eyeToWorld();
        return r.raw(GiKind::kPolylineEye, nbPoints, pPoints, &toWorld);
    }
    Adesk::Boolean polygonEye(const Adesk::UInt32 nbPoints,
                              const AcGePoint3d* pPoints) const override {
        const AcGeMatrix3d toWorld = eyeToWorld();
        return r.raw(GiKind::kPolygonEye, nbPoints, pPoints, &toWorld);
    }
    Adesk::Boolean polylineDc(const Adesk::UInt32 nbPoints,
                              const AcGePoint3d* pPoints) const override {
        return r.raw(GiKind::kPolylineDc, nbPoints, pPoints, nullptr);
    }
    Adesk::Boolean polygonDc(const Adesk::UInt32 nbPoints,
                             const AcGePoint3d* pPoints) const override {
        return r.raw(GiKind::kPolygonDc, nbPoints, pPoints, nullptr);
    }

  private:
    AcGeMatrix3d eyeToWorld() const {
        AcGeMatrix3d xform;
        m_viewport->getEyeToWorldTransform(xform);
        return xform;
    }
    const AcGiViewport* m_viewport;
};

}  // namespace

// --- World draw ---------------------------------------------------------------------------------

struct RecordingWorldDraw::Parts {
    Parts(GiRecording::Impl& rec, AcGiWorldDraw* owner) : geometry(rec, owner) {}
    WorldGeometry geometry;
};

RecordingWorldDraw::RecordingWorldDraw()
    : m_own(new GiRecording()), m_rec(m_own.get()), m_parts(new Parts(m_rec->impl(), this)) {}

RecordingWorldDraw::RecordingWorldDraw(GiRecording& shared)
    : m_rec(&shared), m_parts(new Parts(m_rec->impl(), this)) {}

RecordingWorldDraw::~RecordingWorldDraw() = default;

AcGiWorldGeometry& RecordingWorldDraw::geometry() const {
    return m_parts->geometry;
}

AcGiSubEntityTraits& RecordingWorldDraw::subEntityTraits() const {
    return m_rec->impl().traits;
}

Adesk::Boolean RecordingWorldDraw::regenAbort() const {
    return m_rec->aborted();
}

bool RecordingWorldDraw::drawEntity(AcGiDrawable* drawable) {
    return m_rec->impl().drawTop(drawable, this, nullptr, false);
}

// --- Viewport -----------------------------------------------------------------------------------

RecordingViewport::RecordingViewport(const GiRecording* models) : m_models(models) {
    setView(m_location, m_target, m_up);
}

RecordingViewport::~RecordingViewport() = default;

void RecordingViewport::setPixelsPerUnit(double sx, double sy) {
    m_sx = sx;
    m_sy = sy;
}

void RecordingViewport::setView(const AcGePoint3d& location, const AcGePoint3d& target,
                                const AcGeVector3d& up) {
    m_location = location;
    m_target = target;
    const AcGeVector3d z = unitOr(location - target, AcGeVector3d::kZAxis);
    AcGeVector3d x = up.crossProduct(z);
    x = x.isZeroLength() ? z.perpVector() : x.normal();
    const AcGeVector3d y = z.crossProduct(x);
    m_up = y;
    m_eyeToWorld.setCoordSystem(target, x, y, z);
    m_worldToEye = m_eyeToWorld.inverse();
}

void RecordingViewport::setViewDirection(const AcGeVector3d& direction) {
    double d = distance();
    if (!(d > 0.0)) {
        d = 10.0;
    }
    const AcGeVector3d n = unitOr(direction, -AcGeVector3d::kZAxis);
    setView(m_target - n * d, m_target, m_up);
}

bool RecordingViewport::setWorldToEye(const AcGeMatrix3d& worldToEye) {
    AcGeMatrix3d inverse;
    if (!worldToEye.inverse(inverse)) {
        return false;
    }
    double d = distance();
    if (!(d > 0.0)) {
        d = 10.0;
    }
    m_worldToEye = worldToEye;
    m_eyeToWorld = inverse;
    m_target = AcGePoint3d::kOrigin;
    m_target.transformBy(inverse);
    m_location =
        m_target +
        unitOr(AcGeVector3d(AcGeVector3d::kZAxis).transformBy(inverse), AcGeVector3d::kZAxis) * d;
    m_up = unitOr(AcGeVector3d(0.0, 1.0, 0.0).transformBy(inverse), AcGeVector3d(0.0, 1.0, 0.0));
    return true;
}

void RecordingViewport::setDcCorners(const AcGePoint2d& lowerLeft, const AcGePoint2d& upperRight) {
    m_dcLowerLeft = lowerLeft;
    m_dcUpperRight = upperRight;
}

void RecordingViewport::getModelToEyeTransform(AcGeMatrix3d& xform) const {
    xform = m_models != nullptr ? m_worldToEye * m_models->modelToWorld() : m_worldToEye;
}

void RecordingViewport::getEyeToModelTransform(AcGeMatrix3d& xform) const {
    AcGeMatrix3d modelToEye;
    getModelToEyeTransform(modelToEye);
    xform = modelToEye.inverse();
}

void RecordingViewport::getWorldToEyeTransform(AcGeMatrix3d& xform) const {
    xform = m_worldToEye;
}

void RecordingViewport::getEyeToWorldTransform(AcGeMatrix3d& xform) const {
    xform = m_eyeToWorld;
}

double RecordingViewport::distance() const {
    return m_location.distanceTo(m_target);
}

Adesk::Boolean RecordingViewport::doPerspective(AcGePoint3d& point) const {
    const double d = distance();
    const double denominator = d - point.z;
    if (!m_perspective || !(d > 0.0) || !(denominator > 1e-12 * d)) {
        return false;
    }
    const double f = d / denominator;
    point.x *= f;
    point.y *= f;
    return true;
}

Adesk::Boolean RecordingViewport::doInversePerspective(AcGePoint3d& point) const {
    const double d = distance();
    const double denominator = d - point.z;
    if (!m_perspective || !(d > 0.0) || !(denominator > 1e-12 * d)) {
        return false;
    }
    const double f = denominator / d;
    point.x *= f;
    point.y *= f;
    return true;
}

void RecordingViewport::getNumPixelsInUnitSquare(const AcGePoint3d& givenWorldpt,
                                                 AcGePoint2d& pixelArea,
                                                 bool includePerspective) const {
    pixelArea.set(m_sx, m_sy);
    if (!m_perspective || !includePerspective) {
        return;
    }
    const AcGePoint3d eye = AcGePoint3d(givenWorldpt).transformBy(m_worldToEye);
    const double d = distance();
    const double denominator = d - eye.z;
    if (d > 0.0 && denominator > 1e-12 * d) {
        pixelArea.set(m_sx * d / denominator, m_sy * d / denominator);
    }
}

void RecordingViewport::getViewportDcCorners(AcGePoint2d& lowerLeft,
                                             AcGePoint2d& upperRight) const {
    lowerLeft = m_dcLowerLeft;
    upperRight = m_dcUpperRight;
}

// --- Viewport draw ------------------------------------------------------------------------------

struct RecordingViewportDraw::Parts {
    explicit Parts(GiRecording& rec)
        : world(rec), viewport(&rec), geometry(rec.impl(), &world, &viewport) {}
    RecordingWorldDraw world;
    RecordingViewport viewport;
    ViewportGeometry geometry;
};

RecordingViewportDraw::RecordingViewportDraw()
    : m_rec(new GiRecording()), m_parts(new Parts(*m_rec)) {
    m_rec->impl().viewportDraw = this;
}

RecordingViewportDraw::~RecordingViewportDraw() {
    m_rec->impl().viewportDraw = nullptr;
}

AcGiViewport& RecordingViewportDraw::viewport() const {
    return m_parts->viewport;
}

RecordingViewport& RecordingViewportDraw::recordingViewport() const {
    return m_parts->viewport;
}

AcGiViewportGeometry& RecordingViewportDraw::geometry() const {
    return m_parts->geometry;
}

AcGiSubEntityTraits& RecordingViewportDraw::subEntityTraits() const {
    return m_rec->impl().traits;
}

AcGiRegenType RecordingViewportDraw::regenType() const {
    return m_parts->world.regenType();
}

Adesk::Boolean RecordingViewportDraw::regenAbort() const {
    return m_rec->aborted();
}

Adesk::Boolean RecordingViewportDraw::isDragging() const {
    return m_parts->world.isDragging();
}

RecordingWorldDraw& RecordingViewportDraw::worldDraw() const {
    return m_parts->world;
}

bool RecordingViewportDraw::drawEntity(AcGiDrawable* drawable, bool alwaysViewportDraw) {
    return m_rec->impl().drawTop(drawable, &m_parts->world, this, alwaysViewportDraw);
}

}  // namespace kxhost
