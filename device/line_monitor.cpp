#include "device/line_monitor.h"

#include <algorithm>
#include <climits>
#include <cstdio>

#include "platform/crc16.h"
#include "protocol/framing.h"
#include "protocol/register_table.h"

namespace lork::monitor {

namespace {

// The longest RTU frame; bytes held past a few of them without a frame
// among them are let go as stray.
constexpr size_t kMaxFrame = 256;
constexpr size_t kHoldLimit = 2 * kMaxFrame;

bool crcGood(const uint8_t* p, size_t n) {
    if (n < 4) return false;
    const uint16_t c = crc16Modbus(p, n - 2);
    return p[n - 2] == (c & 0xFF) && p[n - 1] == (c >> 8);
}

// The length of a request of function fn whose first n bytes are p; 0 when
// the bytes do not tell it yet or the function is not one of Modbus's own.
size_t requestLength(const uint8_t* p, size_t n, uint8_t fn) {
    switch (fn) {
    case 1: case 2: case 3: case 4: case 5: case 6: case 8: return 8;
    case 7: case 11: case 12: case 17: return 4;
    case 15: case 16: return n >= 7 ? size_t(9 + p[6]) : 0;
    case 22: return 10;
    case 23: return n >= 11 ? size_t(13 + p[10]) : 0;
    default: return 0;
    }
}

size_t replyLength(const uint8_t* p, size_t n, uint8_t fn) {
    if (fn & 0x80) return 5;
    switch (fn) {
    case 1: case 2: case 3: case 4: case 12: case 17: case 23: return n >= 3 ? size_t(5 + p[2]) : 0;
    case 5: case 6: case 8: case 11: case 15: case 16: return 8;
    case 7: return 5;
    case 22: return 10;
    default: return 0;
    }
}

uint16_t be16(const uint8_t* p) { return uint16_t((p[0] << 8) | p[1]); }

std::string hex4(unsigned v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "0x%04X", v & 0xFFFFu);
    return buf;
}

std::string who(uint8_t adr) {
    return adr == 0 ? std::string("адрес 0 (всем): ") : "адрес " + std::to_string(adr) + ": ";
}

// What a request asks, without its address: "чтение 0x0A00 ×8".
std::string requestWhat(const std::vector<uint8_t>& b) {
    const uint8_t fn = b[1];
    const uint16_t start = be16(&b[2]);
    const uint16_t count = be16(&b[4]);
    auto counted = [&](const char* verb) { return std::string(verb) + hex4(start) + " ×" + std::to_string(count); };
    switch (fn) {
    case 1: return counted("чтение катушек ");
    case 2: return counted("чтение входов ");
    case 3: return counted("чтение ");
    case 4: return counted("чтение входных ");
    case 5: return "запись катушки " + hex4(start) + " ← " + (count == 0xFF00 ? "1" : count == 0 ? "0" : hex4(count));
    case 6: {
        const uint16_t w[1] = {count};
        return "запись " + hex4(start) + " ← " + reg::decodedLine(reg::decode(reg::Space::Holding, start, w));
    }
    case 15: return counted("запись катушек ");
    case 16: {
        std::vector<uint16_t> values;
        for (size_t i = 7; i + 1 < b.size() - 2 && values.size() < count; i += 2) values.push_back(be16(&b[i]));
        return counted("запись ") + " ← " + reg::decodedLine(reg::decode(reg::Space::Holding, start, values));
    }
    default: return "функция " + std::to_string(fn);
    }
}

std::string exceptionText(uint8_t code) {
    std::string t = "исключение " + std::to_string(code);
    if (code >= 1 && code <= 5) {
        const std::string k = Kod_text(code);
        const size_t a = k.find_first_not_of(" \""), z = k.find_last_not_of(" \"");
        if (a != std::string::npos) t += ": " + k.substr(a, z - a + 1);
    }
    return t;
}

}  // namespace

const char* kindKey(Kind k) {
    static const char* const keys[kindCount] = {"request", "reply", "exception", "crc_error", "stray", "no_reply"};
    return keys[int(k)];
}

const char* kindText(Kind k) {
    static const char* const texts[kindCount] = {"запрос", "ответ", "исключение", "ошибка КС", "посторонние байты",
                                                 "нет ответа"};
    return texts[int(k)];
}

