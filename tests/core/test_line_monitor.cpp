// The line monitor: byte streams with their timing, read through the reading
// loop from a scripted port in virtual time, become frames of the right
// kind, paired and decoded.
#include <gtest/gtest.h>

#include <random>

#include "core_test_util.h"
#include "device/line_listener.h"
#include "records/line_capture.h"

namespace lork::test {
namespace {

using monitor::Frame;
using monitor::Kind;

constexpr int64_t kChar9600 = 1042;  // 10 bits at 9600 bit/s, rounded up
const std::vector<uint8_t> kReadParams = with_crc({5, 3, 0x0A, 0x00, 0x00, 0x08});
const std::vector<uint8_t> kParams = reg_reply(5, 3, {10, 100, 50, 1, 0, 1, 1000, 5});

struct Arrival {
    int64_t atUs;
    std::vector<uint8_t> bytes;
    bool spaced;  // a character apart, as on the wire; else all at once (a burst)
};

std::vector<uint8_t> cat(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Listens at 9600 bit/s until endUs, the way the listener reads a port.
std::vector<Frame> heard(const std::vector<Arrival>& line, int64_t endUs = 3'000'000) {
    VirtualClock clock;
    FakePort port(clock);
    port.open("ttyS0");
    for (const Arrival& a : line) {
        if (a.spaced) port.arriveSpaced(a.atUs, a.bytes, kChar9600);
        else port.arrive(a.atUs, a.bytes);
    }
    std::vector<Frame> frames;
    monitor::LineMonitor m(monitor::timingFor(LineConfig{9600, 8, 0, 1, 0}),
                           [&](Frame&& f) { frames.push_back(std::move(f)); });
    monitor::LineListener listener(port, clock, m);
    while (clock.nowUs() < endUs) EXPECT_TRUE(listener.step(50'000));
    EXPECT_TRUE(port.writes.empty());
    return frames;
}

std::string kinds(const std::vector<Frame>& frames) {
    std::string s;
    for (const Frame& f : frames) s += std::string(s.empty() ? "" : " ") + monitor::kindKey(f.kind);
    return s;
}

TEST(LineMonitor, CutsKindsAndPairsStreams) {
    const auto exception = with_crc({5, 0x83, 0x02});
    auto spoilt = kParams;
    spoilt[5] ^= 0x40;
    const auto ask7 = with_crc({7, 3, 0x08, 0x00, 0x00, 0x01});
    struct Case {
        const char* what;
        std::vector<Arrival> line;
        std::string kinds;
        std::vector<uint64_t> pairs;  // each frame's pair
    } cases[] = {
        {"at the line's pace", {{0, kReadParams, true}, {15'000, kParams, true}}, "request reply", {0, 1}},
        {"in one burst, no silence between", {{0, cat(kReadParams, kParams), false}}, "request reply", {0, 1}},
        {"exception", {{0, kReadParams, true}, {15'000, exception, true}}, "request exception", {0, 1}},
        {"spoilt reply", {{0, kReadParams, true}, {15'000, spoilt, true}}, "request crc_error", {0, 1}},
        {"stray bytes before the reply, one burst",
         {{0, kReadParams, true}, {15'000, cat({0x00, 0xFF}, kParams), false}},
         "request stray reply",
         {0, 0, 1}},
        {"unanswered, then the next request",
         {{0, ask7, true}, {100'000, kReadParams, true}, {115'000, kParams, true}},
         "request no_reply request reply",
         {0, 1, 0, 3}},
        {"unanswered to the end", {{0, kReadParams, true}}, "request no_reply", {0, 1}},
        {"reply whose request was not heard", {{0, kParams, true}}, "reply", {0}},
        // A pause inside a frame longer than the gap, as a USB adapter's
        // latency makes one: the head alone is no frame, so it waits.
        {"reply paused inside",
         {{0, kReadParams, true},
          {15'000, std::vector<uint8_t>(kParams.begin(), kParams.begin() + 9), true},
          {40'000, std::vector<uint8_t>(kParams.begin() + 9, kParams.end()), true}},
         "request reply",
         {0, 1}},
        {"a frame whole and the next one's head, then a pause",
         {{0, cat(kReadParams, std::vector<uint8_t>(kParams.begin(), kParams.begin() + 9)), false},
          {40'000, std::vector<uint8_t>(kParams.begin() + 9, kParams.end()), true}},
         "request reply",
         {0, 1}},
        {"reply cut short", {{0, kReadParams, true}, {15'000, std::vector<uint8_t>(kParams.begin(), kParams.begin() + 9), true}},
         "request crc_error",
         {0, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto frames = heard(c.line);
        EXPECT_EQ(kinds(frames), c.kinds);
        std::vector<uint64_t> pairs;
        for (const Frame& f : frames) pairs.push_back(f.pair);
        EXPECT_EQ(pairs, c.pairs);
    }
}

TEST(LineMonitor, ReadLateStillOneFrame) {
    // The reader was away while the rest of a reply came in: its next read
    // returns it long after the head, but the port was never found empty, so
    // the head and the rest are one frame.
    std::vector<Frame> frames;
    monitor::LineMonitor m(monitor::timingFor(LineConfig{9600, 8, 0, 1, 0}),
                           [&](Frame&& f) { frames.push_back(std::move(f)); });
    m.feed(kReadParams.data(), kReadParams.size(), 8'000);
    m.idle(20'000);
    m.feed(kParams.data(), 9, 30'000);
    m.feed(kParams.data() + 9, kParams.size() - 9, 45'000);
    m.idle(100'000);
    EXPECT_EQ(kinds(frames), "request reply");
}

TEST(LineMonitor, BackToBackFramesInAnyChunksWithStalls) {
    // A line without silences, read in chunks of any size, the reader now
    // and then finding the port empty for longer than the gap: every frame
    // is heard whole, none with a bad CRC.
    std::mt19937 rng(7);
    std::vector<std::vector<uint8_t>> sent;
    for (int n = 0; n < 3000; ++n) {
        const uint8_t adr = n % 2 ? 5 : 7, fn = n % 3 ? 3 : 4;
        const uint8_t count = uint8_t(1 + rng() % 13);
        sent.push_back(with_crc({adr, fn, 0x00, 0x10, 0x00, count}));
        std::vector<uint16_t> regs(count);
        for (auto& r : regs) r = uint16_t(rng());
        sent.push_back(reg_reply(adr, fn, regs));
    }
    std::vector<uint8_t> line;
    for (const auto& f : sent) line.insert(line.end(), f.begin(), f.end());
    std::vector<std::vector<uint8_t>> heard;
    monitor::LineMonitor m(monitor::timingFor(LineConfig{115200, 8, 0, 1, 0}), [&](Frame&& f) {
        EXPECT_TRUE(f.crcOk) << monitor::hexText(f.bytes);
        heard.push_back(f.bytes);
    });
    int64_t t = 0;
    for (size_t i = 0; i < line.size();) {
        if (rng() % 40 == 0) m.idle(t += 5'000);
        const size_t k = std::min<size_t>(1 + rng() % 64, line.size() - i);
        m.feed(line.data() + i, k, t += int64_t(k) * 87);
        i += k;
    }
    m.flush(t + 1'000'000);
    EXPECT_EQ(heard, sent);
}

TEST(LineMonitor, DecodesWithTheRegisterTable) {
    const auto write = with_crc({5, 0x10, 0x0A, 0x03, 0x00, 0x01, 0x02, 0x00, 0x02});
    const auto echo = with_crc({5, 0x10, 0x0A, 0x03, 0x00, 0x01});
    const auto frames = heard({{0, kReadParams, true},
                               {15'000, kParams, true},
                               {100'000, write, true},
                               {120'000, echo, true},
                               {200'000, with_crc({9, 3, 0x0B, 0x00, 0x00, 0x01}), true},
                               {210'000, reg_reply(9, 3, {0x1234}), true}});
    ASSERT_EQ(frames.size(), 6u);
    EXPECT_EQ(frames[0].text, "адрес 5: чтение 0x0A00 ×8");
    EXPECT_EQ(frames[1].text,
              "адрес 5: чтение 0x0A00 ×8 → R=10 Ом, N=100, U=50, light=1, cal_enable=0, v_ind=1, "
              "sum_res=1000 Ом, proc_dopusk=5 %");
    EXPECT_EQ(frames[2].text, "адрес 5: запись 0x0A03 ×1 ← light=2");
    EXPECT_EQ(frames[3].text, "адрес 5: запись 0x0A03 ×1 → записано");
    EXPECT_EQ(frames[5].text, "адрес 9: чтение 0x0B00 ×1 → 0x0B00=0x1234");
}

TEST(LineMonitor, StampsFirstByteAndBoundsWhatItHolds) {
    // A byte is in a character after it began; a burst's first byte began
    // as many characters before the read as the burst holds.
    auto frames = heard({{10'000, kReadParams, true}, {60'000, kParams, false}});
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].tUs, 10'000 - kChar9600);
    EXPECT_EQ(frames[1].tUs, 60'000 - int64_t(kParams.size()) * kChar9600);

    // An endless stream of noise without a silence is let go in pieces,
    // never held whole.
    std::vector<Arrival> noise;
    for (int i = 0; i < 600; ++i) noise.push_back({int64_t(i) * 2'000, std::vector<uint8_t>(2, 0xFF), false});
    frames = heard(noise, 2'000'000);
    size_t bytes = 0;
    for (const Frame& f : frames) bytes += f.bytes.size();
    EXPECT_EQ(bytes, 1200u);
    EXPECT_GT(frames.size(), 1u);
}

TEST(LineCapture, PcapHeaderAndRecordAreWhatWiresharkReads) {
    const std::string h = capture::pcapHeader();
    ASSERT_EQ(h.size(), 24u);
    EXPECT_EQ(h.substr(0, 4), std::string("\xD4\xC3\xB2\xA1", 4));
    EXPECT_EQ(h.substr(20, 4), std::string("\x93\0\0\0", 4));  // link type 147
    Frame f;
    f.tUs = 2'500'001;
    f.bytes = {1, 2, 3};
    const std::string r = capture::pcapRecord(f, capture::TimeBase{1'000'000, 1'700'000'000'000'000});
    ASSERT_EQ(r.size(), 16u + 3u);
    const auto u32 = [&](size_t at) {
        return uint32_t(uint8_t(r[at])) | uint32_t(uint8_t(r[at + 1])) << 8 | uint32_t(uint8_t(r[at + 2])) << 16 |
               uint32_t(uint8_t(r[at + 3])) << 24;
    };
    EXPECT_EQ(u32(0), 1'700'000'001u);
    EXPECT_EQ(u32(4), 500'001u);
    EXPECT_EQ(u32(8), 3u);
    EXPECT_EQ(r.substr(16), std::string("\1\2\3", 3));
}

TEST(LineMonitor, ListenOnlyPortNeverWrites) {
    VirtualClock clock;
    auto inner = std::make_unique<FakePort>(clock);
    FakePort* fake = inner.get();
    monitor::ListenOnlyPort port(std::move(inner));
    ASSERT_EQ(port.open("ttyS0"), 0u);
    const uint8_t b[] = {1, 2};
    EXPECT_NE(port.write(b, 2), 0u);
    EXPECT_TRUE(fake->writes.empty());
    EXPECT_EQ(port.refusedWrites(), 1);
    EXPECT_FALSE(monitor::listenRefusal("mbtcp://127.0.0.1:502").empty());
    EXPECT_TRUE(monitor::listenRefusal("rfc2217://127.0.0.1:2000").empty());
}

}  // namespace
}  // namespace lork::test
