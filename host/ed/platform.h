// Stand-ins for the platform calls plug-ins make outside the host's own interface: popup menus,
// module lookup and string resources.
#pragma once

#include <string>
#include <vector>

#include "host/core/types.h"

typedef void* HINSTANCE;
typedef void* HMODULE;
typedef struct KxMenu* HMENU;
typedef unsigned int UINT;
typedef uintptr_t UINT_PTR;
typedef wchar_t* LPWSTR;
typedef const wchar_t* LPCWSTR;
typedef int BOOL;
typedef void (*FARPROC)();

enum { MF_STRING = 0x0, MF_CHECKED = 0x8, MF_SEPARATOR = 0x800 };

HMENU CreatePopupMenu();
BOOL AppendMenuW(HMENU menu, UINT flags, UINT_PTR id, LPCWSTR text);
BOOL DestroyMenu(HMENU menu);
// The host executable's module (for a null name).
HMODULE GetModuleHandleW(LPCWSTR name);
// Looks a host function up by name; the host offers "kxedGetVar".
FARPROC GetProcAddress(HMODULE module, const char* name);
// Copies string resource `id` of the module into buf (at most len-1 characters and a
// terminator) and returns its length; with len 0, stores a read-only pointer to the text in
// *buf instead. 0 when the module has no such string.
int LoadStringW(HINSTANCE module, UINT id, LPWSTR buf, int len);

namespace kxhost {
// One row of the string table a plug-in exports (as a resource section would hold it): id,
// language and UTF-8 text; a row with id 0 ends the table.
struct StringResource {
    unsigned id;
    unsigned short language;
    const char* utf8;
};
#define KXHOST_STRING_RESOURCES_SYMBOL "kxStringResources"

void registerStringResources(HINSTANCE module, const StringResource* table);
void unregisterStringResources(HINSTANCE module);

// What a popup menu holds, for tests of grip menus.
struct MenuItem {
    UINT flags;
    UINT_PTR id;
    std::wstring text;
};
const std::vector<MenuItem>* menuItems(HMENU menu);
int liveMenus();
// Makes the next n CreatePopupMenu calls fail.
void failNextMenus(int n);
// Withholds "kxedGetVar" from GetProcAddress (as a host without it would).
void withholdHostFunction(bool withhold);
}  // namespace kxhost
