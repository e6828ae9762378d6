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
std::string Fixed(double v, int decimals) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
    return std::string(buf, r.ptr);
}
std::string Fixed3(float v) { return Fixed(double(v), 3); }

std::string Shortest(double v) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

template <class T>
bool Number(const std::string& s, T& out) {
    const char* end = s.data() + s.size();
    const auto r = std::from_chars(s.data(), end, out);
    return r.ec == std::errc() && r.ptr == end && !s.empty();
}

// Splits CSV text into records of fields; a quoted field may hold the
// separator, doubled quotes and line breaks.
std::vector<std::vector<std::string>> Split(const std::string& text) {
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

std::optional<Record> From_fields(const std::vector<std::string>& f) {
    if (f.size() != size_t(kFields)) return std::nullopt;
    Record r;
    r.when = f[0];
    r.port = f[1];
    r.name = f[3];
    r.version = f[4];
    if (!Number(f[2], r.adr) || !Number(f[5], r.point) || (r.point != 0 && r.point != 100) ||
        !Number(f[6], r.before) || !Number(f[7], r.written) || !Number(f[8], r.izm_proc) ||
        !Number(f[9], r.izm_znach))
        return std::nullopt;
    return r;
}

}  // namespace

std::string Iso_local(std::time_t t) { return records::isoLocalTime(int64_t(t) * 1000, false); }

std::string Trimmed(const std::string& s) {
    // Instruments pad their text registers with blanks or zero bytes.
    constexpr std::string_view pad(" \t\0", 3);
    const auto a = s.find_first_not_of(pad);
    if (a == std::string::npos) return {};
    return s.substr(a, s.find_last_not_of(pad) - a + 1);
}

std::string Csv_field(const std::string& s) { return records::csvField(s, ",;"); }

std::string Header_line() { return "time,port,adr,name,version,point,before,written,izm_proc,izm_znach"; }

std::string Record_line(const Record& r) {
    return Csv_field(r.when) + ',' + Csv_field(r.port) + ',' + std::to_string(r.adr) + ',' + Csv_field(r.name) +
           ',' + Csv_field(r.version) + ',' + std::to_string(r.point) + ',' + std::to_string(r.before) + ',' +
           std::to_string(r.written) + ',' + Fixed3(r.izm_proc) + ',' + Fixed3(r.izm_znach);
}

std::string Default_path() {
    return joinPath(joinPath(userDataFolder(), "testlork"), "calibration.csv");
}

std::string Failure_text(const std::string& path, int err) {
    return "журнал калибровки: запись не добавлена в " + fileError(path, err);
}

std::string Append(const std::string& path, const Record& r) {
    if (const auto sep = lastSeparator(path); sep != std::string::npos && sep > 0)
        if (const int err = makeFolders(path.substr(0, sep))) return Failure_text(path, err);
    std::string line = Record_line(r) + '\n';
    if (!r.doubt.empty()) line += kDoubtTag + ',' + Csv_field(r.doubt) + '\n';
    // A file this call creates gets the header, in the same write as the first record.
    if (const int err = appendFile(path, Header_line() + '\n', line)) return Failure_text(path, err);
    return {};
}

std::vector<Record> Parse_text(const std::string& text) {
    std::vector<Record> out;
    bool after_record = false;
    for (const auto& fields : Split(text)) {
        if (auto r = From_fields(fields)) {
            out.push_back(std::move(*r));
            after_record = true;
            continue;
        }
        // A mark belongs only to the record written with it, just before it.
        if (after_record && fields.size() == 2 && fields[0] == kDoubtTag) out.back().doubt = fields[1];
        after_record = false;
    }
    return out;
}

std::vector<Record> Read_all(const std::string& path) {
    std::ifstream f(std::filesystem::path(std::u8string(path.begin(), path.end())), std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return Parse_text(s.str());
}

std::vector<std::string> Implausible(int point, uint32_t value, std::optional<float> izm_proc,
                                     std::optional<uint32_t> other_point, char decimal) {
    std::vector<std::string> out;
    const bool hundred = point == 100;
    const auto pulses = [](uint32_t v) { return std::to_string(v) + " имп."; };
    if (other_point && (hundred ? value <= *other_point : value >= *other_point))
        out.push_back(std::string("Точка ") + (hundred ? "100 %" : "0 %") + " (" + pulses(value) + ") " +
                      (hundred ? "не больше точки 0 %" : "не меньше точки 100 %") + " (" + pulses(*other_point) +
                      ").");
    if (izm_proc && !(std::fabs(double(*izm_proc) - point) <= double(kPointTolerancePercent))) {
        // One decimal is enough to see how far off it is.
        std::string shown = Fixed(double(*izm_proc), 1);
        for (char& c : shown)
            if (c == '.') c = decimal;
        out.push_back("Измерено " + shown + " %: дальше " + Shortest(double(kPointTolerancePercent)) +
                      " % от точки " + std::to_string(point) + " %.");
    }
    return out;
}

std::string Joined(const std::vector<std::string>& reasons) {
    std::string s;
    for (const std::string& r : reasons) s += (s.empty() ? "" : " ") + r;
    return s;
}

Certificate Last_calibration(const std::vector<Record>& log, const std::string& port, unsigned adr,
                             const std::string& name, const std::string& version) {
    Certificate c;
    // The file grows in time order: a later line is a later write.
    for (const Record& r : log) {
        if (r.port != port || r.adr != adr || Trimmed(r.name) != Trimmed(name) || Trimmed(r.version) != Trimmed(version))
            continue;
        (r.point == 0 ? c.zero : c.hundred) = r;
    }
    return c;
}

}  // namespace lork::calib
