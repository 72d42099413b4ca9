#include "host/entities/objectiterator.h"

#include <utility>

ACRX_HOST_CLASS(AcDbObjectIterator, AcRxObject);

AcDbObjectIterator::AcDbObjectIterator(std::vector<Item> items) : m_items(std::move(items)) {
    start();
}

AcDbObjectIterator::~AcDbObjectIterator() = default;

void AcDbObjectIterator::skipErased(bool backwards) {
    while (!done()) {
        const Item& item = m_items[static_cast<size_t>(m_pos)];
        const bool erased = item.entity == nullptr && (!item.id.isValid() || item.id.isErased());
        if (!erased) {
            return;
        }
        m_pos += backwards ? -1 : 1;
    }
}

void AcDbObjectIterator::start(bool atEnd) {
    m_pos = atEnd ? static_cast<int>(m_items.size()) - 1 : 0;
    skipErased(atEnd);
}

bool AcDbObjectIterator::done() const {
    return m_pos < 0 || m_pos >= static_cast<int>(m_items.size());
}

void AcDbObjectIterator::step(bool backwards, bool skip) {
    if (done()) {
        return;
    }
    m_pos += backwards ? -1 : 1;
    if (skip) {
        skipErased(backwards);
    }
}

AcDbObjectId AcDbObjectIterator::objectId() const {
    return done() ? AcDbObjectId::kNull : m_items[static_cast<size_t>(m_pos)].id;
}

AcDbEntity* AcDbObjectIterator::entity() const {
    return done() ? nullptr : m_items[static_cast<size_t>(m_pos)].entity;
}

bool AcDbObjectIterator::seek(AcDbObjectId id) {
    for (size_t i = 0; i < m_items.size(); ++i) {
        if (!id.isNull() && m_items[i].id == id) {
            m_pos = static_cast<int>(i);
            return true;
        }
    }
    return false;
}

bool AcDbObjectIterator::seek(const AcDbEntity* entity) {
    if (entity == nullptr) {
        return false;
    }
    if (!entity->objectId().isNull()) {
        return seek(entity->objectId());
    }
    for (size_t i = 0; i < m_items.size(); ++i) {
        if (m_items[i].entity == entity) {
            m_pos = static_cast<int>(i);
            return true;
        }
    }
    return false;
}
