// Hand-made record streams for the stretch action's tests.
#pragma once

#include <gtest/gtest.h>

#include "host/db/dwgfiler.h"
#include "module/actions/stretch_action_imp.h"

namespace kxtest {

inline AcDbObjectId fakeId(Adesk::Int64 raw) {
    AcDbObjectId id;
    id.setFromOldId(raw);
    return id;
}

// Copies `count` items; the int32 pair at `replaceAt` gets `first` and `second`.
inline void copyItems(const kxhost::DwgMemoryFiler& from, kxhost::DwgMemoryFiler& to, int count,
                      int replaceAt = -1, Adesk::Int32 first = 0, Adesk::Int32 second = 0) {
    using Kind = kxhost::DwgMemoryFiler::ItemKind;
    const auto& items = from.items();
    for (int i = 0; i < count && i < static_cast<int>(items.size()); ++i) {
        const auto& item = items[static_cast<size_t>(i)];
        AcDbObjectId id = fakeId(static_cast<Adesk::Int64>(item.bits));
        switch (item.kind) {
            case Kind::kBool:
                to.writeBool(item.bits != 0);
                break;
            case Kind::kUInt8:
                to.writeUInt8(static_cast<Adesk::UInt8>(item.bits));
                break;
            case Kind::kInt16:
                to.writeInt16(static_cast<Adesk::Int16>(item.bits));
                break;
            case Kind::kUInt16:
                to.writeUInt16(static_cast<Adesk::UInt16>(item.bits));
                break;
            case Kind::kInt32:
                to.writeInt32(i == replaceAt       ? first
                              : i == replaceAt + 1 ? second
                                                   : static_cast<Adesk::Int32>(item.bits));
                break;
            case Kind::kUInt32:
                to.writeUInt32(static_cast<Adesk::UInt32>(item.bits));
                break;
            case Kind::kDouble:
                to.writeDouble(item.v[0]);
                break;
            case Kind::kString:
                to.writeString(item.text.c_str());
                break;
            case Kind::kPoint2d:
                to.writePoint2d(AcGePoint2d(item.v[0], item.v[1]));
                break;
            case Kind::kPoint3d:
                to.writePoint3d(AcGePoint3d(item.v[0], item.v[1], item.v[2]));
                break;
            case Kind::kVector3d:
                to.writeVector3d(AcGeVector3d(item.v[0], item.v[1], item.v[2]));
                break;
            case Kind::kHardOwnershipId:
                to.writeHardOwnershipId(id);
                break;
            case Kind::kSoftOwnershipId:
                to.writeSoftOwnershipId(id);
                break;
            case Kind::kHardPointerId:
                to.writeHardPointerId(id);
                break;
            case Kind::kSoftPointerId:
                to.writeSoftPointerId(id);
                break;
            default:
                ADD_FAILURE() << "item kind not copied: " << AcString(item.description()).utf8();
                break;
        }
    }
}

// The stretch action's own part of a record: the action's settings with the given maps (the
// entity entries in the order of `entities`, which a damaged record need not keep sorted).
template <class Entities>
void writeStretchPart(kxhost::DwgMemoryFiler& f, const KxDbImpTagStretchAction& action,
                      const Entities& entities,
                      const KxDbImpTagStretchAction::ElementPoints& elements) {
    f.writeUInt32(action.sourceX().sourceId);
    f.writeString(action.sourceX().sourceName);
    f.writeUInt32(action.sourceY().sourceId);
    f.writeString(action.sourceY().sourceName);
    const AcGePoint2dArray frame = action.stretchFrame();
    f.writeUInt32(static_cast<Adesk::UInt32>(frame.length()));
    for (int i = 0; i < frame.length(); ++i)
        f.writePoint2d(frame[i]);
    f.writeUInt32(static_cast<Adesk::UInt32>(entities.size()));
    for (const auto& entry : entities) {
        f.writeSoftPointerId(entry.first);
        f.writeUInt32(static_cast<Adesk::UInt32>(entry.second.length()));
        for (int i = 0; i < entry.second.length(); ++i)
            f.writeUInt32(static_cast<Adesk::UInt32>(entry.second[i]));
    }
    f.writeUInt32(static_cast<Adesk::UInt32>(elements.size()));
    for (const auto& entry : elements) {
        f.writeUInt32(entry.first);
        f.writeUInt32(static_cast<Adesk::UInt32>(entry.second.length()));
        for (int i = 0; i < entry.second.length(); ++i)
            f.writeUInt32(static_cast<Adesk::UInt32>(entry.second[i]));
    }
    f.writeDouble(action.distanceMultiplier());
    f.writeDouble(action.angleOffset());
    f.writeUInt8(action.xyType());
}

// The number of items writeStretchPart writes.
template <class Entities>
int stretchPartItems(const KxDbImpTagStretchAction& action, const Entities& entities,
                     const KxDbImpTagStretchAction::ElementPoints& elements) {
    int n = 5 + action.stretchFrame().length() + 1 + 1 + 3;
    for (const auto& entry : entities)
        n += 2 + entry.second.length();
    for (const auto& entry : elements)
        n += 2 + entry.second.length();
    return n;
}

}  // namespace kxtest
