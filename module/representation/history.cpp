#include "module/representation/history.h"

#include <cwchar>

#include "host/ge/tol.h"
#include "host/ge/vector3d.h"

namespace kxhistory {

namespace {

constexpr int kNodeIdCode = 1071;
constexpr int kNameCode = 300;
constexpr int kVersionCode = 1070;

bool isPointValue(const KxDbTagEvalVariant& value) {
    return value.type() == 10 || value.type() == 11;
}

AcGeVector3d asVector(const KxDbTagEvalVariant& value) {
    const AcGePoint3d p = value.point();
    return AcGeVector3d(p.x, p.y, p.z);
}

// Reads one entry at `cursor` and moves past it. eInvalidInput with `broken` set when the
// entry's structure is damaged (nothing after it can be trusted); eInvalidInput alone when only
// its value cannot be decoded (the next entry is still found).
Acad::ErrorStatus readEntry(const resbuf*& cursor, int version, Entry& entry, bool& broken) {
    broken = true;
    const resbuf* idItem = cursor;
    if (idItem == nullptr || idItem->restype != kNodeIdCode) {
        return Acad::eInvalidInput;
    }
    const resbuf* nameItem = idItem->rbnext;
    if (nameItem == nullptr || nameItem->restype != kNameCode ||
        nameItem->resval.rstring == nullptr) {
        return Acad::eInvalidInput;
    }
    const resbuf* valueItem = nameItem->rbnext;
    if (valueItem == nullptr) {
        return Acad::eInvalidInput;
    }
    broken = false;
    cursor = valueItem->rbnext;

    short type = 0;
    Acad::ErrorStatus es = decodeValueType(version, valueItem->restype, type);
    if (es != Acad::eOk) {
        return es;
    }
    entry.nodeId = static_cast<KxNodeId>(idItem->resval.rlong);
    entry.name = nameItem->resval.rstring;
    if (type == KxDbTagEvalVariant::kNullType) {
        entry.value.clear();
        return Acad::eOk;
    }
    // The variant takes its value from an item of the decoded type; the stored item is not
    // touched (its string, if any, is copied).
    resbuf item = *valueItem;
    item.rbnext = nullptr;
    item.restype = type;
    es = entry.value.setFromResbuf(&item);
    return es == Acad::eOk ? es : Acad::eInvalidInput;
}

}  // namespace

Acad::ErrorStatus decodeValueType(int version, int code, short& type) {
    if (version > kLegacyVersion) {
        type = static_cast<short>(code);
        return (code >= -32768 && code <= 32767) ? Acad::eOk : Acad::eInvalidInput;
    }
    switch (code) {
        case 5000:
            type = KxDbTagEvalVariant::kNullType;
            return Acad::eOk;
        case 5001:
            type = 40;
            return Acad::eOk;
        case 5002:
            type = 10;
            return Acad::eOk;
        case 5003:
            type = 70;
            return Acad::eOk;
        case 5005:
            type = 1;
            return Acad::eOk;
        case 5006:
            type = 330;
            return Acad::eOk;
        case 5009:
            type = 11;
            return Acad::eOk;
        case 5010:
            type = 90;
            return Acad::eOk;
        case 1:
        case 10:
        case 11:
        case 40:
        case 70:
        case 91:
        case KxDbTagEvalVariant::kNullType:
            type = static_cast<short>(code);
            return Acad::eOk;
        default:
            return Acad::eInvalidInput;
    }
}

Acad::ErrorStatus readChain(const resbuf* chain, int& version, std::vector<Entry>& entries) {
    entries.clear();
    version = 0;
    if (chain == nullptr) {
        return Acad::eKeyNotFound;
    }
    if (chain->restype != kVersionCode) {
        return Acad::eInvalidInput;
    }
    version = chain->resval.rint;
    Acad::ErrorStatus result = Acad::eOk;
    const resbuf* cursor = chain->rbnext;
    while (cursor != nullptr) {
        Entry entry;
        bool broken = false;
        const Acad::ErrorStatus es = readEntry(cursor, version, entry, broken);
        if (es != Acad::eOk) {
            result = Acad::eInvalidInput;
            if (broken) {
                break;
            }
            continue;
        }
        entries.push_back(std::move(entry));
    }
    return result;
}

Acad::ErrorStatus buildChain(const std::vector<Entry>& entries, resbuf*& chain) {
    chain = acutNewRb(kVersionCode);
    if (chain == nullptr) {
        return Acad::eOutOfMemory;
    }
    chain->resval.rint = kCurrentVersion;
    resbuf* tail = chain;
    auto fail = [&chain]() {
        acutRelRb(chain);
        chain = nullptr;
        return Acad::eOutOfMemory;
    };
    for (const Entry& entry : entries) {
        resbuf* idItem = acutNewRb(kNodeIdCode);
        if (idItem == nullptr) {
            return fail();
        }
        idItem->resval.rlong = static_cast<Adesk::Int32>(entry.nodeId);
        tail->rbnext = idItem;
        tail = idItem;
        resbuf* nameItem = acutNewRb(kNameCode);
        if (nameItem == nullptr) {
            return fail();
        }
        tail->rbnext = nameItem;
        tail = nameItem;
        nameItem->resval.rstring = acutNewString(entry.name.kwszPtr());
        if (nameItem->resval.rstring == nullptr) {
            return fail();
        }
        resbuf* valueItem = entry.value.toResbuf();
        if (valueItem == nullptr) {
            return fail();
        }
        tail->rbnext = valueItem;
        tail = valueItem;
    }
    return Acad::eOk;
}

bool isAdditive(bool nodeIsGripOrTwoPoint, const ACHAR* name, const KxDbTagEvalVariant& value) {
    if (!nodeIsGripOrTwoPoint || name == nullptr || !isPointValue(value)) {
        return false;
    }
    return wcscmp(name, L"GRIPLOC") == 0 || wcscmp(name, L"2PTBASE") == 0 ||
           wcscmp(name, L"2PTEND") == 0;
}

void merge(std::vector<Entry>& entries, const Entry& change, int mergeMode, bool additive) {
    Entry incoming;
    incoming.nodeId = change.nodeId;
    incoming.name = change.name;
    incoming.value = change.value;
    bool append = change.nodeId != 0;
    if (!entries.empty()) {
        Entry& last = entries.back();
        const bool same = last.nodeId == change.nodeId && last.name == change.name;
        if (same && additive && isPointValue(last.value)) {
            const AcGeVector3d sum = asVector(last.value) + asVector(change.value);
            entries.pop_back();
            incoming.value.setPoint(AcGePoint3d(sum.x, sum.y, sum.z));
            if (sum.isZeroLength()) {
                append = false;
            }
        } else if (same && mergeMode != kMergeKeepAll) {
            entries.pop_back();
        }
    }
    if (append) {
        entries.push_back(std::move(incoming));
    }
}

}  // namespace kxhistory
