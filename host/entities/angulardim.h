// Three-point angular dimensions: the angle at the centre point between the two extension-line
// points, on the side the arc point lies.
#pragma once

#include "host/entities/dimension.h"

class AcDb3PointAngularDimension : public AcDbDimension {
  public:
    ACRX_DECLARE_MEMBERS(AcDb3PointAngularDimension);

    AcDb3PointAngularDimension();
    // The text starts at the arc point.
    AcDb3PointAngularDimension(const AcGePoint3d& centerPoint, const AcGePoint3d& xLine1Point,
                               const AcGePoint3d& xLine2Point, const AcGePoint3d& arcPoint,
                               const ACHAR* dimText = nullptr,
                               AcDbObjectId dimStyle = AcDbObjectId::kNull);
    ~AcDb3PointAngularDimension() override;

    AcGePoint3d centerPoint() const;
    Acad::ErrorStatus setCenterPoint(const AcGePoint3d& point);
    AcGePoint3d xLine1Point() const;
    Acad::ErrorStatus setXLine1Point(const AcGePoint3d& point);
    AcGePoint3d xLine2Point() const;
    Acad::ErrorStatus setXLine2Point(const AcGePoint3d& point);
    AcGePoint3d arcPoint() const;
    Acad::ErrorStatus setArcPoint(const AcGePoint3d& point);

    // In (0, 2*pi): counter-clockwise about the normal from the first to the second extension
    // line, or the rest of the turn when the arc point lies outside that sweep.
    Acad::ErrorStatus measurement(double& value) const override;

    // Any affine transform.
    Acad::ErrorStatus transformBy(const AcGeMatrix3d& xform) override;
    Acad::ErrorStatus getGeomExtents(AcDbExtents& extents) const override;
    // Grip and stretch points: centre, first and second extension-line point, arc point, text
    // position.
    Acad::ErrorStatus subGetGripPoints(AcGePoint3dArray& gripPoints, AcDbIntArray& osnapModes,
                                       AcDbIntArray& geomIds) const override;
    Acad::ErrorStatus subMoveGripPointsAt(const AcDbIntArray& indices,
                                          const AcGeVector3d& offset) override;
    // Extension lines, the dimension arc through the arc point, and text.
    bool subWorldDraw(AcGiWorldDraw* wd) override;

    // Binary: the dimension's fields, then centre, extension-line points and arc point. Text:
    // "AcDb3PointAngularDimension", 15, 13, 14, 10.
    Acad::ErrorStatus dwgInFields(AcDbDwgFiler* filer) override;
    Acad::ErrorStatus dwgOutFields(AcDbDwgFiler* filer) const override;
    Acad::ErrorStatus dxfInFields(AcDbDxfFiler* filer) override;
    Acad::ErrorStatus dxfOutFields(AcDbDxfFiler* filer) const override;

  protected:
    bool isAngular() const override { return true; }

  private:
    // The dimension arc: start angle (in the plane of the normal) and sweep, counter-clockwise.
    void arcAngles(double& start, double& sweep) const;

    AcGePoint3d m_center;
    AcGePoint3d m_xLine1;
    AcGePoint3d m_xLine2;
    AcGePoint3d m_arcPoint;
};
