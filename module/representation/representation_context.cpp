// The per-reference side of the representation: the entities the actions work on during one
// evaluation, and the bookkeeping that runs when the evaluation is over.
#include "module/representation/representation_context.h"

#include "host/db/blocktablerecord.h"
#include "host/db/database.h"
#include "host/db/idmapping.h"
#include "host/entities/attdef.h"
#include "host/entities/attrib.h"
#include "host/entities/blockref.h"
#include "host/entities/objectiterator.h"
#include "module/representation/entity_index.h"
#include "module/representation/rep_drag.h"
#include "module/representation/rep_util.h"
#include "module/representation/representation.h"
#include "module/representation/representation_context_imp.h"
#include "module/representation/shape_index.h"
#include "module/representation/tags.h"

using namespace kxrep;

namespace {

bool isResident(const AcDbBlockReference* ref) {
    return ref != nullptr && ref->database() != nullptr;
}

// Closes everything handed out so far after a failure.
void closeAll(KxDbTagEntityList& objects) {
    for (AcDbEntity* ent : objects) {
        ent->close();
    }
    objects.clear();
}

bool alreadyOpen(Acad::ErrorStatus es) {
    return es == Acad::eWasOpenForWrite || es == Acad::eWasOpenForRead;
}

// Opens the reference's attributes in the mode (locked layers included) and appends them.
Acad::ErrorStatus appendAttributes(const AcDbBlockReference* ref, AcDb::OpenMode mode,
                                   const AcString* onlyTag, KxDbTagEntityList& objects) {
    AcDbObjectIterator* it = ref->attributeIterator();
    if (it == nullptr) {
        return Acad::eOk;
    }
    Acad::ErrorStatus es = Acad::eOk;
    for (it->start(); !it->done() && es == Acad::eOk; it->step()) {
        const AcDbObjectId id = it->objectId();
        AcDbAttribute* attribute = nullptr;
        if (id.isNull()) {
            // A drag image holds its attributes in memory.
            attribute = AcDbAttribute::cast(it->entity());
        } else {
            const Acad::ErrorStatus openEs = acdbOpenObject(attribute, id, mode, false, true);
            if (alreadyOpen(openEs)) {
                continue;
            }
            es = openEs;
        }
        if (attribute == nullptr) {
            continue;
        }
        if (onlyTag != nullptr && acCompareNoCase(attribute->tag(), *onlyTag) != 0) {
            attribute->close();
            continue;
        }
        objects.push_back(attribute);
    }
    delete it;
    return es;
}

// Keep the module's entity index current when it describes the representation being edited.
bool describesRepresentation(const AcDbBlockReference* ref) {
    return isResident(ref) ? kxindex::isIndexed(ref->blockTableRecord()) : kxindex::isIndexed(ref);
}

void noteAdded(const AcDbBlockReference* ref, const AcDbEntity* entity) {
    if (describesRepresentation(ref)) {
        kxindex::addToIndex(entity);
    }
}

void noteRemoved(const AcDbBlockReference* ref, const AcDbEntity* entity) {
    if (describesRepresentation(ref)) {
        kxindex::removeFromIndex(entity);
    }
}

// The ids of the block's entities whose entity tag carries the index: through the module's
// entity index when it can describe the block, else by walking the block.
void idsWithIndex(const AcDbObjectId& blockId, Adesk::Int32 index, AcDbObjectIdArray& ids) {
    ids.setLogicalLength(0);
    if (kxindex::indexBlock(blockId) == Acad::eOk) {
        kxindex::findIds(index, ids);
        return;
    }
    for (const AcDbObjectId& id : kxhost::blockEntityIds(blockId)) {
        Opened<AcDbEntity> probe;
        Adesk::Int32 entityIndex = -1;
        AcDbHandle handle;
        if (probe.open(id, AcDb::kForRead) == Acad::eOk &&
            kxtags::readEntityTag(probe.get(), entityIndex, handle) == Acad::eOk &&
            entityIndex == index) {
            ids.append(id);
        }
    }
}

// The drag image's copies whose entity tag carries the index, appended to `objects`. The module's
// entity index (by address) is built once per image: reading the tag of every copy for every
// definition entity would make one drag step quadratic in the size of the block.
Acad::ErrorStatus copiesWithIndex(const AcDbBlockReference* image, Adesk::Int32 index,
                                  KxDbTagEntityList& objects) {
    Acad::ErrorStatus es = kxdrag::ensureEntities(image);
    if (es != Acad::eOk) {
        return es;
    }
    if (kxindex::indexDragImage(image) == Acad::eOk) {
        AcArray<AcDbEntity*> found;
        kxindex::findEntities(index, found);
        for (int i = 0; i < found.length(); ++i) {
            objects.push_back(found[i]);
        }
        return Acad::eOk;
    }
    KxDbTagEntityList copies;
    es = kxdrag::entitiesOf(image, copies);
    for (AcDbEntity* copy : copies) {
        Adesk::Int32 copyIndex = -1;
        AcDbHandle handle;
        if (kxtags::readEntityTag(copy, copyIndex, handle) == Acad::eOk && copyIndex == index) {
            objects.push_back(copy);
        }
    }
    return es;
}

}  // namespace

