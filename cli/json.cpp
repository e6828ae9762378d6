#include "cli/json.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace lorkctl {

std::string jsonString(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out += buf;
            } else {
                out += char(c);
            }
        }
    }
    return out + "\"";
}

void JsonObject::key(const std::string& k) {
    if (!body_.empty()) body_ += ", ";
    body_ += jsonString(k) + ": ";
}

JsonObject& JsonObject::add(const std::string& k, long v) {
    key(k);
    body_ += std::to_string(v);
    return *this;
}

JsonObject& JsonObject::add(const std::string& k, double v) {
    key(k);
    if (!std::isfinite(v)) {
        body_ += "null";  // a float register may hold NaN or infinity
    } else {
        char buf[40];
        std::snprintf(buf, sizeof buf, "%.9g", v);
        body_ += buf;
    }
    return *this;
}

JsonObject& JsonObject::add(const std::string& k, const std::string& v) {
    key(k);
    body_ += jsonString(v);
    return *this;
}

JsonObject& JsonObject::addJson(const std::string& k, const std::string& json) {
    key(k);
    body_ += json;
    return *this;
}

namespace {

struct Reader {
    const std::string& t;
    size_t i = 0;
    std::string err;
    size_t errPos = 0;

    bool fail(const std::string& what, size_t at) {
        err = what;
        errPos = at;
        return false;
    }
    void blanks() {
        while (i < t.size() && (t[i] == ' ' || t[i] == '\t' || t[i] == '\n' || t[i] == '\r')) ++i;
    }
    bool expect(char c) {
        blanks();
        if (i < t.size() && t[i] == c) {
            ++i;
            return true;
        }
        return fail(std::string("ожидался '") + c + "'", i);
    }
    std::optional<std::string> string() {
        if (!expect('"')) return std::nullopt;
        std::string out;
        while (i < t.size() && t[i] != '"') {
            char c = t[i++];
            if (c == '\\') {
                if (i >= t.size()) break;
                c = t[i++];
                if (c == 'n') c = '\n';
                else if (c == 't') c = '\t';
                else if (c != '"' && c != '\\' && c != '/') {
                    fail("неподдерживаемая escape-последовательность", i - 2);
                    return std::nullopt;
                }
            }
            out += c;
        }
        if (!expect('"')) return std::nullopt;
        return out;
    }
    bool digit(size_t at) const { return at < t.size() && t[at] >= '0' && t[at] <= '9'; }
    std::optional<JsonValue> value() {
        blanks();
        const size_t start = i;
        if (i < t.size() && t[i] == '"') {
            auto s = string();
            if (!s) return std::nullopt;
            return JsonValue{true, 0, *s, start};
        }
        // -?(0|[1-9][0-9]*)(.[0-9]+)?([eE][+-]?[0-9]+)?
        size_t j = i;
        if (j < t.size() && t[j] == '-') ++j;
        if (!digit(j)) {
            fail("ожидалось число или строка", start);
            return std::nullopt;
        }
        if (t[j] == '0') ++j;
        else
            while (digit(j)) ++j;
        if (j < t.size() && t[j] == '.') {
            if (!digit(++j)) {
                fail("неверное число", start);
                return std::nullopt;
            }
            while (digit(j)) ++j;
        }
        if (j < t.size() && (t[j] == 'e' || t[j] == 'E')) {
            ++j;
            if (j < t.size() && (t[j] == '+' || t[j] == '-')) ++j;
            if (!digit(j)) {
                fail("неверное число", start);
                return std::nullopt;
            }
            while (digit(j)) ++j;
        }
        // "0x10", "012": a number must end where JSON's grammar ends it.
        if (j < t.size() && (std::isalnum(static_cast<unsigned char>(t[j])) || t[j] == '.')) {
            fail("неверное число", start);
            return std::nullopt;
        }
        const std::string raw = t.substr(i, j - i);
        i = j;
        return JsonValue{false, std::strtod(raw.c_str(), nullptr), raw, start};
    }
};

}  // namespace

std::optional<std::map<std::string, JsonValue>> parseFlatObject(const std::string& text, std::string* error,
                                                                  size_t* errorPos) {
    Reader r{text, 0, {}, 0};
    std::map<std::string, JsonValue> out;
    auto fail = [&]() -> std::optional<std::map<std::string, JsonValue>> {
        if (error) *error = r.err;
        if (errorPos) *errorPos = r.errPos;
        return std::nullopt;
    };
    if (!r.expect('{')) return fail();
    r.blanks();
    if (r.i < text.size() && text[r.i] == '}') {
        ++r.i;
    } else {
        for (;;) {
            r.blanks();
            const size_t keyAt = r.i;
            auto k = r.string();
            if (!k || !r.expect(':')) return fail();
            auto v = r.value();
            if (!v) return fail();
            if (!out.emplace(*k, *v).second) {
                r.fail("ключ \"" + *k + "\" дважды", keyAt);
                return fail();
            }
            r.blanks();
            if (r.i < text.size() && text[r.i] == ',') {
                ++r.i;
                continue;
            }
            if (!r.expect('}')) return fail();
            break;
        }
    }
    r.blanks();
    if (r.i != text.size()) {
        r.fail("лишний текст после объекта", r.i);
        return fail();
    }
    return out;
}

std::string lineColumn(const std::string& text, size_t pos) {
    size_t line = 1, column = 1;
    for (size_t i = 0; i < pos && i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '\n') {
            ++line;
            column = 1;
        } else if ((c & 0xC0) != 0x80) {
            ++column;  // a character's first byte
        }
    }
    return std::to_string(line) + ":" + std::to_string(column);
}

}  // namespace lorkctl
