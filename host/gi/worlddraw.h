// The graphics interfaces drawables draw into: the traits of what is drawn next, the geometry
// primitives, and the world-draw context handed to AcGiDrawable::worldDraw. The graphics system
// (a recording implementation, a regeneration driver) implements them; entities only call them.
#pragma once

#include "host/core/types.h"
#include "host/db/objectid.h"
#include "host/ge/matrix3d.h"
#include "host/ge/point3d.h"
#include "host/ge/vector3d.h"
#include "host/rx/rxobject.h"

class AcGiDrawable;

enum AcGiRegenType {
    eAcGiRegenTypeInvalid = 0,
    kAcGiStandardDisplay = 2,
    kAcGiHideOrShadeCommand = 3,
    kAcGiRenderCommand = 4,
    kAcGiForExplode = 5,
    kAcGiSaveWorldDrawForProxy = 6
};

// Fill on is 1, fill off 2.
enum AcGiFillType { kAcGiFillAlways = 1, kAcGiFillNever = 2 };

enum AcGiArcType { kAcGiArcSimple = 0, kAcGiArcSector = 1, kAcGiArcChord = 2 };

// Deviation kinds a drawable may ask the context about when it tessellates.
enum AcGiDeviationType {
    kAcGiMaxDevForCircle = 0,
    kAcGiMaxDevForCurve = 1,
    kAcGiMaxDevForBoundary = 2,
    kAcGiMaxDevForIsoline = 3,
    kAcGiMaxDevForFacet = 4
};

// Properties applied to the primitives drawn after they are set. Colour, fill type and draw
// flags are what drawables change around their primitives; the others have do-nothing defaults
// so an implementation only keeps what it needs.
class AcGiSubEntityTraits : public AcRxObject {
  public:
    ACRX_DECLARE_MEMBERS(AcGiSubEntityTraits);

    // Colour index: 0 by block, 256 by layer, 1..255 the palette.
    virtual void setColor(const Adesk::UInt16 color) = 0;
    virtual Adesk::UInt16 color() const = 0;
    virtual void setFillType(const AcGiFillType fillType) = 0;
    virtual AcGiFillType fillType() const = 0;
    virtual void setDrawFlags(Adesk::UInt32 flags) = 0;
    virtual Adesk::UInt32 drawFlags() const = 0;

    virtual void setLayer(const AcDbObjectId& layerId) {}
    virtual AcDbObjectId layerId() const { return AcDbObjectId::kNull; }
    virtual void setLineType(const AcDbObjectId& linetypeId) {}
    virtual AcDbObjectId lineTypeId() const { return AcDbObjectId::kNull; }
    virtual void setSelectionMarker(const Adesk::LongPtr marker) {}
    virtual void setLineWeight(const int lineWeight) {}
    virtual int lineWeight() const { return -1; }
    virtual void setLineTypeScale(double scale = 1.0) {}
    virtual double lineTypeScale() const { return 1.0; }
    virtual void setThickness(double thickness) {}
    virtual double thickness() const { return 0.0; }
};

// Traits set once for a whole drawable before it draws (see AcGiDrawable::setAttributes).
class AcGiDrawableTraits : public AcGiSubEntityTraits {
  public:
    ACRX_DECLARE_MEMBERS(AcGiDrawableTraits);
};

// The primitives shared by world and viewport drawing. Points are in model coordinates: the
// graphics system maps them to world coordinates through the stack of model transforms. Each
// primitive returns true when the regeneration is to be abandoned.
class AcGiGeometry : public AcRxObject {
  public:
    ACRX_DECLARE_MEMBERS(AcGiGeometry);

    virtual void getModelToWorldTransform(AcGeMatrix3d& xform) const = 0;
    virtual void getWorldToModelTransform(AcGeMatrix3d& xform) const = 0;
    // Model transforms nest: each push is composed with the current one (current · given) and
    // is undone by the matching pop. The normal form pushes the plane-to-world transform of the
    // normal. They return false when the stack cannot change (a pop with nothing pushed).
    virtual Adesk::Boolean pushModelTransform(const AcGeVector3d& normal) = 0;
    virtual Adesk::Boolean pushModelTransform(const AcGeMatrix3d& xform) = 0;
    virtual Adesk::Boolean popModelTransform() = 0;

