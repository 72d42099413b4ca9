#include "module/rootdata/root_data.h"

#include <utility>

#include "host/db/database.h"
#include "host/db/dictionary.h"
#include "host/db/xrecord.h"
#include "module/graph/eval_graph.h"
#include "module/rootdata/root_data_imp.h"

KX_DEFINE_PAIR(KxDbTagRootData, AcDbObjectWrapper, KxDbImpTagRootData)

namespace {

// Closes an object opened here on every way out of the scope.
class ScopedClose {
  public:
    explicit ScopedClose(AcDbObject* obj) : m_obj(obj) {}
    ~ScopedClose() {
        if (m_obj != nullptr) {
            m_obj->close();
        }
    }
    ScopedClose(const ScopedClose&) = delete;
    ScopedClose& operator=(const ScopedClose&) = delete;

  private:
    AcDbObject* m_obj;
};

// Erases an object the root data let go of. Only what the root data owns is erased: ids come from
// files too, and an entry naming some other object of the drawing must not take it along. An
// object that is gone or erased already needs nothing.
void eraseOwned(const AcDbObjectId& id, const AcDbObjectId& owner) {
    if (id.isNull() || owner.isNull()) {
        return;
    }
    AcDbObject* obj = nullptr;
    if (acdbOpenObject(obj, id, AcDb::kForWrite) != Acad::eOk) {
        return;
    }
    if (obj->ownerId() == owner) {
        obj->erase(true);
    }
    obj->close();
}

// Adds a new, empty root data to the database's named objects dictionary.
Acad::ErrorStatus createRootData(AcDbDatabase* db, AcDbObjectId& id) {
    AcDbDictionary* nod = nullptr;
    Acad::ErrorStatus es = db->getNamedObjectsDictionary(nod, AcDb::kForWrite);
    if (es != Acad::eOk) {
        return es;
    }
    ScopedClose closeNod(nod);
    auto* rootData = new KxDbTagRootData();
    if (rootData == nullptr) {
        return Acad::eOutOfMemory;
    }
    if (kxImpOf<KxDbImpTagRootData>(rootData) == nullptr) {
        delete rootData;
        return Acad::eOutOfMemory;
    }
    es = nod->setAt(kxrootdata::kDictionaryKey, rootData, id);
    if (rootData->objectId().isNull()) {
        // Never made it into the database: still ours.
        delete rootData;
        return es != Acad::eOk ? es : Acad::eNotInDatabase;
    }
    rootData->close();
    return es;
}

}  // namespace

// --- Finding the root data ----------------------------------------------------------------------

Acad::ErrorStatus KxDbTagRootData::getRootDataId(AcDbDatabase* db, AcDbObjectId& id) {
    id.setNull();
    if (db == nullptr) {
        return kxrootdata::kNoDatabase;
    }
    AcDbDictionary* nod = nullptr;
    const Acad::ErrorStatus es = db->getNamedObjectsDictionary(nod, AcDb::kForRead);
    if (es != Acad::eOk) {
        return es;
    }
    ScopedClose closeNod(nod);
    return nod->getAt(kxrootdata::kDictionaryKey, id);
}

Acad::ErrorStatus KxDbTagRootData::openRootData(AcDbDatabase* db, AcDb::OpenMode mode,
                                                KxDbTagRootData*& rootData) {
    return openRootData(db, mode, false, rootData);
}

Acad::ErrorStatus KxDbTagRootData::openRootData(AcDbDatabase* db, AcDb::OpenMode mode, bool create,
                                                KxDbTagRootData*& rootData) {
    rootData = nullptr;
    AcDbObjectId id;
    Acad::ErrorStatus es = getRootDataId(db, id);
    if (es == Acad::eKeyNotFound && create) {
        es = createRootData(db, id);
    }
    if (es != Acad::eOk) {
        return es;
    }
    return acdbOpenObject(rootData, id, mode);
}

// --- Forwarders ---------------------------------------------------------------------------------

namespace {
KxDbImpTagRootData* impOf(const KxDbTagRootData* pub) {
    return kxImpOf<KxDbImpTagRootData>(pub);
}
}  // namespace

KX_FORWARD(bool, KxDbTagRootData, getGraph,
           (const AcDbObjectId& definitionId, AcDbObjectId& graphId), (definitionId, graphId),
           const, false)
KX_FORWARD_STATUS(KxDbTagRootData, setGraph,
                  (const AcDbObjectId& definitionId, KxDbTagEvalGraph* graph),
                  (definitionId, graph), )
KX_FORWARD(bool, KxDbTagRootData, getSourceDefinition,
           (const AcDbObjectId& referenceId, AcDbObjectId& definitionId),
           (referenceId, definitionId), const, false)
