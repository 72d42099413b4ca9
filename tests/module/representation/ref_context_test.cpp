// The reference context on hand-made dynamic blocks: binding, the once-per-context load of the
// stored instance data, grip drags through "GRIPLOC", and the records written after a change
// (instance data, history with its merge rules), including damaged history handed back.
#include <gtest/gtest.h>

#include <string>

#include "host/core/heap.h"
#include "host/db/blocktable.h"
#include "host/db/blocktablerecord.h"
#include "host/db/database.h"
#include "host/db/opened.h"
#include "host/db/xrecord.h"
#include "host/entities/blockref.h"
#include "host/entities/line.h"
#include "host/entities/minsert.h"
#include "host/entities/proxyentity.h"
#include "module/graph/eval_graph.h"
#include "module/grips/grip.h"
#include "module/grips/linear_grip.h"
#include "module/params/linear_tag.h"
#include "module/representation/history.h"
#include "module/representation/ref_context.h"
#include "module/rootdata/root_data.h"
#include "support/test_elements.h"

// A parameter that asks for history to be kept.
class KxHistTestParam : public KxTestParam {
    KX_DECLARE_PAIR(KxHistTestParam, KxTestParam)
};

namespace {
class HistImp : public KxTestElementImp {
  public:
    explicit HistImp(AcDbObjectWrapper* pub) : KxTestElementImp(pub, true) {}
    bool wantsHistory() const override { return true; }
};
}  // namespace

// A parameter offering its value as the writable property "Value".
class KxPropTestParam : public KxTestParam {
    KX_DECLARE_PAIR(KxPropTestParam, KxTestParam)

    Acad::ErrorStatus getPropertyDescriptions(KxDbBlockPropertyDescArray& descs) const override {
        descs.append(KxDbBlockPropertyDesc(L"Value", L"Value", 40));
        return Acad::eOk;
    }
    Acad::ErrorStatus getPropertyValueTransformed(const ACHAR* name, const AcGeMatrix3d&,
                                                  KxDbTagEvalVariant& value) const override {
        return getPropertyValue(name, value);
    }
    Acad::ErrorStatus getPropertyValue(const ACHAR* name,
                                       KxDbTagEvalVariant& value) const override {
        if (AcString(name) != AcString(L"Value")) {
            return Acad::eInvalidInput;
        }
        value.setReal(kxtest::testImp(this)->value);
        return Acad::eOk;
    }
    Acad::ErrorStatus setPropertyValueTransformed(const ACHAR* name, const AcGeMatrix3d&,
                                                  const KxDbTagEvalVariant& value) override {
        return setPropertyValue(name, value);
    }
    Acad::ErrorStatus setPropertyValue(const ACHAR* name,
                                       const KxDbTagEvalVariant& value) override {
        if (AcString(name) != AcString(L"Value") || value.type() != 40) {
            return Acad::eInvalidInput;
        }
        assertWriteEnabled();
        kxtest::testImp(this)->value = value.resval.rreal;
        return Acad::eOk;
    }
};

ACRX_DEFINE_MEMBERS(KxPropTestParam)
KxPropTestParam::KxPropTestParam() : KxTestParam(AcDbObjectWrapper::NoImp{}) {
    AcDbObjectWrapper::setImp(this, new KxTestElementImp(this, true));
}
KxPropTestParam::~KxPropTestParam() = default;

ACRX_DEFINE_MEMBERS(KxHistTestParam)
KxHistTestParam::KxHistTestParam() : KxTestParam(AcDbObjectWrapper::NoImp{}) {
    AcDbObjectWrapper::setImp(this, new HistImp(this));
}
KxHistTestParam::~KxHistTestParam() = default;

