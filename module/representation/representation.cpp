// The block-level operations of the representation: creating representation blocks, giving a
// reference a block of its own, and moving references to equivalent blocks.
#include "module/representation/representation.h"

#include <algorithm>

#include "host/db/blocktable.h"
#include "host/db/blocktablerecord.h"
#include "host/db/clone.h"
#include "host/db/database.h"
#include "host/db/extents.h"
#include "host/db/idmapping.h"
#include "host/db/sortents.h"
#include "host/entities/blockref.h"
#include "host/entities/minsert.h"
#include "host/entities/proxyentity.h"
#include "host/rx/dictionary.h"
#include "host/rx/services.h"
#include "module/representation/equivalence.h"
#include "module/representation/rep_drag.h"
#include "module/representation/rep_util.h"
#include "module/representation/representation_context.h"
#include "module/representation/representation_imp.h"
#include "module/representation/shape_index.h"
#include "module/representation/tags.h"
#include "module/rootdata/root_data.h"

namespace kxrep {

bool recordedSourceDefinition(const AcDbBlockReference* ref, AcDbObjectId& definitionId) {
    definitionId = AcDbObjectId();
    if (ref == nullptr || ref->database() == nullptr || ref->objectId().isNull()) {
        return false;
    }
    KxDbTagRootData* rootData = nullptr;
    if (KxDbTagRootData::openRootData(ref->database(), AcDb::kForRead, rootData) != Acad::eOk) {
        return false;
    }
    const bool found = rootData->getSourceDefinition(ref->objectId(), definitionId);
    rootData->close();
    return found && !definitionId.isNull();
}

Acad::ErrorStatus recordSourceDefinition(const AcDbBlockReference* ref,
                                         const AcDbObjectId& definitionId) {
    if (ref == nullptr || ref->database() == nullptr) {
        return kNoDatabase;
    }
    KxDbTagRootData* rootData = nullptr;
    Acad::ErrorStatus es = KxDbTagRootData::openRootData(ref->database(), AcDb::kForWrite,
                                                         !definitionId.isNull(), rootData);
    if (es != Acad::eOk) {
        // Clearing what was never recorded is no failure.
        return definitionId.isNull() ? Acad::eOk : es;
    }
    es = rootData->setSourceDefinition(ref->objectId(), definitionId);
    rootData->close();
    return es;
}

bool blockHasProxyEntities(const AcDbObjectId& blockId) {
    // Asked on every change of every reference: the drawing's index keeps the answer until the
    // block or one of its entities changes.
    bool found = false;
    if (kxshare::cachedHasProxyEntities(blockId, found)) {
        return found;
    }
    for (const AcDbObjectId& id : kxhost::blockEntityIds(blockId)) {
        Opened<AcDbEntity> ent;
        if (ent.open(id, AcDb::kForRead) == Acad::eOk &&
            AcDbProxyEntity::cast(ent.get()) != nullptr) {
            found = true;
            break;
        }
    }
    kxshare::keepHasProxyEntities(blockId, found);
    return found;
}

namespace {

// The reference may be changed: a block reference (or multi-insert) whose block is no external
// or overlay reference.
Acad::ErrorStatus checkReference(const AcDbBlockReference* ref) {
    if (ref == nullptr) {
        return Acad::eNullObjectPointer;
    }
    if (!ref->isKindOf(AcDbBlockReference::desc()) && !ref->isKindOf(AcDbMInsertBlock::desc())) {
        return Acad::eWrongObjectType;
    }
    const AcDbObjectId blockId = ref->blockTableRecord();
    if (blockId.isNull()) {
        return Acad::eOk;
    }
    Opened<AcDbBlockTableRecord> block;
    if (block.open(blockId, AcDb::kForRead) == Acad::eOk &&
        (block->isFromExternalReference() || block->isFromOverlayReference())) {
        return Acad::eWrongObjectType;
    }
    return Acad::eOk;
}

// The definition whose entities the reference shows.
AcDbObjectId definitionShownBy(const AcDbBlockReference* ref) {
    AcDbObjectId definitionId;
    if (recordedSourceDefinition(ref, definitionId)) {
        return definitionId;
    }
    return KxDbTagRepresentation::definitionOfBlock(ref->blockTableRecord());
}

// Copies the draw order of `source` onto `target` through the clone map (entities without a
// clone are dropped). A source without a draw-order table is left alone.
Acad::ErrorStatus copyDrawOrder(AcDbBlockTableRecord* source, AcDbBlockTableRecord* target,
                                const AcDbIdMapping& idMap) {
    AcDbObjectIdArray order;
    {
        AcDbSortentsTable* sourceTable = nullptr;
        if (source->getSortentsTable(sourceTable, AcDb::kForRead) != Acad::eOk) {
            return Acad::eOk;
        }
        Opened<AcDbSortentsTable> holder(sourceTable);
        const Acad::ErrorStatus es = sourceTable->getFullDrawOrder(order);
        if (es != Acad::eOk) {
            return es;
        }
    }
    AcDbObjectIdArray mapped;
    for (const AcDbObjectId& id : order) {
        AcDbIdPair pair(id, AcDbObjectId(), false);
        if (idMap.compute(pair) && pair.isCloned() && !pair.value().isNull()) {
            mapped.append(pair.value());
        }
    }
    AcDbSortentsTable* targetTable = nullptr;
    Acad::ErrorStatus es = target->getSortentsTable(targetTable, AcDb::kForWrite, true);
    if (es != Acad::eOk) {
        return es;
    }
    Opened<AcDbSortentsTable> holder(targetTable);
    return mapped.isEmpty() ? Acad::eOk : targetTable->setRelativeDrawOrder(mapped);
}

// The equivalence reactors registered for block references, asked in list order.
bool askEquivalenceReactors(AcDbBlockReference* candidate, AcDbBlockReference* ref) {
    auto* services = AcRxDictionary::cast(acrxSysRegistry()->at(L"ServiceDictionary"));
    auto* factory =
        services != nullptr
            ? AcRxProtocolReactorManagerFactory::cast(services->at(L"ProtocolReactorManager"))
            : nullptr;
    AcRxProtocolReactorManager* manager =
        factory != nullptr ? factory->findReactorManager(AcDbBlockReference::desc()) : nullptr;
    AcRxClass* reactorClass = KxDbTagRepresentationEquivalence::desc();
    AcRxProtocolReactorList* list = manager != nullptr && reactorClass != nullptr
                                        ? manager->findReactorList(reactorClass)
                                        : nullptr;
    if (list == nullptr) {
        return false;
    }
    AcRxProtocolReactorIterator* it = list->newIterator();
    bool equivalent = false;
    for (it->start(); !it->done() && !equivalent; it->next()) {
        auto* reactor = KxDbTagRepresentationEquivalence::cast(it->reactor());
        equivalent = reactor != nullptr && reactor->isEquivalent(candidate, ref);
    }
    delete it;
    return equivalent;
}

// One live reference of the block other than `self`, or the null id.
AcDbObjectId liveReferenceOf(AcDbDatabase* db, const AcDbObjectId& blockId,
                             const AcDbObjectId& self) {
    AcDbObjectIdArray refs;
    if (kxshare::referencesOf(db, blockId, refs) != Acad::eOk) {
        return AcDbObjectId();
    }
    for (const AcDbObjectId& id : refs) {
        if (id != self && !id.isErased()) {
            return id;
        }
    }
    return AcDbObjectId();
}

}  // namespace
}  // namespace kxrep

