#include "host/ed/platform.h"

#include <cstring>
#include <map>
#include <set>

#include "host/core/acstring.h"
#include "host/ed/sysvars.h"

struct KxMenu {
    std::vector<kxhost::MenuItem> items;
};

namespace {
std::set<HMENU>& menus() {
    static std::set<HMENU> s;
    return s;
}
int g_failMenus = 0;
bool g_withhold = false;
int g_hostModule = 0;  // its address serves as the host executable's module handle

struct ModuleStrings {
    std::map<unsigned, std::wstring> byId;
};
std::map<HINSTANCE, ModuleStrings>& resources() {
    static std::map<HINSTANCE, ModuleStrings> r;
    return r;
}
}  // namespace

HMENU CreatePopupMenu() {
    if (g_failMenus > 0) {
        --g_failMenus;
        return nullptr;
    }
    HMENU m = new KxMenu();
    menus().insert(m);
    return m;
}

BOOL AppendMenuW(HMENU menu, UINT flags, UINT_PTR id, LPCWSTR text) {
    if (menus().count(menu) == 0) {
        return 0;
    }
    menu->items.push_back(kxhost::MenuItem{flags, id, text != nullptr ? text : L""});
    return 1;
}

BOOL DestroyMenu(HMENU menu) {
    if (menus().erase(menu) == 0) {
        return 0;
    }
    delete menu;
    return 1;
}

HMODULE GetModuleHandleW(LPCWSTR name) {
    return name == nullptr ? &g_hostModule : nullptr;
}

FARPROC GetProcAddress(HMODULE module, const char* name) {
    if (module != &g_hostModule || name == nullptr || g_withhold) {
        return nullptr;
    }
    if (std::strcmp(name, "kxedGetVar") == 0) {
        return reinterpret_cast<FARPROC>(&acedGetVar);
    }
    return nullptr;
}

int LoadStringW(HINSTANCE module, UINT id, LPWSTR buf, int len) {
    auto it = resources().find(module);
    if (it == resources().end() || buf == nullptr) {
        return 0;
    }
    auto s = it->second.byId.find(id);
    if (s == it->second.byId.end()) {
        if (len > 0) {
            buf[0] = 0;
        }
        return 0;
    }
    const std::wstring& text = s->second;
    if (len == 0) {
        *reinterpret_cast<const wchar_t**>(buf) = text.c_str();
        return static_cast<int>(text.size());
    }
    const size_t n = std::min(text.size(), static_cast<size_t>(len - 1));
    std::wmemcpy(buf, text.c_str(), n);
    buf[n] = 0;
    return static_cast<int>(n);
}

namespace kxhost {
void registerStringResources(HINSTANCE module, const StringResource* table) {
    ModuleStrings& strings = resources()[module];
    // A table without its end row would run on; the bound keeps a damaged one finite.
    for (int i = 0; table != nullptr && i < 65536 && table[i].id != 0; ++i) {
        if (table[i].utf8 != nullptr) {
            strings.byId[table[i].id] = AcString::fromUtf8(table[i].utf8).str();
        }
    }
}

void unregisterStringResources(HINSTANCE module) {
    resources().erase(module);
}

const std::vector<MenuItem>* menuItems(HMENU menu) {
    return menus().count(menu) != 0 ? &menu->items : nullptr;
}

int liveMenus() {
    return static_cast<int>(menus().size());
}
void failNextMenus(int n) {
    g_failMenus = n;
}
void withholdHostFunction(bool withhold) {
    g_withhold = withhold;
}
}  // namespace kxhost
