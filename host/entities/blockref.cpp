#include "host/entities/blockref.h"

ACRX_HOST_DXF_CLASS(AcDbBlockReference, AcDbEntity, "INSERT");
ACRX_HOST_DXF_CLASS(AcDbMInsertBlock, AcDbBlockReference, "INSERT");
