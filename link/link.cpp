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

uint8_t tableCode(uint8_t code, int32_t scor) {
    if (code >= 1 && code <= 6) return code;
    const uint8_t own = Scor_to_code(scor);
    return code > 6 && own != 0 ? own : 1;
}

int64_t fixedReplyWaitUs(uint8_t code, int32_t scor) {
    const uint8_t c = tableCode(code, scor);
    return (int64_t(t_after[c]) + 6 * 2 * (int64_t(t_after[c]) + t_before[c])) * 1000;
}

Link::Link(State& st, SerialPort& port, Clock& clock, Host& host)
    : st_(st), port_(port), clock_(clock), host_(host) {}

void Link::Port_setup(uint8_t code) {
    auto& ls = st_.ls;
    const uint8_t c = tableCode(code, ls.scor);
    ls.RIT = t_byte[c];
    ls.RTTM = uint16_t(2 * t_after[c]);
    ls.RTTC = uint16_t(2 * t_before[c]);
    ls.WTTM = 0;
    ls.WTTC = 0;
    // The port is opened at the settings' own rate, whatever code was given.
    port_setup_error = int32_t(Port_open(ls.port_name, ls.scor, ls.parity, ls.stopbit, ls.bytesize));
    if (port_setup_error != 0)
        portFailed(PortFault::Setup, "ошибка настройки порта",
                    {openError_ != 0 ? openError_ : uint32_t(port_setup_error), true}, uint32_t(port_setup_error));
    pause_after = t_after[c];
    pause_before = t_before[c];
}

