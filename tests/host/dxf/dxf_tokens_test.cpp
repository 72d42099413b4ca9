#include "host/dxf/dxf_tokens.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>
#include <vector>

namespace {

using kxhost::dxf::Group;
using kxhost::dxf::TokenReader;
using kxhost::dxf::TokenWriter;

std::vector<Group> readAll(const std::string& text, Acad::ErrorStatus& last, AcString* msg) {
    std::istringstream in(text);
    TokenReader reader(in);
    std::vector<Group> groups;
    Group g;
    while ((last = reader.next(g)) == Acad::eOk) {
        groups.push_back(g);
        if (groups.size() > 1000) {
            break;
        }
    }
    if (msg != nullptr) {
        *msg = reader.errorMessage();
    }
    return groups;
}

TEST(DxfTokens, WrittenGroupsReadBackWithLineNumbers) {
    std::ostringstream out;
    TokenWriter writer(out);
    writer.write(0, "SECTION");
    writer.write(2, AcString(L"caf\u00e9"));
    writer.writeInt(70, -12);
    writer.writeDouble(10, 0.1);
    writer.writeDouble(20, 3.0);
    writer.writeHandle(5, 0x2AF);
    ASSERT_EQ(writer.finish(), Acad::eOk);
    EXPECT_EQ(out.str().substr(0, 12), "  0\nSECTION\n");

    Acad::ErrorStatus last = Acad::eOk;
    const std::vector<Group> g = readAll(out.str(), last, nullptr);
    EXPECT_EQ(last, Acad::eEndOfFile);
    ASSERT_EQ(g.size(), 6u);
    EXPECT_EQ(g[1].code, 2);
    EXPECT_EQ(AcString::fromUtf8(g[1].value), AcString(L"caf\u00e9"));
    EXPECT_EQ(g[1].line, 3);
    EXPECT_EQ(g[2].value, "-12");
    double d = 0.0;
    ASSERT_TRUE(kxhost::dxf::parseDouble(g[3].value, d));
    EXPECT_EQ(std::memcmp(&d, &(const double&)0.1, sizeof d), 0) << g[3].value;
    EXPECT_EQ(g[4].value, "3.0");
    Adesk::UInt64 h = 0;
    ASSERT_TRUE(kxhost::dxf::parseHandle(g[5].value, h));
    EXPECT_EQ(h, 0x2AFu);
}

TEST(DxfTokens, RealsRoundTripBitForBit) {
    const double values[] = {1.0 / 3.0, -2.5e-300, 1e308, 123456789.123456789, -0.0, 5e-324};
    for (double v : values) {
        double back = 1.0;
        ASSERT_TRUE(kxhost::dxf::parseDouble(kxhost::dxf::formatDouble(v), back));
        EXPECT_EQ(std::memcmp(&back, &v, sizeof v), 0) << kxhost::dxf::formatDouble(v);
    }
}

TEST(DxfTokens, AcceptsCrLfBlanksAndByteOrderMark) {
    Acad::ErrorStatus last = Acad::eOk;
    const std::vector<Group> g =
        readAll("\xEF\xBB\xBF  0\r\nSECTION\r\n  2  \r\nHEADER\r\n", last, nullptr);
    EXPECT_EQ(last, Acad::eEndOfFile);
    ASSERT_EQ(g.size(), 2u);
    EXPECT_EQ(g[0].value, "SECTION");
    EXPECT_EQ(g[1].code, 2);
}

TEST(DxfTokens, PushBackAndPeekReturnTheSameGroup) {
    std::istringstream in("0\nA\n0\nB\n");
    TokenReader reader(in);
    Group g;
    ASSERT_EQ(reader.peek(g), Acad::eOk);
    EXPECT_EQ(g.value, "A");
    ASSERT_EQ(reader.next(g), Acad::eOk);
    EXPECT_EQ(g.value, "A");
    reader.pushBack();
    reader.pushBack();  // one deep only
    ASSERT_EQ(reader.next(g), Acad::eOk);
    EXPECT_EQ(g.value, "A");
    ASSERT_EQ(reader.next(g), Acad::eOk);
    EXPECT_EQ(g.value, "B");
    EXPECT_EQ(reader.next(g), Acad::eEndOfFile);
}

TEST(DxfTokens, DamagedInputIsRefusedWithItsLine) {
    struct Case {
        const char* text;
        Acad::ErrorStatus status;
        const char* line;
    };
    const Case cases[] = {
        {"0\nSECTION\n2\n", Acad::eBadDxfSequence, "line 4"},        // value missing
        {"0\nSECTION\nxx\nA\n", Acad::eInvalidDxfCode, "line 3"},    // code not a number
        {"0\nSECTION\n1072\nA\n", Acad::eInvalidDxfCode, "line 3"},  // code out of range
        {"0\nSECTION\n-3\nA\n", Acad::eInvalidDxfCode, "line 3"},
        {"0\nSECTION\n5 5\nA\n", Acad::eInvalidDxfCode, "line 3"},
    };
    for (const Case& c : cases) {
        Acad::ErrorStatus last = Acad::eOk;
        AcString msg;
        readAll(c.text, last, &msg);
        EXPECT_EQ(last, c.status) << c.text;
        EXPECT_NE(msg.utf8().find(c.line), std::string::npos) << msg.utf8();
    }
}

TEST(DxfTokens, OverlongLineIsRefusedWithoutReadingItAll) {
    std::string text = "0\nSECTION\n1\n";
    text += std::string(1 << 20, 'x');
    Acad::ErrorStatus last = Acad::eOk;
    AcString msg;
    const std::vector<Group> g = readAll(text, last, &msg);
    EXPECT_EQ(g.size(), 1u);
    EXPECT_EQ(last, Acad::eBadDxfSequence);
    EXPECT_NE(msg.utf8().find("line 4"), std::string::npos) << msg.utf8();
}

TEST(DxfTokens, ErrorsStick) {
    std::istringstream in("bad\nA\n0\nB\n");
    TokenReader reader(in);
    Group g;
    EXPECT_EQ(reader.next(g), Acad::eInvalidDxfCode);
    EXPECT_EQ(reader.next(g), Acad::eInvalidDxfCode);
}

TEST(DxfTokens, WriterRefusesWhatCannotBeFiled) {
    std::ostringstream out;
    TokenWriter writer(out);
    EXPECT_EQ(writer.write(1, "two\nlines"), Acad::eInvalidInput);
    EXPECT_EQ(writer.write(0, "LATER"), Acad::eInvalidInput);  // the first error sticks
    EXPECT_TRUE(out.str().empty());
    std::ostringstream out2;
    TokenWriter writer2(out2);
    EXPECT_EQ(writer2.writeInt(1072, 1), Acad::eInvalidDxfCode);
}

TEST(DxfTokens, ValueParsersRefuseJunk) {
    Adesk::Int64 i = 0;
    EXPECT_FALSE(kxhost::dxf::parseInt64("12x", i));
    EXPECT_FALSE(kxhost::dxf::parseInt64("", i));
    EXPECT_FALSE(kxhost::dxf::parseInt64("99999999999999999999", i));
    EXPECT_TRUE(kxhost::dxf::parseInt64(" -7 ", i));
    EXPECT_EQ(i, -7);
    double d = 0.0;
    EXPECT_FALSE(kxhost::dxf::parseDouble("1.5.2", d));
    EXPECT_FALSE(kxhost::dxf::parseDouble("nan", d));
    EXPECT_FALSE(kxhost::dxf::parseDouble("1e999", d));
    Adesk::UInt64 h = 0;
    EXPECT_FALSE(kxhost::dxf::parseHandle("0", h));
    EXPECT_FALSE(kxhost::dxf::parseHandle("G1", h));
    EXPECT_FALSE(kxhost::dxf::parseHandle("8000000000000000", h));
    EXPECT_TRUE(kxhost::dxf::parseHandle("7fffffffffffffff", h));
}

TEST(DxfTokens, MissingFileIsReported) {
    TokenReader reader(L"/nonexistent/dir/x.dxf");
    Group g;
    EXPECT_EQ(reader.next(g), Acad::eFileNotFound);
    EXPECT_FALSE(reader.errorMessage().isEmpty());
}

}  // namespace
