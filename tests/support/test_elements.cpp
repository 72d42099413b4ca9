#include "support/test_elements.h"

#include <new>

#include "host/db/dwgfiler.h"
#include "host/db/dxffiler.h"
#include "module/graph/eval_graph.h"

ACRX_DEFINE_MEMBERS(KxTestParam)
ACRX_DEFINE_MEMBERS(KxTestAction)

KxTestParam::KxTestParam() : KxDbBlockTag(AcDbObjectWrapper::NoImp{}) {
    AcDbObjectWrapper::setImp(this, new (std::nothrow) KxTestElementImp(this, true));
}
KxTestParam::~KxTestParam() = default;

Acad::ErrorStatus KxTestParam::getLabelNames(AcStringArray& names) const {
    if (KxTestElementImp* imp = kxtest::testImp(this)) {
        names.append(imp->labels);
    }
    return Acad::eOk;
}

KxTestAction::KxTestAction() : KxDbTagElement(AcDbObjectWrapper::NoImp{}) {
    AcDbObjectWrapper::setImp(this, new (std::nothrow) KxTestElementImp(this, false));
}
KxTestAction::~KxTestAction() = default;

namespace {

std::vector<std::wstring> g_log;

// Counts read from a stream are bounded so that damaged data cannot make a test loop for long.
constexpr Adesk::Int32 kMaxCount = 10000;

}  // namespace

KxTestElementImp::KxTestElementImp(AcDbObjectWrapper* pub, bool isParam)
    : KxDbImpTagElement(pub), evaluatesOnLoadFlag(isParam), keepsInstanceData(isParam) {
    if (isParam) {
        m_connections = {
            {L"Value", AcDb::kDwgReal}, {L"Count", AcDb::kDwgInt32}, {L"Input", AcDb::kDwgReal}};
    } else {
        m_connections = {{L"Distance", AcDb::kDwgReal}, {L"Index", AcDb::kDwgInt32}};
    }
}

void KxTestElementImp::log(const std::wstring& what) const {
    const AcString name = getName();
    std::wstring who = name.isEmpty() ? L"#" + std::to_wstring(nodeId()) : name.str();
    g_log.push_back(who + L"." + what);
}

const ACHAR* KxTestElementImp::canonical(const ACHAR* name) const {
    if (name == nullptr) {
        return nullptr;
    }
    for (const Connection& c : m_connections) {
        if (acCompareNoCase(c.name, name) == 0) {
            return c.name;
        }
    }
    return nullptr;
}

const ACHAR* KxTestElementImp::feedingConnection() const {
    return m_connections.size() == 3 ? L"Input" : L"Distance";
}

Acad::ErrorStatus KxTestElementImp::getConnectionNames(AcStringArray& names) const {
    for (const Connection& c : m_connections) {
        names.append(c.name);
    }
    return Acad::eOk;
}

bool KxTestElementImp::hasConnection(const ACHAR* name) const {
    return canonical(name) != nullptr;
}

Acad::ErrorStatus KxTestElementImp::getConnectionType(const ACHAR* name,
                                                      AcDb::DwgDataType& kind) const {
    for (const Connection& c : m_connections) {
        if (name != nullptr && acCompareNoCase(c.name, name) == 0) {
            kind = c.kind;
            return Acad::eOk;
        }
    }
    return Acad::eInvalidInput;
}

Acad::ErrorStatus KxTestElementImp::getConnectionValue(const ACHAR* name,
                                                       KxDbTagEvalVariant& out) const {
    AcDb::DwgDataType kind = AcDb::kDwgNull;
    if (getConnectionType(name, kind) != Acad::eOk) {
        return Acad::eInvalidInput;
    }
    if (kind == AcDb::kDwgInt32) {
        out = KxDbTagEvalVariant(count);
    } else {
        out = KxDbTagEvalVariant(value);
    }
    return Acad::eOk;
}

Acad::ErrorStatus KxTestElementImp::connectTo(const ACHAR* name, KxNodeId otherId,
                                              const ACHAR* otherName) {
    const ACHAR* own = canonical(name);
    if (own == nullptr) {
        return Acad::eInvalidInput;
    }
    return connectInput(own, otherId, otherName, inputs[own]);
}

Acad::ErrorStatus KxTestElementImp::disconnectFrom(const ACHAR* name, KxNodeId otherId,
                                                   const ACHAR* otherName) {
    const ACHAR* own = canonical(name);
    if (own == nullptr) {
        return Acad::eInvalidInput;
    }
    return disconnectInput(otherId, otherName, inputs[own]);
}

