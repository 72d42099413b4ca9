// Binds one block reference to a private copy of its definition's graph.
//
// The reference context is the only path by which the module changes a dynamic block reference:
// values are set and evaluated on the context's own copy of the definition graph, never on the
// definition, and the outcome is written back as the reference's records (instance data and
// history, kept by the root data) and into its representation block.
//
// A context is short-lived: make one for an open reference, use it, delete it. The reference
// must stay open while the context is used. Every operation that reads or changes values first
// loads the reference's records into the copy (once per context: the stored instance data is
// applied and the nodes that evaluate on load are replayed).
#pragma once

#include <utility>
#include <vector>

#include "host/core/acstring.h"
#include "host/core/resbuf.h"
#include "host/db/dbobject.h"
#include "host/rx/rxobject.h"
#include "module/frame/export.h"
#include "module/graph/eval_variant.h"
#include "module/graph/node_types.h"
#include "module/params/property_desc.h"

class AcDbBlockReference;
class KxDbImpTagRefContext;
class KxDbTagEvalContext;
class KxDbTagEvalExpr;
class KxDbTagEvalGraph;
class KxDbTagRepresentation;

// One parameter of the copy: its (display) name and node id.
typedef std::pair<AcString, KxNodeId> KxDbTagParameterEntry;
typedef std::vector<KxDbTagParameterEntry> KxDbTagParameterList;

namespace kxref {
inline constexpr const ACHAR* kDefaultKey = L"ACAD_ENHANCEDBLOCK";
// The definition holds proxy entities: the reference cannot be changed.
inline constexpr Acad::ErrorStatus kCannotChange = static_cast<Acad::ErrorStatus>(303);
// Value names understood besides the parameters' property names.
inline constexpr const ACHAR* kGripLocation = L"GRIPLOC";
inline constexpr const ACHAR* kGripFlip = L"GRIPFLIP";
inline constexpr const ACHAR* kTwoPointBase = L"2PTBASE";
inline constexpr const ACHAR* kTwoPointEnd = L"2PTEND";
// Record kinds, appended to the key.
inline constexpr const ACHAR* kDataSuffix = L"DATA";
inline constexpr const ACHAR* kHDataSuffix = L"HDATA";
inline constexpr const ACHAR* kHistorySuffix = L"HISTORY";
}  // namespace kxref

class KXDB_EXPORT KxDbTagRefContext : public AcRxObject {
  public:
    ACRX_DECLARE_MEMBERS(KxDbTagRefContext);

    // Binds the context to the reference (see bind). A null key means kDefaultKey.
    KxDbTagRefContext(const ACHAR* key, AcDbBlockReference* ref);
    ~KxDbTagRefContext() override;
    KxDbTagRefContext(const KxDbTagRefContext&) = delete;
    KxDbTagRefContext& operator=(const KxDbTagRefContext&) = delete;

    // Drops everything held and binds to `ref`: eInvalidInput for a null reference,
    // eWrongObjectType for anything but a plain AcDbBlockReference (multi-inserts included); eOk
    // and unbound for a reference of an ordinary block; a failure finding the graph is returned.
    Acad::ErrorStatus bind(AcDbBlockReference* ref);
    // The status of the last binding.
    Acad::ErrorStatus bindStatus() const;

    // Bound, with the representation protocol and a graph copy available.
    bool isBound() const;
    // As isBound, and the block transform is uniformly scaled and orthogonal.
    bool isBoundAndUniform() const;
    // The definition block holds a proxy entity (asked of the representation context once).
    bool definitionHasProxyEntities() const;
    bool hasSecondRestriction() const;

    AcDbBlockReference* blockReference() const;
    const AcString& key() const;
    // The definition the graph was taken from (the source definition, else the reference's block).
    AcDbObjectId definitionId() const;
    // The graph copy (owned by the context) and the evaluation context, after loading the records;
    // null when not bound.
    KxDbTagEvalGraph* graphCopy();
    KxDbTagEvalContext* evaluationContext();

