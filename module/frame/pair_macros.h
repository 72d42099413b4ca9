// Macros for the public/implementation pairs, so every persistent class states its pairing in
// one line and the constructor/destructor protocol lives in one place.
#pragma once

#include <new>

#include "module/frame/object_wrapper.h"

// In a public class: run-time identity, the constructor that installs the class's own
// implementation, and the constructor derived public classes use to install theirs.
#define KX_DECLARE_PAIR(CLASS, PARENT)                            \
  public:                                                         \
    ACRX_DECLARE_MEMBERS(CLASS);                                  \
    CLASS();                                                      \
    ~CLASS() override;                                            \
                                                                  \
  protected:                                                      \
    explicit CLASS(AcDbObjectWrapper::NoImp tag) : PARENT(tag) {} \
                                                                  \
  public:

// In the public class's source file.
#define KX_DEFINE_PAIR(CLASS, PARENT, IMP)                             \
    CLASS::CLASS() : PARENT(AcDbObjectWrapper::NoImp{}) {              \
        AcDbObjectWrapper::setImp(this, new (std::nothrow) IMP(this)); \
    }                                                                  \
    CLASS::~CLASS() = default;

// In an implementation class.
#define KX_DECLARE_IMP(IMP, PARENT_IMP)                       \
  public:                                                     \
    explicit IMP(AcDbObjectWrapper* pub) : PARENT_IMP(pub) {} \
    ~IMP() override = default;

// The implementation of a public object, typed; null for a null object or another class.
template <class IMP>
IMP* kxImpOf(const AcDbObjectWrapper* pub) {
    return dynamic_cast<IMP*>(AcDbObjectWrapper::getImp(pub));
}
