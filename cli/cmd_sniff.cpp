// lorkctl sniff: listens to a line another master drives and prints every
// frame heard, decoded; never sends a byte.
#include <cerrno>
#include <chrono>
#include <climits>
#include <optional>
#include <cstdio>
#include <cstring>

#include "cli/commands.h"
#include "cli/files.h"
#include "cli/interrupt.h"
#include "cli/json.h"
#include "cli/port.h"
#include "cli/session.h"
#include "device/line_listener.h"
#include "platform/base/system_clock.h"
#include "records/line_capture.h"
#include "records/text_fields.h"

namespace lorkctl {

namespace {

namespace mon = lork::monitor;
namespace cap = lork::capture;

// A file the monitor writes as it goes, flushed after each frame so that a
// reader (Wireshark on a FIFO, tail -f) sees the frames as they come.
class Output {
public:
    Output(const std::string& path, const char* what) : path_(path) {
        if (path.empty()) return;
        f_ = std::fopen(path.c_str(), "wb");
        if (!f_) throw Exit{ST_RECORD, std::string(what) + " " + path + ": " + channelFileErrorWords(errno)};
    }
    ~Output() {
        if (f_) std::fclose(f_);
    }
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;
    explicit operator bool() const { return f_ != nullptr; }
    void put(const std::string& bytes) {
        if (!f_ || failed_) return;
        if (std::fwrite(bytes.data(), 1, bytes.size(), f_) != bytes.size() || std::fflush(f_) != 0) {
            failed_ = true;
            error_ = errno;
        }
    }
    // The failure to write, in words; empty when everything went in.
    std::string failure() const { return failed_ ? path_ + ": " + channelFileErrorWords(error_) : std::string(); }

private:
    std::string path_;
    FILE* f_ = nullptr;
    bool failed_ = false;
    int error_ = 0;
};

std::string lineText(const mon::Frame& f, const cap::TimeBase& base) {
    std::string s = cap::secondsText(f, base) + "  " + mon::kindText(f.kind) + "  " + f.text;
    if (!f.bytes.empty()) s += "  [" + mon::hexText(f.bytes) + "]";
    return s;
}

std::string jsonText(const mon::Frame& f, const cap::TimeBase& base) {
    JsonObject j;
    j.add("seq", long(f.seq));
    j.addJson("t", cap::secondsText(f, base));
    j.add("time", lork::records::isoLocalTime(base.wallUs(f.tUs) / 1000, true));
    j.add("kind", mon::kindKey(f.kind));
    j.add("address", long(f.address));
    j.add("function", long(f.function));
    j.addJson("crc_ok", f.crcOk ? "true" : "false");
    if (f.pair) j.add("pair", long(f.pair));
    j.add("text", f.text);
    j.add("bytes", mon::hexText(f.bytes));
    return j.str();
}

}  // namespace

int cmdSniff(const Options& o) {
    allowOnly(o, {"gap", "reply-timeout", "pcap", "csv", "json", "frames", "duration"});
    for (const char* other : {"address", "timeout", "retries"})
        if (o.has(other)) throw Exit{ST_USAGE, std::string("sniff слушает все адреса и ничего не отправляет: --") + other + " не нужен"};
    if (!o.words.empty()) throw Exit{ST_USAGE, "sniff: лишние слова"};

    lork::LineSettings ls;
    const bool portKnown = loadSettingsDefaults(ls);
    if (auto p = o.value("port")) ls.port_name = *p;
    else if (!portKnown) throw Exit{ST_USAGE, "порт не задан: укажите --port"};
    if (const std::string refusal = mon::listenRefusal(ls.port_name); !refusal.empty()) throw Exit{ST_USAGE, refusal};
    if (auto b = o.value("baud")) {
        const auto code = rateCode(*b);
        if (!code) throw Exit{ST_USAGE, "--baud: скорость должна быть одной из 4800, 9600, 19200, 38400, 57600, 115200"};
        ls.scor = lork::scor_table[size_t(*code)];
    }
    if (auto p = o.value("parity")) {
        const auto code = parityCode(*p);
        if (!code) throw Exit{ST_USAGE, "--parity: none, even или odd (0, 1, 2)"};
        ls.parity = uint8_t(*code);
    }
    if (auto s = o.number("stopbits", 1, 2)) ls.stopbit = uint8_t(*s);
    const lork::LineConfig cfg{ls.scor, 8, ls.parity, ls.stopbit, 0};
    mon::Timing timing = mon::timingFor(cfg);
    if (auto g = o.value("gap")) {
        const auto v = toDecimal(*g, 0.1, 1000);
        if (!v) throw Exit{ST_USAGE, "--gap: тишина между кадрами, мс, от 0.1 до 1000"};
        timing.gapUs = int64_t(*v * 1000 + 0.5);
    }
    if (auto t = o.number("reply-timeout", 1, 60000)) timing.replyTimeoutUs = *t * 1000;
    const auto framesWanted = o.number("frames", 1, 1'000'000'000);
    std::optional<double> durationS;
    if (auto d = o.value("duration")) {
        durationS = toDecimal(*d, 0.1, 1e7);
        if (!durationS) throw Exit{ST_USAGE, "--duration: секунды от 0.1"};
    }
    const bool json = o.has("json");

    Output pcap(o.value("pcap").value_or(""), "--pcap");
    Output csv(o.value("csv").value_or(""), "--csv");

    mon::ListenOnlyPort port(makePort(ls.port_name));
    if (const uint32_t e = port.open(ls.port_name))
        throw Exit{ST_PORT, "порт " + ls.port_name + " не открыть: " + portCause(port, ls.port_name, e)};
    if (const uint32_t e = port.configure(cfg))
        throw Exit{ST_PORT, "порт " + ls.port_name + " не настроить: " + portCause(port, ls.port_name, e)};

    // What the port held before the start was heard at no known time.
    port.purgeInput();
    lork::SystemClock clock;
    cap::TimeBase base;
    base.monoStartUs = clock.nowUs();
    base.wallStartUs = std::chrono::duration_cast<std::chrono::microseconds>(
                       std::chrono::system_clock::now().time_since_epoch()).count();
    pcap.put(cap::pcapHeader());
    csv.put(cap::csvHeader() + "\n");

    uint64_t counts[mon::kindCount] = {};
    uint64_t heard = 0;
    mon::LineMonitor monitor(timing, [&](mon::Frame&& f) {
        ++counts[int(f.kind)];
        ++heard;
        pcap.put(cap::pcapRecord(f, base));
        csv.put(cap::csvLine(f, base) + "\n");
        const std::string line = json ? jsonText(f, base) : lineText(f, base);
        std::fprintf(stdout, "%s\n", line.c_str());
        std::fflush(stdout);
    });
    mon::LineListener listener(port, clock, monitor);

    std::fprintf(stderr, "lorkctl: слушаю %s, %d бод, паритет %s, стопбит %u; тишина между кадрами %.2f мс; Ctrl-C — конец\n",
                 ls.port_name.c_str(), int(ls.scor), parityName(ls.parity).c_str(), unsigned(ls.stopbit),
                 double(timing.gapUs) / 1000.0);
    catchInterrupt();
    std::string portFailure;
    const int64_t endUs = durationS ? base.monoStartUs + int64_t(*durationS * 1e6) : INT64_MAX;
    while (!interrupted() && clock.nowUs() < endUs && !(framesWanted && heard >= uint64_t(*framesWanted))) {
        if (!listener.step(50'000)) {
            portFailure = portCause(port, ls.port_name, port.lastReadError());
            break;
        }
    }
    if (!framesWanted || heard < uint64_t(*framesWanted)) monitor.flush(clock.nowUs());

    std::fprintf(stderr,
                 "lorkctl: кадров %llu: запросов %llu, ответов %llu, исключений %llu, с ошибкой КС %llu, "
                 "посторонних %llu; без ответа %llu; байт %llu\n",
                 (unsigned long long)(heard - counts[int(mon::Kind::NoReply)]),
                 (unsigned long long)counts[int(mon::Kind::Request)], (unsigned long long)counts[int(mon::Kind::Reply)],
                 (unsigned long long)counts[int(mon::Kind::Exception)],
                 (unsigned long long)counts[int(mon::Kind::CrcError)], (unsigned long long)counts[int(mon::Kind::Stray)],
                 (unsigned long long)counts[int(mon::Kind::NoReply)], (unsigned long long)monitor.bytesHeard());
    if (port.refusedWrites() != 0)  // nothing here writes; a change that did would show
        throw Exit{ST_PORT, "отказано в записи в порт: " + std::to_string(port.refusedWrites())};
    if (!portFailure.empty()) throw Exit{ST_PORT, "порт " + ls.port_name + ": " + portFailure};
    for (const Output* f : {&pcap, &csv})
        if (const std::string why = f->failure(); !why.empty()) throw Exit{ST_RECORD, "не записан " + why};
    return ST_OK;
}

}  // namespace lorkctl
