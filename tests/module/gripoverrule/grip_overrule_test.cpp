// Grips of dynamic block references as the host's grip editor sees them: which grips a reference
// offers, what dragging one does to that reference alone, and who frees what afterwards.
#include <gtest/gtest.h>

#include <cmath>

#include "host/db/blocktablerecord.h"
#include "host/db/database.h"
#include "host/db/opened.h"
#include "host/entities/blockref.h"
#include "host/entities/dynblockref.h"
#include "host/entities/line.h"
#include "host/entities/polyline.h"
#include "host/grips/gripoverrule.h"
#include "module/graph/eval_graph.h"
#include "module/grips/grip_callbacks.h"
#include "module/grips/grip_overrule.h"
#include "module/grips/linear_grip.h"
#include "module/grips/nb_app_data.h"
#include "module/representation/ref_context.h"
#include "module/rootdata/root_data.h"
#include "support/module_loader.h"
#include "tools/authoring/authoring.h"

namespace {

using kxhost::Opened;

// Grip records as the editor holds them: it deletes them after telling the entity.
struct Records {
    AcDbGripDataPtrArray grips;
    ~Records() { clear(); }
    void clear() {
        for (int i = 0; i < grips.length(); ++i) {
            delete grips[i];
        }
        grips.setLogicalLength(0);
    }
};

constexpr double kWidth = 10.0;
constexpr double kHeight = 20.0;
constexpr double kStep = 2.5;

class GripOverruleTest : public kxtest::ModuleTest {
  protected:
    void SetUp() override {
        kxtest::ModuleTest::SetUp();
        kxhost::resetUnmatchedCloses();
        db = new AcDbDatabase(true, true);
        overrule = KxDbNimbleBlockGripOverrule::instance();
        ASSERT_NE(overrule, nullptr);
    }
    void TearDown() override {
        EXPECT_EQ(kxhost::unmatchedCloses(), 0);
        delete db;
        kxtest::ModuleTest::TearDown();
    }

    // A 10 x 20 rectangle whose right edge a linear parameter (base at the origin, end at
    // (10, 0), grips on both ends, distances in steps of 2.5) stretches; three references.
    void buildDrawing() {
        kxauthor::Author author(db);
        author.rootData().definition(L"PANEL",
                                     {kxauthor::rectangle(AcGePoint2d(0, 0), kWidth, kHeight)});
        author.graph().linear(AcGePoint3d(0, 0, 0), AcGePoint3d(kWidth, 0, 0), L"Width", 2);
        author.valueSet(kxauthor::ValueSetSpec::grid(kStep));
        ASSERT_TRUE(author.ok()) << author.status();
        definitionId = author.definitionId();
        AcDbObjectIdArray selection;
        selection.append(firstEntity(definitionId));
        AcDbObjectId actionId;
        ASSERT_EQ(
            kxauthor::addStretchAction(db, author.graphId(), author.parameterId(), selection,
                                       AcGePoint2d(kWidth - 1, -1),
                                       AcGePoint2d(kWidth + 1, kHeight + 1), L"Stretch", actionId),
            Acad::eOk);
        for (int i = 0; i < 3; ++i) {
            AcDbObjectId refId;
            ASSERT_EQ(kxauthor::insertReference(db, definitionId, AcGePoint3d(50.0 * i, 0, 0), 0.0,
                                                1.0, refId),
                      Acad::eOk);
            refs.append(refId);
        }
    }

