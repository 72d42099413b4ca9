#include "host/entities/entity.h"

ACRX_HOST_CLASS(AcDbEntity, AcDbObject);
