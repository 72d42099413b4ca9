#include "module/representation/shape_index.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <memory>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "host/db/blocktable.h"
#include "host/db/blocktablerecord.h"
#include "host/db/database.h"
#include "host/entities/blockref.h"
#include "host/ge/tol.h"
#include "module/representation/rep_util.h"
#include "module/representation/tags.h"

namespace kxshare {
namespace {

using kxrep::Opened;
using Raw = Adesk::Int64;

AcDbObjectId idOf(Raw raw) {
    AcDbObjectId id;
    id.setFromOldId(raw);
    return id;
}

// The key of a shape inside its (definition, count) bucket: the sum of the extents' six
// coordinates. Two extents whose corners are within the point tolerance have sums within six
// tolerances, so a range search on the sum finds every block of equal shape (and a few others,
// which the exact comparison drops).
double sumKey(const BlockShape& shape) {
    if (shape.extents.isEmpty()) {
        return 0.0;
    }
    const AcGePoint3d lo = shape.extents.minPoint();
    const AcGePoint3d hi = shape.extents.maxPoint();
    return lo.x + lo.y + lo.z + hi.x + hi.y + hi.z;
}

double sumSlack(const BlockShape& shape) {
    double magnitude = 1.0;
    if (!shape.extents.isEmpty()) {
        const AcGePoint3d lo = shape.extents.minPoint();
        const AcGePoint3d hi = shape.extents.maxPoint();
        magnitude += std::fabs(lo.x) + std::fabs(lo.y) + std::fabs(lo.z) + std::fabs(hi.x) +
                     std::fabs(hi.y) + std::fabs(hi.z);
    }
    // The tolerance part is exact; the relative part covers the rounding of both sums.
    return 6.0 * AcGeContext::gTol.equalPoint() + 1e-12 * magnitude;
}

// Statuses of an open that only say "not now".
bool isBusy(Acad::ErrorStatus es) {
    return es == Acad::eWasOpenForWrite || es == Acad::eWasOpenForRead || es == Acad::eAtMaxReaders;
}

struct BucketKey {
    Raw definition = 0;
    int count = 0;
    bool operator<(const BucketKey& o) const {
        return definition != o.definition ? definition < o.definition : count < o.count;
    }
};
using Bucket = std::multimap<double, Raw>;

struct BlockEntry {
    BucketKey key;
    Bucket::iterator position;
};

// The index of one database, and the reactor that tells it what changed.
class DatabaseIndex : public AcDbDatabaseReactor {
  public:
    explicit DatabaseIndex(AcDbDatabase* db) : m_db(db) {}

    AcDbDatabase* database() const { return m_db; }

    void objectAppended(const AcDbDatabase*, const AcDbObject* obj) override { mark(obj); }
    void objectModified(const AcDbDatabase*, const AcDbObject* obj) override { mark(obj); }
    void objectErased(const AcDbDatabase*, const AcDbObject* obj, Adesk::Boolean) override {
        mark(obj);
    }
    void goodbye(const AcDbDatabase* db) override;

    // Every block is marked for measuring and every reference of every block read.
    Acad::ErrorStatus build();
    // Measures the marked blocks (all but `skip`) and reads the marked references again.
    void refresh(Raw skip);
    // Reads the marked references again; the marked blocks wait for a shape lookup.
    void refreshReferences();

    void putBlock(Raw block, Raw definition, const BlockShape& shape);
    void dropBlock(Raw block);
    void markBlock(Raw block) { m_dirtyBlocks.insert(block); }
    const Bucket* bucket(Raw definition, int count) const {
        const auto it = m_buckets.find(BucketKey{definition, count});
        return it != m_buckets.end() ? &it->second : nullptr;
    }

    void putReference(Raw ref, Raw block);
    void dropReference(Raw ref);
    void markReference(Raw ref) { m_pendingRefs.insert(ref); }
    // References not read since they changed (they could not be opened).
    bool referencesUnsure() const { return !m_pendingRefs.empty(); }
    std::vector<Raw> referencesOfBlock(Raw block) const {
        const auto it = m_refsOfBlock.find(block);
        return it != m_refsOfBlock.end() ? std::vector<Raw>(it->second.begin(), it->second.end())
                                         : std::vector<Raw>();
    }

    const std::unordered_map<Raw, EntityFacts>& facts() const { return m_facts; }
    void keepFacts(Raw entity, const EntityFacts& facts) {
        m_facts[entity] = facts;
        m_factsLow = std::min(m_factsLow, entity);
        m_factsHigh = std::max(m_factsHigh, entity);
    }
    const std::unordered_map<Raw, bool>& proxies() const { return m_proxies; }
    void keepProxies(Raw block, bool hasProxies) {
        m_proxies[block] = hasProxies;
        if (block == m_lastOwner) {
            m_lastOwner = 0;
        }
    }