namespace {

using kxhost::Opened;

class RefContextTest : public kxtest::TestElementsTest {
  protected:
    void SetUp() override {
        kxtest::TestElementsTest::SetUp();
        if (acrxFindAcRxClass(L"KxHistTestParam") == nullptr) {
            KxHistTestParam::descCache() = newAcRxClass(
                L"KxHistTestParam", L"KxTestParam", 33, 55, 1153,
                []() -> AcRxObject* { return new KxHistTestParam(); }, L"KXHISTTESTPARAM",
                L"KXTEST");
        }
        if (acrxFindAcRxClass(L"KxPropTestParam") == nullptr) {
            KxPropTestParam::descCache() = newAcRxClass(
                L"KxPropTestParam", L"KxTestParam", 33, 55, 1153,
                []() -> AcRxObject* { return new KxPropTestParam(); }, L"KXPROPTESTPARAM",
                L"KXTEST");
        }
        acrxBuildClassHierarchy();
        kxhost::resetUnmatchedCloses();
    }
    void TearDown() override {
        EXPECT_EQ(kxhost::unmatchedCloses(), 0);
        for (const ACHAR* name : {L"KxHistTestParam", L"KxPropTestParam"}) {
            if (AcRxClass* cls = acrxFindAcRxClass(name)) {
                deleteAcRxClass(cls);
            }
        }
        KxHistTestParam::descCache() = nullptr;
        KxPropTestParam::descCache() = nullptr;
        kxtest::TestElementsTest::TearDown();
    }

    // A block "B" holding a line, and a graph for it in the root data with a linear parameter
    // from (0,0) to (10,0) with two grips, and a test parameter "P" keeping instance data.
    enum ParamKind { kPlain, kHistory, kProperty };
    void makeDefinition(bool withHistory) { makeDefinitionWith(withHistory ? kHistory : kPlain); }
    void makeDefinitionWith(ParamKind kind) {
        {
            AcDbBlockTable* table = nullptr;
            ASSERT_EQ(db.getBlockTable(table, AcDb::kForWrite), Acad::eOk);
            auto* record = new AcDbBlockTableRecord();
            record->setName(L"B");
            ASSERT_EQ(table->add(blockId, record), Acad::eOk);
            table->close();
            auto* line = new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(10, 0, 0));
            ASSERT_EQ(record->appendAcDbEntity(line), Acad::eOk);
            line->close();
            record->close();
        }
        KxDbTagRootData* root = nullptr;
        ASSERT_EQ(KxDbTagRootData::openRootData(&db, AcDb::kForWrite, true, root), Acad::eOk);
        auto* graph = new KxDbTagEvalGraph();
        ASSERT_EQ(root->setGraph(blockId, graph), Acad::eOk);
        root->close();
        graphId = graph->objectId();

        auto* linear = new KxDbBlockLinearTag();
        linear->setName(L"Distance1");
        linear->setDistanceName(L"Distance1");
        linear->setDefinitionBasePoint(AcGePoint3d(0, 0, 0));
        linear->setDefinitionEndPoint(AcGePoint3d(10, 0, 0));
        ASSERT_EQ(graph->addNode(linear, linearId), Acad::eOk);
        linearObject = linear->objectId();
        linear->close();

        KxTestParam* p = kind == kHistory    ? new KxHistTestParam()
                         : kind == kProperty ? new KxPropTestParam()
                                             : new KxTestParam();
        p->setName(L"P");
        kxtest::testImp(p)->value = 1.0;
        ASSERT_EQ(graph->addNode(p, paramId), Acad::eOk);
        p->close();
        graph->close();

        Opened<KxDbBlockLinearTag> param(linearObject, AcDb::kForWrite);
        ASSERT_EQ(param->setGripCount(2), Acad::eOk);
        endGripId = param->gripId(1);
        ASSERT_NE(endGripId, 0u);
    }

    AcDbObjectId insert(const AcGeScale3d& scale = AcGeScale3d(1, 1, 1)) {
        auto* ref = new AcDbBlockReference(AcGePoint3d(100, 50, 0), blockId);
        ref->setScaleFactors(scale);
        AcDbBlockTableRecord* space = nullptr;
        EXPECT_EQ(acdbOpenObject(space, db.modelSpaceId(), AcDb::kForWrite), Acad::eOk);
        AcDbObjectId id;
        EXPECT_EQ(space->appendAcDbEntity(id, ref), Acad::eOk);
        ref->close();
        space->close();
        return id;
    }

    // One grip drag, as the grip overrule makes it: a fresh context per drag.
    Acad::ErrorStatus drag(const AcDbObjectId& refId, double dx, double dy) {
        Opened<AcDbBlockReference> ref(refId, AcDb::kForWrite);
        KxDbTagRefContext context(kxref::kDefaultKey, ref.get());
        Acad::ErrorStatus es = context.activateNode(endGripId);
        if (es != Acad::eOk) {
            return es;
        }
        return context.setValueAndEvaluate(kxref::kGripLocation,
                                           KxDbTagEvalVariant(AcGePoint3d(dx, dy, 0)));
    }

