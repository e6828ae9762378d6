// raw: any register or bit read with functions 1..4, registers written with 16.
#include <cstdio>

#include "cli/commands.h"
#include "cli/json.h"
#include "cli/port.h"
#include "cli/raw_link.h"
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
    if (o.words.size() != 4) throw Exit{ST_USAGE, "raw read ФУНКЦИЯ НАЧАЛО КОЛИЧЕСТВО"};
    const auto func = uint8_t(wordArg("функция", o.words[1], reg::ReadCoils, reg::ReadInputRegisters));
    const long start = wordArg("начало", o.words[2], 0, 0xFFFF);
    const bool bits = func == reg::ReadCoils || func == reg::ReadDiscreteInputs;
    const long count = wordArg("количество", o.words[3], 1, bits ? rtu::maxReadBits : rtu::maxReadRegisters);
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
    }
    return ST_OK;
}

int rawWrite(const Options& o) {
    if (o.words.size() < 3) throw Exit{ST_USAGE, "raw write НАЧАЛО ЗНАЧЕНИЕ..."};
    const long start = wordArg("начало", o.words[1], 0, 0xFFFF);
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
