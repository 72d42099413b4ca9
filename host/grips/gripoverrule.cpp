#include "host/grips/gripoverrule.h"

ACRX_HOST_CLASS(AcDbGripOverrule, AcRxOverrule);
