// Recording graphics: world and viewport drawing contexts that keep what is drawn instead of
// showing it. Regeneration drivers, grip editors and tests draw into them and then look at the
// primitives: their kind, their points in world coordinates, the traits they were drawn with and
// the top-level entity they came from.
//
// How the contexts behave, as the host's graphics system does:
// - Model transforms nest (current · pushed). A drawable may only pop what it pushed itself: a pop
//   that would remove a transform pushed around it (by the reference drawing it) is refused, and
//   transforms a drawable leaves pushed are popped for it when it is done. Both are recorded
//   against the top-level entity, so unbalanced drawing shows without corrupting what follows.
// - geometry().draw(nested) draws the nested drawable through its own worldDraw (so drawable
//   overrules take part) under the current transforms, with its own traits: an entity brings its
//   colour (colour 0, "by block", takes the colour of the drawable it is drawn in) and its layer,
//   fill off and no draw flags; after it the drawer's traits are restored. In a viewport context
//   a nested drawable whose worldDraw answers false is then given viewportDraw, as the host does.
// - Nesting deeper than GiRecording::kMaxNesting is refused (a drawable that draws itself).
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "host/core/array.h"
#include "host/gi/viewportdraw.h"
#include "host/gi/worlddraw.h"

namespace kxhost {

enum class GiKind {
    kPolyline,
    kPolygon,
    kCircle,
    kArc,
    kText,
    kXline,
    kRay,
    kPolylineEye,  // viewport geometry, given in eye coordinates
    kPolygonEye,
    kPolylineDc,  // viewport geometry, given in display (pixel) coordinates
    kPolygonDc
};
// "polyline", "polygon", "circle", "arc", "text", "xline", "ray", "polylineEye", ...
const wchar_t* giKindName(GiKind kind);

// One recorded primitive.
struct GiPrimitive {
    GiKind kind = GiKind::kPolyline;
    // World coordinates: model primitives after the model-transform stack, eye primitives mapped
    // by the viewport's eye-to-world transform. Display-coordinate primitives keep their pixels.
    // Circles: the centre (centre form) or the three points (three-point form). Arcs: start, a
    // point between (the middle for the centre form, the given point for the three-point form)
    // and end. Text: the position. Xlines and rays: their two points.
    std::vector<AcGePoint3d> points;
    // The points as the drawable gave them.
    std::vector<AcGePoint3d> given;
    // Circles and arcs, in world coordinates. An arc runs counter-clockwise about `normal` from
    // `startVector` through `sweep`. A three-point form through collinear points has radius 0.
    AcGePoint3d center;
    double radius = 0.0;
    AcGeVector3d normal{0.0, 0.0, 1.0};  // also the normal of a polyline or text when given
    AcGeVector3d startVector;
    double sweep = 0.0;
    AcGiArcType arcType = kAcGiArcSimple;
    // Text, in world coordinates (height measured along the transformed up direction).
    std::wstring text;
    AcGeVector3d direction;
    double height = 0.0;
    double widthFactor = 1.0;
    double oblique = 0.0;
    // The traits the primitive was drawn with.
    Adesk::UInt16 color = 256;
    AcGiFillType fillType = kAcGiFillNever;
    Adesk::UInt32 drawFlags = 0;
    AcDbObjectId layer;
    // Where it came from: the top-level entity being drawn (null when drawn outside
    // drawEntity/regeneration), the innermost drawable drawing it (its id when it is a database
    // object, and its class name), how many nested draws lie between the two (0: drawn by the
    // top-level entity itself) and the model transforms in force.
    AcDbObjectId entity;
    AcDbObjectId drawable;
    std::wstring drawableClass;
    int nesting = 0;
    int transformDepth = 0;
    AcGeMatrix3d modelToWorld;
};

// What happened while one top-level entity was drawn.
struct GiEntityDraw {
    AcDbObjectId id;
    std::wstring className;
    bool worldDrawResult = true;
    bool viewportDrawn = false;
    int pushes = 0;        // model transforms pushed (nested drawables included)
    int pops = 0;          // pops that removed a transform
    int refusedPops = 0;   // pops with nothing of the drawable's own to remove
    int leftPushed = 0;    // transforms left pushed by a drawable and popped for it
    int refusedDraws = 0;  // nested draws refused for depth
    size_t firstPrimitive = 0;
    size_t primitiveCount = 0;
    bool balanced() const { return pushes == pops && refusedPops == 0 && leftPushed == 0; }
};

// The primitives and per-entity records one or more drawing contexts write into.
class GiRecording {
  public:
    static constexpr int kMaxNesting = 64;

    GiRecording();
    ~GiRecording();
    GiRecording(const GiRecording&) = delete;
    GiRecording& operator=(const GiRecording&) = delete;

