// The stretch action inside a block definition, driven through a reference's context: only the
// points in the frame move, only in the reference whose value changed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <ostream>
#include <tuple>
#include <vector>

#include "host/db/blocktable.h"
#include "host/db/blocktablerecord.h"
#include "host/db/database.h"
#include "host/db/opened.h"
#include "host/entities/attdef.h"
#include "host/entities/attrib.h"
#include "host/entities/blockref.h"
#include "host/entities/entity.h"
#include "host/entities/line.h"
#include "host/entities/objectiterator.h"
#include "module/actions/stretch_action.h"
#include "module/actions/stretch_action_imp.h"
#include "module/graph/eval_graph.h"
#include "module/params/linear_tag.h"
#include "module/representation/ref_context.h"
#include "module/rootdata/root_data.h"
#include "stretch_test_support.h"
#include "support/test_elements.h"

namespace {

using kxhost::Opened;

// A line as its two end points, rounded for comparison.
struct Segment {
    double x0, y0, x1, y1;
    bool operator<(const Segment& o) const {
        return std::tie(x0, y0, x1, y1) < std::tie(o.x0, o.y0, o.x1, o.y1);
    }
    bool operator==(const Segment& o) const {
        return x0 == o.x0 && y0 == o.y0 && x1 == o.x1 && y1 == o.y1;
    }
};

void PrintTo(const Segment& s, std::ostream* os) {
    *os << "(" << s.x0 << "," << s.y0 << ")-(" << s.x1 << "," << s.y1 << ")";
}

double rounded(double v) {
    return std::round(v * 1e6) / 1e6;
}

std::vector<Segment> linesOf(const AcDbObjectId& blockId) {
    std::vector<Segment> out;
    Opened<AcDbBlockTableRecord> record(blockId, AcDb::kForRead);
    if (record.get() == nullptr)
        return out;
    AcDbBlockTableRecordIterator* it = nullptr;
    if (record->newIterator(it) != Acad::eOk)
        return out;
    for (; !it->done(); it->step()) {
        AcDbObjectId id;
        it->getEntityId(id);
        Opened<AcDbLine> line(id, AcDb::kForRead);
        if (line.get() == nullptr)
            continue;
        const AcGePoint3d s = line->startPoint();
        const AcGePoint3d e = line->endPoint();
        out.push_back({rounded(s.x), rounded(s.y), rounded(e.x), rounded(e.y)});
    }
    delete it;
    std::sort(out.begin(), out.end());
    return out;
}

std::vector<Segment> sorted(std::vector<Segment> v) {
    std::sort(v.begin(), v.end());
    return v;
}

// Watches the stretch calls that reach entities, and hands every call on.
class StretchWatch : public kxhost::EntityGripRouting {
  public:
    StretchWatch() : m_next(kxhost::entityGripRouting()) { kxhost::setEntityGripRouting(this); }
    ~StretchWatch() override { kxhost::setEntityGripRouting(m_next); }
    StretchWatch(const StretchWatch&) = delete;
    StretchWatch& operator=(const StretchWatch&) = delete;

    bool getGripPoints(const AcDbEntity* ent, AcGePoint3dArray& gripPoints,
                       AcDbIntArray& osnapModes, AcDbIntArray& geomIds,
                       Acad::ErrorStatus& es) override {
        return m_next != nullptr && m_next->getGripPoints(ent, gripPoints, osnapModes, geomIds, es);
    }
    bool moveGripPointsAt(AcDbEntity* ent, const AcDbIntArray& indices, const AcGeVector3d& offset,
                          Acad::ErrorStatus& es) override {
        return m_next != nullptr && m_next->moveGripPointsAt(ent, indices, offset, es);
    }
    bool getStretchPoints(const AcDbEntity* ent, AcGePoint3dArray& stretchPoints,
                          Acad::ErrorStatus& es) override {
        if (failGet != Acad::eOk && AcDbLine::cast(ent) != nullptr) {
            es = failGet;
            return true;
        }
        return m_next != nullptr && m_next->getStretchPoints(ent, stretchPoints, es);
    }
    bool moveStretchPointsAt(AcDbEntity* ent, const AcDbIntArray& indices,
                             const AcGeVector3d& offset, Acad::ErrorStatus& es) override {
        ++calls;
        if (failMove != Acad::eOk) {
            es = failMove;
            return true;
        }
        for (int i = 0; i < indices.length(); ++i)
            maxIndex = std::max(maxIndex, indices[i]);
        return m_next != nullptr && m_next->moveStretchPointsAt(ent, indices, offset, es);
    }

