#pragma once
// Modbus RTU framing: CRC, request frames, the common reply checks, result
// texts and the textual forms of an exchange.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "protocol/state.h"

namespace lork {

// Result codes 0..12, and 13..14 for a Modbus TCP gateway that answers for
// an instrument it could not reach: like 11, no reply from the instrument.
enum KodRez : uint8_t {
    KOD_OK = 0,
    // An instrument's exception code is the result unchanged; these are Modbus's own.
    KOD_ILLEGAL_FUNC = 1,
    KOD_ILLEGAL_ADR = 2,  // also a good reply that carries a register outside the map
    KOD_ILLEGAL_VALUE = 3,
    KOD_DEVICE_FAILURE = 4,
    KOD_TOO_LONG = 5,
    KOD_CRC = 6,
    KOD_ADR = 7,
    KOD_ECHO = 8,  // a write echo naming another start or count, or a reply of another form than asked
    KOD_FUNC = 9,
    KOD_TIMEOUT_EXC = 10,
    KOD_NO_REPLY = 11,
    KOD_CUT = 12,
    KOD_GW_PATH = 13,
    KOD_GW_TARGET = 14,
};

extern const std::array<std::string, 15> kod_texts;

// The result code of a gateway's own exception (0x0A, 0x0B), else 0.
uint8_t gatewayKod(uint8_t exception);

// CRC-16/MODBUS of the first n bytes (n is clamped to 1..64, as the routine
// works on a 64-byte copy).
uint16_t CRC16(const uint8_t* frame, uint16_t n);

// Read request (functions 1..4) into ex.paket_tuda, len_tuda := 8.
void Make_zapros(ExchangeBuffers& ex, uint8_t adr, uint8_t func, uint16_t start, uint16_t kol);
// Function-16 request with the first kol values, len_tuda := 2*kol + 9.
void Make_zapros_write(ExchangeBuffers& ex, uint8_t adr, uint16_t start, uint16_t kol,
                       const std::vector<uint16_t>& values);

// The common checks every reply check begins with (steps 1..4).
// Returns the result code, or -1 when the reply passed and the function's own
// part should follow.
int commonChecks(const ExchangeBuffers& ex, uint8_t adr, uint8_t func);

// The data bytes a read reply carries for kol items: two per register
// (functions 3 and 4), one per eight bits (1 and 2).
size_t replyDataBytes(uint8_t func, uint16_t kol);
// Whether a reply has the form its request asks for: to functions 1..4 the
// byte count of kol items and exactly that many data bytes before the CRC, to
// function 16 the 8-byte echo. f is the frame from its address byte, len its
// length. A reply of another form is malformed (KOD_ECHO) even with a good
// CRC: a byte count that disagrees with the request says the frame is not the
// answer to it, and nothing of it may be decoded.
bool replyFormOk(const uint8_t* f, size_t len, uint8_t func, uint16_t kol);

std::string Kod_text(uint8_t code);
std::string Kod_text_dump(const ExchangeBuffers& ex, uint8_t code);

// Bytes 1..len as "%.2X " each (the exchange windows' form).
std::string hexBytes(const uint8_t* frame1, unsigned len);
// The lines Show_tuda_suda puts into LBtuda and LBsuda.
std::string tudaLine(const ExchangeBuffers& ex);
std::string sudaLine(const ExchangeBuffers& ex);

}  // namespace lork
