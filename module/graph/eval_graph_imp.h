// The implementation of KxDbTagEvalGraph.
#pragma once

#include "module/frame/pair_macros.h"
#include "module/graph/eval_graph.h"

class KxDbImpTagEvalGraph : public AcDbImpObjectWrapper {
    KX_DECLARE_IMP(KxDbImpTagEvalGraph, AcDbImpObjectWrapper)
};