KxDbTagRepresentationContext::KxDbTagRepresentationContext(AcDbBlockReference* ref)
    : m_pImp(new KxDbImpTagRepresentationContext(ref)) {}

KxDbTagRepresentationContext::~KxDbTagRepresentationContext() {
    AcDbBlockReference* ref = m_pImp->m_ref;
    if (m_pImp->m_touched && isResident(ref) && !ref->isModified()) {
        // The reference itself did not change, but what it shows did: it must be saved and
        // redrawn like a modified object.
        if (ref->isWriteEnabled()) {
            ref->assertWriteEnabled(true, true);
        } else if (ref->upgradeOpen() == Acad::eOk) {
            ref->assertWriteEnabled(true, true);
            ref->downgradeOpen();
        }
    }
    if (m_pImp->m_changed && !m_pImp->m_failed && isResident(ref)) {
        if (KxDbTagRepresentation* rep = KxDbTagRepresentation::of(ref)) {
            rep->shareEquivalentRepresentation(ref);
        }
    }
    delete m_pImp;
}

AcDbBlockReference* KxDbTagRepresentationContext::blockReference() const {
    return m_pImp->m_ref;
}

bool KxDbTagRepresentationContext::definitionHasProxyEntities() {
    if (!m_pImp->m_restrictionsComputed && m_pImp->m_ref != nullptr) {
        m_pImp->m_restrictionsComputed = true;
        AcDbObjectId definitionId;
        if (KxDbTagRepresentation* rep = KxDbTagRepresentation::of(m_pImp->m_ref)) {
            definitionId = rep->getSourceDefinition(m_pImp->m_ref);
        }
        if (definitionId.isNull()) {
            definitionId = m_pImp->m_ref->blockTableRecord();
        }
        m_pImp->m_proxyEntities = blockHasProxyEntities(definitionId);
    }
    return m_pImp->m_proxyEntities;
}

bool KxDbTagRepresentationContext::hasSecondRestriction() const {
    return m_pImp->m_secondRestriction;
}

bool KxDbTagRepresentationContext::isChanged() const {
    return m_pImp->m_changed;
}

bool KxDbTagRepresentationContext::isUnique() const {
    return m_pImp->m_unique;
}

bool KxDbTagRepresentationContext::isTouched() const {
    return m_pImp->m_touched;
}