    int calls = 0;
    int maxIndex = -1;
    Acad::ErrorStatus failGet = Acad::eOk;
    Acad::ErrorStatus failMove = Acad::eOk;

  private:
    kxhost::EntityGripRouting* m_next;
};

class StretchReferenceTest : public kxtest::TestElementsTest {
  protected:
    // Block "B": a 10 x 5 rectangle of four lines, a linear parameter along its bottom edge
    // with its end grip, and a stretch action whose frame holds the right edge, fed by the
    // parameter's end delta.
    void makeDefinition(bool withParams = false, bool chained = false) {
        AcDbObjectIdArray lineIds;
        {
            AcDbBlockTable* table = nullptr;
            ASSERT_EQ(db.getBlockTable(table, AcDb::kForWrite), Acad::eOk);
            auto* record = new AcDbBlockTableRecord();
            record->setName(L"B");
            ASSERT_EQ(table->add(blockId, record), Acad::eOk);
            table->close();
            const AcGePoint3d corners[] = {{0, 0, 0}, {10, 0, 0}, {10, 5, 0}, {0, 5, 0}};
            for (int i = 0; i < 4; ++i) {
                auto* line = new AcDbLine(corners[i], corners[(i + 1) % 4]);
                AcDbObjectId id;
                ASSERT_EQ(record->appendAcDbEntity(id, line), Acad::eOk);
                lineIds.append(id);
                line->close();
            }
            record->close();
        }
        KxDbTagRootData* root = nullptr;
        ASSERT_EQ(KxDbTagRootData::openRootData(&db, AcDb::kForWrite, true, root), Acad::eOk);
        auto* graph = new KxDbTagEvalGraph();
        ASSERT_EQ(root->setGraph(blockId, graph), Acad::eOk);
        root->close();

        auto* linear = new KxDbBlockLinearTag();
        linear->setName(L"Distance1");
        linear->setDistanceName(L"Distance1");
        linear->setDefinitionBasePoint(AcGePoint3d(0, 0, 0));
        linear->setDefinitionEndPoint(AcGePoint3d(10, 0, 0));
        ASSERT_EQ(graph->addNode(linear, linearId), Acad::eOk);
        const AcDbObjectId linearObject = linear->objectId();
        linear->close();

        // A node that existed once: its id is a gap below those of the parameters that follow.
        if (withParams) {
            auto* gone = new KxDbBlockLinearTag();
            gone->setName(L"Gone");
            gone->setDistanceName(L"Gone");
            ASSERT_EQ(graph->addNode(gone, goneId), Acad::eOk);
            gone->close();
            ASSERT_EQ(graph->removeNode(goneId), Acad::eOk);
        }
        // Two more parameters for the selection: one with its end point in the frame, one
        // wholly outside it.
        const AcGePoint3d spans[2][2] = {{{2, 2, 0}, {9, 3, 0}}, {{1, 1, 0}, {3, 1, 0}}};
        for (int i = 0; i < 2 && withParams; ++i) {
            auto* extra = new KxDbBlockLinearTag();
            extra->setName(i == 0 ? L"Inner" : L"Outer");
            extra->setDistanceName(i == 0 ? L"Inner" : L"Outer");
            extra->setDefinitionBasePoint(spans[i][0]);
            extra->setDefinitionEndPoint(spans[i][1]);
            // A chaining parameter is joined to the action by an edge, so it hears of removals.
            extra->setChainActions(chained);
            ASSERT_EQ(graph->addNode(extra, extraIds[i]), Acad::eOk);
            extraObjects[i] = extra->objectId();
            extra->close();
        }

        auto* stretch = new KxDbTagStretchAction();
        stretch->setName(L"Stretch1");
        ASSERT_EQ(graph->addNode(stretch, stretchId), Acad::eOk);
        stretchObject = stretch->objectId();
        stretch->close();
        graph->close();
        {
            Opened<KxDbBlockLinearTag> param(linearObject, AcDb::kForWrite);
            ASSERT_EQ(param->setGripCount(2), Acad::eOk);
        }

        Opened<KxDbTagStretchAction> action(stretchObject, AcDb::kForWrite);
        ASSERT_EQ(action.status(), Acad::eOk);
        AcGePoint2dArray frame;
        frame.append(AcGePoint2d(8, -1));
        frame.append(AcGePoint2d(12, 6));
        ASSERT_EQ(action->setStretchFrame(frame), Acad::eOk);
        // The left edge is left out of the selection, as a user picking with a crossing window
        // around the frame would: selected, it would move whole.
        AcDbObjectIdArray selection;
        for (int i = 0; i < 3; ++i)
            selection.append(lineIds[i]);
        for (int i = 0; i < 2 && withParams; ++i)
            selection.append(extraObjects[i]);
        ASSERT_EQ(action->setSelectionSet(selection), Acad::eOk);
        ASSERT_EQ(action->connectTo(L"DeltaX", linearId, L"EndXDelta"), Acad::eOk);
        ASSERT_EQ(action->connectTo(L"DeltaY", linearId, L"EndYDelta"), Acad::eOk);
        // Bottom and top edges have one end in the frame, the right edge both.
        KxDbImpTagStretchAction* s = kxImpOf<KxDbImpTagStretchAction>(action.get());
        ASSERT_EQ(s->entityStretchPoints().size(), 3u);
        EXPECT_EQ(s->entityStretchPoints().at(lineIds[0])[0], 1);
        EXPECT_EQ(s->entityStretchPoints().at(lineIds[1]).length(), 2);
        EXPECT_EQ(s->entityStretchPoints().at(lineIds[2])[0], 0);
    }

