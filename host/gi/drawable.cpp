#include "host/gi/drawable.h"

ACRX_HOST_CLASS(AcGiDrawable, AcRxObject);
ACRX_HOST_CLASS(AcGiDrawableOverrule, AcRxOverrule);

namespace {
AcGiDrawableOverrule* first(const AcGiDrawable* d) {
    return static_cast<AcGiDrawableOverrule*>(
        kxhost::firstOverrule(d, AcGiDrawableOverrule::desc()));
}
AcGiDrawableOverrule* after(const AcGiDrawable* d, const AcGiDrawableOverrule* o) {
    return static_cast<AcGiDrawableOverrule*>(
        kxhost::nextOverrule(d, AcGiDrawableOverrule::desc(), o));
}
}  // namespace

bool AcGiDrawable::worldDraw(AcGiWorldDraw* wd) {
    if (AcGiDrawableOverrule* o = first(this)) {
        return o->worldDraw(this, wd);
    }
    return subWorldDraw(wd);
}

void AcGiDrawable::viewportDraw(AcGiViewportDraw* vd) {
    if (AcGiDrawableOverrule* o = first(this)) {
        o->viewportDraw(this, vd);
        return;
    }
    subViewportDraw(vd);
}

Adesk::UInt32 AcGiDrawable::setAttributes(AcGiDrawableTraits* traits) {
    if (AcGiDrawableOverrule* o = first(this)) {
        return o->setAttributes(this, traits);
    }
    return subSetAttributes(traits);
}

bool AcGiDrawableOverrule::worldDraw(AcGiDrawable* pSubject, AcGiWorldDraw* wd) {
    if (pSubject == nullptr) {
        return false;
    }
    if (AcGiDrawableOverrule* next = after(pSubject, this)) {
        return next->worldDraw(pSubject, wd);
    }
    return pSubject->subWorldDraw(wd);
}

void AcGiDrawableOverrule::viewportDraw(AcGiDrawable* pSubject, AcGiViewportDraw* vd) {
    if (pSubject == nullptr) {
        return;
    }
    if (AcGiDrawableOverrule* next = after(pSubject, this)) {
        next->viewportDraw(pSubject, vd);
        return;
    }
    pSubject->subViewportDraw(vd);
}

Adesk::UInt32 AcGiDrawableOverrule::setAttributes(AcGiDrawable* pSubject,
                                                  AcGiDrawableTraits* traits) {
    if (pSubject == nullptr) {
        return 0;
    }
    if (AcGiDrawableOverrule* next = after(pSubject, this)) {
        return next->setAttributes(pSubject, traits);
    }
    return pSubject->subSetAttributes(traits);
}
