// Test-only classes for the parameter base and the point bases: a bare parameter with settable
// properties and labels (PbParam), a one-point and a two-point parameter whose grips are plain
// KxDbTagGrip nodes wired as the concrete parameters wire theirs (Pb1Pt, Pb2Pt), and an action
// that answers the parameters' questions through KxDbParamActionLink (PbAction).
#pragma once

#include <functional>
#include <map>
#include <string>

#include "host/db/dwgfiler.h"
#include "module/graph/element_imp.h"
#include "module/graph/eval_graph.h"
#include "module/grips/grip.h"
#include "module/params/block_1pt_tag_imp.h"
#include "module/params/block_2pt_tag_imp.h"
#include "module/params/block_tag_imp.h"
#include "module/params/param_action_link.h"
#include "support/test_elements.h"

// --- A bare parameter -------------------------------------------------------------------------

class PbParamImp : public KxDbImpBlockTag {
  public:
    explicit PbParamImp(AcDbObjectWrapper* pub) : KxDbImpBlockTag(pub) {}

    KxDbBlockPropertyDescArray descs;
    AcStringArray labels;
    // Values set through setPropertyValue, by property name.
    std::map<std::wstring, KxDbTagEvalVariant> values;
    int sets = 0;

    Acad::ErrorStatus getPropertyDescriptions(KxDbBlockPropertyDescArray& out) const override;
    Acad::ErrorStatus getPropertyValue(const ACHAR* name, KxDbTagEvalVariant& value) const override;
    Acad::ErrorStatus setPropertyValue(const ACHAR* name, const KxDbTagEvalVariant& value) override;
    Acad::ErrorStatus getLabelNames(AcStringArray& names) const override;
};

class PbParam : public KxDbBlockTag {
    KX_DECLARE_PAIR(PbParam, KxDbBlockTag)
};

// --- Point parameters with grips --------------------------------------------------------------

// Adds a plain grip at `point` to the graph, wires its "X"/"Y" to the parameter's `xName` and
// `yName` connections and the parameter's inputs of those names to the grip's displacements.
Acad::ErrorStatus pbAddGrip(KxDbImpTagElement* param, KxDbTagEvalGraph* graph,
                            const AcGePoint3d& point, const ACHAR* xName, const ACHAR* yName,
                            KxNodeId& gripId, const std::function<void(KxNodeId)>& store);

class Pb1PtImp : public KxDbImpBlock1PtTag {
  public:
    explicit Pb1PtImp(AcDbObjectWrapper* pub) : KxDbImpBlock1PtTag(pub) {}
    Acad::ErrorStatus addGrip(int index, KxNodeId& gripId, KxDbTagEvalGraph* graph) override;
};

class Pb1Pt : public KxDbBlock1PtTag {
    KX_DECLARE_PAIR(Pb1Pt, KxDbBlock1PtTag)
};

class Pb2PtImp : public KxDbImpBlock2PtTag {
  public:
    explicit Pb2PtImp(AcDbObjectWrapper* pub) : KxDbImpBlock2PtTag(pub) {}
    int addGripCalls = 0;
    Acad::ErrorStatus addGrip(int index, KxNodeId& gripId, KxDbTagEvalGraph* graph) override;
};

class Pb2Pt : public KxDbBlock2PtTag {
    KX_DECLARE_PAIR(Pb2Pt, KxDbBlock2PtTag)
};

// --- An action --------------------------------------------------------------------------------

// Output connections (reals) named as configured; inputs "Reads" and "Reads2" (reals), each fed
// by any number of sources through the element's generic connection protocol.
class PbActionImp : public KxDbImpTagElement {
  public:
    explicit PbActionImp(AcDbObjectWrapper* pub) : KxDbImpTagElement(pub) {}

    KxDbParamActionLink::Kind kind = KxDbParamActionLink::kMoveLike;
    KxNodeId parameterId = 0;
    AcDbObjectIdArray selection;
    bool ownList = false;
    std::map<std::wstring, double> outputs;
    KxConnectionMap reads;
    KxConnectionMap reads2;
    // What re-applying the selection answers, how often it happened, and what it saw.
    Acad::ErrorStatus reapplyStatus = Acad::eOk;
    int reapplies = 0;
    // While re-applying: opens this object for read and records the status.
    AcDbObjectId openWhileReapplying;
    Acad::ErrorStatus openStatus = Acad::eOk;

    Acad::ErrorStatus getConnectionNames(AcStringArray& names) const override;
    bool hasConnection(const ACHAR* name) const override;
    Acad::ErrorStatus getConnectionType(const ACHAR* name, AcDb::DwgDataType& kind) const override;
    Acad::ErrorStatus getConnectionValue(const ACHAR* name,
                                         KxDbTagEvalVariant& value) const override;
    Acad::ErrorStatus connectTo(const ACHAR* name, KxNodeId otherId,
                                const ACHAR* otherName) override;
    Acad::ErrorStatus getConnectedConnections(const ACHAR* name, KxNodeId nodeId,
                                              AcStringArray& names) const override;
};

class PbAction : public KxDbTagElement, public KxDbParamActionLink {
    KX_DECLARE_PAIR(PbAction, KxDbTagElement)

    PbActionImp* imp() const { return kxImpOf<PbActionImp>(this); }

    Kind actionLinkKind() const override { return imp()->kind; }
    KxNodeId actionLinkParameterId() const override { return imp()->parameterId; }
    void actionLinkSelection(AcDbObjectIdArray& ids) const override {
        ids.append(imp()->selection);
    }
    bool actionLinkHasOwnList() const override { return imp()->ownList; }
    Acad::ErrorStatus actionLinkReapplySelection() override;
};

namespace pbtest {

PbParamImp* paramImp(const AcDbObjectWrapper* obj);
Pb1PtImp* onePtImp(const AcDbObjectWrapper* obj);
Pb2PtImp* twoPtImp(const AcDbObjectWrapper* obj);
PbActionImp* actionImp(const AcDbObjectWrapper* obj);

PbAction* makeAction(const ACHAR* name, KxDbParamActionLink::Kind kind, KxNodeId parameterId);

// The module loaded, the test elements and these classes registered, the host's open and
// assertion counters reset; at the end no close may have gone unmatched.
class ParamBasesTest : public kxtest::TestElementsTest {
  protected:
    void SetUp() override;
    void TearDown() override;
};

// Copies the first `count` items of a stream (the kinds a parameter record holds); the integers
// at the indices of `replace` are written with the values given there instead.
void copyItems(const kxhost::DwgMemoryFiler& from, kxhost::DwgMemoryFiler& to, int count,
               const std::map<int, Adesk::Int64>& replace = {});

// Strict opens for the life of the guard, counters reset.
class StrictOpens {
  public:
    StrictOpens();
    ~StrictOpens();
};

}  // namespace pbtest
