#pragma once
// The command line of lorkctl: one command, its words, and options that may
// stand anywhere (--name VALUE or --name=VALUE).
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace lorkctl {

// Exit statuses a shell tests.
enum Status : int {
    ST_OK = 0,       // done
    ST_REFUSED = 1,  // the instrument refused, did not answer, or read back otherwise
    ST_USAGE = 2,    // bad command line or value; nothing was sent
    ST_PORT = 3,     // the port could not be used
    ST_IMPLAUSIBLE = 4,  // calibrate: the value failed the plausibility checks; set, apply: the
                         // values break the parameters page's rules; nothing was written
    ST_RECORD = 5,   // apply: the --record file could not be opened or written
};

// Ends the command: its status and, when not empty, the text for standard error.
struct Exit {
    int status;
    std::string text;
};

struct Options {
    std::string command;
    std::vector<std::string> words;              // after the command
    std::map<std::string, std::string> values;   // options with a value, by name without "--"
    std::set<std::string> flags;                 // options without one

    bool has(const std::string& name) const { return values.count(name) || flags.count(name); }
    std::optional<std::string> value(const std::string& name) const;
    // The option as a whole number in lo..hi; throws Exit(ST_USAGE) otherwise.
    std::optional<long> number(const std::string& name, long lo, long hi) const;
};

// Throws Exit(ST_USAGE) for an unknown option or one without its value.
Options parseOptions(int argc, char** argv);

// Throws Exit(ST_USAGE) when an option is given that the command does not take.
void allowOnly(const Options& o, const std::set<std::string>& extra);

// Every number lorkctl takes from outside (command line, template) is read
// strictly: decimal digits only (or "0x" and hexadecimal digits where hex is
// taken), the whole text, no sign or blank, within lo..hi (lo >= 0);
// nullopt otherwise.
std::optional<long> toNumber(const std::string& text, long lo, long hi);
std::optional<long> toNumberOrHex(const std::string& text, long lo, long hi);
// Digits with an optional fraction after a point ("0.5"), within lo..hi.
std::optional<double> toDecimal(const std::string& text, double lo, double hi);

// Baud rate of the six the instrument knows -> its code 1..6; nullopt otherwise.
std::optional<int> rateCode(const std::string& text);
// none|even|odd or 0|1|2 -> parity code.
std::optional<int> parityCode(const std::string& text);

}  // namespace lorkctl
