// ASCII DXF at the level of group items: a file is a sequence of line pairs, a group code line
// and a value line. The reader hands out one group at a time with the line it started on, so
// every later complaint about a damaged file can name where the damage is; the writer lays
// groups out the way other readers expect (code right-aligned in three columns, reals written
// so they read back bit for bit).
#pragma once

#include <cstddef>
#include <fstream>
#include <istream>
#include <memory>
#include <ostream>
#include <string>

#include "host/core/acstring.h"
#include "host/core/types.h"

namespace kxhost {
namespace dxf {

// One group as it stands in the file: the code, the value text (UTF-8, line end removed) and
// the line number of the code line (1-based).
struct Group {
    int code = 0;
    std::string value;
    long line = 0;
};

// Longest line accepted. The format caps text values well below this; a longer line means the
// file is not DXF (or is damaged), and refusing it keeps memory use bounded.
constexpr std::size_t kMaxLineLength = 4096;

// Group codes a file may use (extended data codes run up to 1071; negative codes are
// application-only and never filed).
constexpr int kMinGroupCode = 0;
constexpr int kMaxGroupCode = 1071;

// The kind files give the group codes the host's type table (acdbGroupCodeToType) does not
// list: reals for the coordinate and real ranges (20-37, 113-139, 211-239, 1014-1059), 16-bit
// integers for 400-409, 32-bit integers for 450-459. The rest hold a 32-bit integer when their
// text is one, else text; in memory such a group is only a value, so reader and writer agree on
// this one reading of it.
enum class UnlistedKind { kReal, kInt16, kInt32, kInt32OrText };
UnlistedKind unlistedGroupKind(int code);

// Value parsing shared by the reader and the object filers. They accept surrounding blanks and
// nothing else: no trailing junk, no out-of-range values.
bool parseInt64(const std::string& text, Adesk::Int64& value);
bool parseDouble(const std::string& text, double& value);
// Hexadecimal handle text ("1F"); 0 and values at or above 2^63 are refused.
bool parseHandle(const std::string& text, Adesk::UInt64& value);
// Shortest decimal text that reads back as exactly the same double.
std::string formatDouble(double value);
std::string formatHandle(Adesk::UInt64 value);

class TokenReader {
  public:
    // Reads from a stream the caller keeps alive.
    explicit TokenReader(std::istream& in);
    // Opens a file; status() is eFileNotFound when it cannot be opened.
    explicit TokenReader(const ACHAR* path);
    TokenReader(const TokenReader&) = delete;
    TokenReader& operator=(const TokenReader&) = delete;

    // eOk with the next group; eEndOfFile when the input ends cleanly between groups (a file
    // ends with "0 / EOF", which the caller checks); any damage answers eBadDxfSequence (or
    // eInvalidDxfCode for a code line that is not a group code) with errorMessage() naming the
    // line. Once an error is set every further call answers it.
    Acad::ErrorStatus next(Group& group);
    // Makes the next call return the group just read again (one deep).
    void pushBack();
    // Peeks at the next group without consuming it.
    Acad::ErrorStatus peek(Group& group);

    Acad::ErrorStatus status() const { return m_status; }
    const AcString& errorMessage() const { return m_message; }
    // Number of the last line read.
    long line() const { return m_line; }
    // Sets an error on behalf of the caller (a value that does not parse, a missing group...)
    // with the line of the group concerned. The first error sticks.
    Acad::ErrorStatus fail(Acad::ErrorStatus status, long line, const std::string& what);

  private:
    // false at the end of input (eof flag set) or on a damaged line (status set).
    bool readLine(std::string& out, bool& eof);

    std::unique_ptr<std::ifstream> m_file;
    std::istream* m_in;
    long m_line = 0;
    Acad::ErrorStatus m_status = Acad::eOk;
    AcString m_message;
    Group m_last;
    bool m_haveLast = false;
    bool m_pushedBack = false;
};

class TokenWriter {
  public:
    explicit TokenWriter(std::ostream& out);
    // Creates (truncates) the file; status() is eFileAccessErr when that fails.
    explicit TokenWriter(const ACHAR* path);
    TokenWriter(const TokenWriter&) = delete;
    TokenWriter& operator=(const TokenWriter&) = delete;

    // Text containing a line break cannot be filed (it would split the pair): eInvalidInput.
    // Codes outside the filed range answer eInvalidDxfCode. The first error sticks.
    Acad::ErrorStatus write(int code, const std::string& value);
    Acad::ErrorStatus write(int code, const char* value) { return write(code, std::string(value)); }
    Acad::ErrorStatus write(int code, const AcString& value) { return write(code, value.utf8()); }
    Acad::ErrorStatus writeInt(int code, Adesk::Int64 value);
    Acad::ErrorStatus writeDouble(int code, double value);
    Acad::ErrorStatus writeHandle(int code, Adesk::UInt64 handle);
    // Flushes; for a file, also closes it. Answers the final status.
    Acad::ErrorStatus finish();

    Acad::ErrorStatus status() const { return m_status; }

  private:
    std::unique_ptr<std::ofstream> m_file;
    std::ostream* m_out;
    Acad::ErrorStatus m_status = Acad::eOk;
};

}  // namespace dxf
}  // namespace kxhost
