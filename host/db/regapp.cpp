#include "host/db/regapp.h"

#include <cwchar>

#include "host/db/database.h"
#include "host/db/dwgfiler.h"
#include "host/db/dxffiler.h"
#include "host/db/objectstate.h"

ACRX_HOST_DXF_CLASS(AcDbRegAppTable, AcDbObject, "TABLE");
ACRX_HOST_DXF_CLASS(AcDbRegAppTableRecord, AcDbObject, "APPID");

namespace {

// The table keeps ids only and reads names from the records themselves, so a record renamed
// after it was added is found under its new name.
const AcDbRegAppTableRecord* peekRecord(const AcDbObjectId& id) {
    return AcDbRegAppTableRecord::cast(kxhost::detail::residentObject(id));
}

AcDbObjectId findRecord(const AcDbObjectIdArray& ids, const ACHAR* name, bool includeErased,
                        const AcDbObjectId& except = AcDbObjectId::kNull) {
    if (name == nullptr) {
        return AcDbObjectId::kNull;
    }
    for (const AcDbObjectId& id : ids) {
        const AcDbRegAppTableRecord* rec = peekRecord(id);
        if (rec == nullptr || id == except || (!includeErased && rec->isErased())) {
            continue;
        }
        if (acCompareNoCase(rec->name(), name) == 0) {
            return id;
        }
    }
    return AcDbObjectId::kNull;
}

}  // namespace

namespace kxhost {

bool isValidSymbolName(const ACHAR* name) {
    if (name == nullptr || *name == 0) {
        return false;
    }
    const size_t n = std::wcslen(name);
    if (name[0] == L' ' || name[n - 1] == L' ') {
        return false;
    }
    for (const ACHAR* p = name; *p != 0; ++p) {
        if (std::wcschr(L"<>/\\\":;?*|,=`", *p) != nullptr || *p < 0x20) {
            return false;
        }
    }
    return true;
}

Acad::ErrorStatus ensureRegApp(AcDbDatabase* db, const ACHAR* name) {
    if (db == nullptr) {
        return Acad::eNoDatabase;
    }
    if (db->regAppTableId().isNull()) {
        return Acad::eMissingSymbolTable;
    }
    // Looking needs no open: only adding does, and only then can it be refused.
    const auto* peek = AcDbRegAppTable::cast(detail::residentObject(db->regAppTableId()));
    if (peek == nullptr) {
        return Acad::eMissingSymbolTable;
    }
    if (!findRecord(peek->recordIds(), name, false).isNull()) {
        return Acad::eOk;
    }
    if (!isValidSymbolName(name)) {
        return Acad::eInvalidSymbolTableName;
    }
    AcDbRegAppTable* table = nullptr;
    Acad::ErrorStatus es = db->getRegAppTable(table, AcDb::kForWrite);
    if (es != Acad::eOk) {
        return es;
    }
    auto* rec = new AcDbRegAppTableRecord();
    if (rec == nullptr) {
        table->close();
        return Acad::eOutOfMemory;
    }
    es = rec->setName(name);
    if (es == Acad::eOk) {
        es = table->add(rec);
    }
    if (es == Acad::eOk) {
        rec->close();
    } else if (rec->database() == nullptr) {
        delete rec;
    }
    table->close();
    return es;
}

}  // namespace kxhost

// --- Table --------------------------------------------------------------------------------------

AcDbRegAppTable::AcDbRegAppTable() = default;
AcDbRegAppTable::~AcDbRegAppTable() = default;

bool AcDbRegAppTable::has(const ACHAR* name) const {
    assertReadEnabled();
    return !findRecord(m_records, name, false).isNull();
}

bool AcDbRegAppTable::has(AcDbObjectId id) const {
    assertReadEnabled();
    return !id.isNull() && m_records.contains(id) && id.isValid() && !id.isErased();
}

Acad::ErrorStatus AcDbRegAppTable::getAt(const ACHAR* name, AcDbObjectId& id,
                                         bool getErased) const {
    assertReadEnabled();
    id = findRecord(m_records, name, getErased);
    return id.isNull() ? Acad::eKeyNotFound : Acad::eOk;
}

Acad::ErrorStatus AcDbRegAppTable::getAt(const ACHAR* name, AcDbRegAppTableRecord*& record,
                                         AcDb::OpenMode mode, bool openErased) const {
    record = nullptr;
    AcDbObjectId id;
    const Acad::ErrorStatus es = getAt(name, id, openErased);
    return es != Acad::eOk ? es : acdbOpenObject(record, id, mode, openErased);
}

int AcDbRegAppTable::numEntries() const {
    assertReadEnabled();
    int n = 0;
    for (const AcDbObjectId& id : m_records) {
        if (id.isValid() && !id.isErased()) {
            ++n;
        }
    }
    return n;
}

Acad::ErrorStatus AcDbRegAppTable::add(AcDbRegAppTableRecord* record) {
    AcDbObjectId ignored;
    return add(ignored, record);
}

