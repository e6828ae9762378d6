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
std::vector<Assignment> templateAssignments(const std::string& path, const std::optional<std::string>& address) {
    std::string text = readTemplateFile(path);
    // An editor's byte order mark is no part of the JSON.
    if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);
    auto at = [&](size_t pos) { return path + ":" + lineColumn(text, pos) + ": "; };
    std::string error;
    size_t errorPos = 0;
    const auto object = parseFlatObject(text, &error, &errorPos);
    if (!object) throw Exit{ST_USAGE, at(errorPos) + "не JSON-объект шаблона: " + error};
    std::vector<Assignment> out;
    for (const auto& [key, value] : *object) {
        // --address numbers the instrument: it wins over the template's.
        if (key == "address" && address) continue;
        if (!value.isText && value.text.find_first_of(".eE") != std::string::npos)
            throw Exit{ST_USAGE, at(value.pos) + key + ": не целое число"};
        try {
            out.push_back(parseAssignments({key + "=" + value.text}, true).front());
        } catch (const Exit& e) {
            throw Exit{e.status, at(value.pos) + e.text};
        }
    }
    if (address) out.push_back(parseAssignments({"address=" + *address}, true).front());
    return out;
}

// Every setting as the state holds it; baud as its rate.
std::string settingsJson(const lork::State& st) {
    JsonObject j;
    for (const auto* list : {&interfaceSettings(), &paramSettings()})
        for (const auto& set : *list) {
            const long v = currentValue(set, st);
            if (set.reg == lork::reg::scor_code)
                j.add(set.key, long(v >= 1 && v <= 6 ? lork::scor_table[size_t(v)] : 0));
            else
                j.add(set.key, v);
        }
    return j.str();
}

std::string utcNow() {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    gmtime_r(&now, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return buf;
}

}  // namespace

int cmdApply(const Options& o) {
    allowOnly(o, {"record", "connect-address", "strict", "json", "force"});
    if (o.words.size() != 1) throw Exit{ST_USAGE, "apply: нужен один файл шаблона"};
    // The line first: a port that can name none ends the command before any file is read.
    Session s(o, "connect-address");
    const auto wanted = templateAssignments(o.words[0], o.value("address"));

    // The record is opened before the port: nothing is changed that could not be recorded.
    std::optional<RecordFile> record;
    if (auto r = o.value("record")) record.emplace(*r);
    // Ctrl-C stops before the next write and the run is recorded as
    // interrupted: a bench must know which instruments were left half-done.
    catchInterrupt();
    auto stopIfAsked = [] {
        if (interrupted()) throw Exit{ST_REFUSED, "прервано"};
    };
    const std::string time = utcNow();
    std::string before = "null", after = "null", written;
    Identity id;
    auto recordLine = [&](const std::string& verdict) {
        JsonObject rec;
        rec.add("time", time).add("port", s.ls().port_name);
        rec.add("name", id.name).add("version", id.version).add("adr", long(s.ls().adr));
        rec.addJson("before", before).addJson("after", after).add("written", written).add("verdict", verdict);
        return rec.str();
    };
    // What the record says should the signal end the run where it waits.
    auto ifCutShort = [&](const std::string& verdict) {
        if (record) setInterruptedRecord(record->fd(), recordLine(verdict) + "\n");
    };
    int status = ST_OK;
    std::string verdict = "ok";
    try {
        ifCutShort("прервано");
        s.openLine();
        id = readIdentity(s);
        readParams(s);
        readInterface(s);
        before = settingsJson(s.st());
        ifCutShort("прервано");
        std::vector<Assignment> differing;
        for (const auto* list : {&paramSettings(), &interfaceSettings()})
            for (const auto& set : *list)
                for (const auto& [w, v] : wanted)
                    if (w == &set && currentValue(set, s.st()) != v) differing.emplace_back(w, v);
        checkRules(s.st(), differing, o.has("force") && !o.has("strict"));
        for (const auto& [set, v] : orderedWrites(s.st(), differing)) {
            stopIfAsked();
            ifCutShort(std::string("прервано во время записи ") + set->key + ": прибор мог её принять");
            writeSetting(s, *set, v);
            written += std::string(written.empty() ? "" : " ") + set->key;
            ifCutShort("прервано");
        }
        stopIfAsked();
        readParams(s);
        readInterface(s);
        after = settingsJson(s.st());
        verify(s, wanted);
    } catch (const Exit& e) {
        status = e.status;
        verdict = e.text;
    }
    // A Ctrl-C that came while the last reads ran still marks the run.
    if (interrupted() && verdict.rfind("прервано", 0) != 0)
        verdict = status == ST_OK ? "прервано" : "прервано: " + verdict;
    const std::string line = recordLine(verdict);
    std::string recordFailure;
    if (record) {
        SignalsHeld held;
        recordFailure = record->appendAndClose(line + "\n");
        setInterruptedRecord(-1, {});
    }
    if (o.has("json"))
        std::printf("%s\n", line.c_str());
    else if (status == ST_OK)
        std::printf("%s %s: адрес %u, записано: %s; проверено\n", id.name.c_str(), id.version.c_str(),
                    unsigned(s.ls().adr), written.empty() ? "ничего" : written.c_str());
    std::fflush(stdout);
    if (!recordFailure.empty()) {
        if (status != ST_OK) std::fprintf(stderr, "lorkctl: %s\n", verdict.c_str());
        throw Exit{ST_RECORD, "--record " + record->path() + ": итог не записан: " + recordFailure};
    }
    // Then the interrupt takes its course, so a shell loop around us stops too.
    if (interrupted()) raiseInterrupt();
    if (status != ST_OK) throw Exit{status, verdict};
    return ST_OK;
}

}  // namespace lorkctl
