#include "module/display/drawable_overrule.h"

#include <new>

#include "host/db/blocktablerecord.h"
#include "host/db/database.h"
#include "host/entities/attdef.h"
#include "host/entities/blockref.h"
#include "host/entities/proxyentity.h"
#include "host/gi/worlddraw.h"
#include "module/frame/module_services.h"
#include "module/representation/entity_index.h"
#include "module/representation/tags.h"

namespace {

// The private list starts with room for a typical small block and grows a little at a time.
constexpr int kInitialCopies = 10;
constexpr int kCopiesGrowth = 5;

template <class T>
struct Opened {
    T* obj = nullptr;
    Opened() = default;
    Opened(const Opened&) = delete;
    Opened& operator=(const Opened&) = delete;
    ~Opened() {
        if (obj != nullptr) {
            obj->close();
        }
    }
};

bool isDatabaseResident(const AcDbObject* obj) {
    return obj->database() != nullptr || obj->objectId().isValid();
}

// Keeps the model transform pushed for exactly as long as the copies are drawn.
class PushedTransform {
  public:
    PushedTransform(AcGiWorldGeometry& geometry, const AcGeMatrix3d& xform)
        : m_geometry(geometry), m_pushed(geometry.pushModelTransform(xform)) {}
    ~PushedTransform() {
        if (m_pushed) {
            m_geometry.popModelTransform();
        }
    }
    PushedTransform(const PushedTransform&) = delete;
    PushedTransform& operator=(const PushedTransform&) = delete;

  private:
    AcGiWorldGeometry& m_geometry;
    bool m_pushed;
};

// Attribute display mode that applies to a copy: the drawing of the copy, else the drawing of
// the reference the image was made from, else the working drawing. 1 (normal) when none.
Adesk::Int16 attributeMode(const AcDbEntity* copy, AcDbObjectId sourceId) {
    if (AcDbDatabase* db = copy->database()) {
        return db->attmode();
    }
    if (AcDbDatabase* db = sourceId.database()) {
        return db->attmode();
    }
    AcDbHostApplicationServices* services = acdbHostApplicationServices();
    AcDbDatabase* working = services != nullptr ? services->workingDatabase() : nullptr;
    return working != nullptr ? working->attmode() : 1;
}

// Attribute definitions of a block show in its references only as constant text, and then
// under the drawing's attribute display mode; the others become attributes of the reference,
// which the host draws with the reference itself.
bool isDrawn(const AcDbEntity* copy, AcDbObjectId sourceId) {
    const AcDbAttributeDefinition* attdef = AcDbAttributeDefinition::cast(copy);
    if (attdef == nullptr) {
        return true;
    }
    if (!attdef->isConstant()) {
        return false;
    }
    const Adesk::Int16 mode = attributeMode(copy, sourceId);
    return mode == 2 || (mode == 1 && !attdef->isInvisible());
}

}  // namespace

KxGiNimbleBlockDrawableOverrule::KxGiNimbleBlockDrawableOverrule() = default;

KxGiNimbleBlockDrawableOverrule::~KxGiNimbleBlockDrawableOverrule() {
    for (auto& [reference, image] : m_images) {
        deleteCopies(reference, image);
    }
    m_images.clear();
    m_imagesBySource.clear();
}

KxGiNimbleBlockDrawableOverrule* KxGiNimbleBlockDrawableOverrule::instance() {
    kxframe::ModuleServices* services = kxframe::moduleServices();
    return services != nullptr ? services->drawableOverrule : nullptr;
}

bool KxGiNimbleBlockDrawableOverrule::isApplicable(const AcRxObject* pOverruledSubject) const {
    return AcDbBlockReference::cast(pOverruledSubject) != nullptr;
}

bool KxGiNimbleBlockDrawableOverrule::worldDraw(AcGiDrawable* pSubject, AcGiWorldDraw* wd) {
    const AcDbBlockReference* reference = AcDbBlockReference::cast(pSubject);
    const auto found = reference != nullptr ? m_images.find(reference) : m_images.end();
    if (found == m_images.end() || found->second.entities == nullptr || wd == nullptr) {
        return AcGiDrawableOverrule::worldDraw(pSubject, wd);
    }
    const Image& image = found->second;
    AcGiWorldGeometry& geometry = wd->geometry();
    PushedTransform pushed(geometry, reference->blockTransform());
    for (int i = 0; i < image.entities->length(); ++i) {
        AcDbEntity* copy = image.entities->at(i);
        if (copy != nullptr && isDrawn(copy, image.sourceId)) {
            geometry.draw(copy);
        }
    }
    return true;
}

void KxGiNimbleBlockDrawableOverrule::deleteCopies(const AcDbBlockReference* reference,
                                                   Image& image) {
    // The entity index may point into these copies: it must not outlive them.
    kxindex::clearIndexFor(reference);
    if (image.entities != nullptr) {
        for (int i = 0; i < image.entities->length(); ++i) {
            delete image.entities->at(i);
        }
        delete image.entities;
        image.entities = nullptr;
    }
}

