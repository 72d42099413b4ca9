#include "support/graph_test_nodes.h"

#include "host/db/dwgfiler.h"
#include "module/graph/eval_graph.h"

ACRX_DEFINE_MEMBERS(KxGraphTestNode)
ACRX_DEFINE_MEMBERS(KxGraphOtherTestNode)

namespace {

std::vector<std::wstring> g_log;

// Counts read from a stream are bounded so damaged data cannot make a test loop for long.
constexpr Adesk::Int32 kMaxExtra = 1000;

std::wstring flag(bool value) {
    return value ? L"1" : L"0";
}

}  // namespace

KxGraphTestNode::KxGraphTestNode() = default;
KxGraphTestNode::KxGraphTestNode(const ACHAR* text) : label(text) {}
KxGraphTestNode::~KxGraphTestNode() = default;

void KxGraphTestNode::log(const std::wstring& what) const {
    g_log.push_back(label.str() + L"." + what);
}

Acad::ErrorStatus KxGraphTestNode::addedToGraph(KxDbTagEvalGraph* graph) {
    log(L"addedToGraph");
    return KxDbTagEvalExpr::addedToGraph(graph);
}

Acad::ErrorStatus KxGraphTestNode::removedFromGraph(KxDbTagEvalGraph* graph) {
    log(L"removedFromGraph");
    return KxDbTagEvalExpr::removedFromGraph(graph);
}

Acad::ErrorStatus KxGraphTestNode::nodeRemoved(KxNodeId id) {
    log(L"nodeRemoved(" + std::to_wstring(id) + L")");
    return KxDbTagEvalExpr::nodeRemoved(id);
}

Acad::ErrorStatus KxGraphTestNode::edgeRemoved(KxNodeId otherId) {
    log(L"edgeRemoved(" + std::to_wstring(otherId) + L")");
    return KxDbTagEvalExpr::edgeRemoved(otherId);
}

Acad::ErrorStatus KxGraphTestNode::edgeAdded(KxNodeId sourceId, KxNodeId targetId,
                                             bool bidirectional) {
    log(L"edgeAdded(" + std::to_wstring(sourceId) + L"," + std::to_wstring(targetId) + L"," +
        flag(bidirectional) + L")");
    return KxDbTagEvalExpr::edgeAdded(sourceId, targetId, bidirectional);
}

Acad::ErrorStatus KxGraphTestNode::attachToGraph(KxDbTagEvalGraph* graph) {
    log(L"attachToGraph");
    return KxDbTagEvalExpr::attachToGraph(graph);
}

Acad::ErrorStatus KxGraphTestNode::setOwnerGraph(KxDbTagEvalGraph* graph) {
    log(L"setOwnerGraph");
    return KxDbTagEvalExpr::setOwnerGraph(graph);
}

void KxGraphTestNode::getExtraActivation(KxNodeIdArray& ids) const {
    ids.append(extraActivation);
}

void KxGraphTestNode::beginEvaluation(bool isActive) {
    log(L"beginEvaluation(" + flag(isActive) + L")");
}

void KxGraphTestNode::evaluationSucceeded(bool isActive) {
    log(L"evaluationSucceeded(" + flag(isActive) + L")");
}

void KxGraphTestNode::evaluationFailed(bool isActive) {
    log(L"evaluationFailed(" + flag(isActive) + L")");
}

Acad::ErrorStatus KxGraphTestNode::evaluate(KxDbTagEvalContext* context) {
    log(L"evaluate");
    ++evaluations;
    lastContextNull = context == nullptr;
    if (onEvaluate) {
        onEvaluate(this, context);
    }
    return evaluateStatus;
}

Acad::ErrorStatus KxGraphTestNode::addToDatabase(AcDbObjectId& id, AcDbDatabase* db) {
    if (addToDatabaseStatus != Acad::eOk) {
        return addToDatabaseStatus;
    }
    return KxDbTagEvalExpr::addToDatabase(id, db);
}

Acad::ErrorStatus KxGraphTestNode::decomposeForSave(AcDb::AcDbDwgVersion ver,
                                                    AcDbObject*& replaceObj,
                                                    AcDbObjectId& replaceId,
                                                    Adesk::Boolean& exchangeXData) {
    log(L"decomposeForSave");
    KxDbTagEvalExpr::decomposeForSave(ver, replaceObj, replaceId, exchangeXData);
    return Acad::eInvalidInput;  // the graph does not stop at a node's answer
}

AcRxObject* KxGraphTestNode::clone() const {
    return cloneFails ? nullptr : KxDbTagEvalExpr::clone();
}

