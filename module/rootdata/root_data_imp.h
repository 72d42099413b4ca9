// The implementation of KxDbTagRootData.
#pragma once

#include <cstddef>
#include <unordered_map>

#include "module/frame/pair_macros.h"
#include "module/rootdata/root_data.h"

// Hash of an object id for the root data's maps: FNV-1a over the eight bytes of its 64-bit
// value, lowest byte first, so the value (and the filing order it leads to) is the same on every
// platform.
struct KxDbTagRootDataIdHash {
    size_t operator()(const AcDbObjectId& id) const noexcept {
        const auto raw = static_cast<Adesk::UInt64>(id.asOldId());
        Adesk::UInt64 hash = 14695981039346656037ull;
        for (int i = 0; i < 8; ++i) {
            hash ^= (raw >> (8 * i)) & 0xFFu;
            hash *= 1099511628211ull;
        }
        return static_cast<size_t>(hash);
    }
};

// What the root data keeps for one block reference.
struct KxDbTagRootDataRecord {
    // Carried through filing unchanged; 0 for a record made here.
    Adesk::Int16 value = 0;
    // The dynamic block definition the reference was made from (not owned).
    AcDbObjectId sourceDefinition;
    // The history xrecord (owned).
    AcDbObjectId history;
    // Data and hidden-data xrecords by name (owned).
    KxDbTagRootDataEntryMap data;
    KxDbTagRootDataEntryMap hdata;

    // A record without any of its four members has no reason to exist.
    bool isEmpty() const {
        return sourceDefinition.isNull() && history.isNull() && data.empty() && hdata.empty();
    }
};

typedef std::unordered_map<AcDbObjectId, AcDbObjectId, KxDbTagRootDataIdHash>
    KxDbTagRootDataGraphMap;
typedef std::unordered_map<AcDbObjectId, KxDbTagRootDataRecord, KxDbTagRootDataIdHash>
    KxDbTagRootDataRecordMap;

class KXDB_EXPORT KxDbImpTagRootData : public AcDbImpObjectWrapper {
  public:
    explicit KxDbImpTagRootData(AcDbObjectWrapper* pub);
    ~KxDbImpTagRootData() override = default;

    Acad::ErrorStatus dwgInFields(AcDbDwgFiler* filer) override;
    Acad::ErrorStatus dwgOutFields(AcDbDwgFiler* filer) const override;
    Acad::ErrorStatus dxfInFields(AcDbDxfFiler* filer) override;
    Acad::ErrorStatus dxfOutFields(AcDbDxfFiler* filer) const override;

    bool getGraph(const AcDbObjectId& definitionId, AcDbObjectId& graphId) const;
    Acad::ErrorStatus setGraph(const AcDbObjectId& definitionId, KxDbTagEvalGraph* graph);

    bool getSourceDefinition(const AcDbObjectId& referenceId, AcDbObjectId& definitionId) const;
    Acad::ErrorStatus setSourceDefinition(const AcDbObjectId& referenceId,
                                          const AcDbObjectId& definitionId);
    bool getHistory(const AcDbObjectId& referenceId, AcDbObjectId& historyId) const;
    Acad::ErrorStatus setHistory(const AcDbObjectId& referenceId, AcDbXrecord* history);
    bool getDataEntries(const AcDbObjectId& referenceId, KxDbTagRootDataEntryMap& entries) const;
    bool getHDataEntries(const AcDbObjectId& referenceId, KxDbTagRootDataEntryMap& entries) const;
    Acad::ErrorStatus setDataEntry(const AcDbObjectId& referenceId, const ACHAR* name,
                                   AcDbXrecord* xrecord);
    Acad::ErrorStatus setHDataEntry(const AcDbObjectId& referenceId, const ACHAR* name,
                                    AcDbXrecord* xrecord);
    Acad::ErrorStatus clearData(const AcDbObjectId& referenceId);
    Acad::ErrorStatus clearHData(const AcDbObjectId& referenceId);
    Acad::ErrorStatus clearHistory(const AcDbObjectId& referenceId);
    Acad::ErrorStatus removeRecords(const AcDbObjectId& referenceId, const ACHAR* recordName);
    Acad::ErrorStatus adoptObject(AcDbObject* obj, AcDbObjectId& id);

    int numGraphs() const { return static_cast<int>(m_graphs.size()); }
    int numReferences() const { return static_cast<int>(m_records.size()); }

    // Read access for tests and tools.
    const KxDbTagRootDataGraphMap& graphs() const { return m_graphs; }
    const KxDbTagRootDataRecordMap& records() const { return m_records; }
    const KxDbTagRootDataRecord* findRecord(const AcDbObjectId& referenceId) const;

  private:
    // Checks shared by the set operations on a reference key.
    Acad::ErrorStatus checkReferenceKey(const AcDbObjectId& referenceId) const;
    Acad::ErrorStatus setEntry(const AcDbObjectId& referenceId, const ACHAR* name,
                               AcDbXrecord* xrecord, bool hidden);
    Acad::ErrorStatus clearEntries(const AcDbObjectId& referenceId, bool hidden);
    // Drops the reference's record once it holds nothing.
    void dropIfEmpty(KxDbTagRootDataRecordMap::iterator it);
    // Empties both maps (the objects they name stay as they are).
    void clearMaps();

    KxDbTagRootDataGraphMap m_graphs;
    KxDbTagRootDataRecordMap m_records;
};
