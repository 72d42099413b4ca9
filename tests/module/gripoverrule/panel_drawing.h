// The drawing the grip-editing suites work on: a 10 x 20 panel whose right edge a linear
// parameter (two grips) stretches, inserted three times side by side, with the helpers the suites
// read it back through.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>

#include "host/db/blocktablerecord.h"
#include "host/db/database.h"
#include "host/entities/blockref.h"
#include "host/entities/polyline.h"
#include "module/grips/grip_overrule.h"
#include "module/rootdata/root_data.h"
#include "support/module_loader.h"
#include "tools/authoring/authoring.h"

namespace paneltest {

constexpr double kWidth = 10.0;
constexpr double kHeight = 20.0;
constexpr double kSpacing = 50.0;

class PanelTest : public kxtest::ModuleTest {
  protected:
    void SetUp() override {
        kxtest::ModuleTest::SetUp();
        kxhost::resetUnmatchedCloses();
        db = new AcDbDatabase(true, true);
    }
    void TearDown() override {
        EXPECT_EQ(kxhost::unmatchedCloses(), 0);
        if (KxDbNimbleBlockGripOverrule* overrule = KxDbNimbleBlockGripOverrule::instance()) {
            EXPECT_EQ(overrule->heldReferenceCount(), 0);
        }
        delete db;
        kxtest::ModuleTest::TearDown();
    }

    // A 10 x 20 panel whose right edge a linear parameter stretches, with the given value set,
    // inserted three times side by side.
    void buildPanel(const kxauthor::ValueSetSpec& values) {
        kxauthor::Author author(db);
        author.rootData().definition(L"PANEL",
                                     {kxauthor::rectangle(AcGePoint2d(0, 0), kWidth, kHeight)});
        author.graph().linear(AcGePoint3d(0, 0, 0), AcGePoint3d(kWidth, 0, 0), L"Width", 2);
        author.valueSet(values);
        ASSERT_TRUE(author.ok()) << author.status();
        definitionId = author.definitionId();
        parameterId = author.parameterId();
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
            ASSERT_EQ(kxauthor::insertReference(db, definitionId, AcGePoint3d(kSpacing * i, 0, 0),
                                                0.0, 1.0, refId),
                      Acad::eOk);
            refs.append(refId);
        }
    }

    static AcDbObjectId firstEntity(const AcDbObjectId& btrId) {
        AcDbBlockTableRecord* btr = nullptr;
        AcDbObjectId id;
        if (acdbOpenObject(btr, btrId, AcDb::kForRead) != Acad::eOk) {
            return id;
        }
        AcDbBlockTableRecordIterator* it = nullptr;
        if (btr->newIterator(it) == Acad::eOk) {
            it->start();
            if (!it->done()) {
                it->getEntityId(id);
            }
            delete it;
        }
        btr->close();
        return id;
    }
    static AcDbObjectId blockOf(const AcDbObjectId& refId) {
        AcDbBlockReference* ref = nullptr;
        if (acdbOpenObject(ref, refId, AcDb::kForRead) != Acad::eOk) {
            return AcDbObjectId();
        }
        const AcDbObjectId id = ref->blockTableRecord();
        ref->close();
        return id;
    }
    static AcGePoint3d positionOf(const AcDbObjectId& refId) {
        AcDbBlockReference* ref = nullptr;
        if (acdbOpenObject(ref, refId, AcDb::kForRead) != Acad::eOk) {
            return AcGePoint3d(-1e300, -1e300, -1e300);
        }
        const AcGePoint3d p = ref->position();
        ref->close();
        return p;
    }
    static AcGeMatrix3d transformOf(const AcDbObjectId& refId) {
        AcDbBlockReference* ref = nullptr;
        if (acdbOpenObject(ref, refId, AcDb::kForRead) != Acad::eOk) {
            return AcGeMatrix3d::scaling(0.0);
        }
        const AcGeMatrix3d m = ref->blockTransform();
        ref->close();
        return m;
    }
    // The panel's right edge in the reference's block (definition coordinates).
    static double rightEdge(const AcDbObjectId& refId) {
        AcDbPolyline* pline = nullptr;
        double right = -1e300;
        if (acdbOpenObject(pline, firstEntity(blockOf(refId)), AcDb::kForRead) != Acad::eOk) {
            return right;
        }
        for (unsigned i = 0; i < pline->numVerts(); ++i) {
            AcGePoint2d p;
            pline->getPointAt(i, p);
            right = std::max(right, p.x);
        }
        pline->close();
        return right;
    }
    bool hasHistory(const AcDbObjectId& refId) {
        KxDbTagRootData* root = nullptr;
        if (KxDbTagRootData::openRootData(db, AcDb::kForRead, root) != Acad::eOk) {
            return false;
        }
        AcDbObjectId historyId;
        const bool has = root->getHistory(refId, historyId);
        root->close();
        return has;
    }
    bool hasInstanceData(const AcDbObjectId& refId) {
        KxDbTagRootData* root = nullptr;
        if (KxDbTagRootData::openRootData(db, AcDb::kForRead, root) != Acad::eOk) {
            return false;
        }
        KxDbTagRootDataEntryMap entries;
        const bool has = root->getDataEntries(refId, entries) && !entries.empty();
        root->close();
        return has;
    }

    AcDbDatabase* db = nullptr;
    AcDbObjectId definitionId;
    AcDbObjectId parameterId;
    AcDbObjectIdArray refs;
};

}  // namespace paneltest
