#include "host/entities/curve.h"

ACRX_HOST_CLASS(AcDbCurve, AcDbEntity);
