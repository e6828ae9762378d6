// search: the sweep over addresses, at one rate, at given rates, or at all six.
#include <unistd.h>

#include <cstdio>
#include <sstream>

#include "cli/commands.h"
#include "cli/fast_search.h"
#include "cli/interrupt.h"
#include "cli/json.h"
#include "cli/session.h"
#include "device/address_sweep.h"

namespace lorkctl {

namespace {

struct Found {
    int address;
    int32_t rate;
};

std::vector<int> parseRates(const Options& o, int currentCode) {
    const auto v = o.value("rates");
    if (!v) return {currentCode};
    if (*v == "all") return {};  // all six: the rate search of each address
    std::vector<int> codes;
    std::stringstream in(*v);
    std::string item;
    while (std::getline(in, item, ',')) {
        const auto code = rateCode(item);
        if (!code) throw Exit{ST_USAGE, "--rates: all или скорости через запятую из 4800, 9600, 19200, 38400, 57600, 115200"};
        codes.push_back(*code);
    }
    if (codes.empty()) throw Exit{ST_USAGE, "--rates: пустой список"};
    return codes;
}

int searchFast(Options o, int from, int to) {
    FastPlan plan;
    plan.from = from;
    plan.to = to;
    // "all" is for the sweep; the session takes the line without it.
    const bool allParity = o.value("parity") == "all", allStop = o.value("stopbits") == "all";
    if (allParity) o.values.erase("parity");
    if (allStop) o.values.erase("stopbits");
    Session s(o);
    plan.codes = parseRates(o, s.ls().scor_code);
    if (plan.codes.empty()) plan.codes = {1, 2, 3, 4, 5, 6};
    plan.parities = allParity ? std::vector<uint8_t>{0, 1, 2} : std::vector<uint8_t>{s.ls().parity};
    plan.stopbits = allStop ? std::vector<uint8_t>{1, 2} : std::vector<uint8_t>{s.ls().stopbit};
    s.openLine();
    catchInterrupt();
    s.stopProbesOn(interrupted);
    const std::vector<FastFound> found = fastSearch(s, plan);
    if (interrupted()) std::fprintf(stderr, "lorkctl: прервано\n");
    const bool sweep = allParity || allStop;
    if (o.has("json")) {
        std::string out = "[";
        for (const auto& f : found)
            out += (out.size() > 1 ? ", " : "") + JsonObject()
                                                      .add("address", long(f.address))
                                                      .add("rate", long(f.rate))
                                                      .add("parity", parityName(f.parity))
                                                      .add("stopbits", long(f.stopbits))
                                                      .str();
        std::printf("%s]\n", out.c_str());
    } else if (!found.empty()) {
        std::string out;
        for (const auto& f : found) {
            out += (out.empty() ? "" : " ") + std::to_string(f.address) + ":" + std::to_string(f.rate);
            if (sweep) out += ":" + parityName(f.parity) + ":" + std::to_string(f.stopbits);
        }
        std::printf("%s\n", out.c_str());
    }
    if (found.empty()) throw Exit{ST_REFUSED, "никто не ответил"};
    return ST_OK;
}

std::string minutesSeconds(long ms) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02ld:%02ld", ms / 60000, ms / 1000 % 60);
    return buf;
}

}  // namespace

int cmdSearch(const Options& o) {
    allowOnly(o, {"rates", "from", "to", "json", "fast"});
    if (!o.words.empty()) throw Exit{ST_USAGE, "search: лишние слова"};
    const int from = int(o.number("from", 1, 247).value_or(1));
    const int to = int(o.number("to", 1, 247).value_or(247));
    if (from > to) throw Exit{ST_USAGE, "--from больше --to"};
    if (o.has("fast")) return searchFast(o, from, to);
    Session s(o);
    const std::vector<int> codes = parseRates(o, s.ls().scor_code);
    s.openLine();
    catchInterrupt();
    s.stopProbesOn(interrupted);

    auto& clock = s.core().link.clock();
    const bool tty = isatty(STDERR_FILENO);
    std::string rates = codes.empty() ? "все" : "";
    for (int c : codes) rates += (rates.empty() ? "" : ",") + std::to_string(lork::scor_table[size_t(c)]);
    const int64_t t0 = clock.nowUs();
    std::vector<Found> found;
    int last = from - 1;
    lork::SweepPlan plan;
    plan.from = from;
    plan.to = to;
    plan.codes = codes;
    plan.allRates = codes.empty();
    lork::SweepSteps steps;
    steps.asking = [&](int a) {
        const long elapsed = long((clock.nowUs() - t0) / 1000);
        const long left = a == from ? 0 : elapsed * (to - a + 1) / (a - from);
        std::fprintf(stderr, "%sадрес %d, скорость %s, прошло %s, осталось ~%s%s", tty ? "\r" : "", a, rates.c_str(),
                     minutesSeconds(elapsed).c_str(), minutesSeconds(left).c_str(), tty ? "   " : "\n");
    };
    steps.done = [&](int a, uint8_t code) {
        if (code != 0) found.push_back({a, lork::scor_table[code]});
        last = a;
        return !interrupted();
    };
    try {
        if (!interrupted()) lork::sweepAddresses(s.core(), plan, steps);
    } catch (const lork::ProbeAborted&) {
        // Ctrl-C: the address in progress is not done
    }
    if (tty) std::fputc('\n', stderr);
    if (interrupted()) std::fprintf(stderr, "lorkctl: прервано после адреса %d\n", last);

    if (o.has("json")) {
        std::string out = "[";
        for (const auto& f : found)
            out += (out.size() > 1 ? ", " : "") +
                   JsonObject().add("address", long(f.address)).add("rate", long(f.rate)).str();
        std::printf("%s]\n", out.c_str());
    } else if (!found.empty()) {
        std::string out;
        for (const auto& f : found) out += (out.empty() ? "" : " ") + std::to_string(f.address) + ":" + std::to_string(f.rate);
        std::printf("%s\n", out.c_str());
    }
    if (found.empty()) throw Exit{ST_REFUSED, "никто не ответил"};
    return ST_OK;
}

}  // namespace lorkctl
