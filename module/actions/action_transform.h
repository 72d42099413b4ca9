// The transformation step the transforming actions end their evaluation with: the selected
// entities of the definition are changed in the reference's representation, and selected
// elements (parameters, actions) are carried along.
#pragma once

#include <vector>

#include "host/db/objectid.h"
#include "host/ge/matrix3d.h"
#include "module/frame/export.h"

class AcDbBlockReference;
class AcDbEntity;
class KxDbImpTagAction;
class KxDbTagEvalContext;

namespace kxaction {
// Applies `xform` (block definition coordinates) for the reference being evaluated:
// - the representation objects of each selected entity get transformBy(xform), except the
//   reference's attributes and attribute definitions that are neither constant nor locked in
//   position; the constant or locked attributes of the reference move by the same change seen
//   in world coordinates (B·xform·B⁻¹, B the reference's block transform), and an annotative
//   reference's attributes get their xdata transformed by B too;
// - each dependent element the action accepts gets transformInstanceBy(xform).
// Selected ids without representation objects are skipped. Fails with the context's status when
// it holds no reference or representation context, 506 when the reference is no block reference.
KXDB_EXPORT Acad::ErrorStatus transformSelection(const KxDbImpTagAction& action,
                                                 const AcGeMatrix3d& xform,
                                                 const AcDbObjectIdArray& selection,
                                                 KxDbTagEvalContext* context);

// An angle brought into [0, 2π); infinite angles and angles of magnitude 2^53 or more give 0.
KXDB_EXPORT double normalizeAngle(double angle);

// The representation stands no reference attribute for a constant attribute definition (the
// reference shows the definition's own copy). When `definitionId` is a constant attribute
// definition, appends the reference's attributes of its tag, opened for write (the caller closes
// them), so that they follow an action like locked ones.
void appendConstantAttributes(const AcDbObjectId& definitionId, const AcDbBlockReference* ref,
                              std::vector<AcDbEntity*>& objects);
// Whether the reference has attributes at all: when it has none, appendConstantAttributes has
// nothing to append for any entity, and a loop over many entities asks this once instead.
bool carriesAttributes(const AcDbBlockReference* ref);
}  // namespace kxaction