KX_FORWARD_STATUS(KxDbTagRootData, setSourceDefinition,
                  (const AcDbObjectId& referenceId, const AcDbObjectId& definitionId),
                  (referenceId, definitionId), )
KX_FORWARD(bool, KxDbTagRootData, getHistory,
           (const AcDbObjectId& referenceId, AcDbObjectId& historyId), (referenceId, historyId),
           const, false)
KX_FORWARD_STATUS(KxDbTagRootData, setHistory,
                  (const AcDbObjectId& referenceId, AcDbXrecord* history), (referenceId, history), )

bool KxDbTagRootData::getDataEntries(const AcDbObjectId& referenceId,
                                     KxDbTagRootDataEntryMap& entries) const {
    KxDbImpTagRootData* imp = impOf(this);
    if (imp == nullptr) {
        entries.clear();
        return false;
    }
    return imp->getDataEntries(referenceId, entries);
}

bool KxDbTagRootData::getHDataEntries(const AcDbObjectId& referenceId,
                                      KxDbTagRootDataEntryMap& entries) const {
    KxDbImpTagRootData* imp = impOf(this);
    if (imp == nullptr) {
        entries.clear();
        return false;
    }
    return imp->getHDataEntries(referenceId, entries);
}

KX_FORWARD_STATUS(KxDbTagRootData, setDataEntry,
                  (const AcDbObjectId& referenceId, const ACHAR* name, AcDbXrecord* xrecord),
                  (referenceId, name, xrecord), )
KX_FORWARD_STATUS(KxDbTagRootData, setHDataEntry,
                  (const AcDbObjectId& referenceId, const ACHAR* name, AcDbXrecord* xrecord),
                  (referenceId, name, xrecord), )
KX_FORWARD_STATUS(KxDbTagRootData, clearData, (const AcDbObjectId& referenceId), (referenceId), )
KX_FORWARD_STATUS(KxDbTagRootData, clearHData, (const AcDbObjectId& referenceId), (referenceId), )
KX_FORWARD_STATUS(KxDbTagRootData, clearHistory, (const AcDbObjectId& referenceId), (referenceId), )
KX_FORWARD_STATUS(KxDbTagRootData, removeRecords,
                  (const AcDbObjectId& referenceId, const ACHAR* recordName),
                  (referenceId, recordName), )

Acad::ErrorStatus KxDbTagRootData::adoptObject(AcDbObject* obj, AcDbObjectId& id) {
    KxDbImpTagRootData* imp = impOf(this);
    if (imp == nullptr) {
        id.setNull();
        return Acad::eNullObjectPointer;
    }
    return imp->adoptObject(obj, id);
}

KX_FORWARD(int, KxDbTagRootData, numGraphs, (), (), const, 0)
KX_FORWARD(int, KxDbTagRootData, numReferences, (), (), const, 0)

// --- Implementation -----------------------------------------------------------------------------

namespace {
// The maps start small: most drawings hold a handful of dynamic blocks.
constexpr size_t kInitialBuckets = 8;
}  // namespace

KxDbImpTagRootData::KxDbImpTagRootData(AcDbObjectWrapper* pub)
    : AcDbImpObjectWrapper(pub), m_graphs(kInitialBuckets), m_records(kInitialBuckets) {
    m_graphs.max_load_factor(1.0f);
    m_records.max_load_factor(1.0f);
}

void KxDbImpTagRootData::clearMaps() {
    m_graphs.clear();
    m_records.clear();
}

const KxDbTagRootDataRecord* KxDbImpTagRootData::findRecord(const AcDbObjectId& referenceId) const {
    const auto it = m_records.find(referenceId);
    return it != m_records.end() ? &it->second : nullptr;
}

void KxDbImpTagRootData::dropIfEmpty(KxDbTagRootDataRecordMap::iterator it) {
    if (it != m_records.end() && it->second.isEmpty()) {
        m_records.erase(it);
    }
}

