// History chains: reading both formats, refusing damaged chains without losing the sound
// entries before the damage, writing format 2, and the merge rules of successive changes.
#include <gtest/gtest.h>

#include <vector>

#include "host/core/resbuf.h"
#include "module/representation/history.h"

namespace {

using kxhistory::Entry;

kxhistory::Entry entry(KxNodeId id, const ACHAR* name, const KxDbTagEvalVariant& value) {
    Entry e;
    e.nodeId = id;
    e.name = name;
    e.value = value;
    return e;
}

KxDbTagEvalVariant point(double x, double y) {
    return KxDbTagEvalVariant(AcGePoint3d(x, y, 0));
}

TEST(HistoryChainTest, Format1ValueCodesAreTranslated) {
    const double p[3] = {1, 2, 0};
    resbuf* chain = acutBuildList(1070, 1, 1071, 5, 300, L"Distance1", 5001, 2.5, 1071, 6, 300,
                                  L"GRIPLOC", 5009, p, 1071, 7, 300, L"Visibility1", 5005, L"状态1",
                                  1071, 8, 300, L"Flip", 5003, 1, 0);
    ASSERT_NE(chain, nullptr);
    int version = 0;
    std::vector<Entry> entries;
    ASSERT_EQ(kxhistory::readChain(chain, version, entries), Acad::eOk);
    acutRelRb(chain);
    EXPECT_EQ(version, 1);
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[0].nodeId, 5u);
    EXPECT_EQ(entries[0].name, AcString(L"Distance1"));
    EXPECT_EQ(entries[0].value.type(), 40);
    EXPECT_DOUBLE_EQ(entries[0].value.resval.rreal, 2.5);
    EXPECT_EQ(entries[1].value.type(), 11);
    EXPECT_EQ(entries[1].value.point(), AcGePoint3d(1, 2, 0));
    EXPECT_EQ(entries[2].value.type(), 1);
    EXPECT_EQ(AcString(entries[2].value.text()), AcString(L"状态1"));
    EXPECT_EQ(entries[3].value.type(), 70);
    EXPECT_EQ(entries[3].value.resval.rint, 1);
}

TEST(HistoryChainTest, ValueCodeTable) {
    short type = 0;
    const int legacy[][2] = {{5000, -9999}, {5001, 40}, {5002, 10}, {5003, 70}, {5005, 1},
                             {5006, 330},   {5009, 11}, {5010, 90}, {1, 1},     {10, 10},
                             {11, 11},      {40, 40},   {70, 70},   {91, 91},   {-9999, -9999}};
    for (const auto& pair : legacy) {
        SCOPED_TRACE(pair[0]);
        ASSERT_EQ(kxhistory::decodeValueType(1, pair[0], type), Acad::eOk);
        EXPECT_EQ(type, pair[1]);
    }
    for (int code : {5004, 90, 330, 0, 1071}) {
        EXPECT_EQ(kxhistory::decodeValueType(1, code, type), Acad::eInvalidInput) << code;
    }
    // Format 2 takes the code as it stands.
    ASSERT_EQ(kxhistory::decodeValueType(2, 90, type), Acad::eOk);
    EXPECT_EQ(type, 90);
}

TEST(HistoryChainTest, NodeIdsAreFull32BitValues) {
    resbuf* chain =
        acutBuildList(1070, 2, 1071, static_cast<int>(0xFFFFFFF0u), 300, L"X", 40, 1.0, 0);
    int version = 0;
    std::vector<Entry> entries;
    ASSERT_EQ(kxhistory::readChain(chain, version, entries), Acad::eOk);
    acutRelRb(chain);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].nodeId, 0xFFFFFFF0u);
}

TEST(HistoryChainTest, DamagedChainsAreRefusedAndKeepTheSoundEntriesBefore) {
    int version = 0;
    std::vector<Entry> entries;
    EXPECT_EQ(kxhistory::readChain(nullptr, version, entries), Acad::eKeyNotFound);

    resbuf* noVersion = acutBuildList(1071, 1, 300, L"X", 40, 1.0, 0);
    EXPECT_EQ(kxhistory::readChain(noVersion, version, entries), Acad::eInvalidInput);
    EXPECT_TRUE(entries.empty());
    acutRelRb(noVersion);

    // Each chain: one sound entry, then damage.
    std::vector<resbuf*> damaged = {
        acutBuildList(1070, 2, 1071, 1, 300, L"X", 40, 1.0, 1071, 2, 0),
        acutBuildList(1070, 2, 1071, 1, 300, L"X", 40, 1.0, 1071, 2, 300, L"Y", 0),
        acutBuildList(1070, 2, 1071, 1, 300, L"X", 40, 1.0, 1071, 2, 40, 3.0, 40, 4.0, 0),
        acutBuildList(1070, 2, 1071, 1, 300, L"X", 40, 1.0, 300, L"Y", 1071, 2, 40, 3.0, 0),
        acutBuildList(1070, 2, 1071, 1, 300, L"X", 40, 1.0, 40, 2.0, 0),
    };
    for (size_t i = 0; i < damaged.size(); ++i) {
        SCOPED_TRACE(i);
        ASSERT_NE(damaged[i], nullptr);
        EXPECT_EQ(kxhistory::readChain(damaged[i], version, entries), Acad::eInvalidInput);
        ASSERT_EQ(entries.size(), 1u);
        EXPECT_EQ(entries[0].nodeId, 1u);
        acutRelRb(damaged[i]);
    }

    // An undecodable value of an old chain drops that entry only.
    resbuf* badCode =
        acutBuildList(1070, 1, 1071, 1, 300, L"X", 5004, 1.0, 1071, 2, 300, L"Y", 5001, 2.0, 0);
    EXPECT_EQ(kxhistory::readChain(badCode, version, entries), Acad::eInvalidInput);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].nodeId, 2u);
    acutRelRb(badCode);
}

