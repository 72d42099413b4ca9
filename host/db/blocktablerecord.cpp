#include "host/db/blocktablerecord.h"

#include <algorithm>
#include <cwchar>
#include <map>
#include <set>
#include <vector>

#include "host/db/blocktable.h"
#include "host/db/database.h"
#include "host/db/dictionary.h"
#include "host/db/dwgfiler.h"
#include "host/db/dxffiler.h"
#include "host/db/layer.h"
#include "host/db/objectstate.h"
#include "host/db/regapp.h"
#include "host/db/sortents.h"
#include "host/entities/annotative.h"
#include "host/entities/attdef.h"
#include "host/entities/blockref.h"
#include "host/entities/entity.h"
#include "host/entities/entity_filing.h"

ACRX_HOST_DXF_CLASS(AcDbBlockTableRecord, AcDbSymbolTableRecord, "BLOCK_RECORD");
ACRX_HOST_CLASS(AcDbBlockTableRecordIterator, AcRxObject);
// After the record's own registration, so its descriptor exists (same translation unit).
static const kxhost::HostClassRegistrar s_annotativeOnBlocks([] {
    kxhost::detail::attachAnnotativePE(AcDbBlockTableRecord::desc());
});

namespace {

bool dropsErased(AcDb::FilerType type) {
    return type == AcDb::kFileFiler || type == AcDb::kDeepCloneFiler ||
           type == AcDb::kWblockCloneFiler;
}

const AcDbBlockTable* owningTable(const AcDbBlockTableRecord* record) {
    return AcDbBlockTable::cast(kxhost::detail::residentObject(record->ownerId()));
}

// The layer an entity arriving in `db` goes on: its own when it is of that database, else the
// layer of the same name there, else layer "0".
AcDbObjectId layerInDatabase(const AcDbEntity* ent, const AcDbDatabase* db) {
    const AcDbObjectId current = ent->layerId();
    if (!current.isNull() && current.database() == db) {
        return current;
    }
    const auto* foreign = AcDbLayerTableRecord::cast(kxhost::detail::residentObject(current));
    if (foreign != nullptr) {
        const AcDbObjectId same = kxhost::findLayer(db, foreign->name());
        if (!same.isNull()) {
            return same;
        }
    }
    return db->layerZero();
}

}  // namespace

namespace kxhost {

bool isAnonymousBlockName(const ACHAR* name) {
    if (name == nullptr || name[0] != L'*' || name[1] == 0 ||
        std::wcschr(L"UDXETAudxeta", name[1]) == nullptr) {
        return false;
    }
    for (const ACHAR* p = name + 2; *p != 0; ++p) {
        if (*p < L'0' || *p > L'9') {
            return false;
        }
    }
    return true;
}

AcDbObjectIdArray blockEntityIds(const AcDbObjectId& blockId, bool includeErased) {
    AcDbObjectIdArray out;
    const auto* block = AcDbBlockTableRecord::cast(detail::residentObject(blockId));
    if (block == nullptr) {
        return out;
    }
    for (const AcDbObjectId& id : block->m_entities) {
        if (id.isValid() && (includeErased || !id.isErased())) {
            out.append(id);
        }
    }
    return out;
}

AcGePoint3d blockOrigin(const AcDbObjectId& blockId) {
    const auto* block = AcDbBlockTableRecord::cast(detail::residentObject(blockId));
    return block != nullptr ? block->m_origin : AcGePoint3d::kOrigin;
}

bool isBlockAnnotative(const AcDbObjectId& blockId) {
    const auto* block = AcDbBlockTableRecord::cast(detail::residentObject(blockId));
    return block != nullptr && block->m_annotative;
}

}  // namespace kxhost

// --- Record -------------------------------------------------------------------------------------

AcDbBlockTableRecord::AcDbBlockTableRecord() = default;
AcDbBlockTableRecord::~AcDbBlockTableRecord() = default;

bool AcDbBlockTableRecord::acceptsName(const ACHAR* name) const {
    return kxhost::isValidBlockName(name);
}

Acad::ErrorStatus AcDbBlockTableRecord::setName(const ACHAR* name) {
    const AcDbBlockTable* table = database() != nullptr ? owningTable(this) : nullptr;
    if (table != nullptr && kxhost::isAnonymousBlockPrefix(name) && isWriteEnabled()) {
        return AcDbSymbolTableRecord::setName(table->uniqueAnonymousName(name));
    }
    return AcDbSymbolTableRecord::setName(name);
}

