// The implementation of KxDbTagPolarStretchAction.
#pragma once

#include "module/actions/action_imp.h"
#include "module/actions/polar_stretch_action.h"

class KxDbImpTagPolarStretchAction : public KxDbImpTagAction {
    KX_DECLARE_IMP(KxDbImpTagPolarStretchAction, KxDbImpTagAction)
};