    AcDbObjectId insert(const AcGePoint3d& at) {
        auto* ref = new AcDbBlockReference(at, blockId);
        AcDbBlockTableRecord* space = nullptr;
        EXPECT_EQ(acdbOpenObject(space, db.modelSpaceId(), AcDb::kForWrite), Acad::eOk);
        AcDbObjectId id;
        EXPECT_EQ(space->appendAcDbEntity(id, ref), Acad::eOk);
        ref->close();
        space->close();
        return id;
    }

    AcDbObjectId blockOf(const AcDbObjectId& refId) {
        Opened<AcDbBlockReference> ref(refId, AcDb::kForRead);
        return ref.get() != nullptr ? ref->blockTableRecord() : AcDbObjectId();
    }

    AcDbDatabase db;
    AcDbObjectId blockId;
    AcDbObjectId stretchObject;
    KxNodeId linearId = 0;
    KxNodeId stretchId = 0;
    KxNodeId extraIds[2] = {0, 0};
    KxNodeId goneId = 0;
    AcDbObjectId extraObjects[2];
};

TEST_F(StretchReferenceTest, DistanceChangeStretchesOnlyThatReference) {
    makeDefinition();
    const std::vector<Segment> rectangle =
        sorted({{0, 0, 10, 0}, {10, 0, 10, 5}, {10, 5, 0, 5}, {0, 5, 0, 0}});
    ASSERT_EQ(linesOf(blockId), rectangle);

    const AcDbObjectId first = insert(AcGePoint3d(100, 50, 0));
    const AcDbObjectId second = insert(AcGePoint3d(200, 50, 0));
    {
        Opened<AcDbBlockReference> ref(first, AcDb::kForWrite);
        KxDbTagRefContext context(kxref::kDefaultKey, ref.get());
        ASSERT_EQ(context.activateNode(linearId), Acad::eOk);
        ASSERT_EQ(context.setPropertyAndEvaluate(L"Distance1", KxDbTagEvalVariant(15.0)),
                  Acad::eOk);
    }
    const AcDbObjectId firstBlock = blockOf(first);
    ASSERT_NE(firstBlock, blockId);
    EXPECT_EQ(linesOf(firstBlock),
              sorted({{0, 0, 15, 0}, {15, 0, 15, 5}, {15, 5, 0, 5}, {0, 5, 0, 0}}));
    // The definition and the other reference keep the rectangle.
    EXPECT_EQ(linesOf(blockId), rectangle);
    EXPECT_EQ(blockOf(second), blockId);
}

TEST_F(StretchReferenceTest, SelectedParametersAreStretchedOrCarriedAlong) {
    makeDefinition(true);
    {
        Opened<KxDbTagStretchAction> action(stretchObject, AcDb::kForRead);
        KxDbImpTagStretchAction* s = kxImpOf<KxDbImpTagStretchAction>(action.get());
        ASSERT_EQ(s->elementStretchPoints().size(), 1u);
        EXPECT_EQ(s->elementStretchPoints().at(extraIds[0]).length(), 1);
        EXPECT_EQ(s->elementStretchPoints().at(extraIds[0])[0], 1);
        EXPECT_FALSE(s->acceptsDependent(extraIds[0]));
        EXPECT_TRUE(s->acceptsDependent(extraIds[1]));
    }
    const AcDbObjectId refId = insert(AcGePoint3d(100, 50, 0));
    Opened<AcDbBlockReference> ref(refId, AcDb::kForWrite);
    KxDbTagRefContext context(kxref::kDefaultKey, ref.get());
    ASSERT_EQ(context.activateNode(linearId), Acad::eOk);
    ASSERT_EQ(context.setPropertyAndEvaluate(L"Distance1", KxDbTagEvalVariant(15.0)), Acad::eOk);

    AcGePoint3d base[2];
    AcGePoint3d end[2];
    for (int i = 0; i < 2; ++i) {
        KxDbTagEvalExpr* node = nullptr;
        ASSERT_EQ(context.getNode(extraIds[i], node), Acad::eOk);
        KxDbBlockLinearTag* param = KxDbBlockLinearTag::cast(node);
        ASSERT_NE(param, nullptr);
        base[i] = param->updatedBasePoint();
        end[i] = param->updatedEndPoint();
        node->close();
    }
    {
        // The action kept the numbers it read.
        KxDbTagEvalExpr* node = nullptr;
        ASSERT_EQ(context.getNode(stretchId, node), Acad::eOk);
        KxDbTagStretchAction* stretch = KxDbTagStretchAction::cast(node);
        ASSERT_NE(stretch, nullptr);
        KxDbTagEvalVariant dx;
        EXPECT_EQ(stretch->getConnectionValue(L"DeltaX", dx), Acad::eOk);
        EXPECT_NEAR(dx.resval.rreal, 5.0, 1e-9);
        node->close();
    }
    // In the frame: only the end point moved.
    EXPECT_NEAR(base[0].x, 2.0, 1e-9);
    EXPECT_NEAR(end[0].x, 14.0, 1e-9);
    EXPECT_NEAR(end[0].y, 3.0, 1e-9);
    // Outside: carried along whole.
    EXPECT_NEAR(base[1].x, 6.0, 1e-9);
    EXPECT_NEAR(end[1].x, 8.0, 1e-9);
    EXPECT_NEAR(end[1].y, 1.0, 1e-9);
}

// Maps read from a file may name stretch points an entity does not have and nodes the graph no
// longer has: those are passed over and the rest is stretched.
TEST_F(StretchReferenceTest, StaleIndicesAndNodesFromAFileArePassedOver) {
    makeDefinition(true);
    ASSERT_NE(goneId, 0u);
    ASSERT_LT(goneId, extraIds[0]);
    {
        Opened<KxDbTagStretchAction> action(stretchObject, AcDb::kForWrite);
        ASSERT_EQ(action.status(), Acad::eOk);
        KxDbImpTagStretchAction* s = kxImpOf<KxDbImpTagStretchAction>(action.get());
        kxhost::DwgMemoryFiler out;
        ASSERT_EQ(action->dwgOutFields(&out), Acad::eOk);
        KxDbImpTagStretchAction::EntityPoints entities = s->entityStretchPoints();
        KxDbImpTagStretchAction::ElementPoints elements = s->elementStretchPoints();
        const int baseItems = out.itemCount() - kxtest::stretchPartItems(*s, entities, elements);
        ASSERT_EQ(entities.size(), 3u);
        for (auto& entry : entities)
            entry.second.append(57);
        elements[goneId].append(0);
        kxhost::DwgMemoryFiler patched;
        kxtest::copyItems(out, patched, baseItems);
        kxtest::writeStretchPart(patched, *s, entities, elements);
        patched.rewind();
        ASSERT_EQ(action->dwgInFields(&patched), Acad::eOk);
        ASSERT_EQ(s->elementStretchPoints().size(), 2u);
        ASSERT_EQ(s->entityStretchPoints().begin()->second.length(), 2);
    }
    const AcDbObjectId refId = insert(AcGePoint3d(100, 50, 0));
    StretchWatch watch;
    {
        Opened<AcDbBlockReference> ref(refId, AcDb::kForWrite);
        KxDbTagRefContext context(kxref::kDefaultKey, ref.get());
        ASSERT_EQ(context.activateNode(linearId), Acad::eOk);
        ASSERT_EQ(context.setPropertyAndEvaluate(L"Distance1", KxDbTagEvalVariant(15.0)),
                  Acad::eOk);
        // Each of the three lines was stretched, and no stored index beyond a line's two
        // stretch points reached it.
        EXPECT_EQ(watch.calls, 3);
        EXPECT_EQ(watch.maxIndex, 1);
        KxDbTagEvalExpr* node = nullptr;
        ASSERT_EQ(context.getNode(extraIds[0], node), Acad::eOk);
        KxDbBlockLinearTag* param = KxDbBlockLinearTag::cast(node);
        ASSERT_NE(param, nullptr);
        EXPECT_NEAR(param->updatedEndPoint().x, 14.0, 1e-9);
        node->close();
    }
    EXPECT_EQ(linesOf(blockOf(refId)),
              sorted({{0, 0, 15, 0}, {15, 0, 15, 5}, {15, 5, 0, 5}, {0, 5, 0, 0}}));
}

// A record whose entity entries are out of order, with an id repeated: read as a sorted list
// in which each id keeps its last indices, so the evaluation tells stretched entities from
// those that move whole as for a record in order.
TEST_F(StretchReferenceTest, EntriesReadOutOfOrderAreFoundAndARepeatedIdKeepsItsLast) {
    makeDefinition(true);
    {
        Opened<KxDbTagStretchAction> action(stretchObject, AcDb::kForWrite);
        ASSERT_EQ(action.status(), Acad::eOk);
        KxDbImpTagStretchAction* s = kxImpOf<KxDbImpTagStretchAction>(action.get());
        kxhost::DwgMemoryFiler out;
        ASSERT_EQ(action->dwgOutFields(&out), Acad::eOk);
        const KxDbImpTagStretchAction::EntityPoints original = s->entityStretchPoints();
        const KxDbImpTagStretchAction::ElementPoints elements = s->elementStretchPoints();
        const int baseItems = out.itemCount() - kxtest::stretchPartItems(*s, original, elements);
        ASSERT_EQ(original.size(), 3u);
        std::vector<std::pair<AcDbObjectId, AcDbIntArray>> entries(original.begin(),
                                                                   original.end());
        std::reverse(entries.begin(), entries.end());
        // A stale entry of the (now) first id before its real one.
        AcDbIntArray stale;
        stale.append(0);
        stale.append(1);
        stale.append(7);
        entries.insert(entries.begin(), std::make_pair(entries.back().first, stale));
        kxhost::DwgMemoryFiler patched;
        kxtest::copyItems(out, patched, baseItems);
        kxtest::writeStretchPart(patched, *s, entries, elements);
        patched.rewind();
        ASSERT_EQ(action->dwgInFields(&patched), Acad::eOk);
        const KxDbImpTagStretchAction::EntityPoints& read = s->entityStretchPoints();
        ASSERT_EQ(read.size(), 3u);
        auto it = original.begin();
        for (const auto& entry : read) {
            EXPECT_EQ(entry.first, it->first);
            EXPECT_EQ(entry.second, it->second);
            EXPECT_TRUE(read.contains(it->first));
            ++it;
        }
        const AcDbObjectIdArray selection = action->selectionSet();
        for (const AcDbObjectId& id : selection)
            EXPECT_EQ(read.count(id), original.count(id));
        EXPECT_TRUE(read.at(AcDbObjectId()).isEmpty());
    }
    const AcDbObjectId refId = insert(AcGePoint3d(100, 50, 0));
    StretchWatch watch;
    {
        Opened<AcDbBlockReference> ref(refId, AcDb::kForWrite);
        KxDbTagRefContext context(kxref::kDefaultKey, ref.get());
        ASSERT_EQ(context.activateNode(linearId), Acad::eOk);
        ASSERT_EQ(context.setPropertyAndEvaluate(L"Distance1", KxDbTagEvalVariant(15.0)),
                  Acad::eOk);
        EXPECT_EQ(watch.calls, 3);
        EXPECT_EQ(watch.maxIndex, 1);
    }
    EXPECT_EQ(linesOf(blockOf(refId)),
              sorted({{0, 0, 15, 0}, {15, 0, 15, 5}, {15, 5, 0, 5}, {0, 5, 0, 0}}));
}

// A copy of the action (as the graph is copied for every change of a reference) has the
// entries of its source, and keeps them when either is given a new frame later.
TEST_F(StretchReferenceTest, CopiesKeepTheirOwnEntries) {
    makeDefinition(true);
    Opened<KxDbTagStretchAction> action(stretchObject, AcDb::kForWrite);
    ASSERT_EQ(action.status(), Acad::eOk);
    KxDbImpTagStretchAction* s = kxImpOf<KxDbImpTagStretchAction>(action.get());
    const KxDbImpTagStretchAction::EntityPoints before = s->entityStretchPoints();
    ASSERT_EQ(before.size(), 3u);
    std::unique_ptr<KxDbTagStretchAction> copy(
        KxDbTagStretchAction::cast(static_cast<AcRxObject*>(action->clone())));
    ASSERT_NE(copy, nullptr);
    KxDbImpTagStretchAction* c = kxImpOf<KxDbImpTagStretchAction>(copy.get());
    const auto same = [](const KxDbImpTagStretchAction::EntityPoints& a,
                         const KxDbImpTagStretchAction::EntityPoints& b) {
        return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin());
    };
    EXPECT_TRUE(same(c->entityStretchPoints(), before));
    EXPECT_EQ(c->elementStretchPoints(), s->elementStretchPoints());

