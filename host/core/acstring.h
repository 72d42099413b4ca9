// The host's string class. Strings are wide (ACHAR); files and terminals are UTF-8 at the
// boundary. The class also offers the member names of the platform string class that plug-ins use
// (Format, LoadString, CompareNoCase, GetLength, IsEmpty), so one type serves both.
#pragma once

#include <cstdarg>
#include <string>

#include "host/core/array.h"
#include "host/core/types.h"

typedef void* HINSTANCE;

class AcString {
  public:
    AcString() = default;
    AcString(const ACHAR* s) : m_s(s != nullptr ? s : L"") {}  // NOLINT: implicit by design
    AcString(const std::wstring& s) : m_s(s) {}                // NOLINT: implicit by design
    AcString(ACHAR ch, int count) : m_s(count > 0 ? count : 0, ch) {}

    const ACHAR* kwszPtr() const { return m_s.c_str(); }
    const ACHAR* constPtr() const { return m_s.c_str(); }
    operator const ACHAR*() const { return m_s.c_str(); }  // NOLINT: platform string convention
    const std::wstring& str() const { return m_s; }

    int length() const { return static_cast<int>(m_s.size()); }
    bool isEmpty() const { return m_s.empty(); }
    ACHAR getAt(int i) const { return (i >= 0 && i < length()) ? m_s[i] : 0; }
    AcString& setEmpty() {
        m_s.clear();
        return *this;
    }

    int compare(const ACHAR* other) const;
    int compareNoCase(const ACHAR* other) const;
    bool operator==(const AcString& o) const { return m_s == o.m_s; }
    bool operator!=(const AcString& o) const { return m_s != o.m_s; }
    bool operator==(const ACHAR* o) const { return m_s == (o != nullptr ? o : L""); }
    bool operator!=(const ACHAR* o) const { return !(*this == o); }
    bool operator<(const AcString& o) const { return m_s < o.m_s; }

    AcString operator+(const AcString& o) const { return AcString(m_s + o.m_s); }
    AcString operator+(const ACHAR* o) const { return AcString(m_s + (o != nullptr ? o : L"")); }
    AcString& operator+=(const AcString& o) {
        m_s += o.m_s;
        return *this;
    }
    AcString& operator+=(const ACHAR* o) {
        m_s += (o != nullptr ? o : L"");
        return *this;
    }
    AcString& operator+=(ACHAR ch) {
        m_s += ch;
        return *this;
    }

    // printf-style formatting. "%s" takes an ACHAR string, as on the platform plug-ins are
    // written for; "%c" an ACHAR.
    AcString& format(const ACHAR* fmt, ...);
    AcString& formatV(const ACHAR* fmt, va_list args);
    void Format(const ACHAR* fmt, ...);

    // Loads string resource `id` of the given module; a missing id gives an empty string and
    // false.
    bool loadString(HINSTANCE module, unsigned id);

    // Platform string class members.
    int GetLength() const { return length(); }
    bool IsEmpty() const { return isEmpty(); }
    int CompareNoCase(const ACHAR* other) const { return compareNoCase(other); }
    int Compare(const ACHAR* other) const { return compare(other); }
    void Empty() { m_s.clear(); }

    // UTF-8 conversions for files and terminals.
    std::string utf8() const;
    static AcString fromUtf8(const std::string& s);

  private:
    std::wstring m_s;
};

typedef AcString CString;
typedef AcArray<AcString> AcStringArray;

// Case folding used wherever names compare without regard to case: one code unit at a time,
// covering ASCII and the Latin letters; other scripts are unchanged.
ACHAR acFoldCase(ACHAR ch);
int acCompareNoCase(const ACHAR* a, const ACHAR* b);
std::wstring acFoldString(const ACHAR* s);

// Formats into a wide string with the host's conventions ("%s" is a wide string).
std::wstring acFormatV(const ACHAR* fmt, va_list args);
std::wstring acFormat(const ACHAR* fmt, ...);
