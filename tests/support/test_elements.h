// Test-only element classes for the module suites: a parameter (KxTestParam, a KxDbBlockTag) and
// an action-like element (KxTestAction, a KxDbTagElement), with connections of their own built on
// the element's connection protocol, configurable evaluation, instance data, DWG and DXF filing,
// and a log of every graph hook they receive.
//
// Register them with kxtest::registerTestElements() while the module is loaded (the fixture
// kxtest::TestElementsTest does it), so that graph copies can clone them.
//
// Connections (names compare without regard to case):
//   KxTestParam:  "Value" (real), "Count" (32-bit integer), "Input" (real)
//   KxTestAction: "Distance" (real), "Index" (32-bit integer)
// "Value"/"Distance" read the element's value, "Count"/"Index" its evaluation count, "Input" the
// value. Any connection can also be fed from another element's connection of the same kind
// (connectTo). On evaluation an element whose "Input" (parameter) or "Distance" (action) is fed
// takes as its value the sum of the real values of its sources.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "module/graph/element_imp.h"
#include "module/params/block_tag.h"
#include "support/module_loader.h"

class KxTestElementImp;

class KxTestParam : public KxDbBlockTag {
    KX_DECLARE_PAIR(KxTestParam, KxDbBlockTag)

    // The labels set in the implementation (labels).
    Acad::ErrorStatus getLabelNames(AcStringArray& names) const override;
};

class KxTestAction : public KxDbTagElement {
    KX_DECLARE_PAIR(KxTestAction, KxDbTagElement)
};

// The implementation of both test classes. Its public fields configure and record behaviour.
class KxTestElementImp : public KxDbImpTagElement {
  public:
    struct Connection {
        const ACHAR* name;
        AcDb::DwgDataType kind;
    };

    KxTestElementImp(AcDbObjectWrapper* pub, bool isParam);

    // --- Configuration and state (filed: value, count, labels, inputs) ---
    double value = 0.0;
    Adesk::Int32 count = 0;  // number of evaluations
    Acad::ErrorStatus evaluateStatus = Acad::eOk;
    bool evaluatesOnLoadFlag;       // parameters true, actions false
    bool keepsInstanceData;         // parameters true, actions false
    KxNodeIdArray extraActivation;  // answered by getExtraActivation
    AcStringArray labels;           // answered by KxTestParam::getLabelNames
    // Input maps per own connection (canonical name as listed above).
    std::map<std::wstring, KxConnectionMap> inputs;

    const std::vector<Connection>& connections() const { return m_connections; }
    // The canonical name of an own connection, or null.
    const ACHAR* canonical(const ACHAR* name) const;

    Acad::ErrorStatus getConnectionNames(AcStringArray& names) const override;
    bool hasConnection(const ACHAR* name) const override;
    Acad::ErrorStatus getConnectionType(const ACHAR* name, AcDb::DwgDataType& kind) const override;
    Acad::ErrorStatus getConnectionValue(const ACHAR* name,
                                         KxDbTagEvalVariant& value) const override;
    Acad::ErrorStatus connectTo(const ACHAR* name, KxNodeId otherId,
                                const ACHAR* otherName) override;
    Acad::ErrorStatus disconnectFrom(const ACHAR* name, KxNodeId otherId,
                                     const ACHAR* otherName) override;
    bool canConnectTo(const ACHAR* name, KxNodeId otherId, const ACHAR* otherName) const override;
    Acad::ErrorStatus getConnectedNodes(const ACHAR* name, KxNodeIdArray& ids) const override;
    Acad::ErrorStatus getConnectedConnections(const ACHAR* name, KxNodeId nodeId,
                                              AcStringArray& names) const override;

    Acad::ErrorStatus addedToGraph(KxDbTagEvalGraph* graph) override;
    Acad::ErrorStatus removedFromGraph(KxDbTagEvalGraph* graph) override;
    Acad::ErrorStatus nodeRemoved(KxNodeId id) override;
    Acad::ErrorStatus edgeRemoved(KxNodeId otherId) override;
    Acad::ErrorStatus edgeAdded(KxNodeId sourceId, KxNodeId targetId, bool bidirectional) override;
    Acad::ErrorStatus attachToGraph(KxDbTagEvalGraph* graph) override;
    Acad::ErrorStatus setOwnerGraph(KxDbTagEvalGraph* graph) override;
    bool evaluatesOnLoad() const override { return evaluatesOnLoadFlag; }
    void getExtraActivation(KxNodeIdArray& ids) const override;
    void beginEvaluation(bool isActive) override;
    void evaluationSucceeded(bool isActive) override;
    void evaluationFailed(bool isActive) override;
    Acad::ErrorStatus evaluate(KxDbTagEvalContext* context) override;

    // Instance data: the header, then group 40 with the value.
    bool hasInstanceData() const override { return keepsInstanceData; }
    Acad::ErrorStatus getInstanceData(resbuf*& chain) const override;
    Acad::ErrorStatus setInstanceData(const resbuf*& cursor, int option) override;

    // Filing after the element's part. DWG: value, count, labels, input maps. DXF: 100
    // "KxTestElement", 40 value, 90 count, 70 label count with 1 per label, 71 map count with per
    // map 2 name, 72 entry count and per entry 91 id and 301 name.
    Acad::ErrorStatus dwgInFields(AcDbDwgFiler* filer) override;
    Acad::ErrorStatus dwgOutFields(AcDbDwgFiler* filer) const override;
    Acad::ErrorStatus dxfInFields(AcDbDxfFiler* filer) override;
    Acad::ErrorStatus dxfOutFields(AcDbDxfFiler* filer) const override;

  private:
    void log(const std::wstring& what) const;
    const ACHAR* feedingConnection() const;
    std::vector<Connection> m_connections;
};

namespace kxtest {

// The implementation of a test element; null for anything else.
KxTestElementImp* testImp(const AcDbObjectWrapper* element);

// Hook log of every test element, oldest first. Entries are "<name>.<hook>" with arguments, for
// example "A.addedToGraph", "A.edgeAdded(1,2,0)", "A.nodeRemoved(3)", "A.edgeRemoved(2)",
// "A.removedFromGraph", "A.attachToGraph", "A.setOwnerGraph", "A.beginEvaluation(1)",
// "A.evaluate", "A.evaluationSucceeded(1)", "A.evaluationFailed(0)". An element without a name
// logs as "#<node id>".
std::vector<std::wstring>& testElementLog();
// The entries since the last call (the log is emptied).
std::vector<std::wstring> takeTestElementLog();

// New in-memory test elements.
KxTestParam* makeTestParam(const ACHAR* name, double value = 0.0);
KxTestAction* makeTestAction(const ACHAR* name, double value = 0.0);

// Registration of the test classes ("KxTestParam" under KxDbBlockTag, "KxTestAction" under
// KxDbTagElement, with pseudo-constructors) while the module is loaded. Registering twice is
// harmless; unregistering clears the cached descriptors.
void registerTestElements();
void unregisterTestElements();

// A fixture with the module loaded, the test classes registered and an empty log.
class TestElementsTest : public ModuleTest {
  protected:
    void SetUp() override;
    void TearDown() override;
};

}  // namespace kxtest