    double distanceOf(const AcDbObjectId& refId) {
        Opened<AcDbBlockReference> ref(refId, AcDb::kForRead);
        KxDbTagRefContext context(nullptr, ref.get());
        KxDbTagEvalVariant value;
        EXPECT_EQ(context.getPropertyValueUntransformed(KxDbTagParameterEntry(L"", linearId),
                                                        L"Distance1", value),
                  Acad::eOk);
        return value.type() == 40 ? value.resval.rreal : -1.0;
    }

    // The stored history entries of the reference; false when it has none.
    bool history(const AcDbObjectId& refId, std::vector<kxhistory::Entry>& entries, int& version) {
        Opened<AcDbBlockReference> ref(refId, AcDb::kForRead);
        KxDbTagRefContext context(nullptr, ref.get());
        resbuf* chain = nullptr;
        if (context.readHistory(chain) != Acad::eOk) {
            return false;
        }
        EXPECT_EQ(kxhistory::readChain(chain, version, entries), Acad::eOk);
        acutRelRb(chain);
        return true;
    }

    int dataEntryCount(const AcDbObjectId& refId) {
        KxDbTagRootData* root = nullptr;
        EXPECT_EQ(KxDbTagRootData::openRootData(&db, AcDb::kForRead, root), Acad::eOk);
        KxDbTagRootDataEntryMap entries;
        root->getDataEntries(refId, entries);
        root->close();
        return static_cast<int>(entries.size());
    }

    // Stores a data entry for the test parameter holding `value`.
    void storeParamData(const AcDbObjectId& refId, double value, bool hidden = false) {
        KxTestParam* source = kxtest::makeTestParam(L"P", value);
        resbuf* chain = nullptr;
        ASSERT_EQ(source->getInstanceData(chain), Acad::eOk);
        delete source;
        auto* xrecord = new AcDbXrecord();
        ASSERT_EQ(xrecord->setFromRbChain(*chain), Acad::eOk);
        acutRelRb(chain);
        KxDbTagRootData* root = nullptr;
        ASSERT_EQ(KxDbTagRootData::openRootData(&db, AcDb::kForWrite, true, root), Acad::eOk);
        const std::wstring name = std::to_wstring(paramId);
        ASSERT_EQ(hidden ? root->setHDataEntry(refId, name.c_str(), xrecord)
                         : root->setDataEntry(refId, name.c_str(), xrecord),
                  Acad::eOk);
        xrecord->close();
        root->close();
    }

    // The value of the test parameter as a fresh context loads it.
    double paramValueOf(const AcDbObjectId& refId) {
        Opened<AcDbBlockReference> ref(refId, AcDb::kForRead);
        KxDbTagRefContext context(nullptr, ref.get());
        KxDbTagEvalExpr* node = nullptr;
        EXPECT_EQ(context.getNode(paramId, node), Acad::eOk);
        if (node == nullptr) {
            return -1.0;
        }
        const double value = kxtest::testImp(KxTestParam::cast(node))->value;
        node->close();
        return value;
    }

    AcDbDatabase db;
    AcDbObjectId blockId;
    AcDbObjectId graphId;
    AcDbObjectId linearObject;
    KxNodeId linearId = 0;
    KxNodeId paramId = 0;
    KxNodeId endGripId = 0;
};

// --- Binding ------------------------------------------------------------------------------------

TEST_F(RefContextTest, BindingRefusesWhatIsNotAPlainReferenceAndIgnoresOrdinaryBlocks) {
    KxDbTagRefContext none(nullptr, nullptr);
    EXPECT_EQ(none.bindStatus(), Acad::eInvalidInput);
    EXPECT_FALSE(none.isBound());

    // No graph for the block: a reference of an ordinary block binds without error.
    {
        AcDbBlockTable* table = nullptr;
        ASSERT_EQ(db.getBlockTable(table, AcDb::kForWrite), Acad::eOk);
        auto* record = new AcDbBlockTableRecord();
        record->setName(L"Plain");
        ASSERT_EQ(table->add(blockId, record), Acad::eOk);
        record->close();
        table->close();
    }
    const AcDbObjectId plain = insert();
    {
        Opened<AcDbBlockReference> ref(plain, AcDb::kForRead);
        KxDbTagRefContext context(nullptr, ref.get());
        EXPECT_EQ(context.bindStatus(), Acad::eOk);
        EXPECT_FALSE(context.isBound());
        KxDbTagParameterList params;
        EXPECT_NE(context.listParameters(params), Acad::eOk);
        EXPECT_TRUE(params.empty());
    }

    AcDbMInsertBlock minsert(AcGePoint3d(0, 0, 0), blockId, 2, 2, 1.0, 1.0);
    KxDbTagRefContext multi(nullptr, &minsert);
    EXPECT_EQ(multi.bindStatus(), Acad::eWrongObjectType);
    EXPECT_FALSE(multi.isBound());
}