Acad::ErrorStatus KxDbTagRepresentationContext::makeUnique() {
    AcDbBlockReference* ref = m_pImp->m_ref;
    if (ref == nullptr) {
        return Acad::eNullObjectPointer;
    }
    if (m_pImp->m_unique) {
        m_pImp->m_changed = true;
        return Acad::eOk;
    }
    KxDbTagRepresentation* rep = KxDbTagRepresentation::of(ref);
    if (rep == nullptr) {
        return Acad::eNotApplicable;
    }
    const AcDbObjectId formerBlock = ref->blockTableRecord();
    const bool hadSource = rep->hasSourceDefinition(ref);
    const Acad::ErrorStatus es = rep->makeRepresentationUnique(ref);
    if (es != Acad::eOk) {
        return es;
    }
    m_pImp->m_unique = true;
    m_pImp->m_changed = true;
    if (ref->blockTableRecord() != formerBlock) {
        m_pImp->m_formerBlock = formerBlock;
        m_pImp->m_createdBlock = ref->blockTableRecord();
        m_pImp->m_recordedSource = !hadSource;
    }
    return Acad::eOk;
}

Acad::ErrorStatus KxDbTagRepresentationContext::abandonChange() {
    m_pImp->m_failed = true;
    AcDbBlockReference* ref = m_pImp->m_ref;
    if (m_pImp->m_createdBlock.isNull() || !isResident(ref)) {
        return Acad::eOk;
    }
    KxDbTagRepresentation* rep = KxDbTagRepresentation::of(ref);
    Acad::ErrorStatus es = rep != nullptr ? rep->setReferenceBlock(ref, m_pImp->m_formerBlock)
                                          : ref->setBlockTableRecord(m_pImp->m_formerBlock);
    if (es != Acad::eOk) {
        return es;
    }
    if (m_pImp->m_recordedSource) {
        es = recordSourceDefinition(ref, AcDbObjectId());
    }
    Opened<AcDbBlockTableRecord> created;
    if (created.open(m_pImp->m_createdBlock, AcDb::kForWrite) == Acad::eOk) {
        const Acad::ErrorStatus eraseEs = created->erase();
        es = es != Acad::eOk ? es : eraseEs;
    }
    m_pImp->m_createdBlock = AcDbObjectId();
    m_pImp->m_formerBlock = AcDbObjectId();
    m_pImp->m_recordedSource = false;
    m_pImp->m_unique = false;
    return es;
}

Acad::ErrorStatus KxDbTagRepresentationContext::update() {
    m_pImp->m_touched = true;
    return makeUnique();
}

Acad::ErrorStatus KxDbTagRepresentationContext::addEntity(AcDbEntity* entity,
                                                          const AcDbObjectId& replacedId) {
    if (entity == nullptr) {
        return kxtags::kNullEntity;
    }
    if (entity->database() != nullptr) {
        return Acad::eWrongDatabase;
    }
    Acad::ErrorStatus es = makeUnique();
    if (es != Acad::eOk) {
        return es;
    }
    if (!replacedId.isNull()) {
        Opened<AcDbEntity> replaced;
        es = replaced.open(replacedId, AcDb::kForRead);
        if (es == Acad::eOk) {
            es = kxtags::copyEntityTag(replaced.get(), entity);
        }
        if (es != Acad::eOk) {
            return es;
        }
    }
    AcDbBlockReference* ref = m_pImp->m_ref;
    kxindex::OwnEditScope ownEdit;
    if (!isResident(ref)) {
        es = kxdrag::append(ref, entity);
        if (es == Acad::eOk) {
            noteAdded(ref, entity);
        }
        return es;
    }
    Opened<AcDbBlockTableRecord> block;
    es = block.open(ref->blockTableRecord(), AcDb::kForWrite);
    if (es != Acad::eOk) {
        return es;
    }
    es = block->appendAcDbEntity(entity);
    if (es == Acad::eOk) {
        noteAdded(ref, entity);
        entity->close();
    }
    return es;
}