uint32_t Link::Port_open(const std::string& name, int32_t rate, uint8_t parity, uint8_t stopbits,
                         uint8_t bytesize) {
    const auto& ls = st_.ls;
    port_error = 0;
    port_timeouts = ls;
    if (responseTimeoutMs != 0) {
        port_timeouts.RTTM = 0;
        port_timeouts.RTTC = uint16_t(std::min<uint32_t>(responseTimeoutMs, UINT16_MAX));
    }
    // A device absent at the set-up (an adapter still out, a gateway down)
    // is as lost as one that went away under an exchange: the next exchange
    // tries it again, so it is used once it is back.
    if (uint32_t e = port_.reopen(name)) port_error = e;
    portLost_ = port_error != 0;
    openError_ = port_error;
    if (port_error == 0) {
        down_ = false;  // the port is back: the command may use it
        setupFailed_ = false;
        // Another port is another story. The same one opening again says
        // little: a gateway takes the connection whether or not its device
        // is there, and drops it at once.
        if (incidentPort_ != name) incidentOver();
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

int Link::quietMs() const {
    const LineConfig cfg = port_.config();
    if (cfg.baud <= 0) return 1;
    // Start bit, data bits, parity bit, stop bits: one character on the wire.
    const int bits = 1 + cfg.bytesize + (cfg.parity != 0 ? 1 : 0) + (cfg.stopbits == 2 ? 2 : 1);
    const int64_t us = int64_t(bits) * 3'500'000 / cfg.baud;  // 3.5 characters, the RTU frame gap
    return int(std::max<int64_t>(1, (us + 999) / 1000));
}

void Link::waitLineQuiet() {
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
    const int quiet = quietMs();
    for (;;) {
        for (;;) {
            port_.purgeInput();
            const int64_t leftMs = (deadline - clock_.nowUs()) / 1000;
            if (leftMs <= 0) return;
            const int w = int(std::min<int64_t>(quiet, leftMs));
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

void Link::notePortLost(uint32_t err) {
    // A port closed on purpose, or never opened, reads as EBADF: not lost.
    if (err != 0 && err != EBADF && !port_.isOpen()) portLost_ = true;
}

uint32_t Link::reopenLostPort() {
    if (!portLost_ || port_.isOpen()) return 0;
    const LineConfig cfg = port_.config();
    if (uint32_t e = port_.reopen(st_.ls.port_name)) return e;  // the write fails next and tells
    if (uint32_t e = port_.configure(cfg)) return e;
    portLost_ = false;
    host_.infoLine("порт " + st_.ls.port_name + " открыт заново");
    return 0;
}

bool Link::downInThisCommand() const {
    return feed_ && down_ && feed_->commandRun() == downRun_;
}

bool Link::sameIncident(uint32_t cause) {
    // Without the window's commands to watch (lorkctl) each failure is told
    // as it comes, one line each.
    if (!feed_) return false;
    std::string why;
    if (const std::string refusal = port_.refusal(); !refusal.empty()) why = refusal;
    else if (portAbsent(cause)) why = "absent";
    else why = std::to_string(cause);
    const bool same = incidentPort_ == st_.ls.port_name && incidentWhy_ == why;
    incidentPort_ = st_.ls.port_name;
    incidentWhy_ = why;
    return same;
}

void Link::incidentOver() {
    incidentPort_.clear();
    incidentWhy_.clear();
}

void Link::portFailed(PortFault kind, const std::string& head, Cause cause, uint32_t err) {
    const std::string& name = st_.ls.port_name;
    const std::string line = port_.describeError(name, err);
    std::string words = port_.refusal();
    if (words.empty()) words = "Порт " + name + (cause.opening ? " не открыть: " : ": ") + errorWords(cause.error);
    faultText_ = head + "; " + words;
    if (kind == PortFault::Setup) setupFailed_ = true;
    // A second set-up in the same command (a search's next rate) fails for
    // the same reason: said once.
    if (downInThisCommand()) {
        host_.infoLine(line);
        return;
    }
    if (feed_) {
        down_ = true;
        downRun_ = feed_->commandRun();
        skipTold_ = false;
    }
    // The operator has had the box of this very failure: closing it gave
    // the window back, whose set-up finds the port as it was, or the next
    // command came before the port did. A line says it happened again.
    if (sameIncident(cause.error)) {
        host_.infoLine(head + ": " + line);
        return;
    }
    host_.infoLine(line);
    host_.messageBox(head + "\n" + words);
}

void Link::Port_send(const std::array<uint8_t, 64>& frame, uint8_t len) {
    skipped_ = false;
    fault_ = PortFault::None;
    readError_ = 0;
    notePortLost(port_.lastReadError());
    if (downInThisCommand()) {
        skipped_ = true;
        // The set-up that failed before the command's first exchange is
        // recorded in that exchange's place, once.
        if (std::exchange(setupFailed_, false)) fault_ = PortFault::Setup;
        writeUs = clock_.nowUs();
        lastByteUs = writeUs;
        if (!std::exchange(skipTold_, true))
            host_.infoLine("порт " + st_.ls.port_name + " недоступен: остальные обмены команды не выполнялись");
        return;
    }
    setupFailed_ = false;
    const uint32_t reopenError = reopenLostPort();
    // Behind a Modbus TCP gateway the serial pauses are the gateway's to keep:
    // sleeping them here only adds the line's timing a second time.
    const bool paced = !port_.modbusTcp();
    port_.purgeInput();
    if (paced) {
        clock_.sleepMs(pause_before);
        waitLineQuiet();
    }
    const size_t n = std::min<size_t>(len, frame.size() - 1);
    writeUs = clock_.nowUs();
    lastByteUs = writeUs;
    if (uint32_t e = port_.write(frame.data() + 1, n)) {
        notePortLost(e);
        fault_ = PortFault::Write;
        // A port that could not be opened again fails its write for that reason.
        portFailed(PortFault::Write, "ошибка при передаче= " + std::to_string(e),
                    reopenError != 0 ? Cause{reopenError, true} : Cause{e, false}, e);
    }
    if (paced) clock_.sleepMs(pause_after);
}

Link::ReadResult Link::readTimed(uint8_t* buf, size_t n) { return readUnder(buf, n, port_timeouts); }

uint32_t Link::networkWaitMs() const {
    if (responseTimeoutMs != 0) return responseTimeoutMs;
    return uint32_t(fixedReplyWaitUs(st_.ls.scor_code, st_.ls.scor) / 1000);
}

Link::ReadResult Link::readUnder(uint8_t* buf, size_t n, const PortTimeouts& t) {
    ReadResult r;
    if (!port_.isOpen()) {
        r.error = port_.lastReadError();
        if (r.error == 0) r.error = EBADF;
        notePortLost(r.error);
        return r;
    }
    if (n == 0) return r;
    // Where the system times reads itself (COMMTIMEOUTS), one call does the whole read.
    if (port_.readTimed(buf, n, t, r.got, r.error)) {
        if (r.got > 0) lastByteUs = clock_.nowUs();
        return r;
    }
    const bool hasTotal = t.RTTM != 0 || t.RTTC != 0;
    const int64_t totalEnd =
        clock_.nowUs() +
        (int64_t(t.RTTM) * int64_t(n) + int64_t(t.RTTC)) * 1000;
    const int64_t interval = int64_t(t.RIT) * 1000;

    r.got = port_.readAvailable(buf, n);
    if ((r.error = port_.lastReadError()) != 0) return r;
    int64_t lastByte = clock_.nowUs();
    if (r.got > 0) lastByteUs = lastByte;
    while (r.got < n) {
        const bool hasInterval = r.got > 0 && interval > 0;
        // Without a total time-out the read would wait for ever for its first
        // byte, which would freeze the window: it takes what is there instead.
        if (!hasTotal && !hasInterval) break;
        int64_t end = hasTotal ? totalEnd : std::numeric_limits<int64_t>::max();
        if (hasInterval) end = std::min(end, lastByte + interval);
        const int64_t now = clock_.nowUs();
        if (now >= end) break;
        // To the microsecond: a millisecond grain would overshoot each time-out.
        const bool ready = waitReady(end);
        if ((r.error = port_.lastReadError()) != 0) return r;
        if (!ready) break;
        const size_t k = port_.readAvailable(buf + r.got, n - r.got);
        if ((r.error = port_.lastReadError()) != 0) return r;
        if (k > 0) {
            r.got += k;
            lastByte = clock_.nowUs();
            lastByteUs = lastByte;
        }
    }
    return r;
}

bool Link::waitReady(int64_t endUs) {
    for (;;) {
        const int64_t left = endUs - clock_.nowUs();
        // The last slice ends at the deadline itself.
        if (!whileWaiting || left <= kWaitSliceUs) return port_.waitForReadyReadUs(left);
        const bool ready = port_.waitForReadyReadUs(kWaitSliceUs);
        if (ready || port_.lastReadError() != 0) return ready;
        whileWaiting();
    }
}

void Link::clearSuda() {
    auto& ex = st_.ex;
    ex.len_suda = 0;
    unreceived_ = 0;
    ex.rx_status = 0;
    ex.gatewayExc = 0;
    ex.wholeFrame = false;
    ex.paket_suda[0] = 0;
    std::fill(ex.paket_suda.begin() + 1, ex.paket_suda.begin() + 33, uint8_t(0x2E));
}

Link::ReadResult Link::readOne() {
    const ReadResult r = readTimed(&st_.ex.paket_suda[1], 1);
    if (!r.ok()) readError_ = r.error;
    return r;
}

void Link::noReply() {
    auto& ex = st_.ex;
    ex.rx_status = 2;
    // Nothing came because the port went away while the reply was awaited
    // (a gateway that dropped the connection, an adapter pulled): not the
    // instrument's silence.
    if (fault_ == PortFault::None && readError_ != 0) {
        fault_ = PortFault::Read;
        faultText_ = "ошибка при приёме; Порт " + st_.ls.port_name + ": " + errorWords(readError_);
    }
}

bool Link::receiveFrame(size_t restMax) {
    auto& ex = st_.ex;
    const uint16_t wait = uint16_t(std::min<uint32_t>(networkWaitMs(), UINT16_MAX));
    const ReadResult first = readUnder(&ex.paket_suda[1], 1, {0, 0, wait, 0, 0});
    if (!first.ok()) readError_ = first.error;
    lastCount_ = first.got;
    if (first.got == 0) return false;
    incidentOver();
    // No wait at all: the gateway delivered the frame in one piece.
    const size_t got = readUnder(&ex.paket_suda[2], std::min(restMax, kReplyMax), {}).got;
    ex.len_suda = uint8_t(got + 1);
    ex.gatewayExc = port_.gatewayException();
    ex.wholeFrame = true;
    return true;
}

bool Link::searchAdr() {
    for (int i = 0; i < 3; ++i) {
        lastCount_ = readOne().got;
        if (lastCount_ == 1 && st_.ex.paket_suda[1] == st_.ls.adr) {
            incidentOver();  // a reply's first byte came back: the port works
            return true;
        }
        // A time-out of one's own is the whole wait: nothing came in it.
        if (responseTimeoutMs != 0 && lastCount_ == 0) return false;
    }
    return false;
}

void Link::Port_receive() {
    auto& ex = st_.ex;
    clearSuda();
    if (skipped_) {
        ex.rx_status = 2;
        return;
    }
    if (port_.modbusTcp()) {
        if (!receiveFrame(ex.len_wait)) {
            noReply();
            ex.len_suda = 0;
        }
        return;
    }
    if (!searchAdr()) {
        ex.rx_status = 1;
        if ((responseTimeoutMs != 0 && lastCount_ == 0) || !searchAdr()) {
            noReply();
            ex.len_suda = uint8_t(lastCount_);
            return;
        }
    }
    // Let the rest of the reply gather in the input buffer first.
    clock_.sleepMs(int(t_byte[tableCode(st_.ls.scor_code, st_.ls.scor)]) * int(ex.len_wait));
    const size_t got = readTimed(&ex.paket_suda[2], std::min<size_t>(ex.len_wait, kReplyMax)).got;
    ex.len_suda = uint8_t(got + 1);
}

void Link::Port_receive_probe() {
    auto& ex = st_.ex;
    clearSuda();
    if (skipped_) {
        ex.rx_status = 2;
        return;
    }
    host_.keyPressedSince(VK_X);  // forget a press from before the probe
    if (port_.modbusTcp()) {
        if (receiveFrame(6)) return;
        ex.rx_status = 1;
        if (host_.keyPressedSince(VK_X)) throw ProbeAborted{};
        noReply();
        ex.len_suda = 0;
        return;
    }
    if (searchAdr()) {
        const size_t got = readTimed(&ex.paket_suda[2], 6).got;
        ex.len_suda = uint8_t(got + 1);
        return;
    }
    ex.rx_status = 1;
    if (responseTimeoutMs != 0 && lastCount_ == 0) {
        if (host_.keyPressedSince(VK_X)) throw ProbeAborted{};
        noReply();
        ex.len_suda = 0;
        return;
    }
    // This pass only gives the operator a chance to stop a long search; it
    // ends at the first read call that works, whatever came. A call that
    // fails (a port that went away) does not count as one that worked.
    for (int i = 0; i < 3; ++i) {
        const ReadResult r = readOne();
        if (host_.keyPressedSince(VK_X)) {
            ex.rx_status = 1;
            throw ProbeAborted{};
        }
        if (r.ok()) {
            ex.len_suda = uint8_t(r.got + 1);
            unreceived_ = 1;
            return;
        }
        lastCount_ = r.got;
    }
    noReply();
    ex.len_suda = uint8_t(lastCount_);
}

uint8_t Link::Send_probe() {
    Port_send(st_.ex.paket_tuda, st_.ex.len_tuda);
    Port_receive_probe();
    return st_.ex.rx_status;
}

}  // namespace lork
