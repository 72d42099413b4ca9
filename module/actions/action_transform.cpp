#include "module/actions/action_transform.h"

#include <cmath>

#include "host/entities/annotative.h"
#include "host/entities/attdef.h"
#include "host/entities/attrib.h"
#include "host/entities/blockref.h"
#include "host/entities/objectiterator.h"
#include "module/actions/action.h"
#include "module/actions/action_imp.h"
#include "module/graph/eval_context.h"
#include "module/graph/eval_graph.h"
#include "module/params/block_tag.h"
#include "module/representation/representation_context.h"
#include "module/representation/shape_index.h"

namespace {

// Attributes and attribute definitions that are neither constant nor locked in position keep
// the place the user gave them; only constant or locked ones follow the action.
template <class Att>
bool followsAction(const Att* att) {
    return att->isConstant() || att->lockPositionInBlock();
}

bool isAnnotative(AcDbBlockReference* ref) {
    AcDbAnnotativeObjectPE* pe =
        AcDbAnnotativeObjectPE::cast(ref->queryX(AcDbAnnotativeObjectPE::desc()));
    return pe != nullptr && pe->annotative(ref);
}

// Changes the representation objects of the selected entities.
Acad::ErrorStatus transformEntities(const AcGeMatrix3d& xform, const AcDbObjectIdArray& ids,
                                    KxDbTagEvalContext* context) {
    if (context == nullptr) {
        return Acad::eNullObjectPointer;
    }
    KxDbTagEvalContextPair refPair(KX_EVAL_KEY_REFERENCE, nullptr);
    Acad::ErrorStatus es = context->getPair(refPair);
    if (es != Acad::eOk) {
        return es;
    }
    AcDbBlockReference* ref = AcDbBlockReference::cast(refPair.value());
    if (ref == nullptr) {
        return KxStatus::kNoReference;
    }
    KxDbTagEvalContextPair repPair(KX_EVAL_KEY_REPRESENTATION, nullptr);
    if ((es = context->getPair(repPair)) != Acad::eOk) {
        return es;
    }
    KxDbTagRepresentationContext* rep = KxDbTagRepresentationContext::cast(repPair.value());
    if (rep == nullptr) {
        return Acad::eWrongObjectType;
    }
    // The reference's own attributes live in world coordinates: they take the same change as
    // seen through the reference's block transform.
    const AcGeMatrix3d blockXform = ref->blockTransform();
    const AcGeMatrix3d worldXform = blockXform * xform * blockXform.inverse();
    const bool annotative = isAnnotative(ref);
    // One list for all the ids: it is cleared by every lookup and keeps its storage.
    KxDbTagEntityList objects;
    // Transforming entities of the representation does not add attributes to the reference.
    const bool withAttributes = kxaction::carriesAttributes(ref);
    const AcRxClass* plainClass = nullptr;
    for (int i = 0; i < ids.length(); ++i) {
        if (!ids[i].isValid()) {
            continue;
        }
        if (rep->getObjectsForDefinitionEntity(ids[i], AcDb::kForWrite, objects) != Acad::eOk) {
            // Nothing stands for this entity in the reference (another action removed it).
            for (AcDbEntity* entity : objects) {
                entity->close();
            }
            continue;
        }
        if (withAttributes) {
            kxaction::appendConstantAttributes(ids[i], ref, objects);
        }
        for (AcDbEntity* entity : objects) {
            // Most entities are of one or two plain classes: a class known to be neither kind
            // of attribute skips both class walks.
            if (entity->isA() == plainClass) {
                entity->transformBy(xform);
            } else if (AcDbAttribute* att = AcDbAttribute::cast(entity)) {
                if (followsAction(att)) {
                    att->transformBy(worldXform);
                    if (annotative) {
                        att->xDataTransformBy(blockXform);
                    }
                }
            } else if (AcDbAttributeDefinition* def = AcDbAttributeDefinition::cast(entity)) {
                if (followsAction(def)) {
                    def->transformBy(xform);
                }
            } else {
                plainClass = entity->isA();
                entity->transformBy(xform);
            }
            entity->close();
        }
    }
    return Acad::eOk;
}

// Carries the selected parameters and actions along.
Acad::ErrorStatus transformDependents(const KxDbImpTagAction& action, const AcGeMatrix3d& xform) {
    const KxNodeIdArray dependents = action.dependentNodeIds();
    if (dependents.isEmpty()) {
        return Acad::eOk;
    }
    KxDbTagEvalGraph* graph = nullptr;
    Acad::ErrorStatus es = action.openOwnerGraph(graph, AcDb::kForRead);
    if (es != Acad::eOk) {
        return es;
    }
    for (int i = 0; i < dependents.length(); ++i) {
        // A node the graph no longer knows (a stale entry from a file) is skipped; the others
        // are still carried along.
        KxDbTagEvalExpr* node = nullptr;
        if (graph->getNode(dependents[i], AcDb::kForWrite, node) != Acad::eOk) {
            continue;
        }
        if (action.acceptsDependent(dependents[i])) {
            if (KxDbBlockTag* param = KxDbBlockTag::cast(node)) {
                param->transformInstanceBy(xform);
            } else if (KxDbTagAction* other = KxDbTagAction::cast(node)) {
                other->transformInstanceBy(xform);
            }
        }
        node->close();
    }
    graph->close();
    return Acad::eOk;
}

}  // namespace