    static AcDbObjectId firstEntity(const AcDbObjectId& btrId) {
        Opened<AcDbBlockTableRecord> btr(btrId, AcDb::kForRead);
        AcDbObjectId id;
        AcDbBlockTableRecordIterator* it = nullptr;
        if (btr.get() != nullptr && btr->newIterator(it) == Acad::eOk) {
            it->start();
            if (!it->done()) {
                it->getEntityId(id);
            }
            delete it;
        }
        return id;
    }
    static AcDbObjectId blockOf(const AcDbObjectId& refId) {
        Opened<AcDbBlockReference> ref(refId, AcDb::kForRead);
        return ref.get() != nullptr ? ref->blockTableRecord() : AcDbObjectId();
    }
    // Largest x of the rectangle in the reference's block (definition coordinates).
    static double rightEdge(const AcDbObjectId& refId) {
        Opened<AcDbPolyline> pline(firstEntity(blockOf(refId)), AcDb::kForRead);
        double right = -1e300;
        if (pline.get() == nullptr) {
            return right;
        }
        for (unsigned i = 0; i < pline->numVerts(); ++i) {
            AcGePoint2d p;
            pline->getPointAt(i, p);
            right = std::max(right, p.x);
        }
        return right;
    }
    Acad::ErrorStatus offer(const AcDbObjectId& refId, Records& records) {
        Opened<AcDbBlockReference> ref(refId, AcDb::kForRead);
        if (ref.status() != Acad::eOk) {
            return ref.status();
        }
        return ref->getGripPoints(records.grips, 1.0, 5, AcGeVector3d::kZAxis, 0);
    }
    void release(const AcDbObjectId& refId, Records& records) {
        Opened<AcDbBlockReference> ref(refId, AcDb::kForRead);
        ASSERT_EQ(ref.status(), Acad::eOk);
        ref->gripStatus(AcDb::kGripsToBeDeleted);
        records.clear();
    }
    static int moduleGrips(const Records& records) {
        int n = 0;
        for (int i = 0; i < records.grips.length(); ++i) {
            n += kxgrips::appDataOf(records.grips[i]) != nullptr ? 1 : 0;
        }
        return n;
    }

    // Adds a shown grip that belongs to no parameter: it is listed, but cannot say which point of
    // a parameter it drives.
    void addLoneGrip() {
        AcDbObjectId graphId;
        ASSERT_EQ(kxauthor::findGraph(db, definitionId, graphId), Acad::eOk);
        Opened<KxDbTagEvalGraph> graph(graphId, AcDb::kForWrite);
        ASSERT_EQ(graph.status(), Acad::eOk);
        auto* grip = new KxDbTagLinearGrip(L"Lone", AcGePoint3d(1, 1, 0));
        grip->setDisplayFlag(1);
        KxNodeId id = 0;
        ASSERT_EQ(graph->addNode(grip, id), Acad::eOk);
        grip->close();
    }

    AcDbDatabase* db = nullptr;
    KxDbNimbleBlockGripOverrule* overrule = nullptr;
    AcDbObjectId definitionId;
    AcDbObjectIdArray refs;
};

TEST_F(GripOverruleTest, ClaimsBlockReferencesTheHostDoesNotOwn) {
    buildDrawing();
    Opened<AcDbBlockReference> ref(refs[0], AcDb::kForRead);
    ASSERT_EQ(ref.status(), Acad::eOk);
    EXPECT_TRUE(overrule->isApplicable(ref.get()));
    AcDbLine line(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 0, 0));
    EXPECT_FALSE(overrule->isApplicable(&line));
    EXPECT_FALSE(overrule->isApplicable(nullptr));

    kxhost::markHostDynamicBlock(definitionId, true);
    EXPECT_FALSE(overrule->isApplicable(ref.get()));
    kxhost::markHostDynamicBlock(definitionId, false);
    EXPECT_TRUE(overrule->isApplicable(ref.get()));
}