std::string hexText(const std::vector<uint8_t>& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string s;
    s.reserve(bytes.size() * 3);
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i) s += ' ';
        s += digits[bytes[i] >> 4];
        s += digits[bytes[i] & 15];
    }
    return s;
}

int64_t charTimeUs(const LineConfig& cfg) {
    if (cfg.baud <= 0) return 0;
    const int64_t bits = 1 + int64_t(cfg.bytesize ? cfg.bytesize : 8) + (cfg.parity ? 1 : 0) + (cfg.stopbits == 2 ? 2 : 1);
    return (bits * 1'000'000 + cfg.baud - 1) / cfg.baud;
}

int64_t silenceUs(const LineConfig& cfg) {
    if (cfg.baud > 19200) return 1750;
    return charTimeUs(cfg) * 7 / 2;
}

Timing timingFor(const LineConfig& cfg) {
    Timing t;
    t.charUs = charTimeUs(cfg);
    t.gapUs = silenceUs(cfg);
    return t;
}

LineMonitor::LineMonitor(Timing timing, Sink sink) : timing_(timing), sink_(std::move(sink)) {}

void LineMonitor::feed(const uint8_t* data, size_t n, int64_t atUs) {
    if (n == 0) return;
    bytesHeard_ += n;
    // The read returned when the last byte was in; the earlier ones came a
    // character apart before it, but not before what was heard already.
    const int64_t c = timing_.charUs;
    const int64_t firstEnd = std::max(atUs - int64_t(n - 1) * c, lastEndUs_);
    if (!held_.empty() && firstEnd - c - lastEndUs_ >= timing_.gapUs) resolve(Cut::AtSilence);
    if (awaited_.active && firstEnd - c - awaited_.endUs >= timing_.replyTimeoutUs && held_.empty())
        reportNoReply(awaited_.endUs + timing_.replyTimeoutUs);
    for (size_t i = 0; i < n; ++i) {
        held_.push_back(data[i]);
        ends_.push_back(std::max(atUs - int64_t(n - 1 - i) * c, lastEndUs_));
        lastEndUs_ = ends_.back();
    }
    if (held_.size() > kHoldLimit) resolve(Cut::Bounded);
}

void LineMonitor::idle(int64_t nowUs) {
    const int64_t quiet = nowUs - lastEndUs_;
    if (!held_.empty() && quiet >= timing_.gapUs) {
        // The whole frames go now; a frame still arriving is waited for.
        resolve(Cut::AtSilence);
        if (!held_.empty() && (quiet >= timing_.holdUs || !heldIncomplete())) resolve(Cut::Final);
    }
    if (awaited_.active && held_.empty() && nowUs - awaited_.endUs >= timing_.replyTimeoutUs)
        reportNoReply(awaited_.endUs + timing_.replyTimeoutUs);
}

void LineMonitor::flush(int64_t nowUs) {
    if (!held_.empty()) resolve(Cut::Final);
    if (awaited_.active) reportNoReply(std::max(nowUs, awaited_.endUs));
}

int64_t LineMonitor::nextDeadlineUs() const {
    int64_t d = INT64_MAX;
    if (!held_.empty()) d = lastEndUs_ + std::max(timing_.gapUs, heldIncomplete() ? timing_.holdUs : 0);
    // A reply missed is told only once nothing is held (what is held may be
    // that reply): while bytes are held their own deadline is the next one,
    // else a deadline already past would be waited for again and again.
    if (awaited_.active && held_.empty()) d = std::min(d, awaited_.endUs + timing_.replyTimeoutUs);
    return d;
}

size_t LineMonitor::expectedReply(uint8_t adr, uint8_t fn) const {
    if (!awaited_.active || adr != awaited_.adr) return 0;
    if (fn == (awaited_.fn | 0x80)) return 5;
    return fn == awaited_.fn ? awaited_.replyLen : 0;
}

bool LineMonitor::heldIncomplete() const {
    const size_t n = held_.size();
    if (n == 0) return false;
    if (n == 1) return true;
    const uint8_t* p = held_.data();
    const uint8_t fn = p[1];
    switch (fn & 0x7F) {
    case 1: case 2: case 3: case 4: case 5: case 6: case 7: case 8: case 11: case 12: case 15: case 16: case 17:
    case 22: case 23: break;
    default: return false;
    }
    // Too few bytes yet to know the length counts as not all here.
    const size_t lens[3] = {expectedReply(p[0], fn), (fn & 0x80) ? 5 : requestLength(p, n, fn),
                            (fn & 0x80) ? 5 : replyLength(p, n, fn)};
    for (size_t i = 1; i < 3; ++i)
        if (lens[i] == 0) return true;
    for (size_t len : lens)
        if (len > n && len <= kMaxFrame) return true;
    return false;
}

