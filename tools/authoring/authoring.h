// Authoring of dynamic blocks from outside the plug-in: what a block editor does, through the
// plug-in's public classes and the host's open protocol only. Tests, benchmarks and the demo build
// their drawings with it.
//
// Every operation returns a status and leaves no object open, on success and on failure alike.
// Entities handed to makeDefinition belong to the library from then on: they end up in the
// definition or are deleted. The plug-in must be loaded while any of this runs (its classes are
// registered only then).
//
// Two ways to use it: the free functions, one step each; or an Author, which chains the steps
// and keeps the first failure (later steps are skipped), so a whole drawing reads as one
// expression with one status check at the end.
#pragma once

#include <optional>
#include <vector>

#include "host/core/acstring.h"
#include "host/db/database.h"
#include "host/ge/point2d.h"
#include "host/ge/point3d.h"
#include "module/graph/node_types.h"

class AcDbEntity;

namespace kxauthor {

// --- Root data ----------------------------------------------------------------------------------

// The id of the database's root data, made empty when the drawing has none yet.
// eNoDatabase (124) for a null database.
Acad::ErrorStatus ensureRootData(AcDbDatabase* db, AcDbObjectId& rootDataId);

// --- Host geometry ------------------------------------------------------------------------------

// New entities outside any database, for makeDefinition (null only when memory runs out).
AcDbEntity* line(const AcGePoint3d& start, const AcGePoint3d& end);
AcDbEntity* circle(const AcGePoint3d& center, double radius);
// Counter-clockwise from startAngle to endAngle (radians) about +Z.
AcDbEntity* arc(const AcGePoint3d& center, double radius, double startAngle, double endAngle);
// An open or closed polyline through the vertices, straight segments, at elevation 0.
AcDbEntity* polyline(const std::vector<AcGePoint2d>& vertices, bool closed);
// A closed rectangle with one corner at `corner`, extending `width` along X and `height` along Y.
AcDbEntity* rectangle(const AcGePoint2d& corner, double width, double height);

// --- Definitions and references -----------------------------------------------------------------

// Adds a block table record named `name` holding the entities (in order). The entities are
// always consumed: appended, or deleted when the definition cannot be made. eInvalidInput for
// an empty name or a null entity, eDuplicateRecordName for a name in use, eNoDatabase for a
// null database.
Acad::ErrorStatus makeDefinition(AcDbDatabase* db, const ACHAR* name,
                                 const std::vector<AcDbEntity*>& entities, AcDbObjectId& btrId);

// Inserts a reference of the definition in model space, uniformly scaled and turned by
// `rotation` (radians) about +Z. eWrongObjectType when `btrId` is not a block table record,
// eWrongDatabase when it belongs to another database, eInvalidInput for a zero scale.
Acad::ErrorStatus insertReference(AcDbDatabase* db, const AcDbObjectId& btrId,
                                  const AcGePoint3d& position, double rotation, double scale,
                                  AcDbObjectId& refId);

// --- Graphs -------------------------------------------------------------------------------------

// Makes an empty evaluation graph the definition's graph in the root data (made when missing).
// A definition that has a graph already keeps it: eDuplicateKey, and `graphId` names the
// existing one. eWrongObjectType when `btrId` is not a block table record.
Acad::ErrorStatus addGraph(AcDbDatabase* db, const AcDbObjectId& btrId, AcDbObjectId& graphId);

// The definition's graph as the root data records it: eKeyNotFound when it has none (or the
// drawing has no root data).
Acad::ErrorStatus findGraph(AcDbDatabase* db, const AcDbObjectId& btrId, AcDbObjectId& graphId);

// --- Parameters ---------------------------------------------------------------------------------

// Adds a linear parameter from `base` to `end` to the graph, offering its distance under `name`,
// with `gripCount` grips (0: none, 1: on the end point, 2: on both points). The parameter's
// element name is `name` too. Nothing is left in the graph on failure: eDuplicateKey when
// another parameter of the block uses the name, 402 when base and end coincide, eInvalidInput
// for an empty name or a grip count other than 0 to 2.
Acad::ErrorStatus addLinearParameter(AcDbDatabase* db, const AcDbObjectId& graphId,
                                     const AcGePoint3d& base, const AcGePoint3d& end,
                                     const ACHAR* name, AcDbObjectId& paramId, int gripCount = 2);

// The distances a parameter allows: any (the default), a list, or an increment grid between
// optional bounds.
struct ValueSetSpec {
    enum Kind { kAny, kList, kIncrement };
    Kind kind = kAny;
    std::vector<double> values;
    double increment = 0.0;
    std::optional<double> minimum;
    std::optional<double> maximum;

