#include "module/display/display_settings.h"

#include "host/ed/sysvars.h"

namespace kxdisplay {
namespace {

bool readShort(const ACHAR* name, Adesk::Int16& value) {
    resbuf rb{};
    if (acedGetVar(name, &rb) != RTNORM) {
        return false;
    }
    if (rb.restype == RTSTR) {
        acutDelBuffer(rb.resval.rstring);
        return false;
    }
    value = rb.resval.rint;
    return true;
}

// Writes an integer variable only when the host knows it, keeping the buffer's type.
void writeShort(const ACHAR* name, Adesk::Int16 value) {
    resbuf rb{};
    if (acedGetVar(name, &rb) != RTNORM) {
        return;
    }
    if (rb.restype == RTSTR) {
        acutDelBuffer(rb.resval.rstring);
        return;
    }
    rb.resval.rint = value;
    acedSetVar(name, &rb);
}

void writeString(const ACHAR* name, const ACHAR* value) {
    resbuf rb{};
    if (acedGetVar(name, &rb) != RTNORM) {
        return;
    }
    if (rb.restype != RTSTR) {
        return;
    }
    acutDelBuffer(rb.resval.rstring);
    rb.resval.rstring = acutNewString(value);
    acedSetVar(name, &rb);
    acutDelBuffer(rb.resval.rstring);
}

}  // namespace

Adesk::Int16 readDynMode() {
    Adesk::Int16 v = 3;
    return readShort(L"DYNMODE", v) ? v : 3;
}

Adesk::UInt16 readGripDynColor() {
    Adesk::Int16 v = 0;
    return readShort(L"GRIPDYNCOLOR", v) ? static_cast<Adesk::UInt16>(v) : 140;
}

bool readBtMarkDisplay() {
    Adesk::Int16 v = 0;
    return readShort(L"BTMARKDISPLAY", v) && v != 0;
}

Adesk::Int16 readParameterSize() {
    Adesk::Int16 v = 12;
    return readShort(L"BPARAMETERSIZE", v) ? v : 12;
}

bool applyDisplayDefaults() {
    writeString(L"BPARAMETERFONT", L"simplex.shx");
    writeShort(L"BPARAMETERSIZE", 12);
    writeShort(L"BGRIPOBJSIZE", 8);
    writeShort(L"BPTEXTHORIZONTAL", 1);
    writeShort(L"BACTIONBARMODE", 0);
    writeShort(L"BDEPENDENCYHIGHLIGHT", 1);
    writeShort(L"BTMARKDISPLAY", 1);
    return true;
}

}  // namespace kxdisplay