    // The source's frame now holds nothing; the copy still has the old entries.
    AcGePoint2dArray point;
    point.append(AcGePoint2d(1000, 1000));
    ASSERT_EQ(action->setStretchFrame(point), Acad::eOk);
    EXPECT_TRUE(s->entityStretchPoints().empty());
    EXPECT_TRUE(same(c->entityStretchPoints(), before));

    // And the other way round: a copy of the emptied source given the old frame back.
    std::unique_ptr<KxDbTagStretchAction> second(
        KxDbTagStretchAction::cast(static_cast<AcRxObject*>(action->clone())));
    ASSERT_NE(second, nullptr);
    KxDbImpTagStretchAction* d = kxImpOf<KxDbImpTagStretchAction>(second.get());
    EXPECT_TRUE(d->entityStretchPoints().empty());
    ASSERT_EQ(copy->setStretchFrame(c->stretchFrame()), Acad::eOk);
    EXPECT_TRUE(d->entityStretchPoints().empty());
    EXPECT_TRUE(s->entityStretchPoints().empty());

    // Written to a file, a copy writes its entries like the source did.
    kxhost::DwgMemoryFiler fromSource;
    kxhost::DwgMemoryFiler fromCopy;
    ASSERT_EQ(action->setStretchFrame(c->stretchFrame()), Acad::eOk);
    ASSERT_EQ(action->dwgOutFields(&fromSource), Acad::eOk);
    std::unique_ptr<KxDbTagStretchAction> third(
        KxDbTagStretchAction::cast(static_cast<AcRxObject*>(action->clone())));
    ASSERT_NE(third, nullptr);
    ASSERT_EQ(third->dwgOutFields(&fromCopy), Acad::eOk);
    EXPECT_EQ(fromCopy.itemCount(), fromSource.itemCount());
    EXPECT_TRUE(same(kxImpOf<KxDbImpTagStretchAction>(third.get())->entityStretchPoints(), before));
}

