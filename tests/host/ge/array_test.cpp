#include <gtest/gtest.h>

#include <string>

#include "host/core/array.h"

namespace {

AcDbIntArray makeArray(std::initializer_list<int> values) {
    AcDbIntArray a;
    for (int v : values) {
        a.append(v);
    }
    return a;
}

TEST(AcArrayTest, AppendReturnsIndexAndTracksLength) {
    AcDbIntArray a;
    EXPECT_TRUE(a.isEmpty());
    EXPECT_EQ(a.append(7), 0);
    EXPECT_EQ(a.append(8), 1);
    EXPECT_EQ(a.append(9), 2);
    EXPECT_EQ(a.length(), 3);
    EXPECT_EQ(a.logicalLength(), 3);
    EXPECT_FALSE(a.isEmpty());
    EXPECT_EQ(a.first(), 7);
    EXPECT_EQ(a.last(), 9);
    EXPECT_EQ(a[1], 8);
    a[1] = 80;
    EXPECT_EQ(a.at(1), 80);
}

TEST(AcArrayTest, CapacityConstructorReservesWithoutAddingElements) {
    AcArray<double> a(32, 4);
    EXPECT_TRUE(a.isEmpty());
    EXPECT_GE(a.physicalLength(), 32);
    EXPECT_EQ(a.growLength(), 4);
}

TEST(AcArrayTest, InsertAtHandlesFrontMiddleEndAndBadIndices) {
    AcDbIntArray a = makeArray({1, 3});
    a.insertAt(1, 2);
    a.insertAt(0, 0);
    a.insertAt(a.length(), 4);  // one past the end appends
    EXPECT_EQ(a, makeArray({0, 1, 2, 3, 4}));
    a.insertAt(-1, 99);
    a.insertAt(a.length() + 1, 99);
    EXPECT_EQ(a, makeArray({0, 1, 2, 3, 4}));
}

TEST(AcArrayTest, RemovalsKeepOrderAndIgnoreBadIndices) {
    AcDbIntArray a = makeArray({10, 20, 30, 40});
    a.removeAt(1);
    EXPECT_EQ(a, makeArray({10, 30, 40}));
    a.removeAt(3);
    a.removeAt(-1);
    EXPECT_EQ(a.length(), 3);
    a.removeLast();
    a.removeFirst();
    EXPECT_EQ(a, makeArray({30}));
    a.removeAll();
    EXPECT_TRUE(a.isEmpty());
    a.removeLast();  // harmless on an empty array
    EXPECT_TRUE(a.isEmpty());
}

TEST(AcArrayTest, FindAndContainsHonourTheStartIndex) {
    const AcDbIntArray a = makeArray({5, 6, 5, 7});
    int at = -1;
    ASSERT_TRUE(a.find(5, at));
    EXPECT_EQ(at, 0);
    ASSERT_TRUE(a.find(5, at, 1));
    EXPECT_EQ(at, 2);
    at = 123;
    EXPECT_FALSE(a.find(5, at, 3));
    EXPECT_EQ(at, 123) << "a failed search must not touch foundAt";
    EXPECT_FALSE(a.find(8, at));
    EXPECT_EQ(a.find(7), 3);
    EXPECT_EQ(a.find(8), -1);
    EXPECT_TRUE(a.contains(6));
    EXPECT_FALSE(a.contains(6, 2));
    EXPECT_TRUE(a.contains(5, -4));  // negative start behaves as 0
    EXPECT_FALSE(a.contains(5, 10));
}

TEST(AcArrayTest, RemoveByValueDropsOnlyTheFirstMatch) {
    AcDbIntArray a = makeArray({1, 2, 1});
    EXPECT_TRUE(a.remove(1));
    EXPECT_EQ(a, makeArray({2, 1}));
    EXPECT_FALSE(a.remove(9));
    EXPECT_EQ(a.length(), 2);
}

TEST(AcArrayTest, SetLogicalLengthGrowsWithDefaultsAndTruncates) {
    AcDbIntArray a = makeArray({1, 2, 3});
    a.setLogicalLength(5);
    EXPECT_EQ(a, makeArray({1, 2, 3, 0, 0}));
    a.setLogicalLength(2);
    EXPECT_EQ(a, makeArray({1, 2}));
    a.setLogicalLength(-3);
    EXPECT_TRUE(a.isEmpty());
}

TEST(AcArrayTest, ReverseIterationAndRawPointer) {
    AcDbIntArray a = makeArray({1, 2, 3, 4});
    a.reverse();
    EXPECT_EQ(a, makeArray({4, 3, 2, 1}));
    int sum = 0;
    for (int v : a) {
        sum = sum * 10 + v;
    }
    EXPECT_EQ(sum, 4321);
    const int* raw = a.asArrayPtr();
    ASSERT_NE(raw, nullptr);
    EXPECT_EQ(raw[3], 1);
    for (int& v : a) {
        v *= 2;
    }
    EXPECT_EQ(a, makeArray({8, 6, 4, 2}));
    EXPECT_EQ(AcDbIntArray().asArrayPtr(), nullptr);
}

TEST(AcArrayTest, AppendArrayIncludingItself) {
    AcDbIntArray a = makeArray({1, 2});
    a.append(makeArray({3}));
    EXPECT_EQ(a, makeArray({1, 2, 3}));
    a.append(a);
    EXPECT_EQ(a, makeArray({1, 2, 3, 1, 2, 3}));
}

TEST(AcArrayTest, EqualityComparesContentsAndOrder) {
    EXPECT_EQ(makeArray({1, 2}), makeArray({1, 2}));
    EXPECT_NE(makeArray({1, 2}), makeArray({2, 1}));
    EXPECT_NE(makeArray({1, 2}), makeArray({1, 2, 3}));
    EXPECT_EQ(AcDbIntArray(), AcDbIntArray(16));
}

TEST(AcArrayTest, SetAtAndSwapIgnoreBadIndices) {
    AcArray<std::string> a;
    a.append("a");
    a.append("b");
    a.setAt(1, "c").setAt(2, "x");
    a.swap(0, 1).swap(0, 5);
    ASSERT_EQ(a.length(), 2);
    EXPECT_EQ(a[0], "c");
    EXPECT_EQ(a[1], "a");
}

TEST(AcArrayTest, VoidPointerArrayFindsByIdentity) {
    int x = 0;
    int y = 0;
    AcDbVoidPtrArray ptrs;
    ptrs.append(&x);
    EXPECT_TRUE(ptrs.contains(&x));
    EXPECT_FALSE(ptrs.contains(&y));
}

}  // namespace
