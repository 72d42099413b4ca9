#include "tools/authoring/authoring.h"

#include <cmath>
#include <utility>

#include "host/db/blocktable.h"
#include "host/db/blocktablerecord.h"
#include "host/entities/arc.h"
#include "host/entities/blockref.h"
#include "host/entities/circle.h"
#include "host/entities/line.h"
#include "host/entities/polyline.h"
#include "host/ge/scale3d.h"
#include "module/actions/move_action.h"
#include "module/actions/stretch_action.h"
#include "module/graph/eval_graph.h"
#include "module/params/linear_tag.h"
#include "module/params/value_set.h"
#include "module/rootdata/root_data.h"

namespace kxauthor {

namespace {

constexpr Acad::ErrorStatus kNoDatabase = static_cast<Acad::ErrorStatus>(124);

// Closes an opened object when it goes out of scope, so every return path closes what it opened.
template <class T>
class Opened {
  public:
    Opened() = default;
    explicit Opened(T* obj) : m_obj(obj) {}
    ~Opened() { reset(); }
    Opened(const Opened&) = delete;
    Opened& operator=(const Opened&) = delete;

    T*& slot() { return m_obj; }
    T* get() const { return m_obj; }
    T* operator->() const { return m_obj; }
    void reset() {
        if (m_obj != nullptr) {
            m_obj->close();
            m_obj = nullptr;
        }
    }

  private:
    T* m_obj = nullptr;
};

// Entities handed over by the caller that have not found a home yet; the rest is deleted when
// the batch ends, whatever path left the function.
class EntityBatch {
  public:
    explicit EntityBatch(const std::vector<AcDbEntity*>& entities) : m_entities(entities) {}
    ~EntityBatch() {
        for (AcDbEntity* entity : m_entities) {
            delete entity;
        }
    }
    EntityBatch(const EntityBatch&) = delete;
    EntityBatch& operator=(const EntityBatch&) = delete;

    size_t size() const { return m_entities.size(); }
    AcDbEntity* at(size_t i) const { return m_entities[i]; }
    // The entity now belongs to a database.
    void settled(size_t i) { m_entities[i] = nullptr; }

