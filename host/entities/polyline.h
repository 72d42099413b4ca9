// Lightweight polylines: planar chains of vertices in the object coordinate system of their
// normal, at an elevation, joined by straight segments or by arcs given as bulges (tan of a
// quarter of the included angle, positive counter-clockwise about the normal).
#pragma once

#include <vector>

#include "host/entities/curve.h"
#include "host/ge/point2d.h"

class AcGeLineSeg3d;
class AcGeCircArc3d;

class AcDbPolyline : public AcDbCurve {
  public:
    ACRX_DECLARE_MEMBERS(AcDbPolyline);

    enum SegType { kLine = 0, kArc = 1, kCoincident = 2, kPoint = 3, kEmpty = 4 };

    AcDbPolyline();
    explicit AcDbPolyline(unsigned int reserved);
    ~AcDbPolyline() override;

    unsigned int numVerts() const;
    // Segments: one per vertex of a closed polyline, one fewer for an open one.
    unsigned int numSegments() const;
    // Inserts before `index` (numVerts() appends); eInvalidIndex outside [0, numVerts()].
    // Negative widths mean "not given" (0). Needs write.
    Acad::ErrorStatus addVertexAt(unsigned int index, const AcGePoint2d& point, double bulge = 0.0,
                                  double startWidth = -1.0, double endWidth = -1.0);
    Acad::ErrorStatus removeVertexAt(unsigned int index);
    // eInvalidIndex for an index outside [0, numVerts()).
    Acad::ErrorStatus getPointAt(unsigned int index, AcGePoint2d& point) const;
    // The vertex in world coordinates.
    Acad::ErrorStatus getPointAt(unsigned int index, AcGePoint3d& point) const;
    Acad::ErrorStatus setPointAt(unsigned int index, const AcGePoint2d& point);
    Acad::ErrorStatus getBulgeAt(unsigned int index, double& bulge) const;
    Acad::ErrorStatus setBulgeAt(unsigned int index, double bulge);
    Acad::ErrorStatus getWidthsAt(unsigned int index, double& startWidth, double& endWidth) const;
    Acad::ErrorStatus setWidthsAt(unsigned int index, double startWidth, double endWidth);

    bool isClosed() const override;
    Acad::ErrorStatus setClosed(bool closed);
    double elevation() const;
    Acad::ErrorStatus setElevation(double elevation);
    AcGeVector3d normal() const;
    Acad::ErrorStatus setNormal(const AcGeVector3d& normal);  // eInvalidInput for zero
    double thickness() const;
    Acad::ErrorStatus setThickness(double thickness);

    // The kind of segment that starts at the vertex: kEmpty past the last segment, kPoint for a
    // polyline of one vertex, kCoincident when the segment's ends coincide.
    SegType segType(unsigned int index) const;
    // eInvalidIndex past the last segment, eNotApplicable when the segment is not of that kind.
    Acad::ErrorStatus getLineSegAt(unsigned int index, AcGeLineSeg3d& line) const;
    Acad::ErrorStatus getArcSegAt(unsigned int index, AcGeCircArc3d& arc) const;

    Acad::ErrorStatus getStartPoint(AcGePoint3d& point) const override;
    Acad::ErrorStatus getEndPoint(AcGePoint3d& point) const override;
    // The nearest point over all segments; eNotApplicable for a polyline without vertices.
    Acad::ErrorStatus getClosestPointTo(const AcGePoint3d& givenPoint, AcGePoint3d& pointOnCurve,
                                        bool extend = false) const override;

    // Similarities always; other affine transforms when every segment is straight
    // (eNotApplicable otherwise). The normal becomes the image of the old one; when the
    // transform turns the plane over (a mirroring), the bulges change sign so every arc keeps
    // its shape.
    Acad::ErrorStatus transformBy(const AcGeMatrix3d& xform) override;
    Acad::ErrorStatus getGeomExtents(AcDbExtents& extents) const override;
    // Grip and stretch points: the vertices, in world coordinates. Moving some moves them within
    // the polyline's plane (bulges are kept); moving all of them moves the polyline.
    Acad::ErrorStatus subGetGripPoints(AcGePoint3dArray& gripPoints, AcDbIntArray& osnapModes,
                                       AcDbIntArray& geomIds) const override;
    Acad::ErrorStatus subMoveGripPointsAt(const AcDbIntArray& indices,
                                          const AcGeVector3d& offset) override;
    // Arcs are drawn as 16 straight pieces each.
    bool subWorldDraw(AcGiWorldDraw* wd) override;

    // Binary: closed, elevation, normal, thickness, vertex count, then per vertex point, bulge
    // and widths. Text: "AcDbPolyline", 90 count, 70 flags (1 closed), 38, 39, then per vertex
    // 10, 40, 41, 42; 210. A count that does not match the vertices is eBadDxfSequence.
    Acad::ErrorStatus dwgInFields(AcDbDwgFiler* filer) override;
    Acad::ErrorStatus dwgOutFields(AcDbDwgFiler* filer) const override;
    Acad::ErrorStatus dxfInFields(AcDbDxfFiler* filer) override;
    Acad::ErrorStatus dxfOutFields(AcDbDxfFiler* filer) const override;

  private:
    struct Vertex {
        AcGePoint2d point;
        double bulge = 0.0;
        double startWidth = 0.0;
        double endWidth = 0.0;
    };
    AcGePoint3d toWorld(const AcGePoint2d& p) const;
    // The world points the polyline is drawn through (arcs in pieces).
    void tessellate(AcGePoint3dArray& points) const;

    std::vector<Vertex> m_vertices;
    bool m_closed = false;
    double m_elevation = 0.0;
    AcGeVector3d m_normal{0.0, 0.0, 1.0};
    double m_thickness = 0.0;
};