bool KxTestElementImp::canConnectTo(const ACHAR* name, KxNodeId otherId,
                                    const ACHAR* otherName) const {
    const ACHAR* own = canonical(name);
    if (own == nullptr) {
        return false;
    }
    const auto it = inputs.find(own);
    const KxConnectionMap empty;
    return checkInputConnection(own, otherId, otherName, it != inputs.end() ? it->second : empty) ==
           Acad::eOk;
}

Acad::ErrorStatus KxTestElementImp::getConnectedNodes(const ACHAR* name, KxNodeIdArray& ids) const {
    const ACHAR* own = canonical(name);
    if (own == nullptr) {
        return Acad::eInvalidInput;
    }
    const auto it = inputs.find(own);
    if (it != inputs.end()) {
        appendConnectedNodes(it->second, ids);
    }
    return Acad::eOk;
}

Acad::ErrorStatus KxTestElementImp::getConnectedConnections(const ACHAR* name, KxNodeId nodeId,
                                                            AcStringArray& names) const {
    const ACHAR* own = canonical(name);
    if (own == nullptr) {
        return Acad::eInvalidInput;
    }
    const auto it = inputs.find(own);
    if (it != inputs.end()) {
        appendConnectedConnections(it->second, nodeId, names);
    }
    return Acad::eOk;
}

Acad::ErrorStatus KxTestElementImp::addedToGraph(KxDbTagEvalGraph* graph) {
    log(L"addedToGraph");
    return KxDbImpTagElement::addedToGraph(graph);
}

Acad::ErrorStatus KxTestElementImp::removedFromGraph(KxDbTagEvalGraph* graph) {
    log(L"removedFromGraph");
    return KxDbImpTagElement::removedFromGraph(graph);
}

Acad::ErrorStatus KxTestElementImp::nodeRemoved(KxNodeId id) {
    log(L"nodeRemoved(" + std::to_wstring(id) + L")");
    return KxDbImpTagElement::nodeRemoved(id);
}

Acad::ErrorStatus KxTestElementImp::edgeRemoved(KxNodeId otherId) {
    log(L"edgeRemoved(" + std::to_wstring(otherId) + L")");
    return KxDbImpTagElement::edgeRemoved(otherId);
}

Acad::ErrorStatus KxTestElementImp::edgeAdded(KxNodeId sourceId, KxNodeId targetId,
                                              bool bidirectional) {
    log(L"edgeAdded(" + std::to_wstring(sourceId) + L"," + std::to_wstring(targetId) + L"," +
        (bidirectional ? L"1" : L"0") + L")");
    return KxDbImpTagElement::edgeAdded(sourceId, targetId, bidirectional);
}

Acad::ErrorStatus KxTestElementImp::attachToGraph(KxDbTagEvalGraph* graph) {
    log(L"attachToGraph");
    return KxDbImpTagElement::attachToGraph(graph);
}

Acad::ErrorStatus KxTestElementImp::setOwnerGraph(KxDbTagEvalGraph* graph) {
    log(L"setOwnerGraph");
    return KxDbImpTagElement::setOwnerGraph(graph);
}

void KxTestElementImp::getExtraActivation(KxNodeIdArray& ids) const {
    ids.append(extraActivation);
}

void KxTestElementImp::beginEvaluation(bool isActive) {
    log(std::wstring(L"beginEvaluation(") + (isActive ? L"1" : L"0") + L")");
}

void KxTestElementImp::evaluationSucceeded(bool isActive) {
    log(std::wstring(L"evaluationSucceeded(") + (isActive ? L"1" : L"0") + L")");
}

void KxTestElementImp::evaluationFailed(bool isActive) {
    log(std::wstring(L"evaluationFailed(") + (isActive ? L"1" : L"0") + L")");
}

Acad::ErrorStatus KxTestElementImp::evaluate(KxDbTagEvalContext* context) {
    log(L"evaluate");
    assertWriteEnabled();
    ++count;
    const auto it = inputs.find(feedingConnection());
    if (it != inputs.end() && !it->second.empty()) {
        double sum = 0.0;
        for (const auto& entry : it->second) {
            KxDbTagEvalExpr* source = nullptr;
            bool opened = false;
            if (openGraphNode(entry.first, AcDb::kForRead, source, opened) != Acad::eOk) {
                continue;
            }
            const KxDbTagElement* element = KxDbTagElement::cast(source);
            KxDbTagEvalVariant v;
            if (element != nullptr && element->getConnectionValue(entry.second, v) == Acad::eOk &&
                v.type() == 40) {
                sum += v.resval.rreal;
            }
            if (opened) {
                source->close();
            }
        }
        value = sum;
    }
    return evaluateStatus;
}