Acad::ErrorStatus KxDbTagRepresentationContext::cloneIntoRepresentation(
    const AcDbObjectId& entityId, AcDbEntity*& clone, AcDbIdMapping& idMap,
    const AcDbObjectId& definitionEntityId) {
    clone = nullptr;
    AcDbBlockReference* ref = m_pImp->m_ref;
    if (ref == nullptr) {
        return Acad::eNullObjectPointer;
    }
    AcDbDatabase* db = ref->database();
    if (db == nullptr) {
        return kNoDatabase;
    }
    if (!entityId.isValid() || !definitionEntityId.isValid()) {
        return Acad::eInvalidInput;
    }
    if (entityId.database() != db || definitionEntityId.database() != db) {
        return Acad::eWrongDatabase;
    }
    Acad::ErrorStatus es = makeUnique();
    if (es != Acad::eOk) {
        return es;
    }
    Opened<AcDbEntity> source;
    es = source.open(entityId, AcDb::kForRead);
    if (es != Acad::eOk) {
        return es;
    }
    kxindex::OwnEditScope ownEdit;
    Opened<AcDbBlockTableRecord> block;
    es = block.open(ref->blockTableRecord(), AcDb::kForWrite);
    if (es != Acad::eOk) {
        return es;
    }
    AcDbObject* obj = nullptr;
    es = source->deepClone(block.get(), obj, idMap, true);
    if (es != Acad::eOk || obj == nullptr) {
        if (obj != nullptr) {
            obj->close();
        }
        return es != Acad::eOk ? es : Acad::eNullObjectPointer;
    }
    Opened<AcDbEntity> result(AcDbEntity::cast(obj));
    if (!result) {
        obj->close();
        return Acad::eWrongObjectType;
    }
    Opened<AcDbEntity> definitionEntity;
    es = definitionEntity.open(definitionEntityId, AcDb::kForRead);
    if (es == Acad::eOk) {
        es = kxtags::copyEntityTag(definitionEntity.get(), result.get());
    }
    if (es != Acad::eOk) {
        // An untagged copy would never be found again: it does not stay in the representation.
        result->erase();
        return es;
    }
    noteAdded(ref, result.get());
    clone = result.release();
    return Acad::eOk;
}

Acad::ErrorStatus KxDbTagRepresentationContext::getRepresentationObjects(
    AcDb::OpenMode mode, KxDbTagEntityList& objects) {
    objects.clear();
    AcDbBlockReference* ref = m_pImp->m_ref;
    if (ref == nullptr) {
        return Acad::eNullObjectPointer;
    }
    // Entities handed out for write are about to change: they must be the reference's own.
    Acad::ErrorStatus es = mode == AcDb::kForWrite ? makeUnique() : Acad::eOk;
    if (es != Acad::eOk) {
        return es;
    }
    if (!isResident(ref)) {
        es = kxdrag::entitiesOf(ref, objects);
    } else {
        for (const AcDbObjectId& id : kxhost::blockEntityIds(ref->blockTableRecord())) {
            AcDbEntity* ent = nullptr;
            const Acad::ErrorStatus openEs = acdbOpenAcDbEntity(ent, id, mode, false, true);
            if (alreadyOpen(openEs)) {
                continue;
            }
            if (openEs != Acad::eOk) {
                es = openEs;
                break;
            }
            objects.push_back(ent);
        }
    }
    if (es == Acad::eOk) {
        es = appendAttributes(ref, mode, nullptr, objects);
    }
    if (es != Acad::eOk) {
        if (isResident(ref)) {
            closeAll(objects);
        }
        objects.clear();
    }
    return es;
}

