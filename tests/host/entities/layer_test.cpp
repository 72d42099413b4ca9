#include <gtest/gtest.h>

#include "host/db/layer.h"
#include "host/entities/blockref.h"
#include "host/entities/line.h"
#include "tests/host/entities/entities_test_support.h"

namespace {

using enttest::Open;

class LayerTest : public enttest::EntityTest {
  protected:
    AcDbObjectId addLayer(const ACHAR* name, bool locked) {
        Open<AcDbLayerTable> table(db.layerTableId(), AcDb::kForWrite);
        auto* rec = new AcDbLayerTableRecord();
        EXPECT_EQ(rec->setName(name), Acad::eOk);
        rec->setIsLocked(locked);
        AcDbObjectId id;
        EXPECT_EQ(table->add(id, rec), Acad::eOk);
        rec->close();
        return id;
    }
    void setLocked(AcDbObjectId layer, bool locked) {
        Open<AcDbLayerTableRecord> rec(layer, AcDb::kForWrite);
        rec->setIsLocked(locked);
    }
};

TEST_F(LayerTest, WriteOpensOfEntitiesOnLockedLayersNeedForcing) {
    const AcDbObjectId layer = addLayer(L"Locked", true);
    auto* line = new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 0, 0));
    EXPECT_NE(line->setLayer(L"Locked"), Acad::eOk);  // not in a database: not found by name
    ASSERT_EQ(line->setLayer(layer), Acad::eOk);
    const AcDbObjectId id = append(line);  // appending is not an open: it works on any layer

    AcDbEntity* ent = nullptr;
    EXPECT_EQ(acdbOpenAcDbEntity(ent, id, AcDb::kForWrite), Acad::eOnLockedLayer);
    EXPECT_EQ(ent, nullptr);
    ASSERT_EQ(acdbOpenAcDbEntity(ent, id, AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(ent->layer(), AcString(L"Locked"));
    ent->close();
    ASSERT_EQ(acdbOpenAcDbEntity(ent, id, AcDb::kForWrite, false, true), Acad::eOk);
    EXPECT_TRUE(ent->isWriteEnabled());
    ent->close();

    // The typed form with the locked-layer choice.
    AcDbLine* typed = nullptr;
    EXPECT_EQ(acdbOpenObject(typed, id, AcDb::kForWrite, false, false), Acad::eOnLockedLayer);
    ASSERT_EQ(acdbOpenObject(typed, id, AcDb::kForWrite, false, true), Acad::eOk);
    typed->close();
    AcDbBlockReference* wrong = nullptr;
    EXPECT_EQ(acdbOpenObject(wrong, id, AcDb::kForRead, false, true), Acad::eNotThatKindOfClass);

    // Walking a block for write meets the lock too.
    {
        Open<AcDbBlockTableRecord> ms(modelSpace(), AcDb::kForRead);
        AcDbBlockTableRecordIterator* it = nullptr;
        ms->newIterator(it);
        ASSERT_EQ(it->seek(id), Acad::eOk);
        EXPECT_EQ(it->getEntity(ent, AcDb::kForWrite), Acad::eOnLockedLayer);
        delete it;
    }

    setLocked(layer, false);
    ASSERT_EQ(acdbOpenAcDbEntity(ent, id, AcDb::kForWrite), Acad::eOk);
    ent->close();
    // Objects that are not entities are refused by the entity form.
    EXPECT_EQ(acdbOpenAcDbEntity(ent, layer, AcDb::kForRead), Acad::eNotAnEntity);
    EXPECT_EQ(acdbOpenAcDbEntity(ent, AcDbObjectId::kNull, AcDb::kForRead), Acad::eNullObjectId);
}

TEST_F(LayerTest, EntityLayerByNameAndDefaults) {
    const AcDbObjectId walls = addLayer(L"Walls", false);
    auto* line = new AcDbLine();
    const AcDbObjectId id = append(line);
    Open<AcDbLine> ent(id, AcDb::kForWrite);
    EXPECT_EQ(ent->layer(), AcString(L"0"));
    EXPECT_EQ(ent->setLayer(L"WALLS"), Acad::eOk);
    EXPECT_EQ(ent->layerId(), walls);
    EXPECT_EQ(ent->setLayer(L"missing"), Acad::eKeyNotFound);
    EXPECT_EQ(ent->setLayer(modelSpace()), Acad::eWrongObjectType);
    EXPECT_EQ(ent->setColorIndex(300), Acad::eInvalidInput);
    EXPECT_EQ(ent->setColorIndex(3), Acad::eOk);
    ent->setDatabaseDefaults();
    EXPECT_EQ(ent->layerId(), db.layerZero());
    EXPECT_EQ(ent->colorIndex(), 256);
}

TEST_F(LayerTest, EntitiesFromAnotherDrawingTakeTheLayerOfTheSameName) {
    AcDbDatabase other(true, true);
    AcDbObjectId otherWalls;
    {
        Open<AcDbLayerTable> table(other.layerTableId(), AcDb::kForWrite);
        auto* rec = new AcDbLayerTableRecord();
        rec->setName(L"Walls");
        table->add(otherWalls, rec);
        rec->close();
    }
    const AcDbObjectId walls = addLayer(L"walls", false);
    auto* line = new AcDbLine();
    line->setLayer(otherWalls);
    append(line);
    auto* stray = new AcDbLine();
    {
        Open<AcDbLayerTable> table(other.layerTableId(), AcDb::kForWrite);
        auto* rec = new AcDbLayerTableRecord();
        rec->setName(L"OnlyThere");
        AcDbObjectId onlyThere;
        table->add(onlyThere, rec);
        rec->close();
        stray->setLayer(onlyThere);
    }
    append(stray);
    Open<AcDbLine> a(line->objectId(), AcDb::kForRead);
    Open<AcDbLine> b(stray->objectId(), AcDb::kForRead);
    EXPECT_EQ(a->layerId(), walls);
    EXPECT_EQ(b->layerId(), db.layerZero());
}

TEST_F(LayerTest, LayerRecordsFileTheirFlags) {
    const AcDbObjectId id = addLayer(L"Frozen", true);
    {
        Open<AcDbLayerTableRecord> rec(id, AcDb::kForWrite);
        rec->setIsFrozen(true);
        rec->setIsOff(true);
        EXPECT_EQ(rec->setColorIndex(0), Acad::eInvalidInput);
        EXPECT_EQ(rec->setColorIndex(5), Acad::eOk);
    }
    Open<AcDbLayerTableRecord> rec(id, AcDb::kForRead);
    enttest::Owned<AcDbObject> copy;
    ASSERT_TRUE(enttest::dwgRoundTrip(rec.obj, AcDb::kFileFiler, &copy));
    auto* read = AcDbLayerTableRecord::cast(copy.get());
    EXPECT_TRUE(read->isLocked());
    EXPECT_TRUE(read->isFrozen());
    EXPECT_TRUE(read->isOff());
    EXPECT_EQ(read->colorIndex(), 5);
    ASSERT_TRUE(enttest::dxfRoundTrip(rec.obj, &db, &copy));
    read = AcDbLayerTableRecord::cast(copy.get());
    EXPECT_TRUE(read->isOff());
    EXPECT_EQ(read->colorIndex(), 5);
}

}  // namespace
