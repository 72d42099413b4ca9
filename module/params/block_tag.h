// The base of every parameter: an element of a block definition's graph with two filed flags
// (show properties, chain actions), grips counted, created, removed and placed by index, named
// user-visible properties, and the bookkeeping that tells whether an action hangs on it.
#pragma once

#include "host/core/acstring.h"
#include "host/ge/matrix3d.h"
#include "module/frame/pair_macros.h"
#include "module/graph/element.h"
#include "module/params/property_desc.h"

class KxDbTagGrip;
class KxDbTagEvalGraph;

// Grips opened for the caller, who closes each.
typedef AcArray<KxDbTagGrip*> KxDbTagGripPtrArray;

// Status values of the parameters.
namespace KxParamStatus {
// The definition base and end point of a two-point parameter would coincide.
constexpr Acad::ErrorStatus kPointsCoincide = static_cast<Acad::ErrorStatus>(402);
// A parameter with fewer than two grips cannot be moved through its "Origin" property.
constexpr Acad::ErrorStatus kOriginNeedsGrips = static_cast<Acad::ErrorStatus>(340);
}  // namespace KxParamStatus

class KXDB_EXPORT KxDbBlockTag : public KxDbTagElement {
    KX_DECLARE_PAIR(KxDbBlockTag, KxDbTagElement)

    // Grips, counted from 0 for each parameter. The base has none of its own: adding, removing,
    // setting the count and indexing give eNotApplicable; the count is that of the grip nodes
    // feeding the parameter in its graph.
    virtual Acad::ErrorStatus addGrip(int index, KxNodeId& gripId, KxDbTagEvalGraph* graph);
    // Opens the owning graph for write and removes the grip (its node, its inputs).
    virtual Acad::ErrorStatus removeGrip(int index);
    // Told that grip `index` has been deleted, so that grips that cannot exist without it go too.
    virtual Acad::ErrorStatus gripDeleted(int index);
    virtual Acad::ErrorStatus getGripCount(int& count) const;
    virtual Acad::ErrorStatus setGripCount(int count);
    // Opens each grip in index order; on failure the grips opened are closed and the array
    // emptied.
    virtual Acad::ErrorStatus getGrips(KxDbTagGripPtrArray& grips, AcDb::OpenMode mode) const;
    virtual Acad::ErrorStatus getGripIndex(KxNodeId gripId, int& index) const;
    // Puts every grip back on the definition point it belongs to.
    virtual Acad::ErrorStatus placeGripsAtDefinition();
    // Another action moves the parameter as part of its selection set.
    virtual Acad::ErrorStatus transformInstanceBy(const AcGeMatrix3d& xform);

    virtual bool showProperties() const;
    virtual Acad::ErrorStatus setShowProperties(bool show);
    virtual bool chainActions() const;
    // Makes the actions of the graph re-check their selection sets; an action that refuses with
    // 20057 (a cycle) restores the previous value and the status is returned.
    virtual Acad::ErrorStatus setChainActions(bool chain);

    // Properties: descriptions are appended. The transformed forms take the matrix from the
    // definition's coordinates to the reference's: getting applies it, setting its inverse.
    virtual Acad::ErrorStatus getPropertyDescriptions(KxDbBlockPropertyDescArray& descs) const;
    virtual Acad::ErrorStatus getPropertyValueTransformed(const ACHAR* name,
                                                          const AcGeMatrix3d& xform,
                                                          KxDbTagEvalVariant& value) const;
    virtual Acad::ErrorStatus getPropertyValue(const ACHAR* name, KxDbTagEvalVariant& value) const;
    virtual Acad::ErrorStatus setPropertyValueTransformed(const ACHAR* name,
                                                          const AcGeMatrix3d& xform,
                                                          const KxDbTagEvalVariant& value);
    virtual Acad::ErrorStatus setPropertyValue(const ACHAR* name, const KxDbTagEvalVariant& value);
    // eKeyNotFound for a parameter without properties; otherwise eOk, with the connection name
    // of the first description whose name matches without regard to case (none: unchanged).
    virtual Acad::ErrorStatus getPropertyConnectionName(const ACHAR* name,
                                                        AcString& connectionName) const;

    // Appends the names of the parameter's user-visible properties (a new property name must be
    // unique among those of the whole block).
    virtual Acad::ErrorStatus getLabelNames(AcStringArray& names) const;

    // eOk when `newName` may replace `oldName` as a property name: the same name ignoring case,
    // a parameter in no (reachable) graph, or a name no other parameter of the graph uses;
    // eDuplicateKey otherwise.
    Acad::ErrorStatus validatePropertyName(const ACHAR* oldName, const ACHAR* newName) const;
};
