#include "host/dxf/dxf_tokens.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace kxhost {
namespace dxf {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string trimmed(const std::string& text) {
    std::size_t b = 0;
    std::size_t e = text.size();
    while (b < e && isBlank(text[b])) {
        ++b;
    }
    while (e > b && isBlank(text[e - 1])) {
        --e;
    }
    return text.substr(b, e - b);
}

}  // namespace

bool parseInt64(const std::string& text, Adesk::Int64& value) {
    const std::string t = trimmed(text);
    if (t.empty() || t.size() > 20) {
        return false;
    }
    errno = 0;
    char* end = nullptr;
    const long long v = std::strtoll(t.c_str(), &end, 10);
    if (errno != 0 || end != t.c_str() + t.size()) {
        return false;
    }
    value = static_cast<Adesk::Int64>(v);
    return true;
}

UnlistedKind unlistedGroupKind(int code) {
    if ((code >= 19 && code <= 37) || (code >= 113 && code <= 139) ||
        (code >= 211 && code <= 239) || (code >= 1014 && code <= 1059)) {
        return UnlistedKind::kReal;
    }
    if (code >= 400 && code <= 409) {
        return UnlistedKind::kInt16;
    }
    if (code >= 450 && code <= 459) {
        return UnlistedKind::kInt32;
    }
    return UnlistedKind::kInt32OrText;
}

bool parseDouble(const std::string& text, double& value) {
    const std::string t = trimmed(text);
    if (t.empty() || t.size() > 64) {
        return false;
    }
    errno = 0;
    char* end = nullptr;
    const double v = std::strtod(t.c_str(), &end);
    if (end != t.c_str() + t.size() || !std::isfinite(v)) {
        return false;
    }
    value = v;
    return true;
}

bool parseHandle(const std::string& text, Adesk::UInt64& value) {
    const std::string t = trimmed(text);
    if (t.empty() || t.size() > 16) {
        return false;
    }
    Adesk::UInt64 v = 0;
    for (char c : t) {
        int digit = 0;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        } else if (c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else {
            return false;
        }
        v = (v << 4) | static_cast<Adesk::UInt64>(digit);
    }
    if (v == 0 || v >= (Adesk::UInt64(1) << 63)) {
        return false;
    }
    value = v;
    return true;
}

std::string formatDouble(double value) {
    if (!std::isfinite(value)) {
        return "0.0";
    }
    char buf[64];
    for (int prec = 15; prec <= 17; ++prec) {
        std::snprintf(buf, sizeof buf, "%.*g", prec, value);
        if (std::strtod(buf, nullptr) == value) {
            break;
        }
    }
    std::string s(buf);
    // Other readers take a real without a point for an integer in places; keep it a real.
    if (s.find_first_of(".eEn") == std::string::npos) {
        s += ".0";
    }
    return s;
}

std::string formatHandle(Adesk::UInt64 value) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%llX", static_cast<unsigned long long>(value));
    return buf;
}

// --- Reader --------------------------------------------------------------------------------------

TokenReader::TokenReader(std::istream& in) : m_in(&in) {}

TokenReader::TokenReader(const ACHAR* path)
    : m_file(new std::ifstream(AcString(path).utf8(), std::ios::binary)), m_in(m_file.get()) {
    if (!m_file->is_open()) {
        m_status = Acad::eFileNotFound;
        m_message.format(L"cannot open %s", AcString(path).kwszPtr());
    }
}

Acad::ErrorStatus TokenReader::fail(Acad::ErrorStatus status, long line, const std::string& what) {
    if (m_status == Acad::eOk) {
        m_status = status;
        m_message = AcString::fromUtf8("line " + std::to_string(line) + ": " + what);
    }
    return m_status;
}

bool TokenReader::readLine(std::string& out, bool& eof) {
    out.clear();
    eof = false;
    std::streambuf* sb = m_in->rdbuf();
    if (sb == nullptr) {
        eof = true;
        return false;
    }
    bool any = false;
    for (;;) {
        const int c = sb->sbumpc();
        if (c == std::char_traits<char>::eof()) {
            if (!any) {
                eof = true;
                return false;
            }
            break;
        }
        any = true;
        if (c == '\n') {
            break;
        }
        if (out.size() >= kMaxLineLength) {
            fail(Acad::eBadDxfSequence, m_line + 1,
                 "line longer than " + std::to_string(kMaxLineLength) + " characters");
            return false;
        }
        out.push_back(static_cast<char>(c));
    }
    ++m_line;
    if (!out.empty() && out.back() == '\r') {
        out.pop_back();
    }
    return true;
}