void KxGiNimbleBlockDrawableOverrule::dropImage(const AcDbBlockReference* reference) {
    const auto found = m_images.find(reference);
    if (found == m_images.end()) {
        return;
    }
    deleteCopies(reference, found->second);
    const auto bySource = m_imagesBySource.find(found->second.sourceId);
    if (bySource != m_imagesBySource.end() && bySource->second == reference) {
        m_imagesBySource.erase(bySource);
    }
    m_images.erase(found);
}

Acad::ErrorStatus KxGiNimbleBlockDrawableOverrule::noteDraggedReference(
    const AcDbBlockReference* reference, AcDbObjectId sourceId) {
    if (reference == nullptr) {
        return Acad::eOk;
    }
    // A new drag of the source makes its older image obsolete: the host has let go of it.
    if (sourceId.isValid()) {
        const auto older = m_imagesBySource.find(sourceId);
        if (older != m_imagesBySource.end() && older->second != reference) {
            dropImage(older->second);
        }
    }
    if (isDatabaseResident(reference)) {
        // The reference itself is being changed: the drag that made its image is over.
        dropImageOf(reference->objectId());
        return Acad::eOk;
    }
    // The host may allocate a new image where a freed one of another source lived: that record,
    // its source and its copies have nothing to do with this reference.
    const auto stale = m_images.find(reference);
    if (stale != m_images.end() && stale->second.sourceId.isValid() &&
        stale->second.sourceId != sourceId) {
        dropImage(reference);
    }
    // An image that got its copies before it was noted learns its source now.
    Image& image = m_images[reference];
    if (image.sourceId.isNull()) {
        image.sourceId = sourceId;
    }
    if (sourceId.isValid()) {
        m_imagesBySource.emplace(sourceId, reference);
    }
    return Acad::eOk;
}

void KxGiNimbleBlockDrawableOverrule::dropImageOf(AcDbObjectId sourceId) {
    const auto found = m_imagesBySource.find(sourceId);
    if (found != m_imagesBySource.end()) {
        dropImage(found->second);
        m_imagesBySource.erase(sourceId);
    }
}

AcDbObjectId KxGiNimbleBlockDrawableOverrule::cloneSourceId(
    const AcDbBlockReference* reference) const {
    const auto found = m_images.find(reference);
    return found != m_images.end() ? found->second.sourceId : AcDbObjectId::kNull;
}

const AcDbBlockReference* KxGiNimbleBlockDrawableOverrule::imageOf(AcDbObjectId sourceId) const {
    const auto found = m_imagesBySource.find(sourceId);
    return found != m_imagesBySource.end() ? found->second : nullptr;
}

bool KxGiNimbleBlockDrawableOverrule::isDragImage(const AcDbBlockReference* reference) const {
    return reference != nullptr && m_images.count(reference) != 0;
}

int KxGiNimbleBlockDrawableOverrule::cloneEntityCount(const AcDbBlockReference* reference) const {
    const KxGiEntityCopyArray* copies = cloneEntities(reference);
    return copies != nullptr ? copies->length() : 0;
}

AcDbEntity* KxGiNimbleBlockDrawableOverrule::cloneEntityAt(const AcDbBlockReference* reference,
                                                           int index) const {
    const KxGiEntityCopyArray* copies = cloneEntities(reference);
    if (copies == nullptr || index < 0 || index >= copies->length()) {
        return nullptr;
    }
    return copies->at(index);
}

KxGiEntityCopyArray* KxGiNimbleBlockDrawableOverrule::cloneEntities(
    const AcDbBlockReference* reference) const {
    const auto found = m_images.find(reference);
    return found != m_images.end() ? found->second.entities : nullptr;
}

void KxGiNimbleBlockDrawableOverrule::releaseClone(const AcDbBlockReference* reference) {
    dropImage(reference);
}

