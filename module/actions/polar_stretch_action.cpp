#include "module/actions/polar_stretch_action.h"

#include "module/actions/polar_stretch_action_imp.h"

KX_DEFINE_PAIR(KxDbTagPolarStretchAction, KxDbTagAction, KxDbImpTagPolarStretchAction)
