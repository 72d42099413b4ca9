#include "host/db/clone.h"

#include <vector>

#include "host/db/blocktable.h"
#include "host/db/clone_internal.h"
#include "host/entities/blockref.h"
#include "host/rx/services.h"

namespace kxhost {

namespace {

using Opened = detail::OpenedObject;

enum class CloneKind { kDeep, kWblock };

// Ends a failed round: reactors hear abortDeepClone, and the clones made so far are erased so
// the destination keeps nothing half translated.
Acad::ErrorStatus abortRound(AcDbIdMapping& idMap, Acad::ErrorStatus failure) {
    idMap.setCloneRoundOpen(false);
    if (AcRxEvent* ev = acrxEvent()) {
        ev->fireAbortDeepClone(idMap);
    }
    AcDbIdMappingIter it(idMap);
    for (it.start(); !it.done(); it.next()) {
        AcDbIdPair pair;
        it.getMap(pair);
        if (!pair.isCloned() || !pair.value().isValid() || pair.value().isErased()) {
            continue;
        }
        Opened clone;
        if (acdbOpenAcDbObject(clone.obj, pair.value(), AcDb::kForWrite) == Acad::eOk) {
            clone.obj->erase(true);
        }
    }
    return failure;
}

// Steps 3 to 5 of a round.
Acad::ErrorStatus finishRound(AcDbIdMapping& idMap) {
    AcRxEvent* ev = acrxEvent();
    Acad::ErrorStatus es = Acad::eOk;
    if (ev != nullptr) {
        ev->fireBeginDeepCloneXlation(idMap, &es);
        if (es != Acad::eOk) {
            return abortRound(idMap, es);
        }
    }
    es = translateClonedIds(idMap);
    if (es != Acad::eOk) {
        return abortRound(idMap, es);
    }
    idMap.setCloneRoundOpen(false);
    if (ev != nullptr) {
        ev->fireEndDeepClone(idMap);
    }
    return Acad::eOk;
}

Acad::ErrorStatus runClone(CloneKind kind, AcDbDatabase* sourceDb, const AcDbObjectIdArray& ids,
                           AcDbObjectId ownerId, AcDbIdMapping& idMap, bool deferXlation,
                           AcDb::DeepCloneType defaultContext) {
    if (ownerId.isNull()) {
        return Acad::eNullObjectId;
    }
    AcDbDatabase* destDb = ownerId.database();
    if (destDb == nullptr) {
        return Acad::eUnknownHandle;
    }
    for (const AcDbObjectId& id : ids) {
        if (id.isNull()) {
            return Acad::eNullObjectId;
        }
        if (!id.isValid()) {
            return Acad::eUnknownHandle;
        }
        if (sourceDb == nullptr) {
            sourceDb = id.database();
        } else if (id.database() != sourceDb) {
            return Acad::eWrongDatabase;
        }
    }
    if (sourceDb == nullptr) {
        sourceDb = destDb;  // nothing to clone: a round between the destination and itself
    }
    if (idMap.isCloneRoundOpen()) {
        // A later call of a deferred round: it must go the same way as the first.
        if (idMap.origDb() != sourceDb || idMap.destDb() != destDb) {
            return Acad::eWrongDatabase;
        }
    } else {
        idMap.setOrigDb(sourceDb);
        idMap.setDestDb(destDb);
        if (!idMap.hasDeepCloneContext()) {
            idMap.setDeepCloneContext(defaultContext);
        }
        idMap.setCloneRoundOpen(true);
        if (AcRxEvent* ev = acrxEvent()) {
            ev->fireBeginDeepClone(destDb, idMap);
        }
    }

    {
        Opened owner;
        Acad::ErrorStatus es = acdbOpenAcDbObject(owner.obj, ownerId, AcDb::kForWrite);
        if (es != Acad::eOk) {
            return abortRound(idMap, es);
        }
        for (const AcDbObjectId& id : ids) {
            Opened source;
            es = acdbOpenAcDbObject(source.obj, id, AcDb::kForRead);
            if (es != Acad::eOk) {
                return abortRound(idMap, es);
            }
            AcDbObject* clone = nullptr;
            es = kind == CloneKind::kWblock ? source.obj->wblockClone(owner.obj, clone, idMap, true)
                                            : source.obj->deepClone(owner.obj, clone, idMap, true);
            if (clone != nullptr) {
                clone->close();
            }
            if (es != Acad::eOk) {
                return abortRound(idMap, es);
            }
        }
    }
    return deferXlation ? Acad::eOk : finishRound(idMap);
}

}  // namespace

bool isWblockContext(AcDb::DeepCloneType context) {
    return context == AcDb::kDcXrefBind || context == AcDb::kDcWblock ||
           context == AcDb::kDcXrefInsert || context == AcDb::kDcWblkObjects;
}

Acad::ErrorStatus translateClonedIds(const AcDbIdMapping& idMap) {
    Acad::ErrorStatus first = Acad::eOk;
    AcDbIdMappingIter it(idMap);
    for (it.start(); !it.done(); it.next()) {
        AcDbIdPair pair;
        it.getMap(pair);
        if (!pair.isCloned() || pair.value().isNull()) {
            continue;
        }
        const Acad::ErrorStatus es = detail::translateClone(pair, idMap);
        if (es != Acad::eOk && first == Acad::eOk) {
            first = es;
        }
    }
    return first;
}

Acad::ErrorStatus cloneObjectsInContext(AcDb::DeepCloneType context, const AcDbObjectIdArray& ids,
                                        AcDbObjectId ownerId, AcDbIdMapping& idMap) {
    Acad::ErrorStatus es = idMap.setDeepCloneContext(context);
    if (es != Acad::eOk) {
        return es;
    }
    const CloneKind kind = isWblockContext(context) ? CloneKind::kWblock : CloneKind::kDeep;
    return runClone(kind, nullptr, ids, ownerId, idMap, false, context);
}

Acad::ErrorStatus copyObjects(const AcDbObjectIdArray& ids, AcDbObjectId ownerId,
                              AcDbIdMapping& idMap) {
    return cloneObjectsInContext(AcDb::kDcCopy, ids, ownerId, idMap);
}

Acad::ErrorStatus pasteObjects(const AcDbObjectIdArray& ids, AcDbObjectId ownerId,
                               AcDbIdMapping& idMap) {
    return cloneObjectsInContext(AcDb::kDcInsertCopy, ids, ownerId, idMap);
}

Acad::ErrorStatus bindXrefObjects(const AcDbObjectIdArray& ids, AcDbObjectId ownerId,
                                  AcDbIdMapping& idMap) {
    return cloneObjectsInContext(AcDb::kDcXrefBind, ids, ownerId, idMap);
}

Acad::ErrorStatus explodeReference(AcDbObjectId referenceId, AcDbIdMapping& idMap) {
    AcDbObjectId blockId;
    AcDbObjectId ownerId;
    AcGeMatrix3d xform;
    {
        Opened ref;
        Acad::ErrorStatus es = acdbOpenAcDbObject(ref.obj, referenceId, AcDb::kForRead);
        if (es != Acad::eOk) {
            return es;
        }
        const auto* asRef = AcDbBlockReference::cast(ref.obj);
        if (asRef == nullptr) {
            return Acad::eWrongObjectType;
        }
        blockId = asRef->blockTableRecord();
        ownerId = asRef->ownerId();
        xform = asRef->blockTransform();
    }
    Acad::ErrorStatus es = idMap.setDeepCloneContext(AcDb::kDcExplode);
    if (es != Acad::eOk) {
        return es;
    }
    es = runClone(CloneKind::kDeep, nullptr, blockEntityIds(blockId), ownerId, idMap, true,
                  AcDb::kDcExplode);
    if (es != Acad::eOk) {
        return es;
    }
    // The exploded entities are where the reference showed them before anyone hears of them.
    AcDbIdMappingIter it(idMap);
    for (it.start(); !it.done(); it.next()) {
        AcDbIdPair pair;
        it.getMap(pair);
        if (!pair.isPrimary() || !pair.isCloned()) {
            continue;
        }
        Opened clone;
        es = acdbOpenAcDbObject(clone.obj, pair.value(), AcDb::kForWrite);
        if (es == Acad::eOk) {
            if (auto* ent = AcDbEntity::cast(clone.obj)) {
                es = ent->transformBy(xform);
            }
        }
        if (es != Acad::eOk) {
            return abortRound(idMap, es);
        }
    }
    es = finishRound(idMap);
    if (es != Acad::eOk) {
        return es;
    }
    Opened ref;
    es = acdbOpenAcDbObject(ref.obj, referenceId, AcDb::kForWrite);
    return es == Acad::eOk ? ref.obj->erase(true) : es;
}

namespace {

// A new, empty block of that name in the database; its id in `blockId`.
Acad::ErrorStatus addBlock(AcDbDatabase* db, const ACHAR* name, AcDbObjectId& blockId) {
    blockId.setNull();
    if (db == nullptr) {
        return Acad::eNoDatabase;
    }
    auto* record = new AcDbBlockTableRecord();
    if (record == nullptr) {
        return Acad::eOutOfMemory;
    }
    Acad::ErrorStatus es = record->setName(name);
    if (es != Acad::eOk) {
        delete record;
        return es;
    }
    AcDbBlockTable* table = nullptr;
    if ((es = db->getBlockTable(table, AcDb::kForWrite)) != Acad::eOk) {
        delete record;
        return es;
    }
    es = table->add(blockId, record);
    table->close();
    if (es != Acad::eOk) {
        delete record;
        return es;
    }
    record->close();
    return Acad::eOk;
}

void eraseBlock(AcDbObjectId& blockId) {
    Opened block;
    if (acdbOpenAcDbObject(block.obj, blockId, AcDb::kForWrite) == Acad::eOk) {
        block.obj->erase(true);
    }
    blockId.setNull();
}

Acad::ErrorStatus cloneIntoNewBlock(AcDb::DeepCloneType context, const AcDbObjectIdArray& ids,
                                    AcDbDatabase* dest, const ACHAR* blockName,
                                    AcDbObjectId& blockId, AcDbIdMapping& idMap) {
    Acad::ErrorStatus es = addBlock(dest, blockName, blockId);
    if (es != Acad::eOk) {
        return es;
    }
    es = cloneObjectsInContext(context, ids, blockId, idMap);
    if (es != Acad::eOk) {
        eraseBlock(blockId);
    }
    return es;
}

}  // namespace

Acad::ErrorStatus makeBlock(const AcDbObjectIdArray& entityIds, const ACHAR* blockName,
                            AcDbObjectId& blockId, AcDbIdMapping& idMap) {
    blockId.setNull();
    if (entityIds.isEmpty()) {
        return Acad::eInvalidInput;
    }
    return cloneIntoNewBlock(AcDb::kDcBlock, entityIds, entityIds[0].database(), blockName, blockId,
                             idMap);
}

Acad::ErrorStatus insertDrawing(AcDbDatabase* source, AcDbDatabase* dest, const ACHAR* blockName,
                                AcDbObjectId& blockId, AcDbIdMapping& idMap) {
    blockId.setNull();
    if (source == nullptr || dest == nullptr) {
        return Acad::eNoDatabase;
    }
    return cloneIntoNewBlock(AcDb::kDcInsert, blockEntityIds(source->modelSpaceId()), dest,
                             blockName, blockId, idMap);
}

Acad::ErrorStatus insertXrefDrawing(AcDbDatabase* source, AcDbDatabase* dest,
                                    const ACHAR* blockName, AcDbObjectId& blockId,
                                    AcDbIdMapping& idMap) {
    blockId.setNull();
    if (source == nullptr || dest == nullptr) {
        return Acad::eNoDatabase;
    }
    return cloneIntoNewBlock(AcDb::kDcXrefInsert, blockEntityIds(source->modelSpaceId()), dest,
                             blockName, blockId, idMap);
}

Acad::ErrorStatus wblockToNewDrawing(const AcDbObjectIdArray& entityIds, AcDbDatabase*& newDb,
                                     AcDbIdMapping& idMap) {
    newDb = new AcDbDatabase(true, true);
    if (newDb == nullptr) {
        return Acad::eOutOfMemory;
    }
    const Acad::ErrorStatus es =
        cloneObjectsInContext(AcDb::kDcWblock, entityIds, newDb->modelSpaceId(), idMap);
    if (es != Acad::eOk) {
        delete newDb;
        newDb = nullptr;
    }
    return es;
}

}  // namespace kxhost