TEST_F(RefContextTest, ADynamicReferenceIsBoundAndNonUniformScalingIsReported) {
    makeDefinition(false);
    const AcDbObjectId uniform = insert(AcGeScale3d(2, 2, 2));
    const AcDbObjectId stretched = insert(AcGeScale3d(1, 3, 1));
    {
        Opened<AcDbBlockReference> ref(uniform, AcDb::kForRead);
        KxDbTagRefContext context(nullptr, ref.get());
        EXPECT_TRUE(context.isBound());
        EXPECT_TRUE(context.isBoundAndUniform());
        EXPECT_EQ(context.definitionId(), blockId);
        KxDbTagParameterList params;
        ASSERT_EQ(context.listParameters(params), Acad::eOk);
        ASSERT_EQ(params.size(), 2u);
        EXPECT_EQ(params[0], KxDbTagParameterEntry(L"Distance1", linearId));
        EXPECT_EQ(params[1], KxDbTagParameterEntry(L"P", paramId));
        // Values come from the private copy under the reference's transform or the identity.
        KxDbTagEvalVariant value;
        EXPECT_EQ(context.getPropertyValueUntransformed(params[0], L"Distance1", value), Acad::eOk);
        EXPECT_DOUBLE_EQ(value.resval.rreal, 10.0);
        EXPECT_EQ(context.getPropertyValue(KxDbTagParameterEntry(L"", 9999), L"Distance1", value),
                  Acad::eInvalidInput);
        EXPECT_EQ(
            context.getPropertyValue(KxDbTagParameterEntry(L"", endGripId), L"Distance1", value),
            Acad::eInvalidInput);
        EXPECT_EQ(context.activateNode(9999), Acad::eInvalidInput);
    }
    {
        Opened<AcDbBlockReference> ref(stretched, AcDb::kForRead);
        KxDbTagRefContext context(nullptr, ref.get());
        EXPECT_TRUE(context.isBound());
        EXPECT_FALSE(context.isBoundAndUniform());
    }
}

// --- Loading the records ------------------------------------------------------------------------

TEST_F(RefContextTest, StoredInstanceDataIsAppliedOnceAndOnLoadNodesReplayedOnce) {
    makeDefinition(false);
    const AcDbObjectId refId = insert();
    storeParamData(refId, 7.5);

    Opened<AcDbBlockReference> ref(refId, AcDb::kForRead);
    KxDbTagRefContext context(nullptr, ref.get());
    kxtest::takeTestElementLog();
    KxDbTagEvalExpr* node = nullptr;
    ASSERT_EQ(context.getNode(paramId, node), Acad::eOk);
    KxTestElementImp* imp = kxtest::testImp(KxTestParam::cast(node));
    ASSERT_NE(imp, nullptr);
    EXPECT_DOUBLE_EQ(imp->value, 7.5);
    EXPECT_EQ(imp->count, 1);
    node->close();

    // Later operations on the same context find the data loaded.
    KxDbTagParameterList params;
    ASSERT_EQ(context.listParameters(params), Acad::eOk);
    ASSERT_EQ(context.activateNode(paramId), Acad::eOk);
    EXPECT_EQ(imp->count, 1);
    int evaluations = 0;
    for (const std::wstring& entry : kxtest::takeTestElementLog()) {
        evaluations += entry == L"P.evaluate" ? 1 : 0;
    }
    EXPECT_EQ(evaluations, 1);

    // The definition itself never sees the reference's value.
    Opened<KxDbTagEvalGraph> graph(graphId, AcDb::kForRead);
    KxDbTagEvalExpr* source = nullptr;
    ASSERT_EQ(graph->getNode(paramId, AcDb::kForRead, source), Acad::eOk);
    EXPECT_DOUBLE_EQ(kxtest::testImp(KxTestParam::cast(source))->value, 1.0);
    source->close();
}

