// The drawing database: the table of its objects (ids, handles and the handle seed), the named
// objects dictionary and the registered-application table every drawing has, database reactors,
// the header values the stand-in keeps, and the working-database service.
#pragma once

#include <map>
#include <vector>

#include "host/db/dbobject.h"
#include "host/ge/matrix3d.h"
#include "host/ge/point3d.h"
#include "host/ge/vector3d.h"
#include "host/rx/rxobject.h"

class AcDbDatabase;
class AcDbDictionary;
class AcDbRegAppTable;
class AcDbBlockTable;
class AcDbLayerTable;
class AcDbIdMapping;

class AcDbDatabaseReactor : public AcRxObject {
  public:
    ACRX_DECLARE_MEMBERS(AcDbDatabaseReactor);
    virtual void objectAppended(const AcDbDatabase* db, const AcDbObject* obj) {}
    virtual void objectModified(const AcDbDatabase* db, const AcDbObject* obj) {}
    virtual void objectErased(const AcDbDatabase* db, const AcDbObject* obj,
                              Adesk::Boolean erasing) {}
    // The database is being destroyed: the last notification its reactors get.
    virtual void goodbye(const AcDbDatabase* db) {}
};

// Objects are kept in one generic table, so symbol tables, block records and entities join it
// the same way the dictionaries do.
class AcDbDatabase : public AcRxObject {
  public:
    ACRX_DECLARE_MEMBERS(AcDbDatabase);

    // Every database has a named objects dictionary and a registered-application table;
    // buildDefaultDrawing also registers the host's own application name "ACAD". A database made
    // for a document (noDocument false) becomes the working database when there is none.
    explicit AcDbDatabase(bool buildDefaultDrawing = true, bool noDocument = false);
    // Sends goodbye to the database reactors (they may remove themselves meanwhile), then
    // goodbye to the reactors of each object, then deletes every object, open or not; their ids
    // stop resolving.
    ~AcDbDatabase() override;
    AcDbDatabase(const AcDbDatabase&) = delete;
    AcDbDatabase& operator=(const AcDbDatabase&) = delete;

    // Adds a new object: it gets a fresh id and the next handle from the seed, or keeps the
    // handle assigned with kxhost::assignHandle (eHandleInUse when an object has it already).
    // The object comes back resident and open for write; the caller closes it. eAlreadyInDb when
    // it is in this database, eWrongDatabase when in another, eNullObjectPointer for null.
    Acad::ErrorStatus addAcDbObject(AcDbObjectId& id, AcDbObject* obj);
    Acad::ErrorStatus addAcDbObject(AcDbObject* obj) {
        AcDbObjectId ignored;
        return addAcDbObject(ignored, obj);
    }
    // The id of the object with the handle. Unknown handles answer eUnknownHandle, or with
    // createIfNotFound get an id reserved for an object that is added later with that handle
    // (forward references of the file reader). eNullHandle for the null handle.
    Acad::ErrorStatus getAcDbObjectId(AcDbObjectId& id, bool createIfNotFound,
                                      const AcDbHandle& handle, Adesk::UInt32 xRefId = 0);
    // The next handle to be given out; always above every handle in use.
    AcDbHandle handseed() const { return AcDbHandle(m_seed); }
    // Moves the seed (the file reader restores it); eInvalidInput when that would put it at or
    // below a handle in use, or at the null handle.
    Acad::ErrorStatus setHandseed(const AcDbHandle& seed);

    AcDbObjectId namedObjectsDictionaryId() const { return m_namedObjects; }
    Acad::ErrorStatus getNamedObjectsDictionary(AcDbDictionary*& dict, AcDb::OpenMode mode) const;
    AcDbObjectId regAppTableId() const { return m_regApps; }
    Acad::ErrorStatus getRegAppTable(AcDbRegAppTable*& table, AcDb::OpenMode mode) const;
    Acad::ErrorStatus getSymbolTable(AcDbRegAppTable*& table, AcDb::OpenMode mode) const {
        return getRegAppTable(table, mode);
    }

    // The drawing's block table (with the model and paper space blocks) and layer table (with
    // layer "0"). A default drawing makes them when they are first asked for, so a database
    // that never draws anything holds only its dictionary and application table; a database
    // made without the default drawing has none until the file reader installs them
    // (kxhost::setSymbolTables). Opening a missing table answers eMissingSymbolTable.
    AcDbObjectId blockTableId() const;
    Acad::ErrorStatus getBlockTable(AcDbBlockTable*& table, AcDb::OpenMode mode) const;
    Acad::ErrorStatus getSymbolTable(AcDbBlockTable*& table, AcDb::OpenMode mode) const {
        return getBlockTable(table, mode);
    }
    AcDbObjectId layerTableId() const;
    Acad::ErrorStatus getLayerTable(AcDbLayerTable*& table, AcDb::OpenMode mode) const;
    Acad::ErrorStatus getSymbolTable(AcDbLayerTable*& table, AcDb::OpenMode mode) const {
        return getLayerTable(table, mode);
    }
    // Layer "0" and the model space block (null ids when the tables lack them).
    AcDbObjectId layerZero() const;
    AcDbObjectId modelSpaceId() const;
    AcDbObjectId currentSpaceId() const { return modelSpaceId(); }

    // The database does not own its reactors. Adding one twice keeps one entry.
    void addReactor(AcDbDatabaseReactor* reactor) const;
    void removeReactor(AcDbDatabaseReactor* reactor) const;
    int numReactors() const { return static_cast<int>(m_reactors.size()); }

