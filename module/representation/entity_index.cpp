#include "module/representation/entity_index.h"

#include <algorithm>
#include <iterator>
#include <new>
#include <unordered_map>
#include <vector>

#include "host/db/blocktablerecord.h"
#include "host/db/database.h"
#include "host/entities/blockref.h"
#include "host/entities/entity.h"
#include "module/display/drawable_overrule.h"
#include "module/graph/block_proxy_node.h"
#include "module/graph/eval_graph.h"
#include "module/representation/shape_index.h"
#include "module/representation/tags.h"
#include "module/rootdata/root_data.h"

namespace kxindex {
namespace {

// Closes what it holds on every path.
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

// --- The index ---------------------------------------------------------------------------------

struct EntityIndex {
    bool databaseMode = true;
    bool built = false;
    AcDbObjectId block;
    const AcDbBlockReference* reference = nullptr;
    // Looked up once per definition entity in every evaluation step; nothing walks them in
    // order.
    std::unordered_map<Adesk::Int32, std::vector<const AcDbEntity*>> byPointer;
    std::unordered_map<Adesk::Int32, std::vector<AcDbObjectId>> byId;

    void clear() {
        byPointer.clear();
        byId.clear();
        built = false;
        block = AcDbObjectId::kNull;
        reference = nullptr;
    }
};

EntityIndex& theIndex() {
    static EntityIndex s_index;
    return s_index;
}

// Depth of the module's own edits of the indexed block (OwnEditScope).
int g_ownEdits = 0;

// Adds one entity; false when the index cannot grow.
bool insert(EntityIndex& index, Adesk::Int32 tag, const AcDbEntity* entity) {
    try {
        if (index.databaseMode) {
            std::vector<AcDbObjectId>& ids = index.byId[tag];
            if (std::find(ids.begin(), ids.end(), entity->objectId()) == ids.end()) {
                ids.push_back(entity->objectId());
            }
        } else {
            std::vector<const AcDbEntity*>& entities = index.byPointer[tag];
            if (std::find(entities.begin(), entities.end(), entity) == entities.end()) {
                entities.push_back(entity);
            }
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

// --- The watcher -------------------------------------------------------------------------------

// The database half of the watcher: the database of the indexed block is going away.
class KxDbTagCtxDbReactor : public AcDbDatabaseReactor {
  public:
    void goodbye(const AcDbDatabase* db) override;
};

// Watches the indexed block and its database, so that the index never describes a block that
// was changed behind the module's back or ids of a database that no longer exists.
class TagCacheWatcher : public AcDbObjectReactor, public KxDbTagCtxDbReactor {
  public:
    Acad::ErrorStatus attach(AcDbObjectId blockId);
    void detach();
    void databaseGoingAway(const AcDbDatabase* db);
    AcDbObjectId block() const { return m_block; }

    void modified(const AcDbObject* obj) override { blockChanged(obj); }
    void erased(const AcDbObject* obj, Adesk::Boolean) override { blockChanged(obj); }
    void goodbye(const AcDbObject* obj) override {
        if (obj != nullptr && obj->objectId() == m_block) {
            dropIndexOfWatchedBlock();
            m_block = AcDbObjectId::kNull;
        }
    }

  private:
    void blockChanged(const AcDbObject* obj) {
        if (g_ownEdits == 0 && obj != nullptr && obj->objectId() == m_block) {
            dropIndexOfWatchedBlock();
        }
    }
    void dropIndexOfWatchedBlock() {
        EntityIndex& index = theIndex();
        if (index.databaseMode && index.block == m_block) {
            index.clear();
        }
    }

    AcDbObjectId m_block;
    const AcDbDatabase* m_db = nullptr;
};

TagCacheWatcher& theWatcher() {
    static TagCacheWatcher s_watcher;
    return s_watcher;
}

void KxDbTagCtxDbReactor::goodbye(const AcDbDatabase* db) {
    theWatcher().databaseGoingAway(db);
}

Acad::ErrorStatus TagCacheWatcher::attach(AcDbObjectId blockId) {
    if (!blockId.isValid()) {
        return Acad::eInvalidInput;
    }
    if (blockId == m_block && m_db != nullptr) {
        return Acad::eOk;
    }
    detach();
    Opened<AcDbObject> block;
    Acad::ErrorStatus es = acdbOpenObject(block.obj, blockId, AcDb::kForRead);
    if (es != Acad::eOk) {
        return es;
    }
    block.obj->addReactor(static_cast<AcDbObjectReactor*>(this));
    m_block = blockId;
    m_db = block.obj->database();
    if (m_db != nullptr) {
        m_db->addReactor(static_cast<AcDbDatabaseReactor*>(this));
    }
    return Acad::eOk;
}

void TagCacheWatcher::detach() {
    if (m_db != nullptr) {
        m_db->removeReactor(static_cast<AcDbDatabaseReactor*>(this));
        m_db = nullptr;
    }
    if (m_block.isValid()) {
        Opened<AcDbObject> block;
        if (acdbOpenObject(block.obj, m_block, AcDb::kForRead, true) == Acad::eOk) {
            block.obj->removeReactor(static_cast<AcDbObjectReactor*>(this));
        }
    }
    m_block = AcDbObjectId::kNull;
}

void TagCacheWatcher::databaseGoingAway(const AcDbDatabase* db) {
    if (db == nullptr || db != m_db) {
        return;
    }
    EntityIndex& index = theIndex();
    if (index.databaseMode &&
        (index.block == m_block || (index.block.isValid() && index.block.database() == db))) {
        index.clear();
    }
    // The objects are still whole: take the object reactor off the block, so that the
    // database's goodbye to its objects does not come here again.
    detach();
}

// --- Walking a block ---------------------------------------------------------------------------

Acad::ErrorStatus indexEntitiesOfBlock(EntityIndex& index, AcDbObjectId blockId) {
    Opened<AcDbBlockTableRecord> block;
    Acad::ErrorStatus es = acdbOpenObject(block.obj, blockId, AcDb::kForRead);
    if (es != Acad::eOk) {
        return es;
    }
    AcDbBlockTableRecordIterator* it = nullptr;
    if ((es = block.obj->newIterator(it, true, true)) != Acad::eOk || it == nullptr) {
        return es != Acad::eOk ? es : Acad::eNullObjectPointer;
    }
    for (; !it->done(); it->step(true, true)) {
        Opened<AcDbEntity> entity;
        if (it->getEntity(entity.obj, AcDb::kForRead) != Acad::eOk || entity.obj == nullptr) {
            continue;
        }
        Adesk::Int32 tag = 0;
        if (entityTagIndex(entity.obj, tag) && !insert(index, tag, entity.obj)) {
            es = Acad::eOutOfMemory;
            break;
        }
    }
    delete it;
    return es;
}

}  // namespace

bool entityTagIndex(const AcDbEntity* entity, Adesk::Int32& index) {
    if (entity == nullptr) {
        return false;
    }
    AcDbHandle handle;
    return kxtags::readEntityTag(entity, index, handle) == Acad::eOk;
}

Acad::ErrorStatus indexBlock(AcDbObjectId blockId) {
    if (blockId.isNull()) {
        return Acad::eNullObjectId;
    }
    EntityIndex& index = theIndex();
    if (index.built && index.databaseMode && index.block == blockId) {
        // Reused as it is; the watcher may have been moved by another caller meanwhile.
        return attachWatcher(blockId);
    }
    index.clear();
    index.databaseMode = true;
    Acad::ErrorStatus es = indexEntitiesOfBlock(index, blockId);
    if (es != Acad::eOk) {
        index.clear();
        return es;
    }
    index.block = blockId;
    index.built = true;
    // A block the watcher cannot watch must not stay indexed: nothing would tell when it goes.
    if ((es = attachWatcher(blockId)) != Acad::eOk) {
        index.clear();
    }
    return es;
}

Acad::ErrorStatus indexDragImage(const AcDbBlockReference* image) {
    if (image == nullptr) {
        return Acad::eInvalidInput;
    }
    EntityIndex& index = theIndex();
    if (index.built && !index.databaseMode && index.reference == image) {
        return Acad::eOk;
    }
    index.clear();
    index.databaseMode = false;
    KxGiNimbleBlockDrawableOverrule* overrule = KxGiNimbleBlockDrawableOverrule::instance();
    const KxGiEntityCopyArray* copies =
        overrule != nullptr ? overrule->cloneEntities(image) : nullptr;
    if (copies != nullptr) {
        for (int i = 0; i < copies->length(); ++i) {
            const AcDbEntity* entity = copies->at(i);
            Adesk::Int32 tag = 0;
            if (entityTagIndex(entity, tag) && !insert(index, tag, entity)) {
                index.clear();
                return Acad::eOutOfMemory;
            }
        }
    }
    index.reference = image;
    index.built = true;
    return Acad::eOk;
}

bool isBuilt() {
    return theIndex().built;
}
bool isDatabaseMode() {
    return theIndex().databaseMode;
}
AcDbObjectId indexedBlock() {
    const EntityIndex& index = theIndex();
    return index.built && index.databaseMode ? index.block : AcDbObjectId::kNull;
}
const AcDbBlockReference* indexedReference() {
    const EntityIndex& index = theIndex();
    return index.built && !index.databaseMode ? index.reference : nullptr;
}
bool isIndexed(AcDbObjectId blockId) {
    return blockId.isValid() && indexedBlock() == blockId;
}
bool isIndexed(const AcDbBlockReference* image) {
    return image != nullptr && indexedReference() == image;
}

Acad::ErrorStatus addToIndex(const AcDbEntity* entity) {
    if (entity == nullptr) {
        return Acad::eNullObjectPointer;
    }
    EntityIndex& index = theIndex();
    if (!index.built) {
        return Acad::eOk;
    }
    if (index.databaseMode && entity->objectId().isNull()) {
        return Acad::eNullObjectId;
    }
    Adesk::Int32 tag = 0;
    if (!entityTagIndex(entity, tag)) {
        return Acad::eOk;
    }
    if (!insert(index, tag, entity)) {
        // An index missing an entity would let an action skip it silently; rebuild instead.
        index.clear();
        return Acad::eOutOfMemory;
    }
    return Acad::eOk;
}

Acad::ErrorStatus removeFromIndex(const AcDbEntity* entity) {
    if (entity == nullptr) {
        return Acad::eNullObjectPointer;
    }
    EntityIndex& index = theIndex();
    if (!index.built) {
        return Acad::eOk;
    }
    if (index.databaseMode) {
        const AcDbObjectId id = entity->objectId();
        if (id.isNull()) {
            return Acad::eNullObjectId;
        }
        // The entity's tag may already be gone: look under every index.
        for (auto it = index.byId.begin(); it != index.byId.end();) {
            std::vector<AcDbObjectId>& ids = it->second;
            ids.erase(std::remove(ids.begin(), ids.end(), id), ids.end());
            it = ids.empty() ? index.byId.erase(it) : std::next(it);
        }
    } else {
        for (auto it = index.byPointer.begin(); it != index.byPointer.end();) {
            std::vector<const AcDbEntity*>& entities = it->second;
            entities.erase(std::remove(entities.begin(), entities.end(), entity), entities.end());
            it = entities.empty() ? index.byPointer.erase(it) : std::next(it);
        }
    }
    return Acad::eOk;
}

void findIds(Adesk::Int32 tag, AcDbObjectIdArray& ids) {
    ids.setLogicalLength(0);
    const EntityIndex& index = theIndex();
    if (!index.built || !index.databaseMode) {
        return;
    }
    const auto it = index.byId.find(tag);
    if (it != index.byId.end()) {
        for (const AcDbObjectId& id : it->second) {
            ids.append(id);
        }
    }
}

void findEntities(Adesk::Int32 tag, AcArray<AcDbEntity*>& entities) {
    entities.setLogicalLength(0);
    const EntityIndex& index = theIndex();
    if (!index.built || index.databaseMode) {
        return;
    }
    const auto it = index.byPointer.find(tag);
    if (it != index.byPointer.end()) {
        for (const AcDbEntity* entity : it->second) {
            // The copies belong to the drawable overrule, which hands them out for change.
            entities.append(const_cast<AcDbEntity*>(entity));
        }
    }
}

int indexedCount() {
    const EntityIndex& index = theIndex();
    size_t count = 0;
    for (const auto& entry : index.byId) {
        count += entry.second.size();
    }
    for (const auto& entry : index.byPointer) {
        count += entry.second.size();
    }
    return static_cast<int>(count);
}

void clearIndex() {
    theIndex().clear();
}

void clearIndexFor(const AcDbBlockReference* image) {
    EntityIndex& index = theIndex();
    if (image != nullptr && !index.databaseMode && index.reference == image) {
        index.clear();
    }
}

Acad::ErrorStatus attachWatcher(AcDbObjectId blockId) {
    return theWatcher().attach(blockId);
}
void detachWatcher() {
    theWatcher().detach();
}
AcDbObjectId watchedBlock() {
    return theWatcher().block();
}

OwnEditScope::OwnEditScope() {
    ++g_ownEdits;
}
OwnEditScope::~OwnEditScope() {
    --g_ownEdits;
}

bool isDynamicBlockDefinition(AcDbObjectId blockId) {
    if (blockId.isNull()) {
        return false;
    }
    AcDbObjectId graphId;
    {
        Opened<KxDbTagRootData> rootData;
        if (KxDbTagRootData::openRootData(blockId.database(), AcDb::kForRead, rootData.obj) !=
                Acad::eOk ||
            rootData.obj == nullptr || !rootData.obj->getGraph(blockId, graphId)) {
            return false;
        }
    }
    Opened<KxDbTagEvalGraph> graph;
    if (acdbOpenObject(graph.obj, graphId, AcDb::kForRead) != Acad::eOk) {
        return false;
    }
    KxNodeIdArray ids;
    if (graph.obj->getAllNodeIds(ids) != Acad::eOk) {
        return false;
    }
    // A graph of block proxy nodes only stands for nested blocks; it defines no behaviour.
    for (int i = 0; i < ids.length(); ++i) {
        KxDbTagEvalExpr* node = nullptr;
        if (graph.obj->getNode(ids[i], AcDb::kForRead, node) != Acad::eOk || node == nullptr) {
            continue;
        }
        const bool proxy = node->isKindOf(KxDbTagBlockProxyNode::desc());
        node->close();
        if (!proxy) {
            return true;
        }
    }
    return false;
}

Acad::ErrorStatus substituteHistory(resbuf*& chain) {
    chain = nullptr;
    return Acad::eOk;
}

void releaseModuleCaches() {
    // The sharing index's reactors come off every database with the entity index's watcher.
    kxshare::releaseAll();
    detachWatcher();
    clearIndex();
    g_ownEdits = 0;
}

}  // namespace kxindex
