// The frame of a stretch action: a polygon in the definition's XY plane that picks
// which stretch points of the selected objects move while the rest move whole.
#pragma once

#include "host/core/array.h"
#include "host/ge/point2d.h"
#include "host/ge/point3d.h"
#include "module/frame/export.h"

class KXDB_EXPORT KxStretchFrame {
  public:
    KxStretchFrame() = default;
    explicit KxStretchFrame(const AcGePoint2dArray& points);

    const AcGePoint2dArray& points() const { return mPoints; }

    // A frame needs two points to enclose anything: two points span an axis-parallel
    // rectangle, three or more a closed polygon.
    bool isActive() const { return mPoints.length() >= 2; }

    // The axis-parallel box around the frame points; false for an empty frame.
    bool getBounds(AcGePoint2d& minPt, AcGePoint2d& maxPt) const;

    // Whether a point (its z ignored) lies in the frame. The box border counts as inside.
    bool contains(const AcGePoint3d& pt) const;

    // The ascending indices of the points that lie in the frame.
    AcArray<int> insideIndices(const AcGePoint3dArray& pts) const;

    // The winding test over a polygon closed from its last vertex back to its first:
    // true when the polygon winds once around (px, py). Fewer than 3 vertices enclose nothing.
    static bool windingContains(const AcGePoint2dArray& polygon, double px, double py);

  private:
    AcGePoint2dArray mPoints;
    AcGePoint2d mMin;
    AcGePoint2d mMax;
};
