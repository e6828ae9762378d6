#pragma once
// Number conversions of typed text with the platform's usual rules and
// messages, shared by every edit that takes a number.
#include <QString>
#include <cstdint>
#include <optional>

// A 32-bit signed integer: optional leading blanks, an optional sign, then
// decimal digits, or hexadecimal digits after "$" or "0x"; nothing after the
// digits. Out of range or anything else: no value.
std::optional<int32_t> strToInt(const QString& text);

// The standard message for text that is no integer.
QString notIntegerMessage(const QString& text);