TEST_F(StretchReferenceTest, ANewFrameSortsTheSelectionAgain) {
    makeDefinition();
    Opened<KxDbTagStretchAction> action(stretchObject, AcDb::kForWrite);
    KxDbImpTagStretchAction* s = kxImpOf<KxDbImpTagStretchAction>(action.get());
    const AcDbObjectIdArray selection = action->selectionSet();
    ASSERT_EQ(selection.length(), 3);
    // Around the left side: the bottom edge's start and the top edge's end; the right edge is
    // outside and will move whole.
    AcGePoint2dArray frame;
    frame.append(AcGePoint2d(-1, -1));
    frame.append(AcGePoint2d(2, 6));
    ASSERT_EQ(action->setStretchFrame(frame), Acad::eOk);
    ASSERT_EQ(s->entityStretchPoints().size(), 2u);
    EXPECT_EQ(s->entityStretchPoints().at(selection[0])[0], 0);
    EXPECT_EQ(s->entityStretchPoints().at(selection[2])[0], 1);
    EXPECT_EQ(s->entityStretchPoints().count(selection[1]), 0u);
    // A frame of one point holds nothing: everything moves whole.
    AcGePoint2dArray point;
    point.append(AcGePoint2d(10, 0));
    ASSERT_EQ(action->setStretchFrame(point), Acad::eOk);
    EXPECT_TRUE(s->entityStretchPoints().empty());
}

