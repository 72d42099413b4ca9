#include "module/graph/eval_variant.h"

KxDbTagEvalVariant::KxDbTagEvalVariant() {
    rbnext = nullptr;
    restype = kNullType;
    resval = ads_u_val{};
}

KxDbTagEvalVariant::~KxDbTagEvalVariant() {
    clear();
}

void KxDbTagEvalVariant::clear() {
    if (acutRbOwnsString(restype)) {
        acutDelBuffer(resval.rstring);
    } else if (acutRbOwnsBinary(restype)) {
        acHeapFree(resval.rbinary.buf);
    }
    acutRelRb(rbnext);
    rbnext = nullptr;
    restype = kNullType;
    resval = ads_u_val{};
}
