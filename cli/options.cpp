#include "cli/options.h"

#include <cmath>
#include <string_view>

#include "device/device.h"

namespace lorkctl {

namespace {

// Options that take a value; every other known option is a flag.
const std::set<std::string> withValue{"port",  "baud",   "parity", "stopbits", "address",        "rates",
                                       "from",  "to",     "period", "record",   "connect-address",
                                       "timeout", "retries",
                                       "gap", "reply-timeout", "pcap", "csv", "frames", "duration"};
const std::set<std::string> flagsKnown{"json", "strict", "yes", "help", "fast", "force"};
// Every command takes the line options.
const std::set<std::string> lineOptions{"port", "baud", "parity", "stopbits", "address", "help", "timeout", "retries"};

Exit usage(const std::string& text) { return {ST_USAGE, text + " (lorkctl --help)"}; }

}  // namespace

namespace {
// Digits of base 10 or 16 only, the whole text, within lo..hi: no sign, no
// blank, no second prefix, no overflow.
std::optional<long> digitsValue(std::string_view digits, int base, long lo, long hi) {
    if (digits.empty()) return std::nullopt;
    long v = 0;
    for (const char c : digits) {
        int d;
        if (c >= '0' && c <= '9') d = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f') d = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F') d = c - 'A' + 10;
        else return std::nullopt;
        if (v > (hi - d) / base || v * base + d > hi) return std::nullopt;  // past hi, never overflowing
        v = v * base + d;
    }
    if (v < lo) return std::nullopt;
    return v;
}
}  // namespace

std::optional<long> toNumber(const std::string& text, long lo, long hi) { return digitsValue(text, 10, lo, hi); }

std::optional<long> toNumberOrHex(const std::string& text, long lo, long hi) {
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        return digitsValue(std::string_view(text).substr(2), 16, lo, hi);
    return toNumber(text, lo, hi);
}

std::optional<double> toDecimal(const std::string& text, double lo, double hi) {
    const size_t dot = text.find('.');
    const std::string whole = text.substr(0, dot);
    const std::string fraction = dot == std::string::npos ? "0" : text.substr(dot + 1);
    // Each part through the one strict reading; nine digits are plenty.
    if (whole.size() > 9 || fraction.size() > 9) return std::nullopt;
    const auto w = toNumber(whole, 0, 999999999), f = toNumber(fraction, 0, 999999999);
    if (!w || !f) return std::nullopt;
    const double v = double(*w) + double(*f) / std::pow(10.0, double(fraction.size()));
    if (!(v >= lo && v <= hi)) return std::nullopt;
    return v;
}

std::optional<int> rateCode(const std::string& text) {
    const auto v = toNumber(text, 1, 1000000);
    if (!v) return std::nullopt;
    const int code = lork::Scor_to_code(int32_t(*v));
    if (code == 0) return std::nullopt;
    return code;
}

std::optional<int> parityCode(const std::string& text) {
    if (text == "none" || text == "0") return 0;
    if (text == "even" || text == "1") return 1;
    if (text == "odd" || text == "2") return 2;
    return std::nullopt;
}

std::optional<std::string> Options::value(const std::string& name) const {
    auto it = values.find(name);
    if (it == values.end()) return std::nullopt;
    return it->second;
}

std::optional<long> Options::number(const std::string& name, long lo, long hi) const {
    const auto v = value(name);
    if (!v) return std::nullopt;
    const auto n = toNumber(*v, lo, hi);
    if (!n)
        throw usage("--" + name + ": нужно целое число от " + std::to_string(lo) + " до " + std::to_string(hi) +
                    ", а не '" + *v + "'");
    return n;
}

Options parseOptions(int argc, char** argv) {
    Options o;
    bool wordsOnly = false;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (!wordsOnly && a == "--") {
            wordsOnly = true;
            continue;
        }
        if (!wordsOnly && a.size() > 2 && a.compare(0, 2, "--") == 0) {
            std::string name = a.substr(2), val;
            bool inlineValue = false;
            if (auto eq = name.find('='); eq != std::string::npos) {
                val = name.substr(eq + 1);
                name.resize(eq);
                inlineValue = true;
            }
            if (withValue.count(name)) {
                if (!inlineValue) {
                    if (i + 1 >= argc) throw usage("--" + name + ": нет значения");
                    val = argv[++i];
                }
                o.values[name] = val;
            } else if (flagsKnown.count(name) && !inlineValue) {
                o.flags.insert(name);
            } else {
                throw usage("неизвестный параметр " + a);
            }
            continue;
        }
        if (a == "-h" && !wordsOnly) {
            o.flags.insert("help");
            continue;
        }
        if (o.command.empty())
            o.command = a;
        else
            o.words.push_back(a);
    }
    return o;
}

void allowOnly(const Options& o, const std::set<std::string>& extra) {
    auto check = [&](const std::string& name) {
        if (!lineOptions.count(name) && !extra.count(name))
            throw usage("команда " + o.command + " не принимает --" + name);
    };
    for (const auto& [name, v] : o.values) check(name);
    for (const auto& name : o.flags) check(name);
}

}  // namespace lorkctl
