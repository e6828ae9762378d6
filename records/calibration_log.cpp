#include "records/calibration_log.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "records/text_fields.h"
#include "platform/file_words.h"
#include "platform/base/file_io.h"

namespace lork::calib {

namespace {

constexpr int kFields = 10;
const std::string kDoubtTag = "implausible";

// Numbers in the file never follow the user's locale: a decimal comma would
// be a separator.
std::string fixed(double v, int decimals) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
    return std::string(buf, r.ptr);
}
std::string fixed3(float v) { return fixed(double(v), 3); }

std::string shortest(double v) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

template <class T>
bool number(const std::string& s, T& out) {
    const char* end = s.data() + s.size();
    const auto r = std::from_chars(s.data(), end, out);
    return r.ec == std::errc() && r.ptr == end && !s.empty();
}

// Splits CSV text into records of fields; a quoted field may hold the
// separator, doubled quotes and line breaks.
std::vector<std::vector<std::string>> split(const std::string& text) {
    std::vector<std::vector<std::string>> rows;
    std::vector<std::string> row;
    std::string field;
    bool quoted = false, any = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c != '"') field += c;
            else if (i + 1 < text.size() && text[i + 1] == '"') field += text[++i];
            else quoted = false;
            continue;
        }
        if (c == '"') {
            quoted = any = true;
        } else if (c == ',') {
            row.push_back(std::move(field));
            field.clear();
            any = true;
        } else if (c == '\n' || c == '\r') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            if (any || !field.empty()) {
                row.push_back(std::move(field));
                rows.push_back(std::move(row));
            }
            row.clear();
            field.clear();
            any = false;
        } else {
            field += c;
        }
    }
    if (any || !field.empty()) {
        row.push_back(std::move(field));
        rows.push_back(std::move(row));
    }
    return rows;
}

std::optional<Record> fromFields(const std::vector<std::string>& f) {
    if (f.size() != size_t(kFields)) return std::nullopt;
    Record r;
    r.when = f[0];
    r.port = f[1];
    r.name = f[3];
    r.version = f[4];
    if (!number(f[2], r.adr) || !number(f[5], r.point) || (r.point != 0 && r.point != 100) ||
        !number(f[6], r.before) || !number(f[7], r.written) || !number(f[8], r.izm_proc) ||
        !number(f[9], r.izm_znach))
        return std::nullopt;
    return r;
}

}  // namespace

std::string isoLocal(std::time_t t) { return records::isoLocalTime(int64_t(t) * 1000, false); }

std::string trimmed(const std::string& s) {
    // Instruments pad their text registers with blanks or zero bytes.
    constexpr std::string_view pad(" \t\0", 3);
    const auto a = s.find_first_not_of(pad);
    if (a == std::string::npos) return {};
    return s.substr(a, s.find_last_not_of(pad) - a + 1);
}

std::string csvField(const std::string& s) { return records::csvField(s, ",;"); }

std::string headerLine() { return "time,port,adr,name,version,point,before,written,izm_proc,izm_znach"; }

std::string recordLine(const Record& r) {
    return csvField(r.when) + ',' + csvField(r.port) + ',' + std::to_string(r.adr) + ',' + csvField(r.name) +
           ',' + csvField(r.version) + ',' + std::to_string(r.point) + ',' + std::to_string(r.before) + ',' +
           std::to_string(r.written) + ',' + fixed3(r.izm_proc) + ',' + fixed3(r.izm_znach);
}

std::string defaultPath() {
    return joinPath(joinPath(userDataFolder(), "testlork"), "calibration.csv");
}

std::string failureText(const std::string& path, int err) {
    return "журнал калибровки: запись не добавлена в " + fileError(path, err);
}

std::string append(const std::string& path, const Record& r) {
    if (const auto sep = lastSeparator(path); sep != std::string::npos && sep > 0)
        if (const int err = makeFolders(path.substr(0, sep))) return failureText(path, err);
    std::string line = recordLine(r) + '\n';
    if (!r.doubt.empty()) line += kDoubtTag + ',' + csvField(r.doubt) + '\n';
    // A file this call creates gets the header, in the same write as the first record.
    if (const int err = appendFile(path, headerLine() + '\n', line)) return failureText(path, err);
    return {};
}

std::vector<Record> parseText(const std::string& text) {
    std::vector<Record> out;
    bool afterRecord = false;
    for (const auto& fields : split(text)) {
        if (auto r = fromFields(fields)) {
            out.push_back(std::move(*r));
            afterRecord = true;
            continue;
        }
        // A mark belongs only to the record written with it, just before it.
        if (afterRecord && fields.size() == 2 && fields[0] == kDoubtTag) out.back().doubt = fields[1];
        afterRecord = false;
    }
    return out;
}

std::vector<Record> readAll(const std::string& path) {
    std::ifstream f(std::filesystem::path(std::u8string(path.begin(), path.end())), std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return parseText(s.str());
}

std::vector<std::string> implausible(int point, uint32_t value, std::optional<float> izm_proc,
                                     std::optional<uint32_t> otherPoint, char decimal) {
    std::vector<std::string> out;
    const bool hundred = point == 100;
    const auto pulses = [](uint32_t v) { return std::to_string(v) + " имп."; };
    if (otherPoint && (hundred ? value <= *otherPoint : value >= *otherPoint))
        out.push_back(std::string("Точка ") + (hundred ? "100 %" : "0 %") + " (" + pulses(value) + ") " +
                      (hundred ? "не больше точки 0 %" : "не меньше точки 100 %") + " (" + pulses(*otherPoint) +
                      ").");
    if (izm_proc && !(std::fabs(double(*izm_proc) - point) <= double(kPointTolerancePercent))) {
        // One decimal is enough to see how far off it is.
        std::string shown = fixed(double(*izm_proc), 1);
        for (char& c : shown)
            if (c == '.') c = decimal;
        out.push_back("Измерено " + shown + " %: дальше " + shortest(double(kPointTolerancePercent)) +
                      " % от точки " + std::to_string(point) + " %.");
    }
    return out;
}

std::string joined(const std::vector<std::string>& reasons) {
    std::string s;
    for (const std::string& r : reasons) s += (s.empty() ? "" : " ") + r;
    return s;
}

Certificate lastCalibration(const std::vector<Record>& log, const std::string& port, unsigned adr,
                             const std::string& name, const std::string& version) {
    Certificate c;
    // The file grows in time order: a later line is a later write.
    for (const Record& r : log) {
        if (r.port != port || r.adr != adr || trimmed(r.name) != trimmed(name) || trimmed(r.version) != trimmed(version))
            continue;
        (r.point == 0 ? c.zero : c.hundred) = r;
    }
    return c;
}

}  // namespace lork::calib
