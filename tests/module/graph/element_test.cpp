// Elements: names and their uniqueness in a graph, the state flag and the hooks that clear it,
// the read version, the instance-data header, the connection protocol, and the element's DWG and
// DXF records with their older layouts.
#include <gtest/gtest.h>

#include "host/core/heap.h"
#include "host/db/database.h"
#include "host/db/dwgfiler.h"
#include "host/db/dxffiler.h"
#include "module/graph/element.h"
#include "module/graph/element_class_names.h"
#include "module/graph/element_imp.h"
#include "module/graph/eval_graph.h"
#include "module/params/linear_tag.h"
#include "support/test_elements.h"

namespace {

using Filer = kxhost::DwgMemoryFiler;
using DxfFiler = kxhost::DxfMemoryFiler;
using kxtest::testImp;

AcDb::AcDbDwgVersion ver(int v) {
    return static_cast<AcDb::AcDbDwgVersion>(v);
}
AcDb::MaintenanceReleaseVersion maint(int m) {
    return static_cast<AcDb::MaintenanceReleaseVersion>(m);
}

KxDbImpTagElement* elementImp(const KxDbTagElement* e) {
    return kxImpOf<KxDbImpTagElement>(e);
}

// Restores the host's open rules and checks the open protocol was kept.
class StrictOpens {
  public:
    StrictOpens() {
        kxhost::setStrictOpens(true);
        kxhost::resetAssertionViolations();
        kxhost::resetUnmatchedCloses();
    }
    ~StrictOpens() { kxhost::setStrictOpens(false); }
};

class ElementTest : public kxtest::TestElementsTest {
  protected:
    void SetUp() override {
        kxtest::TestElementsTest::SetUp();
        kxhost::resetAssertionViolations();
        kxhost::resetUnmatchedCloses();
    }
    void TearDown() override {
        EXPECT_EQ(kxhost::unmatchedCloses(), 0);
        kxtest::TestElementsTest::TearDown();
    }