Acad::ErrorStatus KxDbTagRepresentationContext::getObjectsForDefinitionEntity(
    const AcDbObjectId& definitionEntityId, AcDb::OpenMode mode, KxDbTagEntityList& objects) {
    objects.clear();
    AcDbBlockReference* ref = m_pImp->m_ref;
    if (ref == nullptr) {
        return Acad::eNullObjectPointer;
    }
    if (definitionEntityId.isNull()) {
        return Acad::eNullObjectId;
    }
    Acad::ErrorStatus es = mode == AcDb::kForWrite ? makeUnique() : Acad::eOk;
    if (es != Acad::eOk) {
        return es;
    }
    // What identifies the definition entity: its tag's entity index and, for an attribute
    // definition that is not constant, its attribute tag.
    // Every change of every reference asks this of each definition entity: the drawing's index
    // keeps it until the host announces a change of the entity.
    kxshare::EntityFacts facts;
    if (!kxshare::cachedEntityFacts(definitionEntityId, facts)) {
        Opened<AcDbEntity> definitionEntity;
        es = definitionEntity.open(definitionEntityId, AcDb::kForRead);
        if (es != Acad::eOk) {
            return es;
        }
        AcDbHandle handle;
        facts.tagged =
            kxtags::readEntityTag(definitionEntity.get(), facts.index, handle) == Acad::eOk;
        facts.owner = definitionEntity->ownerId();
        if (auto* attdef = AcDbAttributeDefinition::cast(definitionEntity.get())) {
            facts.attributeWanted = !attdef->isConstant();
            facts.attributeTag = attdef->tag();
        }
        // What is read while the entity is being changed is not kept: the change is announced
        // only when it is closed.
        if (!definitionEntity->isWriteEnabled()) {
            kxshare::keepEntityFacts(definitionEntityId, facts);
        }
    }
    const Adesk::Int32 index = facts.index;
    const bool tagged = facts.tagged;
    const bool attributeWanted = facts.attributeWanted;
    const AcString& attributeTag = facts.attributeTag;
    const AcDbObjectId& owner = facts.owner;

    if (!isResident(ref)) {
        if (tagged) {
            es = copiesWithIndex(ref, index, objects);
        }
    } else if (ref->blockTableRecord() == owner) {
        // The reference still shows the definition itself (read access only).
        AcDbEntity* ent = nullptr;
        es = acdbOpenAcDbEntity(ent, definitionEntityId, mode, false, true);
        if (es == Acad::eOk) {
            objects.push_back(ent);
        } else if (alreadyOpen(es)) {
            es = Acad::eOk;
        }
    } else if (tagged) {
        // The context's id list keeps its storage from one definition entity to the next; a
        // lookup made while another is walking its list (a reactor of an opened entity asking
        // again) gets a list of its own.
        AcDbObjectIdArray ownIds;
        const bool reuse = !m_pImp->m_idsInUse;
        AcDbObjectIdArray& ids = reuse ? m_pImp->m_ids : ownIds;
        m_pImp->m_idsInUse = true;
        idsWithIndex(ref->blockTableRecord(), index, ids);
        for (const AcDbObjectId& id : ids) {
            AcDbEntity* ent = nullptr;
            const Acad::ErrorStatus openEs = acdbOpenAcDbEntity(ent, id, mode, false, true);
            if (alreadyOpen(openEs) || openEs == Acad::eWasErased) {
                continue;
            }
            if (openEs != Acad::eOk) {
                es = openEs;
                break;
            }
            objects.push_back(ent);
        }
        if (reuse) {
            m_pImp->m_idsInUse = false;
        }
    }
    if (es == Acad::eOk && attributeWanted) {
        es = appendAttributes(ref, mode, &attributeTag, objects);
    }
    if (es != Acad::eOk) {
        if (isResident(ref)) {
            closeAll(objects);
        }
        objects.clear();
    }
    return es;
}

Acad::ErrorStatus KxDbTagRepresentationContext::removeEntity(AcDbEntity* entity) {
    if (entity == nullptr) {
        return kxtags::kNullEntity;
    }
    AcDbBlockReference* ref = m_pImp->m_ref;
    if (ref == nullptr) {
        return Acad::eNullObjectPointer;
    }
    Acad::ErrorStatus es = makeUnique();
    if (es != Acad::eOk) {
        return es;
    }
    kxindex::OwnEditScope ownEdit;
    if (!isResident(ref)) {
        es = kxdrag::remove(ref, entity);
        if (es == Acad::eOk) {
            noteRemoved(ref, entity);
            delete entity;
        }
        return es;
    }
    if (entity->objectId().isNull()) {
        return Acad::eNullObjectId;
    }
    if (entity->ownerId() != ref->blockTableRecord()) {
        return Acad::eKeyNotFound;
    }
    if (!entity->isWriteEnabled()) {
        es = entity->upgradeOpen();
    }
    if (es == Acad::eOk) {
        noteRemoved(ref, entity);
        es = entity->erase();
    }
    entity->close();
    return es;
}
