// Symbol tables: named records hard-owned by a table, with names that compare without regard to
// case. The block table and the layer table derive from these bases.
#pragma once

#include "host/db/dbobject.h"

class AcDbSymbolTableIterator;

class AcDbSymbolTableRecord : public AcDbObject {
  public:
    ACRX_DECLARE_MEMBERS(AcDbSymbolTableRecord);

    AcDbSymbolTableRecord();
    ~AcDbSymbolTableRecord() override;

    // Needs write. eInvalidSymbolTableName for a name the table does not accept (see
    // AcDbSymbolTable::isValidName), eDuplicateRecordName when the record's table has another
    // live record of that name.
    virtual Acad::ErrorStatus setName(const ACHAR* name);
    Acad::ErrorStatus getName(AcString& name) const;
    // The pointer stays valid until the name changes.
    Acad::ErrorStatus getName(const ACHAR*& name) const;
    // Host convenience: the name without an open-state assertion, for the tables' lookups.
    const ACHAR* name() const { return m_name.kwszPtr(); }

    bool isDependent() const { return false; }
    bool isResolved() const { return true; }

    // Binary filing: the name. Text filing: the "AcDbSymbolTableRecord" marker; the derived
    // class writes its marker, the name (2) and its flags (70).
    Acad::ErrorStatus dwgInFields(AcDbDwgFiler* filer) override;
    Acad::ErrorStatus dwgOutFields(AcDbDwgFiler* filer) const override;
    Acad::ErrorStatus dxfInFields(AcDbDxfFiler* filer) override;
    Acad::ErrorStatus dxfOutFields(AcDbDxfFiler* filer) const override;

  protected:
    // Whether this kind of record takes the name (before the table's duplicate check).
    virtual bool acceptsName(const ACHAR* name) const;
    // Sets the name without checks: for derived classes that settle the name themselves.
    void setNameRaw(const ACHAR* name) { m_name = AcString(name); }

  private:
    AcString m_name;
};

class AcDbSymbolTable : public AcDbObject {
  public:
    ACRX_DECLARE_MEMBERS(AcDbSymbolTable);

    AcDbSymbolTable();
    ~AcDbSymbolTable() override;

    // Lookups skip erased records unless asked for them. eKeyNotFound when the name is missing.
    bool has(const ACHAR* name) const;
    bool has(AcDbObjectId id) const;
    Acad::ErrorStatus getAt(const ACHAR* name, AcDbObjectId& id, bool getErased = false) const;
    // Opens the record (the caller closes it); the typed form checks the class.
    template <class T>
    Acad::ErrorStatus getAt(const ACHAR* name, T*& record, AcDb::OpenMode mode,
                            bool openErased = false) const {
        record = nullptr;
        AcDbObjectId id;
        const Acad::ErrorStatus es = getAt(name, id, openErased);
        return es != Acad::eOk ? es : acdbOpenObject(record, id, mode, openErased);
    }
    int numEntries() const;  // records that are not erased
    // The ids of the records in the order they were added, erased ones included.
    AcDbObjectIdArray recordIds() const { return m_records; }

    // A walk over the records in the order they were added; the caller deletes it.
    Acad::ErrorStatus newIterator(AcDbSymbolTableIterator*& iterator, bool atBeginning = true,
                                  bool skipDeleted = true) const;

    // Needs the table write-enabled (eNotOpenForWrite) and resident (eNoDatabase). A
    // non-resident record is added to the table's database and comes back open for write (the
    // caller closes it). eNullObjectPointer for null, eWrongObjectType for a record of another
    // kind of table, eInvalidSymbolTableName for a name the table does not accept,
    // eDuplicateRecordName when a live record has the name already, eAlreadyInDb when the
    // record is in the table already, eWrongDatabase for a record of another database.
    Acad::ErrorStatus add(AcDbSymbolTableRecord* record);
    Acad::ErrorStatus add(AcDbObjectId& id, AcDbSymbolTableRecord* record);

    // Erasing a table erases its records.
    Acad::ErrorStatus subErase(Adesk::Boolean erasing) override;

    // Binary filing: the record count, then their ids as hard ownership ids (files and clones
    // leave erased records out; a copy owns no records). Text filing: the "AcDbSymbolTable"
    // marker and the count (70); records are written by the file writer as entries of their
    // own. A clone filed in through a deep-clone or wblock filer keeps no record list: the
    // cloned records are added to it one by one.
    Acad::ErrorStatus dwgInFields(AcDbDwgFiler* filer) override;
    Acad::ErrorStatus dwgOutFields(AcDbDwgFiler* filer) const override;
    Acad::ErrorStatus dxfInFields(AcDbDxfFiler* filer) override;
    Acad::ErrorStatus dxfOutFields(AcDbDxfFiler* filer) const override;

    // The live record of that name other than `except` (null id when none). No open needed.
    AcDbObjectId findRecord(const ACHAR* name, bool includeErased,
                            const AcDbObjectId& except = AcDbObjectId::kNull) const;

  protected:
    // Whether the record belongs in this kind of table.
    virtual bool acceptsRecord(const AcDbSymbolTableRecord* record) const { return true; }
    // Whether the table takes the name for a new record.
    virtual bool isValidName(const ACHAR* name) const;
    // Called by add() before the name checks: a table may settle the record's final name here
    // (the block table turns anonymous names into unique ones).
    virtual Acad::ErrorStatus prepareRecord(AcDbSymbolTableRecord* record) { return Acad::eOk; }
    // Makes a record iterator of the derived kind.
    virtual AcDbSymbolTableIterator* makeIterator() const;

  private:
    AcDbObjectIdArray m_records;
};

// Walks a table's records as they were when the iterator was made; erased flags are checked as
// the walk goes.
class AcDbSymbolTableIterator : public AcRxObject {
  public:
    ACRX_DECLARE_MEMBERS(AcDbSymbolTableIterator);

    explicit AcDbSymbolTableIterator(const AcDbObjectIdArray& ids = AcDbObjectIdArray());
    ~AcDbSymbolTableIterator() override;

    void start(bool atBeginning = true, bool skipDeleted = true);
    bool done() const;
    void step(bool forward = true, bool skipDeleted = true);
    Acad::ErrorStatus getRecordId(AcDbObjectId& id) const;
    Acad::ErrorStatus getRecord(AcDbSymbolTableRecord*& record, AcDb::OpenMode mode,
                                bool openErased = false) const;
    // Moves to the record; eKeyNotFound (and no move) when it is not in the walk.
    Acad::ErrorStatus seek(AcDbObjectId id);

  protected:
    AcDbObjectId current() const;

  private:
    void skipErased(bool forward);

    AcDbObjectIdArray m_ids;
    int m_pos = 0;
};

namespace kxhost {
namespace detail {
// Reads a table's record list: count and hard ownership ids.
Acad::ErrorStatus readIdList(AcDbDwgFiler* filer, AcDbObjectIdArray& ids, bool hardOwnership);
}  // namespace detail
}  // namespace kxhost
