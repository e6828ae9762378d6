#include "protocol/rtu_frame.h"

#include "platform/crc16.h"
#include "protocol/framing.h"
#include "protocol/registers.h"

namespace lork::rtu {

namespace {

void putWord(std::vector<uint8_t>& f, uint16_t v) {
    f.push_back(uint8_t(v >> 8));
    f.push_back(uint8_t(v & 0xFF));
}

void putCrc(std::vector<uint8_t>& f) {
    const uint16_t c = crc16Modbus(f.data(), f.size());
    f.push_back(uint8_t(c & 0xFF));
    f.push_back(uint8_t(c >> 8));
}

uint16_t wordAt(const std::vector<uint8_t>& f, size_t i) { return uint16_t(f[i] << 8 | f[i + 1]); }

bool bitFunction(uint8_t func) { return func == reg::ReadCoils || func == reg::ReadDiscreteInputs; }

}  // namespace

std::vector<uint8_t> readRequest(uint8_t adr, uint8_t func, uint16_t start, uint16_t count) {
    std::vector<uint8_t> f{adr, func};
    putWord(f, start);
    putWord(f, count);
    putCrc(f);
    return f;
}

std::vector<uint8_t> writeRequest(uint8_t adr, uint16_t start, const std::vector<uint16_t>& values) {
    std::vector<uint8_t> f{adr, reg::WriteMultipleRegisters};
    putWord(f, start);
    putWord(f, uint16_t(values.size()));
    f.push_back(uint8_t(values.size() * 2));
    for (uint16_t v : values) putWord(f, v);
    putCrc(f);
    return f;
}

size_t replyLength(const uint8_t* p, size_t n, uint8_t func) {
    if (n < 2) return 0;
    if (p[1] & reg::exceptionBit) return shortestReply;
    if (func >= reg::ReadCoils && func <= reg::ReadInputRegisters) return n < 3 ? 0 : size_t(5) + p[2];
    return 8;  // writes echo address, function, start and count
}

Check checkReply(const std::vector<uint8_t>& request, const std::vector<uint8_t>& reply, uint8_t gatewayException) {
    const uint8_t func = request[1];
    if (reply.empty()) return {KOD_NO_REPLY, false};
    if (reply[0] != request[0]) return {KOD_ADR, false};
    if (reply.size() < 2) return {KOD_CUT, false};
    const bool exception = reply[1] == uint8_t(func | reg::exceptionBit);
    if (reply[1] != func && !exception) return {KOD_FUNC, false};
    auto crcOk = [&] {
        const size_t n = reply.size();
        return n >= 3 && crc16Modbus(reply.data(), n - 2) == uint16_t(reply[n - 1] << 8 | reply[n - 2]);
    };
    if (exception) {
        if (reply.size() < shortestReply) return {KOD_CUT, false};
        if (reply.size() > shortestReply) return {KOD_ECHO, false};
        if (!crcOk()) return {KOD_CRC, false};
        if (gatewayException != 0 && reply[2] == gatewayException) return {gatewayKod(reply[2]), false};
        // Code 0 would read as success.
        return reply[2] == 0 ? Check{KOD_ECHO, false} : Check{reply[2], true};
    }
    // The same order and the same form as the fixed transactions' checks.
    if (!crcOk()) return {KOD_CRC, false};
    if (!replyFormOk(reply.data(), reply.size(), func, wordAt(request, 4))) return {KOD_ECHO, false};
    if (func == reg::WriteMultipleRegisters && (wordAt(reply, 2) != wordAt(request, 2) || wordAt(reply, 4) != wordAt(request, 4)))
        return {KOD_ECHO, false};
    return {0, false};
}

std::vector<uint16_t> replyValues(const std::vector<uint8_t>& request, const std::vector<uint8_t>& reply) {
    const uint8_t func = request[1];
    const uint16_t count = wordAt(request, 4);
    std::vector<uint16_t> v;
    for (uint16_t i = 0; i < count; ++i)
        v.push_back(bitFunction(func) ? uint16_t(reply[3 + i / 8] >> (i % 8) & 1) : wordAt(reply, 3 + 2 * size_t(i)));
    return v;
}

std::string checkText(const Check& c) {
    if (!c.exception) return Kod_text(c.kod);
    // Codes above 4 share numbers with the results of the fixed transactions.
    return " исключение " + std::to_string(c.kod) + (c.kod <= 4 ? ":" + Kod_text(c.kod) : std::string());
}

}  // namespace lork::rtu
