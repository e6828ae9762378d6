#pragma once
// The serial link: port set-up with the per-baud pauses and time-outs, send,
// receive, probe read.
#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/base/clock.h"
#include "platform/host.h"
#include "platform/base/serial_port.h"
#include "protocol/exchange_record.h"
#include "protocol/state.h"

namespace lork {

// The table entry used for a baud code on a line running at `scor` bit/s.
// Code 0 (no rate) takes the slowest entry, whose time-outs are the most
// generous. A code above 6 (read back from the instrument) says nothing of
// the line, so the line's own rate picks the entry, else the slowest one:
// the fastest entry would cut replies short on a slow line.
uint8_t tableCode(uint8_t code, int32_t scor);

// The wait for a whole reply the fixed transactions allow at this rate, us:
// the pause after a request and six single-byte read time-outs. The power
// tools take it when no time-out of their own is given.
int64_t fixedReplyWaitUs(uint8_t code, int32_t scor);

class Link {
public:
    Link(State& st, SerialPort& port, Clock& clock, Host& host);

    void Port_setup(uint8_t code);
    uint32_t Port_open(const std::string& name, int32_t rate, uint8_t parity, uint8_t stopbits,
                       uint8_t bytesize);
    void Port_send(const std::array<uint8_t, 64>& frame, uint8_t len);
    void Port_receive();
    void Port_receive_probe();  // may throw ProbeAborted
    uint8_t Send_probe();       // may throw ProbeAborted

    // What one timed read call gave: the bytes read (never more than asked)
    // and 0 or the system error code of the call that failed.
    struct ReadResult {
        size_t got = 0;
        uint32_t error = 0;
        bool ok() const { return error == 0; }
    };
    // Win32 ReadFile semantics with the time-outs loaded by the last Port_open:
    // a time-out is not an error; a closed port or a device that went away is.
    ReadResult readTimed(uint8_t* buf, size_t n);

    // The wait for a reply over Modbus TCP, ms: the time-out of one's own,
    // else the whole wait the serial line would have allowed at its rate.
    uint32_t networkWaitMs() const;

    // The port's read/write time-outs, ms, as the last Port_open loaded them
    // from the line settings.
    PortTimeouts port_timeouts;

    uint32_t port_error = 0;         // system error of the last failing step of Port_open
    int32_t port_setup_error = 0;    // what the Port_open inside the last Port_setup returned
    uint16_t pause_before = 10;      // ms between purge and write
    uint16_t pause_after = 10;       // ms after the write
    int64_t writeUs = 0;            // clock when the last request was written, us
    int64_t lastByteUs = 0;        // clock when its last reply byte arrived (writeUs: none yet), us
    // 0: the per-baud time-outs. Else the wait for a reply after the pause
    // that follows the request, ms, in place of the six single-byte reads,
    // and the wait for the rest of a reply once its address byte came.
    uint32_t responseTimeoutMs = 0;

    // Within one operator command (as the feed marks them) a port that has
    // failed is not tried again: the command's remaining exchanges are not
    // written, so an absent gateway costs one connect, not one per exchange,
    // and the operator gets one message, not one per exchange. Without a
    // feed to watch (lorkctl) every exchange tries the port.
    void watchCommands(const ExchangeFeed* feed) { feed_ = feed; }
    // The last exchange was not written: its command's port had failed.
    bool skipped() const { return skipped_; }
    // How the port failed the last exchange, for its record: a write that
    // failed, a port that went away while the reply was awaited, or (on the
    // first exchange its command skipped) the set-up that failed before it;
    // None when the port did not fail it. faultText() is the message on
    // one line.
    PortFault fault() const { return fault_; }
    const std::string& faultText() const { return faultText_; }
    // How many of the reply's len_suda bytes came from the line. The probe's
    // last pass counts one byte more than it read, so a silent instrument
    // leaves one byte of the buffer's filling in the reply; a record of the
    // exchange must not take that for a byte the instrument sent.
    size_t replyReceived() const { return st_.ex.len_suda - unreceived_; }

    // Called while a read waits for bytes, at least every kWaitSliceUs of the
    // wait, when set: what blocks the program's event loop for a whole
    // command may not keep everything waiting (a screen reader's questions).
    // It must not touch the link.
    std::function<void()> whileWaiting;
    static constexpr int64_t kWaitSliceUs = 5000;

    SerialPort& port() { return port_; }
    Clock& clock() { return clock_; }

private:
    // One single-byte read into paket_suda[1].
    ReadResult readOne();
    ReadResult readUnder(uint8_t* buf, size_t n, const PortTimeouts& t);
    // Over Modbus TCP the gateway hands over whole frames and keeps the
    // serial line's timing itself: the reply's first byte is awaited once,
    // up to the network time-out, and the rest is already there. At most
    // restMax bytes after the first; false when nothing came.
    bool receiveFrame(size_t restMax);
    // rx_status 2, and why, when the port failed the reads.
    void noReply();
    // A port that went away under an exchange (an adapter pulled, a gateway
    // that dropped the connection), or that a set-up could not open, is
    // opened afresh, by the same name and with the same line, before the
    // next write: a re-plugged adapter or a restarted gateway is used again
    // without being chosen again.
    void notePortLost(uint32_t err);
    uint32_t reopenLostPort();  // 0, or why the port could not be opened again
    // Why a port failed: the system error, and whether opening it failed
    // (else it failed in use).
    struct Cause {
        uint32_t error = 0;
        bool opening = false;
    };
    // A failed port: the fixed text first, then the port's name and the
    // cause in words, in a message box once per incident, else as a line;
    // the rest of the command skips. err: what the failing call gave, for
    // the line in the system's own words.
    void portFailed(PortFault kind, const std::string& head, Cause cause, uint32_t err);
    // Whether this failure only repeats the incident already told (same
    // port, same cause), and from here on the incident it belongs to.
    bool sameIncident(uint32_t cause);
    void incidentOver();
    bool downInThisCommand() const;
    bool searchAdr();
    // The port's wait for a byte until the clock reads endUs, cut into
    // slices with whileWaiting between them.
    bool waitReady(int64_t endUs);
    // Before a write: bytes that came during the pause are another station's
    // frame; wait until the line has been silent for 3.5 characters.
    void waitLineQuiet();
    int quietMs() const;  // 3.5 characters at the port's line settings, ms, at least 1
    void clearSuda();

    size_t lastCount_ = 0;  // byte count of the last single-byte read of a search
    uint8_t unreceived_ = 0;  // bytes of len_suda that are the filling, not the line's
    bool portLost_ = false; // the port went away or failed to open, and has not been opened since
    uint32_t openError_ = 0;  // what the open step of the last Port_open gave
    const ExchangeFeed* feed_ = nullptr;
    bool down_ = false;        // the port failed in the command downRun_
    uint64_t downRun_ = 0;
    bool skipTold_ = false;   // the information window was told the command skips
    bool skipped_ = false;
    PortFault fault_ = PortFault::None;
    std::string faultText_;
    uint32_t readError_ = 0;    // the last single-byte read of this exchange that failed
    bool setupFailed_ = false;  // a set-up failed and no exchange has recorded it yet
    // The port failure last told in a box, its port and its cause, until
    // the port works again (an answer came) or another port opens.
    std::string incidentPort_, incidentWhy_;
    State& st_;
    SerialPort& port_;
    Clock& clock_;
    Host& host_;
};

}  // namespace lork
