#include "cli/options.h"

#include <cmath>
#include <string_view>

#include "device/device.h"

namespace lorkctl {

namespace {

// Options that take a value; every other known option is a flag.
const std::set<std::string> with_value{"port",  "baud",   "parity", "stopbits", "address",        "rates",
                                       "from",  "to",     "period", "record",   "connect-address",
                                       "timeout", "retries",
                                       "gap", "reply-timeout", "pcap", "csv", "frames", "duration"};
const std::set<std::string> flags_known{"json", "strict", "yes", "help", "fast", "force"};
// Every command takes the line options.
const std::set<std::string> line_options{"port", "baud", "parity", "stopbits", "address", "help", "timeout", "retries"};

Exit usage(const std::string& text) { return {ST_USAGE, text + " (lorkctl --help)"}; }

}  // namespace

namespace {
// Digits of base 10 or 16 only, the whole text, within lo..hi: no sign, no
// blank, no second prefix, no overflow.
std::optional<long> digits_value(std::string_view digits, int base, long lo, long hi) {
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

std::optional<long> to_number(const std::string& text, long lo, long hi) { return digits_value(text, 10, lo, hi); }

std::optional<long> to_number_or_hex(const std::string& text, long lo, long hi) {
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        return digits_value(std::string_view(text).substr(2), 16, lo, hi);
    return to_number(text, lo, hi);
}

std::optional<double> to_decimal(const std::string& text, double lo, double hi) {
    const size_t dot = text.find('.');
    const std::string whole = text.substr(0, dot);
    const std::string fraction = dot == std::string::npos ? "0" : text.substr(dot + 1);
    // Each part through the one strict reading; nine digits are plenty.
    if (whole.size() > 9 || fraction.size() > 9) return std::nullopt;
    const auto w = to_number(whole, 0, 999999999), f = to_number(fraction, 0, 999999999);
    if (!w || !f) return std::nullopt;
    const double v = double(*w) + double(*f) / std::pow(10.0, double(fraction.size()));
    if (!(v >= lo && v <= hi)) return std::nullopt;
    return v;
}

std::optional<int> rate_code(const std::string& text) {
    const auto v = to_number(text, 1, 1000000);
    if (!v) return std::nullopt;
    const int code = lork::Scor_to_code(int32_t(*v));
    if (code == 0) return std::nullopt;
    return code;
}

std::optional<int> parity_code(const std::string& text) {
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
    const auto n = to_number(*v, lo, hi);
    if (!n)
        throw usage("--" + name + ": нужно целое число от " + std::to_string(lo) + " до " + std::to_string(hi) +
                    ", а не '" + *v + "'");
    return n;
}

Options parse_options(int argc, char** argv) {
    Options o;
    bool words_only = false;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (!words_only && a == "--") {
            words_only = true;
            continue;
        }
        if (!words_only && a.size() > 2 && a.compare(0, 2, "--") == 0) {
            std::string name = a.substr(2), val;
            bool inline_value = false;
            if (auto eq = name.find('='); eq != std::string::npos) {
                val = name.substr(eq + 1);
                name.resize(eq);
                inline_value = true;
            }
            if (with_value.count(name)) {
                if (!inline_value) {
                    if (i + 1 >= argc) throw usage("--" + name + ": нет значения");
                    val = argv[++i];
                }
                o.values[name] = val;
            } else if (flags_known.count(name) && !inline_value) {
                o.flags.insert(name);
            } else {
                throw usage("неизвестный параметр " + a);
            }
            continue;
        }
        if (a == "-h" && !words_only) {
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

void allow_only(const Options& o, const std::set<std::string>& extra) {
    auto check = [&](const std::string& name) {
        if (!line_options.count(name) && !extra.count(name))
            throw usage("команда " + o.command + " не принимает --" + name);
    };
    for (const auto& [name, v] : o.values) check(name);
    for (const auto& name : o.flags) check(name);
}

}  // namespace lorkctl