    static ValueSetSpec any() { return ValueSetSpec(); }
    static ValueSetSpec list(std::vector<double> allowed);
    static ValueSetSpec grid(double step, std::optional<double> low = std::nullopt,
                             std::optional<double> high = std::nullopt);
};

// Gives the parameter the value set. eWrongObjectType when `paramId` is not a linear parameter;
// eInvalidInput for an empty list, a non-positive increment, a negative bound or a minimum above
// the maximum (the parameter is then unchanged).
Acad::ErrorStatus setValueSet(const AcDbObjectId& paramId, const ValueSetSpec& wanted);

// --- Actions ------------------------------------------------------------------------------------

// Adds a move action named `name` on the linear parameter `paramId` of the graph: it moves the
// selection by the change of the parameter's end point (its "DeltaX" and "DeltaY" read the
// parameter's "EndXDelta" and "EndYDelta"). Nothing is left in the graph on failure:
// eInvalidInput for an empty name or a parameter of another graph, eWrongObjectType when
// `paramId` is no linear parameter, 20057 when the selection would close a cycle.
Acad::ErrorStatus addMoveAction(AcDbDatabase* db, const AcDbObjectId& graphId,
                                const AcDbObjectId& paramId, const AcDbObjectIdArray& selection,
                                const ACHAR* name, AcDbObjectId& actionId);
// Adds a stretch action named `name` on the linear parameter `paramId`, fed like the move action,
// whose frame is the axis-parallel rectangle from `frameMin` to `frameMax`: selected objects with
// stretch points in the frame have those points moved, the others move whole. Refusals as for
// addMoveAction; nothing is left in the graph on failure.
Acad::ErrorStatus addStretchAction(AcDbDatabase* db, const AcDbObjectId& graphId,
                                   const AcDbObjectId& paramId, const AcDbObjectIdArray& selection,
                                   const AcGePoint2d& frameMin, const AcGePoint2d& frameMax,
                                   const ACHAR* name, AcDbObjectId& actionId);

// --- Chained authoring --------------------------------------------------------------------------

// Chains the steps above on one database. Each step remembers the id it made as "current" for the
// steps after it (graph() works on the current definition, linear() on the current graph,
// valueSet() on the current parameter). After the first failure every step does nothing and
// status() keeps that failure.
class Author {
  public:
    explicit Author(AcDbDatabase* db) : m_db(db) {}

    Author& rootData();
    Author& definition(const ACHAR* name, const std::vector<AcDbEntity*>& entities);
    Author& graph();
    Author& linear(const AcGePoint3d& base, const AcGePoint3d& end, const ACHAR* name,
                   int gripCount = 2);
    Author& valueSet(const ValueSetSpec& wanted);
    Author& reference(const AcGePoint3d& position, double rotation = 0.0, double scale = 1.0);

    Acad::ErrorStatus status() const { return m_status; }
    bool ok() const { return m_status == Acad::eOk; }
    AcDbObjectId rootDataId() const { return m_rootData; }
    AcDbObjectId definitionId() const { return m_definition; }
    AcDbObjectId graphId() const { return m_graph; }
    AcDbObjectId parameterId() const { return m_parameter; }
    // Every reference inserted, in order.
    const AcDbObjectIdArray& referenceIds() const { return m_references; }

  private:
    AcDbDatabase* m_db;
    Acad::ErrorStatus m_status = Acad::eOk;
    AcDbObjectId m_rootData;
    AcDbObjectId m_definition;
    AcDbObjectId m_graph;
    AcDbObjectId m_parameter;
    AcDbObjectIdArray m_references;
};

// --- The demo drawing ---------------------------------------------------------------------------

// The sample drawing of the demo: a definition "DOOR" (a 10 x 20 rectangle from the origin and a
// quarter arc of radius 10 about the origin, the door's swing) whose linear parameter
// "Distance1" runs from (0,0) to (10,0) with a grip on each end, and three references of it
// in model space.
struct DemoDrawing {
    static constexpr const ACHAR* kDefinitionName = L"DOOR";
    static constexpr const ACHAR* kParameterName = L"Distance1";

    AcDbObjectId definitionId;
    AcDbObjectId graphId;
    AcDbObjectId parameterId;
    AcDbObjectIdArray referenceIds;

    // The three insertion points, rotations and scales, in insertion order.
    static AcGePoint3d referencePosition(int index);
    static double referenceRotation(int index);
    static double referenceScale(int index);

    // Builds the drawing into `db` (which must not have a "DOOR" block yet).
    Acad::ErrorStatus build(AcDbDatabase* db);
};

}  // namespace kxauthor