TEST_F(StretchReferenceTest, AZeroDisplacementChangesNothing) {
    makeDefinition();
    {
        Opened<KxDbTagStretchAction> action(stretchObject, AcDb::kForWrite);
        ASSERT_EQ(kxImpOf<KxDbImpTagStretchAction>(action.get())->setDistanceMultiplier(0.0),
                  Acad::eOk);
    }
    const AcDbObjectId refId = insert(AcGePoint3d(100, 50, 0));
    StretchWatch watch;
    {
        Opened<AcDbBlockReference> ref(refId, AcDb::kForWrite);
        KxDbTagRefContext context(kxref::kDefaultKey, ref.get());
        ASSERT_EQ(context.activateNode(linearId), Acad::eOk);
        ASSERT_EQ(context.setPropertyAndEvaluate(L"Distance1", KxDbTagEvalVariant(15.0)),
                  Acad::eOk);
    }
    EXPECT_EQ(watch.calls, 0);
    EXPECT_EQ(linesOf(blockOf(refId)),
              sorted({{0, 0, 10, 0}, {10, 0, 10, 5}, {10, 5, 0, 5}, {0, 5, 0, 0}}));
}

TEST_F(StretchReferenceTest, ARemovedParameterLeavesTheElementMap) {
    makeDefinition(true, true);
    AcDbObjectId graphId;
    {
        Opened<KxDbTagStretchAction> action(stretchObject, AcDb::kForRead);
        graphId = action->ownerId();
        ASSERT_EQ(kxImpOf<KxDbImpTagStretchAction>(action.get())->elementStretchPoints().size(),
                  1u);
    }
    {
        Opened<KxDbTagEvalGraph> graph(graphId, AcDb::kForWrite);
        ASSERT_EQ(graph.status(), Acad::eOk);
        ASSERT_EQ(graph->removeNode(extraIds[0]), Acad::eOk);
    }
    Opened<KxDbTagStretchAction> action(stretchObject, AcDb::kForRead);
    KxDbImpTagStretchAction* s = kxImpOf<KxDbImpTagStretchAction>(action.get());
    EXPECT_TRUE(s->elementStretchPoints().empty());
    EXPECT_TRUE(s->acceptsDependent(extraIds[0]));
}