size_t LineMonitor::frameAt(size_t i, bool whole, bool lookahead) const {
    const size_t n = held_.size() - i;
    if (n < 4) return 0;
    const uint8_t* p = held_.data() + i;
    const uint8_t fn = p[1];
    // The reply the awaited request asks for first, so a reply whose head
    // reads like a request is not taken for one.
    size_t tries[3] = {expectedReply(p[0], fn), 0, 0};
    if (fn & 0x80) tries[1] = 5;
    else {
        tries[1] = requestLength(p, n, fn);
        tries[2] = replyLength(p, n, fn);
    }
    // Without a silence between them a CRC alone is right but for one time
    // in 65536: of the lengths that check, the one after which another frame
    // begins (or the bytes end) is taken first.
    size_t first = 0;
    for (size_t len : tries) {
        if (len < 4 || len > n || !crcGood(p, len)) continue;
        if (!lookahead || len == n || frameAt(i + len, whole, false)) return len;
        if (!first) first = len;
    }
    if (whole && n <= kMaxFrame && crcGood(p, n)) return n;
    return first;
}

void LineMonitor::resolve(Cut how) {
    const bool whole = how != Cut::Bounded;
    size_t i = 0;
    while (i < held_.size()) {
        if (const size_t len = frameAt(i, whole)) {
            emitBytes(i, len, true);
            i += len;
            continue;
        }
        // No frame begins here: the bytes up to the next one that does are
        // a frame with a bad CRC, or stray.
        size_t j = i + 1;
        while (j < held_.size() && !frameAt(j, whole)) ++j;
        if (j < held_.size()) {
            emitBytes(i, j - i, false);
            i = j;
            continue;
        }
        // Nothing complete to the end. A frame still arriving stays held;
        // at a true silence, or past the bound, the bytes are given up.
        const size_t rest = held_.size() - i;
        if (how == Cut::Final) emitBytes(i, rest, false), i = held_.size();
        else if (rest > kMaxFrame) emitBytes(i, rest - kMaxFrame, false), i += rest - kMaxFrame;
        break;
    }
    held_.erase(held_.begin(), held_.begin() + std::ptrdiff_t(i));
    ends_.erase(ends_.begin(), ends_.begin() + std::ptrdiff_t(i));
}

void LineMonitor::emitBytes(size_t from, size_t len, bool crcOk) {
    Frame f;
    f.bytes.assign(held_.begin() + std::ptrdiff_t(from), held_.begin() + std::ptrdiff_t(from + len));
    f.endUs = ends_[from + len - 1];
    f.tUs = ends_[from] - timing_.charUs;
    f.crcOk = crcOk;
    f.address = f.bytes[0];
    f.function = len > 1 ? f.bytes[1] : 0;
    if (!crcOk) {
        const bool knownFn = len >= 4 && (replyLength(f.bytes.data(), len, f.function) != 0 ||
                                           requestLength(f.bytes.data(), len, f.function) != 0);
        f.kind = knownFn ? Kind::CrcError : Kind::Stray;
        if (f.kind == Kind::Stray) {
            f.text = std::to_string(len) + " байт вне кадра";
        } else if (awaited_.active && f.address == awaited_.adr && (f.function & 0x7F) == awaited_.fn) {
            // The awaited reply came, spoilt: the master got an answer it cannot use.
            f.pair = awaited_.seq;
            f.text = awaited_.what + " → неверная контрольная сумма";
            awaited_.active = false;
        } else {
            f.text = who(f.address) + "функция " + std::to_string(f.function & 0x7F) + ", неверная контрольная сумма";
        }
        publish(std::move(f));
        return;
    }
    classify(std::move(f));
}

void LineMonitor::reportNoReply(int64_t atUs) {
    Frame f;
    f.kind = Kind::NoReply;
    f.tUs = f.endUs = atUs;
    f.address = awaited_.adr;
    f.function = awaited_.fn;
    f.pair = awaited_.seq;
    f.text = awaited_.what + " → нет ответа";
    awaited_.active = false;
    publish(std::move(f));
}

