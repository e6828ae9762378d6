// The instrument simulator as a Modbus slave: bytes in, bytes out.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "protocol/framing.h"
#include "sim/instrument_model.h"
#include "sim/options.h"
#include "sim/sweep.h"

using namespace lork::sim;
using Bytes = std::vector<uint8_t>;

namespace {

Bytes withCrc(Bytes b) {
    const uint16_t c = lork::CRC16(b.data(), uint16_t(b.size()));
    b.push_back(uint8_t(c & 0xFF));
    b.push_back(uint8_t(c >> 8));
    return b;
}

Bytes readReq(uint8_t adr, uint8_t func, uint16_t start, uint16_t kol) {
    return withCrc({adr, func, uint8_t(start >> 8), uint8_t(start), uint8_t(kol >> 8), uint8_t(kol)});
}

Bytes writeReq(uint8_t adr, uint16_t start, const std::vector<uint16_t>& vals) {
    Bytes b{adr, 16, uint8_t(start >> 8), uint8_t(start), 0, uint8_t(vals.size()), uint8_t(2 * vals.size())};
    for (uint16_t v : vals) {
        b.push_back(uint8_t(v >> 8));
        b.push_back(uint8_t(v));
    }
    return withCrc(b);
}

bool crcOk(const Bytes& b) {
    if (b.size() < 3) return false;
    const uint16_t c = lork::CRC16(b.data(), uint16_t(b.size() - 2));
    return b[b.size() - 2] == (c & 0xFF) && b.back() == (c >> 8);
}

// Data bytes of a good read reply (without address, function, count, CRC).
Bytes data(const Bytes& reply) {
    if (reply.size() < 5) return {};
    return Bytes(reply.begin() + 3, reply.end() - 2);
}

std::string hex(const Bytes& b) {
    std::string s;
    char buf[4];
    for (uint8_t c : b) {
        std::snprintf(buf, sizeof buf, "%02X ", c);
        s += buf;
    }
    return s;
}

}  // namespace

TEST(SimModel, AnswersTheDocumentedFrames) {
    InstrumentModel m;
    // Address register read and the write echo, byte for byte.
    EXPECT_EQ(hex(m.handle(Bytes{0x05, 0x03, 0x08, 0x00, 0x00, 0x01, 0x87, 0xEE}).bytes), "05 03 02 00 05 89 87 ");
    EXPECT_EQ(hex(m.handle(Bytes{0x05, 0x10, 0x0A, 0x03, 0x00, 0x01, 0x02, 0x00, 0x01, 0xFF, 0x63}).bytes),
              "05 10 0A 03 00 01 F3 95 ");
    EXPECT_EQ(m.params().light, 1);
}

TEST(SimModel, ExceptionsByRequest) {
    struct Case {
        const char* what;
        Bytes req;
        uint8_t func, code;
    } cases[] = {
        {"holding past interface block", readReq(5, 3, 0x0800, 5), 0x83, 2},
        {"holding range reaching past parameters", readReq(5, 3, 0x0A07, 2), 0x83, 2},
        {"holding in a gap", readReq(5, 3, 0x0904, 1), 0x83, 2},
        {"input between name and version", readReq(5, 4, 0x0203, 1), 0x84, 2},
        {"input past measurement", readReq(5, 4, 0x0010, 14), 0x84, 2},
        {"input before measurement", readReq(5, 4, 0x000F, 1), 0x84, 2},
        {"coils past 7", readReq(5, 1, 7, 2), 0x81, 2},
        {"inputs past 3", readReq(5, 2, 0, 5), 0x82, 2},
        {"count 0", readReq(5, 3, 0x0A00, 0), 0x83, 3},
        {"unknown function 5", readReq(5, 5, 0, 1), 0x85, 1},
        {"unknown function 6", readReq(5, 6, 0x0A03, 1), 0x86, 1},
        {"write to read-only sum", writeReq(5, 0x0A06, {1}), 0x90, 2},
        {"write to input address", writeReq(5, 0x0010, {1}), 0x90, 2},
        {"view out of 1..3", writeReq(5, 0x0A05, {4}), 0x90, 3},
        {"address 0", writeReq(5, 0x0800, {0}), 0x90, 3},
        {"baud code 7", writeReq(5, 0x0801, {7}), 0x90, 3},
        {"R of 0", writeReq(5, 0x0A00, {0}), 0x90, 3},
        {"8-bit register above 255", writeReq(5, 0x0A02, {256}), 0x90, 3},
        {"calibration while forbidden", writeReq(5, 0x0900, {1, 2}), 0x90, 4},
        // The rules N * R <= 900 ohm and U < N with what it holds (R 10, N 90, U 50).
        {"N 2 below U 50", writeReq(5, 0x0A01, {2}), 0x90, 3},
        {"U 90 not below N 90", writeReq(5, 0x0A02, {90}), 0x90, 3},
        {"R 11 with N 90", writeReq(5, 0x0A00, {11}), 0x90, 3},
        {"R, N, U together, N * R 1000", writeReq(5, 0x0A00, {20, 50, 10}), 0x90, 3},
        {"byte count disagrees", withCrc({5, 16, 0x0A, 0x03, 0, 1, 4, 0, 1}), 0x90, 3},
    };
    for (const auto& c : cases) {
        InstrumentModel m;
        const SimParams before = m.params();
        const Bytes r = m.handle(c.req).bytes;
        ASSERT_EQ(r.size(), 5u) << c.what << ": " << hex(r);
        EXPECT_EQ(r[0], 5) << c.what;
        EXPECT_EQ(r[1], c.func) << c.what;
        EXPECT_EQ(r[2], c.code) << c.what;
        EXPECT_TRUE(crcOk(r)) << c.what;
        EXPECT_EQ(m.params().v_ind, before.v_ind) << c.what;
        EXPECT_EQ(m.params().kol_step, before.kol_step) << c.what;
        EXPECT_EQ(m.params().por_step, before.por_step) << c.what;
        EXPECT_EQ(m.params().res, before.res) << c.what;
        EXPECT_EQ(m.params().cal0, before.cal0) << c.what;
        EXPECT_EQ(m.line(), SimLine{}) << c.what;
    }
}

