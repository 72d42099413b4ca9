#include "host/db/idmapping.h"

ACRX_HOST_CLASS(AcDbIdMapping, AcRxObject);
ACRX_HOST_CLASS(AcDbIdMappingIter, AcRxObject);

bool AcDbIdMapping::compute(AcDbIdPair& pair) const {
    if (pair.key().isNull()) {
        return false;
    }
    auto it = m_index.find(pair.key());
    if (it == m_index.end()) {
        return false;
    }
    pair = m_pairs[it->second];
    return true;
}

bool AcDbIdMapping::assign(const AcDbIdPair& pair) {
    if (pair.key().isNull()) {
        return false;
    }
    auto it = m_index.find(pair.key());
    if (it != m_index.end()) {
        m_pairs[it->second] = pair;
        return true;
    }
    m_index.emplace(pair.key(), m_pairs.size());
    m_pairs.push_back(pair);
    return true;
}

bool AcDbIdMapping::pairAt(int index, AcDbIdPair& pair) const {
    if (index < 0 || index >= numPairs()) {
        return false;
    }
    pair = m_pairs[static_cast<size_t>(index)];
    return true;
}

Acad::ErrorStatus AcDbIdMapping::setDeepCloneContext(AcDb::DeepCloneType context) {
    if (context < AcDb::kDcCopy || context > AcDb::kDcWblkObjects) {
        return Acad::eInvalidInput;
    }
    m_context = context;
    m_contextSet = true;
    return Acad::eOk;
}

Acad::ErrorStatus AcDbIdMapping::setDuplicateRecordCloning(AcDb::DuplicateRecordCloning drc) {
    if (drc < AcDb::kDrcNotApplicable || drc > AcDb::kDrcUnmangleName) {
        return Acad::eInvalidInput;
    }
    m_drc = drc;
    return Acad::eOk;
}
