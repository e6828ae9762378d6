#pragma once
// One exchange with the instrument as everything that shows traffic sees
// it, and the point where it is published. Every transaction of the core
// publishes its record once, after the reply check; the exchange windows,
// the result line (and a journal or a plot) subscribe.
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace lork {

// Which operator command an exchange belongs to.
enum class Command : uint8_t {
    Page,        // a button, a field or a choice on a page
    Query,       // the readings page's "запрос"
    Polling,     // a tick of the periodic polling
    Search,      // a search command of the menu "файл" (and the answer check)
    Activation,  // the main window's activation
    Overview,    // a turn of the overview of every instrument on the line
};

// Where the failure of an exchange is told to the operator.
enum class FailureReport : uint8_t {
    Line,  // a line with the result text in the information window
    Box,   // a message box with that text
    None,  // not at all: the command reports it in its own words (probes)
};

// A port that failed an exchange: its result code says nothing about the
// instrument.
enum class PortFault : uint8_t {
    None,
    Setup,  // the port could not be opened or set up; nothing was written
    Write,  // the request could not be written
    Read,   // the port went away while the reply was awaited; nothing came
};

struct ExchangeRecord {
    std::vector<uint8_t> request;  // frame as written, CRC included
    std::vector<uint8_t> reply;    // bytes as received, from the address byte on; empty: none
    int64_t writeUs = 0;          // core clock when the request was written, us
    int64_t lastByteUs = 0;      // core clock when the last reply byte arrived (writeUs: none), us
    uint8_t kod_rez = 0;           // result code of the reply check (0 = good)
    Command command = Command::Page;
    // A presence or rate probe: it asks whether anyone answers, reads no
    // value, and is not shown in the exchange windows.
    bool probe = false;
    FailureReport report = FailureReport::Line;
    // Which run of a command made it: exchanges of one polling tick share it.
    uint64_t commandRun = 0;
    PortFault fault = PortFault::None;
    // With a fault: its message on one line, the port and the cause in words.
    std::string faultText;
    bool portFailed() const { return fault != PortFault::None; }
};

class ExchangeFeed {
public:
    using Subscriber = std::function<void(const ExchangeRecord&)>;

    // Returns a key for unsubscribe(). Subscribers run in the order they came.
    int subscribe(Subscriber fn) {
        subscribers_.emplace(nextKey_, std::move(fn));
        return nextKey_++;
    }
    void unsubscribe(int key) { subscribers_.erase(key); }
    void publish(const ExchangeRecord& rec) const {
        for (const auto& [key, fn] : subscribers_) fn(rec);
    }

    // The command running now; exchanges made while it runs carry it.
    Command command() const { return command_; }
    // Counts the outermost commands begun so far, and those ended: what runs
    // after a command (an unmarked page command) is not part of it.
    uint64_t commandRun() const { return commandRun_; }
    bool inCommand() const { return inCommand_; }
    // An operator's command that no scope marks (a page's button) begins:
    // from here on the exchanges are another command's.
    void newCommand() {
        if (!inCommand_) ++commandRun_;
    }

    // Marks the exchanges made while it exists as those of one command; an
    // inner command (the activation's query) keeps the outer one's mark.
    class CommandScope {
    public:
        CommandScope(ExchangeFeed& feed, Command c) : feed_(feed), before_(feed.command_), outer_(feed.inCommand_) {
            if (!outer_) {
                feed_.command_ = c;
                ++feed_.commandRun_;
            }
            feed_.inCommand_ = true;
        }
        ~CommandScope() {
            feed_.command_ = before_;
            feed_.inCommand_ = outer_;
            if (!outer_) ++feed_.commandRun_;
        }
        CommandScope(const CommandScope&) = delete;
        CommandScope& operator=(const CommandScope&) = delete;

    private:
        ExchangeFeed& feed_;
        Command before_;
        bool outer_;
    };

private:
    std::map<int, Subscriber> subscribers_;
    int nextKey_ = 1;
    Command command_ = Command::Page;
    bool inCommand_ = false;
    uint64_t commandRun_ = 0;
};

}  // namespace lork
