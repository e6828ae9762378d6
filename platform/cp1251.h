#pragma once
// Windows-1251 (Cyrillic) text: the settings file and the instrument's text
// registers carry it; the program itself works in UTF-8.
#include <cstdint>
#include <string>
#include <string_view>

namespace lork {

// Byte string in Windows-1251 -> UTF-8. The one undefined byte (0x98) becomes U+FFFD.
std::string cp1251ToUtf8(std::string_view bytes);

// UTF-8 -> Windows-1251. A character without a Windows-1251 form, or a malformed
// UTF-8 sequence, becomes '?' and clears *ok (when given).
std::string utf8ToCp1251(std::string_view utf8, bool* ok = nullptr);

// Shown in place of a byte that has no glyph of its own.
inline constexpr std::string_view cp1251Placeholder = "\u00B7";  // "·"

// Raw instrument text -> displayable UTF-8, one character per byte so that
// fixed-width fields keep their width: control bytes 0x00..0x1F, 0x7F and the
// undefined 0x98 become cp1251Placeholder.
std::string cp1251ToDisplay(std::string_view bytes);

// The Unicode code point of one Windows-1251 byte; 0xFFFD for 0x98.
char32_t cp1251CodePoint(uint8_t byte);

// Lower case of one Windows-1251 byte (Latin and Cyrillic letters), the fold
// that key and section names compare with.
uint8_t cp1251Fold(uint8_t byte);

}  // namespace lork
