// The transformation step, run directly on a reference's representation: entities move in
// definition coordinates, the reference's constant or locked attributes by the same change seen
// in world coordinates, and free attributes keep the place the user gave them.
#include <gtest/gtest.h>

#include "host/db/blocktable.h"
#include "host/db/blocktablerecord.h"
#include "host/db/database.h"
#include "host/entities/attdef.h"
#include "host/entities/attrib.h"
#include "host/entities/blockref.h"
#include "host/entities/line.h"
#include "module/actions/action_imp.h"
#include "module/actions/action_transform.h"
#include "module/actions/move_action.h"
#include "module/graph/eval_context.h"
#include "module/representation/representation_context.h"
#include "support/module_loader.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

class TransformStepTest : public kxtest::ModuleTest {
  protected:
    void SetUp() override {
        kxtest::ModuleTest::SetUp();
        kxhost::resetUnmatchedCloses();
        db = new AcDbDatabase(true, true);
        AcDbBlockTable* table = nullptr;
        ASSERT_EQ(db->getBlockTable(table, AcDb::kForWrite), Acad::eOk);
        auto* record = new AcDbBlockTableRecord();
        record->setName(L"AT");
        ASSERT_EQ(table->add(defId, record), Acad::eOk);
        table->close();
        record->close();
        lineId = append(defId, new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(10, 0, 0)));
        otherLineId = append(defId, new AcDbLine(AcGePoint3d(0, 9, 0), AcGePoint3d(10, 9, 0)));
        auto* free = new AcDbAttributeDefinition(AcGePoint3d(0, -2, 0), L"f", L"FREE", L"Free");
        auto* constant =
            new AcDbAttributeDefinition(AcGePoint3d(0, -4, 0), L"c", L"CONST", L"Const");
        constant->setConstant(true);
        auto* locked = new AcDbAttributeDefinition(AcGePoint3d(0, -6, 0), L"l", L"LOCK", L"Lock");
        locked->setLockPositionInBlock(true);
        freeDef = append(defId, free);
        constDef = append(defId, constant);
        lockDef = append(defId, locked);

        // A reference turned by 90 degrees, with the attributes of the two variable
        // definitions.
        auto* ref = new AcDbBlockReference(AcGePoint3d(100, 0, 0), defId);
        ref->setRotation(kPi / 2);
        refId = append(db->modelSpaceId(), ref);
        AcDbBlockReference* open = nullptr;
        ASSERT_EQ(acdbOpenObject(open, refId, AcDb::kForWrite), Acad::eOk);
        for (const AcDbObjectId& defIdOfAttr : {freeDef, lockDef}) {
            AcDbAttributeDefinition* def = nullptr;
            ASSERT_EQ(acdbOpenObject(def, defIdOfAttr, AcDb::kForRead), Acad::eOk);
            auto* attribute = new AcDbAttribute();
            ASSERT_EQ(attribute->setAttributeFromBlock(def, open->blockTransform()), Acad::eOk);
            def->close();
            AcDbObjectId attId;
            ASSERT_EQ(open->appendAttribute(attId, attribute), Acad::eOk);
            (defIdOfAttr == freeDef ? freeAtt : lockAtt) = attId;
            attribute->close();
        }
        open->close();
    }
    void TearDown() override {
        EXPECT_EQ(kxhost::unmatchedCloses(), 0);
        delete db;
        kxtest::ModuleTest::TearDown();
    }

    AcDbObjectId append(const AcDbObjectId& blockId, AcDbEntity* ent) {
        AcDbBlockTableRecord* block = nullptr;
        EXPECT_EQ(acdbOpenObject(block, blockId, AcDb::kForWrite), Acad::eOk);
        AcDbObjectId id;
        EXPECT_EQ(block->appendAcDbEntity(id, ent), Acad::eOk);
        ent->close();
        block->close();
        return id;
    }
    static AcGePoint3d positionOf(const AcDbObjectId& id) {
        AcDbText* text = nullptr;
        if (acdbOpenObject(text, id, AcDb::kForRead) != Acad::eOk) {
            return AcGePoint3d(-999, -999, -999);
        }
        const AcGePoint3d at = text->position();
        text->close();
        return at;
    }
    // The copy of a definition entity in the reference's representation block.
    AcGePoint3d copyPosition(const AcDbObjectId& refBlock, const ACHAR* tag) {
        AcGePoint3d at(-999, -999, -999);
        AcDbBlockTableRecord* btr = nullptr;
        if (acdbOpenObject(btr, refBlock, AcDb::kForRead) != Acad::eOk) {
            return at;
        }
        AcDbBlockTableRecordIterator* it = nullptr;
        if (btr->newIterator(it) == Acad::eOk) {
            for (it->start(); !it->done(); it->step()) {
                AcDbEntity* ent = nullptr;
                if (it->getEntity(ent, AcDb::kForRead) != Acad::eOk) {
                    continue;
                }
                if (AcDbAttributeDefinition* def = AcDbAttributeDefinition::cast(ent)) {
                    if (def->tag() == AcString(tag)) {
                        at = def->position();
                    }
                }
                ent->close();
            }
            delete it;
        }
        btr->close();
        return at;
    }
    AcGePoint3d lineStartIn(const AcDbObjectId& refBlock, double y) {
        AcGePoint3d at(-999, -999, -999);
        AcDbBlockTableRecord* btr = nullptr;
        if (acdbOpenObject(btr, refBlock, AcDb::kForRead) != Acad::eOk) {
            return at;
        }
        AcDbBlockTableRecordIterator* it = nullptr;
        if (btr->newIterator(it) == Acad::eOk) {
            for (it->start(); !it->done(); it->step()) {
                AcDbEntity* ent = nullptr;
                if (it->getEntity(ent, AcDb::kForRead) != Acad::eOk) {
                    continue;
                }
                if (AcDbLine* line = AcDbLine::cast(ent)) {
                    if (std::abs(line->endPoint().y - y) < 1e-9) {
                        at = line->startPoint();
                    }
                }
                ent->close();
            }
            delete it;
        }
        btr->close();
        return at;
    }

    AcDbDatabase* db = nullptr;
    AcDbObjectId defId, lineId, otherLineId, freeDef, constDef, lockDef, refId, freeAtt, lockAtt;
};

