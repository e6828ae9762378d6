// apply FILE: batch configuration from a JSON template, with a record per instrument.
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>

#include "cli/commands.h"
#include "cli/interrupt.h"
#include "cli/json.h"
#include "cli/live_state.h"
#include "cli/writes.h"
#include "platform/error_words.h"
#include "protocol/registers.h"

namespace lorkctl {

namespace {

std::vector<std::string> template_words(const std::string& path) {
    std::ifstream in(path);
    if (!in) throw Exit{ST_USAGE, "шаблон " + lork::File_error(path, errno)};
    std::stringstream text;
    text << in.rdbuf();
    std::string error;
    const auto object = parse_flat_object(text.str(), &error);
    if (!object) throw Exit{ST_USAGE, path + ": не JSON-объект шаблона: " + error};
    std::vector<std::string> words;
    for (const auto& [key, value] : *object) {
        std::string v;
        if (value.is_text) {
            v = value.text;
        } else {
            const double d = value.number;
            if (d != std::floor(d) || std::fabs(d) > 1e9) throw Exit{ST_USAGE, path + ": " + key + ": не целое число"};
            v = std::to_string(long(d));
        }
        words.push_back(key + "=" + v);
    }
    return words;
}

// Every setting as the state holds it; baud as its rate.
std::string settings_json(const lork::State& st) {
    JsonObject j;
    for (const auto* list : {&interface_settings(), &param_settings()})
        for (const auto& set : *list) {
            const long v = current_value(set, st);
            if (set.reg == lork::reg::scor_code)
                j.add(set.key, long(v >= 1 && v <= 6 ? lork::scor_table[size_t(v)] : 0));
            else
                j.add(set.key, v);
        }
    return j.str();
}

std::string utc_now() {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    gmtime_r(&now, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return buf;
}

}  // namespace

int cmd_apply(const Options& o) {
    allow_only(o, {"record", "connect-address", "strict", "json"});
    if (o.words.size() != 1) throw Exit{ST_USAGE, "apply: нужен один файл шаблона"};
    std::vector<std::string> words = template_words(o.words[0]);
    // --address numbers the instrument: it wins over the template's.
    if (auto a = o.value("address")) {
        std::erase_if(words, [](const std::string& w) { return w.rfind("address=", 0) == 0; });
        words.push_back("address=" + *a);
    }
    const auto wanted = parse_assignments(words, true);

    // The record is opened first: nothing is changed that could not be recorded.
    std::FILE* record = nullptr;
    if (auto r = o.value("record")) {
        record = std::fopen(r->c_str(), "a");
        if (!record) throw Exit{ST_USAGE, "запись " + lork::File_error(*r, errno)};
    }
    Session s(o, "connect-address");
    // Ctrl-C stops before the next write and the run is recorded as
    // interrupted: a bench must know which instruments were left half-done.
    catch_interrupt();
    auto stop_if_asked = [] {
        if (interrupted()) throw Exit{ST_REFUSED, "прервано"};
    };
    JsonObject rec;
    rec.add("time", utc_now()).add("port", s.ls().port_name);
    int status = ST_OK;
    std::string verdict = "ok", before = "null", after = "null", written;
    Identity id;
    try {
        s.open_line();
        id = read_identity(s);
        read_params(s);
        read_interface(s);
        before = settings_json(s.st());
        check_rules(s.st(), wanted, o.has("strict"));
        for (const auto* list : {&param_settings(), &interface_settings()})
            for (const auto& set : *list)
                for (const auto& [w, v] : wanted)
                    if (w == &set && current_value(set, s.st()) != v) {
                        stop_if_asked();
                        write_setting(s, set, v);
                        written += std::string(written.empty() ? "" : " ") + set.key;
                    }
        stop_if_asked();
        read_params(s);
        read_interface(s);
        after = settings_json(s.st());
        verify(s, wanted);
    } catch (const Exit& e) {
        status = e.status;
        verdict = e.text;
    }
    rec.add("name", id.name).add("version", id.version).add("adr", long(s.ls().adr));
    rec.add_json("before", before).add_json("after", after).add("written", written).add("verdict", verdict);
    if (record) {
        const std::string line = rec.str() + "\n";
        const bool ok = std::fputs(line.c_str(), record) >= 0;
        if (std::fclose(record) != 0 || !ok) std::fprintf(stderr, "lorkctl: запись в --record не удалась\n");
    }
    if (o.has("json"))
        std::printf("%s\n", rec.str().c_str());
    else if (status == ST_OK)
        std::printf("%s %s: адрес %u, записано: %s; проверено\n", id.name.c_str(), id.version.c_str(),
                    unsigned(s.ls().adr), written.empty() ? "ничего" : written.c_str());
    std::fflush(stdout);
    // Then the interrupt takes its course, so a shell loop around us stops too.
    if (interrupted()) raise_interrupt();
    if (status != ST_OK) throw Exit{status, verdict};
    return ST_OK;
}

}  // namespace lorkctl
