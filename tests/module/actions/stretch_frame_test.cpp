// The stretch frame decides which stretch points move; a wrong answer stretches the wrong
// geometry, so the border, concave and degenerate frames are pinned down here.
#include <gtest/gtest.h>

#include "host/entities/line.h"
#include "module/actions/stretch_frame.h"

namespace {

AcGePoint2dArray pts(std::initializer_list<AcGePoint2d> list) {
    AcGePoint2dArray a;
    for (const auto& p : list)
        a.append(p);
    return a;
}

// An L: the square 0..10 with its upper right 4..10 x 4..10 notched out.
AcGePoint2dArray lShape() {
    return pts({{0, 0}, {10, 0}, {10, 4}, {4, 4}, {4, 10}, {0, 10}});
}

AcGePoint2dArray reversed(const AcGePoint2dArray& a) {
    AcGePoint2dArray r;
    for (int i = a.length() - 1; i >= 0; --i)
        r.append(a[i]);
    return r;
}

}  // namespace

TEST(StretchFrame, FramesOfFewerThanTwoPointsEncloseNothing) {
    KxStretchFrame none;
    EXPECT_FALSE(none.isActive());
    EXPECT_FALSE(none.contains(AcGePoint3d(0, 0, 0)));
    AcGePoint2d lo, hi;
    EXPECT_FALSE(none.getBounds(lo, hi));

    KxStretchFrame one(pts({{3, 4}}));
    EXPECT_FALSE(one.isActive());
    EXPECT_FALSE(one.contains(AcGePoint3d(3, 4, 0)));
    EXPECT_TRUE(one.getBounds(lo, hi));
    EXPECT_EQ(lo.x, 3.0);
    EXPECT_EQ(hi.y, 4.0);
}

TEST(StretchFrame, TwoPointsSpanARectangleIncludingItsBorder) {
    for (const auto& frame :
         {pts({{0, 0}, {10, 5}}), pts({{10, 5}, {0, 0}}), pts({{0, 5}, {10, 0}})}) {
        KxStretchFrame f(frame);
        AcGePoint2d lo, hi;
        ASSERT_TRUE(f.getBounds(lo, hi));
        EXPECT_EQ(lo.x, 0.0);
        EXPECT_EQ(lo.y, 0.0);
        EXPECT_EQ(hi.x, 10.0);
        EXPECT_EQ(hi.y, 5.0);
        EXPECT_TRUE(f.contains(AcGePoint3d(10, 5, 0)));
        EXPECT_TRUE(f.contains(AcGePoint3d(0, 0, 0)));
        EXPECT_TRUE(f.contains(AcGePoint3d(0, 5, 0)));
        EXPECT_TRUE(f.contains(AcGePoint3d(5, 2.5, 0)));
        // z plays no part: the frame lies in the XY plane and reaches through all heights.
        EXPECT_TRUE(f.contains(AcGePoint3d(5, 2.5, -100)));
        EXPECT_FALSE(f.contains(AcGePoint3d(10.001, 5, 0)));
        EXPECT_FALSE(f.contains(AcGePoint3d(5, -0.001, 0)));
    }
}

TEST(StretchFrame, PolygonFramesUseTheWindingTestInEitherDirection) {
    const AcGePoint2dArray square = pts({{0, 0}, {10, 0}, {10, 10}, {0, 10}});
    for (const auto& frame : {square, reversed(square)}) {
        KxStretchFrame f(frame);
        EXPECT_TRUE(f.contains(AcGePoint3d(5, 5, 0)));
        EXPECT_TRUE(f.contains(AcGePoint3d(0.5, 9.5, 0)));
        EXPECT_FALSE(f.contains(AcGePoint3d(11, 5, 0)));
        EXPECT_FALSE(f.contains(AcGePoint3d(5, -1, 0)));
    }
    // A triangle: points of the bounding box beyond the hypotenuse are outside.
    KxStretchFrame tri(pts({{0, 0}, {10, 0}, {0, 10}}));
    EXPECT_TRUE(tri.contains(AcGePoint3d(2, 2, 0)));
    EXPECT_FALSE(tri.contains(AcGePoint3d(8, 8, 0)));
    EXPECT_FALSE(tri.contains(AcGePoint3d(6, 6, 0)));
    EXPECT_TRUE(tri.contains(AcGePoint3d(4, 4, 0)));
}

TEST(StretchFrame, ConcaveFrameExcludesItsNotch) {
    for (const auto& frame : {lShape(), reversed(lShape())}) {
        KxStretchFrame f(frame);
        AcGePoint2d lo, hi;
        ASSERT_TRUE(f.getBounds(lo, hi));
        EXPECT_EQ(hi.x, 10.0);
        EXPECT_EQ(hi.y, 10.0);
        // In the box but in the notch.
        EXPECT_FALSE(f.contains(AcGePoint3d(7, 7, 0)));
        EXPECT_FALSE(f.contains(AcGePoint3d(9.5, 9.5, 0)));
        // In both legs and the corner they share.
        EXPECT_TRUE(f.contains(AcGePoint3d(8, 2, 0)));
        EXPECT_TRUE(f.contains(AcGePoint3d(2, 8, 0)));
        EXPECT_TRUE(f.contains(AcGePoint3d(2, 2, 0)));
    }
}

TEST(StretchFrame, WindingTestNeedsThreeVertices) {
    EXPECT_FALSE(KxStretchFrame::windingContains(AcGePoint2dArray(), 0, 0));
    EXPECT_FALSE(KxStretchFrame::windingContains(pts({{-1, -1}, {1, 1}}), 0, 0));
    EXPECT_TRUE(KxStretchFrame::windingContains(pts({{-1, -1}, {1, -1}, {0, 1}}), 0, 0));
}

TEST(StretchFrame, PicksTheStretchPointsOfALineInsideTheFrame) {
    const KxStretchFrame frame(pts({{15, -1}, {25, 1}}));
    struct Case {
        AcGePoint3d start, end;
        std::vector<int> inside;
    };
    const Case cases[] = {
        {{0, 0, 0}, {20, 0, 0}, {1}},      // only the end lies in the frame
        {{20, 0, 0}, {0, 0, 0}, {0}},      // only the start
        {{16, 0, 0}, {24, 0, 0}, {0, 1}},  // both ends: the whole line moves
        {{0, 0, 0}, {10, 0, 0}, {}},       // none
        {{0, 0, 0}, {40, 0, 0}, {}},       // spans the frame without a point in it
    };
    for (const auto& c : cases) {
        AcDbLine line(c.start, c.end);
        AcGePoint3dArray sp;
        ASSERT_EQ(line.getStretchPoints(sp), Acad::eOk);
        const AcDbIntArray idx = frame.insideIndices(sp);
        ASSERT_EQ(idx.length(), static_cast<int>(c.inside.size()));
        for (int i = 0; i < idx.length(); ++i)
            EXPECT_EQ(idx[i], c.inside[static_cast<size_t>(i)]);
    }
}
