#pragma once

// Growable array used throughout the host interface. It wraps std::vector so
// that the storage is contiguous (asArrayPtr() hands out a plain pointer) while
// keeping the index-based call shapes the interface exposes. Indices are ints
// because the interface reports "not found" and lengths as ints.
//
// Out-of-range requests never throw: mutators that receive a bad index leave
// the array untouched, element accessors assert in debug builds.

#include <algorithm>
#include <cassert>
#include <initializer_list>
#include <vector>

template <class T>
class AcArray {
  public:
    using iterator = typename std::vector<T>::iterator;
    using const_iterator = typename std::vector<T>::const_iterator;

    AcArray() = default;

    // physLen is only a capacity hint; growLen is kept for callers that query
    // it, the actual growth policy is std::vector's.
    explicit AcArray(int physLen, int growLen = 8) : mGrowLen(growLen > 0 ? growLen : 8) {
        if (physLen > 0) {
            mData.reserve(static_cast<size_t>(physLen));
        }
    }

    AcArray(std::initializer_list<T> items) : mData(items) {}

    int append(const T& value) {
        mData.push_back(value);
        return length() - 1;
    }

    AcArray& append(const AcArray& other) {
        if (&other == this) {
            const std::vector<T> copy = mData;
            mData.insert(mData.end(), copy.begin(), copy.end());
        } else {
            mData.insert(mData.end(), other.mData.begin(), other.mData.end());
        }
        return *this;
    }

    int length() const { return static_cast<int>(mData.size()); }
    int logicalLength() const { return length(); }
    int physicalLength() const { return static_cast<int>(mData.capacity()); }
    int growLength() const { return mGrowLen; }

    // Growing value-initialises the new elements; shrinking drops the tail.
    AcArray& setLogicalLength(int n) {
        mData.resize(n > 0 ? static_cast<size_t>(n) : 0U);
        return *this;
    }

    bool isEmpty() const { return mData.empty(); }

    AcArray& removeAt(int index) {
        if (isValid(index)) {
            mData.erase(mData.begin() + index);
        }
        return *this;
    }

    AcArray& removeFirst() { return removeAt(0); }

    AcArray& removeLast() {
        if (!mData.empty()) {
            mData.pop_back();
        }
        return *this;
    }

    // Removes the first occurrence at or after start; false when there is none.
    bool remove(const T& value, int start = 0) {
        int at = -1;
        if (!find(value, at, start)) {
            return false;
        }
        removeAt(at);
        return true;
    }

    AcArray& removeAll() {
        mData.clear();
        return *this;
    }

    bool contains(const T& value, int start = 0) const {
        int ignored = -1;
        return find(value, ignored, start);
    }

    bool find(const T& value, int& foundAt, int start = 0) const {
        for (int i = std::max(start, 0); i < length(); ++i) {
            if (mData[static_cast<size_t>(i)] == value) {
                foundAt = i;
                return true;
            }
        }
        return false;
    }

    // Index of the first occurrence, or -1.
    int find(const T& value) const {
        int at = -1;
        return find(value, at) ? at : -1;
    }

    // index == length() appends; any other index outside [0, length()] is ignored.
    AcArray& insertAt(int index, const T& value) {
        if (index >= 0 && index <= length()) {
            mData.insert(mData.begin() + index, value);
        }
        return *this;
    }

    AcArray& setAt(int index, const T& value) {
        if (isValid(index)) {
            mData[static_cast<size_t>(index)] = value;
        }
        return *this;
    }

    AcArray& swap(int i, int j) {
        if (isValid(i) && isValid(j)) {
            std::swap(mData[static_cast<size_t>(i)], mData[static_cast<size_t>(j)]);
        }
        return *this;
    }

    const T& at(int index) const {
        assert(isValid(index));
        return mData[static_cast<size_t>(index)];
    }
    T& at(int index) {
        assert(isValid(index));
        return mData[static_cast<size_t>(index)];
    }
    const T& operator[](int index) const { return at(index); }
    T& operator[](int index) { return at(index); }

    const T& first() const { return at(0); }
    T& first() { return at(0); }
    const T& last() const { return at(length() - 1); }
    T& last() { return at(length() - 1); }

    // Null for an empty array.
    const T* asArrayPtr() const { return mData.empty() ? nullptr : mData.data(); }
    T* asArrayPtr() { return mData.empty() ? nullptr : mData.data(); }

    AcArray& reverse() {
        std::reverse(mData.begin(), mData.end());
        return *this;
    }

    iterator begin() { return mData.begin(); }
    iterator end() { return mData.end(); }
    const_iterator begin() const { return mData.begin(); }
    const_iterator end() const { return mData.end(); }

    bool operator==(const AcArray& other) const { return mData == other.mData; }
    bool operator!=(const AcArray& other) const { return !(*this == other); }

  private:
    bool isValid(int index) const { return index >= 0 && index < length(); }

    std::vector<T> mData;
    int mGrowLen = 8;
};

using AcDbIntArray = AcArray<int>;
using AcDbVoidPtrArray = AcArray<void*>;
using AcGeDoubleArray = AcArray<double>;