TEST_F(RefContextTest, DamagedInstanceDataIsRefusedWithoutCrashing) {
    makeDefinition(false);
    const AcDbObjectId refId = insert();
    {
        auto* xrecord = new AcDbXrecord();
        resbuf* chain = acutBuildList(1071, 12345, 0);
        ASSERT_EQ(xrecord->setFromRbChain(*chain), Acad::eOk);
        acutRelRb(chain);
        KxDbTagRootData* root = nullptr;
        ASSERT_EQ(KxDbTagRootData::openRootData(&db, AcDb::kForWrite, true, root), Acad::eOk);
        ASSERT_EQ(root->setDataEntry(refId, std::to_wstring(paramId).c_str(), xrecord), Acad::eOk);
        xrecord->close();
        root->close();
    }
    Opened<AcDbBlockReference> ref(refId, AcDb::kForRead);
    KxDbTagRefContext context(nullptr, ref.get());
    KxDbTagParameterList params;
    EXPECT_EQ(context.listParameters(params), Acad::eInvalidInput);
}

// --- Changes and their records ------------------------------------------------------------------

TEST_F(RefContextTest, AChangeNeedsAnActiveNode) {
    makeDefinition(false);
    const AcDbObjectId refId = insert();
    Opened<AcDbBlockReference> ref(refId, AcDb::kForWrite);
    KxDbTagRefContext context(nullptr, ref.get());
    EXPECT_EQ(context.setPropertyAndEvaluate(L"Distance1", KxDbTagEvalVariant(12.0)),
              KxStatus::kNoActiveNode);
    EXPECT_EQ(context.evaluateChange(), KxStatus::kNoActiveNode);
}

TEST_F(RefContextTest, WithoutHistoryWantedADragWritesDataAndClearsAnOldHistory) {
    makeDefinition(false);
    const AcDbObjectId refId = insert();
    {
        resbuf* chain = acutBuildList(1070, 2, 0);
        auto* xrecord = new AcDbXrecord();
        ASSERT_EQ(xrecord->setFromRbChain(*chain), Acad::eOk);
        acutRelRb(chain);
        KxDbTagRootData* root = nullptr;
        ASSERT_EQ(KxDbTagRootData::openRootData(&db, AcDb::kForWrite, true, root), Acad::eOk);
        ASSERT_EQ(root->setHistory(refId, xrecord), Acad::eOk);
        xrecord->close();
        root->close();
    }
    ASSERT_EQ(drag(refId, 3, 0), Acad::eOk);
    std::vector<kxhistory::Entry> entries;
    int version = 0;
    EXPECT_FALSE(history(refId, entries, version));
    EXPECT_GE(dataEntryCount(refId), 1);
    EXPECT_NEAR(distanceOf(refId), 13.0, 1e-9);

    // Repeated changes keep one data record per element.
    const int records = dataEntryCount(refId);
    ASSERT_EQ(drag(refId, 1, 0), Acad::eOk);
    ASSERT_EQ(drag(refId, 1, 0), Acad::eOk);
    EXPECT_EQ(dataEntryCount(refId), records);
    EXPECT_NEAR(distanceOf(refId), 15.0, 1e-9);
}

