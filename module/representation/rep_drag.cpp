// Drag images keep their entities in the drawable overrule, which stands in for their block.
#include "module/representation/rep_drag.h"

#include "host/entities/blockref.h"
#include "module/display/drawable_overrule.h"

namespace kxdrag {

AcDbObjectId sourceReferenceOf(const AcDbBlockReference* image) {
    KxGiNimbleBlockDrawableOverrule* overrule = KxGiNimbleBlockDrawableOverrule::instance();
    return overrule != nullptr ? overrule->cloneSourceId(image) : AcDbObjectId();
}

Acad::ErrorStatus entitiesOf(const AcDbBlockReference* image, std::vector<AcDbEntity*>& entities) {
    entities.clear();
    KxGiNimbleBlockDrawableOverrule* overrule = KxGiNimbleBlockDrawableOverrule::instance();
    if (overrule == nullptr) {
        return Acad::eNotApplicable;
    }
    const Acad::ErrorStatus es = overrule->makeCloneEntities(image);
    if (es != Acad::eOk) {
        return es;
    }
    if (const KxGiEntityCopyArray* copies = overrule->cloneEntities(image)) {
        for (int i = 0; i < copies->length(); ++i) {
            if ((*copies)[i] != nullptr) {
                entities.push_back((*copies)[i]);
            }
        }
    }
    return Acad::eOk;
}

Acad::ErrorStatus ensureEntities(const AcDbBlockReference* image) {
    KxGiNimbleBlockDrawableOverrule* overrule = KxGiNimbleBlockDrawableOverrule::instance();
    return overrule != nullptr ? overrule->makeCloneEntities(image) : Acad::eNotApplicable;
}

Acad::ErrorStatus append(const AcDbBlockReference* image, AcDbEntity* entity) {
    KxGiNimbleBlockDrawableOverrule* overrule = KxGiNimbleBlockDrawableOverrule::instance();
    return overrule != nullptr ? overrule->appendToReferenceBlock(image, entity)
                               : Acad::eNotApplicable;
}

Acad::ErrorStatus remove(const AcDbBlockReference* image, AcDbEntity* entity) {
    KxGiNimbleBlockDrawableOverrule* overrule = KxGiNimbleBlockDrawableOverrule::instance();
    return overrule != nullptr ? overrule->eraseFromReferenceBlock(image, entity)
                               : Acad::eNotApplicable;
}

}  // namespace kxdrag
