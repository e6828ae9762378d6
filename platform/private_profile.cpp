#include "platform/private_profile.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <cstdlib>
#include <optional>

#include "platform/cp1251.h"
#include "platform/file_words.h"
#include "platform/base/file_io.h"

namespace lork {
namespace {

constexpr size_t npos = std::string::npos;
ProfileHook beforeRenameHook = nullptr;

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trim(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (cp1251Fold(uint8_t(a[i])) != cp1251Fold(uint8_t(b[i]))) return false;
    return true;
}

// The section name of a header line "[name]", or nullopt for any other line.
std::optional<std::string_view> headerName(std::string_view line) {
    const auto t = trim(line);
    if (t.empty() || t.front() != '[') return std::nullopt;
    const auto close = t.find(']');
    if (close == npos) return std::nullopt;
    return trim(t.substr(1, close - 1));
}

bool isComment(std::string_view line) {
    const auto t = trim(line);
    return !t.empty() && (t.front() == ';' || t.front() == '#');
}

// The key of a "key=value" line. Only trailing blanks are dropped: the
// program's own keys may begin with a blank.
std::optional<std::string_view> keyOf(std::string_view line) {
    if (isComment(line) || headerName(line)) return std::nullopt;
    const auto eq = line.find('=');
    if (eq == npos) return std::nullopt;
    auto k = line.substr(0, eq);
    while (!k.empty() && isBlank(k.back())) k.remove_suffix(1);
    return k;
}

std::string_view valueOf(std::string_view line) {
    auto v = trim(line.substr(line.find('=') + 1));
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.substr(1, v.size() - 2);
    return v;
}

// A name in the file's own encoding against a Windows-1251 one.
bool sameName(std::string_view inFile, std::string_view name, bool utf8) {
    return utf8 ? sameName(utf8ToCp1251(inFile), name) : sameName(inFile, name);
}

size_t findSection(const std::vector<std::string>& lines, std::string_view section, bool utf8) {
    for (size_t i = 0; i < lines.size(); ++i) {
        const auto name = headerName(lines[i]);
        if (name && sameName(*name, section, utf8)) return i;
    }
    return npos;
}

size_t sectionEnd(const std::vector<std::string>& lines, size_t header) {
    size_t i = header + 1;
    while (i < lines.size() && !headerName(lines[i])) ++i;
    return i;
}

size_t findKey(const std::vector<std::string>& lines, std::string_view section,
                std::string_view key, bool utf8) {
    const size_t h = findSection(lines, section, utf8);
    if (h == npos) return npos;
    const size_t end = sectionEnd(lines, h);
    for (size_t i = h + 1; i < end; ++i) {
        const auto k = keyOf(lines[i]);
        if (k && sameName(*k, key, utf8)) return i;
    }
    return npos;
}

// Section, key and value in Windows-1251; the lines in UTF-8 when utf8.
void apply(std::vector<std::string>& lines, const std::string& section, const std::string& key,
           const std::string& value, bool utf8) {
    auto own = [utf8](const std::string& s) { return utf8 ? cp1251ToUtf8(s) : s; };
    std::string line = own(key + "=" + value);
    if (const size_t at = findKey(lines, section, key, utf8); at != npos) {
        lines[at] = std::move(line);
        return;
    }
    if (const size_t h = findSection(lines, section, utf8); h != npos) {
        // After the section's last non-empty line, so the blank line that
        // separates it from the next section stays where it is.
        size_t at = sectionEnd(lines, h);
        while (at > h + 1 && trim(lines[at - 1]).empty()) --at;
        lines.insert(lines.begin() + std::ptrdiff_t(at), std::move(line));
        return;
    }
    if (!lines.empty() && !trim(lines.back()).empty()) lines.emplace_back();
    lines.push_back(own("[" + section + "]"));
    lines.push_back(std::move(line));
}

void erase(std::vector<std::string>& lines, const std::string& section, const std::string& key, bool utf8) {
    for (size_t at = findKey(lines, section, key, utf8); at != npos; at = findKey(lines, section, key, utf8))
        lines.erase(lines.begin() + std::ptrdiff_t(at));
}

// Strict UTF-8: no overlong forms, no surrogates, nothing past U+10FFFF.
bool validUtf8(std::string_view s) {
    size_t i = 0;
    while (i < s.size()) {
        const auto b = uint8_t(s[i]);
        if (b < 0x80) {
            ++i;
            continue;
        }
        size_t n;
        uint32_t cp;
        if (b >= 0xC2 && b <= 0xDF) n = 1, cp = b & 0x1Fu;
        else if (b >= 0xE0 && b <= 0xEF) n = 2, cp = b & 0x0Fu;
        else if (b >= 0xF0 && b <= 0xF4) n = 3, cp = b & 0x07u;
        else return false;
        if (n >= s.size() - i) return false;
        for (size_t k = 1; k <= n; ++k) {
            const auto c = uint8_t(s[i + k]);
            if ((c & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (c & 0x3Fu);
        }
        if ((n == 2 && cp < 0x800) || (n == 3 && cp < 0x10000) || cp > 0x10FFFF ||
            (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += n + 1;
    }
    return true;
}

// Whether valid UTF-8 text reads as UTF-8 rather than as Windows-1251: when
// it holds a Cyrillic letter or a character beyond U+07FF. In Windows-1251
// those would be a chain in which every "Р"/"С" or small letter is followed
// by one or more of the rare signs 0x80..0xBF, which nobody writes. A pair
// such as "В±" (C2 B1: 220 В±10%) is plain Windows-1251 and stays so.
bool readsAsUtf8(std::string_view s) {
    for (size_t i = 0; i < s.size(); ++i) {
        const auto b = uint8_t(s[i]);
        if (b >= 0xE0) return true;  // a three- or four-byte form
        // U+0400..U+045F: the letters of Russian and its neighbours.
        if (b == 0xD0 || (b == 0xD1 && i + 1 < s.size() && uint8_t(s[i + 1]) <= 0x9F)) return true;
    }
    return false;
}

// A settings file is Windows-1251 unless it says it is UTF-8 (a byte order
// mark) or is valid UTF-8 that Windows-1251 would read as nonsense (an editor
// that saves UTF-8). Its lines are kept in its own encoding, so that every
// line the program does not own is written back byte for byte; the
// program's own lines are written in that encoding too.
ProfileText decode(std::string raw) {
    std::string_view body = raw;
    const bool bom = body.substr(0, 3) == "\xEF\xBB\xBF";
    if (bom) body.remove_prefix(3);
    if (validUtf8(body) && (bom || readsAsUtf8(body))) return {profileSplit(body), true, bom};
    return {profileSplit(raw), false, false};
}

// At most max characters of UTF-8 text.
std::string_view firstChars(std::string_view s, size_t max) {
    size_t chars = 0;
    for (size_t i = 0; i < s.size(); ++i)
        if ((uint8_t(s[i]) & 0xC0) != 0x80 && chars++ == max) return s.substr(0, i);
    return s;
}

std::optional<int32_t> parseInteger(std::string_view v) {
    if (v.size() > 2 && v[0] == '0' && (v[1] == 'x' || v[1] == 'X')) {
        uint64_t n = 0;
        for (char c : v.substr(2)) {
            int d;
            if (c >= '0' && c <= '9') d = c - '0';
            else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
            else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
            else return std::nullopt;
            n = n * 16 + uint64_t(d);
            if (n > 0xFFFFFFFFu) return std::nullopt;
        }
        // Eight hex digits fill the 32 bits, sign bit included.
        return int32_t(uint32_t(n));
    }
    bool negative = false;
    if (!v.empty() && (v[0] == '+' || v[0] == '-')) {
        negative = v[0] == '-';
        v.remove_prefix(1);
    }
    if (v.empty()) return std::nullopt;
    int64_t n = 0;
    for (char c : v) {
        if (c < '0' || c > '9') return std::nullopt;
        n = n * 10 + (c - '0');
        if (n > int64_t(INT32_MAX) + 1) return std::nullopt;
    }
    if (negative) n = -n;
    if (n > INT32_MAX) return std::nullopt;
    return int32_t(n);
}

// A value must stay on its line.
std::string oneLine(std::string s) {
    for (char& c : s)
        if (c == '\r' || c == '\n') c = ' ';
    return s;
}

}  // namespace

std::vector<std::string> profileSplit(std::string_view text) {
    std::vector<std::string> lines;
    while (!text.empty()) {
        const auto nl = text.find('\n');
        auto line = text.substr(0, nl);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.emplace_back(line);
        if (nl == npos) break;
        text.remove_prefix(nl + 1);
    }
    return lines;
}

std::string profileJoin(const std::vector<std::string>& lines) {
    std::string out;
    for (const auto& l : lines) {
        out += l;
        out += "\r\n";
    }
    return out;
}

void setProfileBeforeRenameHook(ProfileHook hook) { beforeRenameHook = hook; }

PrivateProfile::PrivateProfile(std::string path) : path_(std::move(path)) {
    if (auto text = readFile(path_)) text_ = decode(std::move(*text));
}

bool PrivateProfile::hasKey(std::string_view section, std::string_view key) const {
    return findKey(text_.lines, utf8ToCp1251(section), utf8ToCp1251(key), text_.utf8) != npos;
}

std::string PrivateProfile::readString(std::string_view section, std::string_view key,
                                       std::string_view def) const {
    const size_t at = findKey(text_.lines, utf8ToCp1251(section), utf8ToCp1251(key), text_.utf8);
    if (at == npos) return std::string(def);
    const std::string_view v = valueOf(text_.lines[at]);
    if (text_.utf8) return std::string(firstChars(v, maxString));
    return cp1251ToUtf8(v.substr(0, maxString));
}

int32_t PrivateProfile::readInteger(std::string_view section, std::string_view key,
                                    int32_t def) const {
    const size_t at = findKey(text_.lines, utf8ToCp1251(section), utf8ToCp1251(key), text_.utf8);
    if (at == npos) return def;
    return parseInteger(valueOf(text_.lines[at])).value_or(def);
}

void PrivateProfile::writeString(std::string_view section, std::string_view key,
                                 std::string_view value) {
    Change c{utf8ToCp1251(section), utf8ToCp1251(key), oneLine(utf8ToCp1251(value))};
    apply(text_.lines, c.section, c.key, c.value, text_.utf8);
    pending_.push_back(std::move(c));
}

void PrivateProfile::deleteKey(std::string_view section, std::string_view key) {
    Change c{utf8ToCp1251(section), utf8ToCp1251(key), {}, true};
    erase(text_.lines, c.section, c.key, text_.utf8);
    pending_.push_back(std::move(c));
}

void PrivateProfile::writeInteger(std::string_view section, std::string_view key,
                                  int32_t value) {
    writeString(section, key, std::to_string(value));
}

bool PrivateProfile::flush() {
    const std::string& target = path_;
    // Someone may have edited the file since it was loaded: start from what is
    // there now, so only this object's keys change.
    ProfileText merged = text_;
    if (auto text = readFile(target)) {
        merged = decode(std::move(*text));
        for (const auto& c : pending_) {
            if (c.erase)
                erase(merged.lines, c.section, c.key, merged.utf8);
            else
                apply(merged.lines, c.section, c.key, c.value, merged.utf8);
        }
    }
    const std::string data = (merged.bom ? "\xEF\xBB\xBF" : "") + profileJoin(merged.lines);
    if (const int err = replaceFile(target, data, beforeRenameHook); err != 0) {
        errno_ = err;
        std::string reason = saveFailureReason(target, err);
        if (reason.empty()) reason = fileErrorWords(err);
        error_ = "Unable to write to " + path_ + ": " + reason + " [" + std::strerror(err) + "]";
        return false;
    }
    text_ = std::move(merged);
    pending_.clear();
    error_.clear();
    errno_ = 0;
    return true;
}

}  // namespace lork
