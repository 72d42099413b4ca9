#include "host/core/acstring.h"

#include <cwchar>
#include <vector>

#include "host/ed/platform.h"

ACHAR acFoldCase(ACHAR ch) {
    if (ch >= L'A' && ch <= L'Z') {
        return static_cast<ACHAR>(ch + 32);
    }
    // Latin-1 capitals, except the multiplication sign.
    if (ch >= 0xC0 && ch <= 0xDE && ch != 0xD7) {
        return static_cast<ACHAR>(ch + 32);
    }
    // Latin Extended-A pairs capital/small on even/odd code points, apart from a few ranges
    // that pair the other way round.
    if (ch >= 0x100 && ch <= 0x17F) {
        const bool oddPairs = (ch >= 0x139 && ch <= 0x148) || (ch >= 0x179 && ch <= 0x17E);
        if (ch == 0x130 || ch == 0x131 || ch == 0x138 || ch == 0x149 || ch == 0x17F) {
            return ch;
        }
        if (oddPairs) {
            return (ch % 2 == 1) ? static_cast<ACHAR>(ch + 1) : ch;
        }
        return (ch % 2 == 0) ? static_cast<ACHAR>(ch + 1) : ch;
    }
    return ch;
}

int acCompareNoCase(const ACHAR* a, const ACHAR* b) {
    if (a == nullptr) {
        a = L"";
    }
    if (b == nullptr) {
        b = L"";
    }
    for (;; ++a, ++b) {
        const ACHAR ca = acFoldCase(*a);
        const ACHAR cb = acFoldCase(*b);
        if (ca != cb) {
            return ca < cb ? -1 : 1;
        }
        if (ca == 0) {
            return 0;
        }
    }
}

std::wstring acFoldString(const ACHAR* s) {
    std::wstring out;
    for (; s != nullptr && *s != 0; ++s) {
        out += acFoldCase(*s);
    }
    return out;
}

namespace {
// Rewrites "%s" and "%c" (without a length modifier) into their wide forms so that the C
// library's wide printf takes ACHAR arguments for them.
std::wstring widenConversions(const ACHAR* fmt) {
    std::wstring out;
    for (const ACHAR* p = fmt; *p != 0; ++p) {
        out += *p;
        if (*p != L'%') {
            continue;
        }
        ++p;
        if (*p == L'%') {
            out += *p;
            continue;
        }
        bool hasLength = false;
        while (*p != 0 && std::wcschr(L"-+ #0123456789.*hlLqjzt", *p) != nullptr) {
            if (std::wcschr(L"hlLqjzt", *p) != nullptr) {
                hasLength = true;
            }
            out += *p;
            ++p;
        }
        if (*p == 0) {
            break;
        }
        if ((*p == L's' || *p == L'c') && !hasLength) {
            out += L'l';
        }
        out += *p;
    }
    return out;
}
}  // namespace

std::wstring acFormatV(const ACHAR* fmt, va_list args) {
    if (fmt == nullptr) {
        return std::wstring();
    }
    const std::wstring wideFmt = widenConversions(fmt);
    std::vector<wchar_t> buf(256);
    for (;;) {
        va_list copy;
        va_copy(copy, args);
        const int n = std::vswprintf(buf.data(), buf.size(), wideFmt.c_str(), copy);
        va_end(copy);
        if (n >= 0 && static_cast<size_t>(n) < buf.size()) {
            return std::wstring(buf.data(), static_cast<size_t>(n));
        }
        // vswprintf reports -1 both for a short buffer and for a bad format; stop growing at a
        // bound so a bad format cannot grow the buffer without end.
        if (buf.size() >= (1u << 20)) {
            return std::wstring();
        }
        buf.resize(buf.size() * 4);
    }
}

std::wstring acFormat(const ACHAR* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    std::wstring s = acFormatV(fmt, args);
    va_end(args);
    return s;
}

int AcString::compare(const ACHAR* other) const {
    const int c = m_s.compare(other != nullptr ? other : L"");
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

int AcString::compareNoCase(const ACHAR* other) const {
    return acCompareNoCase(m_s.c_str(), other);
}

AcString& AcString::formatV(const ACHAR* fmt, va_list args) {
    m_s = acFormatV(fmt, args);
    return *this;
}

AcString& AcString::format(const ACHAR* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    m_s = acFormatV(fmt, args);
    va_end(args);
    return *this;
}

void AcString::Format(const ACHAR* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    m_s = acFormatV(fmt, args);
    va_end(args);
}

bool AcString::loadString(HINSTANCE module, unsigned id) {
    m_s.clear();
    const ACHAR* text = nullptr;
    const int n = LoadStringW(module, id, reinterpret_cast<LPWSTR>(&text), 0);
    if (n <= 0 || text == nullptr) {
        return false;
    }
    m_s.assign(text, static_cast<size_t>(n));
    return true;
}

std::string AcString::utf8() const {
    std::string out;
    for (wchar_t wc : m_s) {
        const auto c = static_cast<uint32_t>(wc);
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

AcString AcString::fromUtf8(const std::string& s) {
    std::wstring out;
    size_t i = 0;
    while (i < s.size()) {
        const auto b = static_cast<unsigned char>(s[i]);
        uint32_t c = 0xFFFD;
        size_t extra = 0;
        if (b < 0x80) {
            c = b;
        } else if ((b & 0xE0) == 0xC0) {
            c = b & 0x1F;
            extra = 1;
        } else if ((b & 0xF0) == 0xE0) {
            c = b & 0x0F;
            extra = 2;
        } else if ((b & 0xF8) == 0xF0) {
            c = b & 0x07;
            extra = 3;
        }
        ++i;
        bool ok = true;
        for (size_t k = 0; k < extra; ++k, ++i) {
            if (i >= s.size() || (static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) {
                ok = false;
                break;
            }
            c = (c << 6) | (static_cast<unsigned char>(s[i]) & 0x3F);
        }
        out += static_cast<wchar_t>(ok ? c : 0xFFFD);
    }
    return AcString(out);
}
