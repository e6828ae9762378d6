// raw: any register or bit read with functions 1..4, registers written with 16.
#include <cstdio>

#include "cli/commands.h"
#include "cli/json.h"
#include "cli/port.h"
#include "cli/raw_link.h"
#include "protocol/register_table.h"
#include "protocol/registers.h"

namespace lorkctl {

namespace {

namespace reg = lork::reg;
namespace rtu = lork::rtu;

long wordArg(const std::string& what, const std::string& text, long lo, long hi) {
    const auto v = toNumberOrHex(text, lo, hi);
    if (!v)
        throw Exit{ST_USAGE, "raw: " + what + " — число от " + std::to_string(lo) + " до " + std::to_string(hi) +
                                 " (десятичное или 0x...), а не '" + text + "'"};
    return *v;
}

// A start given by a register's name ("res", "R") is that register's address.
long startArg(const std::string& text, lork::reg::Space space) {
    const reg::Register* r = reg::registerNamed(text);
    if (!r) return wordArg("начало", text, 0, 0xFFFF);
    if (r->space != space)
        throw Exit{ST_USAGE, "raw: регистр " + text + " читается функцией " + std::to_string(r->readFunction())};
    return r->address;
}

std::string hex4(long v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%04lX", v);
    return buf;
}

RawResult runRaw(Session& s, const std::vector<uint8_t>& request) {
    s.openLine();
    lork::FrameExchange fx(s.port(), s.clock());
    const RawResult r = rawExchange(s, fx, request);
    if (r.error != 0) throw Exit{ST_PORT, "порт " + s.ls().port_name + ": " + portCause(s.port(), s.ls().port_name, r.error)};
    if (!r.check.ok()) throw Exit{ST_REFUSED, rtu::checkText(r.check)};
    return r;
}

int rawRead(const Options& o) {
    // "raw read ИМЯ": the register's own function, address and width.
    const reg::Register* named = o.words.size() == 2 ? reg::registerNamed(o.words[1]) : nullptr;
    if (o.words.size() != 4 && !named)
        throw Exit{ST_USAGE, o.words.size() == 2 ? "raw: регистра " + o.words[1] + " нет (имена — в lorkctl raw --help)"
                                                 : "raw read ФУНКЦИЯ НАЧАЛО КОЛИЧЕСТВО или raw read ИМЯ"};
    const auto func = named ? named->readFunction()
                            : uint8_t(wordArg("функция", o.words[1], reg::ReadCoils, reg::ReadInputRegisters));
    const long start = named ? named->address : startArg(o.words[2], *reg::spaceOfFunction(func));
    const bool bits = func == reg::ReadCoils || func == reg::ReadDiscreteInputs;
    const long count =
        named ? named->width : wordArg("количество", o.words[3], 1, bits ? rtu::maxReadBits : rtu::maxReadRegisters);
    if (start + count > 0x10000) throw Exit{ST_USAGE, "raw: начало + количество больше 65536"};
    Session s(o);
    const auto request = rtu::readRequest(s.ls().adr, func, uint16_t(start), uint16_t(count));
    const auto values = rtu::replyValues(request, runRaw(s, request).reply);
    if (o.has("json")) {
        std::string out = "[";
        for (size_t i = 0; i < values.size(); ++i)
            out += (i ? ", " : "") + JsonObject()
                                         .add("address", start + long(i))
                                         .add("value", long(values[i]))
                                         .add("hex", hex4(values[i]))
                                         .str();
        std::printf("%s]\n", out.c_str());
    } else {
        for (size_t i = 0; i < values.size(); ++i)
            std::printf("%s %5u %s\n", hex4(start + long(i)).c_str(), unsigned(values[i]), hex4(values[i]).c_str());
        if (named && values.size() >= named->width)
            std::printf("%s=%s\n", std::string(named->shownName()).c_str(), reg::valueText(*named, values).c_str());
    }
    return ST_OK;
}

int rawWrite(const Options& o) {
    if (o.words.size() < 3) throw Exit{ST_USAGE, "raw write НАЧАЛО ЗНАЧЕНИЕ..."};
    const long start = startArg(o.words[1], reg::Space::Holding);
    std::vector<uint16_t> values;
    for (size_t i = 2; i < o.words.size(); ++i) values.push_back(uint16_t(wordArg("значение", o.words[i], 0, 0xFFFF)));
    if (values.size() > rtu::maxWriteRegisters)
        throw Exit{ST_USAGE, "raw: не больше " + std::to_string(rtu::maxWriteRegisters) + " регистров за раз"};
    if (start + long(values.size()) > 0x10000) throw Exit{ST_USAGE, "raw: начало + количество больше 65536"};
    // A register of one's choosing may be the address or the rate: the
    // instrument could drop off the line.
    if (!o.has("yes")) throw Exit{ST_USAGE, "raw write пишет в прибор только с --yes"};
    Session s(o);
    runRaw(s, rtu::writeRequest(s.ls().adr, uint16_t(start), values));
    std::printf("записано %zu с %s\n", values.size(), hex4(start).c_str());
    return ST_OK;
}

}  // namespace

int cmdRaw(const Options& o) {
    allowOnly(o, {"json", "yes"});
    if (!o.words.empty() && o.words[0] == "read") return rawRead(o);
    if (!o.words.empty() && o.words[0] == "write") return rawWrite(o);
    throw Exit{ST_USAGE, "raw read ... или raw write ... (lorkctl raw --help)"};
}

}  // namespace lorkctl
