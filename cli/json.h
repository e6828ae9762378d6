#pragma once
// The little JSON lorkctl writes (one object per line, arrays of objects) and
// reads (a template: one flat object of numbers and strings).
#include <map>
#include <optional>
#include <string>

namespace lorkctl {

std::string jsonString(const std::string& utf8);

class JsonObject {
public:
    JsonObject& add(const std::string& key, long v);
    JsonObject& add(const std::string& key, double v);
    JsonObject& add(const std::string& key, const std::string& v);
    JsonObject& add(const std::string& key, const char* v) { return add(key, std::string(v)); }
    JsonObject& addJson(const std::string& key, const std::string& json);
    std::string str() const { return "{" + body_ + "}"; }

private:
    void key(const std::string& k);
    std::string body_;
};

// A template's value: a number, or a text when isText.
struct JsonValue {
    bool isText = false;
    double number = 0;
    std::string text;  // the text, or the number as written
    size_t pos = 0;    // where the value starts in the object's text, bytes
};

// A flat object; nullopt with *error set (and *errorPos, where it went
// wrong, bytes) when the text is anything else. Numbers as JSON writes them:
// no hexadecimal, no "+", no leading zeros.
std::optional<std::map<std::string, JsonValue>> parseFlatObject(const std::string& text, std::string* error,
                                                                  size_t* errorPos = nullptr);

// "LINE:COLUMN" of byte pos in text, both from 1, the column in characters.
std::string lineColumn(const std::string& text, size_t pos);

}  // namespace lorkctl
