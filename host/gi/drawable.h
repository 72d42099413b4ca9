// Drawables: what the graphics system draws, and the overrules that take over their drawing.
#pragma once

#include "host/core/types.h"
#include "host/rx/overrule.h"

class AcGiWorldDraw;
class AcGiViewportDraw;
class AcGiDrawableTraits;

class AcGiDrawable : public AcRxObject {
  public:
    ACRX_DECLARE_MEMBERS(AcGiDrawable);

    // Entry points the graphics system calls: they go through the drawable overrules applicable
    // to this object, the last of which reaches the drawable's own subWorldDraw/…
    bool worldDraw(AcGiWorldDraw* wd);
    void viewportDraw(AcGiViewportDraw* vd);
    Adesk::UInt32 setAttributes(AcGiDrawableTraits* traits);

    // The drawable's own behaviour.
    virtual bool subWorldDraw(AcGiWorldDraw* wd) { return true; }
    virtual void subViewportDraw(AcGiViewportDraw* vd) {}
    virtual Adesk::UInt32 subSetAttributes(AcGiDrawableTraits* traits) { return 0; }
};

class AcGiDrawableOverrule : public AcRxOverrule {
  public:
    ACRX_DECLARE_MEMBERS(AcGiDrawableOverrule);

    // Base implementations pass the call to the next applicable drawable overrule, and after the
    // last one to the drawable itself.
    virtual bool worldDraw(AcGiDrawable* pSubject, AcGiWorldDraw* wd);
    virtual void viewportDraw(AcGiDrawable* pSubject, AcGiViewportDraw* vd);
    virtual Adesk::UInt32 setAttributes(AcGiDrawable* pSubject, AcGiDrawableTraits* traits);
};