TEST(SimModel, RefusedWriteChangesNothingEvenWhenEarlierRegistersWereGood) {
    InstrumentModel m;
    // R, N and U are fine, together too; brightness 3 is not.
    const Bytes r = m.handle(writeReq(5, 0x0A00, {20, 40, 30, 3})).bytes;
    ASSERT_EQ(r.size(), 5u);
    EXPECT_EQ(r[2], 3);
    EXPECT_EQ(m.params().res, 10);
    EXPECT_EQ(m.params().kol_step, 90);
}

TEST(SimModel, HoldingRegistersRoundTrip) {
    InstrumentModel m;
    ASSERT_EQ(m.handle(writeReq(5, 0x0A04, {1})).bytes.size(), 8u);  // allow calibration
    struct Case {
        uint16_t start;
        std::vector<uint16_t> vals;
    } cases[] = {
        {0x0A00, {20, 45, 12, 0, 1, 3}},
        {0x0900, {0x0001, 0x2345, 0x0004, 0xF00D}},
        {0x0802, {2, 2}},
        {0x0A05, {2}},
    };
    for (const auto& c : cases) {
        const Bytes echo = m.handle(writeReq(5, c.start, c.vals)).bytes;
        ASSERT_EQ(echo, withCrc({5, 16, uint8_t(c.start >> 8), uint8_t(c.start), 0, uint8_t(c.vals.size())}));
        m.commitAfterReply();
        Bytes want;
        for (uint16_t v : c.vals) want.insert(want.end(), {uint8_t(v >> 8), uint8_t(v)});
        EXPECT_EQ(hex(data(m.handle(readReq(5, 3, c.start, uint16_t(c.vals.size()))).bytes)), hex(want));
    }
    EXPECT_EQ(m.params().cal0, 0x00012345u);
    EXPECT_EQ(m.params().cal100, 0x0004F00Du);
    // The derived sum follows R and N.
    EXPECT_EQ(hex(data(m.handle(readReq(5, 3, 0x0A06, 1)).bytes)), "03 84 ");
}

TEST(SimModel, FloatAndPulseByteOrders) {
    InstrumentModel m;
    m.setResistance(1000.0);  // exactly the 100 % point of a fresh calibration
    const Bytes d = data(m.handle(readReq(5, 4, 0x0010, 13)).bytes);
    ASSERT_EQ(d.size(), 26u);
    EXPECT_EQ(hex(Bytes(d.begin() + 2, d.begin() + 6)), "00 00 C8 42 ");   // izm_proc, least significant first
    EXPECT_EQ(hex(Bytes(d.begin() + 6, d.begin() + 10)), "00 00 7A 44 ");  // izm_znach 1000.0
    EXPECT_EQ(hex(Bytes(d.begin() + 10, d.begin() + 14)), "00 04 1E B0 ");  // izm_imp 270000, high word first
    EXPECT_EQ(hex(Bytes(d.begin() + 14, d.begin() + 18)), "42 C8 00 00 ");  // proc, big-endian
    EXPECT_EQ(hex(Bytes(d.begin() + 18, d.begin() + 22)), "44 7A 00 00 ");  // te
    EXPECT_EQ(hex(Bytes(d.begin() + 22, d.end())), "03 E8 27 10 ");         // procw 1000, tew 10000
}

