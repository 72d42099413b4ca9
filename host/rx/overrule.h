// Overrules: objects that take over behaviour of the instances of a class. An overrule added to a
// class applies to the class and its descendants; the first applicable overrule of an object's
// chain handles a call, and an overrule's base implementation passes the call on to the next
// applicable overrule, and after the last to the object's own behaviour.
#pragma once

#include <vector>

#include "host/rx/rxobject.h"

class AcRxOverruleBase : public AcRxObject {
  public:
    ACRX_DECLARE_MEMBERS(AcRxOverruleBase);
};

class AcRxOverrule : public AcRxOverruleBase {
  public:
    ACRX_DECLARE_MEMBERS(AcRxOverrule);
    ~AcRxOverrule() override;

    virtual bool isApplicable(const AcRxObject* pOverruledSubject) const { return true; }

    // Adds the overrule to the class's chain, at the front unless bAddAtLast.
    static Acad::ErrorStatus addOverrule(AcRxClass* pClass, AcRxOverrule* pOverrule,
                                         bool bAddAtLast = false);
    static Acad::ErrorStatus removeOverrule(AcRxClass* pClass, AcRxOverrule* pOverrule);
    static void setIsOverruling(bool bIsOverruling);
    static bool isOverruling();
    // True when an overrule of the given kind applies to the object.
    static bool hasOverrule(const AcRxObject* pSubject, const AcRxClass* pOverruleClass);
};

namespace kxhost {
// The first overrule of the given kind that applies to the object (null when overruling is off
// or none applies).
AcRxOverrule* firstOverrule(const AcRxObject* subject, const AcRxClass* overruleKind);
// The applicable overrule of the given kind that comes after `current` in the object's chain.
AcRxOverrule* nextOverrule(const AcRxObject* subject, const AcRxClass* overruleKind,
                           const AcRxOverrule* current);
// Number of overrules registered on a class (all kinds), and in all.
int overruleCount(const AcRxClass* cls);
int overruleCount();
}  // namespace kxhost
