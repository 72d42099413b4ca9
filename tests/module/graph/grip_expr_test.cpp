// The grip expression: reading a parameter's connection value through the graph, its value
// setters, and its DWG and DXF records.
#include <gtest/gtest.h>

#include "host/db/dwgfiler.h"
#include "host/db/dxffiler.h"
#include "module/graph/eval_graph.h"
#include "module/grips/grip_expr.h"
#include "support/test_elements.h"

namespace {

using Filer = kxhost::DwgMemoryFiler;
using DxfFiler = kxhost::DxfMemoryFiler;

class GripExprTest : public kxtest::TestElementsTest {
  protected:
    void SetUp() override {
        kxtest::TestElementsTest::SetUp();
        graph = new KxDbTagEvalGraph();
        param = kxtest::makeTestParam(L"Param", 2.5);
        action = kxtest::makeTestAction(L"Action", 4.0);
        expr = new KxDbTagGripExpr();
        ASSERT_EQ(graph->addNode(param, paramId), Acad::eOk);
        ASSERT_EQ(graph->addNode(action, actionId), Acad::eOk);
        ASSERT_EQ(graph->addNode(expr, exprId), Acad::eOk);
    }
    void TearDown() override {
        delete graph;
        kxtest::TestElementsTest::TearDown();
    }

