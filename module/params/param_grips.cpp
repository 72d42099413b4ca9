#include "module/params/param_grips.h"

#include "module/graph/eval_graph.h"
#include "module/grips/grip.h"

namespace kxparam {

bool isGrip(const KxDbTagEvalExpr* node) {
    return KxDbTagGrip::cast(node) != nullptr;
}

Acad::ErrorStatus gripLocation(const KxDbTagEvalExpr* grip, AcGePoint3d& location) {
    const KxDbTagGrip* g = KxDbTagGrip::cast(grip);
    if (g == nullptr) {
        return Acad::eWrongObjectType;
    }
    location = g->location();
    return Acad::eOk;
}

Acad::ErrorStatus setGripLocation(KxDbTagEvalExpr* grip, const AcGePoint3d& location) {
    KxDbTagGrip* g = KxDbTagGrip::cast(grip);
    if (g == nullptr) {
        return Acad::eWrongObjectType;
    }
    return g->setLocation(location);
}

Acad::ErrorStatus placeGripAt(KxDbTagEvalExpr* grip, const AcGePoint3d& point) {
    KxDbTagGrip* g = KxDbTagGrip::cast(grip);
    if (g == nullptr) {
        return Acad::eWrongObjectType;
    }
    const Acad::ErrorStatus es = g->setLocation(point);
    return es != Acad::eOk ? es : g->setUpdatedLocation(point);
}

}  // namespace kxparam
