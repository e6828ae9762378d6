#pragma once
// The line monitor's core: bytes heard on a line that another master drives,
// with the time each read returned them, become frames (cut at the line's
// silence, and inside a burst where a frame of the length its head announces
// ends with a good CRC), each told as a request, a reply paired with its
// request, an exception, a frame with a bad CRC or stray bytes, and decoded
// with the register table. A request whose reply never came is reported as
// such. No Qt, no port: the listener (device/line_listener.h) feeds it.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/base/serial_port.h"

namespace lork::monitor {

enum class Kind : uint8_t {
    Request,    // a request from the master
    Reply,      // a reply (paired with its request when pair != 0)
    Exception,  // an exception reply
    CrcError,   // a frame whose CRC is wrong
    Stray,      // bytes that make no frame
    NoReply,    // no bytes: the request pair names got no reply
};
inline constexpr int kindCount = 6;

// "request", "reply" ... for files and scripts.
const char* kindKey(Kind k);
// "запрос", "ответ" ... as the window and the console show it.
const char* kindText(Kind k);

struct Frame {
    uint64_t seq = 0;          // 1, 2, ... in the order heard (a NoReply takes a number too)
    int64_t tUs = 0;          // the first byte's start, monotonic clock, microseconds
    int64_t endUs = 0;        // the last byte's end
    Kind kind = Kind::Stray;
    std::vector<uint8_t> bytes;  // as on the line; empty for NoReply
    bool crcOk = false;
    uint8_t address = 0;       // first byte (the request's for NoReply)
    uint8_t function = 0;      // second byte, exception bit included
    uint64_t pair = 0;         // a reply's, exception's or NoReply's request; 0: none
    std::string text;          // "адрес 5: чтение 0x0A00 ×8 → R=10 Ом, N=100, ..."
};

struct Timing {
    int64_t charUs = 1042;             // one character on the wire
    int64_t gapUs = 3646;              // the silence that ends a frame
    int64_t replyTimeoutUs = 1'000'000;  // a request unanswered this long got no reply
    // Bytes that begin a frame and stop short of its length are held this
    // long before they count as a broken frame: a USB adapter (its latency
    // timer goes up to 255 ms), a gateway or a busy computer can pause a
    // frame far longer than the gap. A frame that follows meanwhile still
    // cuts them off at once, so only the last one before a silence waits.
    int64_t holdUs = 1'000'000;
};

// Bits of one character: start, 8 data, parity when used, stop bits.
int64_t charTimeUs(const LineConfig& cfg);
// The silence that ends an RTU frame: 3.5 characters, and 1.75 ms above
// 19200 bit/s as the RTU line's own rule fixes it.
int64_t silenceUs(const LineConfig& cfg);
Timing timingFor(const LineConfig& cfg);

class LineMonitor {
public:
    using Sink = std::function<void(Frame&&)>;
    LineMonitor(Timing timing, Sink sink);

    // Bytes one read returned at atUs (monotonic). Their times are taken
    // back from atUs at the line's rate, never before the previous byte.
    void feed(const uint8_t* data, size_t n, int64_t atUs);
    // The port has been found empty at nowUs: frames that ended a silence
    // ago are cut, and requests waited out are reported as unanswered.
    void idle(int64_t nowUs);
    // Ends a run: whatever is held is cut and reported.
    void flush(int64_t nowUs);
    // When idle() next has something to do; INT64_MAX when nothing waits.
    int64_t nextDeadlineUs() const;

    const Timing& timing() const { return timing_; }
    uint64_t bytesHeard() const { return bytesHeard_; }

private:
    enum class Cut { Bounded, AtSilence, Final };
    void resolve(Cut how);
    // The length of a frame with a good CRC beginning at i, 0 if none.
    size_t frameAt(size_t i, bool whole, bool lookahead = true) const;
    size_t expectedReply(uint8_t adr, uint8_t fn) const;
    // Whether the bytes held begin a frame that has not all come yet.
    bool heldIncomplete() const;
    void emitBytes(size_t from, size_t len, bool crcOk);
    void classify(Frame&& f);
    void reportNoReply(int64_t atUs);
    void publish(Frame&& f);

    Timing timing_;
    Sink sink_;
    std::vector<uint8_t> held_;   // bytes not yet cut
    std::vector<int64_t> ends_;   // each held byte's end, µs
    int64_t lastEndUs_ = 0;     // the last byte heard
    uint64_t seq_ = 0;
    uint64_t bytesHeard_ = 0;

    // The request awaiting its reply.
    struct Awaited {
        bool active = false;
        uint64_t seq = 0;
        uint8_t adr = 0, fn = 0;
        uint16_t start = 0, count = 0;
        size_t replyLen = 0;
        int64_t endUs = 0;
        std::string what;  // "адрес 5: чтение 0x0A00 ×8"
    } awaited_;
};

// A frame's bytes as "05 03 0A 00" (upper-case pairs, one blank between).
std::string hexText(const std::vector<uint8_t>& bytes);

}  // namespace lork::monitor