namespace kxaction {

Acad::ErrorStatus transformSelection(const KxDbImpTagAction& action, const AcGeMatrix3d& xform,
                                     const AcDbObjectIdArray& selection,
                                     KxDbTagEvalContext* context) {
    // Elements of the selection are carried along through the dependent list, not transformed
    // as entities.
    AcDbObjectIdArray ids = selection;
    for (int i = ids.length() - 1; i >= 0; --i) {
        // The representation keeps facts of the definition entities it has read: an id with
        // facts is an entity and needs no look.
        if (kxshare::hasEntityFacts(ids[i])) {
            continue;
        }
        AcDbObject* obj = nullptr;
        if (ids[i].isValid() && acdbOpenObject(obj, ids[i], AcDb::kForRead) == Acad::eOk) {
            const bool isElement = KxDbTagElement::cast(obj) != nullptr;
            obj->close();
            if (isElement) {
                ids.removeAt(i);
            }
        }
    }
    if (!ids.isEmpty()) {
        const Acad::ErrorStatus es = transformEntities(xform, ids, context);
        if (es != Acad::eOk) {
            return es;
        }
    }
    return transformDependents(action, xform);
}

double normalizeAngle(double angle) {
    constexpr double kTwoPi = 6.28318530717958647692;
    if (!std::isfinite(angle) || angle - 1.0 == angle) {
        return 0.0;
    }
    const double turns = angle / kTwoPi;
    double r = (turns - std::trunc(turns)) * kTwoPi;
    if (r < 0.0) {
        r += kTwoPi;
    }
    if (r >= kTwoPi) {
        r -= kTwoPi;
    }
    return r;
}

bool carriesAttributes(const AcDbBlockReference* ref) {
    AcDbObjectIterator* it = ref->attributeIterator();
    if (it == nullptr) {
        return false;
    }
    it->start();
    const bool any = !it->done();
    delete it;
    return any;
}

void appendConstantAttributes(const AcDbObjectId& definitionId, const AcDbBlockReference* ref,
                              KxDbTagEntityList& objects) {
    // Most references carry no attributes: then there is nothing to match, and the definition
    // entity need not be opened to see whether it is a constant attribute definition.
    AcDbObjectIterator* it = ref->attributeIterator();
    if (it == nullptr) {
        return;
    }
    it->start();
    if (it->done()) {
        delete it;
        return;
    }
    AcString tag;
    {
        AcDbAttributeDefinition* attdef = nullptr;
        if (acdbOpenObject(attdef, definitionId, AcDb::kForRead) != Acad::eOk) {
            delete it;
            return;
        }
        const bool constant = attdef->isConstant();
        tag = attdef->tag();
        attdef->close();
        if (!constant) {
            delete it;
            return;
        }
    }
    for (; !it->done(); it->step()) {
        AcDbAttribute* attribute = nullptr;
        if (it->objectId().isNull()) {
            attribute = AcDbAttribute::cast(it->entity());
        } else if (acdbOpenObject(attribute, it->objectId(), AcDb::kForWrite, false, true) !=
                   Acad::eOk) {
            continue;
        }
        if (attribute == nullptr) {
            continue;
        }
        if (!attribute->isConstant() || acCompareNoCase(attribute->tag(), tag) != 0) {
            attribute->close();
            continue;
        }
        objects.push_back(attribute);
    }
    delete it;
}

}  // namespace kxaction