    int blockCount() const { return static_cast<int>(m_blocks.size()); }
    int referenceCount() const { return static_cast<int>(m_blockOfRef.size()); }

  private:
    // Called for every object the host announces: only marks, never opens.
    void mark(const AcDbObject* obj) {
        if (obj == nullptr) {
            return;
        }
        const Raw raw = obj->objectId().asOldId();
        // Entities are by far the commonest (every entity a change moves): asked first. A block
        // is never an entity, so the order does not change what is marked.
        if (AcDbEntity::cast(obj) == nullptr) {
            if (AcDbBlockTableRecord::cast(obj) != nullptr) {
                m_dirtyBlocks.insert(raw);
                m_proxies.erase(raw);
            }
            return;
        }
        // Facts are kept for definition entities only, and the entities a change moves are
        // mostly those of representation blocks, made later: outside the range of ids with
        // facts there is nothing to drop.
        if (raw >= m_factsLow && raw <= m_factsHigh) {
            m_facts.erase(raw);
        }
        // A changed entity changes the shape of the block holding it. A change moves many
        // entities of one block in a row: the block marked last is not marked again.
        const Raw owner = obj->ownerId().asOldId();
        if (owner != m_lastOwner) {
            m_dirtyBlocks.insert(owner);
            m_proxies.erase(owner);
            m_lastOwner = owner;
        }
        if (AcDbBlockReference::cast(obj) != nullptr) {
            m_pendingRefs.insert(raw);
        }
    }
    void measureBlock(Raw block);
    void readReference(Raw ref);

