#include "cli/json.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace lorkctl {

std::string json_string(const std::string& s) {
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
    body_ += json_string(k) + ": ";
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
    body_ += json_string(v);
    return *this;
}

JsonObject& JsonObject::add_json(const std::string& k, const std::string& json) {
    key(k);
    body_ += json;
    return *this;
}

namespace {

struct Reader {
    const std::string& t;
    size_t i = 0;
    std::string err;

    void blanks() {
        while (i < t.size() && (t[i] == ' ' || t[i] == '\t' || t[i] == '\n' || t[i] == '\r')) ++i;
    }
    bool expect(char c) {
        blanks();
        if (i < t.size() && t[i] == c) {
            ++i;
            return true;
        }
        err = std::string("ожидался '") + c + "' в позиции " + std::to_string(i + 1);
        return false;
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
                    err = "неподдерживаемая escape-последовательность";
                    return std::nullopt;
                }
            }
            out += c;
        }
        if (!expect('"')) return std::nullopt;
        return out;
    }
    std::optional<JsonValue> value() {
        blanks();
        if (i < t.size() && t[i] == '"') {
            auto s = string();
            if (!s) return std::nullopt;
            return JsonValue{true, 0, *s};
        }
        const char* start = t.c_str() + i;
        char* end = nullptr;
        const double v = std::strtod(start, &end);
        if (end == start) {
            err = "ожидалось число или строка в позиции " + std::to_string(i + 1);
            return std::nullopt;
        }
        i += size_t(end - start);
        return JsonValue{false, v, {}};
    }
};

}  // namespace

std::optional<std::map<std::string, JsonValue>> parse_flat_object(const std::string& text, std::string* error) {
    Reader r{text, 0, {}};
    std::map<std::string, JsonValue> out;
    auto fail = [&]() -> std::optional<std::map<std::string, JsonValue>> {
        if (error) *error = r.err;
        return std::nullopt;
    };
    if (!r.expect('{')) return fail();
    r.blanks();
    if (r.i < text.size() && text[r.i] == '}') {
        ++r.i;
    } else {
        for (;;) {
            auto k = r.string();
            if (!k || !r.expect(':')) return fail();
            auto v = r.value();
            if (!v) return fail();
            if (!out.emplace(*k, *v).second) {
                r.err = "ключ \"" + *k + "\" дважды";
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
        r.err = "лишний текст после объекта";
        return fail();
    }
    return out;
}

}  // namespace lorkctl