    // Header values. Setters refuse values outside the host's ranges with eInvalidInput.
    Adesk::Int16 attmode() const { return m_attmode; }  // 0 off, 1 normal, 2 all
    Acad::ErrorStatus setAttmode(Adesk::Int16 value);
    bool fillmode() const { return m_fillmode; }
    Acad::ErrorStatus setFillmode(bool value);
    Adesk::Int16 auprec() const { return m_auprec; }  // 0..8
    Acad::ErrorStatus setAuprec(Adesk::Int16 value);
    Adesk::Int16 aunits() const { return m_aunits; }  // 0..4
    Acad::ErrorStatus setAunits(Adesk::Int16 value);
    Adesk::Int16 luprec() const { return m_luprec; }  // 0..8
    Acad::ErrorStatus setLuprec(Adesk::Int16 value);
    Adesk::Int16 lunits() const { return m_lunits; }  // 1..5
    Acad::ErrorStatus setLunits(Adesk::Int16 value);
    // The current user coordinate system: origin and unit X and Y axes (world by default).
    // setUcs refuses axes that are zero or not perpendicular with eInvalidInput; the axes are
    // kept normalised.
    AcGePoint3d ucsorg() const { return m_ucsOrigin; }
    AcGeVector3d ucsxdir() const { return m_ucsX; }
    AcGeVector3d ucsydir() const { return m_ucsY; }
    Acad::ErrorStatus setUcs(const AcGePoint3d& origin, const AcGeVector3d& xAxis,
                             const AcGeVector3d& yAxis);
    Acad::ErrorStatus setUcsorg(const AcGePoint3d& origin);

    // Cloning (see host/db/clone.h): the objects, all of this database, are cloned for the owner,
    // which may be of another database, with the event reactors told. deepCloneObjects runs in
    // context kDcObjects and wblockCloneObjects in kDcWblkObjects unless the map has a context
    // already. eWrongDatabase for an object of another database.
    Acad::ErrorStatus deepCloneObjects(const AcDbObjectIdArray& ids, const AcDbObjectId& ownerId,
                                       AcDbIdMapping& idMap, bool deferXlation = false);
    Acad::ErrorStatus wblockCloneObjects(const AcDbObjectIdArray& ids,
                                         const AcDbObjectId& ownerInDest, AcDbIdMapping& idMap,
                                         AcDb::DuplicateRecordCloning drc,
                                         bool deferXlation = false);

    bool isBeingDestroyed() const { return m_dying; }

    // Used by the host's object code; not for plug-ins.
    struct Access;

  private:
    friend struct Access;

    // Resident objects by raw id; handles (reserved ones too) to raw ids.
    std::map<Adesk::Int64, AcDbObject*> m_objects;
    std::map<Adesk::UInt64, Adesk::Int64> m_handles;
    Adesk::UInt64 m_seed = 1;
    mutable std::vector<AcDbDatabaseReactor*> m_reactors;
    AcDbObjectId m_namedObjects;
    AcDbObjectId m_regApps;
    mutable AcDbObjectId m_blockTable;
    mutable AcDbObjectId m_layerTable;
    bool m_defaultDrawing = false;
    mutable bool m_tablesMade = false;
    AcGePoint3d m_ucsOrigin;
    AcGeVector3d m_ucsX{1.0, 0.0, 0.0};
    AcGeVector3d m_ucsY{0.0, 1.0, 0.0};
    void makeDefaultTables() const;
    bool m_dying = false;
    Adesk::Int16 m_attmode = 1;
    bool m_fillmode = true;
    Adesk::Int16 m_auprec = 0;
    Adesk::Int16 m_aunits = 0;
    Adesk::Int16 m_luprec = 4;
    Adesk::Int16 m_lunits = 2;
};

// The host's application services. The working database is the one commands and plug-ins act on
// when they are not given one.
class AcDbHostApplicationServices : public AcRxObject {
  public:
    ACRX_DECLARE_MEMBERS(AcDbHostApplicationServices);
    AcDbDatabase* workingDatabase() const { return m_working; }
    void setWorkingDatabase(AcDbDatabase* db) { m_working = db; }
    // Whether grip glyphs take the user's grip colour ("grip colours are to be set"); on by
    // default.
    bool gripColorsEnabled() const { return m_gripColors; }
    void setGripColorsEnabled(bool enabled) { m_gripColors = enabled; }

  private:
    AcDbDatabase* m_working = nullptr;
    bool m_gripColors = true;
};

AcDbHostApplicationServices* acdbHostApplicationServices();

// The current UCS of the database (the working database when null) as a matrix from UCS to world
// coordinates; false when there is no database.
bool acdbUcsMatrix(AcGeMatrix3d& mat, AcDbDatabase* db = nullptr);

namespace kxhost {
// Number of objects in the database, erased ones included (reserved handles are not objects).
long objectCount(const AcDbDatabase* db);
// The ids of the database's objects in handle order, erased ones included.
AcDbObjectIdArray objectIds(const AcDbDatabase* db);
// Gives an object outside a database the handle it is to keep when added (the file reader uses
// it). eAlreadyInDb for a resident object, eNullObjectPointer for null, eInvalidInput for handles
// at or above 2^63 (the seed must stay above every handle); the null handle clears it.
Acad::ErrorStatus assignHandle(AcDbObject* obj, const AcDbHandle& handle);
// Installs the block and layer tables of a drawing read from a file (ids of resident tables of
// the database; a null id leaves that table alone). eWrongObjectType / eWrongDatabase otherwise.
Acad::ErrorStatus setSymbolTables(AcDbDatabase* db, const AcDbObjectId& blockTable,
                                  const AcDbObjectId& layerTable);
}  // namespace kxhost