Acad::ErrorStatus KxTestElementImp::getInstanceData(resbuf*& chain) const {
    Acad::ErrorStatus es = KxDbImpTagElement::getInstanceData(chain);
    if (es != Acad::eOk) {
        return es;
    }
    kxinst::ChainBuilder builder(chain);
    chain = nullptr;
    builder.real(40, value);
    es = builder.status();
    chain = builder.release();
    return es;
}

Acad::ErrorStatus KxTestElementImp::setInstanceData(const resbuf*& cursor, int option) {
    const resbuf* at = cursor;
    Acad::ErrorStatus es = KxDbImpTagElement::setInstanceData(at, option);
    if (es != Acad::eOk) {
        return es;
    }
    double v = 0.0;
    if ((es = kxinst::readReal(at, 40, v)) != Acad::eOk) {
        return es;
    }
    assertWriteEnabled();
    value = v;
    cursor = at;
    return Acad::eOk;
}

Acad::ErrorStatus KxTestElementImp::dwgOutFields(AcDbDwgFiler* filer) const {
    Acad::ErrorStatus es = KxDbImpTagElement::dwgOutFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    filer->writeDouble(value);
    filer->writeInt32(count);
    filer->writeInt32(labels.length());
    for (const AcString& label : labels) {
        filer->writeString(label);
    }
    filer->writeInt32(static_cast<Adesk::Int32>(inputs.size()));
    for (const auto& map : inputs) {
        filer->writeString(map.first.c_str());
        filer->writeInt32(static_cast<Adesk::Int32>(map.second.size()));
        for (const auto& entry : map.second) {
            filer->writeInt32(static_cast<Adesk::Int32>(entry.first));
            filer->writeString(entry.second);
        }
    }
    return filer->filerStatus();
}

Acad::ErrorStatus KxTestElementImp::dwgInFields(AcDbDwgFiler* filer) {
    Acad::ErrorStatus es = KxDbImpTagElement::dwgInFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    labels.setLogicalLength(0);
    inputs.clear();
    Adesk::Int32 n = 0;
    filer->readDouble(&value);
    filer->readInt32(&count);
    if (filer->readInt32(&n) != Acad::eOk || n < 0 || n > kMaxCount) {
        return Acad::eFilerError;
    }
    for (Adesk::Int32 i = 0; i < n; ++i) {
        AcString label;
        if (filer->readString(label) != Acad::eOk) {
            return filer->filerStatus();
        }
        labels.append(label);
    }
    if (filer->readInt32(&n) != Acad::eOk || n < 0 || n > kMaxCount) {
        return Acad::eFilerError;
    }
    for (Adesk::Int32 i = 0; i < n; ++i) {
        AcString name;
        Adesk::Int32 entries = 0;
        if (filer->readString(name) != Acad::eOk || filer->readInt32(&entries) != Acad::eOk ||
            entries < 0 || entries > kMaxCount) {
            return Acad::eFilerError;
        }
        KxConnectionMap& map = inputs[name.str()];
        for (Adesk::Int32 j = 0; j < entries; ++j) {
            Adesk::Int32 id = 0;
            AcString source;
            if (filer->readInt32(&id) != Acad::eOk || filer->readString(source) != Acad::eOk) {
                return Acad::eFilerError;
            }
            map[static_cast<KxNodeId>(id)] = source;
        }
    }
    return filer->filerStatus();
}

Acad::ErrorStatus KxTestElementImp::dxfOutFields(AcDbDxfFiler* filer) const {
    Acad::ErrorStatus es = KxDbImpTagElement::dxfOutFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    filer->writeString(100, L"KxTestElement");
    filer->writeDouble(40, value);
    filer->writeInt32(90, count);
    filer->writeInt16(70, static_cast<Adesk::Int16>(labels.length()));
    for (const AcString& label : labels) {
        filer->writeString(1, label);
    }
    filer->writeInt16(71, static_cast<Adesk::Int16>(inputs.size()));
    for (const auto& map : inputs) {
        filer->writeString(2, map.first.c_str());
        filer->writeInt16(72, static_cast<Adesk::Int16>(map.second.size()));
        for (const auto& entry : map.second) {
            filer->writeInt32(91, static_cast<Adesk::Int32>(entry.first));
            filer->writeString(301, entry.second);
        }
    }
    return filer->filerStatus();
}

