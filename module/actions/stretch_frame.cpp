#include "module/actions/stretch_frame.h"

#include <algorithm>

namespace {

// The quadrant of v around p; the boundaries are fixed so that every vertex
// falls in exactly one quadrant.
int quadrant(const AcGePoint2d& v, double px, double py) {
    if (v.y > py)
        return v.x > px ? 0 : 1;
    return v.x > px ? 3 : 2;
}

}  // namespace

KxStretchFrame::KxStretchFrame(const AcGePoint2dArray& points) : mPoints(points) {
    for (int i = 0; i < mPoints.length(); ++i) {
        const AcGePoint2d& p = mPoints[i];
        if (i == 0) {
            mMin = p;
            mMax = p;
            continue;
        }
        mMin.x = std::min(mMin.x, p.x);
        mMin.y = std::min(mMin.y, p.y);
        mMax.x = std::max(mMax.x, p.x);
        mMax.y = std::max(mMax.y, p.y);
    }
}

bool KxStretchFrame::getBounds(AcGePoint2d& minPt, AcGePoint2d& maxPt) const {
    if (mPoints.length() == 0)
        return false;
    minPt = mMin;
    maxPt = mMax;
    return true;
}

bool KxStretchFrame::contains(const AcGePoint3d& pt) const {
    if (!isActive())
        return false;
    if (pt.x < mMin.x || pt.x > mMax.x || pt.y < mMin.y || pt.y > mMax.y)
        return false;
    // Two points are the rectangle they span, which the box test has settled.
    if (mPoints.length() == 2)
        return true;
    return windingContains(mPoints, pt.x, pt.y);
}

AcArray<int> KxStretchFrame::insideIndices(const AcGePoint3dArray& pts) const {
    AcArray<int> inside;
    for (int i = 0; i < pts.length(); ++i)
        if (contains(pts[i]))
            inside.append(i);
    return inside;
}

bool KxStretchFrame::windingContains(const AcGePoint2dArray& polygon, double px, double py) {
    const int n = polygon.length();
    if (n < 3)
        return false;
    int sum = 0;
    for (int i = 0; i < n; ++i) {
        const AcGePoint2d& a = polygon[i];
        const AcGePoint2d& b = polygon[(i + 1) % n];
        int d = quadrant(b, px, py) - quadrant(a, px, py);
        if (d == -3)
            d = 1;
        else if (d == 3)
            d = -1;
        else if (d == 2 || d == -2) {
            // The edge crosses diagonally: which side of p it passes decides the turn.
            // A diagonal crossing changes both quadrant halves, so a.y != b.y here.
            const double x = b.x - (a.x - b.x) * (b.y - py) / (a.y - b.y);
            if (px < x)
                d = -d;
        }
        sum += d;
    }
    return sum == 4 || sum == -4;
}
