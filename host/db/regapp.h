// The registered-application table: the names under which applications attach extended data to
// objects. Names compare without regard to case.
#pragma once

#include "host/db/dbobject.h"

class AcDbRegAppTableRecord;

class AcDbRegAppTable : public AcDbObject {
  public:
    ACRX_DECLARE_MEMBERS(AcDbRegAppTable);

    AcDbRegAppTable();
    ~AcDbRegAppTable() override;

    // Lookups skip erased records unless asked for them. eKeyNotFound when the name is missing.
    bool has(const ACHAR* name) const;
    bool has(AcDbObjectId id) const;
    Acad::ErrorStatus getAt(const ACHAR* name, AcDbObjectId& id, bool getErased = false) const;
    Acad::ErrorStatus getAt(const ACHAR* name, AcDbRegAppTableRecord*& record, AcDb::OpenMode mode,
                            bool openErased = false) const;
    int numEntries() const;  // records that are not erased
    // The ids of the records, in the order they were added, erased ones included.
    AcDbObjectIdArray recordIds() const { return m_records; }

    // Needs the table write-enabled (eNotOpenForWrite) and resident (eNoDatabase). A
    // non-resident record is added to the table's database and comes back open for write (the
    // caller closes it). eNullObjectPointer for null, eInvalidSymbolTableName for a record
    // without a name, eDuplicateRecordName when a live record has the name already.
    Acad::ErrorStatus add(AcDbRegAppTableRecord* record);
    Acad::ErrorStatus add(AcDbObjectId& id, AcDbRegAppTableRecord* record);

    // Binary filing: the record count, then their ids as hard ownership ids. Text filing: the
    // subclass marker and the count (70); records are written by the file writer as entries.
    Acad::ErrorStatus dwgInFields(AcDbDwgFiler* filer) override;
    Acad::ErrorStatus dwgOutFields(AcDbDwgFiler* filer) const override;
    Acad::ErrorStatus dxfInFields(AcDbDxfFiler* filer) override;
    Acad::ErrorStatus dxfOutFields(AcDbDxfFiler* filer) const override;

  private:
    AcDbObjectIdArray m_records;
};

class AcDbRegAppTableRecord : public AcDbObject {
  public:
    ACRX_DECLARE_MEMBERS(AcDbRegAppTableRecord);

    AcDbRegAppTableRecord();
    ~AcDbRegAppTableRecord() override;

    // Needs write. eInvalidSymbolTableName for an empty name or one with any of <>/\":;?*|,=`
    // or leading or trailing spaces; eDuplicateRecordName when the record's table has another
    // live record of that name.
    Acad::ErrorStatus setName(const ACHAR* name);
    Acad::ErrorStatus getName(AcString& name) const;
    const ACHAR* name() const { return m_name.kwszPtr(); }

    Acad::ErrorStatus dwgInFields(AcDbDwgFiler* filer) override;
    Acad::ErrorStatus dwgOutFields(AcDbDwgFiler* filer) const override;
    Acad::ErrorStatus dxfInFields(AcDbDxfFiler* filer) override;
    Acad::ErrorStatus dxfOutFields(AcDbDxfFiler* filer) const override;

  private:
    AcString m_name;
};

namespace kxhost {
// True when the text is usable as a symbol name (see AcDbRegAppTableRecord::setName).
bool isValidSymbolName(const ACHAR* name);
// Registers the application name in the database's table unless it is there already.
// eNoDatabase for null, eMissingSymbolTable when the database has no table, and the statuses of
// opening the table and of the record's name.
Acad::ErrorStatus ensureRegApp(AcDbDatabase* db, const ACHAR* name);
}  // namespace kxhost