    // An in-memory graph holding the given elements; ids come back in order.
    static KxDbTagEvalGraph* graphOf(std::initializer_list<KxDbTagEvalExpr*> nodes,
                                     KxNodeIdArray& ids) {
        auto* graph = new KxDbTagEvalGraph();
        for (KxDbTagEvalExpr* node : nodes) {
            KxNodeId id = 0;
            EXPECT_EQ(graph->addNode(node, id), Acad::eOk);
            ids.append(id);
        }
        return graph;
    }
};

// --- Defaults ---------------------------------------------------------------------------------

TEST_F(ElementTest, DefaultsOfABareElement) {
    KxDbTagElement e;
    EXPECT_EQ(e.getName(), AcString());
    EXPECT_EQ(e.elementStateFlag(), 0);
    EXPECT_EQ(e.displayFlag(), 1);
    e.setDisplayFlag(0);
    EXPECT_EQ(e.displayFlag(), 0);
    EXPECT_FALSE(e.hasInstanceData());
    EXPECT_FALSE(e.wantsHistory());
    EXPECT_EQ(e.historyMergeMode(), 2);
    EXPECT_TRUE(e.evaluatesOnLoad());
    EXPECT_EQ(e.evaluate(nullptr), Acad::eOk);
    EXPECT_EQ(e.instanceDataVersionMajor(), 254);
    EXPECT_EQ(e.instanceDataVersionMinor(), 2147483646);
    EXPECT_FALSE(elementImp(&e)->isReadVersionAfter(0));
    AcGePoint3dArray points;
    EXPECT_EQ(e.getGripPoints(points), Acad::eOk);
    EXPECT_TRUE(points.isEmpty());

    // The base element has no connections of its own.
    AcStringArray names;
    AcDb::DwgDataType kind = AcDb::kDwgNull;
    KxDbTagEvalVariant v;
    KxNodeIdArray ids;
    EXPECT_EQ(e.getConnectionNames(names), Acad::eNotImplementedYet);
    EXPECT_FALSE(e.hasConnection(L"X"));
    EXPECT_EQ(e.getConnectionType(L"X", kind), Acad::eNotImplementedYet);
    EXPECT_EQ(e.getConnectionValue(L"X", v), Acad::eNotImplementedYet);
    EXPECT_EQ(e.connectTo(L"X", 1, L"Y"), Acad::eNotImplementedYet);
    EXPECT_EQ(e.disconnectFrom(L"X", 1, L"Y"), Acad::eNotImplementedYet);
    EXPECT_FALSE(e.canConnectTo(L"X", 1, L"Y"));
    EXPECT_EQ(e.getConnectedNodes(L"X", ids), Acad::eNotImplementedYet);
    EXPECT_EQ(e.getConnectedConnections(L"X", 1, names), Acad::eNotImplementedYet);
    EXPECT_EQ(e.reservedConnectionOp(), Acad::eKeyNotFound);
}

// --- Names ------------------------------------------------------------------------------------

TEST_F(ElementTest, NamesAreUniqueInAGraphWithoutRegardToCase) {
    KxTestParam* a = kxtest::makeTestParam(L"Distance1");
    KxTestParam* b = kxtest::makeTestParam(L"Angle1");
    KxTestAction* c = kxtest::makeTestAction(L"Move1");
    auto* plain = new KxDbTagEvalExpr();
    KxNodeIdArray ids;
    KxDbTagEvalGraph* graph = graphOf({a, b, c, plain}, ids);

    EXPECT_EQ(b->setName(L"distance1"), Acad::eDuplicateKey);
    EXPECT_EQ(b->getName(), AcString(L"Angle1"));
    EXPECT_EQ(c->setName(L"ANGLE1"), Acad::eDuplicateKey);
    // Its own name in another case is no clash.
    EXPECT_EQ(a->setName(L"DISTANCE1"), Acad::eOk);
    EXPECT_EQ(a->getName(), AcString(L"DISTANCE1"));
    EXPECT_EQ(b->setName(L"Angle2"), Acad::eOk);
    // Anyone may be nameless.
    EXPECT_EQ(b->setName(L""), Acad::eOk);
    EXPECT_EQ(c->setName(nullptr), Acad::eOk);
    EXPECT_EQ(a->setName(L""), Acad::eOk);
    delete graph;
}

TEST_F(ElementTest, RenamingToTheSameNameInAnotherCaseSkipsTheGraph) {
    // A resident element whose owner is no graph: any real check fails to open it.
    AcDbDatabase db;
    KxTestParam* p = kxtest::makeTestParam(L"Flip");
    ASSERT_EQ(db.addAcDbObject(p), Acad::eOk);
    p->setOwnerId(db.namedObjectsDictionaryId());
    p->setNodeId(4);
    EXPECT_EQ(p->setName(L"FLIP"), Acad::eOk);
    EXPECT_EQ(p->getName(), AcString(L"FLIP"));
    EXPECT_NE(p->setName(L"Other"), Acad::eOk);
    EXPECT_EQ(p->getName(), AcString(L"FLIP"));
    p->close();

    // An element that left its graph (id kept, graph unknown) has nobody to clash with.
    KxTestParam* lone = kxtest::makeTestParam(L"A");
    lone->setNodeId(9);
    EXPECT_EQ(lone->setName(L"B"), Acad::eOk);
    delete lone;
}

TEST_F(ElementTest, RenameOfADatabaseResidentElementOpenForWrite) {
    AcDbDatabase db;
    auto* graph = new KxDbTagEvalGraph();
    AcDbObjectId graphId;
    ASSERT_EQ(db.addAcDbObject(graphId, graph), Acad::eOk);
    KxTestParam* a = kxtest::makeTestParam(L"Distance1");
    KxTestParam* b = kxtest::makeTestParam(L"Distance2");
    KxNodeId ida = 0;
    KxNodeId idb = 0;
    ASSERT_EQ(graph->addNode(a, ida), Acad::eOk);
    ASSERT_EQ(graph->addNode(b, idb), Acad::eOk);
    const AcDbObjectId aId = a->objectId();
    ASSERT_FALSE(aId.isNull());
    a->close();
    b->close();
    graph->close();

    StrictOpens strict;
    KxTestParam* opened = nullptr;
    ASSERT_EQ(acdbOpenObject(opened, aId, AcDb::kForWrite), Acad::eOk);
    EXPECT_EQ(opened->setName(L"Width"), Acad::eOk);
    EXPECT_EQ(opened->setName(L"distance2"), Acad::eDuplicateKey);
    EXPECT_EQ(opened->getName(), AcString(L"Width"));
    EXPECT_TRUE(opened->isWriteEnabled());
    opened->close();
    EXPECT_EQ(kxhost::assertionViolations(), 0);
}

// --- State flag -------------------------------------------------------------------------------

TEST_F(ElementTest, GraphChangesClearTheStateFlag) {
    KxTestParam* a = kxtest::makeTestParam(L"A");
    KxTestParam* b = kxtest::makeTestParam(L"B");
    elementImp(a)->setElementStateFlag(0x20);
    KxNodeIdArray ids;
    KxDbTagEvalGraph* graph = graphOf({a, b}, ids);
    EXPECT_EQ(a->elementStateFlag(), 0) << "being added clears it";

    elementImp(a)->setElementStateFlag(6);
    elementImp(b)->setElementStateFlag(6);
    ASSERT_EQ(graph->addEdge(ids[0], ids[1]), Acad::eOk);
    EXPECT_EQ(a->elementStateFlag(), 0);
    EXPECT_EQ(b->elementStateFlag(), 0);

    elementImp(a)->setElementStateFlag(10);
    ASSERT_EQ(graph->removeEdge(ids[0], ids[1]), Acad::eOk);
    EXPECT_EQ(a->elementStateFlag(), 10) << "losing an edge leaves it";
    ASSERT_EQ(graph->addEdge(ids[0], ids[1]), Acad::eOk);
    elementImp(a)->setElementStateFlag(10);
    ASSERT_EQ(graph->removeNode(ids[1]), Acad::eOk);
    EXPECT_EQ(a->elementStateFlag(), 0) << "a neighbour went away";
    delete b;
    delete graph;

    // A graph copy hands each cloned element its graph: the flag it was filed with stays.
    KxTestParam c;
    elementImp(&c)->setElementStateFlag(0x20);
    KxDbTagEvalGraph other;
    c.setNodeId(1);
    c.setOwnerGraph(&other);
    c.attachToGraph(&other);
    EXPECT_EQ(c.elementStateFlag(), 0x20);
}

TEST_F(ElementTest, StateFlagIsClearedForTheMomentAndTheOpenGivenBack) {
    AcDbDatabase db;
    KxTestParam* p = kxtest::makeTestParam(L"P");
    AcDbObjectId id;
    ASSERT_EQ(db.addAcDbObject(id, p), Acad::eOk);
    p->close();

    StrictOpens strict;
    for (AcDb::OpenMode mode : {AcDb::kForNotify, AcDb::kForRead, AcDb::kForWrite}) {
        KxTestParam* w = nullptr;
        ASSERT_EQ(acdbOpenObject(w, id, AcDb::kForWrite), Acad::eOk);
        elementImp(w)->setElementStateFlag(0x40);
        w->close();

        KxTestParam* q = nullptr;
        ASSERT_EQ(acdbOpenObject(q, id, mode), Acad::eOk);
        EXPECT_EQ(q->edgeAdded(1, 2, false), Acad::eOk);
        EXPECT_EQ(q->elementStateFlag(), 0) << mode;
        EXPECT_EQ(q->isWriteEnabled(), mode == AcDb::kForWrite) << mode;
        EXPECT_EQ(q->isReadEnabled(), mode != AcDb::kForNotify) << mode;
        q->close();
    }

    KxTestParam* q = nullptr;
    ASSERT_EQ(acdbOpenObject(q, id, AcDb::kForWrite), Acad::eOk);
    elementImp(q)->setElementStateFlag(3);
    q->close();
    ASSERT_EQ(acdbOpenObject(q, id, AcDb::kForNotify), Acad::eOk);
    EXPECT_EQ(q->nodeRemoved(5), Acad::eOk);
    EXPECT_EQ(q->elementStateFlag(), 0);
    EXPECT_FALSE(q->isWriteEnabled());
    q->close();
    EXPECT_EQ(kxhost::assertionViolations(), 0);
}

TEST_F(ElementTest, AGraphCopyKeepsNamesFlagsAndConnections) {
    KxTestParam* src = kxtest::makeTestParam(L"Src", 1.25);
    KxTestParam* dst = kxtest::makeTestParam(L"Dst");
    KxNodeIdArray ids;
    KxDbTagEvalGraph* graph = graphOf({src, dst}, ids);
    ASSERT_EQ(dst->connectTo(L"Input", ids[0], L"Value"), Acad::eOk);
    elementImp(src)->setElementStateFlag(0x20);
    elementImp(dst)->setElementStateFlag(6);

    AcRxObject* made = graph->clone();
    auto* copy = KxDbTagEvalGraph::cast(made);
    ASSERT_NE(copy, nullptr);
    KxDbTagEvalExpr* node = nullptr;
    ASSERT_EQ(copy->getNode(ids[0], AcDb::kForRead, node), Acad::eOk);
    auto* srcCopy = KxTestParam::cast(node);
    ASSERT_NE(srcCopy, nullptr);
    EXPECT_NE(srcCopy, src);
    EXPECT_EQ(srcCopy->getName(), AcString(L"Src"));
    EXPECT_EQ(srcCopy->elementStateFlag(), 0x20);
    ASSERT_EQ(copy->getNode(ids[1], AcDb::kForRead, node), Acad::eOk);
    auto* dstCopy = KxTestParam::cast(node);
    ASSERT_NE(dstCopy, nullptr);
    EXPECT_EQ(dstCopy->elementStateFlag(), 6);

    // The copy's elements reach the copy, and the connection works there.
    KxDbTagEvalGraph* owner = nullptr;
    ASSERT_EQ(dstCopy->openOwnerGraph(owner, AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(owner, copy);
    KxNodeIdArray start;
    start.append(ids[0]);
    ASSERT_EQ(copy->evaluate(nullptr, start), Acad::eOk);
    EXPECT_EQ(testImp(dstCopy)->value, 1.25);
    EXPECT_EQ(testImp(dst)->value, 0.0);
    delete made;
    delete graph;
}

// --- Instance data ----------------------------------------------------------------------------

TEST_F(ElementTest, ClassNameTableAndHashes) {
    EXPECT_STREQ(kxDrawingClassName(L"kxdbblocklineartag"), L"AcDbBlockLinearParameter");
    EXPECT_STREQ(kxDrawingClassName(L"KxDbTagPropertiesTableGrip"),
                 L"AcDbBlockPropertiesTableGrip");
    EXPECT_EQ(kxDrawingClassName(L"KxDbBlockTag"), nullptr);
    EXPECT_EQ(kxDrawingClassName(nullptr), nullptr);

    Adesk::Int32 f = -1;
    Adesk::Int32 b = -1;
    kxClassNameHashes(L"AB", f, b);
    EXPECT_EQ(f, 172);  // 65 m + 66
    EXPECT_EQ(b, 173);  // 66 m + 65
    kxClassNameHashes(L"", f, b);
    EXPECT_EQ(f, 0);
    EXPECT_EQ(b, 0);
    // Long names show that the multiplier is the single-precision 1.643.
    kxClassNameHashes(L"AcDbBlockLinearParameter", f, b);
    EXPECT_EQ(f, 18597260);
    EXPECT_EQ(b, 25303744);
    kxClassNameHashes(L"AcDbBlockPropertiesTableGrip", f, b);
    EXPECT_EQ(f, 135631326);
    EXPECT_EQ(b, 179164513);
}

TEST_F(ElementTest, InstanceDataHeader) {
    KxDbBlockLinearTag linear;
    resbuf* chain = nullptr;
    ASSERT_EQ(linear.getInstanceData(chain), Acad::eOk);
    const resbuf* rb = chain;
    const short codes[] = {1071, 1071, 70, 70};
    for (short code : codes) {
        ASSERT_NE(rb, nullptr);
        EXPECT_EQ(rb->restype, code);
        rb = rb->rbnext;
    }
    EXPECT_EQ(chain->resval.rlong, 18597260);
    EXPECT_EQ(chain->rbnext->resval.rlong, 25303744);
    EXPECT_EQ(chain->rbnext->rbnext->resval.rint, 25);
    EXPECT_EQ(chain->rbnext->rbnext->rbnext->resval.rint, 104);

    // The linear parameter's own header is accepted by it, and refused by another class.
    const resbuf* cursor = chain;
    EXPECT_EQ(linear.setInstanceData(cursor, 0), Acad::eOk);
    // The cursor ends past the header and the parameter's own values.
    EXPECT_NE(cursor, chain);
    EXPECT_NE(cursor, chain->rbnext->rbnext->rbnext);
    EXPECT_EQ(linear.instanceDataVersionMajor(), 25);
    EXPECT_EQ(linear.instanceDataVersionMinor(), 104);
    KxDbTagElement other;
    cursor = chain;
    EXPECT_EQ(other.setInstanceData(cursor, 0), Acad::eInvalidInput);
    EXPECT_EQ(cursor, chain);
    EXPECT_EQ(other.instanceDataVersionMajor(), 254);
    acutRelRb(chain);

    // A class without a drawing-format name hashes to zero.
    KxDbTagElement bare;
    ASSERT_EQ(bare.getInstanceData(chain), Acad::eOk);
    EXPECT_EQ(chain->resval.rlong, 0);
    EXPECT_EQ(chain->rbnext->resval.rlong, 0);
    acutRelRb(chain);
}

TEST_F(ElementTest, InstanceDataWithoutHeaderIsTheOldestLayout) {
    KxTestParam p;
    resbuf* chain = acutBuildList(70, 3, 40, 1.0, 0);
    const resbuf* cursor = chain;
    ASSERT_EQ(p.setInstanceData(cursor, 0), Acad::eInvalidInput) << "70 is not the value item";
    KxDbTagElement bare;
    cursor = chain;
    EXPECT_EQ(bare.setInstanceData(cursor, 0), Acad::eOk);
    EXPECT_EQ(cursor, chain);
    EXPECT_EQ(bare.instanceDataVersionMajor(), 25);
    EXPECT_EQ(bare.instanceDataVersionMinor(), 67);
    acutRelRb(chain);

    // Headerless data of the test parameter: just its value.
    chain = acutBuildList(40, 4.5, 0);
    cursor = chain;
    EXPECT_EQ(p.applyInstanceData(cursor), Acad::eOk);
    EXPECT_EQ(cursor, nullptr);
    EXPECT_EQ(testImp(&p)->value, 4.5);
    EXPECT_EQ(p.instanceDataVersionMinor(), 67);
    acutRelRb(chain);

    cursor = nullptr;
    EXPECT_EQ(bare.setInstanceData(cursor, 0), Acad::eInvalidInput);
}

TEST_F(ElementTest, InstanceDataRoundTripBetweenElements) {
    KxTestParam* a = kxtest::makeTestParam(L"A", 7.25);
    KxTestParam b;
    ASSERT_TRUE(a->hasInstanceData());
    resbuf* chain = nullptr;
    ASSERT_EQ(a->getInstanceData(chain), Acad::eOk);
    const resbuf* cursor = chain;
    ASSERT_EQ(b.applyInstanceData(cursor), Acad::eOk);
    EXPECT_EQ(cursor, nullptr);
    EXPECT_EQ(testImp(&b)->value, 7.25);
    EXPECT_EQ(b.instanceDataVersionMajor(), 25);
    EXPECT_EQ(b.instanceDataVersionMinor(), 104);
    acutRelRb(chain);
    delete a;
}

TEST_F(ElementTest, DamagedInstanceDataIsRefusedWithoutTouchingTheChain) {
    KxTestParam source;
    testImp(&source)->value = 3.0;
    resbuf* full = nullptr;
    ASSERT_EQ(source.getInstanceData(full), Acad::eOk);
    int length = 0;
    for (const resbuf* rb = full; rb != nullptr; rb = rb->rbnext) {
        ++length;
    }
    ASSERT_EQ(length, 5);
    acutRelRb(full);

    // Every proper prefix of header plus value: the reader stops at the missing item.
    for (int keep = 1; keep < length; ++keep) {
        const long before = kxhost::heapLiveBlocks();
        resbuf* chain = nullptr;
        ASSERT_EQ(source.getInstanceData(chain), Acad::eOk);
        resbuf* cut = chain;
        for (int i = 1; i < keep; ++i) {
            cut = cut->rbnext;
        }
        acutRelRb(cut->rbnext);
        cut->rbnext = nullptr;

        KxTestParam target;
        testImp(&target)->value = -1.0;
        const resbuf* cursor = chain;
        EXPECT_EQ(target.setInstanceData(cursor, 0), Acad::eInvalidInput) << keep;
        EXPECT_EQ(cursor, chain) << keep;
        EXPECT_EQ(testImp(&target)->value, -1.0);
        if (keep < 4) {
            EXPECT_EQ(target.instanceDataVersionMajor(), 254) << "a broken header: " << keep;
        }
        // The caller still owns every item and releases the chain once.
        acutRelRb(chain);
        EXPECT_EQ(kxhost::heapLiveBlocks(), before) << keep;
    }

    // Items with the wrong code in each header position.
    for (int bad = 0; bad < 4; ++bad) {
        resbuf* chain = nullptr;
        ASSERT_EQ(source.getInstanceData(chain), Acad::eOk);
        resbuf* rb = chain;
        for (int i = 0; i < bad; ++i) {
            rb = rb->rbnext;
        }
        rb->restype = (bad == 0) ? 1071 : 90;
        if (bad == 0) {
            rb->resval.rlong += 1;  // a hash of another class
        }
        const resbuf* cursor = chain;
        KxTestParam target;
        EXPECT_EQ(target.setInstanceData(cursor, 0), Acad::eInvalidInput) << bad;
        EXPECT_EQ(cursor, chain);
        acutRelRb(chain);
    }
}

TEST_F(ElementTest, ChainReadersCheckEveryItem) {
    resbuf* chain = acutBuildList(70, 5, 1071, 9, 40, 2.5, 1, L"abc", 0);
    const resbuf* cursor = chain;
    Adesk::Int16 i16 = 0;
    Adesk::Int32 i32 = 0;
    double real = 0.0;
    AcString text;
    AcGePoint3d point;
    EXPECT_EQ(kxinst::readInt32(cursor, 1071, i32), Acad::eInvalidInput);
    EXPECT_EQ(cursor, chain);
    EXPECT_EQ(kxinst::readInt16(cursor, 70, i16), Acad::eOk);
    EXPECT_EQ(i16, 5);
    EXPECT_EQ(kxinst::readInt32(cursor, 1071, i32), Acad::eOk);
    EXPECT_EQ(i32, 9);
    EXPECT_EQ(kxinst::readPoint(cursor, 10, point), Acad::eInvalidInput);
    EXPECT_EQ(kxinst::readReal(cursor, 40, real), Acad::eOk);
    EXPECT_EQ(real, 2.5);
    EXPECT_EQ(kxinst::readText(cursor, 1, text), Acad::eOk);
    EXPECT_EQ(text, AcString(L"abc"));
    EXPECT_EQ(cursor, nullptr);
    EXPECT_EQ(kxinst::readReal(cursor, 40, real), Acad::eInvalidInput);
    acutRelRb(chain);
}

TEST_F(ElementTest, ChainBuilderFreesAPartialChainOnAllocationFailure) {
    const long before = kxhost::heapLiveBlocks();
    for (long failAt = 1; failAt <= 4; ++failAt) {
        kxinst::ChainBuilder builder;
        kxhost::heapFailAfter(failAt);
        builder.int16(70, 1).text(1, L"x").real(40, 1.0).point(10, AcGePoint3d(1, 2, 3));
        kxhost::heapFailAfter(0);
        EXPECT_EQ(builder.status(), Acad::eOutOfMemory) << failAt;
        EXPECT_EQ(builder.release(), nullptr);
        EXPECT_EQ(kxhost::heapLiveBlocks(), before) << failAt;
    }
}

// --- Connections ------------------------------------------------------------------------------

TEST_F(ElementTest, ConnectingRecordsTheSourceAndAddsTheEdge) {
    KxTestParam* src = kxtest::makeTestParam(L"Src", 2.0);
    KxTestParam* dst = kxtest::makeTestParam(L"Dst");
    KxTestAction* act = kxtest::makeTestAction(L"Act");
    auto* plain = new KxDbTagEvalExpr();
    KxNodeIdArray ids;
    KxDbTagEvalGraph* graph = graphOf({src, dst, act, plain}, ids);
    const KxNodeId s = ids[0];
    const KxNodeId d = ids[1];

    EXPECT_TRUE(dst->canConnectTo(L"Input", s, L"Value"));
    KxEdgeInfo info;
    EXPECT_NE(graph->getEdgeInfo(s, d, info), Acad::eOk) << "asking changes nothing";

    ASSERT_EQ(dst->connectTo(L"Input", s, L"Value"), Acad::eOk);
    ASSERT_EQ(graph->getEdgeInfo(s, d, info), Acad::eOk);
    EXPECT_EQ(info.refCount, 1);
    KxNodeIdArray connected;
    connected.append(s);
    ASSERT_EQ(dst->getConnectedNodes(L"input", connected), Acad::eOk);
    EXPECT_EQ(connected.length(), 1) << "no duplicates";
    AcStringArray names;
    ASSERT_EQ(dst->getConnectedConnections(L"Input", s, names), Acad::eOk);
    ASSERT_EQ(names.length(), 1);
    EXPECT_EQ(names[0], AcString(L"Value"));

    // The same source twice into one input.
    EXPECT_EQ(dst->connectTo(L"Input", s, L"Value"), Acad::eIllegalReplacement);
    EXPECT_FALSE(dst->canConnectTo(L"Input", s, L"Value"));
    ASSERT_EQ(graph->getEdgeInfo(s, d, info), Acad::eOk);
    EXPECT_EQ(info.refCount, 1);

    // A second input fed by the same node shares the edge.
    ASSERT_EQ(dst->connectTo(L"Count", s, L"Count"), Acad::eOk);
    ASSERT_EQ(graph->getEdgeInfo(s, d, info), Acad::eOk);
    EXPECT_EQ(info.refCount, 2);

    // The value flows along the connection.
    KxNodeIdArray start;
    start.append(s);
    ASSERT_EQ(graph->evaluate(nullptr, start), Acad::eOk);
    EXPECT_EQ(testImp(dst)->value, 2.0);

    ASSERT_EQ(dst->disconnectFrom(L"Input", s, L"value"), Acad::eOk);
    ASSERT_EQ(graph->getEdgeInfo(s, d, info), Acad::eOk);
    EXPECT_EQ(info.refCount, 1);
    EXPECT_EQ(dst->disconnectFrom(L"Input", s, L"Value"), Acad::eInvalidInput);
    EXPECT_EQ(dst->disconnectFrom(L"Count", s, L"Value"), Acad::eInvalidInput)
        << "fed through another of the source's connections";
    ASSERT_EQ(dst->disconnectFrom(L"Count", s, L"Count"), Acad::eOk);
    EXPECT_NE(graph->getEdgeInfo(s, d, info), Acad::eOk);
    connected.setLogicalLength(0);
    dst->getConnectedNodes(L"Input", connected);
    EXPECT_TRUE(connected.isEmpty());
    delete graph;
}

TEST_F(ElementTest, ConnectionChecks) {
    KxTestParam* src = kxtest::makeTestParam(L"Src");
    KxTestParam* dst = kxtest::makeTestParam(L"Dst");
    KxTestAction* act = kxtest::makeTestAction(L"Act");
    auto* plain = new KxDbTagEvalExpr();
    KxNodeIdArray ids;
    KxDbTagEvalGraph* graph = graphOf({src, dst, act, plain}, ids);
    const KxNodeId s = ids[0];

    EXPECT_EQ(dst->connectTo(L"Input", 0, L"Value"), KxStatus::kNotInGraph);
    EXPECT_EQ(dst->connectTo(L"Input", s, L"Count"), Acad::eInvalidInput) << "kind mismatch";
    EXPECT_EQ(dst->connectTo(L"Input", s, L"Nope"), Acad::eInvalidInput);
    EXPECT_EQ(dst->connectTo(L"Input", 99, L"Value"), Acad::eInvalidInput) << "no such node";
    EXPECT_EQ(dst->connectTo(L"Input", ids[3], L"Value"), Acad::eInvalidInput)
        << "source is no element";
    EXPECT_EQ(dst->connectTo(L"Nope", s, L"Value"), Acad::eInvalidInput);
    EXPECT_EQ(dst->connectTo(L"Input", ids[2], L"Distance"), Acad::eOk)
        << "any element with a connection of the same kind";
    EXPECT_EQ(act->connectTo(L"Index", s, L"count"), Acad::eOk);
    EXPECT_EQ(dst->disconnectFrom(L"Input", 0, L"Value"), KxStatus::kNotInGraph);
    KxEdgeInfoArray edges;
    graph->getIncomingEdges(ids[1], edges);
    EXPECT_EQ(edges.length(), 1);

    // An element outside any graph connects to nothing.
    KxTestParam loose;
    EXPECT_EQ(loose.connectTo(L"Input", s, L"Value"), KxStatus::kNotInGraph);
    EXPECT_FALSE(loose.canConnectTo(L"Input", s, L"Value"));
    delete graph;
}

TEST_F(ElementTest, ConnectingADatabaseResidentElementOpenForWrite) {
    AcDbDatabase db;
    auto* graph = new KxDbTagEvalGraph();
    AcDbObjectId graphId;
    ASSERT_EQ(db.addAcDbObject(graphId, graph), Acad::eOk);
    KxTestParam* src = kxtest::makeTestParam(L"Src");
    KxTestParam* dst = kxtest::makeTestParam(L"Dst");
    KxNodeId s = 0;
    KxNodeId d = 0;
    ASSERT_EQ(graph->addNode(src, s), Acad::eOk);
    ASSERT_EQ(graph->addNode(dst, d), Acad::eOk);
    const AcDbObjectId dstId = dst->objectId();
    src->close();
    dst->close();
    graph->close();

    StrictOpens strict;
    KxTestParam* opened = nullptr;
    ASSERT_EQ(acdbOpenObject(opened, dstId, AcDb::kForWrite), Acad::eOk);
    elementImp(opened)->setElementStateFlag(0x20);
    ASSERT_EQ(opened->connectTo(L"Input", s, L"Value"), Acad::eOk);
    EXPECT_TRUE(opened->isWriteEnabled());
    EXPECT_EQ(opened->elementStateFlag(), 0) << "the new edge reached the element";
    ASSERT_EQ(opened->disconnectFrom(L"Input", s, L"Value"), Acad::eOk);
    EXPECT_TRUE(opened->isWriteEnabled());
    opened->close();
    EXPECT_EQ(kxhost::assertionViolations(), 0);

    ASSERT_EQ(acdbOpenObject(graph, graphId, AcDb::kForRead), Acad::eOk);
    KxEdgeInfo info;
    EXPECT_NE(graph->getEdgeInfo(s, d, info), Acad::eOk);
    graph->close();
}

// --- DWG --------------------------------------------------------------------------------------

// A stream holding what a plain node writes (host part and node part), in the given version.
Filer nodePart(int v, int m, KxNodeId id) {
    Filer f(AcDb::kFileFiler, ver(v), maint(m));
    KxDbTagEvalExpr node;
    node.setNodeId(id);
    node.dwgOut(&f);
    return f;
}

TEST_F(ElementTest, DwgRoundTripKeepsNameFlagAndVersion) {
    KxTestParam* p = kxtest::makeTestParam(L"距离1", 1.5);
    p->setNodeId(3);
    elementImp(p)->setElementStateFlag(0x21);
    Filer f;
    ASSERT_EQ(p->dwgOut(&f), Acad::eOk);
    KxTestParam back;
    f.rewind();
    ASSERT_EQ(back.dwgIn(&f), Acad::eOk);
    EXPECT_EQ(back.getName(), AcString(L"距离1"));
    EXPECT_EQ(back.getNodeId(), 3u);
    EXPECT_EQ(back.elementStateFlag(), 0x21);
    EXPECT_EQ(testImp(&back)->value, 1.5);
    EXPECT_EQ(elementImp(&back)->readVersion(), 33);
    EXPECT_EQ(elementImp(&back)->readMaintenanceVersion(), 228);
    EXPECT_TRUE(elementImp(&back)->isReadVersionAfter(70));
    delete p;
}

TEST_F(ElementTest, DwgForOlderDrawingsCarriesTheOlderVersion) {
    KxDbTagElement e;
    e.setName(L"E");
    elementImp(&e)->setElementStateFlag(4);
    for (int v : {25, 26, 33}) {
        Filer f(AcDb::kFileFiler, ver(v), maint(104));
        e.dwgOut(&f);
        const auto& items = f.items();
        const int n = f.itemCount();
        ASSERT_GE(n, 4);
        EXPECT_EQ(items[n - 4].text, L"E");
        EXPECT_EQ(items[n - 3].bits, v < 26 ? 25u : 33u) << v;
        EXPECT_EQ(items[n - 2].bits, v < 26 ? 104u : 228u) << v;
        EXPECT_EQ(items[n - 1].bits, 4u);

        KxDbTagElement back;
        f.rewind();
        ASSERT_EQ(back.dwgIn(&f), Acad::eOk);
        EXPECT_EQ(back.elementStateFlag(), 4);
        // Written for a 25 drawing: later than 25.70, not later than 25.104.
        EXPECT_TRUE(elementImp(&back)->isReadVersionAfter(70));
        EXPECT_EQ(elementImp(&back)->isReadVersionAfter(104), v >= 26) << v;
    }
}

TEST_F(ElementTest, OldDwgElementLayouts) {
    struct Case {
        int v;
        int m;
        int ints;  // integers after the name in that layout
    };
    // 25.55-25.60: none; 25.61-25.62: the flag; older than 25.55 and from 25.63: three.
    const Case cases[] = {{25, 55, 0}, {25, 60, 0}, {25, 61, 1}, {25, 62, 1}, {25, 54, 3},
                          {24, 90, 3}, {25, 63, 3}, {26, 0, 3},  {33, 228, 3}};
    for (const Case& c : cases) {
        Filer f = nodePart(c.v, c.m, 5);
        f.writeString(L"Old");
        if (c.ints == 1) {
            f.writeInt32(0x10);
        } else if (c.ints == 3) {
            f.writeInt32(25);
            f.writeInt32(60);
            f.writeInt32(0x10);
        }
        f.writeInt32(777);  // the next class's data
        KxDbTagElement e;
        elementImp(&e)->setElementStateFlag(9);
        f.rewind();
        ASSERT_EQ(e.dwgIn(&f), Acad::eOk) << c.v << "." << c.m;
        EXPECT_EQ(e.getName(), AcString(L"Old"));
        EXPECT_EQ(e.elementStateFlag(), c.ints == 0 ? 0 : 0x10) << c.v << "." << c.m;
        EXPECT_EQ(f.tell(), f.itemCount() - 1) << c.v << "." << c.m;
        // Only the three-integer layout records a version (here 25.60).
        EXPECT_EQ(elementImp(&e)->isReadVersionAfter(59), c.ints == 3) << c.v << "." << c.m;
        EXPECT_FALSE(elementImp(&e)->isReadVersionAfter(60));
    }
}

TEST_F(ElementTest, ReadingAnOldLayoutForgetsAnEarlierReadVersion) {
    KxDbTagElement e;
    Filer current;
    e.dwgOut(&current);
    current.rewind();
    ASSERT_EQ(e.dwgIn(&current), Acad::eOk);
    ASSERT_TRUE(elementImp(&e)->isReadVersionAfter(63));

    Filer old = nodePart(25, 58, 2);
    old.writeString(L"X");
    old.rewind();
    ASSERT_EQ(e.dwgIn(&old), Acad::eOk);
    EXPECT_FALSE(elementImp(&e)->isReadVersionAfter(0));
}

TEST_F(ElementTest, TruncatedDwgElementFails) {
    Filer f = nodePart(33, 228, 2);
    f.writeString(L"E");
    f.writeInt32(33);
    f.writeInt32(228);  // the flag is missing
    KxDbTagElement e;
    f.rewind();
    EXPECT_NE(e.dwgIn(&f), Acad::eOk);
}

// --- DXF --------------------------------------------------------------------------------------

TEST_F(ElementTest, DxfRecordKeepsEveryBitOfTheStateFlag) {
    for (Adesk::Int32 flag : {0x20, 6, 10, 0x41, -1}) {
        KxTestParam* p = kxtest::makeTestParam(L"Lin", 3.5);
        p->setNodeId(12);
        elementImp(p)->setElementStateFlag(flag);
        DxfFiler f;
        ASSERT_EQ(p->dxfOut(&f), Acad::eOk);

        KxTestParam back;
        f.rewind();
        ASSERT_EQ(back.dxfIn(&f), Acad::eOk) << f.describe().utf8();
        EXPECT_EQ(back.elementStateFlag(), flag);
        EXPECT_EQ(back.getName(), AcString(L"Lin"));
        EXPECT_EQ(back.getNodeId(), 12u);
        // The element's own subclass data follows the node's and the element's groups.
        EXPECT_EQ(testImp(&back)->value, 3.5);
        EXPECT_TRUE(f.atEOF());
        delete p;
    }
}

TEST_F(ElementTest, DxfGroupsOfTheElement) {
    KxDbTagElement e;
    e.setName(L"N");
    elementImp(&e)->setElementStateFlag(2);
    DxfFiler f(AcDb::kFileFiler, ver(25), maint(104));
    ASSERT_EQ(e.dxfOut(&f), Acad::eOk);
    const auto& items = f.items();
    ASSERT_EQ(f.itemCount(), 9) << f.describe().utf8();
    EXPECT_EQ(items[4].text, L"AcDbBlockElement");
    EXPECT_EQ(items[5].code, 300);
    EXPECT_EQ(items[6].code, 98);
    EXPECT_EQ(items[6].integer, 25);
    EXPECT_EQ(items[7].code, 99);
    EXPECT_EQ(items[7].integer, 104);
    EXPECT_EQ(items[8].code, 1071);
    EXPECT_EQ(items[8].integer, 2);
}

// An element record with some of its groups, read from a drawing of the given version.
Acad::ErrorStatus readElementDxf(int v, int m, bool name, bool flag, bool version,
                                 KxDbTagElement& e) {
    DxfFiler f(AcDb::kFileFiler, ver(v), maint(m));
    f.writeString(100, L"AcDbEvalExpr");
    f.writeInt32(90, 1);
    f.writeInt32(98, 33);
    f.writeInt32(99, 228);
    f.writeString(100, L"AcDbBlockElement");
    if (flag) {
        f.writeInt32(1071, 0x20);
    }
    if (version) {
        f.writeInt32(99, 104);
        f.writeInt32(98, 25);
    }
    if (name) {
        f.writeString(300, L"Named");
    }
    f.writeString(100, L"Next");
    f.rewind();
    const Acad::ErrorStatus es = e.dxfIn(&f);
    if (es == Acad::eOk) {
        EXPECT_TRUE(f.atSubclassData(L"Next"));
    }
    return es;
}

TEST_F(ElementTest, DxfRequiredGroupsDependOnTheDrawingVersion) {
    KxDbTagElement e;
    EXPECT_EQ(readElementDxf(33, 228, true, true, true, e), Acad::eOk);
    EXPECT_EQ(e.getName(), AcString(L"Named"));
    EXPECT_EQ(e.elementStateFlag(), 0x20);
    EXPECT_TRUE(elementImp(&e)->isReadVersionAfter(103));
    EXPECT_FALSE(elementImp(&e)->isReadVersionAfter(104));

    EXPECT_EQ(readElementDxf(33, 228, false, true, true, e), Acad::eMissingDxfField);
    EXPECT_EQ(readElementDxf(33, 228, true, false, true, e), Acad::eMissingDxfField);
    EXPECT_EQ(readElementDxf(33, 228, true, true, false, e), Acad::eMissingDxfField);
    EXPECT_EQ(readElementDxf(25, 63, true, true, false, e), Acad::eMissingDxfField);
    EXPECT_EQ(readElementDxf(25, 61, true, false, true, e), Acad::eMissingDxfField);
    EXPECT_EQ(readElementDxf(25, 54, true, true, false, e), Acad::eMissingDxfField);

    // 25.55 to 25.62 wrote no version; before 25.61 no flag either.
    KxDbTagElement old;
    EXPECT_EQ(readElementDxf(25, 62, true, true, false, old), Acad::eOk);
    EXPECT_EQ(old.elementStateFlag(), 0x20);
    EXPECT_FALSE(elementImp(&old)->isReadVersionAfter(0));
    EXPECT_EQ(readElementDxf(25, 60, true, false, false, old), Acad::eOk);
    EXPECT_EQ(old.elementStateFlag(), 0);
    EXPECT_EQ(readElementDxf(25, 54, true, false, true, old), Acad::eOk);
}

TEST_F(ElementTest, DxfElementNeedsItsMarkerAndANodePart) {
    DxfFiler noMarker;
    noMarker.writeString(100, L"AcDbEvalExpr");
    noMarker.writeInt32(90, 1);
    noMarker.writeInt32(98, 33);
    noMarker.writeInt32(99, 228);
    noMarker.writeString(300, L"Named");
    noMarker.rewind();
    KxDbTagElement e;
    EXPECT_NE(e.dxfIn(&noMarker), Acad::eOk);
    EXPECT_EQ(e.getName(), AcString());

    DxfFiler noNode;
    noNode.writeString(100, L"AcDbBlockElement");
    noNode.writeString(300, L"Named");
    noNode.rewind();
    EXPECT_NE(e.dxfIn(&noNode), Acad::eOk);
    EXPECT_EQ(e.getName(), AcString());
}

}  // namespace