bool AcDbBlockTableRecord::isAnonymous() const {
    assertReadEnabled();
    return kxhost::isAnonymousBlockName(name());
}

bool AcDbBlockTableRecord::isLayout() const {
    assertReadEnabled();
    return acCompareNoCase(name(), ACDB_MODEL_SPACE) == 0 ||
           std::wcsncmp(acFoldString(name()).c_str(), acFoldString(ACDB_PAPER_SPACE).c_str(),
                        std::wcslen(ACDB_PAPER_SPACE)) == 0;
}

AcGePoint3d AcDbBlockTableRecord::origin() const {
    assertReadEnabled();
    return m_origin;
}

Acad::ErrorStatus AcDbBlockTableRecord::setOrigin(const AcGePoint3d& origin) {
    if (!isWriteEnabled()) {
        return Acad::eNotOpenForWrite;
    }
    assertWriteEnabled();
    m_origin = origin;
    return Acad::eOk;
}

bool AcDbBlockTableRecord::explodable() const {
    assertReadEnabled();
    return m_explodable;
}

Acad::ErrorStatus AcDbBlockTableRecord::setExplodable(bool explodable) {
    if (!isWriteEnabled()) {
        return Acad::eNotOpenForWrite;
    }
    assertWriteEnabled();
    m_explodable = explodable;
    return Acad::eOk;
}

AcDbBlockTableRecord::BlockScaling AcDbBlockTableRecord::blockScaling() const {
    assertReadEnabled();
    return m_scaling;
}

Acad::ErrorStatus AcDbBlockTableRecord::setBlockScaling(BlockScaling scaling) {
    if (scaling != kAny && scaling != kUniform) {
        return Acad::eInvalidInput;
    }
    if (!isWriteEnabled()) {
        return Acad::eNotOpenForWrite;
    }
    assertWriteEnabled();
    m_scaling = scaling;
    return Acad::eOk;
}

bool AcDbBlockTableRecord::isFromExternalReference() const {
    assertReadEnabled();
    return m_fromXref || m_fromOverlay;
}

bool AcDbBlockTableRecord::isFromOverlayReference() const {
    assertReadEnabled();
    return m_fromOverlay;
}

Acad::ErrorStatus AcDbBlockTableRecord::setIsFromExternalReference(bool fromXref) {
    if (!isWriteEnabled()) {
        return Acad::eNotOpenForWrite;
    }
    assertWriteEnabled();
    m_fromXref = fromXref;
    if (!fromXref) {
        m_fromOverlay = false;
    }
    return Acad::eOk;
}

Acad::ErrorStatus AcDbBlockTableRecord::setIsFromOverlayReference(bool fromOverlay) {
    if (!isWriteEnabled()) {
        return Acad::eNotOpenForWrite;
    }
    assertWriteEnabled();
    m_fromOverlay = fromOverlay;
    return Acad::eOk;
}

bool AcDbBlockTableRecord::isAnnotative() const {
    assertReadEnabled();
    return m_annotative;
}

Acad::ErrorStatus AcDbBlockTableRecord::setAnnotative(bool annotative) {
    if (!isWriteEnabled()) {
        return Acad::eNotOpenForWrite;
    }
    assertWriteEnabled();
    m_annotative = annotative;
    return Acad::eOk;
}

bool AcDbBlockTableRecord::hasAttributeDefinitions() const {
    assertReadEnabled();
    for (const AcDbObjectId& id : m_entities) {
        const AcDbObject* obj = kxhost::detail::residentObject(id);
        if (obj != nullptr && !obj->isErased() && AcDbAttributeDefinition::cast(obj) != nullptr) {
            return true;
        }
    }
    return false;
}

// --- Entities -----------------------------------------------------------------------------------

Acad::ErrorStatus AcDbBlockTableRecord::appendAcDbEntity(AcDbEntity* entity) {
    AcDbObjectId ignored;
    return appendAcDbEntity(ignored, entity);
}

