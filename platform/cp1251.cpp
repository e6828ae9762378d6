#include "platform/cp1251.h"

#include <array>

namespace lork {
namespace {

// 0x80..0xBF; 0xC0..0xFF are U+0410..U+044F in order.
constexpr std::array<char16_t, 64> highTable{
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0xFFFD, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  // B8
};

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

// Decodes one UTF-8 sequence at s[i]; advances i. Returns 0xFFFFFFFF when malformed
// (overlong forms, surrogates and truncated sequences included).
char32_t nextCodePoint(std::string_view s, size_t& i) {
    constexpr char32_t bad = 0xFFFFFFFF;
    const auto b0 = uint8_t(s[i++]);
    if (b0 < 0x80) return b0;
    int extra;
    char32_t cp;
    char32_t min;
    if ((b0 & 0xE0) == 0xC0) { extra = 1; cp = b0 & 0x1F; min = 0x80; }
    else if ((b0 & 0xF0) == 0xE0) { extra = 2; cp = b0 & 0x0F; min = 0x800; }
    else if ((b0 & 0xF8) == 0xF0) { extra = 3; cp = b0 & 0x07; min = 0x10000; }
    else return bad;
    for (int k = 0; k < extra; ++k) {
        if (i >= s.size() || (uint8_t(s[i]) & 0xC0) != 0x80) return bad;
        cp = (cp << 6) | (uint8_t(s[i++]) & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return bad;
    return cp;
}

int encodeOne(char32_t cp) {
    if (cp < 0x80) return int(cp);
    if (cp >= 0x0410 && cp <= 0x044F) return int(cp - 0x0410 + 0xC0);
    for (size_t k = 0; k < highTable.size(); ++k)
        if (highTable[k] == cp && cp != 0xFFFD) return int(0x80 + k);
    return -1;
}

}  // namespace

char32_t cp1251CodePoint(uint8_t byte) {
    if (byte < 0x80) return byte;
    if (byte >= 0xC0) return char32_t(0x0410 + (byte - 0xC0));
    return highTable[byte - 0x80];
}

std::string cp1251ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() * 2);
    for (char c : bytes) appendUtf8(out, cp1251CodePoint(uint8_t(c)));
    return out;
}

std::string utf8ToCp1251(std::string_view utf8, bool* ok) {
    std::string out;
    out.reserve(utf8.size());
    bool all = true;
    size_t i = 0;
    while (i < utf8.size()) {
        const int b = encodeOne(nextCodePoint(utf8, i));
        if (b < 0) {
            all = false;
            out += '?';
        } else {
            out += char(b);
        }
    }
    if (ok) *ok = all;
    return out;
}

std::string cp1251ToDisplay(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() * 2);
    for (char c : bytes) {
        const auto b = uint8_t(c);
        if (b < 0x20 || b == 0x7F || b == 0x98)
            out += cp1251Placeholder;
        else
            appendUtf8(out, cp1251CodePoint(b));
    }
    return out;
}

uint8_t cp1251Fold(uint8_t b) {
    if (b >= 'A' && b <= 'Z') return uint8_t(b + 0x20);
    if (b >= 0xC0 && b <= 0xDF) return uint8_t(b + 0x20);
    switch (b) {
    case 0x80: return 0x90;  // Ђ
    case 0x81: return 0x83;  // Ѓ
    case 0x8A: return 0x9A;  // Љ
    case 0x8C: return 0x9C;  // Њ
    case 0x8D: return 0x9D;  // Ќ
    case 0x8E: return 0x9E;  // Ћ
    case 0x8F: return 0x9F;  // Џ
    case 0xA1: return 0xA2;  // Ў
    case 0xA3: return 0xBC;  // Ј
    case 0xA5: return 0xB4;  // Ґ
    case 0xA8: return 0xB8;  // Ё
    case 0xAA: return 0xBA;  // Є
    case 0xAF: return 0xBF;  // Ї
    case 0xB2: return 0xB3;  // І
    case 0xBD: return 0xBE;  // Ѕ
    default: return b;
    }
}

}  // namespace lork
