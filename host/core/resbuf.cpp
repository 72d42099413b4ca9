#include "host/core/resbuf.h"

#include <cstdarg>
#include <cstring>
#include <cwchar>

#include "host/core/heap.h"

AcDb::DwgDataType acdbGroupCodeToType(int code) {
    using namespace AcDb;
    if (code == -9999) {
        return kDwgNull;
    }
    struct Range {
        int lo, hi;
        DwgDataType kind;
    };
    static const Range kRanges[] = {
        {0, 9, kDwgText},
        {10, 18, kDwg3Real},
        {38, 59, kDwgReal},
        {60, 79, kDwgInt16},
        {90, 99, kDwgInt32},
        {100, 102, kDwgText},
        {105, 105, kDwgHandle},
        {110, 112, kDwg3Real},
        {140, 149, kDwgReal},
        {160, 169, kDwgInt64},
        {170, 179, kDwgInt16},
        {210, 210, kDwg3Real},
        {270, 279, kDwgInt16},
        {280, 289, kDwgInt8},
        {290, 299, kDwgInt8},
        {300, 309, kDwgText},
        {310, 319, kDwgBChunk},
        {320, 329, kDwgHandle},
        {330, 339, kDwgSoftPointerId},
        {340, 349, kDwgHardPointerId},
        {350, 359, kDwgSoftOwnershipId},
        {360, 369, kDwgHardOwnershipId},
        // Lineweights and plot style kinds: layers file them, so a reader must see numbers.
        {370, 389, kDwgInt16},
        {410, 419, kDwgText},
        {420, 429, kDwgInt32},
        {430, 439, kDwgText},
        {440, 459, kDwgInt32},
        {460, 469, kDwgReal},
        {470, 479, kDwgText},
        {999, 999, kDwgText},
        {1000, 1003, kDwgText},
        {1004, 1004, kDwgBChunk},
        {1005, 1005, kDwgHandle},
        {1010, 1013, kDwg3Real},
        {1040, 1042, kDwgReal},
        {1060, 1070, kDwgInt16},
        {1071, 1071, kDwgInt32},
    };
    for (const Range& r : kRanges) {
        if (code >= r.lo && code <= r.hi) {
            return r.kind;
        }
    }
    return kDwgNotRecognized;
}

bool acutRbOwnsString(int code) {
    if (code == RTSTR) {
        return true;
    }
    const AcDb::DwgDataType kind = acdbGroupCodeToType(code);
    return kind == AcDb::kDwgText || kind == AcDb::kDwgHandle;
}

bool acutRbOwnsBinary(int code) {
    return acdbGroupCodeToType(code) == AcDb::kDwgBChunk;
}

resbuf* acutNewRb(int type) {
    auto* rb = static_cast<resbuf*>(acHeapAlloc(sizeof(resbuf)));
    if (rb == nullptr) {
        return nullptr;
    }
    std::memset(rb, 0, sizeof(resbuf));
    rb->restype = static_cast<short>(type);
    return rb;
}

int acutRelRb(resbuf* rb) {
    while (rb != nullptr) {
        resbuf* next = rb->rbnext;
        if (acutRbOwnsString(rb->restype)) {
            acHeapFree(rb->resval.rstring);
        } else if (acutRbOwnsBinary(rb->restype)) {
            acHeapFree(rb->resval.rbinary.buf);
        }
        acHeapFree(rb);
        rb = next;
    }
    return RTNORM;
}

ACHAR* acutNewString(const ACHAR* s) {
    if (s == nullptr) {
        return nullptr;
    }
    const size_t n = std::wcslen(s) + 1;
    auto* p = static_cast<ACHAR*>(acHeapAlloc(n * sizeof(ACHAR)));
    if (p != nullptr) {
        std::wmemcpy(p, s, n);
    }
    return p;
}

void acutDelBuffer(ACHAR*& s) {
    acHeapFree(s);
    s = nullptr;
}

resbuf* acutCopyRb(const resbuf* rb) {
    resbuf* head = nullptr;
    resbuf** tail = &head;
    for (; rb != nullptr; rb = rb->rbnext) {
        resbuf* copy = acutNewRb(rb->restype);
        if (copy == nullptr) {
            acutRelRb(head);
            return nullptr;
        }
        copy->resval = rb->resval;
        if (acutRbOwnsString(rb->restype)) {
            copy->resval.rstring = nullptr;
            if (rb->resval.rstring != nullptr) {
                copy->resval.rstring = acutNewString(rb->resval.rstring);
                if (copy->resval.rstring == nullptr) {
                    acutRelRb(copy);
                    acutRelRb(head);
                    return nullptr;
                }
            }
        } else if (acutRbOwnsBinary(rb->restype)) {
            copy->resval.rbinary.buf = nullptr;
            const short len = rb->resval.rbinary.clen;
            if (rb->resval.rbinary.buf != nullptr && len > 0) {
                copy->resval.rbinary.buf = static_cast<char*>(acHeapAlloc(len));
                if (copy->resval.rbinary.buf == nullptr) {
                    acutRelRb(copy);
                    acutRelRb(head);
                    return nullptr;
                }
                std::memcpy(copy->resval.rbinary.buf, rb->resval.rbinary.buf, len);
            }
        }
        *tail = copy;
        tail = &copy->rbnext;
    }
    return head;
}

resbuf* acutBuildList(int type, ...) {
    va_list args;
    va_start(args, type);
    resbuf* head = nullptr;
    resbuf** tail = &head;
    for (; type != 0; type = va_arg(args, int)) {
        resbuf* rb = acutNewRb(type);
        if (rb == nullptr) {
            acutRelRb(head);
            va_end(args);
            return nullptr;
        }
        *tail = rb;
        tail = &rb->rbnext;
        const AcDb::DwgDataType kind = type == RTSTR     ? AcDb::kDwgText
                                       : type == RTREAL  ? AcDb::kDwgReal
                                       : type == RTSHORT ? AcDb::kDwgInt16
                                       : type == RTLONG  ? AcDb::kDwgInt32
                                       : (type == RTPOINT || type == RT3DPOINT)
                                           ? AcDb::kDwg3Real
                                           : acdbGroupCodeToType(type);
        switch (kind) {
            case AcDb::kDwgReal:
                rb->resval.rreal = va_arg(args, double);
                break;
            case AcDb::kDwg3Real: {
                const double* p = va_arg(args, const double*);
                for (int i = 0; i < 3; ++i) {
                    rb->resval.rpoint[i] = p != nullptr ? p[i] : 0.0;
                }
                break;
            }
            case AcDb::kDwgInt16:
            case AcDb::kDwgInt8:
                rb->resval.rint = static_cast<short>(va_arg(args, int));
                break;
            case AcDb::kDwgInt32:
                rb->resval.rlong = va_arg(args, int);
                break;
            case AcDb::kDwgInt64:
                rb->resval.mnInt64 = va_arg(args, Adesk::Int64);
                break;
            case AcDb::kDwgText:
            case AcDb::kDwgHandle:
                rb->resval.rstring = acutNewString(va_arg(args, const ACHAR*));
                break;
            case AcDb::kDwgHardOwnershipId:
            case AcDb::kDwgSoftOwnershipId:
            case AcDb::kDwgHardPointerId:
            case AcDb::kDwgSoftPointerId: {
                const Adesk::Int64* name = va_arg(args, const Adesk::Int64*);
                rb->resval.rlname[0] = name != nullptr ? name[0] : 0;
                rb->resval.rlname[1] = name != nullptr ? name[1] : 0;
                break;
            }
            default:
                break;
        }
    }
    va_end(args);
    return head;
}