TEST_F(RefContextTest, DragsOfOneGripAccumulateIntoOneHistoryEntryAndCancelOut) {
    makeDefinition(true);
    const AcDbObjectId refId = insert();
    ASSERT_EQ(drag(refId, 3, 0), Acad::eOk);
    ASSERT_EQ(drag(refId, 2, 0), Acad::eOk);
    EXPECT_NEAR(distanceOf(refId), 15.0, 1e-9);

    std::vector<kxhistory::Entry> entries;
    int version = 0;
    ASSERT_TRUE(history(refId, entries, version));
    EXPECT_EQ(version, 2);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].nodeId, endGripId);
    EXPECT_EQ(entries[0].name, AcString(L"GRIPLOC"));
    EXPECT_EQ(entries[0].value.type(), 11);
    EXPECT_NEAR(entries[0].value.point().x, 5.0, 1e-9);
    EXPECT_NEAR(entries[0].value.point().y, 0.0, 1e-9);

    // A property change of another node is appended after it.
    {
        Opened<AcDbBlockReference> ref(refId, AcDb::kForWrite);
        KxDbTagRefContext context(nullptr, ref.get());
        ASSERT_EQ(context.activateNode(linearId), Acad::eOk);
        ASSERT_EQ(context.setPropertyAndEvaluate(L"Distance1", KxDbTagEvalVariant(12.0)),
                  Acad::eOk);
    }
    ASSERT_TRUE(history(refId, entries, version));
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[1].nodeId, linearId);
    EXPECT_EQ(entries[1].name, AcString(L"Distance1"));
    EXPECT_NEAR(distanceOf(refId), 12.0, 1e-9);
    {
        Opened<AcDbBlockReference> ref(refId, AcDb::kForWrite);
        KxDbTagRefContext context(nullptr, ref.get());
        ASSERT_EQ(context.activateNode(linearId), Acad::eOk);
        ASSERT_EQ(context.setPropertyAndEvaluate(L"Distance1", KxDbTagEvalVariant(15.0)),
                  Acad::eOk);
    }
    // The same property again replaces its entry.
    ASSERT_TRUE(history(refId, entries, version));
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_NEAR(entries[1].value.resval.rreal, 15.0, 1e-9);
}

TEST_F(RefContextTest, DraggingBackToTheStartRemovesTheEntry) {
    makeDefinition(true);
    const AcDbObjectId refId = insert();
    ASSERT_EQ(drag(refId, 3, 0), Acad::eOk);
    ASSERT_EQ(drag(refId, 2, 0), Acad::eOk);
    ASSERT_EQ(drag(refId, -5, 0), Acad::eOk);
    std::vector<kxhistory::Entry> entries;
    int version = 0;
    ASSERT_TRUE(history(refId, entries, version));
    EXPECT_TRUE(entries.empty());
    EXPECT_NEAR(distanceOf(refId), 10.0, 1e-9);
}

TEST_F(RefContextTest, ReplayingAHistoryRebuildsTheStateAndDropsWhatNoLongerApplies) {
    makeDefinition(true);
    const AcDbObjectId refId = insert();
    // A good grip entry, one for a node the graph does not have, then a damaged tail.
    const double four[3] = {4, 0, 0};
    const double one[3] = {1, 0, 0};
    resbuf* chain =
        acutBuildList(1070, 2, 1071, static_cast<int>(endGripId), 300, L"GRIPLOC", 11, four, 1071,
                      777, 300, L"GRIPLOC", 11, one, 1071, static_cast<int>(endGripId), 40, 1.0, 0);
    ASSERT_NE(chain, nullptr);
    {
        Opened<AcDbBlockReference> ref(refId, AcDb::kForWrite);
        KxDbTagRefContext context(nullptr, ref.get());
        EXPECT_EQ(context.replayHistory(chain), Acad::eOk);
        // A chain without its version item is refused.
        EXPECT_EQ(context.replayHistory(chain->rbnext), Acad::eInvalidInput);
        EXPECT_EQ(context.replayHistory(nullptr), Acad::eInvalidInput);
    }
    acutRelRb(chain);
    EXPECT_NEAR(distanceOf(refId), 14.0, 1e-9);
    std::vector<kxhistory::Entry> entries;
    int version = 0;
    ASSERT_TRUE(history(refId, entries, version));
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].nodeId, endGripId);
}

TEST_F(RefContextTest, RebuildingFromHistoryGivesTheSameState) {
    makeDefinition(true);
    const AcDbObjectId refId = insert();
    ASSERT_EQ(drag(refId, 3, 0), Acad::eOk);
    ASSERT_EQ(drag(refId, 1, 0), Acad::eOk);
    {
        Opened<AcDbBlockReference> ref(refId, AcDb::kForWrite);
        KxDbTagRefContext context(nullptr, ref.get());
        EXPECT_EQ(context.rebuildFromRecords(), Acad::eOk);
    }
    EXPECT_NEAR(distanceOf(refId), 14.0, 1e-9);
}

