#include "host/entities/annotative.h"

#include "host/db/blocktablerecord.h"
#include "host/entities/blockref.h"

ACRX_DEFINE_MEMBERS(AcDbAnnotativeObjectPE)

namespace kxhost {
namespace detail {

void attachAnnotativePE(AcRxClass* target) {
    // The classes that carry the extension register in other translation units, in an order the
    // build decides: whichever comes first registers the protocol class.
    if (AcDbAnnotativeObjectPE::desc() == nullptr) {
        AcDbAnnotativeObjectPE::descCache() =
            newAcRxClass(L"AcDbAnnotativeObjectPE", L"AcRxObject");
    }
    AcRxClass* protocol = AcDbAnnotativeObjectPE::desc();
    if (target == nullptr || protocol == nullptr || target->getX(protocol) != nullptr) {
        return;
    }
    // One object per class: a class deletes its extensions when it goes.
    target->addX(protocol, new AcDbAnnotativeObjectPE());
}

}  // namespace detail
}  // namespace kxhost

bool AcDbAnnotativeObjectPE::annotative(AcDbObject* pObject) const {
    if (const auto* block = AcDbBlockTableRecord::cast(pObject)) {
        return block->isAnnotative();
    }
    if (const auto* ref = AcDbBlockReference::cast(pObject)) {
        return kxhost::isBlockAnnotative(kxhost::referencedBlock(ref));
    }
    return false;
}

Acad::ErrorStatus AcDbAnnotativeObjectPE::setAnnotative(AcDbObject* pObject,
                                                        const bool bAnnotative) {
    if (pObject == nullptr) {
        return Acad::eNullObjectPointer;
    }
    if (auto* block = AcDbBlockTableRecord::cast(pObject)) {
        return block->setAnnotative(bAnnotative);
    }
    return Acad::eNotApplicable;
}
