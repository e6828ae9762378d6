#include <gtest/gtest.h>

#include <cerrno>

#include "core_test_util.h"
#include "platform/base/error_words.h"
#include "records/format.h"
#include "records/journal.h"

namespace lork::test {
namespace {

constexpr int64_t ms = 1000;  // virtual time is in microseconds

std::vector<uint8_t> suda(const ExchangeBuffers& ex) {
    return {ex.paket_suda.begin() + 1, ex.paket_suda.begin() + 1 + ex.len_suda};
}

std::vector<uint8_t> concat(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// --- time-outs and pauses per baud code ---

struct SetupCase {
    uint8_t code;
    uint16_t rit, rttm, rttc, before, after;
    int32_t scor = 19200;
};

class PortSetup : public ::testing::TestWithParam<SetupCase> {};

TEST_P(PortSetup, TimeoutsAndPausesFollowTheCode) {
    const auto& c = GetParam();
    CoreRig r;
    r.st.ls.scor = c.scor;
    r.core.link.Port_setup(c.code);
    const auto& ls = r.st.ls;
    EXPECT_EQ(ls.RIT, c.rit);
    EXPECT_EQ(ls.RTTM, c.rttm);
    EXPECT_EQ(ls.RTTC, c.rttc);
    EXPECT_EQ(ls.WTTM + ls.WTTC, 0);
    EXPECT_EQ(r.core.link.pause_before, c.before);
    EXPECT_EQ(r.core.link.pause_after, c.after);
    EXPECT_EQ(r.core.link.port_timeouts.RTTM, c.rttm);
    // Always the settings' own rate, whatever the code.
    EXPECT_EQ(r.port.config().baud, c.scor);
    // The port learns the single-byte read time-out at that rate (none off the table).
    EXPECT_EQ(r.port.config().byteTimeoutMs, c.scor == 1200 ? 0 : 10);
    EXPECT_EQ(r.core.link.port_setup_error, 0);
    EXPECT_TRUE(r.host.messages.empty());
    // The wait before the block read takes the same entry.
    r.st.ls.scor_code = c.code;
    r.clock.sleeps_ms.clear();
    r.port.arrive(r.clock.now_us, {5});
    r.st.ex.len_wait = 7;
    r.core.link.Port_receive();
    EXPECT_EQ(r.clock.sleeps_ms.at(0), c.rit * 7);
}

INSTANTIATE_TEST_SUITE_P(Codes, PortSetup,
                         ::testing::Values(SetupCase{0, 4, 20, 16, 8, 10},  // no rate: the slowest entry
                                           SetupCase{1, 4, 20, 16, 8, 10}, SetupCase{2, 2, 10, 8, 4, 5},
                                           SetupCase{3, 2, 6, 4, 2, 3}, SetupCase{4, 1, 4, 2, 1, 2},
                                           SetupCase{5, 1, 2, 2, 1, 1}, SetupCase{6, 1, 2, 2, 1, 1},
                                           // above the table: the line's own rate, else the slowest
                                           SetupCase{7, 2, 6, 4, 2, 3}, SetupCase{9, 4, 20, 16, 8, 10, 1200}));

// --- the timed read itself ---

struct ReadCase {
    const char* what;
    uint16_t rit, rttm, rttc;
    size_t n;
    std::vector<std::pair<int, int>> arrivals;  // (ms after the start, byte count)
    size_t got;
    int64_t elapsedMs;
};

void PrintTo(const ReadCase& c, std::ostream* os) { *os << c.what; }

class ReadTimed : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ReadTimed, BytesAndTime) {
    const auto& c = GetParam();
    // The same with something to do while the read waits: the waits are
    // cut into slices, the bytes and the times stay as they were.
    for (const bool sliced : {false, true}) {
        CoreRig r;
        int calls = 0;
        if (sliced) r.core.link.whileWaiting = [&calls] { ++calls; };
        r.core.link.port_timeouts = {c.rit, c.rttm, c.rttc, 0, 0};
        const int64_t t0 = r.clock.now_us;
        for (auto [at, count] : c.arrivals) r.port.arrive(t0 + at * ms, std::vector<uint8_t>(size_t(count), 0x42));
        uint8_t buf[16] = {};
        const auto res = r.core.link.readTimed(buf, c.n);
        EXPECT_EQ(res.got, c.got) << c.what;
        EXPECT_EQ(r.clock.now_us - t0, c.elapsedMs * ms) << c.what;
        EXPECT_TRUE(res.ok());
        if (sliced) {
            EXPECT_EQ(calls > 0, c.elapsedMs * ms > Link::kWaitSliceUs) << c.what;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Win32Semantics, ReadTimed,
    ::testing::Values(
        ReadCase{"silent single byte: multiplier + constant", 2, 10, 8, 1, {}, 0, 18},
        ReadCase{"silent block: multiplier x count + constant", 2, 10, 8, 5, {}, 0, 58},
        ReadCase{"everything already there", 2, 10, 8, 5, {{0, 5}}, 5, 0},
        ReadCase{"fewer bytes: interval after the last", 2, 10, 8, 5, {{0, 3}}, 3, 2},
        ReadCase{"no interval before the first byte", 1, 0, 20, 2, {{15, 1}, {16, 1}}, 2, 16},
        ReadCase{"total ends a steady trickle", 3, 0, 5, 10, {{0, 1}, {2, 1}, {4, 1}, {6, 1}, {8, 1}}, 3, 5},
        ReadCase{"a gap longer than the interval ends it", 2, 10, 8, 4, {{0, 1}, {1, 1}, {5, 2}}, 2, 3},
        ReadCase{"no time-outs: takes what is there", 0, 0, 0, 3, {{0, 1}, {1, 2}}, 1, 0},
        ReadCase{"no time-outs, nothing there", 0, 0, 0, 3, {}, 0, 0}),
    [](const auto& p) { return "case" + std::to_string(p.index); });

TEST(ReadTimedPort, ClosedPortFailsAtOnce) {
    CoreRig r;
    r.port.close();
    uint8_t b = 0;
    const int64_t t0 = r.clock.now_us;
    const auto res = r.core.link.readTimed(&b, 1);
    EXPECT_EQ(res.got, 0u);
    EXPECT_EQ(res.error, uint32_t(EBADF));
    EXPECT_EQ(r.clock.now_us, t0);
}

// --- ordinary receive ---

struct ExchangeRig : CoreRig {
    const std::vector<uint8_t> reply = with_crc({0x05, 0x03, 0x02, 0x00, 0x05});
    int64_t t_write = 0;

    // One exchange of the read of 0x0800 with the given bytes arriving at
    // `after_ms` past the write.
    void exchange(const std::vector<uint8_t>& bytes, int64_t after_ms) {
        port.onWrite = [this, bytes, after_ms](FakePort& p, const std::vector<uint8_t>&) {
            t_write = clock.now_us;
            if (!bytes.empty()) p.arrive(clock.now_us + after_ms * ms, bytes);
        };
        Make_zapros(st.ex, 5, 3, 0x0800, 1);
        st.ex.len_wait = 7;
        core.link.Port_send(st.ex.paket_tuda, st.ex.len_tuda);
        core.link.Port_receive();
    }
};

TEST(PortReceive, StrayBytesBeforeTheAddressAreDropped) {
    ExchangeRig r;
    r.exchange(concat({0x11, 0x22}, r.reply), 1);
    EXPECT_EQ(r.st.ex.rx_status, 0);
    EXPECT_EQ(suda(r.st.ex), r.reply);
    // pause_after 5, wait t_byte x len_wait = 14, then RIT 2 after the last byte
    EXPECT_EQ(r.clock.now_us - r.t_write, (5 + 14 + 2) * ms);
}

TEST(PortReceive, ReplyFoundOnlyByTheSecondSearch) {
    ExchangeRig r;
    r.exchange(r.reply, 5 + 3 * 18 + 3);
    EXPECT_EQ(r.st.ex.rx_status, 1);
    EXPECT_EQ(suda(r.st.ex), r.reply);
}

TEST(PortReceive, OwnTimeoutIsTheWholeWait) {
    // Silence costs the pauses and the time-out once; a reply later than the
    // six per-baud reads but within the time-out is taken.
    for (const int64_t reply_ms : {int64_t(-1), int64_t(150)}) {
        ExchangeRig r;
        r.core.link.responseTimeoutMs = 200;
        r.core.link.Port_setup(2);
        r.exchange(reply_ms < 0 ? std::vector<uint8_t>{} : r.reply, reply_ms);
        if (reply_ms < 0) {
            EXPECT_EQ(r.st.ex.rx_status, 2);
            EXPECT_EQ(r.clock.now_us - r.t_write, (5 + 200) * ms);
        } else {
            EXPECT_EQ(r.st.ex.rx_status, 0);
            EXPECT_EQ(suda(r.st.ex), r.reply);
        }
    }
}

struct SilenceCase {
    uint8_t code;
    int per_read_ms, before_ms, after_ms;
};

class Silence : public ::testing::TestWithParam<SilenceCase> {};

TEST_P(Silence, SixReadsThenNoReply) {
    const auto& c = GetParam();
    CoreRig r;
    r.core.link.Port_setup(c.code);
    const int64_t t0 = r.clock.now_us;
    const int waits0 = r.port.waits;
    Make_zapros(r.st.ex, 5, 3, 0x0800, 1);
    r.st.ex.len_wait = 7;
    r.core.link.Port_send(r.st.ex.paket_tuda, r.st.ex.len_tuda);
    r.core.link.Port_receive();
    EXPECT_EQ(r.st.ex.rx_status, 2);
    EXPECT_EQ(r.st.ex.len_suda, 0);
    EXPECT_EQ(r.port.waits - waits0, 6);
    EXPECT_EQ(r.clock.now_us - t0, (6 * c.per_read_ms + c.before_ms + c.after_ms) * ms);
    EXPECT_EQ(r.st.ex.paket_suda[1], 0x2E);
}

INSTANTIATE_TEST_SUITE_P(Codes, Silence,
                         ::testing::Values(SilenceCase{1, 36, 8, 10}, SilenceCase{2, 18, 4, 5},
                                           SilenceCase{3, 10, 2, 3}, SilenceCase{4, 6, 1, 2},
                                           SilenceCase{5, 4, 1, 1}, SilenceCase{6, 4, 1, 1}));

TEST(PortReceive, StrayByteAtTheEndCountsStrayAtTheStartDoesNot) {
    ExchangeRig last;
    last.exchange({0x33}, 5 + 5 * 18 + 1);  // during the sixth read
    EXPECT_EQ(last.st.ex.rx_status, 2);
    EXPECT_EQ(last.st.ex.len_suda, 1);
    EXPECT_EQ(last.st.ex.paket_suda[1], 0x33);

    ExchangeRig first;
    first.exchange({0x33}, 1);
    EXPECT_EQ(first.st.ex.rx_status, 2);
    EXPECT_EQ(first.st.ex.len_suda, 0);
}

TEST(PortReceive, ShortReplyEndsByTimeOut) {
    ExchangeRig r;
    r.exchange({0x05, 0x03, 0x02, 0x00}, 1);
    EXPECT_EQ(r.st.ex.rx_status, 0);
    EXPECT_EQ(r.st.ex.len_suda, 4);
    EXPECT_EQ(r.st.ex.paket_suda[5], 0x2E);  // not received, still the filling
    EXPECT_EQ(r.clock.now_us - r.t_write, (5 + 14 + 2) * ms);
}

TEST(PortReceive, SpacedReplyIsCollectedWhole) {
    ExchangeRig r;
    // A 31-byte reply trickling in at 1.5 ms a byte: no gap reaches RIT (2 ms).
    const std::vector<uint8_t> big = reg_reply(5, 4, std::vector<uint16_t>(13, 0x0102));
    r.port.onWrite = [&](FakePort& p, const std::vector<uint8_t>&) { p.arriveSpaced(r.clock.now_us + ms, big, 1500); };
    Make_zapros(r.st.ex, 5, 4, 0x0010, 13);
    r.st.ex.len_wait = 31;
    r.core.link.Port_send(r.st.ex.paket_tuda, r.st.ex.len_tuda);
    r.core.link.Port_receive();
    EXPECT_EQ(suda(r.st.ex), big);
}

TEST(PortReceive, LenWaitBeyondTheBufferNeverOverruns) {
    ExchangeRig r;
    std::vector<uint8_t> stream(100);
    for (size_t i = 0; i < stream.size(); ++i) stream[i] = uint8_t(i + 5);
    auto& ex = r.st.ex;
    ex.zapros_func = 0x77;
    ex.zapros_start = 0x1234;
    ex.zapros_kol = 0x4321;
    ex.kod_rez = 0x99;
    r.port.onWrite = [&](FakePort& p, const std::vector<uint8_t>&) { p.arrive(r.clock.now_us + ms, stream); };
    ex.len_wait = 200;
    r.core.link.Port_send(ex.paket_tuda, ex.len_tuda);
    r.core.link.Port_receive();
    EXPECT_EQ(ex.len_suda, 63);
    EXPECT_EQ(ex.paket_suda[63], stream[62]);
    EXPECT_EQ(ex.len_wait, 200);
    EXPECT_EQ(ex.zapros_func, 0x77);
    EXPECT_EQ(ex.zapros_start, 0x1234);
    EXPECT_EQ(ex.zapros_kol, 0x4321);
    EXPECT_EQ(ex.kod_rez, 0x99);
    uint8_t rest[64];
    EXPECT_EQ(r.port.readAvailable(rest, sizeof rest), stream.size() - 63);
}

// --- opening ---

TEST(PortOpen, FailingPortReportsOnceThenOpens) {
    CoreRig r;
    r.port.open_errors["COM9"] = ENOENT;
    r.st.ls.port_name = "COM9";
    r.core.link.Port_setup(2);
    EXPECT_NE(r.core.link.port_setup_error, 0);
    // The cause in the system's words: ENOENT is a missing file on either system.
    const std::string cause = "\nПорт COM9 не открыть: " + lork::errorWords(ENOENT);
    EXPECT_EQ(r.host.messages, std::vector<std::string>{"ошибка настройки порта" + cause});

    // Exchanges on the unopened port: the write is reported, the read finds nothing.
    r.clock.sleeps_ms.clear();
    EXPECT_EQ(r.core.dev.Read_adr(), KOD_NO_REPLY);
    ASSERT_EQ(r.host.messages.size(), 2u);
    EXPECT_EQ(r.host.messages[1],
              "ошибка при передаче= " + std::to_string(EBADF) + cause);
    EXPECT_EQ(r.st.ex.len_suda, 0);
    ASSERT_GE(r.clock.sleeps_ms.size(), 2u);
    EXPECT_EQ(r.clock.sleeps_ms[0], 4);  // pause before
    EXPECT_EQ(r.clock.sleeps_ms[1], 5);  // and after, also after the failed write

    r.st.ls.port_name = "COM1";
    r.core.link.Port_setup(2);
    EXPECT_EQ(r.core.link.port_setup_error, 0);
    EXPECT_EQ(r.core.link.Port_open("COM1", 9600, 0, 1, 8), 0u);
    EXPECT_EQ(r.host.messages.size(), 2u);
    EXPECT_EQ(r.port.name(), "COM1");
}

TEST(PortOpen, LineSettingsReachThePort) {
    CoreRig r;
    auto& link = r.core.link;
    struct Step {
        uint8_t stopbits_asked, parity, stopbits_in_force;
    };
    const Step steps[] = {{2, 2, 2}, {3, 1, 2}, {1, 0, 1}, {0, 0, 1}, {2, 1, 2}, {255, 2, 2}};
    for (const auto& s : steps) {
        EXPECT_EQ(link.Port_open("COM1", 57600, s.parity, s.stopbits_asked, 8), 0u);
        EXPECT_EQ(r.port.config().stopbits, s.stopbits_in_force) << int(s.stopbits_asked);
        EXPECT_EQ(r.port.config().parity, s.parity);
        EXPECT_EQ(r.port.config().baud, 57600);
    }
    // Every opening closes and reopens the port.
    EXPECT_EQ(r.port.opened.size(), 1u + std::size(steps));
}

TEST(PortSend, PurgesBeforeWritingAndPausesAround) {
    CoreRig r;
    const int purges0 = r.port.purges;
    r.clock.sleeps_ms.clear();
    Make_zapros(r.st.ex, 5, 3, 0x0A00, 8);
    r.port.arrive(r.clock.now_us, {0x01, 0x02});  // left over from before: must go
    r.core.link.Port_send(r.st.ex.paket_tuda, r.st.ex.len_tuda);
    EXPECT_EQ(r.port.purges, purges0 + 1);
    EXPECT_EQ(r.clock.sleeps_ms, (std::vector<int>{4, 5}));
    ASSERT_EQ(r.port.writes.size(), 1u);
    EXPECT_EQ(r.port.writes[0].atUs, 4 * ms);
    EXPECT_EQ(r.port.writes[0].bytes.size(), 8u);
    uint8_t b;
    EXPECT_EQ(r.port.readAvailable(&b, 1), 0u);
    EXPECT_EQ(r.port.waits, 0);  // a quiet line is not watched
}

// Another station's reply is still coming in when the master sends. The
// instrument ignores a request that collided with traffic on the line.
TEST(PortSend, ForeignFrameIsLetEndBeforeTheWrite) {
    constexpr int64_t charUs = 1042;  // 10 bits at 9600 bit/s
    CoreRig r;
    r.port.onWrite = [&](FakePort& p, const std::vector<uint8_t>& req) {
        const int64_t now = r.clock.now_us;
        if (p.arrivesBetween(now - 3 * charUs, now + int64_t(req.size()) * charUs)) return;
        p.arriveSpaced(now + int64_t(req.size() + 2) * charUs, reg_reply(5, 3, {0x0005}), charUs);
    };
    const auto foreign = reg_reply(7, 3, std::vector<uint16_t>(8, 0x1234));
    r.port.arriveSpaced(r.clock.now_us - 5 * charUs, foreign, charUs);
    const int64_t foreign_end = r.clock.now_us + int64_t(foreign.size() - 6) * charUs;
    for (int i = 0; i < 3; ++i) EXPECT_EQ(r.core.dev.Read_adr(), KOD_OK) << "exchange " << i;
    ASSERT_EQ(r.port.writes.size(), 3u);
    // 3.5 characters of silence (4 ms), then the usual pause (4 ms).
    EXPECT_GE(r.port.writes[0].atUs, foreign_end + 8 * ms);
}

// A line that never falls silent delays the write by no more than a silent
// instrument costs (six reads of 10 + 8 ms at 9600 bit/s).
TEST(PortSend, EndlessTrafficDelaysTheWriteOnlySoLong) {
    CoreRig r;
    const int64_t t0 = r.clock.now_us;
    r.port.arriveSpaced(t0, std::vector<uint8_t>(2000, 0x55), 1042);
    Make_zapros(r.st.ex, 5, 3, 0x0800, 1);
    r.core.link.Port_send(r.st.ex.paket_tuda, r.st.ex.len_tuda);
    ASSERT_EQ(r.port.writes.size(), 1u);
    EXPECT_LE(r.port.writes[0].atUs - t0, (4 + 6 * 18) * ms);
}

// --- probe read ---


struct ProbeRig : CoreRig {
    ProbeRig() { Make_zapros(st.ex, 5, 3, 0x0800, 1); }
};

TEST(ProbeRead, SilentInstrumentEndsAfterOneCallOfTheSecondPass) {
    ProbeRig r;
    const int64_t t0 = r.clock.now_us;
    EXPECT_EQ(r.core.link.Send_probe(), 1);
    EXPECT_EQ(r.st.ex.len_suda, 1);
    EXPECT_EQ(r.core.link.replyReceived(), 0u);  // the one byte is the filling, for no record
    EXPECT_EQ(r.clock.now_us - t0, (4 * 18 + 4 + 5) * ms);
    EXPECT_EQ(r.host.key_questions[VK_X], 2);
}

TEST(ProbeRead, AnswerReadsSixBytesWithoutWaiting) {
    ProbeRig r;
    const auto reply = with_crc({0x05, 0x03, 0x02, 0x00, 0x05});
    r.answer_with(concat(reply, {0xEE, 0xEE}));  // more than a one-register reply
    EXPECT_EQ(r.core.link.Send_probe(), 0);
    EXPECT_EQ(suda(r.st.ex), reply);
    EXPECT_TRUE(r.clock.sleeps_ms.size() >= 2);
    EXPECT_EQ(r.clock.sleeps_ms.back(), 5);  // only the pauses around the write
}

TEST(ProbeRead, KeyXAbortsOnlyDuringTheSecondPass) {
    ProbeRig pressed_before;
    pressed_before.host.keyHook = [&](int) { return pressed_before.host.key_questions[VK_X] == 1; };
    EXPECT_NO_THROW(pressed_before.core.link.Send_probe());

    ProbeRig pressed_during;
    pressed_during.host.keyHook = [&](int vk) { return vk == VK_X && pressed_during.host.key_questions[VK_X] >= 2; };
    EXPECT_THROW(pressed_during.core.link.Send_probe(), ProbeAborted);
    EXPECT_EQ(pressed_during.st.ex.rx_status, 1);
}

TEST(ProbeRead, ClosedPortMeansNoReply) {
    ProbeRig r;
    r.port.close();
    EXPECT_EQ(r.core.link.Send_probe(), 2);
    EXPECT_EQ(r.st.ex.len_suda, 0);
    EXPECT_EQ(r.host.key_questions[VK_X], 4);
}

TEST(ProbeRead, VanishedDeviceMeansNoReplyNotSilence) {
    CoreRig r;
    r.port.vanish_at_us = r.clock.now_us;  // still reads as open
    ASSERT_TRUE(r.port.isOpen());
    EXPECT_EQ(r.core.dev.Probe_adr(), KOD_NO_REPLY);
    EXPECT_EQ(r.st.ex.rx_status, 2);
    EXPECT_EQ(r.host.key_questions[VK_X], 4);  // all three calls of the second pass
}


// --- Modbus TCP: no serial line on this side of the gateway

struct NetworkCase {
    const char* what;
    bool modbus_tcp;
    uint32_t own_timeout_ms;
    int64_t reply_after_us;  // < 0: silence
    uint8_t kod;
    int64_t elapsed_us;      // from the start of the send to the end of the check
    std::vector<int> sleeps_ms;
};

void PrintTo(const NetworkCase& c, std::ostream* os) { *os << c.what; }

class NetworkPace : public ::testing::TestWithParam<NetworkCase> {};

TEST_P(NetworkPace, GatewayKeepsTheLineTimingTheSerialLineKeepsItsOwn) {
    const auto& c = GetParam();
    CoreRig r;
    r.port.modbus_tcp = c.modbus_tcp;
    r.core.link.responseTimeoutMs = c.own_timeout_ms;
    r.core.link.Port_setup(2);
    const std::vector<uint8_t> reply = reg_reply(5, 3, {10, 90, 50, 2, 0, 1, 900, 10});
    if (c.reply_after_us >= 0) r.answer_with(reply, c.reply_after_us);
    r.clock.sleeps_ms.clear();
    const int64_t t0 = r.clock.now_us;
    EXPECT_EQ(r.core.dev.Read_params(), c.kod) << c.what;
    EXPECT_EQ(r.clock.now_us - t0, c.elapsed_us) << c.what;
    EXPECT_EQ(r.clock.sleeps_ms, c.sleeps_ms) << c.what;
    if (c.kod == KOD_OK) {
        EXPECT_EQ(suda(r.st.ex), reply) << c.what;
    }
}

// 9600 bit/s: pauses 4 and 5 ms, t_byte 2 x len_wait 21, RIT 2, six reads
// of 18 ms; the network wait is the serial line's whole wait, 5 + 6 x 18 ms.
INSTANTIATE_TEST_SUITE_P(
    Ports, NetworkPace,
    ::testing::Values(
        NetworkCase{"serial: pauses, the wait before the block read, RIT", false, 0, 1000, KOD_OK,
                    (4 + 5 + 42 + 2) * ms, {4, 5, 42}},
        NetworkCase{"gateway: the reply as soon as it is there", true, 0, 70, KOD_OK, 70, {}},
        NetworkCase{"gateway, silent: the serial line's whole wait once", true, 0, -1, KOD_NO_REPLY, 113 * ms, {}},
        NetworkCase{"gateway, silent, own time-out", true, 300, -1, KOD_NO_REPLY, 300 * ms, {}}),
    [](const auto& p) { return "case" + std::to_string(p.index); });

TEST(NetworkPace, ProbeOverTheGatewayWaitsOnceAndNeverSleeps) {
    CoreRig r;
    r.port.modbus_tcp = true;
    r.answer_with(reg_reply(5, 3, {5}), 70);
    r.clock.sleeps_ms.clear();
    EXPECT_EQ(r.core.dev.Probe_adr(), KOD_OK);
    r.port.onWrite = nullptr;
    const int64_t t0 = r.clock.now_us;
    EXPECT_EQ(r.core.dev.Probe_adr(), KOD_NO_REPLY);
    EXPECT_EQ(r.clock.now_us - t0, 113 * ms);
    EXPECT_TRUE(r.clock.sleeps_ms.empty());
}


// --- a port that went away

// An adapter that can be pulled and plugged in again: pulled, its port
// closes as a real one does and reads as gone; while out, it cannot be opened.
class PluggedPort : public FakePort {
public:
    using FakePort::FakePort;
    void pull() {
        plugged_ = false;
        gone_ = true;
        close();
    }
    void plugIn() { plugged_ = true; }
    uint32_t out_error = ENOENT;  // what an open gives while it is out
    uint32_t open(const std::string& name) override {
        if (!plugged_) return out_error;
        gone_ = false;
        return FakePort::open(name);
    }
    uint32_t lastReadError() const override { return gone_ ? EIO : FakePort::lastReadError(); }

private:
    bool plugged_ = true, gone_ = false;
};

TEST(PortLost, NextExchangeOpensTheSamePortAgainOnceItIsBack) {
    VirtualClock clock;
    PluggedPort port{clock};
    RecordingHost host;
    Core core{port, clock, host};
    core.st.ls.port_name = "ttyUSB0";
    core.link.Port_setup(2);
    port.onWrite = [&](FakePort& p, const std::vector<uint8_t>&) {
        p.arrive(clock.now_us + 1000, reg_reply(5, 3, {0x0005}));
    };
    ASSERT_EQ(core.dev.Read_adr(), KOD_OK);
    port.pull();
    EXPECT_NE(core.dev.Read_adr(), KOD_OK);  // still out: the exchange fails with the cause
    ASSERT_FALSE(host.messages.empty());
    port.plugIn();
    const size_t opened = port.opened.size();
    host.messages.clear();
    EXPECT_EQ(core.dev.Read_adr(), KOD_OK);
    EXPECT_EQ(port.opened.size(), opened + 1);
    EXPECT_EQ(port.name(), "ttyUSB0");
    EXPECT_EQ(port.config().baud, 9600);
    EXPECT_TRUE(host.messages.empty());
    // A port closed on purpose is not opened behind the operator's back.
    port.close();
    EXPECT_NE(core.dev.Read_adr(), KOD_OK);
    EXPECT_EQ(port.opened.size(), opened + 1);
}

// The window watches commands: one box per incident, the repeats as lines;
// the journal gets one row per command that met the failed port, naming
// the failure, and nothing for the exchanges the command skipped.
TEST(PortLost, OneBoxPerIncidentAndOneRowPerCommandThatMetIt) {
    VirtualClock clock;
    PluggedPort port{clock};
    RecordingHost host;
    Core core{port, clock, host};
    core.link.watchCommands(&core.feed);
    journal::Store journal;
    core.feed.subscribe([&](const ExchangeRecord& rec) { journal.add(0, rec); });
    core.st.ls.port_name = "ttyUSB0";
    core.link.Port_setup(2);
    port.onWrite = [&](FakePort& p, const std::vector<uint8_t>& req) {
        const std::vector<uint16_t> regs(req[5], 0x0005);  // as many as asked
        p.arrive(clock.now_us + 1000, reg_reply(5, 3, regs));
    };
    auto tick = [&] {  // a polling tick: the presence probe, then a value read
        ExchangeFeed::CommandScope scope(core.feed, Command::Polling);
        if (core.dev.Read_adr() == 0) core.dev.Read_params();
    };
    auto activation = [&] {
        ExchangeFeed::CommandScope scope(core.feed, Command::Activation);
        core.link.Port_setup(2);
        core.dev.Read_adr();
    };
    const std::string lost = "\nПорт ttyUSB0 не открыть: " + errorWords(ENOENT);
    const std::string write_failed = "ошибка при передаче= " + std::to_string(EBADF);

    tick();
    port.pull();
    tick();        // the box of the pulled adapter
    activation();  // closing it gives the window back: the same port, the same cause
    tick();
    EXPECT_EQ(host.messages, std::vector<std::string>{write_failed + lost});
    EXPECT_EQ(host.info_lines.back(), write_failed + ": " + port.describeError("ttyUSB0", EBADF));

    port.plugIn();
    tick();  // the port works again: the incident is over
    port.pull();
    tick();
    port.out_error = EACCES;  // back, but refused: another cause
    activation();
    EXPECT_EQ(host.messages, (std::vector<std::string>{write_failed + lost, write_failed + lost,
                                                       "ошибка настройки порта\nПорт ttyUSB0 не открыть: " +
                                                           errorWords(EACCES)}));

    // Rows: two good ticks of two exchanges, then a failed write for each
    // tick on the missing port and a failed set-up for each activation.
    std::vector<std::string> rows;
    for (size_t i = 0; i < journal.ring.size(); ++i) {
        const journal::Entry& e = journal.ring.at(i);
        if (e.rec.portFailed()) rows.push_back(journal::commandText(e) + " | " + journal::hex(e.rec.request) + " | " +
                                               journal::cell(e, journal::ColCode) + " | " + journal::cell(e, journal::ColText));
    }
    const std::string probe = "05 03 08 00 00 01 87 EE";
    const std::string gone = "; Порт ttyUSB0 не открыть: " + errorWords(ENOENT);
    EXPECT_EQ(rows, (std::vector<std::string>{
                        "опрос, проба | " + probe + " |  | " + write_failed + gone,
                        "активация |  |  | ошибка настройки порта" + gone,
                        "опрос, проба | " + probe + " |  | " + write_failed + gone,
                        "опрос, проба | " + probe + " |  | " + write_failed + gone,
                        "активация |  |  | ошибка настройки порта; Порт ttyUSB0 не открыть: " + errorWords(EACCES),
                    }));
    EXPECT_EQ(journal.ring.size(), 4u + rows.size());
    EXPECT_EQ(journal.stats.portFailures, rows.size());
    EXPECT_EQ(journal.stats.sent, 4u);
    EXPECT_EQ(journal.stats.byCode[KOD_NO_REPLY], 0u);
    EXPECT_EQ(journal.stats.pollTicks, 5u);
    EXPECT_EQ(journal.stats.pollGoodTicks, 2u);
}

}  // namespace
}  // namespace lork::test
