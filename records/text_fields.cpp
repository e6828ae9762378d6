#include "records/text_fields.h"

#include <cstdio>
#include <ctime>

#include "platform/base/file_io.h"

namespace lork::records {

std::string csvField(std::string_view s, std::string_view separators) {
    bool plain = s.find_first_of("\"\r\n") == std::string_view::npos;
    plain = plain && s.find_first_of(separators) == std::string_view::npos;
    if (plain) return std::string(s);
    std::string q = "\"";
    for (char c : s) {
        if (c == '"') q += '"';
        q += c;
    }
    return q + '"';
}

std::string isoLocalTime(int64_t wallMs, bool withMs) {
    const std::time_t t = std::time_t(wallMs / 1000);
    long offS = 0;
    const std::tm tm = localTime(t, &offS);
    const long off = offS / 60;
    char ms[8] = "";
    if (withMs) std::snprintf(ms, sizeof ms, ".%03d", int(wallMs % 1000));
    char buf[96];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d%s%c%02ld:%02ld", tm.tm_year + 1900, tm.tm_mon + 1,
                  tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, ms, off < 0 ? '-' : '+', (off < 0 ? -off : off) / 60,
                  (off < 0 ? -off : off) % 60);
    return buf;
}

}  // namespace lork::records
