// The time-out page: what the serial port is configured with, plus two
// values the operator may keep here (byte time-out, packet pause).
#include <QLineEdit>
#include <QSpinBox>

#include "app/tfglav.h"
#include "app/up_down.h"
#include "ui_page_timeouts.h"

namespace {

// Integer conversion as the platform's standard one: leading blanks, an
// optional sign, decimal digits or $/0x hexadecimal, nothing after them, and
// the value within 32 bits.
std::optional<int32_t> textToInt(const QString& text) {
    const QByteArray s = text.toLatin1();
    qsizetype i = 0;
    while (i < s.size() && s[i] == ' ') ++i;
    bool neg = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) neg = s[i++] == '-';
    int base = 10;
    if (i < s.size() && s[i] == '$') {
        base = 16;
        ++i;
    } else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i >= s.size()) return std::nullopt;
    uint64_t v = 0;
    for (; i < s.size(); ++i) {
        const char c = s[i];
        int d;
        if (c >= '0' && c <= '9') d = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f') d = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F') d = c - 'A' + 10;
        else return std::nullopt;
        v = v * uint64_t(base) + uint64_t(d);
        if (v > 0xFFFFFFFFull) return std::nullopt;
    }
    if (base == 10 && v > (neg ? 0x80000000ull : 0x7FFFFFFFull)) return std::nullopt;
    const auto u = uint32_t(v);
    return neg ? int32_t(0u - u) : int32_t(u);
}

}  // namespace