using namespace kxrep;

void KxDbImpTagRepresentation::leave(const AcDbBlockReference* ref) {
    m_switching.erase(std::remove(m_switching.begin(), m_switching.end(), ref), m_switching.end());
}

bool KxDbImpTagRepresentation::contains(const AcDbBlockReference* ref) const {
    return std::find(m_switching.begin(), m_switching.end(), ref) != m_switching.end();
}

KxDbTagRepresentation::KxDbTagRepresentation() : m_pImp(new KxDbImpTagRepresentation()) {}

KxDbTagRepresentation::~KxDbTagRepresentation() {
    delete m_pImp;
}

KxDbTagRepresentation* KxDbTagRepresentation::of(const AcDbBlockReference* ref) {
    AcRxClass* cls = KxDbTagRepresentation::desc();
    if (ref == nullptr || cls == nullptr) {
        return nullptr;
    }
    return KxDbTagRepresentation::cast(ref->queryX(cls));
}

AcDbObjectId KxDbTagRepresentation::definitionOfBlock(const AcDbObjectId& blockId) {
    Opened<AcDbBlockTableRecord> block;
    AcDbObjectId definitionId;
    if (block.open(blockId, AcDb::kForRead) == Acad::eOk &&
        kxtags::readBlockTag(block.get(), definitionId) == Acad::eOk && !definitionId.isNull()) {
        return definitionId;
    }
    return blockId;
}