TEST_F(GripOverruleTest, OffersTheDrivingGripFirstThenTheHostsOwn) {
    buildDrawing();
    Records records;
    ASSERT_EQ(offer(refs[1], records), Acad::eOk);
    ASSERT_GE(records.grips.length(), 2);
    // Only the end grip drives the stretch; the base grip drives nothing and is not offered.
    EXPECT_EQ(moduleGrips(records), 1);
    const KxDbNimbleBlockNBAppData* data = kxgrips::appDataOf(records.grips[0]);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->gripIndex(), 1);
    EXPECT_EQ(data->referenceId(), refs[1]);
    EXPECT_TRUE(records.grips[0]->gripPoint().isEqualTo(AcGePoint3d(50.0 + kWidth, 0, 0)));
    EXPECT_TRUE(data->direction().isCodirectionalTo(AcGeVector3d::kXAxis));
    EXPECT_FALSE(data->isDirectionDegenerate());
    EXPECT_NE(records.grips[0]->rtClk(), nullptr);
    EXPECT_NE(records.grips[0]->toolTipFunc(), nullptr);
    for (int i = 1; i < records.grips.length(); ++i) {
        EXPECT_EQ(kxgrips::appDataOf(records.grips[i]), nullptr);
    }
    // The host's own grips are those it offers without the overrule.
    ASSERT_NE(overrule->appDataOf(refs[1]), nullptr);
    EXPECT_EQ(overrule->appDataOf(refs[1])->length(), 1);
    release(refs[1], records);
    EXPECT_EQ(overrule->appDataOf(refs[1]), nullptr);
}

TEST_F(GripOverruleTest, RepeatedListingsAccumulateUntilTheHostDeletesTheGrips) {
    buildDrawing();
    Records first;
    Records second;
    ASSERT_EQ(offer(refs[0], first), Acad::eOk);
    ASSERT_EQ(offer(refs[0], second), Acad::eOk);
    ASSERT_NE(overrule->appDataOf(refs[0]), nullptr);
    EXPECT_EQ(overrule->appDataOf(refs[0])->length(), 2);
    // Another reference's deletion frees nothing of this one.
    {
        Opened<AcDbBlockReference> other(refs[2], AcDb::kForRead);
        other->gripStatus(AcDb::kGripsToBeDeleted);
    }
    EXPECT_EQ(overrule->appDataOf(refs[0])->length(), 2);
    release(refs[0], first);
    second.clear();
    EXPECT_EQ(overrule->heldReferenceCount(), 0);
}

TEST_F(GripOverruleTest, AGripWithoutIndexEndsTheListingButItsPredecessorsAreStillFreed) {
    buildDrawing();
    addLoneGrip();
    Records records;
    ASSERT_EQ(offer(refs[0], records), Acad::eOk);
    // The driving grip made it in; the lone grip ended the listing, and the host's own grips are
    // missing from this call.
    ASSERT_EQ(records.grips.length(), 1);
    EXPECT_EQ(moduleGrips(records), 1);
    ASSERT_NE(overrule->appDataOf(refs[0]), nullptr);
    EXPECT_EQ(overrule->appDataOf(refs[0])->length(), 1);
    release(refs[0], records);
    EXPECT_EQ(overrule->heldReferenceCount(), 0);
}

TEST_F(GripOverruleTest, OrdinaryAndNonUniformReferencesGetOnlyTheHostsGrips) {
    buildDrawing();
    AcDbObjectId plainBlock;
    ASSERT_EQ(kxauthor::makeDefinition(db, L"PLAIN", {kxauthor::rectangle(AcGePoint2d(0, 0), 1, 1)},
                                       plainBlock),
              Acad::eOk);
    AcDbObjectId plainRef;
    ASSERT_EQ(kxauthor::insertReference(db, plainBlock, AcGePoint3d(0, 0, 0), 0, 1, plainRef),
              Acad::eOk);
    Records plain;
    ASSERT_EQ(offer(plainRef, plain), Acad::eOk);
    EXPECT_GE(plain.grips.length(), 1);
    EXPECT_EQ(moduleGrips(plain), 0);
    release(plainRef, plain);

    {
        Opened<AcDbBlockReference> ref(refs[2], AcDb::kForWrite);
        ASSERT_EQ(ref.status(), Acad::eOk);
        ASSERT_EQ(ref->setScaleFactors(AcGeScale3d(1, 2, 1)), Acad::eOk);
    }
    Records stretched;
    ASSERT_EQ(offer(refs[2], stretched), Acad::eOk);
    EXPECT_GE(stretched.grips.length(), 1);
    EXPECT_EQ(moduleGrips(stretched), 0);
    EXPECT_EQ(overrule->appDataOf(refs[2]), nullptr);
    release(refs[2], stretched);
}