// A reference's attribute locked in position stretches with the reference's own transform
// (world coordinates), not by the definition's displacement.
TEST_F(StretchReferenceTest, LockedAttributesOfTheReferenceStretchInWorldCoordinates) {
    makeDefinition();
    AcDbObjectId attdefId;
    {
        Opened<AcDbBlockTableRecord> record(blockId, AcDb::kForWrite);
        auto* attdef =
            new AcDbAttributeDefinition(AcGePoint3d(10, 2, 0), L"W", L"WIDTH", L"", AcDbObjectId());
        attdef->setLockPositionInBlock(true);
        ASSERT_EQ(record->appendAcDbEntity(attdefId, attdef), Acad::eOk);
        attdef->close();
    }
    {
        Opened<KxDbTagStretchAction> action(stretchObject, AcDb::kForWrite);
        AcDbObjectIdArray selection = action->selectionSet();
        selection.append(attdefId);
        ASSERT_EQ(action->setSelectionSet(selection), Acad::eOk);
        EXPECT_EQ(
            kxImpOf<KxDbImpTagStretchAction>(action.get())->entityStretchPoints().count(attdefId),
            1u);
    }
    // A reference turned a quarter turn: the definition's +X is the world's +Y.
    AcDbObjectId refId;
    AcGePoint3d before;
    {
        auto* ref = new AcDbBlockReference(AcGePoint3d(100, 50, 0), blockId);
        ref->setRotation(M_PI / 2);
        Opened<AcDbBlockTableRecord> space(db.modelSpaceId(), AcDb::kForWrite);
        ASSERT_EQ(space->appendAcDbEntity(refId, ref), Acad::eOk);
        Opened<AcDbAttributeDefinition> attdef(attdefId, AcDb::kForRead);
        auto* attribute = new AcDbAttribute();
        ASSERT_EQ(attribute->setAttributeFromBlock(attdef.get(), ref->blockTransform()), Acad::eOk);
        attribute->setLockPositionInBlock(true);
        before = attribute->position();
        ASSERT_EQ(ref->appendAttribute(attribute), Acad::eOk);
        attribute->close();
        ref->close();
    }
    {
        Opened<AcDbBlockReference> ref(refId, AcDb::kForWrite);
        KxDbTagRefContext context(kxref::kDefaultKey, ref.get());
        ASSERT_EQ(context.activateNode(linearId), Acad::eOk);
        ASSERT_EQ(context.setPropertyAndEvaluate(L"Distance1", KxDbTagEvalVariant(15.0)),
                  Acad::eOk);
    }
    Opened<AcDbBlockReference> ref(refId, AcDb::kForRead);
    AcDbObjectIterator* it = ref->attributeIterator();
    ASSERT_NE(it, nullptr);
    ASSERT_FALSE(it->done());
    Opened<AcDbAttribute> attribute(it->objectId(), AcDb::kForRead);
    delete it;
    ASSERT_NE(attribute.get(), nullptr);
    EXPECT_NEAR(attribute->position().x, before.x, 1e-9);
    EXPECT_NEAR(attribute->position().y, before.y + 5.0, 1e-9);
}

