#include "host/db/symboltable.h"

#include "host/db/database.h"
#include "host/db/dwgfiler.h"
#include "host/db/dxffiler.h"
#include "host/db/objectstate.h"
#include "host/db/regapp.h"

ACRX_HOST_CLASS(AcDbSymbolTableRecord, AcDbObject);
ACRX_HOST_CLASS(AcDbSymbolTable, AcDbObject);
ACRX_HOST_CLASS(AcDbSymbolTableIterator, AcRxObject);

namespace {

bool dropsErased(AcDb::FilerType type) {
    return type == AcDb::kFileFiler || type == AcDb::kDeepCloneFiler ||
           type == AcDb::kWblockCloneFiler;
}

const AcDbSymbolTable* owningTable(const AcDbSymbolTableRecord* record) {
    return AcDbSymbolTable::cast(kxhost::detail::residentObject(record->ownerId()));
}

}  // namespace

namespace kxhost {
namespace detail {

Acad::ErrorStatus readIdList(AcDbDwgFiler* filer, AcDbObjectIdArray& ids, bool hardOwnership) {
    Adesk::Int32 n = 0;
    Acad::ErrorStatus es = readCount(filer, n);
    if (es != Acad::eOk) {
        return es;
    }
    AcDbObjectIdArray read;
    for (Adesk::Int32 i = 0; i < n; ++i) {
        AcDbObjectId id;
        if (hardOwnership) {
            AcDbHardOwnershipId owned;
            es = filer->readHardOwnershipId(&owned);
            id = owned;
        } else {
            AcDbSoftPointerId pointer;
            es = filer->readSoftPointerId(&pointer);
            id = pointer;
        }
        if (es != Acad::eOk) {
            return es;
        }
        read.append(id);
    }
    ids = read;
    return Acad::eOk;
}

}  // namespace detail
}  // namespace kxhost

// --- Record -------------------------------------------------------------------------------------

AcDbSymbolTableRecord::AcDbSymbolTableRecord() = default;
AcDbSymbolTableRecord::~AcDbSymbolTableRecord() = default;

bool AcDbSymbolTableRecord::acceptsName(const ACHAR* name) const {
    return kxhost::isValidSymbolName(name);
}

