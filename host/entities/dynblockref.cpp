#include "host/entities/dynblockref.h"

#include <set>

#include "host/db/objectstate.h"
#include "host/entities/blockref.h"

namespace {
std::set<AcDbObjectId>& marked() {
    static std::set<AcDbObjectId> s;
    return s;
}
}  // namespace

namespace kxhost {
void markHostDynamicBlock(const AcDbObjectId& blockTableRecordId, bool dynamic) {
    if (dynamic) {
        marked().insert(blockTableRecordId);
    } else {
        marked().erase(blockTableRecordId);
    }
}
}  // namespace kxhost

AcDbDynBlockReference::AcDbDynBlockReference(const AcDbObjectId& blockRefId) : m_ref(blockRefId) {
    const auto* ref = AcDbBlockReference::cast(kxhost::detail::residentObject(blockRefId));
    m_block = kxhost::referencedBlock(ref);
}

AcDbDynBlockReference::AcDbDynBlockReference(AcDbBlockReference* blockRef)
    : m_ref(blockRef != nullptr ? blockRef->objectId() : AcDbObjectId::kNull),
      m_block(kxhost::referencedBlock(blockRef)) {}

AcDbDynBlockReference::~AcDbDynBlockReference() = default;

bool AcDbDynBlockReference::isDynamicBlock(const AcDbObjectId& blockTableRecordId) {
    return !blockTableRecordId.isNull() && marked().count(blockTableRecordId) != 0;
}

bool AcDbDynBlockReference::isDynamicBlock() const {
    return isDynamicBlock(m_block);
}

AcDbObjectId AcDbDynBlockReference::blockId() const {
    return m_ref;
}

AcDbObjectId AcDbDynBlockReference::dynamicBlockTableRecord() const {
    return m_block;
}

AcDbObjectId AcDbDynBlockReference::anonymousBlockTableRecord() const {
    return AcDbObjectId::kNull;
}
