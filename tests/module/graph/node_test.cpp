// Graph nodes: the node id and owner graph, the hooks' defaults, the connectable defaults, the
// block proxy node, and the node's DWG and DXF records with their older layouts.
#include <gtest/gtest.h>

#include <algorithm>

#include "host/db/database.h"
#include "host/db/dwgfiler.h"
#include "host/db/dxffiler.h"
#include "module/graph/block_proxy_node.h"
#include "module/graph/eval_connectable.h"
#include "module/graph/eval_expr.h"
#include "module/graph/eval_graph.h"
#include "support/test_elements.h"

namespace {

using Filer = kxhost::DwgMemoryFiler;
using Kind = kxhost::DwgMemoryFiler::ItemKind;

AcDb::AcDbDwgVersion ver(int v) {
    return static_cast<AcDb::AcDbDwgVersion>(v);
}
AcDb::MaintenanceReleaseVersion maint(int m) {
    return static_cast<AcDb::MaintenanceReleaseVersion>(m);
}

// Number of items the host's own part of an object writes to a filer like `like`.
int hostItemCount(const AcDbObject& obj, const Filer& like) {
    Filer f(like.filerType());
    obj.AcDbObject::dwgOutFields(&f);
    return f.itemCount();
}

// A stream with the host's part of a fresh object, in the given drawing version, ready for the
// test to append a node's fields.
Filer hostPart(int v, int m) {
    Filer f(AcDb::kFileFiler, ver(v), maint(m));
    KxDbTagEvalExpr fresh;
    fresh.AcDbObject::dwgOutFields(&f);
    return f;
}

class NodeTest : public kxtest::TestElementsTest {};

// --- Node id, owner graph and hooks -----------------------------------------------------------

TEST_F(NodeTest, OwnerGraphNeedsANodeIdAndAGraph) {
    KxDbTagEvalExpr node;
    KxDbTagEvalGraph* graph = nullptr;
    EXPECT_EQ(node.getNodeId(), 0u);
    EXPECT_EQ(node.openOwnerGraph(graph, AcDb::kForRead), KxStatus::kNotInGraph);
    ASSERT_EQ(node.setNodeId(4), Acad::eOk);
    EXPECT_EQ(node.openOwnerGraph(graph, AcDb::kForRead), Acad::eNullObjectPointer);
    EXPECT_EQ(graph, nullptr);

    // Every hook that tells a node about its graph makes an in-memory graph its owner.
    KxDbTagEvalGraph memoryGraph;
    for (int hook = 0; hook < 3; ++hook) {
        KxDbTagEvalExpr other;
        other.setNodeId(9);
        if (hook == 0) {
            other.addedToGraph(&memoryGraph);
        } else if (hook == 1) {
            other.setOwnerGraph(&memoryGraph);
        } else {
            other.attachToGraph(&memoryGraph);
        }
        ASSERT_EQ(other.openOwnerGraph(graph, AcDb::kForWrite), Acad::eOk) << hook;
        EXPECT_EQ(graph, &memoryGraph);
        graph->close();
        other.removedFromGraph(&memoryGraph);
        EXPECT_EQ(other.openOwnerGraph(graph, AcDb::kForRead), Acad::eNullObjectPointer);
    }
}

TEST_F(NodeTest, ADatabaseResidentGraphIsNeverRememberedButReachedThroughTheOwnerId) {
    AcDbDatabase db;
    auto* graph = new KxDbTagEvalGraph();
    AcDbObjectId graphId;
    ASSERT_EQ(db.addAcDbObject(graphId, graph), Acad::eOk);
    graph->close();

    // An in-memory node told about a resident graph has no way to reach it.
    KxDbTagEvalExpr loose;
    loose.setNodeId(2);
    loose.addedToGraph(graph);
    KxDbTagEvalGraph* opened = nullptr;
    EXPECT_EQ(loose.openOwnerGraph(opened, AcDb::kForRead), Acad::eNullObjectPointer);

    auto* node = new KxDbTagEvalExpr();
    AcDbObjectId nodeId;
    ASSERT_EQ(node->addToDatabase(nodeId, &db), Acad::eOk);
    EXPECT_EQ(node->objectId(), nodeId);
    node->setOwnerId(graphId);
    node->setNodeId(3);
    ASSERT_EQ(node->openOwnerGraph(opened, AcDb::kForWrite), Acad::eOk);
    EXPECT_EQ(opened, graph);
    EXPECT_TRUE(opened->isWriteEnabled());
    opened->close();

    // An owner that is not a graph is refused.
    node->setOwnerId(db.namedObjectsDictionaryId());
    EXPECT_NE(node->openOwnerGraph(opened, AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(opened, nullptr);
    node->close();
    EXPECT_EQ(kxhost::unmatchedCloses(), 0);
}

TEST_F(NodeTest, DefaultsOfTheHooks) {
    KxDbTagEvalExpr node;
    EXPECT_TRUE(node.evaluatesOnLoad());
    EXPECT_EQ(node.evaluate(nullptr), Acad::eOk);
    KxNodeIdArray extra;
    node.getExtraActivation(extra);
    EXPECT_TRUE(extra.isEmpty());
    EXPECT_TRUE(node.getValue().isNull());
    EXPECT_EQ(node.nodeRemoved(3), Acad::eOk);
    EXPECT_EQ(node.edgeAdded(1, 2, true), Acad::eOk);
    EXPECT_EQ(node.edgeRemoved(1), Acad::eOk);

    KxDbTagEvalExpr same;
    KxDbTagBlockProxyNode proxy;
    EXPECT_TRUE(node.isSameClass(&same));
    EXPECT_FALSE(node.isSameClass(&proxy));
    EXPECT_FALSE(proxy.isSameClass(&node));
    EXPECT_FALSE(node.isSameClass(nullptr));

    AcDbObjectId id;
    EXPECT_EQ(node.addToDatabase(id, nullptr), Acad::eNoDatabase);
    EXPECT_TRUE(id.isNull());
}

TEST_F(NodeTest, ABareConnectableHasNoConnections) {
    KxDbTagEvalConnectable c;
    AcStringArray names;
    EXPECT_EQ(c.getConnectionNames(names), Acad::eOk);
    EXPECT_TRUE(names.isEmpty());
    EXPECT_FALSE(c.hasConnection(L"X"));
    AcDb::DwgDataType kind = AcDb::kDwgNull;
    EXPECT_EQ(c.getConnectionType(L"X", kind), Acad::eKeyNotFound);
    KxDbTagEvalVariant v;
    EXPECT_EQ(c.getConnectionValue(L"X", v), Acad::eKeyNotFound);
    EXPECT_EQ(c.reservedConnectionOp(), Acad::eKeyNotFound);
    EXPECT_EQ(c.connectTo(L"X", 1, L"Y"), Acad::eKeyNotFound);
    EXPECT_EQ(c.disconnectFrom(L"X", 1, L"Y"), Acad::eKeyNotFound);
    EXPECT_FALSE(c.canConnectTo(L"X", 1, L"Y"));
    KxNodeIdArray ids;
    EXPECT_EQ(c.getConnectedNodes(L"X", ids), Acad::eKeyNotFound);
    EXPECT_EQ(c.getConnectedConnections(L"X", 1, names), Acad::eKeyNotFound);
}

// --- DWG --------------------------------------------------------------------------------------

TEST_F(NodeTest, DwgRecordAndRoundTrip) {
    KxDbTagEvalExpr node;
    node.setNodeId(7);
    node.value() = KxDbTagEvalVariant(2.5);
    Filer f;
    ASSERT_EQ(node.dwgOut(&f), Acad::eOk);

    const auto& items = f.items();
    const int start = hostItemCount(node, f);
    ASSERT_EQ(f.itemCount(), start + 6) << f.describe().utf8();
    EXPECT_EQ(static_cast<Adesk::Int32>(items[start].bits), -1);
    EXPECT_EQ(items[start + 1].bits, 33u);
    EXPECT_EQ(items[start + 2].bits, 228u);
    EXPECT_EQ(items[start + 3].kind, Kind::kInt16);  // the value's type
    EXPECT_EQ(items[start + 4].v[0], 2.5);
    EXPECT_EQ(items[start + 5].kind, Kind::kInt32);
    EXPECT_EQ(items[start + 5].bits, 7u);

    KxDbTagEvalExpr back;
    f.rewind();
    ASSERT_EQ(back.dwgIn(&f), Acad::eOk);
    EXPECT_EQ(back.getNodeId(), 7u);
    ASSERT_EQ(back.getValue().type(), 40);
    EXPECT_EQ(back.getValue().resval.rreal, 2.5);
    EXPECT_EQ(f.tell(), f.itemCount());
}

TEST_F(NodeTest, DwgReadForgetsTheInMemoryGraph) {
    KxDbTagEvalGraph memoryGraph;
    KxDbTagEvalExpr node;
    node.setNodeId(3);
    node.addedToGraph(&memoryGraph);
    Filer f;
    node.dwgOut(&f);
    f.rewind();
    ASSERT_EQ(node.dwgIn(&f), Acad::eOk);
    EXPECT_EQ(node.getNodeId(), 3u);
    KxDbTagEvalGraph* graph = nullptr;
    EXPECT_EQ(node.openOwnerGraph(graph, AcDb::kForRead), Acad::eNullObjectPointer);
}

TEST_F(NodeTest, OldDwgLayoutsCarryNoNodeId) {
    // Without the -1 tag only that first integer belongs to the node.
    {
        Filer f = hostPart(33, 228);
        f.writeInt32(12);
        f.writeInt32(99);  // the next class's data
        KxDbTagEvalExpr node;
        node.setNodeId(5);
        node.value() = KxDbTagEvalVariant(1.0);
        f.rewind();
        ASSERT_EQ(node.dwgIn(&f), Acad::eOk);
        EXPECT_EQ(node.getNodeId(), 0u);
        EXPECT_TRUE(node.getValue().isNull());
        EXPECT_EQ(f.tell(), f.itemCount() - 1);
    }
    // Drawings of version 25 maintenance 69 add the file version and the value.
    {
        Filer f = hostPart(25, 69);
        f.writeInt32(12);
        f.writeInt32(25);
        f.writeInt32(69);
        KxDbTagEvalVariant(Adesk::Int32(-42)).dwgOutFields(&f);
        KxDbTagEvalExpr node;
        f.rewind();
        ASSERT_EQ(node.dwgIn(&f), Acad::eOk);
        EXPECT_EQ(node.getNodeId(), 0u);
        ASSERT_EQ(node.getValue().type(), 90);
        EXPECT_EQ(node.getValue().resval.rlong, -42);
        EXPECT_EQ(f.tell(), f.itemCount());
    }
    // The same bytes in a 25.68 drawing: the value is not part of the node.
    {
        Filer f = hostPart(25, 68);
        f.writeInt32(12);
        f.writeInt32(25);
        KxDbTagEvalExpr node;
        f.rewind();
        ASSERT_EQ(node.dwgIn(&f), Acad::eOk);
        EXPECT_TRUE(node.getValue().isNull());
        EXPECT_EQ(f.tell(), f.itemCount() - 1);
    }
}

TEST_F(NodeTest, TruncatedDwgRecordsFail) {
    KxDbTagEvalExpr node;
    node.setNodeId(7);
    node.value() = KxDbTagEvalVariant(L"text");
    Filer full;
    node.dwgOut(&full);
    const int start = hostItemCount(node, full);
    for (int keep = start; keep < full.itemCount(); ++keep) {
        Filer cut;
        for (int i = 0; i < keep; ++i) {
            // Copy item by item through a filer of the same kinds.
            const auto& it = full.items()[i];
            switch (it.kind) {
                case Kind::kInt16:
                    cut.writeInt16(static_cast<Adesk::Int16>(it.bits));
                    break;
                case Kind::kInt32:
                    cut.writeInt32(static_cast<Adesk::Int32>(it.bits));
                    break;
                case Kind::kString:
                    cut.writeString(it.text.c_str());
                    break;
                case Kind::kSoftPointerId:
                    cut.writeSoftPointerId(AcDbSoftPointerId());
                    break;
                case Kind::kHardOwnershipId:
                    cut.writeHardOwnershipId(AcDbHardOwnershipId());
                    break;
                default:
                    FAIL() << "unexpected item kind in " << full.describe().utf8();
            }
        }
        ASSERT_TRUE(std::equal(cut.items().begin(), cut.items().end(), full.items().begin()));
        KxDbTagEvalExpr back;
        cut.rewind();
        EXPECT_NE(back.dwgIn(&cut), Acad::eOk) << "kept " << keep;
    }
}

// --- DXF --------------------------------------------------------------------------------------

TEST_F(NodeTest, DxfRecordAndRoundTrip) {
    KxDbTagEvalExpr node;
    node.setNodeId(11);
    node.value() = KxDbTagEvalVariant(Adesk::Int16(3));
    kxhost::DxfMemoryFiler f;
    ASSERT_EQ(node.dxfOut(&f), Acad::eOk);
    const auto& items = f.items();
    ASSERT_GE(f.itemCount(), 6) << f.describe().utf8();
    EXPECT_EQ(items[0].code, 100);
    EXPECT_EQ(items[0].text, L"AcDbEvalExpr");
    EXPECT_EQ(items[1].code, 90);
    EXPECT_EQ(items[1].integer, 11);
    EXPECT_EQ(items[2].code, 98);
    EXPECT_EQ(items[2].integer, 33);
    EXPECT_EQ(items[3].code, 99);
    EXPECT_EQ(items[3].integer, 228);
    EXPECT_EQ(items[4].code, 1);

    KxDbTagEvalExpr back;
    f.rewind();
    ASSERT_EQ(back.dxfIn(&f), Acad::eOk);
    EXPECT_EQ(back.getNodeId(), 11u);
    ASSERT_EQ(back.getValue().type(), 70);
    EXPECT_EQ(back.getValue().resval.rint, 3);

    // A null value is left out.
    KxDbTagEvalExpr empty;
    kxhost::DxfMemoryFiler g;
    empty.dxfOut(&g);
    EXPECT_EQ(g.itemCount(), 4);
}

TEST_F(NodeTest, DxfGroupsInAnyOrderAndTheNextSubclassIsLeftForItsReader) {
    kxhost::DxfMemoryFiler f;
    f.writeString(100, L"AcDbEvalExpr");
    f.writeInt32(99, 104);
    KxDbTagEvalVariant(1.5).dxfOutFields(&f);
    f.writeInt32(98, 25);
    f.writeInt32(90, 6);
    f.writeString(100, L"AcDbBlockElement");
    f.writeString(300, L"after");
    f.rewind();
    KxDbTagEvalExpr node;
    ASSERT_EQ(node.dxfIn(&f), Acad::eOk);
    EXPECT_EQ(f.filerStatus(), Acad::eOk);
    EXPECT_EQ(node.getNodeId(), 6u);
    EXPECT_EQ(node.getValue().resval.rreal, 1.5);
    EXPECT_TRUE(f.atSubclassData(L"AcDbBlockElement"));
}

TEST_F(NodeTest, DxfRequiresTheMarkerAndTheIdAndVersionGroups) {
    const int codes[] = {90, 98, 99};
    for (int missing : codes) {
        kxhost::DxfMemoryFiler f;
        f.writeString(100, L"AcDbEvalExpr");
        for (int code : codes) {
            if (code != missing) {
                f.writeInt32(code, 1);
            }
        }
        f.rewind();
        KxDbTagEvalExpr node;
        node.setNodeId(8);
        EXPECT_EQ(node.dxfIn(&f), Acad::eMissingDxfField) << missing;
        EXPECT_EQ(f.filerStatus(), Acad::eMissingDxfField);
        EXPECT_EQ(node.getNodeId(), 8u) << "the id is stored only from a complete record";
    }
    kxhost::DxfMemoryFiler noMarker;
    noMarker.writeInt32(90, 1);
    noMarker.writeInt32(98, 33);
    noMarker.writeInt32(99, 228);
    noMarker.rewind();
    KxDbTagEvalExpr node;
    EXPECT_NE(node.dxfIn(&noMarker), Acad::eOk);
    EXPECT_EQ(node.getNodeId(), 0u);
}

TEST_F(NodeTest, DxfValueOfTheWrongKindIsRefused) {
    kxhost::DxfMemoryFiler f;
    f.writeString(100, L"AcDbEvalExpr");
    f.writeInt32(90, 1);
    f.writeInt32(98, 33);
    f.writeInt32(99, 228);
    f.writeString(1, L"");
    f.writeInt16(70, 1);      // a text value announced...
    f.writeDouble(140, 2.0);  // ...carried as a real
    f.rewind();
    KxDbTagEvalExpr node;
    EXPECT_NE(node.dxfIn(&f), Acad::eOk);
}

// --- Block proxy node -------------------------------------------------------------------------

TEST_F(NodeTest, BlockProxyNodeFilesExactlyAsANode) {
    KxDbTagEvalExpr node;
    KxDbTagBlockProxyNode proxy;
    for (KxDbTagEvalExpr* n :
         {static_cast<KxDbTagEvalExpr*>(&node), static_cast<KxDbTagEvalExpr*>(&proxy)}) {
        n->setNodeId(21);
        n->value() = KxDbTagEvalVariant(AcGePoint3d(1, 2, 3));
    }
    Filer a;
    Filer b;
    node.dwgOut(&a);
    proxy.dwgOut(&b);
    EXPECT_TRUE(a.sameItems(b)) << a.describe().utf8() << "\n" << b.describe().utf8();
    kxhost::DxfMemoryFiler c;
    kxhost::DxfMemoryFiler d;
    node.dxfOut(&c);
    proxy.dxfOut(&d);
    EXPECT_TRUE(c.sameItems(d));

    // It is made by its class's pseudo-constructor when read from a drawing.
    AcRxClass* cls = KxDbTagBlockProxyNode::desc();
    ASSERT_NE(cls, nullptr);
    EXPECT_STREQ(cls->dxfName(), L"KXDB_TAGBLOCKPROXYNODE");
    AcRxObject* made = cls->create();
    auto* read = KxDbTagBlockProxyNode::cast(made);
    ASSERT_NE(read, nullptr);
    b.rewind();
    ASSERT_EQ(read->dwgIn(&b), Acad::eOk);
    EXPECT_EQ(read->getNodeId(), 21u);
    EXPECT_EQ(read->evaluate(nullptr), Acad::eOk);
    delete made;
}

}  // namespace
