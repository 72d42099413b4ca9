#include "host/db/database.h"

#include <algorithm>
#include <memory>

#include "host/db/blocktable.h"
#include "host/db/dictionary.h"
#include "host/db/layer.h"
#include "host/db/layout.h"
#include "host/db/objectstate.h"
#include "host/db/regapp.h"
#include "host/rx/services.h"

ACRX_HOST_CLASS(AcDbDatabaseReactor, AcRxObject);
ACRX_HOST_CLASS(AcDbDatabase, AcRxObject);
ACRX_HOST_CLASS(AcDbHostApplicationServices, AcRxObject);

using kxhost::detail::IdEntry;

namespace {

// Ids start well above the handles a drawing uses, so a handle mistaken for an id is caught
// rather than resolving to some object by chance.
constexpr Adesk::Int64 kFirstId = 0x100000;
Adesk::Int64 g_nextId = kFirstId;

// The process-wide id table. Every open, close and id check resolves an id here, so it is an
// array indexed by the id rather than a hash: ids are handed out in sequence from kFirstId. The
// array is split into pages that exist only while one of their ids is registered, so the memory
// follows the live ids (plus one pointer per page of ids ever handed out).
class IdTable {
  public:
    const IdEntry* find(Adesk::Int64 raw) const {
        const Slot* slot = slotOf(raw);
        return slot != nullptr && slot->present ? &slot->entry : nullptr;
    }
    // Every id comes from newRawId(), so none is below kFirstId.
    void set(Adesk::Int64 raw, const IdEntry& entry) {
        if (raw < kFirstId) {
            return;
        }
        const auto index = static_cast<Adesk::UInt64>(raw - kFirstId);
        const size_t page = static_cast<size_t>(index >> kPageBits);
        if (page >= m_pages.size()) {
            m_pages.resize(page + 1);
        }
        if (!m_pages[page]) {
            m_pages[page].reset(new Page());
        }
        Page& p = *m_pages[page];
        Slot& slot = p.slots[index & kPageMask];
        if (!slot.present) {
            slot.present = true;
            ++p.live;
        }
        slot.entry = entry;
    }
    void erase(Adesk::Int64 raw) {
        Slot* slot = slotOf(raw);
        if (slot == nullptr || !slot->present) {
            return;
        }
        slot->present = false;
        slot->entry = IdEntry{};
        const size_t page =
            static_cast<size_t>(static_cast<Adesk::UInt64>(raw - kFirstId) >> kPageBits);
        if (--m_pages[page]->live == 0) {
            m_pages[page].reset();
        }
    }

  private:
    static constexpr int kPageBits = 12;
    static constexpr Adesk::UInt64 kPageMask = (Adesk::UInt64{1} << kPageBits) - 1;
    struct Slot {
        IdEntry entry;
        bool present = false;
    };
    struct Page {
        Slot slots[size_t{1} << kPageBits];
        int live = 0;
    };

    Slot* slotOf(Adesk::Int64 raw) const {
        if (raw < kFirstId) {
            return nullptr;
        }
        const auto index = static_cast<Adesk::UInt64>(raw - kFirstId);
        const auto page = index >> kPageBits;
        if (page >= m_pages.size() || !m_pages[static_cast<size_t>(page)]) {
            return nullptr;
        }
        return &m_pages[static_cast<size_t>(page)]->slots[index & kPageMask];
    }

    std::vector<std::unique_ptr<Page>> m_pages;
};

// Never destroyed, so databases that outlive static destruction (a static in a test) can still
// unregister their ids.
IdTable& idTable() {
    static auto* table = new IdTable();
    return *table;
}

Adesk::Int64 newRawId() {
    return g_nextId++;
}

using kxhost::detail::forEachAttached;

// Persistent reactors notify other objects, which may modify objects in turn; a cycle of such
// reactors must not recurse without end.
int g_persistentDepth = 0;
constexpr int kMaxPersistentDepth = 16;

template <class Fn>
void notifyPersistent(const AcDbObject* obj, Fn fn) {
    if (g_persistentDepth >= kMaxPersistentDepth) {
        return;
    }
    ++g_persistentDepth;
    const AcDbObjectIdArray ids = obj->persistentReactors();
    for (const AcDbObjectId& id : ids) {
        AcDbObject* reactor = nullptr;
        if (acdbOpenAcDbObject(reactor, id, AcDb::kForNotify) == Acad::eOk) {
            fn(reactor);
            reactor->close();
        }
    }
    --g_persistentDepth;
}

AcDbHostApplicationServices& services() {
    static AcDbHostApplicationServices s;
    return s;
}

}  // namespace