bool KxDbTagRepresentation::hasSourceDefinition(const AcDbBlockReference* ref) const {
    return !getSourceDefinition(ref).isNull();
}

AcDbObjectId KxDbTagRepresentation::getSourceDefinition(const AcDbBlockReference* ref) const {
    AcDbObjectId definitionId;
    if (ref == nullptr) {
        return definitionId;
    }
    if (ref->database() == nullptr) {
        // A drag image stands for the database reference it was made from.
        const AcDbObjectId sourceRef = kxdrag::sourceReferenceOf(ref);
        Opened<AcDbBlockReference> source;
        if (!sourceRef.isNull() && source.open(sourceRef, AcDb::kForRead) == Acad::eOk) {
            recordedSourceDefinition(source.get(), definitionId);
        }
        return definitionId;
    }
    recordedSourceDefinition(ref, definitionId);
    return definitionId;
}

KxDbTagRepresentationContext* KxDbTagRepresentation::newRepresentationContext(
    AcDbBlockReference* ref) {
    return new KxDbTagRepresentationContext(ref);
}

bool KxDbTagRepresentation::isSwitchingBlock(const AcDbBlockReference* ref) const {
    return m_pImp->contains(ref);
}

Acad::ErrorStatus KxDbTagRepresentation::setReferenceBlock(AcDbBlockReference* ref,
                                                           const AcDbObjectId& blockId) {
    if (ref == nullptr) {
        return Acad::eNullObjectPointer;
    }
    m_pImp->enter(ref);
    Acad::ErrorStatus es = Acad::eOk;
    if (ref->isWriteEnabled()) {
        es = ref->setBlockTableRecord(blockId);
    } else {
        es = ref->upgradeOpen();
        if (es == Acad::eOk) {
            es = ref->setBlockTableRecord(blockId);
            ref->downgradeOpen();
        }
    }
    if (es == Acad::eOk) {
        // The host tells the index only when the reference is closed; lookups made before that
        // (the reference's own change goes on) must already see it here.
        kxshare::noteReferenceBlock(ref);
    }
    m_pImp->leave(ref);
    return es;
}

