#pragma once
// Run-time state of the program: line settings, exchange buffers, device state
// and the search's memory. One State is owned by the Core that the main window
// holds; a test builds a fresh one.
#include <array>
#include <cstdint>
#include <string>

#include "platform/base/serial_port.h"

namespace lork {

// Polling periods in seconds, indexed by time_opros_index.
inline constexpr std::array<int32_t, 8> periodTable{1, 2, 5, 10, 30, 60, 120, 300};

// Baud rates by baud code 1..6; code 0 is "no rate".
inline constexpr std::array<int32_t, 7> scor_table{0, 4800, 9600, 19200, 38400, 57600, 115200};

// Per-baud tables by baud code 1..6, ms. Index 0 is not a rate: see tableCode() of the link.
inline constexpr std::array<uint8_t, 7> t_byte{4, 4, 2, 2, 1, 1, 1};
inline constexpr std::array<uint8_t, 7> t_after{10, 10, 5, 3, 2, 1, 1};
inline constexpr std::array<uint8_t, 7> t_before{8, 8, 4, 2, 1, 1, 1};

// The baud code of a rate: 1..6, or 0 for any rate not in scor_table.
inline constexpr uint8_t Scor_to_code(int32_t rate) {
    for (uint8_t c = 1; c < scor_table.size(); ++c)
        if (scor_table[c] == rate) return c;
    return 0;
}

// Parity texts of the main window, by parity code (the first has a trailing blank).
inline constexpr std::array<const char*, 3> parityTexts{"нет ", "чёт", "нечёт"};

// The port's time-outs RIT, RTTM, RTTC, WTTM, WTTC (PortTimeouts), ms: the
// read interval, the read total multiplier per byte and constant, the write
// total multiplier and constant; 30, 5, 225, 0, 0 at the start.
struct LineSettings : PortTimeouts {
    LineSettings() : PortTimeouts{30, 5, 225, 0, 0} {}
    std::string port_name = "COM1";  // serial port name as listed
    uint8_t adr = 5;                 // instrument (slave) address, 1..247
    int32_t scor = 9600;             // baud rate, bit/s
    uint8_t scor_code = 2;           // baud code 1..6, 0 = none of the six
    uint8_t parity = 0;              // parity code 0..2
    uint8_t stopbit = 1;             // stop bits, 1 or 2
    uint8_t bytesize = 8;            // data bits, always 8
    uint8_t time_opros_index = 1;    // index into periodTable
    int32_t time_opros = 2;          // polling period, s
    uint8_t tout_byte = 2;           // byte time-out shown on the time-out page, ms
    uint8_t tout_pause = 5;          // packet pause shown on the time-out page, ms
    bool keepPolling = false;       // periodic polling goes on through failed ticks (operator's choice)
};

// One exchange at a time; frames live in positions 1..len, position 0 unused.
struct ExchangeBuffers {
    std::array<uint8_t, 64> paket_tuda{};  // request frame
    uint8_t len_tuda = 0;                  // request length
    std::array<uint8_t, 64> paket_suda{};  // reply as received
    uint8_t len_suda = 0;                  // reply bytes received, 0 = none
    uint8_t len_wait = 0;                  // bytes asked from the port after the address byte
    uint8_t rx_status = 0;                 // 0 address at once, 1 found late / probe cut short, 2 no reply
    uint8_t zapros_func = 0;               // function code of the current request
    uint16_t zapros_start = 0;             // first register/coil/input of the current request
    uint16_t zapros_kol = 0;               // count of the current request
    uint8_t kod_rez = 0;                   // result code of the last exchange (0..14)
    uint8_t gatewayExc = 0;               // a Modbus TCP gateway's own exception in the reply, 0: none
    bool wholeFrame = false;              // the reply came as one frame from a Modbus TCP gateway: its
                                           // length is exact and its CRC was computed here, not received
};

// The instrument's values as last decoded. Start values: all 0 but res, kol_step, por_step.
struct DeviceState {
    uint32_t cal0 = 0;         // calibration point 0 %, pulses
    uint32_t cal100 = 0;       // calibration point 100 %, pulses
    uint8_t res = 5;           // R, resistance of one step, ohm
    uint8_t kol_step = 99;     // N, number of steps
    uint8_t por_step = 98;     // U, step threshold
    uint8_t light = 0;         // indicator brightness 0..2
    uint8_t cal_enable = 0;    // calibration from the PC allowed
    uint8_t v_ind = 0;         // indication view 1 %, 2 TE, 3 step
    uint16_t sum_res = 0;      // whole chain, ohm (the register whole)
    uint8_t proc_dopusk = 0;   // tolerance, %
    uint8_t step = 0;          // current step, 0 = between steps
    float izm_proc = 0;        // measured resistance, %
    float izm_znach = 0;       // measured resistance, TE
    uint32_t izm_imp = 0;      // pulses measured
    float proc = 0;            // a value in % (hidden field)
    float te = 0;              // a value in TE (hidden field)
    double procw = 0;          // %, one decimal (the register in tenths)
    double tew = 0;            // resistance in TE, one decimal (the register in tenths)
    uint8_t ci_flag = 0;       // indicator colour flag
    uint8_t kluch_K1 = 0, kluch_K2 = 0;                    // coils 0, 1: output keys on
    uint8_t svd_I = 0, svd_K2 = 0, svd_K1 = 0, svd_P = 0;  // coils 2..5: LEDs lit
    uint8_t svd_I_mig = 0, svd_P_mig = 0;                  // coils 6, 7: LEDs blinking
    uint8_t sw_PR = 0, sw_ST = 0, sw_BL = 0, sw_Z = 0;     // inputs 0..3 clear: switches on
    uint16_t reg_value = 0;    // last register value decoded
    std::string reg_text;      // data bytes of the last good function-4 reply, raw Windows-1251 bytes
};

// Per address 1..247: the baud code at which it last answered, 0 = not answered.
// Index 0 is never used; foundScorAt()/setFoundScor() guard every access.
using FoundScor = std::array<uint8_t, 248>;

inline bool adrInTable(unsigned a) { return a >= 1 && a <= 247; }

// An address read back from an instrument may be anything: outside 1..247
// it has no entry, reads as "never answered" and is never stored.
inline uint8_t foundScorAt(const FoundScor& f, unsigned a) { return adrInTable(a) ? f[a] : 0; }
inline void setFoundScor(FoundScor& f, unsigned a, uint8_t code) {
    if (adrInTable(a)) f[a] = code;
}

struct State {
    LineSettings ls;
    ExchangeBuffers ex;
    DeviceState dev;
    FoundScor found_scor{};
};

}  // namespace lork
