#include "link/link.h"

#include <algorithm>
#include <cerrno>
#include <limits>
#include <utility>

#include "platform/base/error_words.h"
#include "platform/base/port_absent.h"

namespace lork {

namespace {
constexpr size_t kReplyMax = 62;  // paket_suda[2..63] after the address byte
}

uint8_t table_code(uint8_t code, int32_t scor) {
    if (code >= 1 && code <= 6) return code;
    const uint8_t own = Scor_to_code(scor);
    return code > 6 && own != 0 ? own : 1;
}

int64_t Fixed_reply_wait_us(uint8_t code, int32_t scor) {
    const uint8_t c = table_code(code, scor);
    return (int64_t(t_after[c]) + 6 * 2 * (int64_t(t_after[c]) + t_before[c])) * 1000;
}

Link::Link(State& st, SerialPort& port, Clock& clock, Host& host)
    : st_(st), port_(port), clock_(clock), host_(host) {}

void Link::Port_setup(uint8_t code) {
    auto& ls = st_.ls;
    const uint8_t c = table_code(code, ls.scor);
    ls.RIT = t_byte[c];
    ls.RTTM = uint16_t(2 * t_after[c]);
    ls.RTTC = uint16_t(2 * t_before[c]);
    ls.WTTM = 0;
    ls.WTTC = 0;
    // The port is opened at the settings' own rate, whatever code was given.
    port_setup_error = int32_t(Port_open(ls.port_name, ls.scor, ls.parity, ls.stopbit, ls.bytesize));
    if (port_setup_error != 0)
        Port_failed(PortFault::Setup, "ошибка настройки порта",
                    {open_error_ != 0 ? open_error_ : uint32_t(port_setup_error), true}, uint32_t(port_setup_error));
    pause_after = t_after[c];
    pause_before = t_before[c];
}

uint32_t Link::Port_open(const std::string& name, int32_t rate, uint8_t parity, uint8_t stopbits,
                         uint8_t bytesize) {
    const auto& ls = st_.ls;
    port_error = 0;
    port_timeouts = ls;
    if (response_timeout_ms != 0) {
        port_timeouts.RTTM = 0;
        port_timeouts.RTTC = uint16_t(std::min<uint32_t>(response_timeout_ms, UINT16_MAX));
    }
    // A device absent at the set-up (an adapter still out, a gateway down)
    // is as lost as one that went away under an exchange: the next exchange
    // tries it again, so it is used once it is back.
    if (uint32_t e = port_.reopen(name)) port_error = e;
    port_lost_ = port_error != 0;
    open_error_ = port_error;
    if (port_error == 0) {
        down_ = false;  // the port is back: the command may use it
        setup_failed_ = false;
        // Another port is another story. The same one opening again says
        // little: a gateway takes the connection whether or not its device
        // is there, and drops it at once.
        if (incident_port_ != name) Incident_over();
    }
    LineConfig cfg;
    cfg.baud = rate;
    cfg.bytesize = bytesize;
    cfg.parity = parity;
    // Only 1 and 2 are stop-bit settings; anything else keeps what the port has.
    cfg.stopbits = (stopbits == 1 || stopbits == 2) ? stopbits : port_.config().stopbits;
    if (const uint8_t code = Scor_to_code(rate); code != 0)
        cfg.byteTimeoutMs = 2 * (t_after[code] + t_before[code]);  // RTTM + RTTC of Port_setup
    // Configuring runs after a failed open too, and then fails in turn: the
    // result is the error of the last step that failed.
    if (uint32_t e = port_.configure(cfg)) port_error = e;
    return port_error;
}

int Link::Quiet_ms() const {
    const LineConfig cfg = port_.config();
    if (cfg.baud <= 0) return 1;
    // Start bit, data bits, parity bit, stop bits: one character on the wire.
    const int bits = 1 + cfg.bytesize + (cfg.parity != 0 ? 1 : 0) + (cfg.stopbits == 2 ? 2 : 1);
    const int64_t us = int64_t(bits) * 3'500'000 / cfg.baud;  // 3.5 characters, the RTU frame gap
    return int(std::max<int64_t>(1, (us + 999) / 1000));
}

void Link::Wait_line_quiet() {
    uint8_t scratch[64];
    // A quiet line: nothing came during the pause, the write goes out as always.
    if (port_.readAvailable(scratch, sizeof scratch) == 0) return;
    // Another station's frame is still on the line; writing over it would
    // garble both. Let it end, but no longer than a silent instrument would
    // cost this exchange (six single-byte reads). Between looks the port
    // gathers by itself: a line that never falls silent (a flooding gateway
    // delivers as fast as it is read) costs one purge per look, not a spin.
    const auto& t = port_timeouts;
    const int64_t deadline =
        clock_.nowUs() + 6 * (int64_t(t.RTTM) + int64_t(t.RTTC)) * 1000;
    const int quiet = Quiet_ms();
    for (;;) {
        for (;;) {
            port_.purgeInput();
            const int64_t left_ms = (deadline - clock_.nowUs()) / 1000;
            if (left_ms <= 0) return;
            const int w = int(std::min<int64_t>(quiet, left_ms));
            clock_.sleepMs(w);
            if (port_.readAvailable(scratch, sizeof scratch) == 0) {
                if (w < quiet || port_.lastReadError() != 0) return;
                break;  // silent for 3.5 characters
            }
            if (port_.lastReadError() != 0) return;
        }
        clock_.sleepMs(pause_before);
        if (port_.readAvailable(scratch, sizeof scratch) == 0) return;
    }
}

void Link::Note_port_lost(uint32_t err) {
    // A port closed on purpose, or never opened, reads as EBADF: not lost.
    if (err != 0 && err != EBADF && !port_.isOpen()) port_lost_ = true;
}

uint32_t Link::Reopen_lost_port() {
    if (!port_lost_ || port_.isOpen()) return 0;
    const LineConfig cfg = port_.config();
    if (uint32_t e = port_.reopen(st_.ls.port_name)) return e;  // the write fails next and tells
    if (uint32_t e = port_.configure(cfg)) return e;
    port_lost_ = false;
    host_.infoLine("порт " + st_.ls.port_name + " открыт заново");
    return 0;
}

bool Link::Down_in_this_command() const {
    return feed_ && down_ && feed_->commandRun() == down_run_;
}

bool Link::Same_incident(uint32_t cause) {
    // Without the window's commands to watch (lorkctl) each failure is told
    // as it comes, one line each.
    if (!feed_) return false;
    std::string why;
    if (const std::string refusal = port_.refusal(); !refusal.empty()) why = refusal;
    else if (Port_absent(cause)) why = "absent";
    else why = std::to_string(cause);
    const bool same = incident_port_ == st_.ls.port_name && incident_why_ == why;
    incident_port_ = st_.ls.port_name;
    incident_why_ = why;
    return same;
}

void Link::Incident_over() {
    incident_port_.clear();
    incident_why_.clear();
}

void Link::Port_failed(PortFault kind, const std::string& head, Cause cause, uint32_t err) {
    const std::string& name = st_.ls.port_name;
    const std::string line = port_.describeError(name, err);
    std::string words = port_.refusal();
    if (words.empty()) words = "Порт " + name + (cause.opening ? " не открыть: " : ": ") + Error_words(cause.error);
    fault_text_ = head + "; " + words;
    if (kind == PortFault::Setup) setup_failed_ = true;
    // A second set-up in the same command (a search's next rate) fails for
    // the same reason: said once.
    if (Down_in_this_command()) {
        host_.infoLine(line);
        return;
    }
    if (feed_) {
        down_ = true;
        down_run_ = feed_->commandRun();
        skip_told_ = false;
    }
    // The operator has had the box of this very failure: closing it gave
    // the window back, whose set-up finds the port as it was, or the next
    // command came before the port did. A line says it happened again.
    if (Same_incident(cause.error)) {
        host_.infoLine(head + ": " + line);
        return;
    }
    host_.infoLine(line);
    host_.messageBox(head + "\n" + words);
}

void Link::Port_send(const std::array<uint8_t, 64>& frame, uint8_t len) {
    skipped_ = false;
    fault_ = PortFault::None;
    read_error_ = 0;
    Note_port_lost(port_.lastReadError());
    if (Down_in_this_command()) {
        skipped_ = true;
        // The set-up that failed before the command's first exchange is
        // recorded in that exchange's place, once.
        if (std::exchange(setup_failed_, false)) fault_ = PortFault::Setup;
        write_us = clock_.nowUs();
        last_byte_us = write_us;
        if (!std::exchange(skip_told_, true))
            host_.infoLine("порт " + st_.ls.port_name + " недоступен: остальные обмены команды не выполнялись");
        return;
    }
    setup_failed_ = false;
    const uint32_t reopen_error = Reopen_lost_port();
    // Behind a Modbus TCP gateway the serial pauses are the gateway's to keep:
    // sleeping them here only adds the line's timing a second time.
    const bool paced = !port_.modbusTcp();
    port_.purgeInput();
    if (paced) {
        clock_.sleepMs(pause_before);
        Wait_line_quiet();
    }
    const size_t n = std::min<size_t>(len, frame.size() - 1);
    write_us = clock_.nowUs();
    last_byte_us = write_us;
    if (uint32_t e = port_.write(frame.data() + 1, n)) {
        Note_port_lost(e);
        fault_ = PortFault::Write;
        // A port that could not be opened again fails its write for that reason.
        Port_failed(PortFault::Write, "ошибка при передаче= " + std::to_string(e),
                    reopen_error != 0 ? Cause{reopen_error, true} : Cause{e, false}, e);
    }
    if (paced) clock_.sleepMs(pause_after);
}

Link::ReadResult Link::Read_timed(uint8_t* buf, size_t n) { return Read_under(buf, n, port_timeouts); }

uint32_t Link::Network_wait_ms() const {
    if (response_timeout_ms != 0) return response_timeout_ms;
    return uint32_t(Fixed_reply_wait_us(st_.ls.scor_code, st_.ls.scor) / 1000);
}

Link::ReadResult Link::Read_under(uint8_t* buf, size_t n, const PortTimeouts& t) {
    ReadResult r;
    if (!port_.isOpen()) {
        r.error = port_.lastReadError();
        if (r.error == 0) r.error = EBADF;
        Note_port_lost(r.error);
        return r;
    }
    if (n == 0) return r;
    // Where the system times reads itself (COMMTIMEOUTS), one call does the whole read.
    if (port_.readTimed(buf, n, t, r.got, r.error)) {
        if (r.got > 0) last_byte_us = clock_.nowUs();
        return r;
    }
    const bool has_total = t.RTTM != 0 || t.RTTC != 0;
    const int64_t total_end =
        clock_.nowUs() +
        (int64_t(t.RTTM) * int64_t(n) + int64_t(t.RTTC)) * 1000;
    const int64_t interval = int64_t(t.RIT) * 1000;

    r.got = port_.readAvailable(buf, n);
    if ((r.error = port_.lastReadError()) != 0) return r;
    int64_t last_byte = clock_.nowUs();
    if (r.got > 0) last_byte_us = last_byte;
    while (r.got < n) {
        const bool has_interval = r.got > 0 && interval > 0;
        // Without a total time-out the read would wait for ever for its first
        // byte, which would freeze the window: it takes what is there instead.
        if (!has_total && !has_interval) break;
        int64_t end = has_total ? total_end : std::numeric_limits<int64_t>::max();
        if (has_interval) end = std::min(end, last_byte + interval);
        const int64_t now = clock_.nowUs();
        if (now >= end) break;
        // To the microsecond: a millisecond grain would overshoot each time-out.
        const bool ready = Wait_ready(end);
        if ((r.error = port_.lastReadError()) != 0) return r;
        if (!ready) break;
        const size_t k = port_.readAvailable(buf + r.got, n - r.got);
        if ((r.error = port_.lastReadError()) != 0) return r;
        if (k > 0) {
            r.got += k;
            last_byte = clock_.nowUs();
            last_byte_us = last_byte;
        }
    }
    return r;
}

bool Link::Wait_ready(int64_t end_us) {
    for (;;) {
        const int64_t left = end_us - clock_.nowUs();
        // The last slice ends at the deadline itself.
        if (!while_waiting || left <= kWaitSliceUs) return port_.waitForReadyReadUs(left);
        const bool ready = port_.waitForReadyReadUs(kWaitSliceUs);
        if (ready || port_.lastReadError() != 0) return ready;
        while_waiting();
    }
}

void Link::Clear_suda() {
    auto& ex = st_.ex;
    ex.len_suda = 0;
    ex.rx_status = 0;
    ex.gateway_exc = 0;
    ex.whole_frame = false;
    ex.paket_suda[0] = 0;
    std::fill(ex.paket_suda.begin() + 1, ex.paket_suda.begin() + 33, uint8_t(0x2E));
}

Link::ReadResult Link::Read_one() {
    const ReadResult r = Read_timed(&st_.ex.paket_suda[1], 1);
    if (!r.ok()) read_error_ = r.error;
    return r;
}

void Link::No_reply() {
    auto& ex = st_.ex;
    ex.rx_status = 2;
    // Nothing came because the port went away while the reply was awaited
    // (a gateway that dropped the connection, an adapter pulled): not the
    // instrument's silence.
    if (fault_ == PortFault::None && read_error_ != 0) {
        fault_ = PortFault::Read;
        fault_text_ = "ошибка при приёме; Порт " + st_.ls.port_name + ": " + Error_words(read_error_);
    }
}

bool Link::Receive_frame(size_t rest_max) {
    auto& ex = st_.ex;
    const uint16_t wait = uint16_t(std::min<uint32_t>(Network_wait_ms(), UINT16_MAX));
    const ReadResult first = Read_under(&ex.paket_suda[1], 1, {0, 0, wait, 0, 0});
    if (!first.ok()) read_error_ = first.error;
    last_count_ = first.got;
    if (first.got == 0) return false;
    Incident_over();
    // No wait at all: the gateway delivered the frame in one piece.
    const size_t got = Read_under(&ex.paket_suda[2], std::min(rest_max, kReplyMax), {}).got;
    ex.len_suda = uint8_t(got + 1);
    ex.gateway_exc = port_.gatewayException();
    ex.whole_frame = true;
    return true;
}

bool Link::Search_adr() {
    for (int i = 0; i < 3; ++i) {
        last_count_ = Read_one().got;
        if (last_count_ == 1 && st_.ex.paket_suda[1] == st_.ls.adr) {
            Incident_over();  // a reply's first byte came back: the port works
            return true;
        }
        // A time-out of one's own is the whole wait: nothing came in it.
        if (response_timeout_ms != 0 && last_count_ == 0) return false;
    }
    return false;
}

void Link::Port_receive() {
    auto& ex = st_.ex;
    Clear_suda();
    if (skipped_) {
        ex.rx_status = 2;
        return;
    }
    if (port_.modbusTcp()) {
        if (!Receive_frame(ex.len_wait)) {
            No_reply();
            ex.len_suda = 0;
        }
        return;
    }
    if (!Search_adr()) {
        ex.rx_status = 1;
        if ((response_timeout_ms != 0 && last_count_ == 0) || !Search_adr()) {
            No_reply();
            ex.len_suda = uint8_t(last_count_);
            return;
        }
    }
    // Let the rest of the reply gather in the input buffer first.
    clock_.sleepMs(int(t_byte[table_code(st_.ls.scor_code, st_.ls.scor)]) * int(ex.len_wait));
    const size_t got = Read_timed(&ex.paket_suda[2], std::min<size_t>(ex.len_wait, kReplyMax)).got;
    ex.len_suda = uint8_t(got + 1);
}

void Link::Port_receive_probe() {
    auto& ex = st_.ex;
    Clear_suda();
    if (skipped_) {
        ex.rx_status = 2;
        return;
    }
    host_.keyPressedSince(VK_X);  // forget a press from before the probe
    if (port_.modbusTcp()) {
        if (Receive_frame(6)) return;
        ex.rx_status = 1;
        if (host_.keyPressedSince(VK_X)) throw ProbeAborted{};
        No_reply();
        ex.len_suda = 0;
        return;
    }
    if (Search_adr()) {
        const size_t got = Read_timed(&ex.paket_suda[2], 6).got;
        ex.len_suda = uint8_t(got + 1);
        return;
    }
    ex.rx_status = 1;
    if (response_timeout_ms != 0 && last_count_ == 0) {
        if (host_.keyPressedSince(VK_X)) throw ProbeAborted{};
        No_reply();
        ex.len_suda = 0;
        return;
    }
    // This pass only gives the operator a chance to stop a long search; it
    // ends at the first read call that works, whatever came. A call that
    // fails (a port that went away) does not count as one that worked.
    for (int i = 0; i < 3; ++i) {
        const ReadResult r = Read_one();
        if (host_.keyPressedSince(VK_X)) {
            ex.rx_status = 1;
            throw ProbeAborted{};
        }
        if (r.ok()) {
            ex.len_suda = uint8_t(r.got + 1);
            return;
        }
        last_count_ = r.got;
    }
    No_reply();
    ex.len_suda = uint8_t(last_count_);
}

uint8_t Link::Send_probe() {
    Port_send(st_.ex.paket_tuda, st_.ex.len_tuda);
    Port_receive_probe();
    return st_.ex.rx_status;
}

}  // namespace lork