Acad::ErrorStatus KxDbTagRepresentation::createRepresentationBlock(
    const AcDbObjectId& sourceBlockId, AcDbObjectId& newBlockId) {
    newBlockId = AcDbObjectId();
    if (sourceBlockId.isNull()) {
        return Acad::eNullObjectId;
    }
    Opened<AcDbBlockTableRecord> source;
    Acad::ErrorStatus es = source.open(sourceBlockId, AcDb::kForRead);
    if (es != Acad::eOk) {
        return es;
    }
    AcDbDatabase* db = source->database();
    if (db == nullptr) {
        return kNoDatabase;
    }

    auto* record = new AcDbBlockTableRecord();
    record->setName(L"*U");
    record->setExplodable(source->explodable());
    record->setBlockScaling(source->blockScaling());
    {
        AcDbBlockTable* table = nullptr;
        es = db->getBlockTable(table, AcDb::kForWrite);
        if (es != Acad::eOk) {
            delete record;
            return es;
        }
        Opened<AcDbBlockTable> tableHolder(table);
        es = table->add(newBlockId, record);
        if (es != Acad::eOk) {
            delete record;
            return es;
        }
    }
    Opened<AcDbBlockTableRecord> target(record);

    // The block tag names the definition: a representation being copied passes on its own.
    AcDbObjectId definitionId;
    if (kxtags::readBlockTag(source.get(), definitionId) != Acad::eOk || definitionId.isNull()) {
        definitionId = sourceBlockId;
    }
    es = kxtags::writeBlockTag(record, definitionId);

    AcDbIdMapping idMap;
    idMap.setOrigDb(db);
    idMap.setDestDb(db);
    const AcDbObjectIdArray entityIds = kxhost::blockEntityIds(sourceBlockId);
    for (int i = 0; i < entityIds.length() && es == Acad::eOk; ++i) {
        Opened<AcDbEntity> ent;
        es = ent.open(entityIds[i], AcDb::kForRead);
        if (es != Acad::eOk) {
            break;
        }
        AcDbObject* clone = nullptr;
        es = ent->deepClone(record, clone, idMap, true);
        if (clone != nullptr) {
            clone->close();
        }
    }
    if (es == Acad::eOk) {
        es = kxhost::translateClonedIds(idMap);
    }
    // The id translation points each copy's entity tag at the copy itself; the tag is to name
    // the definition entity the copy stands for, as the source's tag does.
    for (int i = 0; i < entityIds.length() && es == Acad::eOk; ++i) {
        AcDbIdPair pair(entityIds[i], AcDbObjectId(), false);
        if (!idMap.compute(pair) || pair.value().isNull()) {
            continue;
        }
        Opened<AcDbEntity> from;
        Opened<AcDbEntity> to;
        Adesk::Int32 index = -1;
        AcDbHandle handle;
        if (from.open(entityIds[i], AcDb::kForRead) == Acad::eOk &&
            kxtags::readEntityTag(from.get(), index, handle) == Acad::eOk &&
            to.openEntity(pair.value(), AcDb::kForWrite) == Acad::eOk) {
            es = kxtags::writeEntityTag(to.get(), index, handle);
        }
    }
    if (es == Acad::eOk) {
        es = copyDrawOrder(source.get(), record, idMap);
    }
    if (es != Acad::eOk) {
        // A half-made block is not left behind.
        record->erase();
        newBlockId = AcDbObjectId();
    }
    return es;
}

Acad::ErrorStatus KxDbTagRepresentation::createRepresentation(AcDbBlockReference* ref,
                                                              AcDbObjectId* createdBlock) {
    if (createdBlock != nullptr) {
        *createdBlock = AcDbObjectId();
    }
    Acad::ErrorStatus es = checkReference(ref);
    if (es != Acad::eOk) {
        return es;
    }
    if (hasSourceDefinition(ref)) {
        return kAlreadyRepresented;
    }
    const AcDbObjectId currentId = ref->blockTableRecord();
    if (currentId.isNull()) {
        return Acad::eNullObjectId;
    }
    // A reference pointing at a representation block nobody recorded (a copy made without the
    // module) keeps the state that block shows: the copy is made from it.
    const AcDbObjectId definitionId = definitionOfBlock(currentId);
    if (blockHasProxyEntities(definitionId)) {
        return kHasProxyEntities;
    }
    // Tag the definition first, so its copies (a drag image's as well) carry entity tags.
    es = kxtags::tagDefinition(definitionId);
    if (es != Acad::eOk || ref->database() == nullptr) {
        return es;
    }
    AcDbObjectId newBlockId;
    es = createRepresentationBlock(currentId, newBlockId);
    if (es != Acad::eOk) {
        return es;
    }
    es = setReferenceBlock(ref, newBlockId);
    if (es == Acad::eOk) {
        es = recordSourceDefinition(ref, definitionId);
        if (es != Acad::eOk) {
            setReferenceBlock(ref, currentId);
        }
    }
    if (es != Acad::eOk) {
        Opened<AcDbBlockTableRecord> block;
        if (block.open(newBlockId, AcDb::kForWrite) == Acad::eOk) {
            block->erase();
        }
        return es;
    }
    if (createdBlock != nullptr) {
        *createdBlock = newBlockId;
    }
    return Acad::eOk;
}

