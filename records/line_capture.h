#pragma once
// What the line monitor writes: pcap for Wireshark (link type USER0, one
// RTU frame per packet, as its Modbus RTU dissector takes them) and CSV rows
// like the journal's (UTF-8, ISO 8601 times, comma-separated).
#include <cstdint>
#include <string>

#include "device/line_monitor.h"

namespace lork::capture {

// The pcap link type of the frames: DLT_USER0.
inline constexpr uint32_t kLinkTypeUser0 = 147;

// The monitor stamps frames on the monotonic clock; files want the wall
// clock. One reading of both at the start relates them for the whole run,
// so a change of the system's clock does not reorder the frames.
struct TimeBase {
    int64_t monoStartUs = 0;
    int64_t wallStartUs = 0;
    int64_t wallUs(int64_t tUs) const { return wallStartUs + (tUs - monoStartUs); }
    double secondsSince(int64_t tUs) const { return double(tUs - monoStartUs) / 1e6; }
};

// The pcap file's header (24 bytes, microsecond stamps, little-endian).
std::string pcapHeader();
// One frame as a pcap record; a NoReply (no bytes) gives nothing.
std::string pcapRecord(const monitor::Frame& f, const TimeBase& base);

std::string csvHeader();
std::string csvLine(const monitor::Frame& f, const TimeBase& base);

// Seconds since the start with four decimals: "12.3456".
std::string secondsText(const monitor::Frame& f, const TimeBase& base);

}  // namespace lork::capture
