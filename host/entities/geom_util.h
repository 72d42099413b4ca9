// Internal to the host library: geometry the entity classes share (object coordinate systems,
// arcs under transforms, arc extents, bulge arcs). Plug-ins never include this header.
#pragma once

#include "host/db/extents.h"
#include "host/ge/matrix3d.h"
#include "host/ge/point2d.h"
#include "host/ge/point3d.h"
#include "host/ge/vector3d.h"

namespace kxhost {
namespace detail {

constexpr double kTwoPi = 6.283185307179586476925286766559;
constexpr double kPi = 3.1415926535897932384626433832795;

// Angle folded into [0, 2*pi).
double normalizeAngle(double angle);

// The X and Y axes of an entity's object coordinate system (the arbitrary-axis rule).
AcGeVector3d ocsXAxis(const AcGeVector3d& normal);
AcGeVector3d ocsYAxis(const AcGeVector3d& normal);
// Angle of v projected into the plane of `normal`, from the OCS X axis counter-clockwise about
// the normal, in [0, 2*pi).
double ocsAngle(const AcGeVector3d& v, const AcGeVector3d& normal);
// The unit vector at that OCS angle.
AcGeVector3d ocsDirection(double angle, const AcGeVector3d& normal);

// The transformed normal: M applied to it as a vector and normalised; the old normal when the
// image is zero.
AcGeVector3d transformNormal(const AcGeMatrix3d& xform, const AcGeVector3d& normal);
// Rotations, mirrorings, translations and uniform scalings (the transforms that keep circles
// circles), with a tolerance that absorbs the rounding of composed matrices.
bool isSimilarity(const AcGeMatrix3d& xform);
// The common factor by which a similarity scales lengths.
double similarityScale(const AcGeMatrix3d& xform);

// A circular arc (OCS angles about its normal, counter-clockwise from start to end) under a
// similarity: the normal is transformed, and a mirroring reverses the sense, so the image of the
// old end point becomes the new start. False (nothing changed) for other transforms.
bool transformArc(const AcGeMatrix3d& xform, AcGePoint3d& center, double& radius,
                  AcGeVector3d& normal, double& startAngle, double& endAngle);

// Adds the points center + cos(t)*u + sin(t)*v for t in [t0, t1] (an ellipse or circle arc with
// the given axes) to the extents: the two ends and every coordinate extreme in between.
void addArcExtents(AcDbExtents& ext, const AcGePoint3d& center, const AcGeVector3d& u,
                   const AcGeVector3d& v, double t0, double t1);

// The arc of a polyline segment from p1 to p2 with the given bulge (tan of a quarter of the
// included angle, positive counter-clockwise), in 2D: centre, radius, and the start angle and
// signed sweep.
struct BulgeArc {
    AcGePoint2d center;
    double radius = 0.0;
    double startAngle = 0.0;
    double sweep = 0.0;
};
bool bulgeArc(const AcGePoint2d& p1, const AcGePoint2d& p2, double bulge, BulgeArc& arc);
// The bulge of the arc from p1 to p2 that bends through `through` (0 when collinear).
double bulgeThrough(const AcGePoint2d& p1, const AcGePoint2d& through, const AcGePoint2d& p2);

}  // namespace detail
}  // namespace kxhost