Acad::ErrorStatus KxGraphTestNode::dwgOutFields(AcDbDwgFiler* filer) const {
    const Acad::ErrorStatus es = KxDbTagEvalExpr::dwgOutFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    filer->writeString(label);
    filer->writeInt32(static_cast<Adesk::Int32>(evaluateStatus));
    filer->writeInt32(extraActivation.length());
    for (KxNodeId id : extraActivation) {
        filer->writeInt32(static_cast<Adesk::Int32>(id));
    }
    return filer->filerStatus();
}

Acad::ErrorStatus KxGraphTestNode::dwgInFields(AcDbDwgFiler* filer) {
    Acad::ErrorStatus es = KxDbTagEvalExpr::dwgInFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    AcString text;
    Adesk::Int32 status = 0;
    Adesk::Int32 count = 0;
    if ((es = filer->readString(text)) != Acad::eOk ||
        (es = filer->readInt32(&status)) != Acad::eOk ||
        (es = filer->readInt32(&count)) != Acad::eOk) {
        return es;
    }
    if (count < 0 || count > kMaxExtra) {
        filer->setFilerStatus(Acad::eFilerError);
        return Acad::eFilerError;
    }
    KxNodeIdArray extra;
    for (Adesk::Int32 i = 0; i < count; ++i) {
        Adesk::Int32 id = 0;
        if ((es = filer->readInt32(&id)) != Acad::eOk) {
            return es;
        }
        extra.append(static_cast<KxNodeId>(id));
    }
    label = text;
    evaluateStatus = static_cast<Acad::ErrorStatus>(status);
    extraActivation = extra;
    return filer->filerStatus();
}

