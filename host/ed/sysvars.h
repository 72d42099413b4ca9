// System variables and the command line.
#pragma once

#include <string>

#include "host/core/resbuf.h"

// Reads a variable into the caller's buffer: RTNORM (5100) on success, integers as RTSHORT in
// rint, strings as RTSTR in a new rstring the caller releases with acutDelBuffer. Anything else
// for an unknown variable.
int acedGetVar(const ACHAR* name, resbuf* result);
// Sets a variable from a buffer of its own type: RTNORM on success.
int acedSetVar(const ACHAR* name, const resbuf* value);
// Writes to the command line (captured for tests).
int acutPrintf(const ACHAR* format, ...);

namespace kxhost {
// Puts every variable back to its default.
void resetSystemVariables();
// Removes a variable, as a host that does not know it.
void removeSystemVariable(const ACHAR* name);
bool hasSystemVariable(const ACHAR* name);
// Direct access for tests and drivers.
int systemVariableInt(const ACHAR* name);
void setSystemVariableInt(const ACHAR* name, int value);
std::wstring systemVariableString(const ACHAR* name);
// Everything printed on the command line since the last call, which clears it.
std::wstring takeCommandLineOutput();
}  // namespace kxhost