TEST(SimModel, TextsInWindows1251) {
    InstrumentModel m;
    EXPECT_EQ(hex(data(m.handle(readReq(5, 4, 0x0200, 3)).bytes)), "CB CE D0 CA 2D 31 ");  // ЛОРК-1
    EXPECT_EQ(data(m.handle(readReq(5, 4, 0x020A, 5)).bytes).size(), 10u);
}

TEST(SimModel, MeasurementFollowsResistance) {
    struct Case {
        double ohm;
        uint8_t v_ind;
        uint8_t step;
        const char* indicator;  // registers 0x0214..0x0217
        uint8_t ci_flag;
        uint8_t coils;
    } cases[] = {
        // Between steps 26 and 27 (R 10): no step, K1 off below U 50, P lit.
        {255.0, 1, 0, "  2 5.5 ", 0, 0x20},
        {255.0, 2, 0, "2 5 5.0 ", 0, 0x20},
        {255.0, 3, 0, "  2 6 - ", 0, 0x20},
        {200.0, 3, 21, "    2 1 ", 0, 0x20},
        {0.0, 1, 1, "    0.0 ", 0, 0x20},
        // At the threshold step U: key and LED K1.
        {490.0, 1, 50, "  4 9.0 ", 0, 0x31},
        // The last step N: both keys and their LEDs.
        {890.0, 1, 90, "  8 9.0 ", 0, 0x3B},
        // Over 100 %: red indicator, LED I lit and blinking, keys off.
        {1100.0, 1, 0, "1 1 0.0 ", 1, 0x64},
    };
    for (const auto& c : cases) {
        InstrumentModel m;
        m.setResistance(c.ohm);
        m.handle(writeReq(5, 0x0A05, {c.v_ind}));
        const Bytes d = data(m.handle(readReq(5, 4, 0x0214, 5)).bytes);
        ASSERT_EQ(d.size(), 10u);
        EXPECT_EQ(std::string(d.begin(), d.begin() + 8), c.indicator) << c.ohm << " view " << int(c.v_ind);
        EXPECT_EQ(d[9], c.ci_flag) << c.ohm;
        EXPECT_EQ(data(m.handle(readReq(5, 4, 0x0010, 1)).bytes)[1], c.step) << c.ohm;
        EXPECT_EQ(data(m.handle(readReq(5, 1, 0, 8)).bytes)[0], c.coils) << c.ohm;
    }
}

TEST(SimModel, CoilAndInputSubranges) {
    InstrumentModel m;
    m.setResistance(890.0);  // coils 0x3B
    EXPECT_EQ(data(m.handle(readReq(5, 1, 3, 3)).bytes)[0], 0x07);  // coils 3, 4, 5
    m.setSwitch(SW_PR, true);
    EXPECT_EQ(data(m.handle(readReq(5, 2, 0, 4)).bytes)[0], 0x0E);  // PR on reads 0
    m.setSwitch(SW_Z, true);
    EXPECT_EQ(data(m.handle(readReq(5, 2, 1, 3)).bytes)[0], 0x03);  // ST, BL off; Z on
}

TEST(SimModel, CalibrationChangesTheReading) {
    InstrumentModel m;
    m.handle(writeReq(5, 0x0A04, {1}));
    m.setResistance(0.0);
    // Store a 0 % point 2000 pulses (10 ohm) below the sensor's own.
    const uint32_t c0 = InstrumentModel::kSensorImp0 - 2000;
    ASSERT_EQ(m.handle(writeReq(5, 0x0900, {uint16_t(c0 >> 16), uint16_t(c0)})).bytes.size(), 8u);
    const Measurement meas = m.measure();
    EXPECT_EQ(meas.imp, InstrumentModel::kSensorImp0);
    EXPECT_NEAR(meas.proc, 100.0 * 2000 / (InstrumentModel::kSensorImp1000 - c0), 1e-9);
    // cal100 not above cal0: no valid reading.
    m.handle(writeReq(5, 0x0902, {uint16_t(c0 >> 16), uint16_t(c0)}));
    EXPECT_EQ(data(m.handle(readReq(5, 4, 0x0218, 1)).bytes)[1], 1);
}