struct AcDbDatabase::Access {
    static std::vector<AcDbDatabaseReactor*>& reactors(const AcDbDatabase* db) {
        return db->m_reactors;
    }
    // The handle map is ordered, so this gives handle order.
    static AcDbObjectIdArray ids(const AcDbDatabase* db) {
        AcDbObjectIdArray out;
        for (const auto& [handle, raw] : db->m_handles) {
            if (db->m_objects.count(raw) != 0) {
                out.append(AcDbObjectId().setFromOldId(raw));
            }
        }
        return out;
    }
    static void setTables(AcDbDatabase* db, const AcDbObjectId& blocks,
                          const AcDbObjectId& layers) {
        if (!blocks.isNull()) {
            db->m_blockTable = blocks;
        }
        if (!layers.isNull()) {
            db->m_layerTable = layers;
        }
        db->m_tablesMade = true;
    }
    static void forget(AcDbDatabase* db, AcDbObject* obj) {
        AcDbObject::State* st = obj->hostState();
        const Adesk::Int64 raw = st->id.asOldId();
        db->m_objects.erase(raw);
        db->m_handles.erase(st->handle.value());
        idTable().erase(raw);
    }
};

// --- Id table -----------------------------------------------------------------------------------

namespace kxhost {
namespace detail {

const IdEntry* findId(Adesk::Int64 raw) {
    if (raw == 0) {
        return nullptr;
    }
    return idTable().find(raw);
}

AcDbObject* residentObject(const AcDbObjectId& id) {
    const IdEntry* e = findId(id.asOldId());
    return e != nullptr ? e->obj : nullptr;
}

void forgetObject(AcDbObject* obj) {
    AcDbObject::State* st = obj->hostState();
    if (st->db != nullptr) {
        AcDbDatabase::Access::forget(st->db, obj);
        st->db = nullptr;
    }
}

void announceModified(AcDbObject* obj) {
    AcDbObject::State* st = obj->hostState();
    forEachAttached(st->reactors, [&](AcDbObjectReactor* r) { r->modified(obj); });
    notifyPersistent(obj, [&](AcDbObject* reactor) { reactor->modified(obj); });
    if (st->db != nullptr) {
        forEachAttached(AcDbDatabase::Access::reactors(st->db),
                        [&](AcDbDatabaseReactor* r) { r->objectModified(st->db, obj); });
    }
}

void announceErased(AcDbObject* obj, bool erasing) {
    AcDbObject::State* st = obj->hostState();
    forEachAttached(st->reactors, [&](AcDbObjectReactor* r) { r->erased(obj, erasing); });
    notifyPersistent(obj, [&](AcDbObject* reactor) { reactor->erased(obj, erasing); });
    if (st->db != nullptr) {
        forEachAttached(AcDbDatabase::Access::reactors(st->db),
                        [&](AcDbDatabaseReactor* r) { r->objectErased(st->db, obj, erasing); });
    }
}

void announceAppended(AcDbObject* obj) {
    AcDbObject::State* st = obj->hostState();
    if (st->db != nullptr) {
        forEachAttached(AcDbDatabase::Access::reactors(st->db),
                        [&](AcDbDatabaseReactor* r) { r->objectAppended(st->db, obj); });
    }
}

}  // namespace detail

long objectCount(const AcDbDatabase* db) {
    if (db == nullptr) {
        return 0;
    }
    return static_cast<long>(objectIds(db).length());
}

AcDbObjectIdArray objectIds(const AcDbDatabase* db) {
    return db != nullptr ? AcDbDatabase::Access::ids(db) : AcDbObjectIdArray();
}

Acad::ErrorStatus setSymbolTables(AcDbDatabase* db, const AcDbObjectId& blockTable,
                                  const AcDbObjectId& layerTable) {
    if (db == nullptr) {
        return Acad::eNoDatabase;
    }
    if ((!blockTable.isNull() && blockTable.database() != db) ||
        (!layerTable.isNull() && layerTable.database() != db)) {
        return Acad::eWrongDatabase;
    }
    if ((!blockTable.isNull() &&
         AcDbBlockTable::cast(detail::residentObject(blockTable)) == nullptr) ||
        (!layerTable.isNull() &&
         AcDbLayerTable::cast(detail::residentObject(layerTable)) == nullptr)) {
        return Acad::eWrongObjectType;
    }
    AcDbDatabase::Access::setTables(db, blockTable, layerTable);
    return Acad::eOk;
}

Acad::ErrorStatus assignHandle(AcDbObject* obj, const AcDbHandle& handle) {
    if (obj == nullptr) {
        return Acad::eNullObjectPointer;
    }
    if (obj->database() != nullptr) {
        return Acad::eAlreadyInDb;
    }
    if (handle.value() >= (Adesk::UInt64{1} << 63)) {
        return Acad::eInvalidInput;
    }
    obj->hostState()->handle = handle;
    return Acad::eOk;
}

}  // namespace kxhost

