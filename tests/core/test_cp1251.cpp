#include <gtest/gtest.h>
#include <iconv.h>
#include <locale.h>
#include <wctype.h>

#include <string>

#include "platform/cp1251.h"

using namespace lork;

namespace {

std::string byte(int b) { return std::string(1, char(b)); }

// The C library's own converter, written by others: an independent check of the table.
std::string iconv_to_utf8(const std::string& in) {
    iconv_t cd = iconv_open("UTF-8", "CP1251");
    if (cd == iconv_t(-1)) return "<no iconv>";
    std::string src = in;
    char out[16] = {};
    char* ip = src.data();
    char* op = out;
    size_t il = src.size(), ol = sizeof out;
    const size_t r = iconv(cd, &ip, &il, &op, &ol);
    iconv_close(cd);
    if (r == size_t(-1)) return "<undefined>";
    return std::string(out, size_t(op - out));
}

}  // namespace

TEST(Cp1251, EveryByteAgreesWithTheCLibrary) {
    for (int b = 0; b < 256; ++b) {
        if (b == 0x98) continue;
        EXPECT_EQ(cp1251ToUtf8(byte(b)), iconv_to_utf8(byte(b))) << "byte " << std::hex << b;
    }
    EXPECT_EQ(cp1251ToUtf8(byte(0x98)), "\uFFFD");
}

TEST(Cp1251, EveryDefinedByteSurvivesTheRoundTrip) {
    for (int b = 0; b < 256; ++b) {
        if (b == 0x98) continue;
        bool ok = false;
        EXPECT_EQ(utf8ToCp1251(cp1251ToUtf8(byte(b)), &ok), byte(b)) << std::hex << b;
        EXPECT_TRUE(ok) << std::hex << b;
    }
    bool ok = false;
    EXPECT_EQ(utf8ToCp1251("связь ПЕРИОД ОПРОСА Ёё №", &ok),
              "\xF1\xE2\xFF\xE7\xFC \xCF\xC5\xD0\xC8\xCE\xC4 \xCE\xCF\xD0\xCE\xD1\xC0 \xA8\xB8 \xB9");
    EXPECT_TRUE(ok);
}

TEST(Cp1251, TextWithoutAWindows1251FormBecomesQuestionMarks) {
    struct Case {
        const char* utf8;
        const char* expected;
    };
    const Case cases[] = {
        {"a\u65E5b", "a?b"},          // a CJK character
        {"\U0001F600", "?"},          // outside the basic plane
        {"\uFFFD", "?"},              // the replacement character is not the byte 0x98
        {"x\x80y", "x?y"},            // stray continuation byte
        {"\xD0", "?"},                // sequence cut short at the end
        {"\xC0\x80", "?"},            // overlong NUL
        {"\xED\xA0\x80z", "?z"},      // surrogate
        {"\xF4\x90\x80\x80", "?"},    // beyond U+10FFFF
    };
    for (const auto& c : cases) {
        bool ok = true;
        EXPECT_EQ(utf8ToCp1251(c.utf8, &ok), c.expected) << c.utf8;
        EXPECT_FALSE(ok) << c.utf8;
    }
}

TEST(Cp1251, FoldMatchesTheCLibraryLowerCase) {
    locale_t loc = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t(0));
    ASSERT_NE(loc, locale_t(0));
    for (int b = 0; b < 256; ++b) {
        const char32_t cp = cp1251CodePoint(uint8_t(b));
        const auto lower = char32_t(towlower_l(wint_t(cp), loc));
        if (lower == cp) {
            EXPECT_EQ(cp1251Fold(uint8_t(b)), uint8_t(b)) << std::hex << b;
            continue;
        }
        // Every lower case of a Windows-1251 capital lies below U+0800.
        ASSERT_LT(lower, char32_t(0x800));
        const std::string utf8 =
            lower < 0x80 ? byte(int(lower))
                         : byte(int(0xC0 | (lower >> 6))) + byte(int(0x80 | (lower & 0x3F)));
        bool ok = false;
        const std::string want = utf8ToCp1251(utf8, &ok);
        if (ok) EXPECT_EQ(byte(cp1251Fold(uint8_t(b))), want) << std::hex << b;
        else EXPECT_EQ(cp1251Fold(uint8_t(b)), uint8_t(b)) << std::hex << b;
    }
    freelocale(loc);
}

TEST(Cp1251, DisplayTextKeepsOneCharacterPerByte) {
    struct Case {
        std::string raw;
        std::string shown;
    };
    const std::string dot(cp1251Placeholder);
    const Case cases[] = {
        {"\xCB\xCE\xD0\xCA", "ЛОРК"},
        {std::string("v1.2\0\0", 6), "v1.2" + dot + dot},
        {"\x01\x1F \x7F", dot + dot + " " + dot},
        {"\x98", dot},
        {"\xA0\xB9", "\u00A0№"},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(cp1251ToDisplay(c.raw), c.shown);
}
