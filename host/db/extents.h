// Axis-aligned extents in world coordinates: the box an entity or a block occupies.
#pragma once

#include <algorithm>
#include <cmath>

#include "host/core/types.h"
#include "host/ge/matrix3d.h"
#include "host/ge/point3d.h"
#include "host/ge/tol.h"

class AcDbBlockTableRecord;

class AcDbExtents {
  public:
    // Empty extents: the minimum lies above the maximum, so the first point added sets both.
    AcDbExtents() { setEmpty(); }
    AcDbExtents(const AcGePoint3d& min, const AcGePoint3d& max) {
        if (set(min, max) != Acad::eOk) {
            setEmpty();
        }
    }

    AcGePoint3d minPoint() const { return m_min; }
    AcGePoint3d maxPoint() const { return m_max; }
    // eInvalidExtents (and nothing changes) when a coordinate of min lies above that of max.
    Acad::ErrorStatus set(const AcGePoint3d& min, const AcGePoint3d& max) {
        if (min.x > max.x || min.y > max.y || min.z > max.z) {
            return Acad::eInvalidExtents;
        }
        m_min = min;
        m_max = max;
        return Acad::eOk;
    }
    void setEmpty() {
        m_min.set(kHuge, kHuge, kHuge);
        m_max.set(-kHuge, -kHuge, -kHuge);
    }
    // True until something was added.
    bool isEmpty() const { return m_min.x > m_max.x || m_min.y > m_max.y || m_min.z > m_max.z; }

    // Points with a coordinate that is not a finite number are ignored: they would make every
    // later comparison meaningless.
    void addPoint(const AcGePoint3d& pt) {
        if (!std::isfinite(pt.x) || !std::isfinite(pt.y) || !std::isfinite(pt.z)) {
            return;
        }
        m_min.set(std::min(m_min.x, pt.x), std::min(m_min.y, pt.y), std::min(m_min.z, pt.z));
        m_max.set(std::max(m_max.x, pt.x), std::max(m_max.y, pt.y), std::max(m_max.z, pt.z));
    }
    void addExt(const AcDbExtents& other) {
        if (!other.isEmpty()) {
            addPoint(other.m_min);
            addPoint(other.m_max);
        }
    }
    // The union with the extents of every entity of the block, in the block's own coordinates
    // (entities that cannot be opened or report no extents are left out). eNullObjectPointer
    // for null.
    Acad::ErrorStatus addBlockExt(AcDbBlockTableRecord* block);

    void expandBy(const AcGeVector3d& v) {
        if (isEmpty()) {
            return;
        }
        const AcGePoint3d a = m_min + v;
        const AcGePoint3d b = m_max + v;
        addPoint(a);
        addPoint(b);
    }
    // The box around the eight transformed corners.
    void transformBy(const AcGeMatrix3d& m) {
        if (isEmpty()) {
            return;
        }
        const AcGePoint3d lo = m_min;
        const AcGePoint3d hi = m_max;
        setEmpty();
        for (int i = 0; i < 8; ++i) {
            const AcGePoint3d corner((i & 1) ? hi.x : lo.x, (i & 2) ? hi.y : lo.y,
                                     (i & 4) ? hi.z : lo.z);
            addPoint(m * corner);
        }
    }

    bool isEqualTo(const AcDbExtents& other, const AcGeTol& tol = AcGeContext::gTol) const {
        if (isEmpty() || other.isEmpty()) {
            return isEmpty() == other.isEmpty();
        }
        return m_min.isEqualTo(other.m_min, tol) && m_max.isEqualTo(other.m_max, tol);
    }

  private:
    static constexpr double kHuge = 1.0e300;
    AcGePoint3d m_min;
    AcGePoint3d m_max;
};