TEST_F(GripOverruleTest, DragSnapsToTheNearestStepAndChangesOnlyThatReference) {
    buildDrawing();
    Records records;
    ASSERT_EQ(offer(refs[1], records), Acad::eOk);
    ASSERT_GE(records.grips.length(), 1);
    void* dragged = records.grips[0]->appData();
    const AcDbObjectId untouchedBlock = blockOf(refs[0]);
    {
        Opened<AcDbBlockReference> ref(refs[1], AcDb::kForWrite);
        ASSERT_EQ(ref.status(), Acad::eOk);
        AcDbVoidPtrArray list;
        list.append(dragged);
        // 10 + 3.4 = 13.4: the nearest allowed distance is 12.5. The part of the drag along the
        // normal does nothing.
        EXPECT_EQ(ref->moveGripPointsAt(list, AcGeVector3d(3.4, 0, 7.0), 0), Acad::eOk);
    }
    EXPECT_NEAR(rightEdge(refs[1]), 12.5, 1e-9);
    EXPECT_NEAR(rightEdge(refs[0]), kWidth, 1e-9);
    EXPECT_NEAR(rightEdge(refs[2]), kWidth, 1e-9);
    EXPECT_EQ(blockOf(refs[0]), untouchedBlock);
    EXPECT_EQ(blockOf(refs[2]), untouchedBlock);
    {
        KxDbTagRootData* root = nullptr;
        ASSERT_EQ(KxDbTagRootData::openRootData(db, AcDb::kForRead, root), Acad::eOk);
        KxDbTagRootDataEntryMap entries;
        EXPECT_TRUE(root->getDataEntries(refs[1], entries));
        EXPECT_FALSE(root->getDataEntries(refs[0], entries));
        AcDbObjectId historyId;
        EXPECT_FALSE(root->getHistory(refs[1], historyId));
        root->close();
    }
    release(refs[1], records);
}

TEST_F(GripOverruleTest, RefusesZeroDragsAndPassesHostGripsOn) {
    buildDrawing();
    Records records;
    ASSERT_EQ(offer(refs[0], records), Acad::eOk);
    ASSERT_GE(records.grips.length(), 2);
    Opened<AcDbBlockReference> ref(refs[0], AcDb::kForWrite);
    ASSERT_EQ(ref.status(), Acad::eOk);
    AcDbVoidPtrArray ours;
    ours.append(records.grips[0]->appData());
    EXPECT_EQ(overrule->moveGripPointsAt(ref.get(), ours, AcGeVector3d(0, 0, 0), 0),
              Acad::eInvalidInput);
    EXPECT_EQ(overrule->moveGripPointsAt(ref.get(), AcDbVoidPtrArray(), AcGeVector3d(1, 0, 0), 0),
              Acad::eInvalidInput);
    // The insertion grip is the host's: the reference moves, its parameter stays.
    AcDbVoidPtrArray host;
    host.append(records.grips[records.grips.length() - 1]->appData());
    const AcGePoint3d before = ref->position();
    EXPECT_EQ(ref->moveGripPointsAt(host, AcGeVector3d(1, 2, 0), 0), Acad::eOk);
    EXPECT_TRUE(ref->position().isEqualTo(before + AcGeVector3d(1, 2, 0)));
    ref->gripStatus(AcDb::kGripsToBeDeleted);
    ref.close();
    records.clear();
    EXPECT_NEAR(rightEdge(refs[0]), kWidth, 1e-9);
}