TEST_F(RefContextTest, RebuildingWithoutHistoryKeepsTheStoredState) {
    makeDefinitionWith(kProperty);
    const AcDbObjectId refId = insert();
    storeParamData(refId, 7.5);
    {
        Opened<AcDbBlockReference> ref(refId, AcDb::kForWrite);
        KxDbTagRefContext context(nullptr, ref.get());
        EXPECT_EQ(context.rebuildFromRecords(), Acad::eOk);
    }
    EXPECT_DOUBLE_EQ(paramValueOf(refId), 7.5);
    EXPECT_GE(dataEntryCount(refId), 1);

    // Hidden data, when a reference has some, is the state to rebuild from.
    storeParamData(refId, 3.25, true);
    {
        Opened<AcDbBlockReference> ref(refId, AcDb::kForWrite);
        KxDbTagRefContext context(nullptr, ref.get());
        EXPECT_EQ(context.rebuildFromRecords(), Acad::eOk);
    }
    EXPECT_DOUBLE_EQ(paramValueOf(refId), 3.25);
}

TEST_F(RefContextTest, AChangeWhoseHistoryCannotBeRecordedLeavesTheOldRecords) {
    makeDefinition(true);
    const AcDbObjectId refId = insert();
    ASSERT_EQ(drag(refId, 3, 0), Acad::eOk);
    KxNodeId expressionId = 0;
    {
        Opened<KxDbTagEvalGraph> graph(graphId, AcDb::kForRead);
        KxDbTagEvalExpr* node = nullptr;
        ASSERT_EQ(graph->getNode(endGripId, AcDb::kForRead, node), Acad::eOk);
        expressionId = KxDbTagGrip::cast(node)->xExpressionId();
        node->close();
    }
    ASSERT_NE(expressionId, 0u);
    const int records = dataEntryCount(refId);
    {
        // A grip expression is neither a grip nor a parameter: no history value can be made.
        Opened<AcDbBlockReference> ref(refId, AcDb::kForWrite);
        KxDbTagRefContext context(nullptr, ref.get());
        ASSERT_EQ(context.activateNode(expressionId), Acad::eOk);
        EXPECT_EQ(context.setValueAndEvaluate(L"Anything", KxDbTagEvalVariant(1.0)),
                  Acad::eInvalidInput);
        EXPECT_EQ(context.activeNode(), 0u);
    }
    EXPECT_EQ(dataEntryCount(refId), records);
    EXPECT_NEAR(distanceOf(refId), 13.0, 1e-9);
    std::vector<kxhistory::Entry> entries;
    int version = 0;
    ASSERT_TRUE(history(refId, entries, version));
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_NEAR(entries[0].value.point().x, 3.0, 1e-9);
}

TEST_F(RefContextTest, GripsAreOfferedOnlyWhenTheyDriveSomething) {
    makeDefinition(false);
    KxNodeId loneId = 0;
    {
        Opened<KxDbTagEvalGraph> graph(graphId, AcDb::kForWrite);
        auto* lone = new KxDbTagLinearGrip();
        ASSERT_EQ(graph->addNode(lone, loneId), Acad::eOk);
        lone->close();
    }
    const AcDbObjectId refId = insert();
    Opened<AcDbBlockReference> ref(refId, AcDb::kForRead);
    KxDbTagRefContext context(nullptr, ref.get());
    KxNodeIdArray ids;
    ASSERT_EQ(context.listGrips(ids), Acad::eOk);
    // The linear parameter's grips move nothing without an action; a grip of its own is offered.
    ASSERT_EQ(ids.length(), 1);
    EXPECT_EQ(ids[0], loneId);
}

TEST_F(RefContextTest, AReferenceOfADefinitionWithProxyEntitiesCannotBeChanged) {
    makeDefinition(false);
    {
        Opened<AcDbBlockTableRecord> block(blockId, AcDb::kForWrite);
        auto* proxy = new AcDbProxyEntity();
        ASSERT_EQ(block->appendAcDbEntity(proxy), Acad::eOk);
        proxy->close();
    }
    const AcDbObjectId refId = insert();
    Opened<AcDbBlockReference> ref(refId, AcDb::kForWrite);
    KxDbTagRefContext context(nullptr, ref.get());
    EXPECT_TRUE(context.definitionHasProxyEntities());
    ASSERT_EQ(context.activateNode(endGripId), Acad::eOk);
    EXPECT_EQ(
        context.setValueAndEvaluate(kxref::kGripLocation, KxDbTagEvalVariant(AcGePoint3d(1, 0, 0))),
        kxref::kCannotChange);
}

}  // namespace