    // The grips to offer on the reference, in node order: grips whose display flag is set and
    // that have no parameter, belong to a visibility, lookup or alignment parameter, or whose
    // parameter drives an action (for a two-point parameter other than a flip, an action on the
    // grip's end that is not a lookup action).
    Acad::ErrorStatus listGrips(KxNodeIdArray& ids);
    // Opens a node of the graph copy for read (the caller closes it), after loading the records.
    Acad::ErrorStatus getNode(KxNodeId id, KxDbTagEvalExpr*& node);
    // All node ids of the copy, in the graph's order.
    Acad::ErrorStatus getNodeIds(KxNodeIdArray& ids);
    // One entry per parameter of the copy in node-id order; a properties table is listed under
    // its label instead of its name.
    Acad::ErrorStatus listParameters(KxDbTagParameterList& params);
    // The parameter's property value under the reference's block transform (getPropertyValue) or
    // the identity (getPropertyValueUntransformed). eInvalidInput for an unknown node or one that
    // is not a parameter.
    Acad::ErrorStatus getPropertyValue(const KxDbTagParameterEntry& entry, const ACHAR* name,
                                       KxDbTagEvalVariant& value);
    Acad::ErrorStatus getPropertyValueUntransformed(const KxDbTagParameterEntry& entry,
                                                    const ACHAR* name, KxDbTagEvalVariant& value);
    // The parameter's property descriptions; a parameter that shows no properties gives them with
    // the visible mark cleared.
    Acad::ErrorStatus getPropertyDescriptions(const KxDbTagParameterEntry& entry,
                                              KxDbBlockPropertyDescArray& descs);

    // Makes the node (one of the copy's) the active node, activating it alone in the copy.
    Acad::ErrorStatus activateNode(KxNodeId id);
    KxNodeId activeNode() const;
    // Nodes activated by the last activateNode.
    const KxNodeIdArray& activatedIds() const;

    // Sets a value on the active node: "GRIPLOC" (a displacement, on a grip), "2PTBASE" and
    // "2PTEND" (displacements, on a two-point parameter), or a parameter's property name
    // (as a property under the block transform with `asProperty`, else as a plain value).
    // 451 without an active node, 303 when the reference cannot be changed.
    Acad::ErrorStatus setValue(const ACHAR* name, const KxDbTagEvalVariant& value, bool asProperty);
    // Evaluates the change set on the active node; on success a database-resident reference gets
    // its records written and its representation updated. The transient values are reset either
    // way. 451 without an active node.
    Acad::ErrorStatus evaluateChange();
    // setValue with `asProperty` set, then evaluateChange.
    Acad::ErrorStatus setPropertyAndEvaluate(const ACHAR* name, const KxDbTagEvalVariant& value);
    // setValue with `asProperty` clear, then evaluateChange (grip drags and typed values).
    Acad::ErrorStatus setValueAndEvaluate(const ACHAR* name, const KxDbTagEvalVariant& value);

    // --- Records -------------------------------------------------------------------------------
    // Applies the stored instance data of a kind (kDataSuffix or kHDataSuffix) to the copy;
    // `received` gets the ids of the nodes that took data.
    Acad::ErrorStatus applyRecords(const ACHAR* kindSuffix, KxNodeIdArray& received);
    // Writes the reference's instance data and history after a change.
    Acad::ErrorStatus writeRecords();
    // A copy of the reference's stored history chain (the caller releases it); eKeyNotFound when
    // there is none.
    Acad::ErrorStatus readHistory(resbuf*& chain) const;
    // Rebuilds the state by replaying the history chain on the copy; entries that no longer apply
    // are dropped; the records are rewritten.
    Acad::ErrorStatus replayHistory(const resbuf* chain);
    // Replays the parameters' writable property values read from the records of a kind on a fresh
    // copy of the definition graph.
    Acad::ErrorStatus replayProperties(const ACHAR* kindSuffix);
    // Brings the reference up to date with its definition from its records.
    Acad::ErrorStatus rebuildFromRecords();

    KxDbImpTagRefContext* imp() const { return m_pImp; }

  private:
    KxDbImpTagRefContext* m_pImp;
};
