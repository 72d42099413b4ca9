// Internal to the host library: helpers the entity classes share for their DXF filing. Plug-ins
// never include this header.
#pragma once

#include <cmath>

#include "host/core/resbuf.h"
#include "host/db/dwgfiler.h"
#include "host/db/dxffiler.h"
#include "host/db/objectstate.h"
#include "host/ge/point3d.h"
#include "host/ge/vector3d.h"

namespace kxhost {
namespace detail {

// Consumes the subclass marker; without it the object's data is out of order: the filer's
// status when it has one, else eBadDxfSequence.
inline Acad::ErrorStatus dxfExpectSubclass(AcDbDxfFiler* filer, const ACHAR* marker) {
    if (filer->atSubclassData(marker)) {
        return Acad::eOk;
    }
    return filer->filerStatus() != Acad::eOk ? filer->filerStatus() : Acad::eBadDxfSequence;
}

// Reads groups, in any order, until one the handler does not take (it is pushed back for the
// next reader) or the end of the object's data. The handler returns true when it used the item;
// the item's string or binary value is released after it returns.
template <class Handler>
Acad::ErrorStatus dxfReadGroups(AcDbDxfFiler* filer, Handler handler) {
    for (;;) {
        resbuf item{};
        const Acad::ErrorStatus es = filer->readItem(&item);
        if (es == Acad::eEndOfFile) {
            return Acad::eOk;
        }
        if (es != Acad::eOk) {
            return es;
        }
        const bool used = handler(static_cast<const resbuf&>(item));
        releaseItemValue(item);
        if (!used) {
            filer->pushBackItem();
            return filer->filerStatus();
        }
    }
}

inline AcGePoint3d rbPoint(const resbuf& rb) {
    return AcGePoint3d(rb.resval.rpoint[0], rb.resval.rpoint[1], rb.resval.rpoint[2]);
}

inline AcGeVector3d rbVector(const resbuf& rb) {
    return AcGeVector3d(rb.resval.rpoint[0], rb.resval.rpoint[1], rb.resval.rpoint[2]);
}

inline bool isFinitePoint(const AcGePoint3d& p) {
    return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z);
}

inline bool isFiniteVector(const AcGeVector3d& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

// Stored normals are unit vectors already: normalising them again would change their last bits
// on every round trip, so only those that are clearly not unit are normalised.
inline AcGeVector3d unitNormal(const AcGeVector3d& v) {
    return std::fabs(v.length() - 1.0) <= 1e-12 ? v : v.normal();
}

// Marks a binary stream as damaged and answers its status.
inline Acad::ErrorStatus filerFail(AcDbDwgFiler* filer) {
    filer->setFilerStatus(Acad::eFilerError);
    return Acad::eFilerError;
}

// Reads a normal: a zero or non-finite vector is damage. Comes back unit length.
inline Acad::ErrorStatus readNormal(AcDbDwgFiler* filer, AcGeVector3d& normal) {
    AcGeVector3d v;
    const Acad::ErrorStatus es = filer->readVector3d(&v);
    if (es != Acad::eOk) {
        return es;
    }
    if (!isFiniteVector(v) || v.isZeroLength()) {
        return filerFail(filer);
    }
    normal = unitNormal(v);
    return Acad::eOk;
}

// A normal read from text: zero or non-finite is refused with eInvalidDxfCode.
inline Acad::ErrorStatus checkDxfNormal(AcGeVector3d& normal) {
    if (!isFiniteVector(normal) || normal.isZeroLength()) {
        return Acad::eInvalidDxfCode;
    }
    normal = unitNormal(normal);
    return Acad::eOk;
}

}  // namespace detail
}  // namespace kxhost