Acad::ErrorStatus KxDbTagRepresentation::makeRepresentationUnique(AcDbBlockReference* ref) {
    Acad::ErrorStatus es = checkReference(ref);
    if (es != Acad::eOk) {
        return es;
    }
    if (!hasSourceDefinition(ref)) {
        return createRepresentation(ref);
    }
    if (blockHasProxyEntities(definitionShownBy(ref))) {
        return kHasProxyEntities;
    }
    if (ref->database() == nullptr) {
        // A drag image changes its private copies (kept by the drawable overrule).
        return Acad::eOk;
    }
    const AcDbObjectId currentId = ref->blockTableRecord();
    bool isRepresentation = false;
    {
        Opened<AcDbBlockTableRecord> block;
        es = block.open(currentId, AcDb::kForRead);
        if (es != Acad::eOk) {
            return es;
        }
        isRepresentation = kxtags::hasBlockTag(block.get());
    }
    // A reference pointed back at its definition must not change the definition; a
    // representation block no other reference shows is the reference's own already.
    if (isRepresentation) {
        AcDbObjectIdArray refs;
        if ((es = kxshare::referencesOf(ref->database(), currentId, refs)) != Acad::eOk) {
            return es;
        }
        bool shared = false;
        for (const AcDbObjectId& id : refs) {
            shared = shared || id != ref->objectId();
        }
        if (!shared) {
            return Acad::eOk;
        }
    }
    AcDbObjectId newBlockId;
    es = createRepresentationBlock(currentId, newBlockId);
    if (es != Acad::eOk) {
        return es;
    }
    es = setReferenceBlock(ref, newBlockId);
    if (es != Acad::eOk) {
        Opened<AcDbBlockTableRecord> block;
        if (block.open(newBlockId, AcDb::kForWrite) == Acad::eOk) {
            block->erase();
        }
    }
    return es;
}

Acad::ErrorStatus KxDbTagRepresentation::shareEquivalentRepresentation(AcDbBlockReference* ref) {
    if (ref == nullptr) {
        return Acad::eNullObjectPointer;
    }
    const AcDbObjectId definitionId = getSourceDefinition(ref);
    if (definitionId.isNull()) {
        return Acad::eNullObjectId;
    }
    const AcDbObjectId currentId = ref->blockTableRecord();
    if (currentId.isNull()) {
        return Acad::eInvalidInput;
    }
    AcDbDatabase* db = ref->database();
    if (db == nullptr) {
        return Acad::eOk;
    }
    // Candidates come from the drawing's shape index: anonymous blocks of the same definition
    // with the same entity count and extents, measured again just now.
    kxshare::BlockShape shape;
    AcDbObjectIdArray candidates;
    Acad::ErrorStatus es = kxshare::findSameShape(db, definitionId, currentId, shape, candidates);
    if (es != Acad::eOk) {
        return es;
    }

    AcDbObjectId equivalentId;
    for (const AcDbObjectId& candidateId : candidates) {
        // A block nobody uses any more cannot vouch for its state.
        const AcDbObjectId otherId = liveReferenceOf(db, candidateId, ref->objectId());
        Opened<AcDbBlockReference> other;
        if (otherId.isNull() || other.open(otherId, AcDb::kForRead) != Acad::eOk) {
            continue;
        }
        if (askEquivalenceReactors(other.get(), ref)) {
            equivalentId = candidateId;
            break;
        }
    }
    if (equivalentId.isNull()) {
        return Acad::eOk;
    }

    es = setReferenceBlock(ref, equivalentId);
    if (es != Acad::eOk) {
        return es;
    }
    AcDbObjectIdArray others;
    kxshare::referencesOf(db, currentId, others);
    for (const AcDbObjectId& otherId : others) {
        Opened<AcDbBlockReference> other;
        // References open elsewhere (80, 81) keep their block.
        if (otherId != ref->objectId() && other.open(otherId, AcDb::kForWrite) == Acad::eOk) {
            setReferenceBlock(other.get(), equivalentId);
        }
    }
    return Acad::eOk;
}