// --- Database -----------------------------------------------------------------------------------

AcDbDatabase::AcDbDatabase(bool buildDefaultDrawing, bool noDocument) {
    // Failed allocations leave the id null; the accessors then report the table as missing.
    auto* nod = new AcDbDictionary();
    if (nod != nullptr) {
        if (addAcDbObject(m_namedObjects, nod) == Acad::eOk) {
            nod->close();
        } else {
            delete nod;
        }
    }
    auto* regApps = new AcDbRegAppTable();
    if (regApps != nullptr) {
        if (addAcDbObject(m_regApps, regApps) == Acad::eOk) {
            regApps->close();
        } else {
            delete regApps;
        }
    }
    if (buildDefaultDrawing) {
        kxhost::ensureRegApp(this, L"ACAD");
    }
    m_defaultDrawing = buildDefaultDrawing;
    if (!noDocument && services().workingDatabase() == nullptr) {
        services().setWorkingDatabase(this);
    }
    if (AcRxEvent* ev = acrxEvent()) {
        for (AcRxEventReactor* r : ev->reactors()) {
            r->databaseConstructed(this);
        }
    }
}

AcDbDatabase::~AcDbDatabase() {
    if (AcRxEvent* ev = acrxEvent()) {
        for (AcRxEventReactor* r : ev->reactors()) {
            r->databaseToBeDestroyed(this);
        }
    }
    forEachAttached(m_reactors, [&](AcDbDatabaseReactor* r) { r->goodbye(this); });
    m_reactors.clear();
    m_dying = true;

    // Objects hear goodbye while every object is still whole, so a reactor may still look at
    // another object of the drawing.
    std::vector<AcDbObject*> objects;
    objects.reserve(m_objects.size());
    for (const auto& [raw, obj] : m_objects) {
        objects.push_back(obj);
    }
    for (AcDbObject* obj : objects) {
        AcDbObject::State* st = obj->hostState();
        forEachAttached(st->reactors, [&](AcDbObjectReactor* r) { r->goodbye(obj); });
    }

    auto& table = idTable();
    for (const auto& [handle, raw] : m_handles) {
        table.erase(raw);
    }
    m_handles.clear();
    m_objects.clear();
    for (AcDbObject* obj : objects) {
        AcDbObject::State* st = obj->hostState();
        st->db = nullptr;
        st->opens.clear();
        st->reactors.clear();
        delete obj;
    }
    if (services().workingDatabase() == this) {
        services().setWorkingDatabase(nullptr);
    }
}