Acad::ErrorStatus AcDbBlockTableRecord::appendAcDbEntity(AcDbObjectId& id, AcDbEntity* entity) {
    id.setNull();
    if (entity == nullptr) {
        return Acad::eNullEntityPointer;
    }
    if (!isWriteEnabled()) {
        return Acad::eNotOpenForWrite;
    }
    AcDbDatabase* db = database();
    if (db == nullptr) {
        return Acad::eNoDatabase;
    }
    if (entity->database() != nullptr) {
        return Acad::eAlreadyInDb;
    }
    const AcDbObjectId previousOwner = entity->ownerId();
    const AcDbObjectId previousLayer = entity->m_layer;
    entity->setOwnerId(objectId());
    entity->m_layer = layerInDatabase(entity, db);
    AcDbObjectId added;
    Acad::ErrorStatus es = db->addAcDbObject(added, entity);
    if (es != Acad::eOk) {
        entity->setOwnerId(previousOwner);
        entity->m_layer = previousLayer;
        return es;
    }
    m_entities.append(added);
    assertWriteEnabled(false, true);
    id = added;
    // The entity is resident now: what it still held outside the database follows it. A
    // failure there does not undo the append (the entity is the caller's to close either way).
    return entity->subAppendedToBlock();
}

Acad::ErrorStatus AcDbBlockTableRecord::newIterator(AcDbBlockTableRecordIterator*& iterator,
                                                    bool atBeginning, bool skipDeleted) const {
    assertReadEnabled();
    iterator = new AcDbBlockTableRecordIterator(objectId(), m_entities);
    if (iterator == nullptr) {
        return Acad::eOutOfMemory;
    }
    iterator->start(atBeginning, skipDeleted);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbBlockTableRecord::getBlockReferenceIds(AcDbObjectIdArray& ids,
                                                             bool directOnly,
                                                             bool forceValidity) const {
    assertReadEnabled();
    ids.setLogicalLength(0);
    AcDbDatabase* db = database();
    if (db == nullptr) {
        return Acad::eNotInDatabase;
    }
    // One pass collects every live reference by the block it points at.
    std::multimap<AcDbObjectId, AcDbObjectId> byBlock;
    for (const AcDbObjectId& id : kxhost::objectIds(db)) {
        const auto* ref = AcDbBlockReference::cast(kxhost::detail::residentObject(id));
        if (ref != nullptr && !ref->isErased()) {
            byBlock.emplace(kxhost::referencedBlock(ref), id);
        }
    }
    std::set<AcDbObjectId> visited{objectId()};
    std::vector<AcDbObjectId> pending{objectId()};
    while (!pending.empty()) {
        const AcDbObjectId block = pending.back();
        pending.pop_back();
        auto range = byBlock.equal_range(block);
        for (auto it = range.first; it != range.second; ++it) {
            if (!ids.contains(it->second)) {
                ids.append(it->second);
            }
            if (directOnly) {
                continue;
            }
            const auto* ref = AcDbBlockReference::cast(kxhost::detail::residentObject(it->second));
            const AcDbObjectId container = ref != nullptr ? ref->blockId() : AcDbObjectId::kNull;
            if (!container.isNull() && visited.insert(container).second) {
                pending.push_back(container);
            }
        }
    }
    return Acad::eOk;
}

Acad::ErrorStatus AcDbBlockTableRecord::getSortentsTable(AcDbSortentsTable*& table,
                                                         AcDb::OpenMode mode,
                                                         bool createIfNecessary) {
    table = nullptr;
    if (database() == nullptr) {
        return Acad::eNoDatabase;
    }
    AcDbObjectId dictId = extensionDictionary();
    if (dictId.isNull() || dictId.isErased()) {
        if (!createIfNecessary) {
            return Acad::eKeyNotFound;
        }
        if (!isWriteEnabled()) {
            return Acad::eNotOpenForWrite;
        }
        const Acad::ErrorStatus es = createExtensionDictionary();
        if (es != Acad::eOk) {
            return es;
        }
        dictId = extensionDictionary();
    }
    AcDbObjectId tableId;
    AcDbDictionary* dict = nullptr;
    Acad::ErrorStatus es = acdbOpenObject(dict, dictId, AcDb::kForRead);
    if (es != Acad::eOk) {
        return es;
    }
    es = dict->getAt(L"ACAD_SORTENTS", tableId);
    if (es == Acad::eKeyNotFound && createIfNecessary) {
        if (!isWriteEnabled()) {
            dict->close();
            return Acad::eNotOpenForWrite;
        }
        if ((es = dict->upgradeOpen()) != Acad::eOk) {
            dict->close();
            return es;
        }
        auto* made = new AcDbSortentsTable();
        if (made == nullptr) {
            dict->close();
            return Acad::eOutOfMemory;
        }
        es = dict->setAt(L"ACAD_SORTENTS", made, tableId);
        dict->close();
        if (es != Acad::eOk) {
            delete made;
            return es;
        }
        made->setBlockId(objectId());
        // The new table is open for write from being added; hand it out in the mode asked for.
        if (mode == AcDb::kForWrite) {
            table = made;
            return Acad::eOk;
        }
        made->close();
        return acdbOpenObject(table, tableId, mode);
    }
    dict->close();
    if (es != Acad::eOk) {
        return es;
    }
    return acdbOpenObject(table, tableId, mode);
}

Acad::ErrorStatus AcDbBlockTableRecord::subErase(Adesk::Boolean erasing) {
    for (const AcDbObjectId& id : m_entities) {
        AcDbObject* ent = nullptr;
        if (id.isValid() && id.isErased() != erasing &&
            acdbOpenAcDbObject(ent, id, AcDb::kForWrite, true) == Acad::eOk) {
            ent->erase(erasing);
            ent->close();
        }
    }
    return Acad::eOk;
}

// --- Filing -------------------------------------------------------------------------------------

Acad::ErrorStatus AcDbBlockTableRecord::dwgOutFields(AcDbDwgFiler* filer) const {
    Acad::ErrorStatus es = AcDbSymbolTableRecord::dwgOutFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    filer->writePoint3d(m_origin);
    filer->writeBool(m_explodable);
    filer->writeUInt8(static_cast<Adesk::UInt8>(m_scaling));
    filer->writeBool(m_fromXref);
    filer->writeBool(m_fromOverlay);
    filer->writeBool(m_annotative);
    const AcDb::FilerType type = filer->filerType();
    AcDbObjectIdArray filed;
    // A copy cannot own the block's entities.
    if (type != AcDb::kCopyFiler) {
        for (const AcDbObjectId& id : m_entities) {
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

Acad::ErrorStatus AcDbBlockTableRecord::dwgInFields(AcDbDwgFiler* filer) {
    Acad::ErrorStatus es = AcDbSymbolTableRecord::dwgInFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    AcGePoint3d origin;
    Adesk::Boolean explodable = true;
    Adesk::UInt8 scaling = 0;
    Adesk::Boolean fromXref = false;
    Adesk::Boolean fromOverlay = false;
    Adesk::Boolean annotative = false;
    AcDbObjectIdArray entities;
    if ((es = filer->readPoint3d(&origin)) != Acad::eOk ||
        (es = filer->readBool(&explodable)) != Acad::eOk ||
        (es = filer->readUInt8(&scaling)) != Acad::eOk ||
        (es = filer->readBool(&fromXref)) != Acad::eOk ||
        (es = filer->readBool(&fromOverlay)) != Acad::eOk ||
        (es = filer->readBool(&annotative)) != Acad::eOk ||
        (es = kxhost::detail::readIdList(filer, entities, true)) != Acad::eOk) {
        return es;
    }
    if (scaling > kUniform) {
        filer->setFilerStatus(Acad::eFilerError);
        return Acad::eFilerError;
    }
    m_origin = origin;
    m_explodable = explodable;
    m_scaling = static_cast<BlockScaling>(scaling);
    m_fromXref = fromXref;
    m_fromOverlay = fromOverlay;
    m_annotative = annotative;
    const AcDb::FilerType type = filer->filerType();
    if (type != AcDb::kCopyFiler && type != AcDb::kDeepCloneFiler &&
        type != AcDb::kWblockCloneFiler) {
        m_entities = entities;
    }
    return filer->filerStatus();
}

// A block record in a file carries its name, layout, units and explodability only. The origin
// and the external reference flags travel on the block's BLOCK record and the entities in the
// BLOCKS (or ENTITIES) section: the file's writer and reader put them there and back.
Acad::ErrorStatus AcDbBlockTableRecord::dxfOutFields(AcDbDxfFiler* filer) const {
    Acad::ErrorStatus es = AcDbSymbolTableRecord::dxfOutFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    filer->writeString(100, L"AcDbBlockTableRecord");
    filer->writeString(2, name());
    filer->writeObjectId(340, AcDbObjectId::kNull);  // no layout objects in the host
    filer->writeInt16(70, 0);                        // insert units: unitless
    filer->writeInt16(280, m_explodable ? 1 : 0);
    filer->writeInt16(281, static_cast<Adesk::Int16>(m_scaling));
    if (m_annotative) {
        filer->writeBool(290, true);  // only when set: plain blocks keep to the common groups
    }
    return filer->filerStatus();
}

Acad::ErrorStatus AcDbBlockTableRecord::dxfInFields(AcDbDxfFiler* filer) {
    Acad::ErrorStatus es = AcDbSymbolTableRecord::dxfInFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    if ((es = kxhost::detail::dxfExpectSubclass(filer, L"AcDbBlockTableRecord")) != Acad::eOk) {
        return es;
    }
    AcString name;
    int explodable = 1;
    int scaling = 0;
    int annotative = 0;
    es = kxhost::detail::dxfReadGroups(filer, [&](const resbuf& rb) {
        switch (rb.restype) {
            case 2:
                name = AcString(rb.resval.rstring);
                return true;
            case 280:
                explodable = rb.resval.rint;
                return true;
            case 281:
                scaling = rb.resval.rint;
                return true;
            case 290:
                annotative = rb.resval.rint;
                return true;
            case 70:   // insert units
            case 340:  // layout
            case 310:  // preview image
                return true;
            default:
                return false;
        }
    });
    if (es != Acad::eOk) {
        return es;
    }
    if (name.isEmpty()) {
        return Acad::eMissingDxfField;
    }
    if (!kxhost::isValidBlockName(name) || (scaling != kAny && scaling != kUniform)) {
        return Acad::eInvalidDxfCode;
    }
    setNameRaw(name);
    m_explodable = explodable != 0;
    m_scaling = static_cast<BlockScaling>(scaling);
    m_annotative = annotative != 0;
    return filer->filerStatus();
}

// --- Iterator -----------------------------------------------------------------------------------

AcDbBlockTableRecordIterator::AcDbBlockTableRecordIterator(const AcDbObjectId& block,
                                                           const AcDbObjectIdArray& ids)
    : m_block(block), m_ids(ids) {}
AcDbBlockTableRecordIterator::~AcDbBlockTableRecordIterator() = default;

void AcDbBlockTableRecordIterator::skipErased(bool forward) {
    while (!done() && (!m_ids[m_pos].isValid() || m_ids[m_pos].isErased())) {
        m_pos += forward ? 1 : -1;
    }
}

void AcDbBlockTableRecordIterator::start(bool atBeginning, bool skipDeleted) {
    m_pos = atBeginning ? 0 : m_ids.length() - 1;
    if (skipDeleted) {
        skipErased(atBeginning);
    }
}

bool AcDbBlockTableRecordIterator::done() const {
    return m_pos < 0 || m_pos >= m_ids.length();
}

void AcDbBlockTableRecordIterator::step(bool forward, bool skipDeleted) {
    if (done()) {
        return;
    }
    m_pos += forward ? 1 : -1;
    if (skipDeleted) {
        skipErased(forward);
    }
}

Acad::ErrorStatus AcDbBlockTableRecordIterator::getEntityId(AcDbObjectId& id) const {
    id = done() ? AcDbObjectId::kNull : m_ids[m_pos];
    return id.isNull() ? Acad::eInvalidIndex : Acad::eOk;
}

Acad::ErrorStatus AcDbBlockTableRecordIterator::getEntity(AcDbEntity*& entity, AcDb::OpenMode mode,
                                                          bool openErased) const {
    entity = nullptr;
    if (done()) {
        return Acad::eInvalidIndex;
    }
    return acdbOpenAcDbEntity(entity, m_ids[m_pos], mode, openErased, false);
}

Acad::ErrorStatus AcDbBlockTableRecordIterator::seek(AcDbObjectId id) {
    int at = -1;
    if (id.isNull() || !m_ids.find(id, at)) {
        return Acad::eKeyNotFound;
    }
    m_pos = at;
    return Acad::eOk;
}

Acad::ErrorStatus AcDbBlockTableRecordIterator::seek(const AcDbEntity* entity) {
    return entity != nullptr ? seek(entity->objectId()) : Acad::eNullEntityPointer;
}

// --- Extents of a block -------------------------------------------------------------------------

Acad::ErrorStatus AcDbExtents::addBlockExt(AcDbBlockTableRecord* block) {
    if (block == nullptr) {
        return Acad::eNullObjectPointer;
    }
    for (const AcDbObjectId& id : kxhost::blockEntityIds(block->objectId())) {
        AcDbEntity* ent = nullptr;
        if (acdbOpenAcDbEntity(ent, id, AcDb::kForRead) != Acad::eOk) {
            continue;
        }
        AcDbExtents ext;
        if (ent->getGeomExtents(ext) == Acad::eOk) {
            addExt(ext);
        }
        ent->close();
    }
    return Acad::eOk;
}