Acad::ErrorStatus AcDbSymbolTableRecord::setName(const ACHAR* name) {
    if (!isWriteEnabled()) {
        return Acad::eNotOpenForWrite;
    }
    if (!acceptsName(name)) {
        return Acad::eInvalidSymbolTableName;
    }
    const AcDbSymbolTable* table = owningTable(this);
    if (table != nullptr && database() != nullptr &&
        !table->findRecord(name, false, objectId()).isNull()) {
        return Acad::eDuplicateRecordName;
    }
    m_name = AcString(name);
    assertWriteEnabled(false, true);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbSymbolTableRecord::getName(AcString& name) const {
    assertReadEnabled();
    name = m_name;
    return Acad::eOk;
}

Acad::ErrorStatus AcDbSymbolTableRecord::getName(const ACHAR*& name) const {
    assertReadEnabled();
    name = m_name.kwszPtr();
    return Acad::eOk;
}

Acad::ErrorStatus AcDbSymbolTableRecord::dwgOutFields(AcDbDwgFiler* filer) const {
    Acad::ErrorStatus es = AcDbObject::dwgOutFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    filer->writeString(m_name);
    return filer->filerStatus();
}

Acad::ErrorStatus AcDbSymbolTableRecord::dwgInFields(AcDbDwgFiler* filer) {
    Acad::ErrorStatus es = AcDbObject::dwgInFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    AcString name;
    if ((es = filer->readString(name)) != Acad::eOk) {
        return es;
    }
    m_name = name;
    return filer->filerStatus();
}

Acad::ErrorStatus AcDbSymbolTableRecord::dxfOutFields(AcDbDxfFiler* filer) const {
    Acad::ErrorStatus es = AcDbObject::dxfOutFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    filer->writeString(100, L"AcDbSymbolTableRecord");
    return filer->filerStatus();
}

Acad::ErrorStatus AcDbSymbolTableRecord::dxfInFields(AcDbDxfFiler* filer) {
    Acad::ErrorStatus es = AcDbObject::dxfInFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    if (!filer->atSubclassData(L"AcDbSymbolTableRecord")) {
        return filer->filerStatus() != Acad::eOk ? filer->filerStatus() : Acad::eBadDxfSequence;
    }
    return filer->filerStatus();
}

// --- Table --------------------------------------------------------------------------------------

AcDbSymbolTable::AcDbSymbolTable() = default;
AcDbSymbolTable::~AcDbSymbolTable() = default;

bool AcDbSymbolTable::isValidName(const ACHAR* name) const {
    return kxhost::isValidSymbolName(name);
}

AcDbObjectId AcDbSymbolTable::findRecord(const ACHAR* name, bool includeErased,
                                         const AcDbObjectId& except) const {
    if (name == nullptr) {
        return AcDbObjectId::kNull;
    }
    // The table keeps ids only and reads names from the records themselves, so a record renamed
    // after it was added is found under its new name.
    for (const AcDbObjectId& id : m_records) {
        const auto* rec = AcDbSymbolTableRecord::cast(kxhost::detail::residentObject(id));
        if (rec == nullptr || id == except || (!includeErased && rec->isErased())) {
            continue;
        }
        if (acCompareNoCase(rec->name(), name) == 0) {
            return id;
        }
    }
    return AcDbObjectId::kNull;
}

bool AcDbSymbolTable::has(const ACHAR* name) const {
    assertReadEnabled();
    return !findRecord(name, false).isNull();
}

bool AcDbSymbolTable::has(AcDbObjectId id) const {
    assertReadEnabled();
    return !id.isNull() && m_records.contains(id) && id.isValid() && !id.isErased();
}

Acad::ErrorStatus AcDbSymbolTable::getAt(const ACHAR* name, AcDbObjectId& id,
                                         bool getErased) const {
    assertReadEnabled();
    id = findRecord(name, getErased);
    return id.isNull() ? Acad::eKeyNotFound : Acad::eOk;
}

int AcDbSymbolTable::numEntries() const {
    assertReadEnabled();
    int n = 0;
    for (const AcDbObjectId& id : m_records) {
        if (id.isValid() && !id.isErased()) {
            ++n;
        }
    }
    return n;
}

AcDbSymbolTableIterator* AcDbSymbolTable::makeIterator() const {
    return new AcDbSymbolTableIterator(m_records);
}

Acad::ErrorStatus AcDbSymbolTable::newIterator(AcDbSymbolTableIterator*& iterator, bool atBeginning,
                                               bool skipDeleted) const {
    assertReadEnabled();
    iterator = makeIterator();
    if (iterator == nullptr) {
        return Acad::eOutOfMemory;
    }
    iterator->start(atBeginning, skipDeleted);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbSymbolTable::add(AcDbSymbolTableRecord* record) {
    AcDbObjectId ignored;
    return add(ignored, record);
}

Acad::ErrorStatus AcDbSymbolTable::add(AcDbObjectId& id, AcDbSymbolTableRecord* record) {
    id.setNull();
    if (!isWriteEnabled()) {
        return Acad::eNotOpenForWrite;
    }
    if (record == nullptr) {
        return Acad::eNullObjectPointer;
    }
    AcDbDatabase* db = database();
    if (db == nullptr) {
        return Acad::eNoDatabase;
    }
    if (!acceptsRecord(record)) {
        return Acad::eWrongObjectType;
    }
    if (record->database() != nullptr && record->database() != db) {
        return Acad::eWrongDatabase;
    }
    if (record->database() != nullptr && m_records.contains(record->objectId())) {
        id = record->objectId();
        return Acad::eAlreadyInDb;
    }
    Acad::ErrorStatus es = prepareRecord(record);
    if (es != Acad::eOk) {
        return es;
    }
    if (!isValidName(record->name())) {
        return Acad::eInvalidSymbolTableName;
    }
    if (!findRecord(record->name(), false, record->objectId()).isNull()) {
        return Acad::eDuplicateRecordName;
    }
    if (record->database() == nullptr) {
        record->setOwnerId(objectId());
        AcDbObjectId added;
        if ((es = db->addAcDbObject(added, record)) != Acad::eOk) {
            record->setOwnerId(AcDbObjectId::kNull);
            return es;
        }
    } else if ((es = record->setOwnerId(objectId())) != Acad::eOk) {
        return es;
    }
    m_records.append(record->objectId());
    id = record->objectId();
    assertWriteEnabled(false, true);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbSymbolTable::subErase(Adesk::Boolean erasing) {
    for (const AcDbObjectId& id : m_records) {
        AcDbObject* rec = nullptr;
        if (id.isValid() && id.isErased() != erasing &&
            acdbOpenAcDbObject(rec, id, AcDb::kForWrite, true) == Acad::eOk) {
            rec->erase(erasing);
            rec->close();
        }
    }
    return Acad::eOk;
}

Acad::ErrorStatus AcDbSymbolTable::dwgOutFields(AcDbDwgFiler* filer) const {
    Acad::ErrorStatus es = AcDbObject::dwgOutFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    const AcDb::FilerType type = filer->filerType();
    AcDbObjectIdArray filed;
    // A copy cannot own the table's records.
    if (type != AcDb::kCopyFiler) {
        for (const AcDbObjectId& id : m_records) {
            if (!(dropsErased(type) && id.isErased())) {
                filed.append(id);
            }
        }
    }
    filer->writeInt32(filed.length());
    for (const AcDbObjectId& id : filed) {
        filer->writeHardOwnershipId(id);
    }
    return filer->filerStatus();
}

Acad::ErrorStatus AcDbSymbolTable::dwgInFields(AcDbDwgFiler* filer) {
    Acad::ErrorStatus es = AcDbObject::dwgInFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    AcDbObjectIdArray read;
    if ((es = kxhost::detail::readIdList(filer, read, true)) != Acad::eOk) {
        return es;
    }
    const AcDb::FilerType type = filer->filerType();
    if (type != AcDb::kCopyFiler && type != AcDb::kDeepCloneFiler &&
        type != AcDb::kWblockCloneFiler) {
        m_records = read;
    }
    return filer->filerStatus();
}

Acad::ErrorStatus AcDbSymbolTable::dxfOutFields(AcDbDxfFiler* filer) const {
    Acad::ErrorStatus es = AcDbObject::dxfOutFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    filer->writeString(100, L"AcDbSymbolTable");
    filer->writeInt16(70, static_cast<Adesk::Int16>(numEntries()));
    return filer->filerStatus();
}

Acad::ErrorStatus AcDbSymbolTable::dxfInFields(AcDbDxfFiler* filer) {
    Acad::ErrorStatus es = AcDbObject::dxfInFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    if (!filer->atSubclassData(L"AcDbSymbolTable")) {
        return filer->filerStatus() != Acad::eOk ? filer->filerStatus() : Acad::eBadDxfSequence;
    }
    // The count is advisory: the records follow as entries of their own.
    resbuf item{};
    es = filer->readItem(&item);
    if (es == Acad::eOk && item.restype != 70) {
        kxhost::detail::releaseItemValue(item);
        filer->pushBackItem();
    } else if (es != Acad::eOk && es != Acad::eEndOfFile) {
        return es;
    }
    return filer->filerStatus();
}

// --- Iterator -----------------------------------------------------------------------------------

AcDbSymbolTableIterator::AcDbSymbolTableIterator(const AcDbObjectIdArray& ids) : m_ids(ids) {}
AcDbSymbolTableIterator::~AcDbSymbolTableIterator() = default;

void AcDbSymbolTableIterator::skipErased(bool forward) {
    while (!done() && (!m_ids[m_pos].isValid() || m_ids[m_pos].isErased())) {
        m_pos += forward ? 1 : -1;
    }
}

void AcDbSymbolTableIterator::start(bool atBeginning, bool skipDeleted) {
    m_pos = atBeginning ? 0 : m_ids.length() - 1;
    if (skipDeleted) {
        skipErased(atBeginning);
    }
}

bool AcDbSymbolTableIterator::done() const {
    return m_pos < 0 || m_pos >= m_ids.length();
}

void AcDbSymbolTableIterator::step(bool forward, bool skipDeleted) {
    if (done()) {
        return;
    }
    m_pos += forward ? 1 : -1;
    if (skipDeleted) {
        skipErased(forward);
    }
}

AcDbObjectId AcDbSymbolTableIterator::current() const {
    return done() ? AcDbObjectId::kNull : m_ids[m_pos];
}

Acad::ErrorStatus AcDbSymbolTableIterator::getRecordId(AcDbObjectId& id) const {
    id = current();
    return id.isNull() ? Acad::eInvalidIndex : Acad::eOk;
}

Acad::ErrorStatus AcDbSymbolTableIterator::getRecord(AcDbSymbolTableRecord*& record,
                                                     AcDb::OpenMode mode, bool openErased) const {
    record = nullptr;
    const AcDbObjectId id = current();
    if (id.isNull()) {
        return Acad::eInvalidIndex;
    }
    return acdbOpenObject(record, id, mode, openErased);
}

Acad::ErrorStatus AcDbSymbolTableIterator::seek(AcDbObjectId id) {
    int at = -1;
    if (id.isNull() || !m_ids.find(id, at)) {
        return Acad::eKeyNotFound;
    }
    m_pos = at;
    return Acad::eOk;
}
