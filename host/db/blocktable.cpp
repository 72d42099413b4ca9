#include "host/db/blocktable.h"

#include <cwchar>

#include "host/db/regapp.h"

ACRX_HOST_DXF_CLASS(AcDbBlockTable, AcDbSymbolTable, "TABLE");
ACRX_HOST_CLASS(AcDbBlockTableIterator, AcDbSymbolTableIterator);

namespace kxhost {

bool isAnonymousBlockPrefix(const ACHAR* name) {
    return name != nullptr && name[0] == L'*' && name[1] != 0 && name[2] == 0 &&
           std::wcschr(L"UDXETAudxeta", name[1]) != nullptr;
}

bool isValidBlockName(const ACHAR* name) {
    if (name == nullptr || *name == 0) {
        return false;
    }
    return isValidSymbolName(name[0] == L'*' ? name + 1 : name);
}

}  // namespace kxhost

AcDbBlockTable::AcDbBlockTable() = default;
AcDbBlockTable::~AcDbBlockTable() = default;

bool AcDbBlockTable::acceptsRecord(const AcDbSymbolTableRecord* record) const {
    return AcDbBlockTableRecord::cast(record) != nullptr;
}

bool AcDbBlockTable::isValidName(const ACHAR* name) const {
    return kxhost::isValidBlockName(name);
}

AcString AcDbBlockTable::uniqueAnonymousName(const ACHAR* prefix) const {
    const AcString base(prefix != nullptr ? prefix : L"*U");
    // The counter only ever grows, so names of erased blocks are not handed out again either.
    for (;;) {
        AcString candidate;
        candidate.format(L"%s%d", base.kwszPtr(), m_nextAnonymous++);
        if (findRecord(candidate, true).isNull()) {
            return candidate;
        }
    }
}

Acad::ErrorStatus AcDbBlockTable::prepareRecord(AcDbSymbolTableRecord* record) {
    const ACHAR* name = record->name();
    if (kxhost::isAnonymousBlockPrefix(name)) {
        return record->setName(uniqueAnonymousName(AcString(name)));
    }
    // Anonymous names mean nothing outside their drawing: a block that arrives from another one
    // (a copy between drawings) under a name taken here gets the next free one of its kind.
    if (kxhost::isAnonymousBlockName(name) &&
        !findRecord(name, true, record->objectId()).isNull()) {
        const ACHAR prefix[3] = {name[0], name[1], 0};
        return record->setName(uniqueAnonymousName(prefix));
    }
    return Acad::eOk;
}

AcDbSymbolTableIterator* AcDbBlockTable::makeIterator() const {
    return new AcDbBlockTableIterator(recordIds());
}

Acad::ErrorStatus AcDbBlockTable::add(AcDbBlockTableRecord* record) {
    return AcDbSymbolTable::add(record);
}

Acad::ErrorStatus AcDbBlockTable::add(AcDbObjectId& id, AcDbBlockTableRecord* record) {
    return AcDbSymbolTable::add(id, record);
}

Acad::ErrorStatus AcDbBlockTable::newIterator(AcDbBlockTableIterator*& iterator, bool atBeginning,
                                              bool skipDeleted) const {
    AcDbSymbolTableIterator* it = nullptr;
    const Acad::ErrorStatus es = AcDbSymbolTable::newIterator(it, atBeginning, skipDeleted);
    iterator = static_cast<AcDbBlockTableIterator*>(it);
    return es;
}

Acad::ErrorStatus AcDbBlockTableIterator::getRecord(AcDbBlockTableRecord*& record,
                                                    AcDb::OpenMode mode, bool openErased) const {
    record = nullptr;
    const AcDbObjectId id = current();
    if (id.isNull()) {
        return Acad::eInvalidIndex;
    }
    return acdbOpenObject(record, id, mode, openErased);
}
