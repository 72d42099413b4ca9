#include "host/ed/sysvars.h"

#include <cstdarg>
#include <map>

#include "host/core/acstring.h"

namespace {
struct Variable {
    bool isString;
    int intValue;
    std::wstring stringValue;
};

std::map<std::wstring, Variable> defaults() {
    return {
        {L"DYNMODE", {false, 3, L""}},
        {L"GRIPDYNCOLOR", {false, 140, L""}},
        {L"BTMARKDISPLAY", {false, 1, L""}},
        {L"BPARAMETERSIZE", {false, 12, L""}},
        {L"BPARAMETERFONT", {true, 0, L"Arial"}},
        {L"BGRIPOBJSIZE", {false, 8, L""}},
        {L"BPTEXTHORIZONTAL", {false, 1, L""}},
        {L"BACTIONBARMODE", {false, 1, L""}},
        {L"BDEPENDENCYHIGHLIGHT", {false, 1, L""}},
        {L"OSMODE", {false, 4133, L""}},
        {L"GRIPSIZE", {false, 5, L""}},
        {L"GRIPCOLOR", {false, 150, L""}},
        {L"GRIPHOT", {false, 12, L""}},
        {L"ATTMODE", {false, 1, L""}},
        {L"FILLMODE", {false, 1, L""}},
    };
}

std::map<std::wstring, Variable>& variables() {
    static std::map<std::wstring, Variable> vars = defaults();
    return vars;
}

std::wstring& commandLine() {
    static std::wstring out;
    return out;
}

Variable* find(const ACHAR* name) {
    if (name == nullptr) {
        return nullptr;
    }
    auto it = variables().find(name);
    if (it != variables().end()) {
        return &it->second;
    }
    // Variable names do not depend on case.
    for (auto& entry : variables()) {
        if (acCompareNoCase(entry.first.c_str(), name) == 0) {
            return &entry.second;
        }
    }
    return nullptr;
}
}  // namespace

int acedGetVar(const ACHAR* name, resbuf* result) {
    Variable* v = find(name);
    if (v == nullptr || result == nullptr) {
        return RTERROR;
    }
    if (v->isString) {
        result->restype = RTSTR;
        result->resval.rstring = acutNewString(v->stringValue.c_str());
    } else {
        result->restype = RTSHORT;
        result->resval.rint = static_cast<short>(v->intValue);
    }
    return RTNORM;
}

int acedSetVar(const ACHAR* name, const resbuf* value) {
    Variable* v = find(name);
    if (v == nullptr || value == nullptr) {
        return RTERROR;
    }
    if (v->isString) {
        if (value->restype != RTSTR) {
            return RTERROR;
        }
        v->stringValue = value->resval.rstring != nullptr ? value->resval.rstring : L"";
        return RTNORM;
    }
    switch (value->restype) {
        case RTSHORT:
            v->intValue = value->resval.rint;
            return RTNORM;
        case RTLONG:
            v->intValue = value->resval.rlong;
            return RTNORM;
        default:
            return RTERROR;
    }
}

int acutPrintf(const ACHAR* format, ...) {
    va_list args;
    va_start(args, format);
    const std::wstring text = acFormatV(format, args);
    va_end(args);
    commandLine() += text;
    return RTNORM;
}

namespace kxhost {
void resetSystemVariables() {
    variables() = defaults();
}

void removeSystemVariable(const ACHAR* name) {
    for (auto it = variables().begin(); it != variables().end(); ++it) {
        if (acCompareNoCase(it->first.c_str(), name) == 0) {
            variables().erase(it);
            return;
        }
    }
}

bool hasSystemVariable(const ACHAR* name) {
    return find(name) != nullptr;
}

int systemVariableInt(const ACHAR* name) {
    const Variable* v = find(name);
    return v != nullptr ? v->intValue : 0;
}

void setSystemVariableInt(const ACHAR* name, int value) {
    if (Variable* v = find(name)) {
        v->intValue = value;
    }
}

std::wstring systemVariableString(const ACHAR* name) {
    const Variable* v = find(name);
    return v != nullptr ? v->stringValue : std::wstring();
}

std::wstring takeCommandLineOutput() {
    std::wstring out;
    out.swap(commandLine());
    return out;
}
}  // namespace kxhost
