// Root data of a drawing: the index of the graphs of its dynamic block definitions and of the
// records of its dynamic references.
//
// One root data object lives in each database that holds dynamic blocks, in the named objects
// dictionary under "TOLM_TAG_ROOTDATA". It hard-owns everything it indexes (the graphs and the
// per-reference xrecords), so they are saved, loaded and purged with it:
// - graph map: block definition id -> id of the definition's evaluation graph;
// - reference map: block reference id -> the reference's record: the definition it was made
//   from (not owned), its history xrecord, and its named data and hidden-data xrecords.
// A reference record exists only while at least one of those four is set.
#pragma once

#include <map>

#include "host/core/acstring.h"
#include "module/frame/pair_macros.h"

class AcDbXrecord;
class KxDbTagEvalGraph;

// Named xrecords of one reference, in case-sensitive name order.
typedef std::map<AcString, AcDbObjectId> KxDbTagRootDataEntryMap;

namespace kxrootdata {
// The key of the root data in the named objects dictionary.
inline constexpr const ACHAR* kDictionaryKey = L"TOLM_TAG_ROOTDATA";
// The kinds of per-reference records, as removeRecords() knows them (compared without case).
inline constexpr const ACHAR* kDataRecordName = L"ACAD_ENHANCEDBLOCKDATA";
inline constexpr const ACHAR* kHDataRecordName = L"ACAD_ENHANCEDBLOCKHDATA";
inline constexpr const ACHAR* kHistoryRecordName = L"ACAD_ENHANCEDBLOCKHISTORY";
// Statuses of this class that the host's status type has no name for.
inline constexpr Acad::ErrorStatus kNoDatabase = static_cast<Acad::ErrorStatus>(124);
inline constexpr Acad::ErrorStatus kValueNotAccepted = static_cast<Acad::ErrorStatus>(301);
}  // namespace kxrootdata

class KXDB_EXPORT KxDbTagRootData : public AcDbObjectWrapper {
    KX_DECLARE_PAIR(KxDbTagRootData, AcDbObjectWrapper)

    // --- Finding the root data of a database -------------------------------------------------
    // (The class's pseudo-constructor, registered with the class, makes an empty one.)

    // The id of the database's root data: 124 without a database, the named objects dictionary's
    // status (22 when there is no entry) otherwise.
    static Acad::ErrorStatus getRootDataId(AcDbDatabase* db, AcDbObjectId& id);
    // Opens the database's root data in the given mode; the caller closes it. Statuses as
    // getRootDataId, or the open's status; `rootData` is null on failure.
    static Acad::ErrorStatus openRootData(AcDbDatabase* db, AcDb::OpenMode mode,
                                          KxDbTagRootData*& rootData);
    // As above; with `create`, a database without root data gets an empty one first.
    static Acad::ErrorStatus openRootData(AcDbDatabase* db, AcDb::OpenMode mode, bool create,
                                          KxDbTagRootData*& rootData);

    // --- Graphs of block definitions -----------------------------------------------------------

    // True, with the graph's id, when the definition has a graph.
    bool getGraph(const AcDbObjectId& definitionId, AcDbObjectId& graphId) const;
    // Makes `graph` (open for write, or not yet in a database) the definition's graph:
    // eInvalidInput for a null key or a graph not open for write, 124 when the key or the root data
    // is in no database, eWrongDatabase when they are in different ones. A graph outside the
    // database is added to it and left open for write: the caller closes it as after addAcDbObject.
    // The root data becomes the graph's owner and one of its persistent reactors. A different graph
    // registered under the key before is erased; the same graph keeps its entry.
    Acad::ErrorStatus setGraph(const AcDbObjectId& definitionId, KxDbTagEvalGraph* graph);

    // --- Records of block references ------------------------------------------------------------
    // The set operations answer eNullObjectId for a null key, 124 for a key in no database and
    // eWrongDatabase for a key of another database than the root data's. Objects handed in are
    // adopted (see adoptObject). The record is created when needed and dropped when empty.

    // True, with the id, when the reference has a source definition.
    bool getSourceDefinition(const AcDbObjectId& referenceId, AcDbObjectId& definitionId) const;
    // A null definition id clears it.
    Acad::ErrorStatus setSourceDefinition(const AcDbObjectId& referenceId,
                                          const AcDbObjectId& definitionId);
    // True, with the xrecord's id, when the reference has a history.
    bool getHistory(const AcDbObjectId& referenceId, AcDbObjectId& historyId) const;
    // Replaces the history; the previous history xrecord is erased.
    Acad::ErrorStatus setHistory(const AcDbObjectId& referenceId, AcDbXrecord* history);
    // Empties `entries`, then copies the reference's data (hidden data) entries into it; true
    // when the reference has a record.
    bool getDataEntries(const AcDbObjectId& referenceId, KxDbTagRootDataEntryMap& entries) const;
    bool getHDataEntries(const AcDbObjectId& referenceId, KxDbTagRootDataEntryMap& entries) const;
    // Stores the xrecord under the name (eInvalidInput for a null name); an xrecord stored
    // under that name before is erased.
    Acad::ErrorStatus setDataEntry(const AcDbObjectId& referenceId, const ACHAR* name,
                                   AcDbXrecord* xrecord);
    Acad::ErrorStatus setHDataEntry(const AcDbObjectId& referenceId, const ACHAR* name,
                                    AcDbXrecord* xrecord);
    // Drop the entries (the history) and erase their xrecords. eInvalidInput for a null key,
    // eKeyNotFound when the reference has no record.
    Acad::ErrorStatus clearData(const AcDbObjectId& referenceId);
    Acad::ErrorStatus clearHData(const AcDbObjectId& referenceId);
    Acad::ErrorStatus clearHistory(const AcDbObjectId& referenceId);
    // Clears one kind of record by its name (kDataRecordName, kHDataRecordName,
    // kHistoryRecordName, compared without case); eNotHandled (2) for any other name,
    // eInvalidInput for a null one.
    Acad::ErrorStatus removeRecords(const AcDbObjectId& referenceId, const ACHAR* recordName);

    // Makes the root data the owner of `obj`: eInvalidInput for a null object or a root data in
    // no database, eWrongDatabase for an object of another database. An object outside the
    // database is added to it and left open for write (the caller closes it); a resident one
    // must be open for write. `id` receives the object's id.
    Acad::ErrorStatus adoptObject(AcDbObject* obj, AcDbObjectId& id);

    // Sizes of the two maps.
    int numGraphs() const;
    int numReferences() const;
};
