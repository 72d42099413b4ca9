// The annotative protocol: whether an object scales with the annotation scale. The host answers
// it for block table records (a flag kept per block) and block references (their block's flag);
// the extension is attached to both classes, so references of derived classes (multi-inserts)
// find it through their parent.
#pragma once

#include "host/db/dbobject.h"

class AcDbAnnotativeObjectPE : public AcRxObject {
  public:
    ACRX_DECLARE_MEMBERS(AcDbAnnotativeObjectPE);

    // False for null and for objects the host keeps no flag for. The object is open (read) by
    // the caller.
    virtual bool annotative(AcDbObject* pObject) const;
    // Block table records only, open for write (eNotOpenForWrite); a reference follows its
    // block and other objects have no flag: eNotApplicable. eNullObjectPointer for null.
    virtual Acad::ErrorStatus setAnnotative(AcDbObject* pObject, const bool bAnnotative);
};

namespace kxhost {
namespace detail {
// Registers the protocol class when it is not registered yet and attaches an extension object
// of it to the class (once).
void attachAnnotativePE(AcRxClass* target);
}  // namespace detail
}  // namespace kxhost
