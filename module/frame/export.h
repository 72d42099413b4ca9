// Symbols the plug-in offers to its host and to programs that link it for its public classes.
#pragma once

#define KXDB_EXPORT __attribute__((visibility("default")))
