#include "module/graph/eval_graph.h"

#include "module/graph/eval_graph_imp.h"

KX_DEFINE_PAIR(KxDbTagEvalGraph, AcDbObjectWrapper, KxDbImpTagEvalGraph)