namespace kxtest {

std::vector<std::wstring>& graphNodeLog() {
    return g_log;
}

std::vector<std::wstring> takeGraphNodeLog() {
    std::vector<std::wstring> taken;
    taken.swap(g_log);
    return taken;
}

std::vector<std::wstring> graphNodeLogWith(const std::wstring& part) {
    std::vector<std::wstring> found;
    for (const std::wstring& entry : g_log) {
        if (entry.find(part) != std::wstring::npos) {
            found.push_back(entry);
        }
    }
    return found;
}

// --- Harnesses
// ------------------------------------------------------------------------------------

MemoryGraph::MemoryGraph() : m_graph(new KxDbTagEvalGraph()) {}

MemoryGraph::~MemoryGraph() {
    delete m_graph;
}

KxGraphTestNode* MemoryGraph::add(const ACHAR* label) {
    auto* node = new KxGraphTestNode(label);
    KxNodeId id = 0;
    const Acad::ErrorStatus es = m_graph->addNode(node, id);
    EXPECT_EQ(es, Acad::eOk) << "adding " << AcString(label).utf8();
    if (es != Acad::eOk) {
        delete node;
        return nullptr;
    }
    return node;
}

DatabaseGraph::DatabaseGraph() : m_db(new AcDbDatabase(true, true)) {
    auto* graph = new KxDbTagEvalGraph();
    EXPECT_EQ(m_db->addAcDbObject(m_graphId, graph), Acad::eOk);
    graph->close();
}

DatabaseGraph::~DatabaseGraph() {
    delete m_db;
}

KxDbTagEvalGraph* DatabaseGraph::open(AcDb::OpenMode mode) const {
    KxDbTagEvalGraph* graph = nullptr;
    EXPECT_EQ(acdbOpenObject(graph, m_graphId, mode), Acad::eOk);
    return graph;
}

KxNodeId DatabaseGraph::add(const ACHAR* label) {
    KxDbTagEvalGraph* graph = open(AcDb::kForWrite);
    if (graph == nullptr) {
        return 0;
    }
    auto* node = new KxGraphTestNode(label);
    KxNodeId id = 0;
    const Acad::ErrorStatus es = graph->addNode(node, id);
    EXPECT_EQ(es, Acad::eOk);
    if (node->objectId().isNull()) {
        delete node;
    } else {
        node->close();
    }
    graph->close();
    return id;
}

AcDbObjectId DatabaseGraph::objectOf(KxNodeId id) const {
    KxDbTagEvalGraph* graph = open(AcDb::kForRead);
    AcDbObjectId object;
    KxDbTagEvalExpr* node = nullptr;
    if (graph != nullptr && graph->getNode(id, AcDb::kForRead, node) == Acad::eOk) {
        object = node->objectId();
        node->close();
    }
    if (graph != nullptr) {
        graph->close();
    }
    return object;
}

KxGraphTestNode* DatabaseGraph::openNode(KxNodeId id, AcDb::OpenMode mode) const {
    KxGraphTestNode* node = nullptr;
    EXPECT_EQ(acdbOpenObject(node, objectOf(id), mode), Acad::eOk);
    return node;
}

// --- Filed graph records ------------------------------------------------------------------------

GraphLayoutNode& GraphLayout::node(KxNodeId id, AcDbObjectId object, Adesk::Int32 flags) {
    GraphLayoutNode n;
    n.index = static_cast<Adesk::Int32>(nodes.size());
    n.id = id;
    n.object = object;
    n.flags = flags;
    nodes.push_back(n);
    return nodes.back();
}

GraphLayoutEdge& GraphLayout::edge(Adesk::Int32 source, Adesk::Int32 target, Adesk::Int32 flags,
                                   Adesk::Int32 refCount) {
    GraphLayoutEdge e;
    e.index = static_cast<Adesk::Int32>(edges.size());
    e.source = source;
    e.target = target;
    e.flags = flags;
    e.refCount = refCount;
    edges.push_back(e);
    return edges.back();
}

void GraphLayout::link() {
    for (GraphLayoutNode& n : nodes) {
        n.firstIn = n.lastIn = n.firstOut = n.lastOut = -1;
    }
    for (size_t j = 0; j < edges.size(); ++j) {
        GraphLayoutEdge& e = edges[j];
        const auto index = static_cast<Adesk::Int32>(j);
        GraphLayoutNode& source = nodes[e.source];
        GraphLayoutNode& target = nodes[e.target];
        e.prevOut = source.lastOut;
        e.nextOut = -1;
        if (source.lastOut >= 0) {
            edges[source.lastOut].nextOut = index;
        } else {
            source.firstOut = index;
        }
        source.lastOut = index;
        e.prevIn = target.lastIn;
        e.nextIn = -1;
        if (target.lastIn >= 0) {
            edges[target.lastIn].nextIn = index;
        } else {
            target.firstIn = index;
        }
        target.lastIn = index;
    }
}

void writeGraphDwg(kxhost::DwgMemoryFiler& filer, const GraphLayout& layout) {
    filer.writeInt32(static_cast<Adesk::Int32>(layout.lastId));
    filer.writeInt32(static_cast<Adesk::Int32>(layout.highId));
    filer.writeInt32(static_cast<Adesk::Int32>(layout.nodes.size()));
    for (const GraphLayoutNode& n : layout.nodes) {
        filer.writeInt32(n.index);
        filer.writeInt32(n.flags);
        filer.writeInt32(static_cast<Adesk::Int32>(n.id));
        filer.writeHardOwnershipId(n.object);
        filer.writeInt32(n.firstIn);
        filer.writeInt32(n.lastIn);
        filer.writeInt32(n.firstOut);
        filer.writeInt32(n.lastOut);
    }
    filer.writeInt32(static_cast<Adesk::Int32>(layout.edges.size()));
    for (const GraphLayoutEdge& e : layout.edges) {
        for (Adesk::Int32 v : {e.index, e.flags, e.refCount, e.source, e.target, e.prevIn, e.nextIn,
                               e.prevOut, e.nextOut, e.partner}) {
            filer.writeInt32(v);
        }
    }
}

void writeHostPartDwg(kxhost::DwgMemoryFiler& filer) {
    KxDbTagEvalGraph scratch;
    scratch.AcDbObject::dwgOutFields(&filer);
}

int hostPartItems(AcDb::FilerType type) {
    kxhost::DwgMemoryFiler filer(type);
    writeHostPartDwg(filer);
    return filer.itemCount();
}

void writeGraphDxf(kxhost::DxfMemoryFiler& filer, const GraphLayout& layout) {
    filer.writeString(100, L"AcDbEvalGraph");
    filer.writeInt32(96, static_cast<Adesk::Int32>(layout.lastId));
    filer.writeInt32(97, static_cast<Adesk::Int32>(layout.highId));
    for (const GraphLayoutNode& n : layout.nodes) {
        filer.writeInt32(91, n.index);
        filer.writeInt32(93, n.flags);
        filer.writeInt32(95, static_cast<Adesk::Int32>(n.id));
        filer.writeObjectId(360, n.object);
        for (Adesk::Int32 v : {n.firstIn, n.lastIn, n.firstOut, n.lastOut}) {
            filer.writeInt32(92, v);
        }
    }
    for (const GraphLayoutEdge& e : layout.edges) {
        filer.writeInt32(92, e.index);
        filer.writeInt32(93, e.flags);
        filer.writeInt32(94, e.refCount);
        filer.writeInt32(91, e.source);
        filer.writeInt32(91, e.target);
        for (Adesk::Int32 v : {e.prevIn, e.nextIn, e.prevOut, e.nextOut, e.partner}) {
            filer.writeInt32(92, v);
        }
    }
}

bool parseGraphDwg(const kxhost::DwgMemoryFiler& filer, int skip, GraphLayout& layout) {
    using Kind = kxhost::DwgMemoryFiler::ItemKind;
    const auto& items = filer.items();
    size_t at = static_cast<size_t>(skip);
    bool ok = true;
    auto next = [&]() -> Adesk::Int32 {
        if (at >= items.size() || items[at].kind != Kind::kInt32) {
            ok = false;
            return 0;
        }
        return static_cast<Adesk::Int32>(items[at++].bits);
    };
    layout = GraphLayout();
    layout.lastId = static_cast<KxNodeId>(next());
    layout.highId = static_cast<KxNodeId>(next());
    const Adesk::Int32 nodeCount = next();
    for (Adesk::Int32 i = 0; ok && i < nodeCount; ++i) {
        GraphLayoutNode n;
        n.index = next();
        n.flags = next();
        n.id = static_cast<KxNodeId>(next());
        if (at >= items.size() || items[at].kind != Kind::kHardOwnershipId) {
            return false;
        }
        n.object.setFromOldId(static_cast<Adesk::Int64>(items[at++].bits));
        n.firstIn = next();
        n.lastIn = next();
        n.firstOut = next();
        n.lastOut = next();
        layout.nodes.push_back(n);
    }
    const Adesk::Int32 edgeCount = next();
    for (Adesk::Int32 i = 0; ok && i < edgeCount; ++i) {
        GraphLayoutEdge e;
        for (Adesk::Int32* v : {&e.index, &e.flags, &e.refCount, &e.source, &e.target, &e.prevIn,
                                &e.nextIn, &e.prevOut, &e.nextOut, &e.partner}) {
            *v = next();
        }
        layout.edges.push_back(e);
    }
    return ok && at == items.size();
}

void copyDwgItems(const kxhost::DwgMemoryFiler& from, kxhost::DwgMemoryFiler& to, int count,
                  int replaceAt, Adesk::Int64 value) {
    using Kind = kxhost::DwgMemoryFiler::ItemKind;
    const auto& items = from.items();
    for (int i = 0; i < count && i < static_cast<int>(items.size()); ++i) {
        const auto& item = items[i];
        const bool replace = i == replaceAt;
        AcDbObjectId id;
        id.setFromOldId(replace ? value : static_cast<Adesk::Int64>(item.bits));
        switch (item.kind) {
            case Kind::kInt32:
                to.writeInt32(replace ? static_cast<Adesk::Int32>(value)
                                      : static_cast<Adesk::Int32>(item.bits));
                break;
            case Kind::kHardOwnershipId:
                to.writeHardOwnershipId(id);
                break;
            case Kind::kSoftPointerId:
                to.writeSoftPointerId(id);
                break;
            case Kind::kHardPointerId:
                to.writeHardPointerId(id);
                break;
            case Kind::kSoftOwnershipId:
                to.writeSoftOwnershipId(id);
                break;
            case Kind::kString:
                to.writeString(item.text.c_str());
                break;
            case Kind::kInt16:
                to.writeInt16(static_cast<Adesk::Int16>(item.bits));
                break;
            default:
                ADD_FAILURE() << "item kind not copied: " << AcString(item.description()).utf8();
                break;
        }
    }
}

void registerGraphTestNodes() {
    if (acrxFindAcRxClass(L"KxGraphTestNode") == nullptr) {
        KxGraphTestNode::descCache() = newAcRxClass(
            L"KxGraphTestNode", L"KxDbTagEvalExpr", 33, 55, 1153,
            []() -> AcRxObject* { return new KxGraphTestNode(); }, L"KXGRAPHTESTNODE", L"KXTEST");
    }
    if (acrxFindAcRxClass(L"KxGraphOtherTestNode") == nullptr) {
        KxGraphOtherTestNode::descCache() = newAcRxClass(
            L"KxGraphOtherTestNode", L"KxGraphTestNode", 33, 55, 1153,
            []() -> AcRxObject* { return new KxGraphOtherTestNode(); }, L"KXGRAPHOTHERTESTNODE",
            L"KXTEST");
    }
    acrxBuildClassHierarchy();
}

void unregisterGraphTestNodes() {
    if (AcRxClass* cls = acrxFindAcRxClass(L"KxGraphOtherTestNode")) {
        deleteAcRxClass(cls);
    }
    if (AcRxClass* cls = acrxFindAcRxClass(L"KxGraphTestNode")) {
        deleteAcRxClass(cls);
    }
    KxGraphOtherTestNode::descCache() = nullptr;
    KxGraphTestNode::descCache() = nullptr;
}

void GraphTest::SetUp() {
    ModuleTest::SetUp();
    registerGraphTestNodes();
    g_log.clear();
    kxhost::resetAssertionViolations();
    kxhost::resetUnmatchedCloses();
    kxhost::setStrictOpens(false);
}

void GraphTest::TearDown() {
    kxhost::setStrictOpens(false);
    unregisterGraphTestNodes();
    g_log.clear();
    ModuleTest::TearDown();
}

}  // namespace kxtest
