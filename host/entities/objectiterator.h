// A walk over the objects an object owns (the attributes of a block reference), as they were
// when the iterator was made.
#pragma once

#include <vector>

#include "host/entities/entity.h"

class AcDbObjectIterator : public AcRxObject {
  public:
    ACRX_DECLARE_MEMBERS(AcDbObjectIterator);

    // One owned object: its id when it is resident, its address when it is held in memory by an
    // owner that is not in a database (a drag image's attributes).
    struct Item {
        AcDbObjectId id;
        AcDbEntity* entity = nullptr;
    };

    explicit AcDbObjectIterator(std::vector<Item> items = {});
    ~AcDbObjectIterator() override;

    void start(bool atEnd = false);
    bool done() const;
    // Erased objects are skipped unless skipErased is false.
    void step(bool backwards = false, bool skipErased = true);
    // The current object's id (null for one held in memory).
    AcDbObjectId objectId() const;
    // The current object when it is held in memory; resident objects are opened by id instead,
    // so this is null for them.
    AcDbEntity* entity() const;
    // Moves to the object; false (no move) when it is not in the walk.
    bool seek(AcDbObjectId id);
    bool seek(const AcDbEntity* entity);

  private:
    void skipErased(bool backwards);
    std::vector<Item> m_items;
    int m_pos = 0;
};