    const std::vector<GiPrimitive>& primitives() const;
    // Copies of the primitives drawn for that top-level entity (null: those drawn outside one).
    std::vector<GiPrimitive> primitivesOf(AcDbObjectId entity) const;
    int count(GiKind kind) const;
    int count(GiKind kind, AcDbObjectId entity) const;
    std::map<GiKind, int> countsByKind() const;
    // The strings of the text primitives, in drawing order.
    std::vector<std::wstring> texts() const;

    // One record per top-level entity drawn, in drawing order; entityDraw answers the last record
    // of that entity (null when it was not drawn).
    const std::vector<GiEntityDraw>& entityDraws() const;
    const GiEntityDraw* entityDraw(AcDbObjectId id) const;
    AcDbObjectIdArray entityOrder() const;

    // The model-transform stack now: depth, and the composed model-to-world transform.
    int depth() const;
    AcGeMatrix3d modelToWorld() const;
    // Totals since construction or clear().
    int pushCount() const;
    int popCount() const;
    int refusedPopCount() const;

    // Marks the primitives drawn until endEntity as coming from that entity (drawEntity of the
    // contexts does this). The drawable, when given, names the entity's class in the record.
    void beginEntity(AcDbObjectId id, const AcRxObject* drawable = nullptr);
    void endEntity();

    // Abandoning a regeneration: the next `primitives` primitives are recorded and the last of
    // them answers true; every later one is dropped and answers true, and regenAbort() of the
    // contexts answers true. 0 or less abandons at once; clear() cancels it.
    void abortAfter(int primitives);
    bool aborted() const;

    // Forgets primitives, entity records, totals and the abort; the transforms pushed stay.
    void clear();

    // One line per primitive: index, kind, entity handle and class, traits, points.
    std::string dump() const;

    // Used by the recording contexts.
    struct Impl;
    Impl& impl() const { return *m; }

  private:
    std::unique_ptr<Impl> m;
};

// A world-draw context that records.
class RecordingWorldDraw : public AcGiWorldDraw {
  public:
    // Records into a recording of its own.
    RecordingWorldDraw();
    // Records into another context's recording (a viewport draw's world pass).
    explicit RecordingWorldDraw(GiRecording& shared);
    ~RecordingWorldDraw() override;
    RecordingWorldDraw(const RecordingWorldDraw&) = delete;
    RecordingWorldDraw& operator=(const RecordingWorldDraw&) = delete;

    AcGiWorldGeometry& geometry() const override;
    AcGiSubEntityTraits& subEntityTraits() const override;
    AcGiRegenType regenType() const override { return m_regenType; }
    void setRegenType(AcGiRegenType type) { m_regenType = type; }
    Adesk::Boolean regenAbort() const override;
    Adesk::Boolean isDragging() const override { return m_dragging; }
    void setDragging(bool dragging) { m_dragging = dragging; }

    // Draws a top-level drawable through its worldDraw (overrules included) with the entity's
    // traits, records it as an entity and answers what worldDraw answered. The caller holds it
    // open for read. Inside another entity's drawing it draws as a nested drawable.
    bool drawEntity(AcGiDrawable* drawable);

    GiRecording& recording() const { return *m_rec; }
    const std::vector<GiPrimitive>& primitives() const { return m_rec->primitives(); }
    int count(GiKind kind) const { return m_rec->count(kind); }
    int depth() const { return m_rec->depth(); }
    std::string dump() const { return m_rec->dump(); }

  private:
    struct Parts;
    std::unique_ptr<GiRecording> m_own;
    GiRecording* m_rec;
    std::unique_ptr<Parts> m_parts;
    AcGiRegenType m_regenType = kAcGiStandardDisplay;
    bool m_dragging = false;
};

// A viewport to draw in, configured by the test or driver. Eye coordinates: origin at the camera
// target, the camera looking down -Z from (0, 0, distance), X to the right and Y up on the
// screen. By default the camera looks down the world Z axis from 10 units above the origin, with
// world Y up, no perspective and 1 pixel per unit.
class RecordingViewport : public AcGiViewport {
  public:
    // Model transforms are read from the recording when given (model-to-eye transforms).
    explicit RecordingViewport(const GiRecording* models = nullptr);
    ~RecordingViewport() override;

