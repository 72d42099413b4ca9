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

// In a public class's source file: defines an operation that hands the call on to the object's
// implementation, and answers FALLBACK where there is none (a null object, or one whose
// implementation is of another class), so the null check is written once and not in every
// forwarder. The implementation is reached through the file's own typed accessor
// `impOf(this)`, which must be declared before the first use. PARAMS and ARGS are written in
// their parentheses, e.g. `(const AcGePoint3d& point)` and `(point)`; CONSTNESS is `const` or
// left empty; a FALLBACK with a comma in it needs parentheses of its own. Operations that do
// anything more than this are written out in full.
#define KX_FORWARD(RET, CLASS, NAME, PARAMS, ARGS, CONSTNESS, FALLBACK) \
    RET CLASS::NAME PARAMS CONSTNESS {                                  \
        auto* imp = impOf(this);                                        \
        return imp != nullptr ? imp->NAME ARGS : FALLBACK;              \
    }

// The common case: a status-returning operation, which without an implementation answers
// eNullObjectPointer.
#define KX_FORWARD_STATUS(CLASS, NAME, PARAMS, ARGS, CONSTNESS) \
    KX_FORWARD(Acad::ErrorStatus, CLASS, NAME, PARAMS, ARGS, CONSTNESS, Acad::eNullObjectPointer)