Acad::ErrorStatus TokenReader::next(Group& group) {
    if (m_status != Acad::eOk) {
        return m_status;
    }
    if (m_pushedBack) {
        m_pushedBack = false;
        group = m_last;
        return Acad::eOk;
    }
    m_haveLast = false;
    std::string codeLine;
    bool eof = false;
    if (!readLine(codeLine, eof)) {
        return eof ? Acad::eEndOfFile : m_status;
    }
    const long codeLineNo = m_line;
    // A UTF-8 byte order mark may precede the first group.
    if (codeLineNo == 1 && codeLine.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        codeLine.erase(0, 3);
    }
    Adesk::Int64 code = 0;
    if (!parseInt64(codeLine, code) || code < kMinGroupCode || code > kMaxGroupCode) {
        return fail(Acad::eInvalidDxfCode, codeLineNo,
                    "expected a group code, found \"" + codeLine.substr(0, 40) + "\"");
    }
    std::string value;
    if (!readLine(value, eof)) {
        if (eof) {
            return fail(Acad::eBadDxfSequence, codeLineNo + 1,
                        "file ends after group code " + std::to_string(code));
        }
        return m_status;
    }
    group.code = static_cast<int>(code);
    group.value = std::move(value);
    group.line = codeLineNo;
    m_last = group;
    m_haveLast = true;
    return Acad::eOk;
}

void TokenReader::pushBack() {
    if (m_haveLast && m_status == Acad::eOk) {
        m_pushedBack = true;
    }
}

Acad::ErrorStatus TokenReader::peek(Group& group) {
    const Acad::ErrorStatus es = next(group);
    if (es == Acad::eOk) {
        pushBack();
    }
    return es;
}

// --- Writer --------------------------------------------------------------------------------------

TokenWriter::TokenWriter(std::ostream& out) : m_out(&out) {}

TokenWriter::TokenWriter(const ACHAR* path)
    : m_file(new std::ofstream(AcString(path).utf8(), std::ios::binary | std::ios::trunc)),
      m_out(m_file.get()) {
    if (!m_file->is_open()) {
        m_status = Acad::eFileAccessErr;
    }
}

Acad::ErrorStatus TokenWriter::write(int code, const std::string& value) {
    if (m_status != Acad::eOk) {
        return m_status;
    }
    if (code < kMinGroupCode || code > kMaxGroupCode) {
        return m_status = Acad::eInvalidDxfCode;
    }
    if (value.find_first_of("\r\n") != std::string::npos || value.size() > kMaxLineLength) {
        return m_status = Acad::eInvalidInput;
    }
    char buf[16];
    std::snprintf(buf, sizeof buf, "%3d\n", code);
    *m_out << buf << value << '\n';
    if (!*m_out) {
        m_status = Acad::eFileAccessErr;
    }
    return m_status;
}

Acad::ErrorStatus TokenWriter::writeInt(int code, Adesk::Int64 value) {
    return write(code, std::to_string(static_cast<long long>(value)));
}

Acad::ErrorStatus TokenWriter::writeDouble(int code, double value) {
    return write(code, formatDouble(value));
}

Acad::ErrorStatus TokenWriter::writeHandle(int code, Adesk::UInt64 handle) {
    return write(code, formatHandle(handle));
}

Acad::ErrorStatus TokenWriter::finish() {
    if (m_out != nullptr) {
        m_out->flush();
        if (!*m_out && m_status == Acad::eOk) {
            m_status = Acad::eFileAccessErr;
        }
    }
    if (m_file) {
        m_file->close();
        if (m_file->fail() && m_status == Acad::eOk) {
            m_status = Acad::eFileAccessErr;
        }
    }
    return m_status;
}

}  // namespace dxf
}  // namespace kxhost