TEST(SimModel, IgnoresWhatIsNotForIt) {
    InstrumentModel m;
    Bytes bad = readReq(5, 3, 0x0800, 1);
    bad.back() ^= 1;
    EXPECT_TRUE(m.handle(bad).bytes.empty());
    EXPECT_TRUE(m.handle(readReq(6, 3, 0x0800, 1)).bytes.empty());
    EXPECT_TRUE(m.handle(Bytes{5, 3, 0x08}).bytes.empty());
    EXPECT_EQ(m.requestsHandled(), 0u);
    // Broadcast: acts on the write, never answers.
    EXPECT_TRUE(m.handle(writeReq(0, 0x0A05, {3})).bytes.empty());
    EXPECT_EQ(m.params().v_ind, 3);
    EXPECT_TRUE(m.handle(readReq(0, 3, 0x0800, 1)).bytes.empty());
}

TEST(SimModel, InterfaceSettingsChangeAfterTheEcho) {
    InstrumentModel m;
    const Bytes echo = m.handle(writeReq(5, 0x0800, {7, 4, 2, 2})).bytes;
    EXPECT_EQ(echo[0], 5);  // the echo still comes from the old address
    EXPECT_EQ(m.line().adr, 5);
    EXPECT_TRUE(m.hasPendingLine());
    m.commitAfterReply();
    EXPECT_EQ(m.line(), (SimLine{7, 4, 2, 2}));
    EXPECT_EQ(m.line().baud(), 38400);
    EXPECT_TRUE(m.handle(readReq(5, 3, 0x0800, 1)).bytes.empty());
    EXPECT_EQ(hex(data(m.handle(readReq(7, 3, 0x0800, 1)).bytes)), "00 07 ");
}

TEST(SimModel, FaultsShapeTheReply) {
    const Bytes req = readReq(5, 3, 0x0800, 1);
    const Bytes good = withCrc({5, 3, 2, 0, 5});
    struct Case {
        Fault f;
        int arg;
        Bytes want;
        bool late;
    } cases[] = {
        {Fault::Silent, -1, {}, false},
        {Fault::Stray, -1, {0xFF, 0x00, 5, 3, 2, 0, 5, good[5], good[6]}, false},
        {Fault::Stray, 1, {0xFF, 5, 3, 2, 0, 5, good[5], good[6]}, false},
        {Fault::Late, -1, good, true},
        {Fault::BadCrc, -1, {5, 3, 2, 0, 5, good[5], uint8_t(good[6] ^ 0x5A)}, false},
        {Fault::OtherAdr, -1, withCrc({6, 3, 2, 0, 5}), false},
        {Fault::OtherFunc, -1, withCrc({5, 7, 2, 0, 5}), false},
        {Fault::Truncate, -1, {5, 3, 2}, false},
        {Fault::Truncate, 5, {5, 3, 2, 0, 5}, false},
        {Fault::ByteCount, -1, withCrc({5, 3, 250, 0, 5}), false},
        {Fault::ByteCount, 1, withCrc({5, 3, 1, 0, 5}), false},
        {Fault::Extra, -1, withCrc({5, 3, 2, 0, 5, 0}), false},
    };
    for (const auto& c : cases) {
        InstrumentModel m;
        m.setFault(c.f, 1, c.arg);
        const Reply r = m.handle(req);
        EXPECT_EQ(hex(r.bytes), hex(c.want)) << faultName(c.f);
        EXPECT_EQ(r.late, c.late) << faultName(c.f);
        // One reply only; the next is sound again.
        const Reply next = m.handle(req);
        EXPECT_EQ(hex(next.bytes), hex(good)) << faultName(c.f);
        EXPECT_FALSE(next.late);
    }
}

TEST(SimModel, FaultsLastAsAskedAndExceptionsComeOnce) {
    InstrumentModel m;
    m.setFault(Fault::Silent);
    for (int i = 0; i < 5; ++i) EXPECT_TRUE(m.handle(readReq(5, 3, 0x0800, 1)).bytes.empty());
    // A silent instrument still acts on what it hears.
    m.handle(writeReq(5, 0x0A05, {2}));
    EXPECT_EQ(m.params().v_ind, 2);
    m.setFault(Fault::None);
    m.setException(10);
    EXPECT_EQ(hex(m.handle(readReq(5, 3, 0x0800, 1)).bytes), hex(withCrc({5, 0x83, 10})));
    EXPECT_EQ(hex(m.handle(readReq(5, 3, 0x0800, 1)).bytes), hex(withCrc({5, 3, 2, 0, 5})));
    // A lost echo passes reads by and counts writes only: the write is done.
    m.setFault(Fault::LostEcho, 1);
    EXPECT_EQ(hex(m.handle(readReq(5, 3, 0x0800, 1)).bytes), hex(withCrc({5, 3, 2, 0, 5})));
    EXPECT_TRUE(m.handle(writeReq(5, 0x0A05, {3})).bytes.empty());
    EXPECT_EQ(m.params().v_ind, 3);
    EXPECT_EQ(m.handle(writeReq(5, 0x0A05, {1})).bytes.size(), 8u);
}

