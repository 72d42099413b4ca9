#include "module/grips/nb_app_data.h"

#include <new>

KxDbNimbleBlockNBAppData::KxDbNimbleBlockNBAppData(KxNodeId gripId, const AcDbObjectId& referenceId)
    : m_gripId(gripId), m_referenceId(referenceId) {}

KxDbNimbleBlockNBAppData::~KxDbNimbleBlockNBAppData() {
    delete m_dimensions;
}

bool KxDbNimbleBlockNBAppData::addDimension(AcDbDimData* dimension) {
    if (dimension == nullptr) {
        return false;
    }
    if (m_dimensions == nullptr) {
        m_dimensions = new (std::nothrow) KxDbDimDataPtrArray();
        if (m_dimensions == nullptr) {
            return false;
        }
    }
    if (m_dimensions->contains(dimension)) {
        return false;
    }
    m_dimensions->append(dimension);
    return true;
}

void KxDbNimbleBlockNBAppData::clearDimensions() {
    if (m_dimensions != nullptr) {
        m_dimensions->setLogicalLength(0);
    }
}

KxDbNimbleBlockNBAppData* KxDbNimbleBlockNBAppData::fromRecord(void* appData,
                                                               const AcRxClass* appDataClass) {
    if (appData == nullptr || appDataClass == nullptr ||
        !appDataClass->isDerivedFrom(KxDbNimbleBlockNBAppData::desc())) {
        return nullptr;
    }
    return static_cast<KxDbNimbleBlockNBAppData*>(appData);
}
