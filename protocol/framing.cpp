#include "protocol/framing.h"

#include <algorithm>
#include <cstring>

#include "platform/crc16.h"
#include "protocol/registers.h"

namespace lork {

uint16_t CRC16(const uint8_t* frame, uint16_t n) {
    // The original routine works on a 64-byte copy, so it never covers more.
    return crc16Modbus(frame, std::clamp<uint16_t>(n, 1, 64));
}

// Texts of the result codes; the quotes and blanks are part of the texts.
const std::array<std::string, 15> kod_texts{
    "\"ОК: нет ошибок\" ",
    "\"неверная функция \" ",
    " \"недопустимый адрес \"",
    " \"недопустимое значение\"",
    " \"специфическая ошибка\"",
    " слишком длинное сообщение",
    " неверная контрольная сумма ",
    " неверный системный номер",
    " неверный формат ответного сообщения adr|kol",
    " совсем не та функция в ответном сообщении",
    " ошибка таймаута",
    " не дождались ответа",
    " оборвали ",
    " шлюз: нет пути",
    " шлюз: прибор не ответил",
};

uint8_t gatewayKod(uint8_t exception) {
    if (exception == 0x0A) return KOD_GW_PATH;
    if (exception == 0x0B) return KOD_GW_TARGET;
    return 0;
}

namespace {

constexpr unsigned kFrameMax = 63;  // positions 1..63 of a 64-byte buffer

void put16(std::array<uint8_t, 64>& p, unsigned pos, uint16_t v) {
    p[pos] = uint8_t(v >> 8);
    p[pos + 1] = uint8_t(v & 0xFF);
}

// CRC of positions 1..n, stored low byte first at n+1, n+2.
void putCrc(std::array<uint8_t, 64>& p, unsigned n) {
    const uint16_t crc = CRC16(&p[1], uint16_t(n));
    p[n + 1] = uint8_t(crc & 0xFF);
    p[n + 2] = uint8_t(crc >> 8);
}

}  // namespace

void Make_zapros(ExchangeBuffers& ex, uint8_t adr, uint8_t func, uint16_t start, uint16_t kol) {
    auto& p = ex.paket_tuda;
    p[1] = adr;
    p[2] = func;
    put16(p, 3, start);
    put16(p, 5, kol);
    putCrc(p, 6);
    ex.len_tuda = 8;
}

void Make_zapros_write(ExchangeBuffers& ex, uint8_t adr, uint16_t start, uint16_t kol,
                       const std::vector<uint16_t>& values) {
    // 2*kol + 9 bytes must fit positions 1..63; the program never writes more
    // than two registers, so larger counts are cut to what the frame holds.
    constexpr uint16_t kMaxKol = (kFrameMax - 9) / 2;
    kol = std::min(kol, kMaxKol);
    auto& p = ex.paket_tuda;
    p[1] = adr;
    p[2] = reg::WriteMultipleRegisters;
    put16(p, 3, start);
    put16(p, 5, kol);
    p[7] = uint8_t(2 * kol);
    for (unsigned i = 0; i < kol; ++i) put16(p, 8 + 2 * i, i < values.size() ? values[i] : uint16_t(0));
    putCrc(p, 2u * kol + 7);
    ex.len_tuda = uint8_t(2 * kol + 9);
}

int commonChecks(const ExchangeBuffers& ex, uint8_t adr, uint8_t func) {
    const auto& p = ex.paket_suda;
    const unsigned len = ex.len_suda;
    // Nothing received counts as no reply even when the search said otherwise.
    if (ex.rx_status == 2 || len == 0) return KOD_NO_REPLY;
    if (p[1] != adr) return KOD_ADR;
    // A function byte that never arrived is not the function asked for.
    if (len < 2) return KOD_FUNC;
    if (p[2] != func) {
        if (p[2] != uint8_t(reg::exceptionBit + func)) return KOD_FUNC;
        // The exception code is the result as it stands, without a CRC check;
        // but a code that did not arrive, or code 0, would read as success.
        if (len < 3) return KOD_CRC;
        // A gateway's frame is exact: an exception is function and code, no
        // more and no less, or it is no exception the gateway means.
        if (ex.wholeFrame && len != 5) return KOD_ECHO;
        if (p[3] == 0) return KOD_ECHO;
        // The same codes from an instrument on a serial line keep their texts.
        if (ex.gatewayExc != 0 && p[3] == ex.gatewayExc) return gatewayKod(p[3]);
        return p[3];
    }
    // Address and function alone leave no CRC to check; a length the buffer
    // cannot hold cannot be a frame either.
    if (len < 3 || len > kFrameMax) return KOD_CRC;
    const uint16_t crc = CRC16(&p[1], uint16_t(len - 2));
    // No CRC travels through a gateway; the one computed here over its whole
    // frame fails only when the read took part of the frame: a reply longer
    // than the request allows.
    if (crc != uint16_t(p[len] * 256 + p[len - 1])) return ex.wholeFrame ? KOD_ECHO : KOD_CRC;
    return -1;
}

size_t replyDataBytes(uint8_t func, uint16_t kol) {
    if (func == reg::ReadCoils || func == reg::ReadDiscreteInputs) return (size_t(kol) + 7) / 8;
    return size_t(kol) * 2;
}

bool replyFormOk(const uint8_t* f, size_t len, uint8_t func, uint16_t kol) {
    if (func == reg::WriteMultipleRegisters) return len == 8;
    const size_t data = replyDataBytes(func, kol);
    return len >= 3 && f[2] == data && len == 5 + data;
}

std::string Kod_text(uint8_t code) {
    if (code < kod_texts.size()) return kod_texts[code];
    // Exception codes without a text of their own still name the number.
    return " код исключения " + std::to_string(code);
}

std::string hexBytes(const uint8_t* frame1, unsigned len) {
    static const char digits[] = "0123456789ABCDEF";
    len = std::min(len, kFrameMax);
    std::string s;
    s.reserve(len * 3);
    for (unsigned i = 0; i < len; ++i) {
        s += digits[frame1[i] >> 4];
        s += digits[frame1[i] & 0x0F];
        s += ' ';
    }
    return s;
}

std::string Kod_text_dump(const ExchangeBuffers& ex, uint8_t code) {
    std::string s = Kod_text(code);
    if (ex.len_suda == 0) return s;
    return s + " принято: " + hexBytes(&ex.paket_suda[1], ex.len_suda);
}

std::string tudaLine(const ExchangeBuffers& ex) {
    if (ex.len_tuda == 0) return "нет сообщений";
    return hexBytes(&ex.paket_tuda[1], ex.len_tuda);
}

std::string sudaLine(const ExchangeBuffers& ex) {
    if (ex.len_suda == 0) return "нет ответа";
    return hexBytes(&ex.paket_suda[1], ex.len_suda) + " dl=" + std::to_string(ex.len_suda);
}

}  // namespace lork