Acad::ErrorStatus AcDbRegAppTable::add(AcDbObjectId& id, AcDbRegAppTableRecord* record) {
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
    if (record->database() != nullptr && record->database() != db) {
        return Acad::eWrongDatabase;
    }
    if (record->database() != nullptr && m_records.contains(record->objectId())) {
        return Acad::eAlreadyInDb;
    }
    if (!kxhost::isValidSymbolName(record->name())) {
        return Acad::eInvalidSymbolTableName;
    }
    if (!findRecord(m_records, record->name(), false, record->objectId()).isNull()) {
        return Acad::eDuplicateRecordName;
    }
    Acad::ErrorStatus es = Acad::eOk;
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

Acad::ErrorStatus AcDbRegAppTable::dwgOutFields(AcDbDwgFiler* filer) const {
    Acad::ErrorStatus es = AcDbObject::dwgOutFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    AcDbObjectIdArray filed;
    const AcDb::FilerType type = filer->filerType();
    const bool dropErased = type == AcDb::kFileFiler || type == AcDb::kDeepCloneFiler ||
                            type == AcDb::kWblockCloneFiler;
    // A copy cannot own the table's records.
    if (type != AcDb::kCopyFiler) {
        for (const AcDbObjectId& id : m_records) {
            if (!(dropErased && id.isErased())) {
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

Acad::ErrorStatus AcDbRegAppTable::dwgInFields(AcDbDwgFiler* filer) {
    Acad::ErrorStatus es = AcDbObject::dwgInFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    Adesk::Int32 n = 0;
    if ((es = kxhost::detail::readCount(filer, n)) != Acad::eOk) {
        return es;
    }
    AcDbObjectIdArray read;
    for (Adesk::Int32 i = 0; i < n; ++i) {
        AcDbHardOwnershipId id;
        if ((es = filer->readHardOwnershipId(&id)) != Acad::eOk) {
            return es;
        }
        read.append(id);
    }
    m_records = read;
    return filer->filerStatus();
}

Acad::ErrorStatus AcDbRegAppTable::dxfOutFields(AcDbDxfFiler* filer) const {
    Acad::ErrorStatus es = AcDbObject::dxfOutFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    filer->writeString(100, L"AcDbSymbolTable");
    filer->writeInt16(70, static_cast<Adesk::Int16>(numEntries()));
    return filer->filerStatus();
}

Acad::ErrorStatus AcDbRegAppTable::dxfInFields(AcDbDxfFiler* filer) {
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

// --- Record -------------------------------------------------------------------------------------

AcDbRegAppTableRecord::AcDbRegAppTableRecord() = default;
AcDbRegAppTableRecord::~AcDbRegAppTableRecord() = default;

Acad::ErrorStatus AcDbRegAppTableRecord::setName(const ACHAR* name) {
    if (!isWriteEnabled()) {
        return Acad::eNotOpenForWrite;
    }
    if (!kxhost::isValidSymbolName(name)) {
        return Acad::eInvalidSymbolTableName;
    }
    const auto* table = AcDbRegAppTable::cast(kxhost::detail::residentObject(ownerId()));
    if (table != nullptr && database() != nullptr &&
        !findRecord(table->recordIds(), name, false, objectId()).isNull()) {
        return Acad::eDuplicateRecordName;
    }
    m_name = AcString(name);
    assertWriteEnabled(false, true);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbRegAppTableRecord::getName(AcString& name) const {
    assertReadEnabled();
    name = m_name;
    return Acad::eOk;
}

Acad::ErrorStatus AcDbRegAppTableRecord::dwgOutFields(AcDbDwgFiler* filer) const {
    Acad::ErrorStatus es = AcDbObject::dwgOutFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    filer->writeString(m_name);
    return filer->filerStatus();
}

Acad::ErrorStatus AcDbRegAppTableRecord::dwgInFields(AcDbDwgFiler* filer) {
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

Acad::ErrorStatus AcDbRegAppTableRecord::dxfOutFields(AcDbDxfFiler* filer) const {
    Acad::ErrorStatus es = AcDbObject::dxfOutFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    filer->writeString(100, L"AcDbSymbolTableRecord");
    filer->writeString(100, L"AcDbRegAppTableRecord");
    filer->writeString(2, m_name);
    filer->writeInt16(70, 0);
    return filer->filerStatus();
}

Acad::ErrorStatus AcDbRegAppTableRecord::dxfInFields(AcDbDxfFiler* filer) {
    Acad::ErrorStatus es = AcDbObject::dxfInFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    filer->atSubclassData(L"AcDbSymbolTableRecord");
    if (!filer->atSubclassData(L"AcDbRegAppTableRecord")) {
        return filer->filerStatus() != Acad::eOk ? filer->filerStatus() : Acad::eBadDxfSequence;
    }
    AcString name;
    for (;;) {
        resbuf item{};
        es = filer->readItem(&item);
        if (es == Acad::eEndOfFile) {
            break;
        }
        if (es != Acad::eOk) {
            return es;
        }
        if (item.restype == 2) {
            name = AcString(item.resval.rstring);
            kxhost::detail::releaseItemValue(item);
        } else if (item.restype != 70) {
            kxhost::detail::releaseItemValue(item);
            filer->pushBackItem();
            break;
        }
    }
    if (name.isEmpty()) {
        return Acad::eMissingDxfField;
    }
    m_name = name;
    return filer->filerStatus();
}
