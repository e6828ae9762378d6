#pragma once
// The instrument model: transactions, reply checks with decoding, probes.
#include <cstdint>
#include <functional>
#include <vector>

#include "link/link.h"
#include "protocol/exchange_record.h"
#include "protocol/framing.h"
#include "protocol/state.h"

namespace lork {

// What the baud probe found at a rate.
enum ScorProbe : uint8_t {
    SCOR_ANSWERED = 1,
    SCOR_ANSWERED_AGAIN = 2,  // after a time-out exception, on the repeat
    SCOR_REPEAT_FAILED = 3,
    SCOR_OTHER_FAILURE = 4,
    SCOR_PORT_FAILED = 5,  // the port did not open at the rate
};

class Device {
public:
    Device(State& st, Link& link, Host& host, ExchangeFeed& feed);

    // One whole transaction as the pages make it: the request variables set,
    // the request sent and the reply received and checked into kod_rez
    // (functions 1..4 read kol items; 16 writes the first kol values), the
    // exchange published. Returns kod_rez.
    uint8_t transact(uint8_t func, uint16_t start, uint16_t kol, const std::vector<uint16_t>& values = {},
                     FailureReport report = FailureReport::Line);

    void Zapros_read(uint16_t start, uint16_t kol);  // function from ex.zapros_func
    void Zapros_fn1(uint16_t start, uint16_t kol);
    void Zapros_fn2(uint16_t start, uint16_t kol);
    void Zapros_write1(uint16_t start, uint16_t kol, uint16_t value);
    void Zapros_write(uint16_t start, uint16_t kol, const std::vector<uint16_t>& values);

    uint8_t Otvet_fn1();
    uint8_t Otvet_fn2();
    uint8_t Otvet_fn3(uint16_t start, uint16_t kol);
    uint8_t Otvet_fn4(uint16_t start, uint16_t kol);
    uint8_t Otvet_fn16(uint16_t start, uint16_t kol);

    uint8_t Read_params();
    uint8_t Read_izm();
    uint8_t Read_adr();
    uint8_t Probe_adr();  // may throw ProbeAborted

    uint8_t Probe_scor(int32_t rate);  // a ScorProbe
    uint8_t Check_scor();
    uint8_t Find_scor();
    // Told each rate Find_scor is about to try (for a progress display).
    std::function<void(int32_t rate)> onRateTry;

private:
    // A read request (functions 1..4) sent and its reply received.
    void readRequest(uint8_t func, uint16_t start, uint16_t kol);
    // A fixed transaction: request variables, request, reply check.
    uint8_t fixedRead(uint8_t func, uint16_t start, uint16_t kol);
    // The record of the exchange in the buffers, to every subscriber.
    void publish(uint8_t kod, bool probe, FailureReport report);
    // A good exchange records the rate of the address it asked in found_scor.
    void rememberRate();

    State& st_;
    Link& link_;
    Host& host_;
    ExchangeFeed& feed_;
};

// Everything the program's core is: state, link and instrument model, wired.
struct Core {
    Core(SerialPort& port, Clock& clock, Host& host)
        : link(st, port, clock, host), dev(st, link, host, feed) {}
    State st;
    ExchangeFeed feed;  // every exchange, once
    Link link;
    Device dev;
};

}  // namespace lork
