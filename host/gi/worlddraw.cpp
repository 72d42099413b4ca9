#include "host/gi/worlddraw.h"

#include "host/gi/viewportdraw.h"

// Interfaces only: the graphics system derives its implementations from these.
ACRX_HOST_CLASS(AcGiSubEntityTraits, AcRxObject);
ACRX_HOST_CLASS(AcGiDrawableTraits, AcGiSubEntityTraits);
ACRX_HOST_CLASS(AcGiGeometry, AcRxObject);
ACRX_HOST_CLASS(AcGiWorldGeometry, AcGiGeometry);
ACRX_HOST_CLASS(AcGiCommonDraw, AcRxObject);
ACRX_HOST_CLASS(AcGiWorldDraw, AcGiCommonDraw);
ACRX_HOST_CLASS(AcGiViewport, AcRxObject);
ACRX_HOST_CLASS(AcGiViewportGeometry, AcGiGeometry);
ACRX_HOST_CLASS(AcGiViewportDraw, AcGiCommonDraw);