Acad::ErrorStatus KxGiNimbleBlockDrawableOverrule::makeCloneEntities(
    const AcDbBlockReference* reference) {
    if (reference == nullptr) {
        return Acad::eInvalidInput;
    }
    if (isDatabaseResident(reference)) {
        return Acad::eWrongDatabase;
    }
    const AcDbObjectId blockId = reference->blockTableRecord();
    if (blockId.isNull()) {
        return Acad::eOk;
    }
    Image& image = m_images[reference];
    if (image.entities != nullptr) {
        return Acad::eOk;
    }

    // A definition that was never edited carries no entity tags yet, and untagged copies cannot
    // be found by the actions: the preview would stay unchanged until the grip is released. Tag
    // it now as its first change would (tagging again changes nothing). A failure leaves the
    // copies untagged, which shows the block as it is rather than nothing.
    if (kxindex::isDynamicBlockDefinition(blockId)) {
        kxtags::tagDefinition(blockId);
    }

    image.entities = new (std::nothrow) KxGiEntityCopyArray(kInitialCopies, kCopiesGrowth);
    if (image.entities == nullptr) {
        return Acad::eOutOfMemory;
    }

    AcDbBlockTableRecordIterator* it = nullptr;
    {
        Opened<AcDbBlockTableRecord> block;
        Acad::ErrorStatus es = acdbOpenObject(block.obj, blockId, AcDb::kForRead);
        if (es == Acad::eOk) {
            es = block.obj->newIterator(it, true, true);
        }
        if (es != Acad::eOk || it == nullptr) {
            delete it;
            delete image.entities;
            image.entities = nullptr;
            return es != Acad::eOk ? es : Acad::eNullObjectPointer;
        }
    }

    Acad::ErrorStatus es = Acad::eOk;
    for (; !it->done(); it->step(true, true)) {
        Opened<AcDbEntity> entity;
        if (it->getEntity(entity.obj, AcDb::kForRead) != Acad::eOk || entity.obj == nullptr) {
            continue;
        }
        if (AcDbProxyEntity::cast(entity.obj) != nullptr) {
            es = kProxyEntities;
            break;
        }
        AcRxObject* copy = entity.obj->clone();
        AcDbEntity* copyEntity = AcDbEntity::cast(copy);
        if (copyEntity == nullptr) {
            delete copy;
            es = Acad::eNullObjectPointer;
            break;
        }
        image.entities->append(copyEntity);
    }
    delete it;
    if (es != Acad::eOk) {
        // A partly copied block would draw as a broken preview: the host draws it instead.
        releaseClone(reference);
    }
    return es;
}

Acad::ErrorStatus KxGiNimbleBlockDrawableOverrule::appendToReferenceBlock(
    const AcDbBlockReference* reference, AcDbEntity* entity) {
    if (reference == nullptr || entity == nullptr) {
        return Acad::eInvalidInput;
    }
    const AcDbObjectId blockId = reference->blockTableRecord();
    if (blockId.isNull()) {
        return Acad::eNullObjectId;
    }
    if (isDatabaseResident(entity)) {
        return Acad::eWrongDatabase;
    }
    if (isDatabaseResident(reference)) {
        // The caller keeps the entity index current itself.
        kxindex::OwnEditScope ownEdit;
        Opened<AcDbBlockTableRecord> block;
        Acad::ErrorStatus es = acdbOpenObject(block.obj, blockId, AcDb::kForWrite);
        if (es != Acad::eOk) {
            return es;
        }
        return block.obj->appendAcDbEntity(entity);
    }
    Acad::ErrorStatus es = makeCloneEntities(reference);
    if (es != Acad::eOk) {
        return es;
    }
    KxGiEntityCopyArray* copies = cloneEntities(reference);
    if (copies == nullptr) {
        return Acad::eNullObjectPointer;
    }
    copies->append(entity);
    return Acad::eOk;
}

Acad::ErrorStatus KxGiNimbleBlockDrawableOverrule::eraseFromReferenceBlock(
    const AcDbBlockReference* reference, AcDbEntity* entity) {
    if (reference == nullptr || entity == nullptr) {
        return Acad::eInvalidInput;
    }
    const AcDbObjectId blockId = reference->blockTableRecord();
    if (blockId.isNull()) {
        return Acad::eNullObjectId;
    }
    if (!isDatabaseResident(reference)) {
        if (isDatabaseResident(entity)) {
            return Acad::eWrongDatabase;
        }
        Acad::ErrorStatus es = makeCloneEntities(reference);
        if (es != Acad::eOk) {
            return es;
        }
        KxGiEntityCopyArray* copies = cloneEntities(reference);
        int at = -1;
        if (copies == nullptr || !copies->find(entity, at)) {
            return Acad::eKeyNotFound;
        }
        copies->removeAt(at);
        // The caller deletes it: the index must not hand it out meanwhile.
        kxindex::removeFromIndex(entity);
        return Acad::eOk;
    }

    const AcDbObjectId entityId = entity->objectId();
    if (entityId.isNull()) {
        return Acad::eNullObjectId;
    }
    bool found = false;
    {
        Opened<AcDbBlockTableRecord> block;
        Acad::ErrorStatus es = acdbOpenObject(block.obj, blockId, AcDb::kForRead);
        if (es != Acad::eOk) {
            return es;
        }
        AcDbBlockTableRecordIterator* it = nullptr;
        if ((es = block.obj->newIterator(it, true, true)) != Acad::eOk || it == nullptr) {
            return es != Acad::eOk ? es : Acad::eNullObjectPointer;
        }
        for (; !it->done() && !found; it->step(true, true)) {
            AcDbObjectId id;
            found = it->getEntityId(id) == Acad::eOk && id == entityId;
        }
        delete it;
    }
    if (!found) {
        return Acad::eKeyNotFound;
    }
    if (!entity->isWriteEnabled()) {
        const Acad::ErrorStatus es = entity->upgradeOpen();
        if (es != Acad::eOk) {
            return es;
        }
    }
    const Acad::ErrorStatus es = entity->erase();
    if (es == Acad::eOk) {
        kxindex::removeFromIndex(entity);
    }
    return es;
}