TEST_F(TransformStepTest, EntitiesAndFixedAttributesMoveFreeAttributesStay) {
    const AcGePoint3d freeBefore = positionOf(freeAtt);
    const AcGePoint3d lockBefore = positionOf(lockAtt);
    AcDbBlockReference* ref = nullptr;
    ASSERT_EQ(acdbOpenObject(ref, refId, AcDb::kForWrite), Acad::eOk);
    {
        KxDbTagRepresentationContext rep(ref);
        KxDbTagEvalContext context;
        context.addPair(KxDbTagEvalContextPair(KX_EVAL_KEY_REFERENCE, ref));
        context.addPair(KxDbTagEvalContextPair(KX_EVAL_KEY_REPRESENTATION, &rep));
        KxDbTagMoveAction action;
        AcDbObjectIdArray selection;
        for (const AcDbObjectId& id : {lineId, freeDef, constDef, lockDef}) {
            selection.append(id);
        }
        EXPECT_EQ(kxaction::transformSelection(*kxImpOf<KxDbImpTagAction>(&action),
                                               AcGeMatrix3d::translation(AcGeVector3d(1, 0, 0)),
                                               selection, &context),
                  Acad::eOk);
    }
    const AcDbObjectId refBlock = ref->blockTableRecord();
    ref->close();
    ASSERT_NE(refBlock, defId);

    EXPECT_TRUE(lineStartIn(refBlock, 0.0).isEqualTo(AcGePoint3d(1, 0, 0)));
    EXPECT_TRUE(lineStartIn(refBlock, 9.0).isEqualTo(AcGePoint3d(0, 9, 0)));
    EXPECT_TRUE(copyPosition(refBlock, L"FREE").isEqualTo(AcGePoint3d(0, -2, 0)));
    EXPECT_TRUE(copyPosition(refBlock, L"CONST").isEqualTo(AcGePoint3d(1, -4, 0)));
    EXPECT_TRUE(copyPosition(refBlock, L"LOCK").isEqualTo(AcGePoint3d(1, -6, 0)));
    // In the world the reference is turned by 90 degrees: +X of the block is +Y.
    EXPECT_TRUE(positionOf(freeAtt).isEqualTo(freeBefore));
    EXPECT_TRUE(positionOf(lockAtt).isEqualTo(lockBefore + AcGeVector3d(0, 1, 0)))
        << positionOf(lockAtt).x << "," << positionOf(lockAtt).y;
    // The definition is untouched.
    EXPECT_TRUE(positionOf(constDef).isEqualTo(AcGePoint3d(0, -4, 0)));
}

TEST_F(TransformStepTest, AContextWithoutAReferenceEndsTheStep) {
    KxDbTagMoveAction action;
    AcDbObjectIdArray selection;
    selection.append(lineId);
    const AcGeMatrix3d move = AcGeMatrix3d::translation(AcGeVector3d(1, 0, 0));
    const KxDbImpTagAction& imp = *kxImpOf<KxDbImpTagAction>(&action);
    KxDbTagEvalContext empty;
    EXPECT_NE(kxaction::transformSelection(imp, move, selection, &empty), Acad::eOk);

    AcDbLine notAReference;
    KxDbTagEvalContext wrong;
    wrong.addPair(KxDbTagEvalContextPair(KX_EVAL_KEY_REFERENCE, &notAReference));
    EXPECT_EQ(kxaction::transformSelection(imp, move, selection, &wrong), KxStatus::kNoReference);
    // Nothing to transform: the reference is not needed.
    EXPECT_EQ(kxaction::transformSelection(imp, move, AcDbObjectIdArray(), &empty), Acad::eOk);
}

}  // namespace
