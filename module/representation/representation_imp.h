// The implementation of KxDbTagRepresentation: the references whose block is being switched.
#pragma once

#include <vector>

class AcDbBlockReference;

class KxDbImpTagRepresentation {
  public:
    void enter(const AcDbBlockReference* ref) { m_switching.push_back(ref); }
    // Removes every entry of the reference.
    void leave(const AcDbBlockReference* ref);
    bool contains(const AcDbBlockReference* ref) const;

  private:
    std::vector<const AcDbBlockReference*> m_switching;
};
