#include <gtest/gtest.h>

#include <vector>

#include "host/db/idmapping.h"

namespace {

AcDbObjectId idOf(Adesk::Int64 raw) {
    AcDbObjectId id;
    id.setFromOldId(raw);
    return id;
}

std::vector<Adesk::Int64> keysInOrder(const AcDbIdMapping& map) {
    std::vector<Adesk::Int64> keys;
    AcDbIdMappingIter it(map);
    for (it.start(); !it.done(); it.next()) {
        AcDbIdPair pair;
        EXPECT_TRUE(it.getMap(pair));
        keys.push_back(pair.key().asOldId());
    }
    return keys;
}

TEST(IdMapping, ComputeFindsByKeyAndLeavesThePairAloneWhenAbsent) {
    AcDbIdMapping map;
    EXPECT_TRUE(map.assign(AcDbIdPair(idOf(10), idOf(20), true, true, false)));
    EXPECT_TRUE(map.assign(AcDbIdPair(idOf(11), idOf(21), false)));

    AcDbIdPair found(idOf(10), AcDbObjectId::kNull, false);
    ASSERT_TRUE(map.compute(found));
    EXPECT_EQ(found.value(), idOf(20));
    EXPECT_TRUE(found.isCloned());
    EXPECT_TRUE(found.isPrimary());
    EXPECT_FALSE(found.isOwnerXlated());

    AcDbIdPair second(idOf(11), AcDbObjectId::kNull, true, true, false);
    ASSERT_TRUE(map.compute(second));
    EXPECT_EQ(second.value(), idOf(21));
    EXPECT_FALSE(second.isCloned());
    EXPECT_FALSE(second.isPrimary());  // the defaults of the pair as assigned
    EXPECT_TRUE(second.isOwnerXlated());

    AcDbIdPair absent(idOf(12), idOf(99), true, true, false);
    EXPECT_FALSE(map.compute(absent));
    EXPECT_EQ(absent.value(), idOf(99));
    EXPECT_TRUE(absent.isCloned());
    EXPECT_FALSE(absent.isOwnerXlated());

    // Null keys never enter the map and are never found.
    EXPECT_FALSE(map.assign(AcDbIdPair(AcDbObjectId::kNull, idOf(5), true)));
    AcDbIdPair nullKey;
    EXPECT_FALSE(map.compute(nullKey));
    EXPECT_EQ(map.numPairs(), 2);
}

TEST(IdMapping, AssignReplacesByKeyInPlace) {
    AcDbIdMapping map;
    map.assign(AcDbIdPair(idOf(1), idOf(101), false));
    map.assign(AcDbIdPair(idOf(2), idOf(102), true));
    map.assign(AcDbIdPair(idOf(1), idOf(201), true, true));
    EXPECT_EQ(map.numPairs(), 2);
    EXPECT_EQ(keysInOrder(map), (std::vector<Adesk::Int64>{1, 2}));
    AcDbIdPair pair(idOf(1), AcDbObjectId::kNull, false);
    ASSERT_TRUE(map.compute(pair));
    EXPECT_EQ(pair.value(), idOf(201));
    EXPECT_TRUE(pair.isCloned());
    EXPECT_TRUE(pair.isPrimary());
}

TEST(IdMapping, PairSettersChangeEachField) {
    AcDbIdPair pair;
    EXPECT_TRUE(pair.key().isNull());
    EXPECT_TRUE(pair.isOwnerXlated());
    pair.setKey(idOf(3));
    pair.setValue(idOf(4));
    pair.setIsCloned(true);
    pair.setIsPrimary(true);
    pair.setIsOwnerXlated(false);
    EXPECT_EQ(pair.key(), idOf(3));
    EXPECT_EQ(pair.value(), idOf(4));
    EXPECT_TRUE(pair.isCloned());
    EXPECT_TRUE(pair.isPrimary());
    EXPECT_FALSE(pair.isOwnerXlated());
}

TEST(IdMapping, IterationVisitsPairsAssignedDuringTheWalk) {
    AcDbIdMapping map;
    for (Adesk::Int64 k = 1; k <= 3; ++k) {
        map.assign(AcDbIdPair(idOf(k), idOf(100 + k), true));
    }
    std::vector<Adesk::Int64> visited;
    AcDbIdMappingIter it(map);
    for (it.start(); !it.done(); it.next()) {
        AcDbIdPair pair;
        ASSERT_TRUE(it.getMap(pair));
        visited.push_back(pair.key().asOldId());
        // Each original pair adds one new pair (enough to force the storage to grow) and
        // replaces an existing one; replacing must not make the walk see a pair twice.
        if (pair.key().asOldId() <= 3) {
            for (int extra = 0; extra < 40; ++extra) {
                map.assign(AcDbIdPair(idOf(1000 * pair.key().asOldId() + extra), idOf(7), true));
            }
            map.assign(AcDbIdPair(idOf(1), idOf(555), true));
        }
        ASSERT_LT(visited.size(), 200u);
    }
    EXPECT_EQ(visited.size(), 3u + 3u * 40u);
    EXPECT_EQ(visited[0], 1);
    EXPECT_EQ(visited[1], 2);
    EXPECT_EQ(visited[2], 3);
    EXPECT_EQ(visited[3], 1000);
    EXPECT_EQ(visited.back(), 3039);
    AcDbIdPair last;
    EXPECT_FALSE(it.getMap(last));
    EXPECT_FALSE(it.next());

    // start() walks again from the beginning, over everything now in the map.
    it.start();
    AcDbIdPair first;
    ASSERT_TRUE(it.getMap(first));
    EXPECT_EQ(first.value(), idOf(555));
}

TEST(IdMapping, ContextDatabasesAndRecordCloningAreSettableAndChecked) {
    AcDbIdMapping map;
    EXPECT_FALSE(map.hasDeepCloneContext());
    EXPECT_EQ(map.destDb(), nullptr);
    EXPECT_EQ(map.origDb(), nullptr);
    EXPECT_EQ(map.setDeepCloneContext(AcDb::kDcWblock), Acad::eOk);
    EXPECT_TRUE(map.hasDeepCloneContext());
    EXPECT_EQ(map.deepCloneContext(), AcDb::kDcWblock);
    EXPECT_EQ(map.setDeepCloneContext(static_cast<AcDb::DeepCloneType>(12)), Acad::eInvalidInput);
    EXPECT_EQ(map.setDeepCloneContext(static_cast<AcDb::DeepCloneType>(-1)), Acad::eInvalidInput);
    EXPECT_EQ(map.deepCloneContext(), AcDb::kDcWblock);
    EXPECT_EQ(map.setDuplicateRecordCloning(AcDb::kDrcMangleName), Acad::eOk);
    EXPECT_EQ(map.duplicateRecordCloning(), AcDb::kDrcMangleName);
    EXPECT_EQ(map.setDuplicateRecordCloning(static_cast<AcDb::DuplicateRecordCloning>(9)),
              Acad::eInvalidInput);
    EXPECT_EQ(map.duplicateRecordCloning(), AcDb::kDrcMangleName);

    AcDbDatabase* const fake = reinterpret_cast<AcDbDatabase*>(0x10);
    map.setDestDb(fake);
    AcDbDatabase* db = nullptr;
    EXPECT_EQ(map.destDb(db), Acad::eOk);
    EXPECT_EQ(db, fake);
    map.setOrigDb(nullptr);
    EXPECT_EQ(map.origDb(db), Acad::eOk);
    EXPECT_EQ(db, nullptr);
}

}  // namespace
