// Object-level deep and wblock cloning, and the translation of a clone's ids through the id map.
//
// A clone is made in two passes. The first (this file's cloneObject) files the source out through
// a clone filer and into a new object of the same class, puts the new object into the destination
// and records the pair in the id map; while the source files out, the filer notes every ownership
// id it writes, and those objects are cloned the same way with the new clone as their owner. The
// clones then still carry the source's ids. The second pass (translateClone, run by the database's
// clone calls once every object is cloned) files each clone out and back in through a filer that
// maps every id it reads through the id map.
#include <algorithm>
#include <vector>

#include "host/core/resbuf.h"
#include "host/db/blocktable.h"
#include "host/db/clone_internal.h"
#include "host/db/database.h"
#include "host/db/dwgfiler.h"
#include "host/db/layer.h"
#include "host/db/objectstate.h"
#include "host/db/regapp.h"
#include "host/entities/blockref.h"
#include "host/entities/entity.h"

namespace kxhost {
namespace detail {

namespace {

using Opened = OpenedObject;

// Ownership runs this deep only in a damaged drawing; the limit keeps the recursion bounded.
constexpr int kMaxCloneDepth = 512;
int g_cloneDepth = 0;

struct DepthGuard {
    DepthGuard() { ++g_cloneDepth; }
    ~DepthGuard() { --g_cloneDepth; }
    DepthGuard(const DepthGuard&) = delete;
    DepthGuard& operator=(const DepthGuard&) = delete;
};

// Files the source out for a clone and remembers which objects it owns, in the order it names
// them (each once).
class CloneFiler : public DwgMemoryFiler {
  public:
    CloneFiler(AcDb::FilerType type, AcDbDatabase* db)
        : DwgMemoryFiler(type, AcDb::kDHL_CURRENT, AcDb::kMReleaseCurrent, db) {}

    void noteOwnedId(const AcDbObjectId& id, bool hard) override {
        if (std::find(owned.begin(), owned.end(), id) == owned.end()) {
            owned.push_back(id);
        }
    }

    std::vector<AcDbObjectId> owned;
};

// Maps every id it reads: a key of the map becomes its value; an id outside the map stays when
// it belongs to the clone's own database and becomes null when it names an object of another
// drawing, which the clone cannot point into.
class IdXlateFiler : public DwgMemoryFiler {
  public:
    IdXlateFiler(const AcDbIdMapping& map, AcDbDatabase* db)
        : DwgMemoryFiler(AcDb::kIdXlateFiler, AcDb::kDHL_CURRENT, AcDb::kMReleaseCurrent, db),
          m_map(map) {}

    AcDbObjectId translateId(const AcDbObjectId& id, int idKind) override {
        AcDbIdPair pair(id, AcDbObjectId::kNull, false);
        if (m_map.compute(pair)) {
            return pair.value();
        }
        return id.database() == database() ? id : AcDbObjectId::kNull;
    }