  private:
    std::vector<AcDbEntity*> m_entities;
};

// Opens an object by id with the host's class check; a class mismatch is reported as the
// module's wrong-type status, which is what callers of this library test for.
template <class T>
Acad::ErrorStatus openTyped(const AcDbObjectId& id, AcDb::OpenMode mode, Opened<T>& holder) {
    const Acad::ErrorStatus es = acdbOpenObject(holder.slot(), id, mode);
    return es == Acad::eNotThatKindOfClass ? Acad::eWrongObjectType : es;
}

// `id` names a block table record of `db` that can hold a definition (not a layout).
Acad::ErrorStatus checkDefinition(AcDbDatabase* db, const AcDbObjectId& id) {
    if (db == nullptr) {
        return kNoDatabase;
    }
    if (id.isNull()) {
        return Acad::eNullObjectId;
    }
    if (id.database() != db) {
        return Acad::eWrongDatabase;
    }
    Opened<AcDbBlockTableRecord> btr;
    const Acad::ErrorStatus es = openTyped(id, AcDb::kForRead, btr);
    if (es != Acad::eOk) {
        return es;
    }
    return btr->isLayout() ? Acad::eInvalidInput : Acad::eOk;
}

// Takes a node that joined the graph but could not be finished out again and erases it, so a
// failed step leaves the graph as it was. `node` is open for write and is closed here.
void withdrawNode(KxDbTagEvalGraph* graph, KxDbBlockLinearTag* node) {
    // The grips (with their expression nodes) leave first; then the parameter itself.
    node->setGripCount(0);
    graph->removeNode(node);
    if (!node->objectId().isNull()) {
        node->erase();
        node->close();
    } else {
        delete node;
    }
}

}  // namespace

// --- Root data ----------------------------------------------------------------------------------

Acad::ErrorStatus ensureRootData(AcDbDatabase* db, AcDbObjectId& rootDataId) {
    rootDataId.setNull();
    if (db == nullptr) {
        return kNoDatabase;
    }
    Opened<KxDbTagRootData> rd;
    const Acad::ErrorStatus es = KxDbTagRootData::openRootData(db, AcDb::kForRead, true, rd.slot());
    if (es != Acad::eOk) {
        return es;
    }
    rootDataId = rd->objectId();
    return Acad::eOk;
}

// --- Host geometry ------------------------------------------------------------------------------

AcDbEntity* line(const AcGePoint3d& start, const AcGePoint3d& end) {
    return new AcDbLine(start, end);
}

AcDbEntity* circle(const AcGePoint3d& center, double radius) {
    return new AcDbCircle(center, AcGeVector3d(0.0, 0.0, 1.0), radius);
}

AcDbEntity* arc(const AcGePoint3d& center, double radius, double startAngle, double endAngle) {
    return new AcDbArc(center, radius, startAngle, endAngle);
}

AcDbEntity* polyline(const std::vector<AcGePoint2d>& vertices, bool closed) {
    auto* pline = new AcDbPolyline();
    for (const AcGePoint2d& vertex : vertices) {
        pline->addVertexAt(pline->numVerts(), vertex);
    }
    pline->setClosed(closed);
    return pline;
}

AcDbEntity* rectangle(const AcGePoint2d& corner, double width, double height) {
    return polyline({corner, AcGePoint2d(corner.x + width, corner.y),
                     AcGePoint2d(corner.x + width, corner.y + height),
                     AcGePoint2d(corner.x, corner.y + height)},
                    true);
}

// --- Definitions and references -----------------------------------------------------------------

Acad::ErrorStatus makeDefinition(AcDbDatabase* db, const ACHAR* name,
                                 const std::vector<AcDbEntity*>& entities, AcDbObjectId& btrId) {
    btrId.setNull();
    EntityBatch batch(entities);
    if (db == nullptr) {
        return kNoDatabase;
    }
    if (name == nullptr || name[0] == L'\0') {
        return Acad::eInvalidInput;
    }
    for (size_t i = 0; i < batch.size(); ++i) {
        if (batch.at(i) == nullptr) {
            return Acad::eInvalidInput;
        }
    }
    Opened<AcDbBlockTable> table;
    Acad::ErrorStatus es = db->getBlockTable(table.slot(), AcDb::kForWrite);
    if (es != Acad::eOk) {
        return es;
    }
    if (table->has(name)) {
        return Acad::eDuplicateRecordName;
    }
    auto* record = new AcDbBlockTableRecord();
    es = record->setName(name);
    AcDbObjectId id;
    if (es == Acad::eOk) {
        es = table->add(id, record);
    }
    if (es != Acad::eOk) {
        delete record;
        return es;
    }
    Opened<AcDbBlockTableRecord> btr(record);
    for (size_t i = 0; i < batch.size() && es == Acad::eOk; ++i) {
        es = btr->appendAcDbEntity(batch.at(i));
        if (es == Acad::eOk) {
            batch.at(i)->close();
            batch.settled(i);
        }
    }
    if (es != Acad::eOk) {
        // A definition missing some of its geometry is worse than none: the record goes, and
        // the entities appended so far go with it.
        btr->erase();
        return es;
    }
    btrId = id;
    return Acad::eOk;
}

Acad::ErrorStatus insertReference(AcDbDatabase* db, const AcDbObjectId& btrId,
                                  const AcGePoint3d& position, double rotation, double scale,
                                  AcDbObjectId& refId) {
    refId.setNull();
    Acad::ErrorStatus es = checkDefinition(db, btrId);
    if (es != Acad::eOk) {
        return es;
    }
    if (!std::isfinite(scale) || std::fabs(scale) < 1e-10 || !std::isfinite(rotation)) {
        return Acad::eInvalidInput;
    }
    auto* ref = new AcDbBlockReference(position, btrId);
    es = ref->setRotation(rotation);
    if (es == Acad::eOk) {
        es = ref->setScaleFactors(AcGeScale3d(scale));
    }
    Opened<AcDbBlockTableRecord> space;
    if (es == Acad::eOk) {
        es = openTyped(db->modelSpaceId(), AcDb::kForWrite, space);
    }
    AcDbObjectId id;
    if (es == Acad::eOk) {
        es = space->appendAcDbEntity(id, ref);
    }
    if (es != Acad::eOk) {
        delete ref;
        return es;
    }
    ref->close();
    refId = id;
    return Acad::eOk;
}

// --- Graphs -------------------------------------------------------------------------------------

Acad::ErrorStatus addGraph(AcDbDatabase* db, const AcDbObjectId& btrId, AcDbObjectId& graphId) {
    graphId.setNull();
    Acad::ErrorStatus es = checkDefinition(db, btrId);
    if (es != Acad::eOk) {
        return es;
    }
    Opened<KxDbTagRootData> rd;
    es = KxDbTagRootData::openRootData(db, AcDb::kForWrite, true, rd.slot());
    if (es != Acad::eOk) {
        return es;
    }
    // Replacing a graph would erase the definition's parameters with it; an author who wants
    // that has to say so by other means.
    AcDbObjectId existing;
    if (rd->getGraph(btrId, existing) && !existing.isErased()) {
        graphId = existing;
        return Acad::eDuplicateKey;
    }
    auto* graph = new KxDbTagEvalGraph();
    es = rd->setGraph(btrId, graph);
    if (es != Acad::eOk) {
        if (graph->objectId().isNull()) {
            delete graph;
        } else {
            graph->erase();
            graph->close();
        }
        return es;
    }
    graphId = graph->objectId();
    graph->close();
    return Acad::eOk;
}

Acad::ErrorStatus findGraph(AcDbDatabase* db, const AcDbObjectId& btrId, AcDbObjectId& graphId) {
    graphId.setNull();
    if (db == nullptr) {
        return kNoDatabase;
    }
    Opened<KxDbTagRootData> rd;
    const Acad::ErrorStatus es = KxDbTagRootData::openRootData(db, AcDb::kForRead, rd.slot());
    if (es != Acad::eOk) {
        return es;
    }
    return rd->getGraph(btrId, graphId) ? Acad::eOk : Acad::eKeyNotFound;
}

// --- Parameters ---------------------------------------------------------------------------------

Acad::ErrorStatus addLinearParameter(AcDbDatabase* db, const AcDbObjectId& graphId,
                                     const AcGePoint3d& base, const AcGePoint3d& end,
                                     const ACHAR* name, AcDbObjectId& paramId, int gripCount) {
    paramId.setNull();
    if (db == nullptr) {
        return kNoDatabase;
    }
    if (name == nullptr || name[0] == L'\0' || gripCount < 0 || gripCount > 2) {
        return Acad::eInvalidInput;
    }
    if (graphId.database() != db) {
        return graphId.isNull() ? Acad::eNullObjectId : Acad::eWrongDatabase;
    }
    Opened<KxDbTagEvalGraph> graph;
    Acad::ErrorStatus es = openTyped(graphId, AcDb::kForWrite, graph);
    if (es != Acad::eOk) {
        return es;
    }
    // Checked up front: a name taken would otherwise surface only after the node had joined.
    if (!graph->isPropertyNameUnique(name, 0)) {
        return Acad::eDuplicateKey;
    }

    // The points are set while the parameter is still free, where they cost no grips to move.
    auto* linear = new KxDbBlockLinearTag();
    es = linear->setDefinitionBasePoint(base);
    if (es == Acad::eOk) {
        es = linear->setDefinitionEndPoint(end);
    }
    if (es == Acad::eOk) {
        es = linear->setName(name);
    }
    KxNodeId nodeId = 0;
    if (es == Acad::eOk) {
        es = graph->addNode(linear, nodeId);
    }
    if (es != Acad::eOk) {
        if (linear->objectId().isNull()) {
            delete linear;
        } else {
            linear->erase();
            linear->close();
        }
        return es;
    }

    // In the graph: the name is checked against the other parameters, and grips can be wired.
    es = linear->setDistanceName(name);
    if (es == Acad::eOk) {
        es = linear->setGripCount(gripCount);
    }
    if (es != Acad::eOk) {
        withdrawNode(graph.get(), linear);
        return es;
    }
    paramId = linear->objectId();
    linear->close();
    return Acad::eOk;
}

ValueSetSpec ValueSetSpec::list(std::vector<double> allowed) {
    ValueSetSpec wanted;
    wanted.kind = kList;
    wanted.values = std::move(allowed);
    return wanted;
}

ValueSetSpec ValueSetSpec::grid(double step, std::optional<double> low,
                                std::optional<double> high) {
    ValueSetSpec wanted;
    wanted.kind = kIncrement;
    wanted.increment = step;
    wanted.minimum = low;
    wanted.maximum = high;
    return wanted;
}

namespace {

// The value set the wanted describes; eInvalidInput for a wanted the value set would silently bend
// into something else (it drops negative bounds and crossed ranges instead of refusing them).
Acad::ErrorStatus buildValueSet(const ValueSetSpec& wanted, KxDbBlockTagValueSet& set) {
    auto finiteNonNegative = [](double v) { return std::isfinite(v) && v >= 0.0; };
    switch (wanted.kind) {
        case ValueSetSpec::kAny:
            return Acad::eOk;
        case ValueSetSpec::kList: {
            if (wanted.values.empty()) {
                return Acad::eInvalidInput;
            }
            AcGeDoubleArray values;
            for (double v : wanted.values) {
                if (!finiteNonNegative(v)) {
                    return Acad::eInvalidInput;
                }
                values.append(v);
            }
            return set.setList(values);
        }
        case ValueSetSpec::kIncrement: {
            if (!std::isfinite(wanted.increment) || wanted.increment <= 0.0) {
                return Acad::eInvalidInput;
            }
            if ((wanted.minimum && !finiteNonNegative(*wanted.minimum)) ||
                (wanted.maximum && !finiteNonNegative(*wanted.maximum)) ||
                (wanted.minimum && wanted.maximum && *wanted.minimum > *wanted.maximum)) {
                return Acad::eInvalidInput;
            }
            if (wanted.minimum) {
                set.setMinimum(*wanted.minimum);
            }
            if (wanted.maximum) {
                set.setMaximum(*wanted.maximum);
            }
            set.setIncrement(wanted.increment);
            set.setHasIncrement(true);
            return Acad::eOk;
        }
    }
    return Acad::eInvalidInput;
}

}  // namespace

Acad::ErrorStatus setValueSet(const AcDbObjectId& paramId, const ValueSetSpec& wanted) {
    KxDbBlockTagValueSet set;
    Acad::ErrorStatus es = buildValueSet(wanted, set);
    if (es != Acad::eOk) {
        return es;
    }
    Opened<KxDbBlockLinearTag> linear;
    es = openTyped(paramId, AcDb::kForWrite, linear);
    if (es != Acad::eOk) {
        return es;
    }
    return linear->setValueSet(set);
}

// --- Actions ------------------------------------------------------------------------------------

namespace {

// Adds `action` (a new object, owned here on every path) to the graph and wires it to the linear
// parameter's end: the parameter's end moves by (EndXDelta, EndYDelta) when its distance changes,
// and the action works by the same amount. `prepare` runs once the action is in the graph and
// before its selection is set (the stretch frame goes first, so that the selection is sorted
// once). On any failure nothing stays behind.
template <class Prepare>
Acad::ErrorStatus addEndDrivenAction(AcDbDatabase* db, const AcDbObjectId& graphId,
                                     const AcDbObjectId& paramId,
                                     const AcDbObjectIdArray& selection, const ACHAR* name,
                                     KxDbTagAction* action, Prepare prepare,
                                     AcDbObjectId& actionId) {
    actionId.setNull();
    Acad::ErrorStatus es = Acad::eOk;
    if (action == nullptr) {
        es = Acad::eOutOfMemory;
    } else if (db == nullptr) {
        es = kNoDatabase;
    } else if (name == nullptr || name[0] == L'\0') {
        es = Acad::eInvalidInput;
    } else if (graphId.database() != db) {
        es = graphId.isNull() ? Acad::eNullObjectId : Acad::eWrongDatabase;
    }
    if (es != Acad::eOk) {
        delete action;
        return es;
    }
    Opened<KxDbTagEvalGraph> graph;
    KxNodeId paramNode = 0;
    if ((es = openTyped(graphId, AcDb::kForWrite, graph)) == Acad::eOk) {
        Opened<KxDbBlockLinearTag> linear;
        if ((es = openTyped(paramId, AcDb::kForRead, linear)) == Acad::eOk) {
            // Only a parameter of this graph can drive the action.
            if (linear->ownerId() != graphId) {
                es = Acad::eInvalidInput;
            }
            paramNode = linear->getNodeId();
        }
    }
    if (es == Acad::eOk) {
        es = action->setName(name);
    }
    KxNodeId nodeId = 0;
    if (es == Acad::eOk) {
        es = graph->addNode(action, nodeId);
    }
    if (es != Acad::eOk) {
        if (action->objectId().isNull()) {
            delete action;
        } else {
            action->erase();
            action->close();
        }
        return es;
    }
    es = prepare();
    if (es == Acad::eOk) {
        es = action->connectTo(L"DeltaX", paramNode, L"EndXDelta");
    }
    if (es == Acad::eOk) {
        es = action->connectTo(L"DeltaY", paramNode, L"EndYDelta");
    }
    if (es == Acad::eOk) {
        es = action->setSelectionSet(selection);
    }
    if (es != Acad::eOk) {
        graph->removeNode(action);
        action->erase();
        action->close();
        return es;
    }
    actionId = action->objectId();
    action->close();
    return Acad::eOk;
}

}  // namespace

Acad::ErrorStatus addMoveAction(AcDbDatabase* db, const AcDbObjectId& graphId,
                                const AcDbObjectId& paramId, const AcDbObjectIdArray& selection,
                                const ACHAR* name, AcDbObjectId& actionId) {
    return addEndDrivenAction(
        db, graphId, paramId, selection, name, new KxDbTagMoveAction(), [] { return Acad::eOk; },
        actionId);
}

Acad::ErrorStatus addStretchAction(AcDbDatabase* db, const AcDbObjectId& graphId,
                                   const AcDbObjectId& paramId, const AcDbObjectIdArray& selection,
                                   const AcGePoint2d& frameMin, const AcGePoint2d& frameMax,
                                   const ACHAR* name, AcDbObjectId& actionId) {
    auto* stretch = new KxDbTagStretchAction();
    return addEndDrivenAction(
        db, graphId, paramId, selection, name, stretch,
        [&] {
            AcGePoint2dArray frame;
            frame.append(frameMin);
            frame.append(frameMax);
            return stretch->setStretchFrame(frame);
        },
        actionId);
}

// --- Chained authoring --------------------------------------------------------------------------

Author& Author::rootData() {
    if (ok()) {
        m_status = ensureRootData(m_db, m_rootData);
    }
    return *this;
}

Author& Author::definition(const ACHAR* name, const std::vector<AcDbEntity*>& entities) {
    if (!ok()) {
        // The entities were handed over all the same.
        for (AcDbEntity* entity : entities) {
            delete entity;
        }
        return *this;
    }
    m_status = makeDefinition(m_db, name, entities, m_definition);
    m_graph.setNull();
    m_parameter.setNull();
    return *this;
}

Author& Author::graph() {
    if (ok()) {
        m_status = addGraph(m_db, m_definition, m_graph);
        m_parameter.setNull();
    }
    return *this;
}

Author& Author::linear(const AcGePoint3d& base, const AcGePoint3d& end, const ACHAR* name,
                       int gripCount) {
    if (ok()) {
        m_status = addLinearParameter(m_db, m_graph, base, end, name, m_parameter, gripCount);
    }
    return *this;
}

Author& Author::valueSet(const ValueSetSpec& wanted) {
    if (ok()) {
        m_status = setValueSet(m_parameter, wanted);
    }
    return *this;
}

Author& Author::reference(const AcGePoint3d& position, double rotation, double scale) {
    if (ok()) {
        AcDbObjectId id;
        m_status = insertReference(m_db, m_definition, position, rotation, scale, id);
        if (ok()) {
            m_references.append(id);
        }
    }
    return *this;
}

// --- The demo drawing ---------------------------------------------------------------------------

namespace {
constexpr double kHalfPi = 1.5707963267948966;
}  // namespace

AcGePoint3d DemoDrawing::referencePosition(int index) {
    static const AcGePoint3d kPositions[] = {
        AcGePoint3d(0.0, 0.0, 0.0), AcGePoint3d(40.0, 0.0, 0.0), AcGePoint3d(80.0, 10.0, 0.0)};
    return index >= 0 && index < 3 ? kPositions[index] : AcGePoint3d();
}

double DemoDrawing::referenceRotation(int index) {
    return index == 2 ? kHalfPi : 0.0;
}

double DemoDrawing::referenceScale(int index) {
    return index == 1 ? 2.0 : 1.0;
}

Acad::ErrorStatus DemoDrawing::build(AcDbDatabase* db) {
    Author author(db);
    author.rootData()
        .definition(kDefinitionName, {rectangle(AcGePoint2d(0.0, 0.0), 10.0, 20.0),
                                      arc(AcGePoint3d(0.0, 0.0, 0.0), 10.0, 0.0, kHalfPi)})
        .graph()
        .linear(AcGePoint3d(0.0, 0.0, 0.0), AcGePoint3d(10.0, 0.0, 0.0), kParameterName, 2);
    for (int i = 0; i < 3; ++i) {
        author.reference(referencePosition(i), referenceRotation(i), referenceScale(i));
    }
    definitionId = author.definitionId();
    graphId = author.graphId();
    parameterId = author.parameterId();
    referenceIds = author.referenceIds();
    return author.status();
}

}  // namespace kxauthor