Acad::ErrorStatus KxDbImpTagRootData::checkReferenceKey(const AcDbObjectId& referenceId) const {
    if (referenceId.isNull()) {
        return Acad::eNullObjectId;
    }
    AcDbDatabase* keyDb = referenceId.database();
    if (keyDb == nullptr) {
        return kxrootdata::kNoDatabase;
    }
    if (database() != nullptr && keyDb != database()) {
        return Acad::eWrongDatabase;
    }
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpTagRootData::adoptObject(AcDbObject* obj, AcDbObjectId& id) {
    id.setNull();
    AcDbDatabase* db = database();
    if (db == nullptr || obj == nullptr) {
        return Acad::eInvalidInput;
    }
    AcDbDatabase* objDb = obj->database();
    if (objDb != nullptr && objDb != db) {
        return Acad::eWrongDatabase;
    }
    AcDbObjectId objId = obj->objectId();
    if (objDb == nullptr) {
        const Acad::ErrorStatus es = db->addAcDbObject(objId, obj);
        if (es != Acad::eOk && es != Acad::eAlreadyInDb) {
            return es;
        }
    }
    if (obj->ownerId() != objectId()) {
        const Acad::ErrorStatus es = obj->setOwnerId(objectId());
        if (es != Acad::eOk) {
            // Added above or not, the object is the database's now; the caller still holds it.
            id = objId;
            return es;
        }
    }
    id = objId;
    return Acad::eOk;
}

// --- Graphs ---

bool KxDbImpTagRootData::getGraph(const AcDbObjectId& definitionId, AcDbObjectId& graphId) const {
    const auto it = m_graphs.find(definitionId);
    if (it == m_graphs.end()) {
        return false;
    }
    graphId = it->second;
    return true;
}

Acad::ErrorStatus KxDbImpTagRootData::setGraph(const AcDbObjectId& definitionId,
                                               KxDbTagEvalGraph* graph) {
    if (definitionId.isNull() || graph == nullptr || !graph->isWriteEnabled()) {
        return Acad::eInvalidInput;
    }
    AcDbDatabase* db = definitionId.database();
    if (db == nullptr || database() == nullptr) {
        return kxrootdata::kNoDatabase;
    }
    if (db != database()) {
        return Acad::eWrongDatabase;
    }
    // The new graph is made ours before the old one goes, so a graph that cannot join the
    // database leaves the definition with the graph it had.
    AcDbObjectId graphId;
    Acad::ErrorStatus es = db->addAcDbObject(graphId, graph);
    if (es != Acad::eOk && es != Acad::eAlreadyInDb) {
        return es;
    }
    const AcDbObjectId self = objectId();
    if (graph->ownerId() != self) {
        es = graph->setOwnerId(self);
        if (es != Acad::eOk) {
            return es;
        }
    }
    graph->addPersistentReactor(self);

    assertWriteEnabled();
    const auto it = m_graphs.find(definitionId);
    if (it != m_graphs.end()) {
        if (it->second == graphId) {
            // Registering the graph the definition already has changes nothing.
            return Acad::eOk;
        }
        const AcDbObjectId old = it->second;
        m_graphs.erase(it);
        eraseOwned(old, self);
    }
    m_graphs.emplace(definitionId, graphId);
    return Acad::eOk;
}

// --- Reference records ---

bool KxDbImpTagRootData::getSourceDefinition(const AcDbObjectId& referenceId,
                                             AcDbObjectId& definitionId) const {
    const KxDbTagRootDataRecord* rec = findRecord(referenceId);
    if (rec == nullptr || rec->sourceDefinition.isNull()) {
        return false;
    }
    definitionId = rec->sourceDefinition;
    return true;
}

Acad::ErrorStatus KxDbImpTagRootData::setSourceDefinition(const AcDbObjectId& referenceId,
                                                          const AcDbObjectId& definitionId) {
    const Acad::ErrorStatus es = checkReferenceKey(referenceId);
    if (es != Acad::eOk) {
        return es;
    }
    assertWriteEnabled();
    if (definitionId.isNull()) {
        const auto it = m_records.find(referenceId);
        if (it != m_records.end()) {
            it->second.sourceDefinition.setNull();
            dropIfEmpty(it);
        }
        return Acad::eOk;
    }
    m_records[referenceId].sourceDefinition = definitionId;
    return Acad::eOk;
}

bool KxDbImpTagRootData::getHistory(const AcDbObjectId& referenceId,
                                    AcDbObjectId& historyId) const {
    // A record kept alive by its other members has no history to hand out: callers take "false"
    // as "no history" and would otherwise try to open the null id.
    const KxDbTagRootDataRecord* rec = findRecord(referenceId);
    if (rec == nullptr || rec->history.isNull()) {
        return false;
    }
    historyId = rec->history;
    return true;
}

Acad::ErrorStatus KxDbImpTagRootData::setHistory(const AcDbObjectId& referenceId,
                                                 AcDbXrecord* history) {
    Acad::ErrorStatus es = checkReferenceKey(referenceId);
    if (es != Acad::eOk) {
        return es;
    }
    AcDbObjectId historyId;
    es = adoptObject(history, historyId);
    if (es != Acad::eOk) {
        return es;
    }
    assertWriteEnabled();
    KxDbTagRootDataRecord& rec = m_records[referenceId];
    if (rec.history != historyId) {
        const AcDbObjectId old = rec.history;
        rec.history = historyId;
        eraseOwned(old, objectId());
    }
    return Acad::eOk;
}

bool KxDbImpTagRootData::getDataEntries(const AcDbObjectId& referenceId,
                                        KxDbTagRootDataEntryMap& entries) const {
    entries.clear();
    const KxDbTagRootDataRecord* rec = findRecord(referenceId);
    if (rec == nullptr) {
        return false;
    }
    entries = rec->data;
    return true;
}

bool KxDbImpTagRootData::getHDataEntries(const AcDbObjectId& referenceId,
                                         KxDbTagRootDataEntryMap& entries) const {
    entries.clear();
    const KxDbTagRootDataRecord* rec = findRecord(referenceId);
    if (rec == nullptr) {
        return false;
    }
    entries = rec->hdata;
    return true;
}

Acad::ErrorStatus KxDbImpTagRootData::setEntry(const AcDbObjectId& referenceId, const ACHAR* name,
                                               AcDbXrecord* xrecord, bool hidden) {
    Acad::ErrorStatus es = checkReferenceKey(referenceId);
    if (es != Acad::eOk) {
        return es;
    }
    if (name == nullptr) {
        return Acad::eInvalidInput;
    }
    AcDbObjectId xrecordId;
    es = adoptObject(xrecord, xrecordId);
    if (es != Acad::eOk) {
        return es;
    }
    assertWriteEnabled();
    KxDbTagRootDataRecord& rec = m_records[referenceId];
    KxDbTagRootDataEntryMap& entries = hidden ? rec.hdata : rec.data;
    const AcString key(name);
    const auto it = entries.find(key);
    if (it != entries.end()) {
        if (it->second == xrecordId) {
            return Acad::eOk;
        }
        const AcDbObjectId old = it->second;
        entries.erase(it);
        eraseOwned(old, objectId());
    }
    entries.emplace(key, xrecordId);
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpTagRootData::setDataEntry(const AcDbObjectId& referenceId,
                                                   const ACHAR* name, AcDbXrecord* xrecord) {
    return setEntry(referenceId, name, xrecord, false);
}

Acad::ErrorStatus KxDbImpTagRootData::setHDataEntry(const AcDbObjectId& referenceId,
                                                    const ACHAR* name, AcDbXrecord* xrecord) {
    return setEntry(referenceId, name, xrecord, true);
}

Acad::ErrorStatus KxDbImpTagRootData::clearEntries(const AcDbObjectId& referenceId, bool hidden) {
    if (referenceId.isNull()) {
        return Acad::eInvalidInput;
    }
    const auto it = m_records.find(referenceId);
    if (it == m_records.end()) {
        return Acad::eKeyNotFound;
    }
    assertWriteEnabled();
    // Data entries are rewritten on every change of the reference; dropping them without
    // erasing would leave one unreachable xrecord per element and change in the drawing.
    KxDbTagRootDataEntryMap dropped;
    dropped.swap(hidden ? it->second.hdata : it->second.data);
    dropIfEmpty(it);
    const AcDbObjectId self = objectId();
    for (const auto& entry : dropped) {
        eraseOwned(entry.second, self);
    }
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpTagRootData::clearData(const AcDbObjectId& referenceId) {
    return clearEntries(referenceId, false);
}

Acad::ErrorStatus KxDbImpTagRootData::clearHData(const AcDbObjectId& referenceId) {
    return clearEntries(referenceId, true);
}

Acad::ErrorStatus KxDbImpTagRootData::clearHistory(const AcDbObjectId& referenceId) {
    if (referenceId.isNull()) {
        return Acad::eInvalidInput;
    }
    const auto it = m_records.find(referenceId);
    if (it == m_records.end()) {
        return Acad::eKeyNotFound;
    }
    assertWriteEnabled();
    const AcDbObjectId old = it->second.history;
    it->second.history.setNull();
    dropIfEmpty(it);
    eraseOwned(old, objectId());
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpTagRootData::removeRecords(const AcDbObjectId& referenceId,
                                                    const ACHAR* recordName) {
    if (recordName == nullptr) {
        return Acad::eInvalidInput;
    }
    if (acCompareNoCase(recordName, kxrootdata::kDataRecordName) == 0) {
        return clearData(referenceId);
    }
    if (acCompareNoCase(recordName, kxrootdata::kHDataRecordName) == 0) {
        return clearHData(referenceId);
    }
    if (acCompareNoCase(recordName, kxrootdata::kHistoryRecordName) == 0) {
        return clearHistory(referenceId);
    }
    return Acad::eNotHandled;
}