TEST_F(GripOverruleTest, TooltipOutlivesEveryObjectItCameFrom) {
    buildDrawing();
    Records records;
    ASSERT_EQ(offer(refs[0], records), Acad::eOk);
    ASSERT_GE(records.grips.length(), 1);
    const ACHAR* text = kxgrips::gripTooltip(records.grips[0]);
    // Everything the text was read from is closed by now; it is still readable.
    if (text != nullptr) {
        const AcString copy(text);
        EXPECT_EQ(AcString(text), copy);
    }
    AcDbGripData foreign;
    EXPECT_EQ(kxgrips::gripTooltip(&foreign), nullptr);
    EXPECT_EQ(kxgrips::gripTooltip(nullptr), nullptr);
    ACHAR* name = nullptr;
    HMENU menu{};
    ContextMenuItemIndexPtr cb = nullptr;
    AcDbGripDataArray hot;
    EXPECT_EQ(kxgrips::defaultRightClick(hot, refs, name, menu, cb), AcDbGripOperations::eOk);
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(name[0], 27);
    EXPECT_EQ(name[1], 0);
    acutDelBuffer(name);
    release(refs[0], records);
}

TEST(NBAppDataTest, DefaultsAndDimensionListKeepEachRecordOnce) {
    KxDbNimbleBlockNBAppData data(7, AcDbObjectId());
    EXPECT_EQ(data.gripId(), 7u);
    EXPECT_EQ(data.gripIndex(), 4);
    EXPECT_TRUE(data.show());
    EXPECT_TRUE(data.annotative());
    EXPECT_FALSE(data.hasAlternateBasePoint());
    EXPECT_EQ(data.dimensions(), nullptr);
    AcDbDimData a;
    AcDbDimData b;
    EXPECT_TRUE(data.addDimension(&a));
    EXPECT_FALSE(data.addDimension(&a));
    EXPECT_TRUE(data.addDimension(&b));
    EXPECT_FALSE(data.addDimension(nullptr));
    ASSERT_NE(data.dimensions(), nullptr);
    EXPECT_EQ(data.dimensions()->length(), 2);
    data.clearDimensions();
    EXPECT_EQ(data.dimensions()->length(), 0);
    data.setAlternateBasePoint(AcGePoint3d(1, 2, 3));
    EXPECT_TRUE(data.hasAlternateBasePoint());
}

}  // namespace

namespace {

// The classes of the module are known only while it is loaded.
class GripRecordTest : public kxtest::ModuleTest {};

TEST_F(GripRecordTest, AlternateBasePointIsOwnedByTheRecordAndKeptByTheData) {
    KxDbNimbleBlockNBAppData data(3, AcDbObjectId());
    auto* record = new AcDbGripData();
    record->setAppData(&data);
    record->setAppDataAcRxClass(KxDbNimbleBlockNBAppData::desc());
    EXPECT_TRUE(kxgrips::setAlternateBasePoint(record, AcGePoint3d(1, 2, 3)));
    // Replacing it frees the record's earlier copy (a leak checker sees any slip).
    EXPECT_TRUE(kxgrips::setAlternateBasePoint(record, AcGePoint3d(4, 5, 6)));
    ASSERT_NE(record->alternateBasePoint(), nullptr);
    EXPECT_TRUE(record->alternateBasePoint()->isEqualTo(AcGePoint3d(4, 5, 6)));
    EXPECT_TRUE(data.hasAlternateBasePoint());
    EXPECT_TRUE(data.alternateBasePoint().isEqualTo(AcGePoint3d(4, 5, 6)));
    delete record;
    // The data keeps its value after the record is gone.
    EXPECT_TRUE(data.alternateBasePoint().isEqualTo(AcGePoint3d(4, 5, 6)));

    AcDbGripData foreign;
    EXPECT_FALSE(kxgrips::setAlternateBasePoint(&foreign, AcGePoint3d(1, 1, 1)));
    EXPECT_EQ(foreign.alternateBasePoint(), nullptr);
    // Application data of another class is not taken for the module's.
    foreign.setAppData(&data);
    foreign.setAppDataAcRxClass(AcRxObject::desc());
    EXPECT_EQ(kxgrips::appDataOf(&foreign), nullptr);
}

}  // namespace
