#pragma once

#include <gtest/gtest.h>

#include <cmath>

#include "host/ge/matrix3d.h"
#include "host/ge/point3d.h"
#include "host/ge/vector3d.h"

namespace getest {

constexpr double kPi = 3.14159265358979323846;
constexpr double kEps = 1e-9;

inline ::testing::AssertionResult near3(double ax, double ay, double az, double bx, double by,
                                        double bz, double eps) {
    if (std::fabs(ax - bx) <= eps && std::fabs(ay - by) <= eps && std::fabs(az - bz) <= eps) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "(" << ax << ", " << ay << ", " << az << ") != (" << bx
                                         << ", " << by << ", " << bz << ")";
}

inline ::testing::AssertionResult pointNear(const AcGePoint3d& a, const AcGePoint3d& b,
                                            double eps = kEps) {
    return near3(a.x, a.y, a.z, b.x, b.y, b.z, eps);
}

inline ::testing::AssertionResult vecNear(const AcGeVector3d& a, const AcGeVector3d& b,
                                          double eps = kEps) {
    return near3(a.x, a.y, a.z, b.x, b.y, b.z, eps);
}

inline ::testing::AssertionResult matNear(const AcGeMatrix3d& a, const AcGeMatrix3d& b,
                                          double eps = kEps) {
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            if (std::fabs(a.entry[r][c] - b.entry[r][c]) > eps) {
                return ::testing::AssertionFailure()
                       << "entry (" << r << ", " << c << "): " << a.entry[r][c]
                       << " != " << b.entry[r][c];
            }
        }
    }
    return ::testing::AssertionSuccess();
}

}  // namespace getest
