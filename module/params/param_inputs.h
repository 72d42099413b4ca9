// The input maps of the point parameters: the grips (or other nodes) whose connections feed
// displacements into a parameter's updated coordinates. Shared by the one-point and two-point
// bases: reading the displacements during evaluation, and filing the maps.
#pragma once

#include "module/graph/element_imp.h"

class AcDbDwgFiler;
class AcDbDxfFiler;
class KxDbTagEvalGraph;

namespace kxparam {

// The sources of the node's incoming edges that carry values in the running evaluation.
Acad::ErrorStatus liveSources(const KxDbTagEvalGraph* graph, KxNodeId nodeId,
                              KxNodeIdArray& sources);
// The displacement the map feeds: the first entry (in node-id order) whose source is live. A
// grip source is read through its displacement connections ("UpdatedX"/"UpdatedY" name its
// "DisplacementX"/"DisplacementY"); any other source contributes 0 but still counts as found.
// `found` is false when no entry is live.
double inputDisplacement(const KxDbTagEvalGraph* graph, const KxConnectionMap& inputs,
                         const KxNodeIdArray& live, bool& found);

// DWG: a 32-bit count, then per entry a 32-bit node id and the connection name. Reading stops
// at the first filer failure (its status comes back), refuses a negative count and node id 0,
// and grows the map as entries arrive.
Acad::ErrorStatus writeInputsDwg(AcDbDwgFiler* filer, const KxConnectionMap& inputs);
Acad::ErrorStatus readInputsDwg(AcDbDwgFiler* filer, KxConnectionMap& inputs);

// DXF: the count under `countCode`, then per entry the id under `idCode` and the name under
// `nameCode`. The reader is given the count already read: per entry an optional id item (when
// another item comes the previous id is reused; there is none before the first entry) and the
// name item; an item of another code ends the list and is pushed back. eBadDxfSequence when the
// entries read differ from the count, or an entry has no id.
void writeInputsDxf(AcDbDxfFiler* filer, int countCode, int idCode, int nameCode,
                    const KxConnectionMap& inputs);
Acad::ErrorStatus readInputsDxf(AcDbDxfFiler* filer, int count, int idCode, int nameCode,
                                KxConnectionMap& inputs);

}  // namespace kxparam
