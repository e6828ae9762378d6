#pragma once
// Every instrument of the line at once: each polled in turn with the
// presence read and the readings query, on the window's port and line.
//
// The overview keeps a State of its own (the window's line settings with its
// own address, its own exchange buffers and device values per instrument) and
// a Link of its own on the same port and clock. Asking another address thus
// never changes the window's address, its device values or its last result,
// not even for a moment: an exception, a message box or an early return in
// the middle of a turn has nothing of the window's to restore. The cost is
// nothing on the line: the port stays as the window set it up, and the
// overview's link takes the window link's time-outs and pauses as they are.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "device/device.h"

namespace lork {

// What the overview knows of one instrument.
struct Instrument {
    uint8_t adr = 0;
    std::string name, version;  // Windows-1251 bytes as the instrument sent them; empty: not read yet
    bool named = false;         // name and version read since its last failure
    std::string ciText;        // the indicator's eight characters, Windows-1251, as last read
    DeviceState dev;            // its values as last decoded
    bool polled = false;        // it has had a turn
    bool answering = false;     // its last turn went through
    int64_t lastGoodMs = -1;  // wall clock at the end of its last good turn, ms since the epoch; -1: never
    uint64_t turns = 0;
    uint64_t failures = 0;  // turns that failed
    uint8_t kod_rez = 0;    // the result that failed its last turn
    std::string failure;    // that result in words (UTF-8); empty after a good turn
};

// "1,5,7-9": addresses 1..247 in the order given, each once. nullopt, with
// why (UTF-8) when asked, for anything else.
std::optional<std::vector<uint8_t>> parseAddressList(const std::string& text, std::string* why = nullptr);
// The list back as text, runs of three or more as ranges: 1,5,7-9.
std::string addressListText(const std::vector<uint8_t>& adrs);
// The addresses that answered the last search (or a presence check), in order.
std::vector<uint8_t> foundAddresses(const FoundScor& found);

class Overview {
public:
    // window: the state whose line settings it follows; windowLink: the
    // window's link, whose port, clock, time-outs and pauses it shares;
    // feed: where its exchanges are published (as Command::Overview);
    // wallMs: the wall clock for the time of the last good turn.
    Overview(const State& window, Link& windowLink, ExchangeFeed& feed, std::function<int64_t()> wallMs);

    // A new list starts afresh; an address kept from the last list keeps what is known of it.
    void setAddresses(const std::vector<uint8_t>& adrs);
    const std::vector<Instrument>& instruments() const { return list_; }

    // One instrument's turn: the presence read; the name and version once
    // (again after a failure); the query's reads in the readings page's
    // order. The first exchange that fails ends the turn and marks it.
    const Instrument& poll(size_t i);
    // Every instrument in turn.
    void round();

private:
    // The port's messages during a turn belong to that turn's row, not to a
    // message box over the window.
    class TurnHost : public Host {
    public:
        void messageBox(const std::string& text) override { said = text; }
        void infoLine(const std::string& text) override {
            if (said.empty()) said = text;
        }
        bool keyPressedSince(int) override { return false; }
        std::string said;
    };
    uint8_t turn(Instrument& ins);

    const State& window_;
    Link& windowLink_;
    ExchangeFeed& feed_;
    std::function<int64_t()> wallMs_;
    State st_;
    TurnHost host_;
    Link link_;
    Device dev_;
    std::vector<Instrument> list_;
};

}  // namespace lork
