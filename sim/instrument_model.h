#pragma once
// A Modbus RTU slave that behaves like the ЛОРК instrument: its register map,
// a live measurement derived from a settable resistance, EEPROM-kept values
// and injectable faults. It only turns request frames into reply frames; the
// wire (a FakePort in tests, a pseudo-terminal in lork-sim) is someone else's.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace lork::sim {

// Interface settings, holding registers 0x0800..0x0803.
struct SimLine {
    uint8_t adr = 5;        // slave address 1..247
    uint8_t scor_code = 2;  // baud code 1..6
    uint8_t parity = 0;     // 0 none, 1 even, 2 odd (the program's codes)
    uint8_t stopbit = 1;    // 1 or 2
    int32_t baud() const;   // rate of scor_code, 0 when the code is not 1..6
    bool operator==(const SimLine&) const = default;
};

// Parameters, holding registers 0x0A00..0x0A07, and the calibration points.
struct SimParams {
    uint8_t res = 10;          // R, ohm per step
    uint8_t kol_step = 90;     // N, number of steps (N * R within the instrument's 900 ohm)
    uint8_t por_step = 50;     // U, step threshold for key K1
    uint8_t light = 2;         // indicator brightness 0..2
    uint8_t cal_enable = 0;    // calibration from the PC allowed
    uint8_t v_ind = 1;         // indication view: 1 %, 2 TE, 3 step
    uint8_t proc_dopusk = 10;  // tolerance around a step, % of R
    uint32_t cal0 = 0;         // pulses stored for 0 ohm
    uint32_t cal100 = 0;       // pulses stored for 1000 ohm
};

// What the instrument derives from the resistance it measures.
struct Measurement {
    uint32_t imp = 0;      // pulses counted
    bool calValid = false;
    double proc = 0;       // percent of the 1000 ohm range
    double znach = 0;      // ohm (TE) as calibrated
    uint16_t procw = 0;    // proc in tenths, clamped to 0..65535
    uint16_t tew = 0;      // znach in tenths, clamped
    uint8_t step = 0;      // step number, 0 between steps or off the chain
    unsigned nearStep = 0;  // step at or below the position (k of "k-(k+1)")
    bool outOfRange = false;
};

enum class Fault : uint8_t {
    None,
    Silent,     // no reply at all
    Stray,      // junk bytes before the reply (arg: how many, default 2)
    Late,       // reply starts after the master's first address search
    BadCrc,     // reply with its CRC spoiled
    OtherAdr,   // reply from another address (good CRC)
    OtherFunc,  // reply naming another function (good CRC)
    Truncate,   // reply cut short (arg: bytes kept, default half)
    ByteCount,  // a read reply's byte count replaced (arg, default 250), a write echo without its count; good CRC
    Extra,      // data bytes 0x00 added before the CRC (arg: how many, default 1); good CRC
    LostEcho,   // a write is carried out but its echo never comes (only writes count)
};

// Parses the fault names used on lork-sim's command line ("silent", "stray",
// "late", "badcrc", "otheradr", "otherfunc", "truncate", "bytecount", "extra",
// "lostecho").
std::optional<Fault> faultFromName(const std::string& name);
const char* faultName(Fault f);

enum SwitchId : uint8_t { SW_PR = 0, SW_ST = 1, SW_BL = 2, SW_Z = 3 };

// One reply, as the wire should carry it.
struct Reply {
    std::vector<uint8_t> bytes;  // empty: stay silent
    bool late = false;           // start at lateReplyStartUs() instead of at once
};

class InstrumentModel {
public:
    static constexpr unsigned kAlways = ~0u;
    // The sensor's own pulse counts at 0 and 1000 ohm; a fresh instrument is
    // calibrated to exactly these.
    static constexpr uint32_t kSensorImp0 = 70000;
    static constexpr uint32_t kSensorImp1000 = 270000;

    InstrumentModel();

    // A request as received (address .. CRC). Requests with a bad CRC, for
    // another address, or broadcast (address 0) get no reply; a broadcast
    // write still takes effect. Call commitAfterReply() once the reply, if
    // any, has left the wire.
    Reply handle(const uint8_t* frame, size_t len);
    Reply handle(const std::vector<uint8_t>& frame) { return handle(frame.data(), frame.size()); }
    // Written interface settings take effect only after their echo was sent.
    void commitAfterReply();
    bool hasPendingLine() const { return pendingLine_.has_value(); }

    const SimLine& line() const { return line_; }
    void setLine(const SimLine& l) { line_ = l; pendingLine_.reset(); }
    const SimParams& params() const { return params_; }
    void setParams(const SimParams& p);

    void setResistance(double ohm) { ohm_ = ohm; }
    double resistance() const { return ohm_; }
    void setSwitch(SwitchId s, bool on) { switches_[s] = on; }
    bool switchOn(SwitchId s) const { return switches_[s]; }
    Measurement measure() const;

    // The next `times` replies suffer the fault (kAlways: until cleared).
    void setFault(Fault f, unsigned times = kAlways, int arg = -1);
    Fault fault() const { return faultTimes_ ? fault_ : Fault::None; }
    // The next `times` requests get exception `code` instead of their reply.
    void setException(uint8_t code, unsigned times = 1);

    // The register map, for direct inspection. nullopt: not in the map.
    std::optional<uint16_t> holding(uint16_t reg) const;
    std::optional<uint16_t> input(uint16_t reg) const;
    uint8_t coilByte() const;   // coils 0..7, bit i = coil i
    uint8_t inputByte() const;  // discrete inputs 0..3, bit clear = switch on

    // Calibration, permission and parameters are kept in the state file, when
    // one is set, and rewritten on every change of them.
    void setStateFile(const std::string& path) { stateFile_ = path; }
    bool loadState(std::string* error = nullptr);  // false: file unreadable or malformed
    bool saveState() const;

    unsigned requestsHandled() const { return handled_; }

private:
    std::vector<uint8_t> execute(const uint8_t* f, size_t len, bool broadcast);
    std::vector<uint8_t> readBits(uint8_t func, uint16_t start, uint16_t kol);
    std::vector<uint8_t> readRegs(uint8_t func, uint16_t start, uint16_t kol);
    std::vector<uint8_t> writeRegs(const uint8_t* f, size_t len);
    std::vector<uint8_t> exception(uint8_t func, uint8_t code) const;
    std::vector<uint8_t> frame(std::vector<uint8_t> body) const;
    void applyFault(Reply& r, uint8_t func);

    SimLine line_;
    std::optional<SimLine> pendingLine_;
    SimParams params_;
    double ohm_ = 255.0;
    std::array<bool, 4> switches_{};
    Fault fault_ = Fault::None;
    unsigned faultTimes_ = 0;
    int faultArg_ = -1;
    uint8_t excCode_ = 0;
    unsigned excTimes_ = 0;
    std::string stateFile_;
    unsigned handled_ = 0;
};

// The 8 indicator characters (4 positions, each a character and a '.' or
// blank) for a value shown with up to `decimals` decimals.
std::string indicatorText(double value, int decimals);

}  // namespace lork::sim
