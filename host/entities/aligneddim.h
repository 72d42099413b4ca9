// Aligned dimensions: the distance between two extension-line points, shown on a dimension line
// parallel to them through the dimension-line point.
#pragma once

#include "host/entities/dimension.h"

class AcDbAlignedDimension : public AcDbDimension {
  public:
    ACRX_DECLARE_MEMBERS(AcDbAlignedDimension);

    AcDbAlignedDimension();
    // The text starts at the middle of the dimension line.
    AcDbAlignedDimension(const AcGePoint3d& xLine1Point, const AcGePoint3d& xLine2Point,
                         const AcGePoint3d& dimLinePoint, const ACHAR* dimText = nullptr,
                         AcDbObjectId dimStyle = AcDbObjectId::kNull);
    ~AcDbAlignedDimension() override;

    AcGePoint3d xLine1Point() const;
    Acad::ErrorStatus setXLine1Point(const AcGePoint3d& point);
    AcGePoint3d xLine2Point() const;
    Acad::ErrorStatus setXLine2Point(const AcGePoint3d& point);
    AcGePoint3d dimLinePoint() const;
    Acad::ErrorStatus setDimLinePoint(const AcGePoint3d& point);
    double oblique() const;
    Acad::ErrorStatus setOblique(double angle);

    Acad::ErrorStatus measurement(double& value) const override;
    // The ends of the dimension line (the extension-line points moved across to it).
    void dimensionLine(AcGePoint3d& start, AcGePoint3d& end) const;

    // Any affine transform (the measurement follows).
    Acad::ErrorStatus transformBy(const AcGeMatrix3d& xform) override;
    Acad::ErrorStatus getGeomExtents(AcDbExtents& extents) const override;
    // Grip and stretch points: first and second extension-line point, dimension-line point,
    // text position.
    Acad::ErrorStatus subGetGripPoints(AcGePoint3dArray& gripPoints, AcDbIntArray& osnapModes,
                                       AcDbIntArray& geomIds) const override;
    Acad::ErrorStatus subMoveGripPointsAt(const AcDbIntArray& indices,
                                          const AcGeVector3d& offset) override;
    // Extension lines, dimension line and text.
    bool subWorldDraw(AcGiWorldDraw* wd) override;

    // Binary: the dimension's fields, then the three points and the oblique angle. Text:
    // "AcDbAlignedDimension", 13, 14, 10, 52.
    Acad::ErrorStatus dwgInFields(AcDbDwgFiler* filer) override;
    Acad::ErrorStatus dwgOutFields(AcDbDwgFiler* filer) const override;
    Acad::ErrorStatus dxfInFields(AcDbDxfFiler* filer) override;
    Acad::ErrorStatus dxfOutFields(AcDbDxfFiler* filer) const override;

  private:
    AcGePoint3d m_xLine1;
    AcGePoint3d m_xLine2;
    AcGePoint3d m_dimLine;
    double m_oblique = 0.0;
};
