// Viewport-dependent drawing: the viewport a drawable is drawn in (its view, eye transforms,
// perspective and pixel size), the viewport geometry with its eye and display-coordinate
// primitives, and the context handed to AcGiDrawable::viewportDraw. Grip glyphs and dynamic
// dimensions are drawn through these.
#pragma once

#include "host/ge/point2d.h"
#include "host/gi/worlddraw.h"

// The view a drawable is drawn in. Eye coordinates: the camera looks down -Z, X to the right and
// Y up on the screen.
class AcGiViewport : public AcRxObject {
  public:
    ACRX_DECLARE_MEMBERS(AcGiViewport);

    virtual void getModelToEyeTransform(AcGeMatrix3d& xform) const = 0;
    virtual void getEyeToModelTransform(AcGeMatrix3d& xform) const = 0;
    virtual void getWorldToEyeTransform(AcGeMatrix3d& xform) const = 0;
    virtual void getEyeToWorldTransform(AcGeMatrix3d& xform) const = 0;

    virtual Adesk::Boolean isPerspective() const = 0;
    // Applies the perspective projection to an eye-coordinate point in place; false when the
    // point cannot be projected (behind the camera) or the view is not a perspective view.
    virtual Adesk::Boolean doPerspective(AcGePoint3d& point) const = 0;
    virtual Adesk::Boolean doInversePerspective(AcGePoint3d& point) const = 0;

    // Pixels per drawing unit along X and Y at the given world point.
    virtual void getNumPixelsInUnitSquare(const AcGePoint3d& givenWorldpt, AcGePoint2d& pixelArea,
                                          bool includePerspective = true) const = 0;

    virtual void getCameraLocation(AcGePoint3d& location) const = 0;
    virtual void getCameraTarget(AcGePoint3d& target) const = 0;
    virtual void getCameraUpVector(AcGeVector3d& upVector) const = 0;
    // The viewing direction, from the camera towards its target.
    virtual AcGeVector3d viewDir() const {
        AcGePoint3d location;
        AcGePoint3d target;
        getCameraLocation(location);
        getCameraTarget(target);
        return target - location;
    }

    virtual Adesk::ULongPtr viewportId() const { return 0; }
    virtual Adesk::Int16 acadWindowId() const { return 0; }
    virtual void getViewportDcCorners(AcGePoint2d& lowerLeft, AcGePoint2d& upperRight) const {
        lowerLeft.set(0.0, 0.0);
        upperRight.set(0.0, 0.0);
    }
    virtual Adesk::Boolean getFrontAndBackClipValues(Adesk::Boolean& clipFront,
                                                     Adesk::Boolean& clipBack, double& front,
                                                     double& back) const {
        clipFront = false;
        clipBack = false;
        front = 0.0;
        back = 0.0;
        return false;
    }
    virtual double linetypeScaleMultiplier() const { return 1.0; }
    virtual Adesk::Boolean layerVisible(const AcDbObjectId& layerId) const { return true; }
};

class AcGiViewportGeometry : public AcGiGeometry {
  public:
    ACRX_DECLARE_MEMBERS(AcGiViewportGeometry);

    // Primitives given in eye coordinates and in display (pixel) coordinates.
    virtual Adesk::Boolean polylineEye(const Adesk::UInt32 nbPoints,
                                       const AcGePoint3d* pPoints) const = 0;
    virtual Adesk::Boolean polygonEye(const Adesk::UInt32 nbPoints,
                                      const AcGePoint3d* pPoints) const = 0;
    virtual Adesk::Boolean polylineDc(const Adesk::UInt32 nbPoints,
                                      const AcGePoint3d* pPoints) const = 0;
    virtual Adesk::Boolean polygonDc(const Adesk::UInt32 nbPoints,
                                     const AcGePoint3d* pPoints) const = 0;
};

// The context of AcGiDrawable::viewportDraw.
class AcGiViewportDraw : public AcGiCommonDraw {
  public:
    ACRX_DECLARE_MEMBERS(AcGiViewportDraw);

    virtual AcGiViewport& viewport() const = 0;
    virtual AcGiViewportGeometry& geometry() const = 0;
    AcGiGeometry* rawGeometry() const override { return &geometry(); }
    virtual Adesk::UInt32 sequenceNumber() const { return 0; }
    virtual Adesk::Boolean isValidId(const Adesk::ULongPtr acgiId) const { return true; }
    virtual AcDbObjectId viewportObjectId() const { return AcDbObjectId::kNull; }
};