TEST(SimModel, IndicatorPositions) {
    struct Case {
        double v;
        int dec;
        const char* text;
    } cases[] = {
        {25.5, 1, "  2 5.5 "}, {100.0, 1, "1 0 0.0 "}, {1000.0, 1, "1 0 0 0 "},
        {-5.2, 1, "  - 5.2 "}, {99999.0, 1, "    O L "}, {7.0, 0, "      7 "},
    };
    for (const auto& c : cases) EXPECT_EQ(indicatorText(c.v, c.dec), c.text) << c.v;
}

TEST(SimModel, CalibrationAndParametersSurviveARestart) {
    const std::string path = ::testing::TempDir() + "lork_sim_state_test.txt";
    std::remove(path.c_str());
    {
        InstrumentModel m;
        m.setStateFile(path);
        m.handle(writeReq(5, 0x0A04, {1}));
        m.handle(writeReq(5, 0x0900, {0x0002, 0x1234, 0x0005, 0x4321}));
        m.handle(writeReq(5, 0x0A00, {9}));
        m.handle(writeReq(5, 0x0800, {9}));  // interface settings are not kept
        m.commitAfterReply();
    }
    InstrumentModel again;
    again.setStateFile(path);
    std::string err;
    ASSERT_TRUE(again.loadState(&err)) << err;
    EXPECT_EQ(again.params().cal0, 0x00021234u);
    EXPECT_EQ(again.params().cal100, 0x00054321u);
    EXPECT_EQ(again.params().cal_enable, 1);
    EXPECT_EQ(again.params().res, 9);
    EXPECT_EQ(again.line().adr, 5);

    // A damaged file is refused whole.
    for (const char* body : {"cal0 12\nlight 7\n", "cal_enable x\n", "res 0\n", "cal0 1 2\n"}) {
        std::ofstream(path, std::ios::trunc) << body;
        InstrumentModel m;
        m.setStateFile(path);
        EXPECT_FALSE(m.loadState(&err)) << body;
        EXPECT_EQ(m.params().cal0, InstrumentModel::kSensorImp0) << body;
    }
    std::remove(path.c_str());
}

TEST(SimModel, SweepMovesBetweenItsBoundsAndRefusesBadValues) {
    const auto s = parseSweep("100:300:60");
    ASSERT_TRUE(s);
    EXPECT_DOUBLE_EQ(s->at(0), 200);
    EXPECT_DOUBLE_EQ(s->at(15), 300);
    EXPECT_DOUBLE_EQ(s->at(45), 100);
    for (const char* bad : {"", "100:300", "300:100:60", "100:300:0", "-1:300:60", "100:300:60:", "a:b:c"})
        EXPECT_FALSE(parseSweep(bad)) << bad;
}

// The simulator's two programs share one parser, each taking only the options
// its line can serve.
TEST(SimModel, EachProgramTakesItsOwnOptions) {
    const struct {
        LineKind kind;
        std::vector<std::string> args;
        Parsed result;
        const char* error;
    } cases[] = {
        {LineKind::Pty, {"--pace", "--fault", "late:2", "--baud", "19200"}, Parsed::Run, ""},
        {LineKind::Pty, {"--port", "COM3"}, Parsed::Bad, "unknown option --port"},
        {LineKind::ComPort, {"--port", "COM3", "--address", "7"}, Parsed::Run, ""},
        {LineKind::ComPort, {"--pace"}, Parsed::Bad, "unknown option --pace"},
        {LineKind::ComPort, {"--baud", "1200"}, Parsed::Bad, "bad baud rate"},
        {LineKind::Pty, {"--address"}, Parsed::Bad, "--address needs a value"},
    };
    for (const auto& c : cases) {
        Options o;
        std::string error;
        EXPECT_EQ(parseOptions(c.args, c.kind, o, error), c.result) << c.args[0];
        EXPECT_EQ(error, c.error) << c.args[0];
    }
    Options o;
    std::string error;
    ASSERT_EQ(parseOptions({"--baud", "19200", "--silent", "--fault", "late:2"}, LineKind::Pty, o, error),
              Parsed::Run);
    EXPECT_EQ(o.line.scor_code, 3);
    ASSERT_TRUE(o.fault);
    EXPECT_EQ(o.fault->kind, Fault::Late);
    EXPECT_EQ(o.fault->times, 2u);
}
