#pragma once
// The instrument's register map as the program uses it, and the Modbus
// function codes it sends. Every address and code is named here once; a
// register is 16 bits, sent high byte first.
#include <cstdint>

namespace lork::reg {

// Function codes (libmodbus's names).
inline constexpr uint8_t ReadCoils = 1;                // key and LED flags, one bit each
inline constexpr uint8_t ReadDiscreteInputs = 2;       // front switches, one bit each
inline constexpr uint8_t ReadHoldingRegisters = 3;     // settings and parameters, 16 bits each
inline constexpr uint8_t ReadInputRegisters = 4;       // measurements and texts, 16 bits each
inline constexpr uint8_t WriteMultipleRegisters = 16;  // the only write sent, also for one register
// Added to the function code in an exception reply.
inline constexpr uint8_t exceptionBit = 0x80;

// Holding registers: the interface (function 3, written with 16).
inline constexpr uint16_t adr = 0x0800;        // instrument address 1..247, low byte
inline constexpr uint16_t scor_code = 0x0801;  // baud code 1..6, low byte
inline constexpr uint16_t parity = 0x0802;     // parity code 0..2, low byte
inline constexpr uint16_t stopbit = 0x0803;    // stop bits 1 or 2, low byte
inline constexpr uint16_t interfaceCount = 4;  // adr .. stopbit

// Holding registers: calibration, pulses, unsigned 32 bits in two registers, high word first.
inline constexpr uint16_t cal0 = 0x0900;         // 0 % point, high word
inline constexpr uint16_t cal0Low = 0x0901;      // 0 % point, low word
inline constexpr uint16_t cal100 = 0x0902;       // 100 % point, high word
inline constexpr uint16_t cal100Low = 0x0903;    // 100 % point, low word
inline constexpr uint16_t calibrationCount = 4;  // cal0 .. cal100Low

// Holding registers: parameters, each its low byte unless said otherwise.
inline constexpr uint16_t res = 0x0A00;          // R, resistance of one step, ohm
inline constexpr uint16_t kol_step = 0x0A01;     // N, number of steps
inline constexpr uint16_t por_step = 0x0A02;     // U, step threshold
inline constexpr uint16_t light = 0x0A03;        // indicator brightness 0..2
inline constexpr uint16_t cal_enable = 0x0A04;   // calibration from the PC allowed, 0/1
inline constexpr uint16_t v_ind = 0x0A05;        // indication view: 1 %, 2 TE, 3 step
inline constexpr uint16_t sum_res = 0x0A06;      // whole chain, ohm, the whole 16 bits (read only)
inline constexpr uint16_t proc_dopusk = 0x0A07;  // tolerance, % (read only)
inline constexpr uint16_t paramsCount = 8;       // res .. proc_dopusk

// Input registers: the measurement block (function 4).
inline constexpr uint16_t step = 0x0010;          // current step, 0 = none, low byte
inline constexpr uint16_t izm_proc = 0x0011;      // resistance, %, float, low word, bytes swapped
inline constexpr uint16_t izm_procHigh = 0x0012;  // resistance, %, float, high word, bytes swapped
inline constexpr uint16_t izm_znach = 0x0013;     // resistance, TE, float, low word, bytes swapped
inline constexpr uint16_t izm_znachHigh = 0x0014; // resistance, TE, float, high word, bytes swapped
inline constexpr uint16_t izm_imp = 0x0015;       // pulses measured, unsigned 32 bits, high word
inline constexpr uint16_t izm_impLow = 0x0016;    // pulses measured, low word
inline constexpr uint16_t proc = 0x0017;          // a value in %, float, high word
inline constexpr uint16_t procLow = 0x0018;       // a value in %, float, low word
inline constexpr uint16_t te = 0x0019;            // a value in TE, float, high word
inline constexpr uint16_t teLow = 0x001A;         // a value in TE, float, low word
inline constexpr uint16_t procw = 0x001B;         // %, tenths, 16 bits
inline constexpr uint16_t tew = 0x001C;           // resistance, TE, tenths, 16 bits
inline constexpr uint16_t izmCount = 13;          // step .. tew

// Input registers: texts, two Windows-1251 characters a register, high byte first.
inline constexpr uint16_t name = 0x0200;         // instrument's name, 6 characters
inline constexpr uint16_t nameCount = 3;       // registers of the name
inline constexpr uint16_t version = 0x020A;      // software version, 10 characters
inline constexpr uint16_t versionCount = 5;    // registers of the version
inline constexpr uint16_t ciText = 0x0214;      // the indicator's four positions, 8 characters
inline constexpr uint16_t ciTextLast = 0x0217;  // last register of any text
inline constexpr uint16_t ci_flag = 0x0218;      // indicator colour flag, low byte
inline constexpr uint16_t ciCount = 5;           // ciText .. ci_flag, read together

// Coils (function 1): bit numbers, 1 = on, lit or blinking.
inline constexpr uint16_t kluch_K1 = 0;   // output key K1
inline constexpr uint16_t kluch_K2 = 1;   // output key K2
inline constexpr uint16_t svd_I = 2;      // LED I
inline constexpr uint16_t svd_K2 = 3;     // LED K2
inline constexpr uint16_t svd_K1 = 4;     // LED K1
inline constexpr uint16_t svd_P = 5;      // LED P
inline constexpr uint16_t svd_I_mig = 6;  // LED I blinking
inline constexpr uint16_t svd_P_mig = 7;  // LED P blinking
inline constexpr uint16_t coilCount = 8;  // kluch_K1 .. svd_P_mig

// Discrete inputs (function 2): bit numbers, 0 = the switch is on.
inline constexpr uint16_t sw_PR = 0;       // switch PR
inline constexpr uint16_t sw_ST = 1;       // switch ST
inline constexpr uint16_t sw_BL = 2;       // switch BL
inline constexpr uint16_t sw_Z = 3;        // switch Z
inline constexpr uint16_t inputCount = 4;  // sw_PR .. sw_Z

}  // namespace lork::reg