    AcDbDatabase* m_db;
    std::map<BucketKey, Bucket> m_buckets;
    std::unordered_map<Raw, BlockEntry> m_blocks;
    std::unordered_set<Raw> m_dirtyBlocks;
    std::unordered_map<Raw, Raw> m_blockOfRef;
    std::unordered_map<Raw, std::unordered_set<Raw>> m_refsOfBlock;
    std::unordered_set<Raw> m_pendingRefs;
    std::unordered_map<Raw, EntityFacts> m_facts;
    std::unordered_map<Raw, bool> m_proxies;
    // The ids that may have facts lie in [m_factsLow, m_factsHigh].
    Raw m_factsLow = std::numeric_limits<Raw>::max();
    Raw m_factsHigh = std::numeric_limits<Raw>::min();
    // The owner mark() marked last: it is in m_dirtyBlocks and has no entry in m_proxies until
    // refresh() empties the marks or keepProxies() adds an entry (both reset it).
    Raw m_lastOwner = 0;
};

// The indexes of the databases the module has looked into.
std::map<const AcDbDatabase*, std::unique_ptr<DatabaseIndex>>& registry() {
    static std::map<const AcDbDatabase*, std::unique_ptr<DatabaseIndex>> s_registry;
    return s_registry;
}

// The index last found through an id: the facts are asked for entity after entity of one
// drawing. Cleared whenever an index leaves the registry.
struct LastIndex {
    const AcDbDatabase* db = nullptr;
    DatabaseIndex* index = nullptr;
};
LastIndex& lastIndex() {
    static LastIndex s_last;
    return s_last;
}

// Takes the index's reactor off the database and deletes the index. The host may be notifying
// the reactors of that database right now: it skips reactors removed meanwhile without touching
// them, so the index can go at once (and nothing of it is used after this call).
void retire(const AcDbDatabase* db) {
    auto& reg = registry();
    const auto it = reg.find(db);
    if (it == reg.end()) {
        return;
    }
    db->removeReactor(it->second.get());
    lastIndex() = LastIndex();
    std::unique_ptr<DatabaseIndex> gone = std::move(it->second);
    reg.erase(it);
}

void DatabaseIndex::goodbye(const AcDbDatabase* db) {
    retire(db);
}

DatabaseIndex* indexFor(AcDbDatabase* db) {
    auto& reg = registry();
    const auto it = reg.find(db);
    if (it != reg.end()) {
        return it->second.get();
    }
    auto made = std::make_unique<DatabaseIndex>(db);
    if (made->build() != Acad::eOk) {
        return nullptr;
    }
    DatabaseIndex* index = made.get();
    reg.emplace(db, std::move(made));
    db->addReactor(index);
    return index;
}

const DatabaseIndex* existingIndex(const AcDbDatabase* db) {
    const auto& reg = registry();
    const auto it = reg.find(db);
    return it != reg.end() ? it->second.get() : nullptr;
}

Acad::ErrorStatus DatabaseIndex::build() {
    AcDbObjectIdArray blocks;
    {
        AcDbBlockTable* table = nullptr;
        Acad::ErrorStatus es = m_db->getBlockTable(table, AcDb::kForRead);
        if (es != Acad::eOk) {
            return es;
        }
        Opened<AcDbBlockTable> holder(table);
        AcDbBlockTableIterator* it = nullptr;
        if ((es = table->newIterator(it)) != Acad::eOk) {
            return es;
        }
        for (it->start(); !it->done(); it->step()) {
            AcDbObjectId id;
            if (it->getRecordId(id) == Acad::eOk) {
                blocks.append(id);
            }
        }
        delete it;
    }
    for (const AcDbObjectId& blockId : blocks) {
        m_dirtyBlocks.insert(blockId.asOldId());
        for (const AcDbObjectId& id : kxhost::blockEntityIds(blockId)) {
            Opened<AcDbBlockReference> ref;
            if (ref.open(id, AcDb::kForRead) == Acad::eOk) {
                putReference(id.asOldId(), kxhost::referencedBlock(ref.get()).asOldId());
            }
        }
    }
    return Acad::eOk;
}

void DatabaseIndex::putBlock(Raw block, Raw definition, const BlockShape& shape) {
    dropBlock(block);
    const BucketKey key{definition, shape.count};
    Bucket& bucket = m_buckets[key];
    m_blocks[block] = BlockEntry{key, bucket.emplace(sumKey(shape), block)};
}

void DatabaseIndex::dropBlock(Raw block) {
    const auto it = m_blocks.find(block);
    if (it == m_blocks.end()) {
        return;
    }
    const auto bucket = m_buckets.find(it->second.key);
    if (bucket != m_buckets.end()) {
        bucket->second.erase(it->second.position);
        if (bucket->second.empty()) {
            m_buckets.erase(bucket);
        }
    }
    m_blocks.erase(it);
}

void DatabaseIndex::putReference(Raw ref, Raw block) {
    dropReference(ref);
    if (block == 0) {
        return;
    }
    m_blockOfRef[ref] = block;
    m_refsOfBlock[block].insert(ref);
}

void DatabaseIndex::dropReference(Raw ref) {
    const auto it = m_blockOfRef.find(ref);
    if (it == m_blockOfRef.end()) {
        return;
    }
    const auto refs = m_refsOfBlock.find(it->second);
    if (refs != m_refsOfBlock.end()) {
        refs->second.erase(ref);
        if (refs->second.empty()) {
            m_refsOfBlock.erase(refs);
        }
    }
    m_blockOfRef.erase(it);
}

void DatabaseIndex::measureBlock(Raw block) {
    dropBlock(block);
    Opened<AcDbBlockTableRecord> record;
    const Acad::ErrorStatus es = record.open(idOf(block), AcDb::kForRead);
    if (es != Acad::eOk) {
        // Busy objects are measured on a later lookup; anything else (erased, gone, or no block
        // at all, as the owner of an attribute is) has nothing to index.
        if (isBusy(es)) {
            m_dirtyBlocks.insert(block);
        }
        return;
    }
    AcDbObjectId definitionId;
    if (!record->isAnonymous() || kxtags::readBlockTag(record.get(), definitionId) != Acad::eOk ||
        definitionId.isNull()) {
        return;
    }
    record.reset();
    putBlock(block, definitionId.asOldId(), shapeOf(idOf(block)));
}

void DatabaseIndex::readReference(Raw ref) {
    dropReference(ref);
    Opened<AcDbBlockReference> reference;
    const Acad::ErrorStatus es = reference.open(idOf(ref), AcDb::kForRead);
    if (es == Acad::eOk) {
        putReference(ref, kxhost::referencedBlock(reference.get()).asOldId());
    } else if (isBusy(es)) {
        // Unreadable for now: its block stays unknown until it can be read.
        m_pendingRefs.insert(ref);
    }
}

void DatabaseIndex::refresh(Raw skip) {
    // Measuring or reading may mark again what cannot be read now; those wait for the next call.
    std::vector<Raw> blocks(m_dirtyBlocks.begin(), m_dirtyBlocks.end());
    m_dirtyBlocks.clear();
    m_lastOwner = 0;
    for (Raw block : blocks) {
        if (block != skip && block != 0) {
            measureBlock(block);
        }
    }
    refreshReferences();
}

void DatabaseIndex::refreshReferences() {
    if (m_pendingRefs.empty()) {
        return;
    }
    std::vector<Raw> refs(m_pendingRefs.begin(), m_pendingRefs.end());
    m_pendingRefs.clear();
    for (Raw ref : refs) {
        readReference(ref);
    }
}

bool lessByHandle(const AcDbObjectId& a, const AcDbObjectId& b) {
    return a.handle() < b.handle();
}

}  // namespace

namespace {

BlockShape shapeOfEntities(const AcDbObjectIdArray& ids) {
    BlockShape shape;
    for (const AcDbObjectId& id : ids) {
        ++shape.count;
        Opened<AcDbEntity> ent;
        AcDbExtents ext;
        if (ent.open(id, AcDb::kForRead) == Acad::eOk && ent->getGeomExtents(ext) == Acad::eOk &&
            !ext.isEmpty()) {
            shape.extents.addExt(ext);
        }
    }
    return shape;
}

}  // namespace

BlockShape shapeOf(const AcDbObjectId& blockId) {
    return shapeOfEntities(kxhost::blockEntityIds(blockId));
}

bool sameShape(const BlockShape& a, const BlockShape& b) {
    if (a.count != b.count || a.extents.isEmpty() != b.extents.isEmpty()) {
        return false;
    }
    return a.extents.isEmpty() || (a.extents.minPoint().isEqualTo(b.extents.minPoint()) &&
                                   a.extents.maxPoint().isEqualTo(b.extents.maxPoint()));
}

Acad::ErrorStatus findSameShape(AcDbDatabase* db, const AcDbObjectId& definitionId,
                                const AcDbObjectId& blockId, BlockShape& shape,
                                AcDbObjectIdArray& candidates) {
    candidates.setLogicalLength(0);
    shape = BlockShape();
    if (db == nullptr) {
        return Acad::eNoDatabase;
    }
    if (definitionId.isNull() || blockId.isNull()) {
        return Acad::eNullObjectId;
    }
    const AcDbObjectIdArray entityIds = kxhost::blockEntityIds(blockId);
    shape.count = entityIds.length();
    DatabaseIndex* index = indexFor(db);
    if (index == nullptr) {
        return Acad::eNotApplicable;
    }
    const Raw self = blockId.asOldId();
    index->refresh(self);
    index->dropBlock(self);
    Raw selfDefinition = 0;
    {
        Opened<AcDbBlockTableRecord> record;
        AcDbObjectId tagged;
        if (record.open(blockId, AcDb::kForRead) == Acad::eOk && record->isAnonymous() &&
            kxtags::readBlockTag(record.get(), tagged) == Acad::eOk && !tagged.isNull()) {
            selfDefinition = tagged.asOldId();
        }
    }
    // Measuring opens every entity of the block: it is done only when another block of the same
    // definition and count could match. Otherwise a representation block is left marked, and
    // the first lookup of another block that needs it measures it (the asking block is the only
    // one a lookup skips, and its entry was dropped above, so no stale extents remain).
    if (index->bucket(definitionId.asOldId(), shape.count) == nullptr) {
        if (selfDefinition != 0) {
            index->markBlock(self);
        }
        return Acad::eOk;
    }
    shape = shapeOfEntities(entityIds);
    // The block just measured is indexed as it is now, when it is a representation block.
    if (selfDefinition != 0) {
        index->putBlock(self, selfDefinition, shape);
    }
    const Bucket* bucket = index->bucket(definitionId.asOldId(), shape.count);
    if (bucket == nullptr) {
        return Acad::eOk;
    }
    const double key = sumKey(shape);
    const double slack = sumSlack(shape);
    const auto end = bucket->upper_bound(key + slack);
    for (auto it = bucket->lower_bound(key - slack); it != end; ++it) {
        if (it->second != self) {
            candidates.append(idOf(it->second));
        }
    }
    std::sort(candidates.begin(), candidates.end(), lessByHandle);
    // Each is measured again: an entry that went stale without a notification is corrected
    // here rather than handed out.
    AcDbObjectIdArray confirmed;
    for (const AcDbObjectId& id : candidates) {
        Opened<AcDbBlockTableRecord> record;
        AcDbObjectId tagged;
        if (record.open(id, AcDb::kForRead) != Acad::eOk || !record->isAnonymous() ||
            kxtags::readBlockTag(record.get(), tagged) != Acad::eOk || tagged != definitionId) {
            index->markBlock(id.asOldId());
            continue;
        }
        record.reset();
        const BlockShape now = shapeOf(id);
        if (!sameShape(now, shape)) {
            index->putBlock(id.asOldId(), tagged.asOldId(), now);
            continue;
        }
        confirmed.append(id);
    }
    candidates = confirmed;
    return Acad::eOk;
}

Acad::ErrorStatus referencesOf(AcDbDatabase* db, const AcDbObjectId& blockId,
                               AcDbObjectIdArray& references) {
    references.setLogicalLength(0);
    if (db == nullptr) {
        return Acad::eNoDatabase;
    }
    if (blockId.isNull()) {
        return Acad::eNullObjectId;
    }
    // Only the references are needed here: measuring the marked blocks (which opens all their
    // entities) is left to the next shape lookup.
    DatabaseIndex* index = indexFor(db);
    if (index != nullptr) {
        index->refreshReferences();
    }
    if (index == nullptr || index->referencesUnsure()) {
        // Some reference could not be read: only the host's own answer is sure.
        Opened<AcDbBlockTableRecord> record;
        Acad::ErrorStatus es = record.open(blockId, AcDb::kForRead);
        return es == Acad::eOk ? record->getBlockReferenceIds(references) : es;
    }
    for (Raw raw : index->referencesOfBlock(blockId.asOldId())) {
        Opened<AcDbBlockReference> ref;
        if (ref.open(idOf(raw), AcDb::kForRead) == Acad::eOk &&
            kxhost::referencedBlock(ref.get()) == blockId) {
            references.append(idOf(raw));
        } else {
            index->markReference(raw);
        }
    }
    std::sort(references.begin(), references.end(), lessByHandle);
    return Acad::eOk;
}

void noteReferenceBlock(const AcDbBlockReference* ref) {
    if (ref == nullptr || ref->database() == nullptr || ref->objectId().isNull()) {
        return;
    }
    auto& reg = registry();
    const auto it = reg.find(ref->database());
    if (it != reg.end()) {
        it->second->putReference(ref->objectId().asOldId(), kxhost::referencedBlock(ref).asOldId());
    }
}

namespace {

DatabaseIndex* liveIndexOf(const AcDbObjectId& id) {
    if (id.isNull() || id.isErased()) {
        return nullptr;
    }
    const AcDbDatabase* db = id.database();
    LastIndex& last = lastIndex();
    if (db != nullptr && db == last.db) {
        return last.index;
    }
    auto& reg = registry();
    const auto it = reg.find(db);
    if (it == reg.end()) {
        return nullptr;
    }
    last = LastIndex{db, it->second.get()};
    return last.index;
}

}  // namespace

bool cachedEntityFacts(const AcDbObjectId& entityId, EntityFacts& facts) {
    DatabaseIndex* index = liveIndexOf(entityId);
    if (index == nullptr) {
        return false;
    }
    const auto it = index->facts().find(entityId.asOldId());
    if (it == index->facts().end()) {
        return false;
    }
    facts = it->second;
    return true;
}

bool hasEntityFacts(const AcDbObjectId& entityId) {
    DatabaseIndex* index = liveIndexOf(entityId);
    return index != nullptr && index->facts().count(entityId.asOldId()) != 0;
}

void keepEntityFacts(const AcDbObjectId& entityId, const EntityFacts& facts) {
    if (DatabaseIndex* index = liveIndexOf(entityId)) {
        index->keepFacts(entityId.asOldId(), facts);
    }
}

bool cachedHasProxyEntities(const AcDbObjectId& blockId, bool& hasProxies) {
    DatabaseIndex* index = liveIndexOf(blockId);
    if (index == nullptr) {
        return false;
    }
    const auto it = index->proxies().find(blockId.asOldId());
    if (it == index->proxies().end()) {
        return false;
    }
    hasProxies = it->second;
    return true;
}

void keepHasProxyEntities(const AcDbObjectId& blockId, bool hasProxies) {
    if (DatabaseIndex* index = liveIndexOf(blockId)) {
        index->keepProxies(blockId.asOldId(), hasProxies);
    }
}

int indexedBlockCount(const AcDbDatabase* db) {
    const DatabaseIndex* index = existingIndex(db);
    return index != nullptr ? index->blockCount() : 0;
}

int indexedReferenceCount(const AcDbDatabase* db) {
    const DatabaseIndex* index = existingIndex(db);
    return index != nullptr ? index->referenceCount() : 0;
}

bool isIndexed(const AcDbDatabase* db) {
    return existingIndex(db) != nullptr;
}

void forget(AcDbDatabase* db) {
    retire(db);
}

void releaseAll() {
    auto& reg = registry();
    for (auto& entry : reg) {
        entry.first->removeReactor(entry.second.get());
    }
    lastIndex() = LastIndex();
    reg.clear();
}

}  // namespace kxshare
