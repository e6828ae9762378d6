// read, ping, monitor.
#include <cstdio>
#include <ctime>

#include "cli/commands.h"
#include "cli/interrupt.h"
#include "cli/json.h"
#include "cli/live_state.h"
#include "device/overview.h"
#include "platform/cp1251.h"
#include "platform/port_factory.h"
#include "protocol/value_rules.h"
#include "records/text_fields.h"

namespace lorkctl {

namespace {

std::string localTimeText(const char* format) {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    char buf[64];
    std::strftime(buf, sizeof buf, format, &tm);
    return buf;
}

void addLineJson(JsonObject& j, const lork::LineSettings& ls) {
    j.add("port", ls.port_name)
        .add("adr", long(ls.adr))
        .add("scor", long(ls.scor))
        .add("parity", long(ls.parity))
        .add("stopbit", long(ls.stopbit));
}

}  // namespace

int cmdRead(const Options& o) {
    allowOnly(o, {"json"});
    if (!o.words.empty()) throw Exit{ST_USAGE, "read: лишние слова"};
    Session s(o);
    s.openLine();
    const Identity id = readIdentity(s);
    const std::string ci = readLive(s);
    readCalibration(s);
    const auto& st = s.st();
    const auto& d = st.dev;
    if (o.has("json")) {
        JsonObject j;
        addLineJson(j, st.ls);
        j.add("name", id.name).add("version", id.version);
        addLiveJson(j, st, ci);
        j.add("cal0", long(d.cal0)).add("cal100", long(d.cal100));
        std::printf("%s\n", j.str().c_str());
    } else {
        std::printf("прибор: %s, версия: %s\n", id.name.c_str(), id.version.c_str());
        std::printf("порт %s, адрес %u, скорость %d, паритет %s, стопбит %u\n",
                    lork::portShown(st.ls.port_name).c_str(),
                    unsigned(st.ls.adr), int(st.ls.scor), parityName(st.ls.parity).c_str(), unsigned(st.ls.stopbit));
        std::printf("%s", liveLines(st, ci).c_str());
        std::printf("калибровка: 0 %% = %s, 100 %% = %s; с ПК %s\n", lork::pulsesText(d.cal0).c_str(),
                    lork::pulsesText(d.cal100).c_str(), d.cal_enable ? "разрешена" : "запрещена");
    }
    return ST_OK;
}

int cmdPing(const Options& o) {
    allowOnly(o, {});
    if (!o.words.empty()) throw Exit{ST_USAGE, "ping: лишние слова"};
    Session s(o);
    s.openLine();
    s.require(s.retried([&] { return s.core().dev.Read_adr(); }));
    std::printf("адрес %u ответил на %d\n", unsigned(s.ls().adr), int(s.ls().scor));
    return ST_OK;
}

namespace {

// Every instrument of a list in turn, one line (or JSON object) each per round.
int monitorLine(const Options& o, const std::vector<uint8_t>& adrs, double periodS) {
    Session s(o, "");
    s.openLine();
    catchInterrupt();
    const bool json = o.has("json");
    auto wallMs = [] { return int64_t(std::time(nullptr)) * 1000; };
    lork::Overview overview(s.st(), s.core().link, s.core().feed, wallMs);
    overview.setAddresses(adrs);
    while (!interrupted()) {
        const long t0 = long(s.core().link.clock().nowUs() / 1000);
        for (size_t i = 0; i < adrs.size() && !interrupted(); ++i) {
            const lork::Instrument& ins = overview.poll(i);
            const std::string ci = lork::cp1251ToUtf8(ins.ciText);
            lork::State shown;
            shown.dev = ins.dev;
            if (json) {
                JsonObject j;
                j.add("time", lork::records::isoLocalTime(wallMs(), false)).add("adr", long(ins.adr));
                if (ins.answering) {
                    j.add("name", lork::cp1251ToUtf8(ins.name)).add("version", lork::cp1251ToUtf8(ins.version));
                    addLiveJson(j, shown, ci);
                } else {
                    j.add("code", long(ins.kod_rez)).add("error", ins.failure);
                }
                j.add("failures", long(ins.failures));
                if (ins.lastGoodMs >= 0) j.add("last_good", lork::records::isoLocalTime(ins.lastGoodMs, false));
                std::printf("%s\n", j.str().c_str());
            } else if (ins.answering) {
                std::printf("%s адрес %u %s %s %s\n", localTimeText("%Y-%m-%dT%H:%M:%S").c_str(), unsigned(ins.adr),
                            lork::cp1251ToUtf8(ins.name).c_str(), lork::cp1251ToUtf8(ins.version).c_str(),
                            liveLine(shown, ci).c_str());
            } else {
                std::printf("%s адрес %u нет ответа: %s (сбоев %llu)\n", localTimeText("%Y-%m-%dT%H:%M:%S").c_str(),
                            unsigned(ins.adr), ins.failure.c_str(), static_cast<unsigned long long>(ins.failures));
            }
            std::fflush(stdout);
        }
        const long spent = long(s.core().link.clock().nowUs() / 1000) - t0;
        sleepUnlessInterrupted(long(periodS * 1000) - spent);
    }
    return ST_OK;
}

}  // namespace

int cmdMonitor(const Options& o) {
    allowOnly(o, {"json", "period"});
    if (!o.words.empty()) throw Exit{ST_USAGE, "monitor: лишние слова"};
    double periodS = 0;
    if (auto p = o.value("period")) {
        const auto v = toDecimal(*p, 0.05, 86400);
        if (!v) throw Exit{ST_USAGE, "--period: секунды от 0.05 до 86400"};
        periodS = *v;
    }
    // A list of addresses (a comma or a range in --address) polls each in turn.
    if (auto a = o.value("address"); a && a->find_first_of(",-") != std::string::npos) {
        std::string why;
        const auto adrs = lork::parseAddressList(*a, &why);
        if (!adrs) throw Exit{ST_USAGE, "--address: " + why};
        if (!o.has("period")) {
            lork::LineSettings ls;
            loadSettingsDefaults(ls);
            periodS = ls.time_opros;
        }
        return monitorLine(o, *adrs, periodS);
    }
    Session s(o);
    if (!o.has("period")) periodS = s.ls().time_opros;
    s.openLine();
    catchInterrupt();
    const bool json = o.has("json");
    while (!interrupted()) {
        const long t0 = long(s.core().link.clock().nowUs() / 1000);
        const int64_t wallMs = int64_t(std::time(nullptr)) * 1000;
        const std::string when = localTimeText("%Y-%m-%dT%H:%M:%S");
        uint8_t code = 0;
        std::string failure;
        std::string ci;
        try {
            s.require(s.retried([&] { return s.core().dev.Read_adr(); }));
            ci = readLive(s);
        } catch (const Exit& e) {
            failure = e.text;
            code = s.lastFailure();
        }
        if (!failure.empty()) {
            // A port that went away is set up again for the next tick.
            try {
                s.openLine();
            } catch (const Exit& e) {
                failure += "; " + e.text;
            }
        }
        if (json) {
            JsonObject j;
            // The zone with the time: a log read elsewhere, or after a clock change, stays unambiguous.
            j.add("time", lork::records::isoLocalTime(wallMs, false));
            if (failure.empty())
                addLiveJson(j, s.st(), ci);
            else
                j.add("code", long(code)).add("error", failure);
            std::printf("%s\n", j.str().c_str());
        } else if (failure.empty()) {
            std::printf("%s %s\n", when.c_str(), liveLine(s.st(), ci).c_str());
        } else {
            std::printf("%s нет ответа:%s\n", when.c_str(), failure.c_str());
        }
        std::fflush(stdout);
        const long spent = long(s.core().link.clock().nowUs() / 1000) - t0;
        sleepUnlessInterrupted(long(periodS * 1000) - spent);
    }
    return ST_OK;
}

}  // namespace lorkctl
