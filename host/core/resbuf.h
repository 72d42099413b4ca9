// Result buffers: chains of typed values whose type field holds a DXF group code (or one of the
// RT result-type codes), and the helpers that build, copy and release them.
#pragma once

#include "host/core/types.h"

typedef Adesk::Int64 ads_name[2];
typedef double ads_real;
typedef double ads_point[3];

struct ads_binary {
    short clen;
    char* buf;
};

union ads_u_val {
    ads_real rreal;
    ads_real rpoint[3];
    short rint;
    ACHAR* rstring;
    Adesk::Int32 rlong;
    Adesk::Int64 rlname[2];
    Adesk::Int64 mnInt64;
    ads_binary rbinary;
    unsigned char ihandle[8];
};

struct resbuf {
    resbuf* rbnext;
    short restype;
    ads_u_val resval;
};

// Result-type codes.
enum {
    RTNONE = 5000,
    RTREAL = 5001,
    RTPOINT = 5002,
    RTSHORT = 5003,
    RTANG = 5004,
    RTSTR = 5005,
    RTENAME = 5006,
    RTPICKS = 5007,
    RTORINT = 5008,
    RT3DPOINT = 5009,
    RTLONG = 5010,
    RTVOID = 5014,
    RTLB = 5016,
    RTLE = 5017,
    RTDXF0 = 5020,
    RTNORM = 5100,
    RTERROR = -5001,
    RTCAN = -5002,
    RTREJ = -5003,
    RTKWORD = -5005
};

// A zeroed buffer of the given type, allocated on the host heap; null when allocation fails.
resbuf* acutNewRb(int type);
// Releases a whole chain, including the strings and binary data its items own.
int acutRelRb(resbuf* rb);
// Heap copy of a wide string; null for a null argument or a failed allocation.
ACHAR* acutNewString(const ACHAR* s);
// Frees a string made by acutNewString and nulls the pointer.
void acutDelBuffer(ACHAR*& s);
// Deep copy of a chain (strings and binary data duplicated); null on allocation failure.
resbuf* acutCopyRb(const resbuf* rb);
// Builds a chain from (type, value) pairs ending with 0, as the host's list builder does:
// reals take a double, points a const double*, 16-bit and 32-bit kinds an int, text an
// const ACHAR*, ids an const Adesk::Int64* pointing at an ads_name.
resbuf* acutBuildList(int type, ...);

// Classification of a group code into the kind of value it carries.
AcDb::DwgDataType acdbGroupCodeToType(int code);
// True when items of this code own a string in rstring (text kinds, handles, RTSTR).
bool acutRbOwnsString(int code);
// True when items of this code own binary data in rbinary.
bool acutRbOwnsBinary(int code);
