// Id maps of deep and wblock cloning: which source object became which clone. A clone operation
// fills the map while it clones, hands it to the event reactors (which may clone more objects into
// it while they walk it), then translates every id the clones carry through it.
#pragma once

#include <map>
#include <vector>

#include "host/db/objectid.h"
#include "host/rx/rxobject.h"

class AcDbDatabase;

// One entry: the source id (key), what it stands for in the destination (value), whether the
// value is a clone made by this operation, whether the source was one of the objects asked for,
// and whether the clone's owner is already the destination owner.
class AcDbIdPair {
  public:
    AcDbIdPair() = default;
    AcDbIdPair(AcDbObjectId key, AcDbObjectId value, bool isCloned, bool isPrimary = false,
               bool isOwnerXlated = true)
        : m_key(key),
          m_value(value),
          m_cloned(isCloned),
          m_primary(isPrimary),
          m_ownerXlated(isOwnerXlated) {}

    AcDbObjectId key() const { return m_key; }
    AcDbObjectId value() const { return m_value; }
    bool isCloned() const { return m_cloned; }
    bool isPrimary() const { return m_primary; }
    bool isOwnerXlated() const { return m_ownerXlated; }

    void setKey(AcDbObjectId key) { m_key = key; }
    void setValue(AcDbObjectId value) { m_value = value; }
    void setIsCloned(bool isCloned) { m_cloned = isCloned; }
    void setIsPrimary(bool isPrimary) { m_primary = isPrimary; }
    void setIsOwnerXlated(bool isOwnerXlated) { m_ownerXlated = isOwnerXlated; }

  private:
    AcDbObjectId m_key;
    AcDbObjectId m_value;
    bool m_cloned = false;
    bool m_primary = false;
    bool m_ownerXlated = true;
};

// The map keeps its pairs in the order they were first assigned; replacing a pair keeps its
// place. Pairs are never removed, so an iterator stays valid whatever is assigned while it walks.
class AcDbIdMapping : public AcRxObject {
  public:
    ACRX_DECLARE_MEMBERS(AcDbIdMapping);

    AcDbIdMapping() = default;
    AcDbIdMapping(const AcDbIdMapping&) = delete;
    AcDbIdMapping& operator=(const AcDbIdMapping&) = delete;

    // Fills the pair's value and flags from the pair with the same key; false (pair untouched)
    // when the key is not in the map or is null.
    bool compute(AcDbIdPair& pair) const;
    // Adds the pair, or replaces the pair with the same key. False for a null key.
    bool assign(const AcDbIdPair& pair);
    int numPairs() const { return static_cast<int>(m_pairs.size()); }
    // The pair at a position in assignment order; false past the end.
    bool pairAt(int index, AcDbIdPair& pair) const;

    AcDbDatabase* destDb() const { return m_dest; }
    Acad::ErrorStatus destDb(AcDbDatabase*& db) const {
        db = m_dest;
        return Acad::eOk;
    }
    Acad::ErrorStatus setDestDb(AcDbDatabase* db) {
        m_dest = db;
        return Acad::eOk;
    }
    AcDbDatabase* origDb() const { return m_orig; }
    Acad::ErrorStatus origDb(AcDbDatabase*& db) const {
        db = m_orig;
        return Acad::eOk;
    }
    Acad::ErrorStatus setOrigDb(AcDbDatabase* db) {
        m_orig = db;
        return Acad::eOk;
    }

    // The kind of operation (AcDb::DeepCloneType, 0..11). A map nobody set a context on answers
    // kDcCopy; the database's clone calls then pick their own default (see hasDeepCloneContext).
    AcDb::DeepCloneType deepCloneContext() const { return m_context; }
    // eInvalidInput outside 0..11.
    Acad::ErrorStatus setDeepCloneContext(AcDb::DeepCloneType context);
    bool hasDeepCloneContext() const { return m_contextSet; }

    // How records whose name is already taken in the destination are treated.
    AcDb::DuplicateRecordCloning duplicateRecordCloning() const { return m_drc; }
    Acad::ErrorStatus setDuplicateRecordCloning(AcDb::DuplicateRecordCloning drc);

    // Used by the database's clone calls: set between the first beginDeepClone and the
    // translation, so several calls with deferred translation share one round of notifications.
    bool isCloneRoundOpen() const { return m_roundOpen; }
    void setCloneRoundOpen(bool open) { m_roundOpen = open; }

  private:
    std::vector<AcDbIdPair> m_pairs;
    std::map<AcDbObjectId, size_t> m_index;
    AcDbDatabase* m_dest = nullptr;
    AcDbDatabase* m_orig = nullptr;
    AcDb::DeepCloneType m_context = AcDb::kDcCopy;
    bool m_contextSet = false;
    AcDb::DuplicateRecordCloning m_drc = AcDb::kDrcNotApplicable;
    bool m_roundOpen = false;
};

// Walks the pairs in assignment order. Pairs assigned during the walk are visited too: the walk
// ends only when it has passed every pair there is.
class AcDbIdMappingIter : public AcRxObject {
  public:
    ACRX_DECLARE_MEMBERS(AcDbIdMappingIter);

    explicit AcDbIdMappingIter(const AcDbIdMapping& map) : m_map(&map) {}

    Acad::ErrorStatus iterateOn(const AcDbIdMapping& map) {
        m_map = &map;
        m_pos = 0;
        return Acad::eOk;
    }
    void start() { m_pos = 0; }
    bool done() const { return m_pos >= m_map->numPairs(); }
    bool next() {
        if (!done()) {
            ++m_pos;
        }
        return !done();
    }
    // False when the walk is done.
    bool getMap(AcDbIdPair& pair) const { return m_map->pairAt(m_pos, pair); }

  private:
    const AcDbIdMapping* m_map;
    int m_pos = 0;
};
