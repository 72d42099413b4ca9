#include "panel_drawing.h"

#include <gtest/gtest.h>

#include "host/core/resbuf.h"
#include "host/db/blocktablerecord.h"
#include "host/entities/blockref.h"
#include "module/params/linear_tag.h"
#include "module/representation/ref_context.h"
#include "tools/authoring/authoring.h"

namespace kxdxftest {

void buildPanelDrawing(AcDbDatabase* db, PanelDrawing& out) {
    kxauthor::Author author(db);
    author.rootData()
        .definition(L"PANEL", {kxauthor::rectangle(AcGePoint2d(0, 0), 10, 5)})
        .graph()
        .linear(AcGePoint3d(0, 0, 0), AcGePoint3d(10, 0, 0), kWidth, 2)
        .valueSet(kxauthor::ValueSetSpec::grid(1.0, 2.0, 40.0))
        .reference(AcGePoint3d(0, 0, 0))
        .reference(AcGePoint3d(50, 0, 0), 0.5, 2.0)
        .reference(AcGePoint3d(0, 40, 0));
    ASSERT_TRUE(author.ok()) << author.status();
    out.definitionId = author.definitionId();
    out.refIds = author.referenceIds();
    AcDbObjectIdArray selection;
    {
        Opened<AcDbBlockTableRecord> btr(out.definitionId, AcDb::kForRead);
        ASSERT_EQ(btr.status(), Acad::eOk);
        AcDbBlockTableRecordIterator* it = nullptr;
        ASSERT_EQ(btr->newIterator(it), Acad::eOk);
        for (it->start(); !it->done(); it->step()) {
            AcDbObjectId id;
            it->getEntityId(id);
            selection.append(id);
        }
        delete it;
    }
    AcDbObjectId actionId;
    ASSERT_EQ(
        kxauthor::addStretchAction(db, author.graphId(), author.parameterId(), selection,
                                   AcGePoint2d(5, -1), AcGePoint2d(11, 6), L"Stretch", actionId),
        Acad::eOk);
    {
        // Extended data after a parameter's own groups of the 1010-1071 range: the file must
        // tell the two apart.
        Opened<KxDbBlockLinearTag> linear(author.parameterId(), AcDb::kForWrite);
        ASSERT_EQ(linear.status(), Acad::eOk);
        out.paramNode = linear->getNodeId();
        resbuf* xd = acutBuildList(1001, L"KXDXFTEST", 1000, L"panel", 1071, 77, 1040, 2.5, 0);
        EXPECT_EQ(linear->setXData(xd), Acad::eOk);
        acutRelRb(xd);
    }
    out.parameterId = author.parameterId();
    ASSERT_EQ(setWidth(out.refIds[1], out.paramNode, 14.0 * 2.0), Acad::eOk);
    // The change gave the reference an anonymous block of its own.
    ASSERT_NE(blockOf(out.refIds[1]), out.definitionId);
    Opened<AcDbBlockTableRecord> own(blockOf(out.refIds[1]), AcDb::kForRead);
    ASSERT_EQ(own.status(), Acad::eOk);
    EXPECT_TRUE(own->isAnonymous());
}

Acad::ErrorStatus setWidth(const AcDbObjectId& refId, KxNodeId paramNode, double width) {
    Opened<AcDbBlockReference> ref(refId, AcDb::kForWrite);
    if (ref.status() != Acad::eOk) {
        return ref.status();
    }
    KxDbTagRefContext context(kxref::kDefaultKey, ref.get());
    Acad::ErrorStatus es = context.activateNode(paramNode);
    if (es == Acad::eOk) {
        es = context.setPropertyAndEvaluate(kWidth, KxDbTagEvalVariant(width));
    }
    return es;
}

AcDbObjectId blockOf(const AcDbObjectId& refId) {
    Opened<AcDbBlockReference> ref(refId, AcDb::kForRead);
    return ref.get() != nullptr ? ref->blockTableRecord() : AcDbObjectId();
}

std::string narrow(const AcString& text) {
    const std::wstring wide(text.kwszPtr());
    std::string out;
    for (wchar_t c : wide) {
        out += c < 128 ? static_cast<char>(c) : '?';
    }
    return out;
}

}  // namespace kxdxftest