void LineMonitor::classify(Frame&& f) {
    const auto& b = f.bytes;
    const size_t n = b.size();
    const uint8_t fn = f.function;
    // The reply to the request awaited.
    if (const size_t want = expectedReply(f.address, fn); want && want == n) {
        f.pair = awaited_.seq;
        if (fn & 0x80) {
            f.kind = Kind::Exception;
            f.text = awaited_.what + " → " + exceptionText(b[2]);
        } else {
            f.kind = Kind::Reply;
            std::string result;
            if (fn >= 1 && fn <= 4) {
                std::vector<uint16_t> values;
                const size_t data = std::min<size_t>(b[2], n - 5);
                for (size_t k = 0; k < awaited_.count; ++k) {
                    if (fn <= 2 && k / 8 < data) values.push_back(uint16_t((b[3 + k / 8] >> (k % 8)) & 1));
                    else if (fn > 2 && 2 * k + 1 < data) values.push_back(be16(&b[3 + 2 * k]));
                    else break;
                }
                const reg::Space s = *reg::spaceOfFunction(fn);
                result = reg::decodedLine(reg::decode(s, awaited_.start, values));
                if (values.size() < awaited_.count) result += (result.empty() ? "" : ", ") + std::string("данных меньше, чем запрошено");
            } else if (fn == 5 || fn == 6 || fn == 15 || fn == 16) {
                const bool same = be16(&b[2]) == awaited_.start && (fn == 5 || fn == 6 || be16(&b[4]) == awaited_.count);
                result = same ? "записано" : "ответ о другой записи: " + hex4(be16(&b[2])) + " ×" + std::to_string(be16(&b[4]));
            } else {
                result = hexText(std::vector<uint8_t>(b.begin() + 2, b.end() - 2));
            }
            f.text = awaited_.what + " → " + result;
        }
        awaited_.active = false;
        publish(std::move(f));
        return;
    }
    const size_t reqLen = (fn & 0x80) ? 0 : requestLength(b.data(), n, fn);
    if (reqLen == n || (reqLen == 0 && !(fn & 0x80) && replyLength(b.data(), n, fn) != n)) {
        // A request (or a frame of a function Modbus does not define, which
        // only a master starts). The one awaited before it got no reply.
        if (awaited_.active) reportNoReply(f.tUs);
        f.kind = Kind::Request;
        f.text = who(f.address) + (reqLen ? requestWhat(b) : "функция " + std::to_string(fn));
        // A broadcast gets no reply, nor does a function whose reply's
        // length only the reply tells.
        size_t len = 0;
        const uint16_t count = (fn == 5 || fn == 6 || n < 6) ? 1 : be16(&b[4]);
        if (fn == 1 || fn == 2) len = 5 + (count + 7u) / 8u;
        else if (fn == 3 || fn == 4) len = 5 + 2u * count;
        else if (fn == 5 || fn == 6 || fn == 8 || fn == 11 || fn == 15 || fn == 16) len = 8;
        else if (fn == 7) len = 5;
        else if (fn == 22) len = 10;
        if (f.address != 0 && reqLen && len) {
            awaited_.active = true;
            awaited_.seq = seq_ + 1;  // the number publish() gives the request
            awaited_.adr = f.address;
            awaited_.fn = fn;
            awaited_.start = be16(&b[2]);
            awaited_.count = count;
            awaited_.endUs = f.endUs;
            // The reply is told with what was asked, not with what was written.
            awaited_.what = f.text.substr(0, f.text.find(" ← "));
            awaited_.replyLen = len;
        }
        publish(std::move(f));
        return;
    }
    // A reply whose request was not heard (the monitor started between the
    // two, or the reply came after its time).
    f.kind = (fn & 0x80) ? Kind::Exception : Kind::Reply;
    f.text = who(f.address) + (f.kind == Kind::Exception ? "функция " + std::to_string(fn & 0x7F) + ", " + exceptionText(b[2])
                                                         : "ответ функции " + std::to_string(fn)) +
             " без запроса";
    publish(std::move(f));
}

void LineMonitor::publish(Frame&& f) {
    f.seq = ++seq_;
    if (sink_) sink_(std::move(f));
}

}  // namespace lork::monitor
