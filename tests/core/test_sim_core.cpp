// The program's master against the in-process simulator, in virtual time:
// the faults the simulator injects are the situations the link and the reply
// checks are built for.
#include <gtest/gtest.h>

#include "device/device.h"
#include "support/sim_attach.h"

using namespace lork;
using namespace lork::test;

namespace {

struct SimRig {
    VirtualClock clock;
    FakePort port{clock};
    RecordingHost host;
    Core core{port, clock, host};
    sim::InstrumentModel model;
    explicit SimRig(uint8_t code = 2) {
        attachToFakePort(port, model);
        model.setLine({5, code, 0, 1});
        core.st.ls.port_name = "COM1";
        core.st.ls.scor = scor_table[code];
        core.st.ls.scor_code = code;
        core.link.Port_setup(code);
    }
};

}  // namespace

TEST(SimCore, MeasurementDecodesAsTheInstrumentMeantIt) {
    SimRig r;
    r.model.setResistance(255.0);
    ASSERT_EQ(r.core.dev.Read_izm(), 0);
    const DeviceState& d = r.core.st.dev;
    EXPECT_FLOAT_EQ(d.izm_proc, 25.5f);
    EXPECT_FLOAT_EQ(d.izm_znach, 255.0f);
    EXPECT_FLOAT_EQ(d.proc, 25.5f);
    EXPECT_EQ(d.izm_imp, sim::InstrumentModel::kSensorImp0 + 255u * 200u);
    EXPECT_DOUBLE_EQ(d.tew, 255.0);
    EXPECT_EQ(d.step, 0);
    ASSERT_EQ(r.core.dev.Read_params(), 0);
    EXPECT_EQ(d.res, 10);
    EXPECT_EQ(d.sum_res, 900);
}

TEST(SimCore, InjectedFaultsGiveTheirResults) {
    struct Case {
        sim::Fault f;
        int arg;
        uint8_t kod;
        uint8_t rx_status;
    } cases[] = {
        {sim::Fault::None, -1, 0, 0},       {sim::Fault::Stray, 2, 0, 0},       {sim::Fault::Late, -1, 0, 1},
        {sim::Fault::Silent, -1, KOD_NO_REPLY, 2}, {sim::Fault::BadCrc, -1, KOD_CRC, 0},
        {sim::Fault::OtherAdr, -1, KOD_NO_REPLY, 2},  // its address byte is never found
        {sim::Fault::OtherFunc, -1, KOD_FUNC, 0},  {sim::Fault::Truncate, -1, KOD_CRC, 0},
        {sim::Fault::ByteCount, -1, KOD_ECHO, 0},  {sim::Fault::Extra, -1, KOD_ECHO, 0},
    };
    for (const uint8_t code : {uint8_t(2), uint8_t(6)}) {
        for (const auto& c : cases) {
            SimRig r(code);
            r.model.setFault(c.f, 1, c.arg);
            EXPECT_EQ(r.core.dev.Read_params(), c.kod) << sim::faultName(c.f) << " code " << int(code);
            EXPECT_EQ(r.core.st.ex.rx_status, c.rx_status) << sim::faultName(c.f) << " code " << int(code);
        }
    }
}

TEST(SimCore, BaudProbeRepeatsAfterExceptionTen) {
    SimRig r;
    r.model.setException(10, 1);
    EXPECT_EQ(r.core.dev.Probe_scor(9600), 2);
}

TEST(SimCore, RateSearchFindsTheInstrument) {
    SimRig r(4);
    r.core.st.ls.scor = 9600;
    r.core.st.ls.scor_code = 2;
    EXPECT_EQ(r.core.dev.Find_scor(), 4);
    EXPECT_EQ(r.port.config().baud, 38400);
}

TEST(SimCore, WrittenAddressAnswersNextTime) {
    SimRig r;
    r.core.dev.Zapros_write1(0x0800, 1, 9);
    ASSERT_EQ(r.core.dev.Otvet_fn16(0x0800, 1), 0);
    EXPECT_EQ(r.core.dev.Read_adr(), KOD_NO_REPLY);
    r.core.st.ls.adr = 9;
    EXPECT_EQ(r.core.dev.Read_adr(), 0);
}
