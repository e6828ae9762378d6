// apply FILE: batch configuration from a JSON template, with a record per instrument.
#include <cstdio>
#include <ctime>
#include <optional>

#include "cli/commands.h"
#include "cli/files.h"
#include "cli/interrupt.h"
#include "cli/json.h"
#include "cli/live_state.h"
#include "cli/writes.h"
#include "protocol/registers.h"

namespace lorkctl {

namespace {

// The template's keys and values as KEY=VALUE words, each checked as the
// command line's are; a fault names the file, line and column.
std::vector<Assignment> template_assignments(const std::string& path, const std::optional<std::string>& address) {
    std::string text = read_template_file(path);
    // An editor's byte order mark is no part of the JSON.
    if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);
    auto at = [&](size_t pos) { return path + ":" + line_column(text, pos) + ": "; };
    std::string error;
    size_t error_pos = 0;
    const auto object = parse_flat_object(text, &error, &error_pos);
    if (!object) throw Exit{ST_USAGE, at(error_pos) + "не JSON-объект шаблона: " + error};
    std::vector<Assignment> out;
    for (const auto& [key, value] : *object) {
        // --address numbers the instrument: it wins over the template's.
        if (key == "address" && address) continue;
        if (!value.is_text && value.text.find_first_of(".eE") != std::string::npos)
            throw Exit{ST_USAGE, at(value.pos) + key + ": не целое число"};
        try {
            out.push_back(parse_assignments({key + "=" + value.text}, true).front());
        } catch (const Exit& e) {
            throw Exit{e.status, at(value.pos) + e.text};
        }
    }
    if (address) out.push_back(parse_assignments({"address=" + *address}, true).front());
    return out;
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
    allow_only(o, {"record", "connect-address", "strict", "json", "force"});
    if (o.words.size() != 1) throw Exit{ST_USAGE, "apply: нужен один файл шаблона"};
    // The line first: a port that can name none ends the command before any file is read.
    Session s(o, "connect-address");
    const auto wanted = template_assignments(o.words[0], o.value("address"));

    // The record is opened before the port: nothing is changed that could not be recorded.
    std::optional<RecordFile> record;
    if (auto r = o.value("record")) record.emplace(*r);
    // Ctrl-C stops before the next write and the run is recorded as
    // interrupted: a bench must know which instruments were left half-done.
    catch_interrupt();
    auto stop_if_asked = [] {
        if (interrupted()) throw Exit{ST_REFUSED, "прервано"};
    };
    const std::string time = utc_now();
    std::string before = "null", after = "null", written;
    Identity id;
    auto record_line = [&](const std::string& verdict) {
        JsonObject rec;
        rec.add("time", time).add("port", s.ls().port_name);
        rec.add("name", id.name).add("version", id.version).add("adr", long(s.ls().adr));
        rec.add_json("before", before).add_json("after", after).add("written", written).add("verdict", verdict);
        return rec.str();
    };
    // What the record says should the signal end the run where it waits.
    auto if_cut_short = [&](const std::string& verdict) {
        if (record) set_interrupted_record(record->fd(), record_line(verdict) + "\n");
    };
    int status = ST_OK;
    std::string verdict = "ok";
    try {
        if_cut_short("прервано");
        s.open_line();
        id = read_identity(s);
        read_params(s);
        read_interface(s);
        before = settings_json(s.st());
        if_cut_short("прервано");
        std::vector<Assignment> differing;
        for (const auto* list : {&param_settings(), &interface_settings()})
            for (const auto& set : *list)
                for (const auto& [w, v] : wanted)
                    if (w == &set && current_value(set, s.st()) != v) differing.emplace_back(w, v);
        check_rules(s.st(), differing, o.has("force") && !o.has("strict"));
        for (const auto& [set, v] : ordered_writes(s.st(), differing)) {
            stop_if_asked();
            if_cut_short(std::string("прервано во время записи ") + set->key + ": прибор мог её принять");
            write_setting(s, *set, v);
            written += std::string(written.empty() ? "" : " ") + set->key;
            if_cut_short("прервано");
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
    // A Ctrl-C that came while the last reads ran still marks the run.
    if (interrupted() && verdict.rfind("прервано", 0) != 0)
        verdict = status == ST_OK ? "прервано" : "прервано: " + verdict;
    const std::string line = record_line(verdict);
    std::string record_failure;
    if (record) {
        SignalsHeld held;
        record_failure = record->append_and_close(line + "\n");
        set_interrupted_record(-1, {});
    }
    if (o.has("json"))
        std::printf("%s\n", line.c_str());
    else if (status == ST_OK)
        std::printf("%s %s: адрес %u, записано: %s; проверено\n", id.name.c_str(), id.version.c_str(),
                    unsigned(s.ls().adr), written.empty() ? "ничего" : written.c_str());
    std::fflush(stdout);
    if (!record_failure.empty()) {
        if (status != ST_OK) std::fprintf(stderr, "lorkctl: %s\n", verdict.c_str());
        throw Exit{ST_RECORD, "--record " + record->path() + ": итог не записан: " + record_failure};
    }
    // Then the interrupt takes its course, so a shell loop around us stops too.
    if (interrupted()) raise_interrupt();
    if (status != ST_OK) throw Exit{status, verdict};
    return ST_OK;
}

}  // namespace lorkctl
