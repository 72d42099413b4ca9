// The parameter base: its two filed flags with their DWG and DXF layouts and version branches,
// grip counting through the graph, the associated-action bit, chain actions reaching the actions
// of the graph, the history rule, values pulled from a lookup action, property connection names
// and property name validation.
#include <gtest/gtest.h>

#include "host/db/database.h"
#include "host/db/dwgfiler.h"
#include "host/db/dxffiler.h"
#include "param_bases_support.h"
#include "support/graph_test_nodes.h"

namespace {

using Filer = kxhost::DwgMemoryFiler;
using DxfFiler = kxhost::DxfMemoryFiler;
using pbtest::actionImp;
using pbtest::makeAction;
using pbtest::paramImp;
using Kind = KxDbParamActionLink;

AcDb::AcDbDwgVersion ver(int v) {
    return static_cast<AcDb::AcDbDwgVersion>(v);
}
AcDb::MaintenanceReleaseVersion maint(int m) {
    return static_cast<AcDb::MaintenanceReleaseVersion>(m);
}

class ParamBaseTest : public pbtest::ParamBasesTest {
  protected:
    // An in-memory graph; nodes are added in order and their ids appended.
    static KxNodeId add(KxDbTagEvalGraph* graph, KxDbTagEvalExpr* node) {
        KxNodeId id = 0;
        EXPECT_EQ(graph->addNode(node, id), Acad::eOk);
        return id;
    }
    static void edge(KxDbTagEvalGraph* graph, KxNodeId from, KxNodeId to) {
        const Acad::ErrorStatus es = graph->addEdge(from, to, false);
        EXPECT_TRUE(es == Acad::eOk || es == KxStatus::kEdgeExists) << es;
    }
};

// --- Flags and defaults -----------------------------------------------------------------------

TEST_F(ParamBaseTest, DefaultsAndWhatTheBareBaseDeclines) {
    PbParam p;
    EXPECT_TRUE(p.showProperties());
    EXPECT_FALSE(p.chainActions());
    EXPECT_EQ(p.setShowProperties(false), Acad::eOk);
    EXPECT_FALSE(p.showProperties());

    KxNodeId id = 7;
    EXPECT_EQ(p.addGrip(0, id, nullptr), Acad::eNotApplicable);
    EXPECT_EQ(p.setGripCount(1), Acad::eNotApplicable);
    int index = -1;
    EXPECT_EQ(p.getGripIndex(3, index), Acad::eNotApplicable);
    KxDbTagGripPtrArray grips;
    grips.append(nullptr);
    EXPECT_EQ(p.getGrips(grips, AcDb::kForRead), Acad::eNotApplicable);
    EXPECT_TRUE(grips.isEmpty());
    EXPECT_EQ(p.placeGripsAtDefinition(), Acad::eOk);
    EXPECT_EQ(p.gripDeleted(0), Acad::eOk);
    EXPECT_EQ(p.transformInstanceBy(AcGeMatrix3d()), Acad::eOk);
    // Without a graph there is nothing to count.
    int count = -1;
    EXPECT_EQ(p.getGripCount(count), KxStatus::kNotInGraph);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(p.removeGrip(0), KxStatus::kNotInGraph);

    KxDbTagEvalVariant value;
    EXPECT_EQ(p.getPropertyValue(L"X", value), Acad::eKeyNotFound);
    KxDbBlockPropertyDescArray descs;
    EXPECT_EQ(p.getPropertyDescriptions(descs), Acad::eOk);
    EXPECT_TRUE(descs.isEmpty());

    // A plain parameter with no graph and no actions does not need history.
    EXPECT_FALSE(p.wantsHistory());
}

TEST_F(ParamBaseTest, PropertyDescriptionsAreValues) {
    KxDbBlockPropertyDesc a(L"Distance", L"UpdatedDistance", 40);
    EXPECT_EQ(a.readOnly, 0);
    EXPECT_EQ(a.visible, 1);
    EXPECT_EQ(a.listFlag, 0);
    a.allowedValues.append(KxDbTagEvalVariant(2.5));
    a.allowedValues.append(KxDbTagEvalVariant(L"text"));
    KxDbBlockPropertyDescArray descs;
    descs.append(a);
    a.allowedValues[1].setText(L"changed");
    a.name = L"Other";
    EXPECT_EQ(descs[0].name, AcString(L"Distance"));
    EXPECT_EQ(AcString(descs[0].allowedValues[1].text()), AcString(L"text"));
    KxDbBlockPropertyDesc b = descs[0];
    EXPECT_TRUE(b == descs[0]);
    b.allowedValues[0].setReal(2.75);
    EXPECT_FALSE(b == descs[0]);
    EXPECT_FALSE(a == descs[0]);
    KxDbBlockPropertyDesc none;
    EXPECT_EQ(none.valueType, KxDbTagEvalVariant::kNullType);
}

// --- DWG --------------------------------------------------------------------------------------

TEST_F(ParamBaseTest, DwgRoundTripOfTheFlags) {
    for (bool show : {true, false}) {
        for (bool chain : {true, false}) {
            PbParam p;
            p.setName(L"P");
            p.setShowProperties(show);
            p.setChainActions(chain);
            Filer f;
            ASSERT_EQ(p.dwgOut(&f), Acad::eOk);
            ASSERT_GE(f.itemCount(), 2);
            EXPECT_EQ(f.items()[f.itemCount() - 2].bits, show ? 1u : 0u);
            EXPECT_EQ(f.items()[f.itemCount() - 1].bits, chain ? 1u : 0u);
            PbParam back;
            back.setShowProperties(!show);
            back.setChainActions(!chain);
            f.rewind();
            ASSERT_EQ(back.dwgIn(&f), Acad::eOk);
            EXPECT_EQ(back.showProperties(), show);
            EXPECT_EQ(back.chainActions(), chain);
            EXPECT_EQ(back.getName(), AcString(L"P"));
        }
    }
}

TEST_F(ParamBaseTest, DwgFilersThatCarryNoFlags) {
    PbParam p;
    KxDbTagElement plain;
    for (AcDb::FilerType type : {AcDb::kIdXlateFiler, AcDb::kIdFiler, AcDb::kPurgeFiler}) {
        Filer f(type);
        ASSERT_EQ(p.dwgOut(&f), Acad::eOk);
        Filer element(type);
        plain.dwgOut(&element);
        EXPECT_EQ(f.itemCount(), element.itemCount()) << type;
    }
    // An id-translation pass reads back what it wrote, and leaves the flags alone.
    Filer x(AcDb::kIdXlateFiler);
    p.dwgOut(&x);
    PbParam back;
    back.setShowProperties(false);
    x.rewind();
    ASSERT_EQ(back.dwgIn(&x), Acad::eOk);
    EXPECT_FALSE(back.showProperties());
}

// A parameter record written by an older drawing: the element part carries the given read
// version, then the show flag and (when `withChain`) the chain flag, then a foreign integer.
Filer olderRecord(int readMaint, bool withChain) {
    Filer f(AcDb::kFileFiler, ver(25), maint(104));
    KxDbTagEvalExpr node;
    node.dwgOut(&f);
    f.writeString(L"Old");
    f.writeInt32(25);
    f.writeInt32(readMaint);
    f.writeInt32(0);
    f.writeBool(false);
    if (withChain) {
        f.writeBool(true);
    }
    f.writeInt32(4711);
    f.rewind();
    return f;
}

TEST_F(ParamBaseTest, DwgChainFlagOnlyInRecordsAfter25Point63) {
    {
        Filer f = olderRecord(63, false);
        PbParam p;
        p.setChainActions(true);
        ASSERT_EQ(p.dwgIn(&f), Acad::eOk);
        EXPECT_FALSE(p.showProperties());
        EXPECT_FALSE(p.chainActions()) << "the old layout keeps the default";
        Adesk::Int32 next = 0;
        ASSERT_EQ(f.readInt32(&next), Acad::eOk);
        EXPECT_EQ(next, 4711) << "nothing more was read";
    }
    {
        Filer f = olderRecord(64, true);
        PbParam p;
        ASSERT_EQ(p.dwgIn(&f), Acad::eOk);
        EXPECT_TRUE(p.chainActions());
        Adesk::Int32 next = 0;
        ASSERT_EQ(f.readInt32(&next), Acad::eOk);
        EXPECT_EQ(next, 4711);
    }
}

TEST_F(ParamBaseTest, TruncatedDwgRecordFails) {
    PbParam p;
    Filer full;
    p.dwgOut(&full);
    for (int keep = full.itemCount() - 1; keep >= full.itemCount() - 2; --keep) {
        Filer f;
        pbtest::copyItems(full, f, keep);
        f.rewind();
        PbParam back;
        EXPECT_NE(back.dwgIn(&f), Acad::eOk) << keep;
    }
}

// --- DXF --------------------------------------------------------------------------------------

// The items of a DXF stream after the element's part: a copy of `source` in which the items
// after the parameter marker are replaced by `tail`.
DxfFiler withParameterGroups(const DxfFiler& source, const std::vector<resbuf>& tail,
                             int maintenance = 228) {
    DxfFiler out(AcDb::kFileFiler, ver(33), maint(228));
    resbuf* chain = source.toChain();
    for (resbuf* rb = chain; rb != nullptr; rb = rb->rbnext) {
        if (rb->restype == 99) {
            rb->resval.rlong = maintenance;
        }
        out.appendItem(*rb);
        if (rb->restype == 100 && AcString(rb->resval.rstring) == L"AcDbBlockParameter") {
            break;
        }
    }
    acutRelRb(chain);
    for (const resbuf& rb : tail) {
        out.appendItem(rb);
    }
    out.rewind();
    return out;
}

resbuf item16(int code, short value) {
    resbuf rb{};
    rb.restype = static_cast<short>(code);
    rb.resval.rint = value;
    return rb;
}

resbuf item32(int code, Adesk::Int32 value) {
    resbuf rb{};
    rb.restype = static_cast<short>(code);
    rb.resval.rlong = value;
    return rb;
}

TEST_F(ParamBaseTest, DxfGroupsAndRoundTrip) {
    PbParam p;
    p.setName(L"P");
    p.setShowProperties(false);
    p.setChainActions(true);
    DxfFiler f;
    ASSERT_EQ(p.dxfOut(&f), Acad::eOk);
    const auto& items = f.items();
    const int n = f.itemCount();
    ASSERT_GE(n, 3);
    EXPECT_EQ(items[n - 3].code, 100);
    EXPECT_EQ(items[n - 3].text, L"AcDbBlockParameter");
    EXPECT_EQ(items[n - 2].code, 280);
    EXPECT_EQ(items[n - 2].integer, 0);
    EXPECT_EQ(items[n - 1].code, 281);
    EXPECT_EQ(items[n - 1].integer, 1);

    PbParam back;
    f.rewind();
    ASSERT_EQ(back.dxfIn(&f), Acad::eOk) << f.describe().utf8();
    EXPECT_FALSE(back.showProperties());
    EXPECT_TRUE(back.chainActions());
}

TEST_F(ParamBaseTest, DxfAcceptsBooleanGroupsAndStopsAtAForeignGroup) {
    PbParam p;
    DxfFiler written;
    p.dxfOut(&written);
    DxfFiler f = withParameterGroups(written, {item16(291, 1), item16(290, 0), item32(90, 5)});
    PbParam back;
    ASSERT_EQ(back.dxfIn(&f), Acad::eOk);
    EXPECT_FALSE(back.showProperties());
    EXPECT_TRUE(back.chainActions());
    resbuf rb{};
    ASSERT_EQ(f.readItem(&rb), Acad::eOk);
    EXPECT_EQ(rb.restype, 90) << "the foreign group was pushed back";
}

TEST_F(ParamBaseTest, DxfRequiredGroupsFollowTheRecordedVersion) {
    PbParam p;
    DxfFiler written;
    p.dxfOut(&written);
    {
        // Without 281: fine for a record of 25.63, missing for a newer one.
        DxfFiler old = withParameterGroups(written, {item16(280, 1)}, 63);
        PbParam back;
        back.setChainActions(true);
        // The element's version groups (98/99) say 33: rewrite 98 as well.
        resbuf* chain = old.toChain();
        for (resbuf* rb = chain; rb != nullptr; rb = rb->rbnext) {
            if (rb->restype == 98) {
                rb->resval.rlong = 25;
            }
        }
        DxfFiler f = DxfFiler::fromChain(chain);
        acutRelRb(chain);
        ASSERT_EQ(back.dxfIn(&f), Acad::eOk);
        EXPECT_FALSE(back.chainActions());
    }
    {
        DxfFiler f = withParameterGroups(written, {item16(280, 1)});
        PbParam back;
        EXPECT_EQ(back.dxfIn(&f), Acad::eMissingDxfField);
    }
    {
        DxfFiler f = withParameterGroups(written, {item16(281, 1)});
        PbParam back;
        EXPECT_EQ(back.dxfIn(&f), Acad::eMissingDxfField) << "280 is always required";
    }
    {
        // Without the marker the filer's status comes back (nothing read).
        DxfFiler f(AcDb::kFileFiler, ver(33), maint(228));
        resbuf* chain = written.toChain();
        for (resbuf* rb = chain; rb != nullptr; rb = rb->rbnext) {
            if (rb->restype == 100 && AcString(rb->resval.rstring) == L"AcDbBlockParameter") {
                break;
            }
            f.appendItem(*rb);
        }
        acutRelRb(chain);
        f.appendItem(item16(280, 1));
        f.rewind();
        PbParam back;
        EXPECT_NE(back.dxfIn(&f), Acad::eOk);
    }
}

// --- Grips counted through the graph ----------------------------------------------------------

TEST_F(ParamBaseTest, GripCountCountsDistinctGripSources) {
    auto* graph = new KxDbTagEvalGraph();
    auto* p = new PbParam();
    const KxNodeId pid = add(graph, p);
    auto* g1 = new KxDbTagGrip();
    auto* g2 = new KxDbTagGrip();
    const KxNodeId id1 = add(graph, g1);
    const KxNodeId id2 = add(graph, g2);
    const KxNodeId other = add(graph, kxtest::makeTestParam(L"Other"));
    edge(graph, id1, pid);
    edge(graph, id1, pid);
    edge(graph, id2, pid);
    edge(graph, other, pid);
    // An edge out of the parameter is no grip of its own.
    auto* g3 = new KxDbTagGrip();
    edge(graph, pid, add(graph, g3));
    int count = 0;
    EXPECT_EQ(p->getGripCount(count), Acad::eOk);
    EXPECT_EQ(count, 2);
    delete graph;
}

// --- The associated-action bit ----------------------------------------------------------------

TEST_F(ParamBaseTest, AssociatedActionBitFollowsTheActions) {
    auto* graph = new KxDbTagEvalGraph();
    auto* p = new PbParam();
    const KxNodeId pid = add(graph, p);
    EXPECT_EQ(p->elementStateFlag() & 1, 1) << "nothing hangs on a new parameter";

    auto* q = new PbParam();
    const KxNodeId qid = add(graph, q);
    // An action on an outgoing edge that belongs to another parameter does not count.
    PbAction* foreign = makeAction(L"Foreign", Kind::kMoveLike, qid);
    const KxNodeId fid = add(graph, foreign);
    edge(graph, pid, fid);
    EXPECT_EQ(p->elementStateFlag() & 1, 1);
    // A plain element is no action.
    const KxNodeId tid = add(graph, kxtest::makeTestAction(L"Plain"));
    edge(graph, pid, tid);
    EXPECT_EQ(p->elementStateFlag() & 1, 1);

    PbAction* own = makeAction(L"Own", Kind::kMoveLike, pid);
    const KxNodeId oid = add(graph, own);
    edge(graph, pid, oid);
    EXPECT_EQ(p->elementStateFlag() & 1, 0);

    // Removing the action brings the bit back (the node removal recomputes it).
    ASSERT_EQ(graph->removeNode(own), Acad::eOk);
    delete own;
    EXPECT_EQ(p->elementStateFlag() & 1, 1);

    // A lookup action counts whichever parameter it names.
    PbAction* lookup = makeAction(L"Lookup", Kind::kLookup, 0);
    edge(graph, pid, add(graph, lookup));
    EXPECT_EQ(p->elementStateFlag() & 1, 0);
    delete graph;
}

TEST_F(ParamBaseTest, AssociatedActionBitOfAResidentGraphSkipsErasedActions) {
    AcDbDatabase db;
    auto* graph = new KxDbTagEvalGraph();
    AcDbObjectId graphId;
    ASSERT_EQ(db.addAcDbObject(graphId, graph), Acad::eOk);
    auto* p = new PbParam();
    KxNodeId pid = 0;
    ASSERT_EQ(graph->addNode(p, pid), Acad::eOk);
    PbAction* action = makeAction(L"A", Kind::kScale, pid);
    KxNodeId aid = 0;
    ASSERT_EQ(graph->addNode(action, aid), Acad::eOk);
    const AcDbObjectId pObj = p->objectId();
    const AcDbObjectId aObj = action->objectId();
    p->close();
    action->close();
    ASSERT_EQ(graph->addEdge(pid, aid, false), Acad::eOk);
    graph->close();

    PbParam* opened = nullptr;
    ASSERT_EQ(acdbOpenObject(opened, pObj, AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(opened->elementStateFlag() & 1, 0);
    opened->close();

    PbAction* a = nullptr;
    ASSERT_EQ(acdbOpenObject(a, aObj, AcDb::kForWrite), Acad::eOk);
    ASSERT_EQ(a->erase(), Acad::eOk);
    a->close();
    {
        pbtest::StrictOpens strict;
        ASSERT_EQ(acdbOpenObject(opened, pObj, AcDb::kForWrite), Acad::eOk);
        ASSERT_EQ(opened->clearElementStateFlag(), Acad::eOk);
        EXPECT_EQ(opened->elementStateFlag() & 1, 1);
        opened->close();
        EXPECT_EQ(kxhost::assertionViolations(), 0);
    }
}

// --- Chain actions ----------------------------------------------------------------------------

TEST_F(ParamBaseTest, ChainActionsTellEveryActionOnce) {
    auto* graph = new KxDbTagEvalGraph();
    auto* p = new PbParam();
    const KxNodeId pid = add(graph, p);
    PbAction* a = makeAction(L"A", Kind::kMoveLike, pid);
    PbAction* b = makeAction(L"B", Kind::kRotate, 99);
    add(graph, a);
    add(graph, b);
    add(graph, kxtest::makeTestAction(L"Plain"));

    EXPECT_EQ(p->setChainActions(false), Acad::eOk);
    EXPECT_EQ(a->imp()->reapplies, 0) << "the same value touches no action";

    EXPECT_EQ(p->setChainActions(true), Acad::eOk);
    EXPECT_TRUE(p->chainActions());
    EXPECT_EQ(a->imp()->reapplies, 1);
    EXPECT_EQ(b->imp()->reapplies, 1);
    EXPECT_EQ(p->setChainActions(true), Acad::eOk);
    EXPECT_EQ(a->imp()->reapplies, 1);
    delete graph;
}

TEST_F(ParamBaseTest, RefusedChainActionsRestoreThePreviousValue) {
    for (Acad::ErrorStatus refusal : {KxStatus::kCycleFound, Acad::eInvalidInput}) {
        auto* graph = new KxDbTagEvalGraph();
        auto* p = new PbParam();
        const KxNodeId pid = add(graph, p);
        PbAction* ok = makeAction(L"Ok", Kind::kMoveLike, pid);
        PbAction* refusing = makeAction(L"Refusing", Kind::kMoveLike, pid);
        add(graph, ok);
        add(graph, refusing);
        refusing->imp()->reapplyStatus = refusal;
        EXPECT_EQ(p->setChainActions(true), refusal);
        EXPECT_FALSE(p->chainActions()) << refusal;
        // The actions told before the refusal hear about the restored value too.
        EXPECT_EQ(ok->imp()->reapplies, 2) << refusal;
        delete graph;
    }
}

TEST_F(ParamBaseTest, ChainActionsOfAResidentParameterLetActionsOpenIt) {
    AcDbDatabase db;
    auto* graph = new KxDbTagEvalGraph();
    AcDbObjectId graphId;
    ASSERT_EQ(db.addAcDbObject(graphId, graph), Acad::eOk);
    auto* p = new PbParam();
    KxNodeId pid = 0;
    ASSERT_EQ(graph->addNode(p, pid), Acad::eOk);
    PbAction* action = makeAction(L"A", Kind::kMoveLike, pid);
    KxNodeId aid = 0;
    ASSERT_EQ(graph->addNode(action, aid), Acad::eOk);
    const AcDbObjectId pObj = p->objectId();
    const AcDbObjectId aObj = action->objectId();
    action->imp()->openWhileReapplying = pObj;
    p->close();
    action->close();
    graph->close();

    for (Acad::ErrorStatus answer : {Acad::eOk, KxStatus::kCycleFound}) {
        PbAction* a = nullptr;
        ASSERT_EQ(acdbOpenObject(a, aObj, AcDb::kForWrite), Acad::eOk);
        a->imp()->reapplyStatus = answer;
        a->close();

        pbtest::StrictOpens strict;
        PbParam* opened = nullptr;
        ASSERT_EQ(acdbOpenObject(opened, pObj, AcDb::kForWrite), Acad::eOk);
        const bool before = opened->chainActions();
        EXPECT_EQ(opened->setChainActions(!before), answer);
        EXPECT_EQ(opened->chainActions(), answer == Acad::eOk ? !before : before);
        EXPECT_TRUE(opened->isWriteEnabled()) << "the write comes back on every path";
        opened->close();
        EXPECT_EQ(kxhost::unmatchedCloses(), 0);
        EXPECT_EQ(kxhost::assertionViolations(), 0);

        ASSERT_EQ(acdbOpenObject(a, aObj, AcDb::kForRead), Acad::eOk);
        EXPECT_EQ(a->imp()->openStatus, Acad::eOk) << "the action could open the parameter";
        a->close();
        // The graph is not left open.
        KxDbTagEvalGraph* g = nullptr;
        ASSERT_EQ(acdbOpenObject(g, graphId, AcDb::kForWrite), Acad::eOk);
        g->close();
    }
}

// --- History ----------------------------------------------------------------------------------

TEST_F(ParamBaseTest, HistoryIsWantedWhenActionsOverlap) {
    AcDbDatabase db;
    // Object ids to put in selection sets.
    AcDbObjectId objs[3];
    for (AcDbObjectId& id : objs) {
        auto* x = new KxDbTagEvalExpr();
        ASSERT_EQ(db.addAcDbObject(id, x), Acad::eOk);
        x->close();
    }
    struct ActionSpec {
        Kind::Kind kind;
        std::vector<int> objects;
        bool ownList;
    };
    struct Case {
        const char* what;
        std::vector<ActionSpec> actions;
        bool wanted;
    };
    const std::vector<Case> cases = {
        {"no action", {}, false},
        {"two moves on one object",
         {{Kind::kMoveLike, {0}, false}, {Kind::kMoveLike, {0, 1}, false}},
         false},
        {"a move and a rotate on one object",
         {{Kind::kMoveLike, {0}, false}, {Kind::kRotate, {2, 0}, false}},
         true},
        {"a scale and a flip on one object",
         {{Kind::kScale, {1}, false}, {Kind::kFlip, {1}, false}},
         true},
        {"disjoint sets", {{Kind::kRotate, {0}, false}, {Kind::kArray, {1}, false}}, false},
        {"one action naming an object twice", {{Kind::kRotate, {0, 0}, false}}, false},
        {"an action with a list of its own", {{Kind::kPolarStretch, {}, true}}, true},
        {"a rotate naming an object twice and a move on it",
         {{Kind::kRotate, {0, 0}, false}, {Kind::kMoveLike, {0}, false}},
         true},
        {"three actions, only the last two overlapping",
         {{Kind::kRotate, {0}, false},
          {Kind::kMoveLike, {1}, false},
          {Kind::kScale, {2, 1}, false}},
         true},
        {"three moves over the same objects",
         {{Kind::kMoveLike, {0, 1}, false},
          {Kind::kMoveLike, {1, 0}, false},
          {Kind::kMoveLike, {0}, false}},
         false},
        {"a list of its own after a plain action",
         {{Kind::kRotate, {0}, false}, {Kind::kPolarStretch, {}, true}},
         true},
    };
    for (const Case& c : cases) {
        auto* graph = new KxDbTagEvalGraph();
        auto* p = new PbParam();
        const KxNodeId pid = add(graph, p);
        for (const ActionSpec& wanted : c.actions) {
            PbAction* a = makeAction(L"", wanted.kind, pid);
            for (int o : wanted.objects) {
                a->imp()->selection.append(objs[o]);
            }
            a->imp()->ownList = wanted.ownList;
            edge(graph, pid, add(graph, a));
        }
        EXPECT_EQ(p->wantsHistory(), c.wanted) << c.what;
        delete graph;
    }
}

TEST_F(ParamBaseTest, HistoryWhenTheGraphCannotBeReached) {
    PbParam p;
    EXPECT_FALSE(p.wantsHistory()) << "no node id";
    p.setNodeId(4);
    EXPECT_TRUE(p.wantsHistory()) << "a graph that cannot be opened rules nothing out";
}

// --- Values pulled from a lookup action -------------------------------------------------------

TEST_F(ParamBaseTest, LookupValuesArePulledFromTheOnlyLiveInput) {
    auto* graph = new KxDbTagEvalGraph();
    auto* p = new PbParam();
    const KxNodeId pid = add(graph, p);
    PbParamImp* imp = paramImp(p);
    imp->descs.append(KxDbBlockPropertyDesc(L"Width", L"W", 40));
    imp->descs.append(KxDbBlockPropertyDesc(L"Height", L"H", 40));
    PbAction* lookup = makeAction(L"L", Kind::kLookup, 0);
    const KxNodeId lid = add(graph, lookup);
    wchar_t name[32];
    swprintf(name, 32, L"W %u", pid);
    lookup->imp()->outputs[name] = 12.5;
    lookup->imp()->outputs[L"H 999"] = 3.0;  // another parameter's
    edge(graph, lid, pid);

    KxDbImpBlockTag* base = imp;
    ASSERT_EQ(base->pullLookupValues(), Acad::eOk);
    ASSERT_EQ(imp->sets, 1);
    EXPECT_EQ(imp->values[L"Width"].resval.rreal, 12.5);

    // A second live input: nothing is pulled.
    imp->sets = 0;
    const KxNodeId other = add(graph, kxtest::makeTestParam(L"Other"));
    edge(graph, other, pid);
    ASSERT_EQ(base->pullLookupValues(), Acad::eOk);
    EXPECT_EQ(imp->sets, 0);

    // The other input does not travel in this evaluation: the lookup is the only live one.
    KxNodeIdArray start;
    start.append(lid);
    ASSERT_EQ(graph->activate(start), Acad::eOk);
    ASSERT_EQ(base->pullLookupValues(), Acad::eOk);
    EXPECT_EQ(imp->sets, 1);
    delete graph;
}

TEST_F(ParamBaseTest, NothingIsPulledThroughASuppressedEdgeOrFromAnotherNode) {
    auto* graph = new KxDbTagEvalGraph();
    auto* p = new PbParam();
    const KxNodeId pid = add(graph, p);
    PbParamImp* imp = paramImp(p);
    imp->descs.append(KxDbBlockPropertyDesc(L"Width", L"W", 40));
    PbAction* lookup = makeAction(L"L", Kind::kLookup, 0);
    const KxNodeId lid = add(graph, lookup);
    wchar_t name[32];
    swprintf(name, 32, L"W %u", pid);
    lookup->imp()->outputs[name] = 1.0;
    edge(graph, lid, pid);

    // Activating the parameter alone leaves its input edge untravelled.
    KxNodeIdArray start;
    start.append(pid);
    ASSERT_EQ(graph->activate(start), Acad::eOk);
    ASSERT_EQ(imp->pullLookupValues(), Acad::eOk);
    EXPECT_EQ(imp->sets, 0);

    // A move action with the same connection is no lookup.
    auto* graph2 = new KxDbTagEvalGraph();
    auto* q = new PbParam();
    const KxNodeId qid = add(graph2, q);
    paramImp(q)->descs.append(KxDbBlockPropertyDesc(L"Width", L"W", 40));
    PbAction* move = makeAction(L"M", Kind::kMoveLike, qid);
    swprintf(name, 32, L"W %u", qid);
    move->imp()->outputs[name] = 1.0;
    edge(graph2, add(graph2, move), qid);
    ASSERT_EQ(paramImp(q)->pullLookupValues(), Acad::eOk);
    EXPECT_EQ(paramImp(q)->sets, 0);
    delete graph;
    delete graph2;
}

// --- Property names ---------------------------------------------------------------------------

TEST_F(ParamBaseTest, PropertyConnectionNames) {
    PbParam p;
    AcString connection(L"unchanged");
    EXPECT_EQ(p.getPropertyConnectionName(L"Width", connection), Acad::eKeyNotFound);
    paramImp(&p)->descs.append(KxDbBlockPropertyDesc(L"Width", L"UpdatedDistance", 40));
    paramImp(&p)->descs.append(KxDbBlockPropertyDesc(L"WIDTH", L"Second", 40));
    EXPECT_EQ(p.getPropertyConnectionName(L"wIdTh", connection), Acad::eOk);
    EXPECT_EQ(connection, AcString(L"UpdatedDistance")) << "the first match wins";
    connection = L"unchanged";
    EXPECT_EQ(p.getPropertyConnectionName(L"Depth", connection), Acad::eOk);
    EXPECT_EQ(connection, AcString(L"unchanged"));
}

TEST_F(ParamBaseTest, PropertyNamesAreValidatedAgainstTheOtherParameters) {
    PbParam lone;
    EXPECT_EQ(lone.validatePropertyName(L"A", L"B"), Acad::eOk) << "not in a graph";

    auto* graph = new KxDbTagEvalGraph();
    auto* p = new PbParam();
    add(graph, p);
    paramImp(p)->labels.append(AcString(L"Mine"));
    KxTestParam* other = kxtest::makeTestParam(L"Other");
    kxtest::testImp(other)->labels.append(AcString(L"Width"));
    add(graph, other);

    EXPECT_EQ(p->validatePropertyName(L"Length", L"width"), Acad::eDuplicateKey);
    EXPECT_EQ(p->validatePropertyName(L"Length", L"Depth"), Acad::eOk);
    EXPECT_EQ(p->validatePropertyName(L"Width", L"WIDTH"), Acad::eOk)
        << "the same name in another case";
    EXPECT_EQ(p->validatePropertyName(L"Length", L"Mine"), Acad::eOk)
        << "the parameter's own labels are not a clash";
    delete graph;

    // A node id whose graph cannot be opened accepts the name.
    PbParam orphan;
    orphan.setNodeId(3);
    EXPECT_EQ(orphan.validatePropertyName(L"A", L"B"), Acad::eOk);
}

}  // namespace