namespace {

// Reads the next item, which must carry `code`; text is copied out and freed.
Acad::ErrorStatus expectItem(AcDbDxfFiler* filer, int code, resbuf& rb, AcString* text) {
    rb = resbuf{};
    Acad::ErrorStatus es = filer->readItem(&rb);
    if (es != Acad::eOk) {
        return es == Acad::eEndOfFile ? Acad::eBadDxfSequence : es;
    }
    if (text != nullptr && rb.restype == code) {
        *text = AcString(rb.resval.rstring);
    }
    kxnode::releaseDxfItem(rb);
    return rb.restype == code ? Acad::eOk : Acad::eBadDxfSequence;
}

}  // namespace

Acad::ErrorStatus KxTestElementImp::dxfInFields(AcDbDxfFiler* filer) {
    Acad::ErrorStatus es = KxDbImpTagElement::dxfInFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    if (!filer->atSubclassData(L"KxTestElement")) {
        return kxnode::dxfFailure(filer, Acad::eBadDxfSequence);
    }
    labels.setLogicalLength(0);
    inputs.clear();
    resbuf rb{};
    if ((es = expectItem(filer, 40, rb, nullptr)) != Acad::eOk) {
        return es;
    }
    value = rb.resval.rreal;
    if ((es = expectItem(filer, 90, rb, nullptr)) != Acad::eOk) {
        return es;
    }
    count = rb.resval.rlong;
    if ((es = expectItem(filer, 70, rb, nullptr)) != Acad::eOk) {
        return es;
    }
    const int labelCount = rb.resval.rint;
    for (int i = 0; i < labelCount; ++i) {
        AcString label;
        if ((es = expectItem(filer, 1, rb, &label)) != Acad::eOk) {
            return es;
        }
        labels.append(label);
    }
    if ((es = expectItem(filer, 71, rb, nullptr)) != Acad::eOk) {
        return es;
    }
    const int mapCount = rb.resval.rint;
    for (int i = 0; i < mapCount; ++i) {
        AcString name;
        if ((es = expectItem(filer, 2, rb, &name)) != Acad::eOk ||
            (es = expectItem(filer, 72, rb, nullptr)) != Acad::eOk) {
            return es;
        }
        const int entries = rb.resval.rint;
        KxConnectionMap& map = inputs[name.str()];
        for (int j = 0; j < entries; ++j) {
            AcString source;
            if ((es = expectItem(filer, 91, rb, nullptr)) != Acad::eOk) {
                return es;
            }
            const KxNodeId id = static_cast<KxNodeId>(rb.resval.rlong);
            if ((es = expectItem(filer, 301, rb, &source)) != Acad::eOk) {
                return es;
            }
            map[id] = source;
        }
    }
    return Acad::eOk;
}

namespace kxtest {

KxTestElementImp* testImp(const AcDbObjectWrapper* element) {
    return kxImpOf<KxTestElementImp>(element);
}

std::vector<std::wstring>& testElementLog() {
    return g_log;
}

std::vector<std::wstring> takeTestElementLog() {
    std::vector<std::wstring> taken;
    taken.swap(g_log);
    return taken;
}

KxTestParam* makeTestParam(const ACHAR* name, double value) {
    auto* param = new KxTestParam();
    param->setName(name);
    testImp(param)->value = value;
    return param;
}

KxTestAction* makeTestAction(const ACHAR* name, double value) {
    auto* action = new KxTestAction();
    action->setName(name);
    testImp(action)->value = value;
    return action;
}

void registerTestElements() {
    if (acrxFindAcRxClass(L"KxTestParam") == nullptr) {
        KxTestParam::descCache() = newAcRxClass(
            L"KxTestParam", L"KxDbBlockTag", 33, 55, 1153,
            []() -> AcRxObject* { return new KxTestParam(); }, L"KXTESTPARAM", L"KXTEST");
    }
    if (acrxFindAcRxClass(L"KxTestAction") == nullptr) {
        KxTestAction::descCache() = newAcRxClass(
            L"KxTestAction", L"KxDbTagElement", 33, 55, 1153,
            []() -> AcRxObject* { return new KxTestAction(); }, L"KXTESTACTION", L"KXTEST");
    }
    acrxBuildClassHierarchy();
}

void unregisterTestElements() {
    if (AcRxClass* cls = acrxFindAcRxClass(L"KxTestAction")) {
        deleteAcRxClass(cls);
    }
    if (AcRxClass* cls = acrxFindAcRxClass(L"KxTestParam")) {
        deleteAcRxClass(cls);
    }
    KxTestAction::descCache() = nullptr;
    KxTestParam::descCache() = nullptr;
}

void TestElementsTest::SetUp() {
    ModuleTest::SetUp();
    registerTestElements();
    g_log.clear();
}

void TestElementsTest::TearDown() {
    unregisterTestElements();
    g_log.clear();
    ModuleTest::TearDown();
}

}  // namespace kxtest