    KxDbTagEvalGraph* graph = nullptr;
    KxTestParam* param = nullptr;
    KxTestAction* action = nullptr;
    KxDbTagGripExpr* expr = nullptr;
    KxNodeId paramId = 0;
    KxNodeId actionId = 0;
    KxNodeId exprId = 0;
};

TEST_F(GripExprTest, ReadsTheParametersConnectionValue) {
    expr->setTargetNodeId(paramId);
    expr->setTargetConnectionName(L"value");
    ASSERT_EQ(expr->evaluate(nullptr), Acad::eOk);
    ASSERT_EQ(expr->getValue().type(), 40);
    EXPECT_EQ(expr->getValue().resval.rreal, 2.5);

    expr->setTargetConnectionName(L"Count");
    ASSERT_EQ(expr->evaluate(nullptr), Acad::eOk);
    ASSERT_EQ(expr->getValue().type(), 90);
}

TEST_F(GripExprTest, FailuresKeepTheValue) {
    EXPECT_EQ(expr->setRealValue(9.0), 40);
    // No target.
    expr->setTargetConnectionName(L"Value");
    EXPECT_EQ(expr->evaluate(nullptr), KxStatus::kNotInGraph);
    // A target that is not a parameter.
    expr->setTargetNodeId(actionId);
    EXPECT_EQ(expr->evaluate(nullptr), Acad::eWrongObjectType);
    // A connection the parameter does not have: the parameter's status.
    expr->setTargetNodeId(paramId);
    expr->setTargetConnectionName(L"Nope");
    EXPECT_EQ(expr->evaluate(nullptr), Acad::eInvalidInput);
    // A target the graph does not know.
    expr->setTargetNodeId(99);
    EXPECT_NE(expr->evaluate(nullptr), Acad::eOk);
    ASSERT_EQ(expr->getValue().type(), 40);
    EXPECT_EQ(expr->getValue().resval.rreal, 9.0);

    // Outside a graph.
    KxDbTagGripExpr loose;
    loose.setTargetNodeId(paramId);
    EXPECT_EQ(loose.evaluate(nullptr), KxStatus::kNotInGraph);
}

TEST_F(GripExprTest, ValueSetters) {
    EXPECT_EQ(expr->setIntegerValue(-7), 70);
    ASSERT_EQ(expr->getValue().type(), 70);
    EXPECT_EQ(expr->getValue().resval.rint, -7);
    EXPECT_EQ(expr->setRealValue(0.25), 40);
    EXPECT_EQ(expr->getValue().resval.rreal, 0.25);
}

TEST_F(GripExprTest, DwgRoundTripAndTheIdFilers) {
    expr->setTargetNodeId(paramId);
    expr->setTargetConnectionName(L"UpdatedX");
    Filer f;
    ASSERT_EQ(expr->dwgOut(&f), Acad::eOk);
    KxDbTagGripExpr back;
    f.rewind();
    ASSERT_EQ(back.dwgIn(&f), Acad::eOk);
    EXPECT_EQ(back.targetNodeId(), paramId);
    EXPECT_EQ(back.targetConnectionName(), AcString(L"UpdatedX"));
    EXPECT_EQ(back.getNodeId(), exprId);

    // The id filers see only the node part.
    KxDbTagEvalExpr plain;
    plain.setNodeId(exprId);
    for (AcDb::FilerType type : {AcDb::kIdXlateFiler, AcDb::kIdFiler, AcDb::kPurgeFiler}) {
        Filer exprOut(type);
        Filer plainOut(type);
        expr->dwgOut(&exprOut);
        plain.dwgOut(&plainOut);
        EXPECT_TRUE(exprOut.sameItems(plainOut)) << type;
    }
    Filer xlate(AcDb::kIdXlateFiler);
    plain.dwgOut(&xlate);
    xlate.rewind();
    ASSERT_EQ(back.dwgIn(&xlate), Acad::eOk);
    EXPECT_EQ(back.targetNodeId(), paramId);
    EXPECT_EQ(back.targetConnectionName(), AcString(L"UpdatedX"));
}

TEST_F(GripExprTest, DxfRoundTrip) {
    expr->setTargetNodeId(paramId);
    expr->setTargetConnectionName(L"UpdatedY");
    expr->setRealValue(1.0);
    DxfFiler f;
    ASSERT_EQ(expr->dxfOut(&f), Acad::eOk);
    const auto& items = f.items();
    const int n = f.itemCount();
    ASSERT_GE(n, 3);
    EXPECT_EQ(items[n - 3].text, L"AcDbBlockGripExpr");
    EXPECT_EQ(items[n - 2].code, 91);
    EXPECT_EQ(items[n - 1].code, 300);

    KxDbTagGripExpr back;
    f.rewind();
    ASSERT_EQ(back.dxfIn(&f), Acad::eOk);
    EXPECT_EQ(back.targetNodeId(), paramId);
    EXPECT_EQ(back.targetConnectionName(), AcString(L"UpdatedY"));
    EXPECT_EQ(back.getValue().resval.rreal, 1.0);
}

DxfFiler gripExprDxf(bool target, bool name, bool marker) {
    DxfFiler f;
    f.writeString(100, L"AcDbEvalExpr");
    f.writeInt32(90, 3);
    f.writeInt32(98, 33);
    f.writeInt32(99, 228);
    if (marker) {
        f.writeString(100, L"AcDbBlockGripExpr");
    }
    if (name) {
        f.writeString(300, L"UpdatedX");
    }
    if (target) {
        f.writeInt32(91, 8);
    }
    f.writeString(100, L"Next");
    f.rewind();
    return f;
}

TEST_F(GripExprTest, DxfRequiresTheMarkerTargetAndName) {
    KxDbTagGripExpr e;
    DxfFiler ok = gripExprDxf(true, true, true);
    ASSERT_EQ(e.dxfIn(&ok), Acad::eOk);
    EXPECT_EQ(e.targetNodeId(), 8u);
    EXPECT_TRUE(ok.atSubclassData(L"Next"));

    KxDbTagGripExpr a;
    DxfFiler noName = gripExprDxf(true, false, true);
    EXPECT_EQ(a.dxfIn(&noName), Acad::eMissingDxfField);
    DxfFiler noTarget = gripExprDxf(false, true, true);
    EXPECT_EQ(a.dxfIn(&noTarget), Acad::eMissingDxfField);
    DxfFiler noMarker = gripExprDxf(true, true, false);
    EXPECT_NE(a.dxfIn(&noMarker), Acad::eOk);
    EXPECT_EQ(a.targetNodeId(), 0u);
}

}  // namespace