    virtual Adesk::Boolean circle(const AcGePoint3d& center, const double radius,
                                  const AcGeVector3d& normal) const = 0;
    virtual Adesk::Boolean circle(const AcGePoint3d& p1, const AcGePoint3d& p2,
                                  const AcGePoint3d& p3) const = 0;
    // The arc starts at center + startVector·radius (startVector normalised) and runs
    // counter-clockwise about the normal through sweepAngle.
    virtual Adesk::Boolean circularArc(const AcGePoint3d& center, const double radius,
                                       const AcGeVector3d& normal, const AcGeVector3d& startVector,
                                       const double sweepAngle,
                                       const AcGiArcType arcType = kAcGiArcSimple) const = 0;
    virtual Adesk::Boolean circularArc(const AcGePoint3d& start, const AcGePoint3d& point,
                                       const AcGePoint3d& end,
                                       const AcGiArcType arcType = kAcGiArcSimple) const = 0;
    virtual Adesk::Boolean polyline(const Adesk::UInt32 nbPoints, const AcGePoint3d* pVertexList,
                                    const AcGeVector3d* pNormal = nullptr,
                                    Adesk::LongPtr lBaseSubEntMarker = -1) const = 0;
    // A closed area, filled according to the traits' fill type.
    virtual Adesk::Boolean polygon(const Adesk::UInt32 nbPoints,
                                   const AcGePoint3d* pVertexList) const = 0;
    // Text along `direction` in the plane of `normal`; width is the width factor, oblique the
    // slant angle.
    virtual Adesk::Boolean text(const AcGePoint3d& position, const AcGeVector3d& normal,
                                const AcGeVector3d& direction, const double height,
                                const double width, const double oblique,
                                const ACHAR* pMsg) const = 0;
    virtual Adesk::Boolean xline(const AcGePoint3d& p1, const AcGePoint3d& p2) const {
        return false;
    }
    virtual Adesk::Boolean ray(const AcGePoint3d& basePoint,
                               const AcGePoint3d& throughPoint) const {
        return false;
    }
    // Draws a nested drawable under the current model transforms (it draws through its own
    // worldDraw, overrules included).
    virtual Adesk::Boolean draw(AcGiDrawable* pDrawable) const = 0;
};

class AcGiWorldGeometry : public AcGiGeometry {
  public:
    ACRX_DECLARE_MEMBERS(AcGiWorldGeometry);

    // Lets a drawable state its extents rather than have them computed from its primitives.
    virtual void setExtents(AcGePoint3d* pNewExtents) const {}
    virtual void startAttributesSegment() {}
};

// What every drawing context offers.
class AcGiCommonDraw : public AcRxObject {
  public:
    ACRX_DECLARE_MEMBERS(AcGiCommonDraw);

    virtual AcGiRegenType regenType() const = 0;
    virtual Adesk::Boolean regenAbort() const { return false; }
    virtual AcGiSubEntityTraits& subEntityTraits() const = 0;
    virtual AcGiGeometry* rawGeometry() const = 0;
    virtual Adesk::Boolean isDragging() const { return false; }
    virtual Adesk::UInt32 numberOfIsolines() const { return 4; }
    virtual double deviation(const AcGiDeviationType type, const AcGePoint3d& pt) const {
        return 0.0;
    }
};

// The context of AcGiDrawable::worldDraw: what is drawn the same in every viewport.
class AcGiWorldDraw : public AcGiCommonDraw {
  public:
    ACRX_DECLARE_MEMBERS(AcGiWorldDraw);

    virtual AcGiWorldGeometry& geometry() const = 0;
    AcGiGeometry* rawGeometry() const override { return &geometry(); }
};
