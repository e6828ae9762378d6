#include "records/line_capture.h"

#include <cstdio>

#include "records/text_fields.h"

namespace lork::capture {

namespace {

void put32(std::string& s, uint32_t v) {
    for (int i = 0; i < 4; ++i) s += char((v >> (8 * i)) & 0xFF);
}
void put16(std::string& s, uint16_t v) {
    s += char(v & 0xFF);
    s += char(v >> 8);
}

}  // namespace

std::string pcapHeader() {
    std::string s;
    put32(s, 0xA1B2C3D4u);  // microsecond stamps
    put16(s, 2);
    put16(s, 4);
    put32(s, 0);      // stamps in UTC
    put32(s, 0);      // accuracy
    put32(s, 65535);  // snapshot length: frames whole
    put32(s, kLinkTypeUser0);
    return s;
}

std::string pcapRecord(const monitor::Frame& f, const TimeBase& base) {
    if (f.bytes.empty()) return {};
    const int64_t wall = base.wallUs(f.tUs);
    std::string s;
    put32(s, uint32_t(wall / 1'000'000));
    put32(s, uint32_t(wall % 1'000'000));
    put32(s, uint32_t(f.bytes.size()));
    put32(s, uint32_t(f.bytes.size()));
    s.append(reinterpret_cast<const char*>(f.bytes.data()), f.bytes.size());
    return s;
}

std::string secondsText(const monitor::Frame& f, const TimeBase& base) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.4f", base.secondsSince(f.tUs));
    return buf;
}

std::string csvHeader() { return "seq,time,t_s,kind,address,function,crc_ok,pair,text,bytes"; }

std::string csvLine(const monitor::Frame& f, const TimeBase& base) {
    // ISO time to the millisecond like the journal; t_s carries the tenths.
    const std::string time = records::isoLocalTime(base.wallUs(f.tUs) / 1000, true);
    return std::to_string(f.seq) + ',' + time + ',' + secondsText(f, base) + ',' + monitor::kindKey(f.kind) + ',' +
           std::to_string(f.address) + ',' + std::to_string(f.function) + ',' + (f.crcOk ? "1" : "0") + ',' +
           (f.pair ? std::to_string(f.pair) : std::string()) + ',' + records::csvField(f.text, ",") + ',' +
           monitor::hexText(f.bytes);
}

}  // namespace lork::capture