TEST(HistoryChainTest, WrittenChainsAreFormat2AndReadBack) {
    std::vector<Entry> entries = {entry(3, L"GRIPLOC", point(1.5, -2)),
                                  entry(4, L"Visibility1", KxDbTagEvalVariant(L"开")),
                                  entry(5, L"Distance1", KxDbTagEvalVariant(12.0))};
    resbuf* chain = nullptr;
    ASSERT_EQ(kxhistory::buildChain(entries, chain), Acad::eOk);
    ASSERT_NE(chain, nullptr);
    EXPECT_EQ(chain->restype, 1070);
    EXPECT_EQ(chain->resval.rint, 2);
    int version = 0;
    std::vector<Entry> back;
    ASSERT_EQ(kxhistory::readChain(chain, version, back), Acad::eOk);
    acutRelRb(chain);
    ASSERT_EQ(back.size(), 3u);
    EXPECT_EQ(back[0].value.point(), AcGePoint3d(1.5, -2, 0));
    EXPECT_EQ(AcString(back[1].value.text()), AcString(L"开"));
    EXPECT_DOUBLE_EQ(back[2].value.resval.rreal, 12.0);

    ASSERT_EQ(kxhistory::buildChain({}, chain), Acad::eOk);
    EXPECT_EQ(chain->rbnext, nullptr);
    acutRelRb(chain);
}

TEST(HistoryMergeTest, SuccessiveChanges) {
    std::vector<Entry> entries;
    // Additive drags of one grip sum up, and a sum of zero leaves nothing.
    kxhistory::merge(entries, entry(3, L"GRIPLOC", point(3, 0)), 2, true);
    kxhistory::merge(entries, entry(3, L"GRIPLOC", point(2, 1)), 2, true);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].value.point(), AcGePoint3d(5, 1, 0));
    kxhistory::merge(entries, entry(3, L"GRIPLOC", point(-5, -1)), 2, true);
    EXPECT_TRUE(entries.empty());

    // The same name on the same node replaces the last entry (modes 2 and 3).
    kxhistory::merge(entries, entry(4, L"Visibility1", KxDbTagEvalVariant(L"A")), 3, false);
    kxhistory::merge(entries, entry(4, L"Visibility1", KxDbTagEvalVariant(L"B")), 3, false);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(AcString(entries[0].value.text()), AcString(L"B"));
    // Another node is appended; only the last entry is ever merged with.
    kxhistory::merge(entries, entry(5, L"Distance1", KxDbTagEvalVariant(1.0)), 2, false);
    kxhistory::merge(entries, entry(4, L"Visibility1", KxDbTagEvalVariant(L"C")), 3, false);
    ASSERT_EQ(entries.size(), 3u);
    // Mode 1 keeps every change.
    kxhistory::merge(entries, entry(4, L"Visibility1", KxDbTagEvalVariant(L"D")), 1, false);
    EXPECT_EQ(entries.size(), 4u);
    // A change of node 0 never leaves an entry.
    kxhistory::merge(entries, entry(0, L"X", KxDbTagEvalVariant(1.0)), 1, false);
    EXPECT_EQ(entries.size(), 4u);
}

TEST(HistoryMergeTest, WhatAccumulates) {
    EXPECT_TRUE(kxhistory::isAdditive(true, L"GRIPLOC", point(1, 0)));
    EXPECT_TRUE(kxhistory::isAdditive(true, L"2PTBASE", point(1, 0)));
    EXPECT_TRUE(kxhistory::isAdditive(true, L"2PTEND", point(1, 0)));
    EXPECT_FALSE(kxhistory::isAdditive(false, L"GRIPLOC", point(1, 0)));
    EXPECT_FALSE(kxhistory::isAdditive(true, L"GRIPLOC", KxDbTagEvalVariant(1.0)));
    EXPECT_FALSE(kxhistory::isAdditive(true, L"Distance1", point(1, 0)));
}

}  // namespace