    // Pixels per drawing unit along the screen's X and Y (negative values are taken as given;
    // a viewport reporting 0 is how drivers test glyph guards).
    void setPixelsPerUnit(double sx, double sy);
    void setPerspective(bool perspective) { m_perspective = perspective; }
    // Camera placement. A zero view direction looks down world -Z; an up vector parallel to the
    // view direction is replaced by the camera plane's arbitrary axis.
    void setView(const AcGePoint3d& location, const AcGePoint3d& target,
                 const AcGeVector3d& up = AcGeVector3d(0.0, 1.0, 0.0));
    // Looks along the direction at the same target from the same distance.
    void setViewDirection(const AcGeVector3d& direction);
    // Sets the eye transform directly (the camera follows: target at the eye origin, up along eye
    // Y, location the current distance along eye Z). False, and no change, for a singular matrix.
    bool setWorldToEye(const AcGeMatrix3d& worldToEye);
    void setViewportId(Adesk::ULongPtr id) { m_viewportId = id; }
    void setDcCorners(const AcGePoint2d& lowerLeft, const AcGePoint2d& upperRight);

    void getModelToEyeTransform(AcGeMatrix3d& xform) const override;
    void getEyeToModelTransform(AcGeMatrix3d& xform) const override;
    void getWorldToEyeTransform(AcGeMatrix3d& xform) const override;
    void getEyeToWorldTransform(AcGeMatrix3d& xform) const override;
    Adesk::Boolean isPerspective() const override { return m_perspective; }
    // Perspective: x and y scaled by distance / (distance - z); false for points at or behind
    // the camera and in a parallel view.
    Adesk::Boolean doPerspective(AcGePoint3d& point) const override;
    Adesk::Boolean doInversePerspective(AcGePoint3d& point) const override;
    // The configured pixels per unit; in a perspective view (with includePerspective) scaled by
    // distance / (distance - eye z) of the point when it lies in front of the camera.
    void getNumPixelsInUnitSquare(const AcGePoint3d& givenWorldpt, AcGePoint2d& pixelArea,
                                  bool includePerspective = true) const override;
    void getCameraLocation(AcGePoint3d& location) const override { location = m_location; }
    void getCameraTarget(AcGePoint3d& target) const override { target = m_target; }
    void getCameraUpVector(AcGeVector3d& upVector) const override { upVector = m_up; }
    Adesk::ULongPtr viewportId() const override { return m_viewportId; }
    void getViewportDcCorners(AcGePoint2d& lowerLeft, AcGePoint2d& upperRight) const override;

  private:
    double distance() const;

    const GiRecording* m_models;
    AcGePoint3d m_location{0.0, 0.0, 10.0};
    AcGePoint3d m_target;
    AcGeVector3d m_up{0.0, 1.0, 0.0};
    AcGeMatrix3d m_worldToEye;
    AcGeMatrix3d m_eyeToWorld;
    bool m_perspective = false;
    double m_sx = 1.0;
    double m_sy = 1.0;
    Adesk::ULongPtr m_viewportId = 0;
    AcGePoint2d m_dcLowerLeft;
    AcGePoint2d m_dcUpperRight;
};

// A viewport-draw context that records, with its viewport and a world-draw context sharing its
// recording (nested drawables and drawEntity draw through that one first).
class RecordingViewportDraw : public AcGiViewportDraw {
  public:
    RecordingViewportDraw();
    ~RecordingViewportDraw() override;
    RecordingViewportDraw(const RecordingViewportDraw&) = delete;
    RecordingViewportDraw& operator=(const RecordingViewportDraw&) = delete;

    AcGiViewport& viewport() const override;
    RecordingViewport& recordingViewport() const;
    AcGiViewportGeometry& geometry() const override;
    AcGiSubEntityTraits& subEntityTraits() const override;
    AcGiRegenType regenType() const override;
    Adesk::Boolean regenAbort() const override;
    Adesk::Boolean isDragging() const override;
    AcDbObjectId viewportObjectId() const override { return m_viewportObject; }
    void setViewportObjectId(AcDbObjectId id) { m_viewportObject = id; }

    // The world pass: drawables are drawn through it before their viewportDraw.
    RecordingWorldDraw& worldDraw() const;

    // Draws a top-level drawable as the host does in a viewport: worldDraw through worldDraw(),
    // then viewportDraw when worldDraw answers false (or always when asked). Answers what
    // worldDraw answered.
    bool drawEntity(AcGiDrawable* drawable, bool alwaysViewportDraw = false);

    GiRecording& recording() const { return *m_rec; }
    const std::vector<GiPrimitive>& primitives() const { return m_rec->primitives(); }
    int count(GiKind kind) const { return m_rec->count(kind); }
    int depth() const { return m_rec->depth(); }
    std::string dump() const { return m_rec->dump(); }

  private:
    struct Parts;
    std::unique_ptr<GiRecording> m_rec;
    std::unique_ptr<Parts> m_parts;
    AcDbObjectId m_viewportObject;
};

}  // namespace kxhost
