// Solids: filled triangles and quadrilaterals. Corners are kept in world coordinates and
// numbered as in drawing files: the outline runs 0, 1, 3, 2 (a triangle repeats its third
// corner as the fourth).
#pragma once

#include "host/entities/entity.h"

class AcDbSolid : public AcDbEntity {
  public:
    ACRX_DECLARE_MEMBERS(AcDbSolid);

    AcDbSolid();
    AcDbSolid(const AcGePoint3d& pt0, const AcGePoint3d& pt1, const AcGePoint3d& pt2,
              const AcGePoint3d& pt3);
    AcDbSolid(const AcGePoint3d& pt0, const AcGePoint3d& pt1, const AcGePoint3d& pt2);
    ~AcDbSolid() override;

    // eInvalidIndex outside 0..3.
    Acad::ErrorStatus getPointAt(Adesk::UInt16 index, AcGePoint3d& point) const;
    Acad::ErrorStatus setPointAt(Adesk::UInt16 index, const AcGePoint3d& point);
    AcGeVector3d normal() const;
    Acad::ErrorStatus setNormal(const AcGeVector3d& normal);  // eInvalidInput for zero
    double thickness() const;
    Acad::ErrorStatus setThickness(double thickness);

    // Any affine transform.
    Acad::ErrorStatus transformBy(const AcGeMatrix3d& xform) override;
    Acad::ErrorStatus getGeomExtents(AcDbExtents& extents) const override;
    // Grip and stretch points: the four corners.
    Acad::ErrorStatus subGetGripPoints(AcGePoint3dArray& gripPoints, AcDbIntArray& osnapModes,
                                       AcDbIntArray& geomIds) const override;
    Acad::ErrorStatus subMoveGripPointsAt(const AcDbIntArray& indices,
                                          const AcGeVector3d& offset) override;
    // Drawn as a polygon along the outline.
    bool subWorldDraw(AcGiWorldDraw* wd) override;

    // Binary: the corners, normal, thickness. Text: "AcDbTrace", 10..13, 39, 210.
    Acad::ErrorStatus dwgInFields(AcDbDwgFiler* filer) override;
    Acad::ErrorStatus dwgOutFields(AcDbDwgFiler* filer) const override;
    Acad::ErrorStatus dxfInFields(AcDbDxfFiler* filer) override;
    Acad::ErrorStatus dxfOutFields(AcDbDxfFiler* filer) const override;

  private:
    AcGePoint3d m_points[4];
    AcGeVector3d m_normal{0.0, 0.0, 1.0};
    double m_thickness = 0.0;
};
