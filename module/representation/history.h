// The history record of a dynamic block reference: the sequence of value changes that produced
// its current state, kept so that the state can be rebuilt when the definition changes.
//
// Chain layout: 1070 format version, then per entry 1071 node id, 300 value name, and one item
// holding the value (its group code is the value's type). Format 2 is written; format 1 (older
// drawings) stored host result-type codes for the values, which are translated on reading.
//
// History chains come from drawings and are untrusted: an entry is read only when all three items
// exist and the first two have their codes.
#pragma once

#include <vector>

#include "host/core/acstring.h"
#include "host/core/resbuf.h"
#include "module/frame/export.h"
#include "module/graph/eval_variant.h"
#include "module/graph/node_types.h"

namespace kxhistory {

inline constexpr Adesk::Int16 kCurrentVersion = 2;
inline constexpr Adesk::Int16 kLegacyVersion = 1;

// Merge modes of an element (KxDbTagElement::historyMergeMode): 1 keeps every entry, 2 and 3
// replace an immediately preceding entry of the same node and name.
inline constexpr int kMergeKeepAll = 1;

struct Entry {
    KxNodeId nodeId = 0;
    AcString name;
    KxDbTagEvalVariant value;
};

// The value type that a stored code stands for in a chain of the given format: format 1 codes
// are translated, codes of a later format are taken as they stand. eInvalidInput for a format 1
// code that has no meaning.
KXDB_EXPORT Acad::ErrorStatus decodeValueType(int version, int code, short& type);

// Reads a whole chain. `entries` receives the well-formed entries in order, `version` the format.
// eInvalidInput for a chain that does not start with 1070 or holds a malformed entry: reading
// stops at a broken structure (a missing or mis-coded 1071/300 item, or a missing value), and an
// entry whose value cannot be decoded is skipped. eKeyNotFound (22) for a null chain.
KXDB_EXPORT Acad::ErrorStatus readChain(const resbuf* chain, int& version,
                                        std::vector<Entry>& entries);

// Builds a format 2 chain from the entries. eOutOfMemory on allocation failure (chain null).
KXDB_EXPORT Acad::ErrorStatus buildChain(const std::vector<Entry>& entries, resbuf*& chain);

// True when a change of this value name on this node accumulates its displacement into the
// previous entry instead of replacing it.
KXDB_EXPORT bool isAdditive(bool nodeIsGripOrTwoPoint, const ACHAR* name,
                            const KxDbTagEvalVariant& value);

// Merges one change into the entries:
// - the last entry has the same node id and name and the change is additive: the two point
//   values are added; the old entry is dropped, and the sum is appended unless its length is
//   zero (a drag back to the start leaves no trace);
// - the last entry has the same node id and name and the merge mode is 2 or 3: it is replaced;
// - otherwise the change is appended. A change of node 0 is never appended.
KXDB_EXPORT void merge(std::vector<Entry>& entries, const Entry& change, int mergeMode,
                       bool additive);

}  // namespace kxhistory