TEST_F(StretchReferenceTest, MultiplierTypeAndAngleShapeTheDisplacement) {
    makeDefinition();
    {
        Opened<KxDbTagStretchAction> action(stretchObject, AcDb::kForWrite);
        KxDbImpTagStretchAction* s = kxImpOf<KxDbImpTagStretchAction>(action.get());
        ASSERT_EQ(s->setDistanceMultiplier(2.0), Acad::eOk);
        ASSERT_EQ(s->setXYType(1), Acad::eOk);
        ASSERT_EQ(s->setAngleOffset(M_PI / 2), Acad::eOk);
    }
    const AcDbObjectId refId = insert(AcGePoint3d(100, 50, 0));
    {
        Opened<AcDbBlockReference> ref(refId, AcDb::kForWrite);
        KxDbTagRefContext context(kxref::kDefaultKey, ref.get());
        ASSERT_EQ(context.activateNode(linearId), Acad::eOk);
        ASSERT_EQ(context.setPropertyAndEvaluate(L"Distance1", KxDbTagEvalVariant(15.0)),
                  Acad::eOk);
    }
    // X only, doubled, turned a quarter: the points in the frame move by (0, 10).
    EXPECT_EQ(linesOf(blockOf(refId)),
              sorted({{0, 0, 10, 10}, {10, 10, 10, 15}, {10, 15, 0, 5}, {0, 5, 0, 0}}));
}

TEST_F(StretchReferenceTest, FailuresOfTheEntitiesAreReported) {
    makeDefinition();
    // An entity whose stretch points cannot be had: the set is stored and the failure returned.
    {
        Opened<KxDbTagStretchAction> action(stretchObject, AcDb::kForWrite);
        const AcDbObjectIdArray selection = action->selectionSet();
        StretchWatch watch;
        watch.failGet = Acad::eNotApplicable;
        EXPECT_EQ(action->setSelectionSet(selection), Acad::eNotApplicable);
        EXPECT_EQ(action->selectionSet().length(), 3);
        EXPECT_TRUE(kxImpOf<KxDbImpTagStretchAction>(action.get())->entityStretchPoints().empty());
        watch.failGet = Acad::eOk;
        ASSERT_EQ(action->setSelectionSet(selection), Acad::eOk);
    }
    // A stretch that fails ends the evaluation with its status.
    const AcDbObjectId refId = insert(AcGePoint3d(100, 50, 0));
    StretchWatch watch;
    watch.failMove = Acad::eNotApplicable;
    Opened<AcDbBlockReference> ref(refId, AcDb::kForWrite);
    KxDbTagRefContext context(kxref::kDefaultKey, ref.get());
    ASSERT_EQ(context.activateNode(linearId), Acad::eOk);
    EXPECT_NE(context.setPropertyAndEvaluate(L"Distance1", KxDbTagEvalVariant(15.0)), Acad::eOk);
    EXPECT_EQ(watch.calls, 1);
}

}  // namespace
