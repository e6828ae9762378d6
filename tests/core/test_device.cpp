#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <deque>

#include "core_test_util.h"
#include "protocol/rtu_frame.h"

namespace lork::test {
namespace {

uint32_t bits(float f) {
    uint32_t b;
    std::memcpy(&b, &f, sizeof b);
    return b;
}

// A rig whose instrument answers each request with the next scripted reply
// (an empty one is silence), and only at the given rate when one is set.
struct DeviceRig : CoreRig {
    std::deque<std::vector<uint8_t>> script;
    int32_t only_at_baud = 0;
    std::vector<std::vector<uint8_t>> requests;

    DeviceRig() {
        port.onWrite = [this](FakePort& p, const std::vector<uint8_t>& req) {
            requests.push_back(req);
            if (only_at_baud != 0 && p.config().baud != only_at_baud) return;
            if (script.empty()) return;
            auto reply = script.front();
            if (script.size() > 1) script.pop_front();
            if (!reply.empty()) p.arrive(clock.now_us + 1000, reply);
        };
    }
};

// --- fixed transactions against a scripted instrument ---

TEST(Transactions, ReadParamsDecodesTheEightParameters) {
    DeviceRig r;
    r.script = {reg_reply(5, 3, {0x0107, 0x0063, 0x0062, 0x0002, 0x0001, 0x0003, 0xBEEF, 0x0114})};
    EXPECT_EQ(r.core.dev.Read_params(), KOD_OK);
    EXPECT_EQ(r.requests.at(0), with_crc({5, 3, 0x0A, 0x00, 0x00, 0x08}));
    EXPECT_EQ(r.st.ex.len_wait, 21);
    const auto& d = r.st.dev;
    EXPECT_EQ(d.res, 7);  // low bytes only
    EXPECT_EQ(d.kol_step, 99);
    EXPECT_EQ(d.por_step, 98);
    EXPECT_EQ(d.light, 2);
    EXPECT_EQ(d.cal_enable, 1);
    EXPECT_EQ(d.v_ind, 3);
    EXPECT_EQ(d.sum_res, 0xBEEF);  // the whole register
    EXPECT_EQ(d.proc_dopusk, 0x14);
    EXPECT_EQ(d.reg_value, 0x0114);
}

TEST(Transactions, ReadIzmDecodesEveryByteOrder) {
    DeviceRig r;
    // izm_proc arrives least significant byte first: 00 00 C8 42 is 100.0.
    // izm_znach 3.14159 (40 49 0F D0) likewise: D0 0F 49 40.
    // proc arrives most significant first: 42 C8 00 00; te 12.5 = 41 48 00 00.
    r.script = {reg_reply(5, 4,
                          {0x0007, 0x0000, 0xC842, 0xD00F, 0x4940, 0x0001, 0x2345, 0x42C8, 0x0000, 0x4148,
                           0x0000, 1234, 567})};
    EXPECT_EQ(r.core.dev.Read_izm(), KOD_OK);
    EXPECT_EQ(r.st.ex.len_wait, 31);
    const auto& d = r.st.dev;
    EXPECT_EQ(d.step, 7);
    EXPECT_EQ(d.izm_proc, 100.0f);
    EXPECT_EQ(bits(d.izm_znach), 0x40490FD0u);
    EXPECT_EQ(d.izm_imp, 0x00012345u);
    EXPECT_EQ(d.proc, 100.0f);
    EXPECT_EQ(d.te, 12.5f);
    EXPECT_DOUBLE_EQ(d.procw, 123.4);
    EXPECT_DOUBLE_EQ(d.tew, 56.7);
    EXPECT_EQ(d.reg_text.size(), 26u);

    // Both halves of the reversed order, with four different bytes.
    load_reply(r.st.ex, reg_reply(5, 4, {0xD00F, 0x4940}));
    EXPECT_EQ(r.core.dev.Otvet_fn4(0x0011, 2), KOD_OK);
    EXPECT_EQ(bits(d.izm_proc), 0x40490FD0u);
}

TEST(Transactions, InterfaceRegistersSteerTheFollowingExchanges) {
    DeviceRig r;
    r.script = {reg_reply(5, 3, {0x0007, 0x0004, 0x0002, 0x0002}), reg_reply(7, 3, {0x0007})};
    r.st.ex.zapros_func = 3;
    r.core.dev.Zapros_read(0x0800, 4);
    EXPECT_EQ(r.core.dev.Otvet_fn3(0x0800, 4), KOD_OK);
    EXPECT_EQ(r.st.ls.adr, 7);
    EXPECT_EQ(r.st.ls.scor_code, 4);
    EXPECT_EQ(r.st.ls.parity, 2);
    EXPECT_EQ(r.st.ls.stopbit, 2);
    EXPECT_EQ(r.st.ls.scor, 9600);  // the rate itself is never decoded

    r.clock.sleeps_ms.clear();
    EXPECT_EQ(r.core.dev.Read_adr(), KOD_OK);
    EXPECT_EQ(r.requests.back()[0], 7);  // the new address
    // pauses of the port set-up (9600), wait before the block read by code 4: 1 ms x 7
    EXPECT_EQ(r.clock.sleeps_ms, (std::vector<int>{4, 5, 7}));
}

TEST(Transactions, WriteSendsFunction16AndChecksTheEcho) {
    DeviceRig r;
    r.script = {{0x05, 0x10, 0x0A, 0x03, 0x00, 0x01, 0xF3, 0x95}};
    r.core.dev.Zapros_write1(0x0A03, 1, 1);
    EXPECT_EQ(r.requests.at(0), (std::vector<uint8_t>{0x05, 0x10, 0x0A, 0x03, 0x00, 0x01, 0x02, 0x00, 0x01, 0xFF, 0x63}));
    EXPECT_EQ(r.st.ex.len_wait, 8);
    EXPECT_EQ(r.core.dev.Otvet_fn16(0x0A03, 1), KOD_OK);

    r.core.dev.Zapros_write(0x0900, 2, {0x0001, 0x0002, 0x0003});
    EXPECT_EQ(r.requests.at(1).size(), 13u);
    EXPECT_EQ(r.requests.at(1)[6], 4);
}

// --- reply checks on replies placed in the buffer ---

struct Fn16Case {
    std::vector<uint8_t> echo;
    uint8_t expected;
};

TEST(ReplyChecks, WriteEcho) {
    const Fn16Case cases[] = {
        {{0x05, 0x10, 0x0A, 0x03, 0x00, 0x01, 0xF3, 0x95}, KOD_OK},
        {with_crc({0x05, 0x10, 0x0A, 0x03, 0x00, 0x02}), KOD_ECHO},  // other count
        {with_crc({0x05, 0x10, 0x0A, 0x04, 0x00, 0x01}), KOD_ECHO},  // other start
        {with_crc({0x05, 0x10, 0x0A, 0x03}), KOD_ECHO},              // count missing
        {with_crc({0x05, 0x90, 0x03}), 3},                           // exception
    };
    for (const auto& c : cases) {
        DeviceRig r;
        load_reply(r.st.ex, c.echo);
        EXPECT_EQ(r.core.dev.Otvet_fn16(0x0A03, 1), c.expected) << hexBytes(c.echo.data(), unsigned(c.echo.size()));
    }
}

TEST(ReplyChecks, CoilsAndSwitches) {
    DeviceRig r;
    auto& d = r.st.dev;
    Make_zapros(r.st.ex, 5, 1, 0, 8);  // the reply's byte count must be what this asked
    load_reply(r.st.ex, with_crc({5, 1, 1, 0xA1}));
    EXPECT_EQ(r.core.dev.Otvet_fn1(), KOD_OK);
    EXPECT_EQ((std::vector<int>{d.kluch_K1, d.kluch_K2, d.svd_I, d.svd_K2, d.svd_K1, d.svd_P, d.svd_I_mig, d.svd_P_mig}),
              (std::vector<int>{1, 0, 0, 0, 0, 1, 0, 1}));
    load_reply(r.st.ex, with_crc({5, 1, 1, 0x5E}));
    EXPECT_EQ(r.core.dev.Otvet_fn1(), KOD_OK);
    EXPECT_EQ((std::vector<int>{d.kluch_K1, d.kluch_K2, d.svd_I, d.svd_K2, d.svd_K1, d.svd_P, d.svd_I_mig, d.svd_P_mig}),
              (std::vector<int>{0, 1, 1, 1, 1, 0, 1, 0}));

    Make_zapros(r.st.ex, 5, 2, 0, 4);
    load_reply(r.st.ex, with_crc({5, 2, 1, 0x0E}));
    EXPECT_EQ(r.core.dev.Otvet_fn2(), KOD_OK);
    EXPECT_EQ((std::vector<int>{d.sw_PR, d.sw_ST, d.sw_BL, d.sw_Z}), (std::vector<int>{1, 0, 0, 0}));
    load_reply(r.st.ex, with_crc({5, 2, 1, 0xF5}));
    EXPECT_EQ(r.core.dev.Otvet_fn2(), KOD_OK);
    EXPECT_EQ((std::vector<int>{d.sw_PR, d.sw_ST, d.sw_BL, d.sw_Z}), (std::vector<int>{0, 1, 0, 1}));
}

TEST(ReplyChecks, UnknownRegisterGives2AndTheKnownAreStillDecoded) {
    DeviceRig r;
    load_reply(r.st.ex, reg_reply(5, 3, {0x1234, 0x0055, 0x0066}));
    EXPECT_EQ(r.core.dev.Otvet_fn3(0x0A06, 3), 2);
    EXPECT_EQ(r.st.dev.sum_res, 0x1234);
    EXPECT_EQ(r.st.dev.proc_dopusk, 0x55);

    load_reply(r.st.ex, reg_reply(5, 4, {0x0009, 0x0001, 0x0203}));
    EXPECT_EQ(r.core.dev.Otvet_fn4(0x001C, 3), 2);
    EXPECT_DOUBLE_EQ(r.st.dev.tew, 0.9);

    // The text registers and the colour flag are known.
    load_reply(r.st.ex, reg_reply(5, 4, {0x3132, 0x3334, 0x3536, 0x3738, 0x0002}));
    EXPECT_EQ(r.core.dev.Otvet_fn4(0x0214, 5), KOD_OK);
    EXPECT_EQ(r.st.dev.ci_flag, 2);
}

TEST(ReplyChecks, CalibrationWordsAreSetWordByWord) {
    DeviceRig r;
    auto& d = r.st.dev;
    load_reply(r.st.ex, reg_reply(5, 3, {0x0001, 0x0002, 0xFFFF, 0xFFFE}));
    EXPECT_EQ(r.core.dev.Otvet_fn3(0x0900, 4), KOD_OK);
    EXPECT_EQ(d.cal0, 0x00010002u);
    EXPECT_EQ(d.cal100, 0xFFFFFFFEu);
    // A low word read on its own twice leaves the same value, not a sum.
    load_reply(r.st.ex, reg_reply(5, 3, {0x0010}));
    EXPECT_EQ(r.core.dev.Otvet_fn3(0x0901, 1), KOD_OK);
    EXPECT_EQ(r.core.dev.Otvet_fn3(0x0901, 1), KOD_OK);
    EXPECT_EQ(d.cal0, 0x00010010u);
}

TEST(ReplyChecks, TextRegistersKeepRawBytes) {
    DeviceRig r;
    // "ЛОР" in Windows-1251, a zero byte and "1" : exactly the byte count.
    load_reply(r.st.ex, with_crc({5, 4, 6, 0xCB, 0xCE, 0xD0, 0x00, 0x31, 0x00}));
    EXPECT_EQ(r.core.dev.Otvet_fn4(0x0200, 3), KOD_OK);
    EXPECT_EQ(r.st.dev.reg_text, std::string("\xCB\xCE\xD0\0" "1\0", 6));
}

TEST(ReplyChecks, FailedCheckLeavesTheStateAlone) {
    DeviceRig r;
    r.st.dev.reg_value = 0x1111;
    load_reply(r.st.ex, {5, 3, 2, 0x00, 0x09, 0x00, 0x00});  // bad CRC
    EXPECT_EQ(r.core.dev.Otvet_fn3(0x0A00, 1), KOD_CRC);
    EXPECT_EQ(r.st.dev.res, 5);
    EXPECT_EQ(r.st.dev.reg_value, 0x1111);
    load_reply(r.st.ex, {5, 4, 2, 0x00, 0x09, 0x00, 0x00});
    EXPECT_EQ(r.core.dev.Otvet_fn4(0x0010, 1), KOD_CRC);
    EXPECT_EQ(r.st.dev.reg_value, 0);  // cleared before the checks
    EXPECT_EQ(r.st.dev.step, 0);
}

TEST(ReplyChecks, LateFunction4ReplyIsDecodedLikeTheOthers) {
    DeviceRig r;
    load_reply(r.st.ex, reg_reply(5, 4, {0x0021}), 1);
    EXPECT_EQ(r.core.dev.Otvet_fn4(0x0010, 1), KOD_OK);
    EXPECT_EQ(r.st.dev.step, 0x21);
    load_reply(r.st.ex, {5, 4, 2, 0x00, 0x22, 0x00, 0x00}, 1);  // and checked like them
    EXPECT_EQ(r.core.dev.Otvet_fn4(0x0010, 1), KOD_CRC);
    EXPECT_EQ(r.st.dev.step, 0x21);
}

TEST(ReplyChecks, ShortRepliesDecodeNothing) {
    DeviceRig r;
    auto& d = r.st.dev;
    // Eight parameters asked, two came (with a CRC that fits them).
    d.res = 5;
    load_reply(r.st.ex, reg_reply(5, 3, {0x004D, 0x0022}));
    EXPECT_EQ(r.core.dev.Otvet_fn3(0x0A00, 8), KOD_ECHO);
    EXPECT_EQ(d.res, 5);
    EXPECT_EQ(d.kol_step, 99);

    // Four interface registers asked, one came: the address stays.
    load_reply(r.st.ex, reg_reply(5, 3, {0x0009}));
    EXPECT_EQ(r.core.dev.Otvet_fn3(0x0800, 4), KOD_ECHO);
    EXPECT_EQ(r.st.ls.adr, 5);

    // A byte count that promises six text bytes when two came.
    d.reg_text = "old";
    load_reply(r.st.ex, with_crc({5, 4, 6, 0x41, 0x42}));
    EXPECT_EQ(r.core.dev.Otvet_fn4(0x0200, 3), KOD_ECHO);
    EXPECT_EQ(d.reg_text, "old");
    load_reply(r.st.ex, reg_reply(5, 4, {0x0021}));
    EXPECT_EQ(r.core.dev.Otvet_fn4(0x0010, 2), KOD_ECHO);
    EXPECT_EQ(d.step, 0);

    // No data byte at all for coils and inputs.
    d.kluch_K1 = 1;
    load_reply(r.st.ex, with_crc({5, 1, 0}));
    EXPECT_EQ(r.core.dev.Otvet_fn1(), KOD_ECHO);
    EXPECT_EQ(d.kluch_K1, 1);
    load_reply(r.st.ex, with_crc({5, 2, 0}));
    EXPECT_EQ(r.core.dev.Otvet_fn2(), KOD_ECHO);
}

// A reply whose byte count or length is not what its request asks for,
// though its CRC is good, is malformed in every path that decodes: the
// transaction gives 8 and leaves the state alone, and the power tools' check
// says the same of the same bytes.
TEST(ReplyChecks, MalformedRepliesAreRefusedWhole) {
    struct Request {
        uint8_t func;
        uint16_t start, kol;
        std::vector<uint8_t> body;  // the good reply without its CRC
    };
    std::vector<uint8_t> params{5, 3, 16}, izm{5, 4, 26};
    for (int i = 0; i < 16; ++i) params.push_back(uint8_t(i % 2 ? 0x40 + i : 0));
    for (int i = 0; i < 26; ++i) izm.push_back(uint8_t(0x11 * (i % 15 + 1)));
    const Request requests[] = {
        {1, 0x0000, 8, {5, 1, 1, 0xA1}},
        {2, 0x0000, 4, {5, 2, 1, 0x0E}},
        {3, 0x0A00, 8, params},
        {4, 0x0010, 13, izm},
        {16, 0x0A03, 1, {5, 16, 0x0A, 0x03, 0x00, 0x01}},
    };
    using Change = std::vector<uint8_t> (*)(std::vector<uint8_t>);
    const struct {
        const char* what;
        Change change;  // of the body; the count is position 2, position 5 in an echo
    } malformed[] = {
        {"count high", [](std::vector<uint8_t> b) { b[b[1] == 16 ? 5 : 2] = b[1] == 16 ? 2 : 250; return b; }},
        {"count low", [](std::vector<uint8_t> b) { b[b[1] == 16 ? 5 : 2] -= 1; return b; }},
        {"extra data", [](std::vector<uint8_t> b) { b.push_back(0); return b; }},
        {"short", [](std::vector<uint8_t> b) { b.pop_back(); return b; }},
    };
    for (const auto& q : requests) {
        const std::vector<uint16_t> values{1};
        {
            DeviceRig r;  // the good reply decodes: the rig can tell a change
            r.script = {with_crc(q.body)};
            const std::string before = snapshot(r.st);
            EXPECT_EQ(r.core.dev.transact(q.func, q.start, q.kol, values), KOD_OK) << int(q.func);
            if (q.func != 16) {
                EXPECT_NE(snapshot(r.st), before) << int(q.func);
            }
        }
        for (const auto& m : malformed) {
            DeviceRig r;
            const auto reply = with_crc(m.change(q.body));
            r.script = {reply};
            const std::string before = snapshot(r.st);
            EXPECT_EQ(r.core.dev.transact(q.func, q.start, q.kol, values), KOD_ECHO) << int(q.func) << " " << m.what;
            EXPECT_EQ(snapshot(r.st), before) << int(q.func) << " " << m.what;
            const auto request = q.func == 16 ? rtu::writeRequest(5, q.start, values)
                                              : rtu::readRequest(5, q.func, q.start, q.kol);
            EXPECT_EQ(rtu::checkReply(request, reply).kod, KOD_ECHO) << int(q.func) << " " << m.what;
        }
    }
}

// --- probes ---

TEST(Probes, ProbeAdrResults) {
    const auto good = reg_reply(5, 3, {0x0005});
    DeviceRig answers;
    answers.script = {good};
    EXPECT_EQ(answers.core.dev.Probe_adr(), KOD_OK);
    EXPECT_EQ(answers.requests.at(0), with_crc({5, 3, 0x08, 0x00, 0x00, 0x01}));

    DeviceRig silent;
    EXPECT_EQ(silent.core.dev.Probe_adr(), KOD_CUT);

    DeviceRig no_port;
    no_port.port.close();
    EXPECT_EQ(no_port.core.dev.Probe_adr(), KOD_NO_REPLY);
}

struct ScorCase {
    const char* what;
    std::vector<std::vector<uint8_t>> script;
    bool port_fails;
    uint8_t expected;
};

TEST(Probes, ProbeScorResults) {
    const auto good = reg_reply(5, 3, {0x0005});
    const auto exc10 = with_crc({5, 0x83, 10});
    const ScorCase cases[] = {
        {"answers", {good}, false, 1},
        {"time-out exception, then answers", {exc10, good}, false, 2},
        {"time-out exception twice", {exc10, exc10}, false, 3},
        {"silent", {{}}, false, 4},
        {"other exception", {with_crc({5, 0x83, 2})}, false, 4},
        {"port does not open", {good}, true, 5},
    };
    for (const auto& c : cases) {
        DeviceRig r;
        r.script.assign(c.script.begin(), c.script.end());
        if (c.port_fails) {
            r.port.open_errors["COM1"] = EBUSY;
        }
        EXPECT_EQ(r.core.dev.Probe_scor(19200), c.expected) << c.what;
        if (!c.port_fails) {
            EXPECT_EQ(r.port.config().baud, 19200) << c.what;
            EXPECT_EQ(r.core.link.pause_after, 3) << c.what;
        }
    }
}

TEST(Probes, CheckScor) {
    DeviceRig none;
    none.st.ls.scor = 0;
    EXPECT_EQ(none.core.dev.Check_scor(), 0);
    EXPECT_EQ(none.host.messages, std::vector<std::string>{"выберите скорость, не=0"});
    EXPECT_TRUE(none.requests.empty());

    DeviceRig answers;
    answers.st.ls.scor = 19200;
    answers.script = {reg_reply(5, 3, {0x0005})};
    EXPECT_EQ(answers.core.dev.Check_scor(), 3);

    DeviceRig silent;
    silent.st.ls.scor = 19200;
    EXPECT_EQ(silent.core.dev.Check_scor(), 0);
}

TEST(Probes, FindScorStopsAtTheFirstRateThatAnswers) {
    DeviceRig r;
    r.script = {reg_reply(5, 3, {0x0005})};
    r.only_at_baud = 38400;
    EXPECT_EQ(r.core.dev.Find_scor(), 4);
    EXPECT_EQ(r.port.config().baud, 38400);
    EXPECT_EQ(r.core.link.pause_after, 2);
    EXPECT_EQ(r.st.ls.scor, 9600);
    EXPECT_EQ(r.st.ls.scor_code, 2);
    std::vector<int32_t> rates;
    for (const auto& w : r.port.writes) rates.push_back(w.cfg.baud);
    EXPECT_EQ(rates, (std::vector<int32_t>{4800, 9600, 19200, 38400}));

    DeviceRig nobody;
    EXPECT_EQ(nobody.core.dev.Find_scor(), 0);
    EXPECT_EQ(nobody.port.config().baud, 115200);
}

TEST(Probes, KeyXAbortsAProbe) {
    DeviceRig r;
    r.host.keyHook = [&](int vk) { return vk == VK_X && r.host.key_questions[VK_X] >= 2; };
    EXPECT_THROW(r.core.dev.Find_scor(), ProbeAborted);
    EXPECT_EQ(r.port.writes.size(), 1u);  // the first rate's probe, then nothing
}

TEST(FoundScor, AddressesOutsideTheTableHaveNoEntry) {
    State st;
    setFoundScor(st.found_scor, 247, 6);
    setFoundScor(st.found_scor, 0, 3);
    setFoundScor(st.found_scor, 248, 3);
    setFoundScor(st.found_scor, 255, 3);
    EXPECT_EQ(foundScorAt(st.found_scor, 247), 6);
    EXPECT_EQ(foundScorAt(st.found_scor, 255), 0);
    EXPECT_EQ(foundScorAt(st.found_scor, 0), 0);
    EXPECT_EQ(st.found_scor[0], 0);
}

// Whatever command it was, an answer tells where the instrument is: the
// address asked, at the rate the line ran at (not the rate code a register
// read may have put into the settings). A failure, or a rate outside the
// table, records nothing.
TEST(FoundScor, AGoodExchangeRecordsTheAddressAskedAtTheLinesRate) {
    std::vector<uint8_t> bad_crc = reg_reply(5, 3, {9});
    bad_crc.back() ^= 0x01;
    struct Case {
        const char* what;
        int32_t line_baud;
        std::vector<uint8_t> reply;
        uint8_t at5, at9;
    };
    const Case cases[] = {
        {"the address register names another address", 19200, reg_reply(5, 3, {9}), 3, 0},
        {"bad CRC", 19200, bad_crc, 0, 0},
        {"silence", 19200, {}, 0, 0},
        {"a rate outside the table", 14400, reg_reply(5, 3, {9}), 0, 0},
    };
    for (const Case& c : cases) {
        DeviceRig r;
        r.script = {c.reply};
        r.core.link.Port_open("COM1", c.line_baud, 0, 1, 8);
        r.core.dev.transact(3, 0x0800, 1);
        EXPECT_EQ(r.st.found_scor[5], c.at5) << c.what;
        EXPECT_EQ(r.st.found_scor[9], c.at9) << c.what;
        EXPECT_EQ(r.st.ls.scor_code, 2) << c.what;
    }
}

TEST(ScorToCode, EveryRate) {
    for (uint8_t c = 1; c <= 6; ++c) EXPECT_EQ(Scor_to_code(scor_table[c]), c);
    for (int32_t other : {0, -9600, 1200, 9601, 230400}) EXPECT_EQ(Scor_to_code(other), 0);
}

}  // namespace
}  // namespace lork::test
