// Types shared by the graph and its nodes.
#pragma once

#include "host/core/array.h"
#include "host/core/types.h"

typedef Adesk::UInt32 KxNodeId;
typedef AcArray<KxNodeId> KxNodeIdArray;

// One edge as the graph's edge queries report it.
struct KxEdgeInfo {
    Adesk::UInt32 sourceId = 0;
    Adesk::UInt32 targetId = 0;
    Adesk::Int32 flags = 0;
    Adesk::Int32 refCount = 0;
    bool operator==(const KxEdgeInfo& o) const {
        return sourceId == o.sourceId && targetId == o.targetId && flags == o.flags &&
               refCount == o.refCount;
    }
    bool operator!=(const KxEdgeInfo& o) const { return !(*this == o); }
};
typedef AcArray<KxEdgeInfo> KxEdgeInfoArray;

// Statuses of the module's own.
namespace KxStatus {
constexpr Acad::ErrorStatus kNotInGraph = static_cast<Acad::ErrorStatus>(450);
constexpr Acad::ErrorStatus kNoActiveNode = static_cast<Acad::ErrorStatus>(451);
constexpr Acad::ErrorStatus kGraphCopyUnusable = static_cast<Acad::ErrorStatus>(452);
constexpr Acad::ErrorStatus kNoReference = static_cast<Acad::ErrorStatus>(506);
constexpr Acad::ErrorStatus kEdgeNotFound = static_cast<Acad::ErrorStatus>(20053);
constexpr Acad::ErrorStatus kNodeNotFound = static_cast<Acad::ErrorStatus>(20054);
constexpr Acad::ErrorStatus kNodeExists = static_cast<Acad::ErrorStatus>(20055);
constexpr Acad::ErrorStatus kEdgeExists = static_cast<Acad::ErrorStatus>(20056);
constexpr Acad::ErrorStatus kCycleFound = static_cast<Acad::ErrorStatus>(20057);
}  // namespace KxStatus
