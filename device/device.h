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

class Device {
public:
    Device(State& st, Link& link, Host& host, ExchangeFeed& feed);

    // One whole transaction as the pages make it: the request variables set,
    // the request sent and the reply received and checked into kod_rez
    // (functions 1..4 read kol items; 16 writes the first kol values), the
    // exchange published. Returns kod_rez.
    uint8_t Transact(uint8_t func, uint16_t start, uint16_t kol, const std::vector<uint16_t>& values = {},
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

    uint8_t Probe_scor(int32_t rate);
    uint8_t Check_scor();
    uint8_t Find_scor();
    // Told each rate Find_scor is about to try (for a progress display).
    std::function<void(int32_t rate)> on_rate_try;

private:
    // A read request (functions 1..4) sent and its reply received.
    void Read_request(uint8_t func, uint16_t start, uint16_t kol);
    // A fixed transaction: request variables, request, reply check.
    uint8_t Fixed_read(uint8_t func, uint16_t start, uint16_t kol);
    // The record of the exchange in the buffers, to every subscriber.
    void Publish(uint8_t kod, bool probe, FailureReport report);
    // A good exchange records the rate of the address it asked in found_scor.
    void Remember_rate();

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
