#pragma once
// The pieces every record's text is made of: a CSV field and an ISO 8601
// local time, one way for the journal, its log file, the calibration log and
// the trend plot's export.
#include <cstdint>
#include <string>
#include <string_view>

namespace lork::records {

// s as a CSV field: quoted, its quotes doubled, when it holds a quote, a line
// break or any of separators.
std::string csvField(std::string_view s, std::string_view separators);

// The wall-clock time wallMs (ms since the epoch) as local ISO 8601 with the
// offset: "2026-03-09T07:05:04+03:00", or with withMs "...T07:05:04.250+03:00".
std::string isoLocalTime(int64_t wallMs, bool withMs);

}  // namespace lork::records