Acad::ErrorStatus AcDbDatabase::addAcDbObject(AcDbObjectId& id, AcDbObject* obj) {
    if (obj == nullptr) {
        return Acad::eNullObjectPointer;
    }
    AcDbObject::State* st = obj->hostState();
    if (st->db == this) {
        id = st->id;
        return Acad::eAlreadyInDb;
    }
    if (st->db != nullptr) {
        return Acad::eWrongDatabase;
    }
    if (m_dying) {
        return Acad::eNoDatabase;
    }
    Adesk::UInt64 handle = 0;
    Adesk::Int64 raw = 0;
    if (!st->handle.isNull()) {
        handle = st->handle.value();
        auto it = m_handles.find(handle);
        if (it != m_handles.end()) {
            if (m_objects.count(it->second) != 0) {
                return Acad::eHandleInUse;
            }
            raw = it->second;  // reserved by a forward reference: the object takes that id
        }
    } else {
        handle = m_seed;
        while (m_handles.count(handle) != 0) {
            ++handle;
        }
    }
    if (raw == 0) {
        raw = newRawId();
    }
    m_handles[handle] = raw;
    m_objects[raw] = obj;
    idTable().set(raw, IdEntry{this, obj, handle});
    if (handle >= m_seed) {
        m_seed = handle + 1;
    }

    st->db = this;
    st->id.setFromOldId(raw);
    st->handle = AcDbHandle(handle);
    st->newObject = true;
    st->erased = false;
    st->modified = false;
    st->pendingModified = false;
    st->openedForModifySent = false;
    st->opens.clear();
    st->opens.push_back(AcDbObject::State::Open{AcDb::kForWrite});
    id = st->id;
    kxhost::detail::announceAppended(obj);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbDatabase::getAcDbObjectId(AcDbObjectId& id, bool createIfNotFound,
                                                const AcDbHandle& handle, Adesk::UInt32 xRefId) {
    id.setNull();
    if (handle.isNull()) {
        return Acad::eNullHandle;
    }
    auto it = m_handles.find(handle.value());
    if (it != m_handles.end()) {
        id.setFromOldId(it->second);
        return Acad::eOk;
    }
    if (!createIfNotFound) {
        return Acad::eUnknownHandle;
    }
    if (m_dying || handle.value() >= (Adesk::UInt64{1} << 63)) {
        return Acad::eInvalidInput;
    }
    const Adesk::Int64 raw = newRawId();
    m_handles[handle.value()] = raw;
    idTable().set(raw, IdEntry{this, nullptr, handle.value()});
    if (handle.value() >= m_seed) {
        m_seed = handle.value() + 1;
    }
    id.setFromOldId(raw);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbDatabase::setHandseed(const AcDbHandle& seed) {
    if (seed.isNull()) {
        return Acad::eInvalidInput;
    }
    if (!m_handles.empty() && seed.value() <= m_handles.rbegin()->first) {
        return Acad::eInvalidInput;
    }
    m_seed = seed.value();
    return Acad::eOk;
}

Acad::ErrorStatus AcDbDatabase::getNamedObjectsDictionary(AcDbDictionary*& dict,
                                                          AcDb::OpenMode mode) const {
    dict = nullptr;
    return acdbOpenObject(dict, m_namedObjects, mode);
}

Acad::ErrorStatus AcDbDatabase::getRegAppTable(AcDbRegAppTable*& table, AcDb::OpenMode mode) const {
    table = nullptr;
    return acdbOpenObject(table, m_regApps, mode);
}

namespace {

// Adds a record to an open table and closes it; failures leave the record out.
template <class Table, class Record>
void addDefaultRecord(Table* table, Record* record, const ACHAR* name) {
    if (record == nullptr) {
        return;
    }
    if (record->setName(name) != Acad::eOk || table->add(record) != Acad::eOk) {
        delete record;
        return;
    }
    record->close();
}

}  // namespace

void AcDbDatabase::makeDefaultTables() const {
    if (m_tablesMade || !m_defaultDrawing || m_dying) {
        return;
    }
    // Set first: adding the records below asks for the tables again.
    m_tablesMade = true;
    auto* self = const_cast<AcDbDatabase*>(this);
    auto* blocks = new AcDbBlockTable();
    if (blocks != nullptr) {
        if (self->addAcDbObject(m_blockTable, blocks) == Acad::eOk) {
            addDefaultRecord(blocks, new AcDbBlockTableRecord(), ACDB_MODEL_SPACE);
            addDefaultRecord(blocks, new AcDbBlockTableRecord(), ACDB_PAPER_SPACE);
            blocks->close();
        } else {
            delete blocks;
        }
    }
    auto* layers = new AcDbLayerTable();
    if (layers != nullptr) {
        if (self->addAcDbObject(m_layerTable, layers) == Acad::eOk) {
            addDefaultRecord(layers, new AcDbLayerTableRecord(), L"0");
            layers->close();
        } else {
            delete layers;
        }
    }
    // Each space is presented on a layout, and a drawing keeps a dictionary of groups; files
    // carry both, so a drawing has them from the start and keeps them through a save and load.
    if (const auto* table = AcDbBlockTable::cast(kxhost::detail::residentObject(m_blockTable))) {
        kxhost::makeStandardLayouts(self, table->findRecord(ACDB_MODEL_SPACE, false),
                                    table->findRecord(ACDB_PAPER_SPACE, false));
    }
}

AcDbObjectId AcDbDatabase::blockTableId() const {
    makeDefaultTables();
    return m_blockTable;
}

AcDbObjectId AcDbDatabase::layerTableId() const {
    makeDefaultTables();
    return m_layerTable;
}

Acad::ErrorStatus AcDbDatabase::getBlockTable(AcDbBlockTable*& table, AcDb::OpenMode mode) const {
    table = nullptr;
    const AcDbObjectId id = blockTableId();
    return id.isNull() ? Acad::eMissingSymbolTable : acdbOpenObject(table, id, mode);
}

Acad::ErrorStatus AcDbDatabase::getLayerTable(AcDbLayerTable*& table, AcDb::OpenMode mode) const {
    table = nullptr;
    const AcDbObjectId id = layerTableId();
    return id.isNull() ? Acad::eMissingSymbolTable : acdbOpenObject(table, id, mode);
}

AcDbObjectId AcDbDatabase::layerZero() const {
    return kxhost::findLayer(this, L"0");
}

AcDbObjectId AcDbDatabase::modelSpaceId() const {
    const auto* table = AcDbBlockTable::cast(kxhost::detail::residentObject(blockTableId()));
    return table != nullptr ? table->findRecord(ACDB_MODEL_SPACE, false) : AcDbObjectId::kNull;
}

Acad::ErrorStatus AcDbDatabase::setUcs(const AcGePoint3d& origin, const AcGeVector3d& xAxis,
                                       const AcGeVector3d& yAxis) {
    if (xAxis.isZeroLength() || yAxis.isZeroLength() ||
        !xAxis.isPerpendicularTo(yAxis, AcGeTol(1e-10, 1e-9))) {
        return Acad::eInvalidInput;
    }
    m_ucsOrigin = origin;
    m_ucsX = xAxis.normal();
    m_ucsY = yAxis.normal();
    return Acad::eOk;
}

Acad::ErrorStatus AcDbDatabase::setUcsorg(const AcGePoint3d& origin) {
    m_ucsOrigin = origin;
    return Acad::eOk;
}

bool acdbUcsMatrix(AcGeMatrix3d& mat, AcDbDatabase* db) {
    if (db == nullptr) {
        db = acdbHostApplicationServices()->workingDatabase();
    }
    if (db == nullptr) {
        return false;
    }
    const AcGeVector3d x = db->ucsxdir();
    const AcGeVector3d y = db->ucsydir();
    mat.setCoordSystem(db->ucsorg(), x, y, x.crossProduct(y).normal());
    return true;
}

void AcDbDatabase::addReactor(AcDbDatabaseReactor* reactor) const {
    if (reactor != nullptr && !m_dying &&
        std::find(m_reactors.begin(), m_reactors.end(), reactor) == m_reactors.end()) {
        m_reactors.push_back(reactor);
    }
}

void AcDbDatabase::removeReactor(AcDbDatabaseReactor* reactor) const {
    m_reactors.erase(std::remove(m_reactors.begin(), m_reactors.end(), reactor), m_reactors.end());
}

namespace {
Acad::ErrorStatus setInRange(Adesk::Int16& field, Adesk::Int16 value, int lo, int hi) {
    if (value < lo || value > hi) {
        return Acad::eInvalidInput;
    }
    field = value;
    return Acad::eOk;
}
}  // namespace

Acad::ErrorStatus AcDbDatabase::setAttmode(Adesk::Int16 value) {
    return setInRange(m_attmode, value, 0, 2);
}
Acad::ErrorStatus AcDbDatabase::setFillmode(bool value) {
    m_fillmode = value;
    return Acad::eOk;
}
Acad::ErrorStatus AcDbDatabase::setAuprec(Adesk::Int16 value) {
    return setInRange(m_auprec, value, 0, 8);
}
Acad::ErrorStatus AcDbDatabase::setAunits(Adesk::Int16 value) {
    return setInRange(m_aunits, value, 0, 4);
}
Acad::ErrorStatus AcDbDatabase::setLuprec(Adesk::Int16 value) {
    return setInRange(m_luprec, value, 0, 8);
}
Acad::ErrorStatus AcDbDatabase::setLunits(Adesk::Int16 value) {
    return setInRange(m_lunits, value, 1, 5);
}

AcDbHostApplicationServices* acdbHostApplicationServices() {
    return &services();
}