  private:
    const AcDbIdMapping& m_map;
};

// The database the clone goes into, from what the caller gave as its owner.
Acad::ErrorStatus destinationOf(const AcDbObject* source, AcRxObject* owner,
                                const AcDbIdMapping& map, AcDbObject*& ownerObj,
                                AcDbDatabase*& db) {
    ownerObj = nullptr;
    db = nullptr;
    if (owner == nullptr) {
        db = map.destDb() != nullptr ? map.destDb() : source->database();
        return Acad::eOk;
    }
    if (AcDbObject* obj = AcDbObject::cast(owner)) {
        if (obj->database() == nullptr) {
            return Acad::eNotInDatabase;
        }
        ownerObj = obj;
        db = obj->database();
        return Acad::eOk;
    }
    if (AcDbDatabase* asDb = AcDbDatabase::cast(owner)) {
        db = asDb;
        return Acad::eOk;
    }
    return Acad::eWrongObjectType;
}

// A record whose name the destination table already has. Anonymous blocks are renamed to a fresh
// anonymous name; with a mangling record-cloning rule the clone takes the first free "$<n>$name";
// otherwise the record already there stands for the source (`existing`) and nothing is added.
Acad::ErrorStatus settleRecordName(AcDbSymbolTableRecord* record, const AcDbSymbolTable* table,
                                   const AcDbIdMapping& map, AcDbObjectId& existing) {
    const AcString name(record->name());
    const AcDbObjectId taken = table->findRecord(name.kwszPtr(), false);
    if (taken.isNull()) {
        return Acad::eOk;
    }
    if (AcDbBlockTableRecord::cast(record) != nullptr && isAnonymousBlockName(name.kwszPtr())) {
        const ACHAR prefix[3] = {name.kwszPtr()[0], name.kwszPtr()[1], 0};
        return record->setName(prefix);  // the table hands out a unique name as it adds it
    }
    const AcDb::DuplicateRecordCloning drc = map.duplicateRecordCloning();
    if (drc == AcDb::kDrcMangleName || drc == AcDb::kDrcXrefMangleName) {
        for (int n = 0; n < 100000; ++n) {
            AcString mangled;
            mangled.format(L"$%d$%s", n, name.kwszPtr());
            if (table->findRecord(mangled.kwszPtr(), true).isNull()) {
                return record->setName(mangled.kwszPtr());
            }
        }
        return Acad::eDuplicateRecordName;
    }
    existing = taken;
    return Acad::eOk;
}

// An entity that did not go through appendAcDbEntity (an attribute owned by its reference)
// still names the layer of its old drawing: it takes the layer of the same name, else "0".
void settleForeignLayer(AcDbEntity* ent, AcDbDatabase* db) {
    const AcDbObjectId layer = ent->layerId();
    if (layer.isNull() || layer.database() == db) {
        return;
    }
    const AcString name = ent->layer();
    const AcDbObjectId same = findLayer(db, name.kwszPtr());
    const AcDbObjectId target = same.isNull() ? db->layerZero() : same;
    if (!target.isNull()) {
        ent->setLayer(target, false);
    }
}

// Makes the clone resident in `db`: an entity cloned for a block is appended to it, a record
// cloned for a table is added to it (both keep no list of their own when cloned, so their
// cloned contents arrive this way); any other clone is added to the database and owned by the
// owner object. With a database (or nothing) as owner the clone keeps the owner it filed in,
// which the translation pass maps. `existing` is set instead when a record of the same name
// stands for the clone, which is then not placed.
Acad::ErrorStatus placeClone(AcDbObject* copy, AcDbObject* ownerObj, AcDbDatabase* db,
                             const AcDbIdMapping& map, AcDbObjectId& id, AcDbObjectId& existing) {
    auto* block = AcDbBlockTableRecord::cast(ownerObj);
    auto* entity = AcDbEntity::cast(copy);
    if (block != nullptr && entity != nullptr) {
        return block->appendAcDbEntity(id, entity);
    }
    auto* table = AcDbSymbolTable::cast(ownerObj);
    auto* record = AcDbSymbolTableRecord::cast(copy);
    if (table != nullptr && record != nullptr) {
        Acad::ErrorStatus es = settleRecordName(record, table, map, existing);
        if (es != Acad::eOk || !existing.isNull()) {
            return es;
        }
        return table->add(id, record);
    }
    Acad::ErrorStatus es = db->addAcDbObject(id, copy);
    if (es != Acad::eOk) {
        return es;
    }
    if (ownerObj != nullptr) {
        es = copy->setOwnerId(ownerObj->objectId());
    }
    if (es == Acad::eOk && entity != nullptr) {
        settleForeignLayer(entity, db);
    }
    return es;
}

// A block reference cloned into another drawing needs its block there: unless the map already
// has the block, it is cloned into the destination's block table the same way.
Acad::ErrorStatus bringReferencedBlock(const AcDbObject* source, AcDbDatabase* db,
                                       AcDbIdMapping& idMap, AcDb::FilerType filerType) {
    const auto* ref = AcDbBlockReference::cast(source);
    if (ref == nullptr || source->database() == db) {
        return Acad::eOk;
    }
    const AcDbObjectId blockId = referencedBlock(ref);
    AcDbIdPair known(blockId, AcDbObjectId::kNull, false);
    if (blockId.isNull() || !blockId.isValid() || idMap.compute(known)) {
        return Acad::eOk;
    }
    Opened block;
    Acad::ErrorStatus es = acdbOpenAcDbObject(block.obj, blockId, AcDb::kForRead);
    if (es != Acad::eOk) {
        return es == Acad::eWasErased ? Acad::eOk : es;  // nothing left to bring
    }
    AcDbBlockTable* table = nullptr;
    if ((es = db->getBlockTable(table, AcDb::kForWrite)) != Acad::eOk) {
        return es;
    }
    AcDbObject* clone = nullptr;
    es = filerType == AcDb::kWblockCloneFiler ? block.obj->wblockClone(table, clone, idMap, false)
                                              : block.obj->deepClone(table, clone, idMap, false);
    if (clone != nullptr) {
        clone->close();
    }
    table->close();
    return es;
}

// A clone filed in before it was resident; the applications its extended data names must exist
// in its new drawing.
void registerApps(AcDbObject* copy) {
    const AcDbObject::State* st = copy->hostState();
    for (const AcDbObject::State::AppData& app : st->xdata) {
        ensureRegApp(st->db, app.app.c_str());
    }
}

// Rewrites the 1005 handles of a clone's extended data that name cloned objects of the source
// drawing as the handles of their clones. Handles of objects that were not cloned are left as
// they are.
void translateXDataHandles(AcDbObject* obj, AcDbDatabase* sourceDb, const AcDbIdMapping& map) {
    if (sourceDb == nullptr) {
        return;
    }
    for (AcDbObject::State::AppData& app : obj->hostState()->xdata) {
        for (resbuf* rb = app.items; rb != nullptr; rb = rb->rbnext) {
            if (rb->restype != 1005 || rb->resval.rstring == nullptr) {
                continue;
            }
            const AcDbHandle handle(rb->resval.rstring);
            AcDbObjectId named;
            if (handle.isNull() || sourceDb->getAcDbObjectId(named, false, handle) != Acad::eOk) {
                continue;
            }
            AcDbIdPair pair(named, AcDbObjectId::kNull, false);
            if (!map.compute(pair) || !pair.isCloned() || !pair.value().isValid()) {
                continue;
            }
            ACHAR* text = acutNewString(pair.value().handle().getIntoAsciiBuffer().kwszPtr());
            if (text == nullptr) {
                continue;  // out of memory: the old handle stays rather than none
            }
            acutDelBuffer(rb->resval.rstring);
            rb->resval.rstring = text;
        }
    }
}

}  // namespace

Acad::ErrorStatus cloneObject(const AcDbObject* source, AcRxObject* owner, AcDbObject*& clone,
                              AcDbIdMapping& idMap, bool isPrimary, AcDb::FilerType filerType) {
    clone = nullptr;
    if (source == nullptr) {
        return Acad::eNullObjectPointer;
    }
    const AcDbObjectId sourceId = source->objectId();
    if (sourceId.isNull()) {
        return Acad::eNotInDatabase;  // only resident objects have a key in the map
    }

    // Cloned already in this operation (as an owned object of something cloned earlier, or by a
    // reactor): the same clone serves.
    AcDbIdPair known(sourceId, AcDbObjectId::kNull, false);
    if (idMap.compute(known) && known.isCloned() && !known.value().isNull()) {
        return acdbOpenAcDbObject(clone, known.value(), AcDb::kForWrite, true);
    }
    if (g_cloneDepth >= kMaxCloneDepth) {
        return Acad::eInvalidInput;
    }
    DepthGuard depth;

    AcDbObject* ownerObj = nullptr;
    AcDbDatabase* db = nullptr;
    Acad::ErrorStatus es = destinationOf(source, owner, idMap, ownerObj, db);
    if (es != Acad::eOk) {
        return es;
    }
    if (db == nullptr || db->isBeingDestroyed()) {
        return Acad::eNoDatabase;
    }

    const AcRxClass* cls = source->isA();
    if (cls == nullptr || cls->constructor() == nullptr) {
        return Acad::eNotApplicable;  // no pseudo-constructor: nothing to make the clone with
    }
    AcRxObject* made = cls->create();
    if (made == nullptr) {
        return Acad::eOutOfMemory;
    }
    AcDbObject* copy = AcDbObject::cast(made);
    if (copy == nullptr || copy->isA() != cls) {
        delete made;
        return Acad::eNotApplicable;
    }

    CloneFiler filer(filerType, source->database());
    es = source->dwgOutFields(&filer);
    if (es == Acad::eOk) {
        es = filer.filerStatus();
    }
    if (es == Acad::eOk) {
        filer.rewind();
        es = copy->dwgInFields(&filer);
        if (es == Acad::eOk) {
            es = filer.filerStatus();
        }
    }
    if (es != Acad::eOk) {
        delete copy;
        return es;
    }

    AcDbObjectId cloneId;
    AcDbObjectId existing;
    es = placeClone(copy, ownerObj, db, idMap, cloneId, existing);
    if (es != Acad::eOk || !existing.isNull()) {
        if (copy->database() == nullptr) {
            delete copy;
        } else {
            copy->erase(true);
            copy->close();
        }
        if (es == Acad::eOk) {
            // Nothing was cloned: the destination's record of that name stands for the source.
            idMap.assign(AcDbIdPair(sourceId, existing, false, isPrimary, true));
        }
        return es;
    }
    registerApps(copy);
    idMap.assign(AcDbIdPair(sourceId, cloneId, true, isPrimary, true));

    // What the source owns goes along, owned by the clone. An owned object that cannot be read
    // any more (erased meanwhile, or its id dangling) is left behind; its id translates to null
    // across drawings.
    for (const AcDbObjectId& ownedId : filer.owned) {
        if (!ownedId.isValid() || ownedId.isErased()) {
            continue;
        }
        Opened child;
        es = acdbOpenAcDbObject(child.obj, ownedId, AcDb::kForRead);
        if (es != Acad::eOk) {
            copy->close();
            return es;
        }
        AcDbObject* childClone = nullptr;
        es = filerType == AcDb::kWblockCloneFiler
                 ? child.obj->wblockClone(copy, childClone, idMap, false)
                 : child.obj->deepClone(copy, childClone, idMap, false);
        if (childClone != nullptr) {
            childClone->close();
        }
        if (es != Acad::eOk) {
            copy->close();
            return es;
        }
    }
    es = bringReferencedBlock(source, db, idMap, filerType);
    if (es != Acad::eOk) {
        copy->close();
        return es;
    }
    clone = copy;
    return Acad::eOk;
}

Acad::ErrorStatus translateClone(const AcDbIdPair& pair, const AcDbIdMapping& idMap) {
    Opened clone;
    Acad::ErrorStatus es = acdbOpenAcDbObject(clone.obj, pair.value(), AcDb::kForWrite, true);
    if (es != Acad::eOk) {
        return es;
    }
    IdXlateFiler filer(idMap, clone.obj->database());
    es = clone.obj->dwgOutFields(&filer);
    if (es == Acad::eOk) {
        es = filer.filerStatus();
    }
    if (es == Acad::eOk) {
        filer.rewind();
        es = clone.obj->dwgInFields(&filer);
        if (es == Acad::eOk) {
            es = filer.filerStatus();
        }
    }
    if (es != Acad::eOk) {
        return es;
    }
    translateXDataHandles(clone.obj, pair.key().database(), idMap);
    return Acad::eOk;
}

}  // namespace detail
}  // namespace kxhost
