#include "module/params/param_inputs.h"

#include "host/db/dwgfiler.h"
#include "host/db/dxffiler.h"
#include "module/graph/eval_graph.h"
#include "module/grips/grip.h"

namespace kxparam {

namespace {
// Edges that carry nothing in the running evaluation: inactive for it, or never traversed.
constexpr Adesk::Int32 kSuppressedEdge = 0x10 | 0x80;
}  // namespace

Acad::ErrorStatus liveSources(const KxDbTagEvalGraph* graph, KxNodeId nodeId,
                              KxNodeIdArray& sources) {
    KxEdgeInfoArray edges;
    const Acad::ErrorStatus es = graph->getIncomingEdges(nodeId, edges);
    if (es != Acad::eOk) {
        return es;
    }
    for (int i = 0; i < edges.length(); ++i) {
        if ((edges[i].flags & kSuppressedEdge) == 0 && !sources.contains(edges[i].sourceId)) {
            sources.append(edges[i].sourceId);
        }
    }
    return Acad::eOk;
}

double inputDisplacement(const KxDbTagEvalGraph* graph, const KxConnectionMap& inputs,
                         const KxNodeIdArray& live, bool& found) {
    found = false;
    for (const auto& entry : inputs) {
        if (!live.contains(entry.first)) {
            continue;
        }
        found = true;
        KxDbTagEvalExpr* node = nullptr;
        Acad::ErrorStatus es = graph->getNode(entry.first, AcDb::kForRead, node);
        if (es == Acad::eWasOpenForWrite || es == Acad::eWasOpenForRead) {
            es = graph->getNode(entry.first, AcDb::kForNotify, node);
        }
        if (es != Acad::eOk) {
            return 0.0;
        }
        double displacement = 0.0;
        const KxDbTagGrip* grip = KxDbTagGrip::cast(node);
        if (grip != nullptr) {
            // A grip offers the displacement of its drag under its own names.
            AcString name = entry.second;
            if (acCompareNoCase(name, L"UpdatedX") == 0) {
                name = L"DisplacementX";
            } else if (acCompareNoCase(name, L"UpdatedY") == 0) {
                name = L"DisplacementY";
            }
            KxDbTagEvalVariant value;
            if (grip->getConnectionValue(name, value) == Acad::eOk &&
                acdbGroupCodeToType(value.type()) == AcDb::kDwgReal) {
                displacement = value.resval.rreal;
            }
        }
        node->close();
        return displacement;
    }
    return 0.0;
}

Acad::ErrorStatus writeInputsDwg(AcDbDwgFiler* filer, const KxConnectionMap& inputs) {
    filer->writeInt32(static_cast<Adesk::Int32>(inputs.size()));
    for (const auto& entry : inputs) {
        filer->writeUInt32(entry.first);
        filer->writeString(entry.second);
    }
    return filer->filerStatus();
}

Acad::ErrorStatus readInputsDwg(AcDbDwgFiler* filer, KxConnectionMap& inputs) {
    inputs.clear();
    Adesk::Int32 count = 0;
    Acad::ErrorStatus es = filer->readInt32(&count);
    if (es != Acad::eOk) {
        return es;
    }
    if (count < 0) {
        filer->setFilerStatus(Acad::eFilerError);
        return Acad::eFilerError;
    }
    // The count is not trusted for memory: entries are taken as they come, and a stream that
    // ends early ends the loop with the filer's failure.
    for (Adesk::Int32 i = 0; i < count; ++i) {
        Adesk::UInt32 id = 0;
        AcString name;
        if ((es = filer->readUInt32(&id)) != Acad::eOk ||
            (es = filer->readString(name)) != Acad::eOk) {
            inputs.clear();
            return es;
        }
        if (id == 0) {
            inputs.clear();
            filer->setFilerStatus(Acad::eFilerError);
            return Acad::eFilerError;
        }
        inputs[id] = name;
    }
    return filer->filerStatus();
}

void writeInputsDxf(AcDbDxfFiler* filer, int countCode, int idCode, int nameCode,
                    const KxConnectionMap& inputs) {
    filer->writeInt16(countCode, static_cast<Adesk::Int16>(inputs.size()));
    for (const auto& entry : inputs) {
        filer->writeInt32(idCode, static_cast<Adesk::Int32>(entry.first));
        filer->writeString(nameCode, entry.second);
    }
}

Acad::ErrorStatus readInputsDxf(AcDbDxfFiler* filer, int count, int idCode, int nameCode,
                                KxConnectionMap& inputs) {
    inputs.clear();
    if (count < 0) {
        return Acad::eBadDxfSequence;
    }
    KxNodeId id = 0;
    int read = 0;
    while (read < count) {
        resbuf rb{};
        Acad::ErrorStatus es = filer->readItem(&rb);
        if (es == Acad::eEndOfFile) {
            break;
        }
        if (es != Acad::eOk) {
            inputs.clear();
            return es;
        }
        if (rb.restype == idCode) {
            id = static_cast<KxNodeId>(rb.resval.rlong);
            rb = resbuf{};
            es = filer->readItem(&rb);
            if (es == Acad::eEndOfFile) {
                break;
            }
            if (es != Acad::eOk) {
                inputs.clear();
                return es;
            }
        }
        if (rb.restype != nameCode) {
            // Not an entry of this list: the list ends here.
            kxnode::releaseDxfItem(rb);
            filer->pushBackItem();
            break;
        }
        const AcString name(rb.resval.rstring);
        kxnode::releaseDxfItem(rb);
        if (id == 0) {
            inputs.clear();
            return Acad::eBadDxfSequence;
        }
        inputs[id] = name;
        ++read;
    }
    if (read != count) {
        inputs.clear();
        return Acad::eBadDxfSequence;
    }
    return Acad::eOk;
}

}  // namespace kxparam