// --- Database members ---------------------------------------------------------------------------

Acad::ErrorStatus AcDbDatabase::deepCloneObjects(const AcDbObjectIdArray& ids,
                                                 const AcDbObjectId& ownerId, AcDbIdMapping& idMap,
                                                 bool deferXlation) {
    for (const AcDbObjectId& id : ids) {
        if (!id.isNull() && id.database() != this) {
            return Acad::eWrongDatabase;
        }
    }
    return kxhost::runClone(kxhost::CloneKind::kDeep, this, ids, ownerId, idMap, deferXlation,
                            AcDb::kDcObjects);
}

Acad::ErrorStatus AcDbDatabase::wblockCloneObjects(const AcDbObjectIdArray& ids,
                                                   const AcDbObjectId& ownerInDest,
                                                   AcDbIdMapping& idMap,
                                                   AcDb::DuplicateRecordCloning drc,
                                                   bool deferXlation) {
    for (const AcDbObjectId& id : ids) {
        if (!id.isNull() && id.database() != this) {
            return Acad::eWrongDatabase;
        }
    }
    const Acad::ErrorStatus es = idMap.setDuplicateRecordCloning(drc);
    if (es != Acad::eOk) {
        return es;
    }
    return kxhost::runClone(kxhost::CloneKind::kWblock, this, ids, ownerInDest, idMap, deferXlation,
                            AcDb::kDcWblkObjects);
}
