#pragma once
// The calibration log: one CSV line for every calibration value the
// instrument accepted into its EEPROM, written by the window and by lorkctl
// alike, and read back for the certificate. Plain C++, no Qt.
//
// A value written although it failed the plausibility checks gets a second
// line right after its record, in the same write: `implausible,REASONS`.
// Readers that know only records pass it over as a line that does not parse.
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

namespace lork::calib {

struct Record {
    std::string when;     // ISO 8601, local time with its offset: 2026-03-09T07:05:04+03:00
    std::string port;     // the port name as the program uses it
    unsigned adr = 0;     // the instrument's address, 1..247
    std::string name;     // instrument name, UTF-8 (empty when it was not read)
    std::string version;  // instrument version, UTF-8
    int point = 0;        // 0 or 100 (%)
    uint32_t before = 0;  // the stored calibration value replaced, pulses
    uint32_t written = 0; // the value written, pulses
    float izm_proc = 0;   // measured resistance at the time, %
    float izm_znach = 0;  // measured resistance at the time, ТЕ
    std::string doubt;    // why the value failed the plausibility checks; empty: it passed
};

// How far the measured % may lie from the point being stored, in %, before
// the write needs the operator's word.
inline constexpr float kPointTolerancePercent = 5.0f;

// Whether value, about to be stored as point (0 or 100), looks like a
// calibration of that point: above the stored 0 % value (below the stored
// 100 %) where the other point is known, and the measured % (where known)
// within kPointTolerancePercent of the point. Each failure as one Russian
// sentence; empty when the value passes. decimal: the separator of the % shown.
std::vector<std::string> implausible(int point, uint32_t value, std::optional<float> izm_proc,
                                     std::optional<uint32_t> otherPoint, char decimal = ',');
// The failures as one text (for the question and the log's mark).
std::string joined(const std::vector<std::string>& reasons);

// The time t as a local ISO 8601 date and time with the offset ("+03:00").
std::string isoLocal(std::time_t t);

// An instrument text as a record keeps it: without the blanks around it.
std::string trimmed(const std::string& s);

std::string csvField(const std::string& s);
std::string headerLine();                  // no line end
std::string recordLine(const Record& r);   // no line end

// $XDG_DATA_HOME/testlork/calibration.csv, else ~/.local/share/testlork/calibration.csv.
std::string defaultPath();

// Appends r as one line (the header first when the file is new), creating
// the folder; one write of the whole text with O_APPEND, so that two
// programs appending at once do not mix their lines. The failure's text, or
// an empty string.
std::string append(const std::string& path, const Record& r);
// err: the errno value of the failed call.
std::string failureText(const std::string& path, int err);

// Every well-formed record of the file, in the file's order; lines that do
// not parse are passed over.
std::vector<Record> readAll(const std::string& path);
std::vector<Record> parseText(const std::string& text);

// The instrument's last calibration: the newest record of each point for
// the same port, address, name and version.
struct Certificate {
    std::optional<Record> zero, hundred;
    bool empty() const { return !zero && !hundred; }
};
Certificate lastCalibration(const std::vector<Record>& log, const std::string& port, unsigned adr,
                             const std::string& name, const std::string& version);

}  // namespace lork::calib
