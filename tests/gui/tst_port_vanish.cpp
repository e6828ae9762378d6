// The program's serial port on a pseudo-terminal that goes away and comes
// back under the same path, with the event loop running as in the program:
// the next set-up talks to the new line, and nothing is left spinning.
#include <QtTest>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <memory>
#include <thread>

#include "platform/base/system_clock.h"
#include "platform/linux/tty_port.h"
#include "device/device.h"
#include "support/fake_port.h"
#include "support/sim_process.h"
#include "support/temp_dir.h"

using Port = lork::TtyPort;

namespace {

double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

}  // namespace

class TestPortVanish : public QObject {
    Q_OBJECT
private slots:
    void lineVanishesDuringAWriteAndComesBack();
    void lineThatCameBackIsUsedByTheNextExchange();
};

void TestPortVanish::lineVanishesDuringAWriteAndComesBack() {
    lork::test::TempDir dir;
    const std::string link = dir / "tty";
    const std::vector<std::string> args{"--address", "5", "--link", link};
    lork::test::SimProcess first;
    std::string why;
    if (!first.start(LORK_SIM_PATH, args, &why)) QSKIP(why.c_str());

    Port port;
    lork::SystemClock clock;
    lork::test::RecordingHost host;
    lork::Core core(port, clock, host);
    core.st.ls.port_name = link;
    core.link.Port_setup(2);
    QCOMPARE(core.dev.Read_adr(), uint8_t(0));

    // The line stops taking bytes, and its other side closes while a long
    // write is still under way (an adapter pulled in the middle of a frame).
    kill(first.pid(), SIGSTOP);
    std::thread pull([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        kill(first.pid(), SIGKILL);
        waitpid(first.pid(), nullptr, 0);
    });
    const std::vector<uint8_t> big(1 << 20, 0x55);
    QVERIFY(port.write(big.data(), big.size()) != 0u);
    pull.join();

    // The same path comes back with another line behind it.
    lork::test::SimProcess second;
    QVERIFY2(second.start(LORK_SIM_PATH, args, &why), why.c_str());
    host.messages.clear();
    core.link.Port_setup(2);
    QCOMPARE(core.dev.Read_adr(), uint8_t(0));
    QCOMPARE(host.messages, std::vector<std::string>{});

    // Three seconds of the program's event loop cost next to nothing.
    const double before = cpuSeconds();
    QTest::qWait(3000);
    const double used = cpuSeconds() - before;
    QVERIFY2(used < 0.15, qPrintable(QString("%1 s of CPU in 3 s").arg(used)));

    // A line that goes away between exchanges is noticed at the next set-up.
    QVERIFY(second.stop());
    lork::test::SimProcess third;
    QVERIFY2(third.start(LORK_SIM_PATH, args, &why), why.c_str());
    core.link.Port_setup(2);
    QCOMPARE(core.dev.Read_adr(), uint8_t(0));
    QCOMPARE(host.messages, std::vector<std::string>{});
}

// An adapter pulled and plugged in again between two operator commands: the
// first exchange after it fails, the next opens the same path afresh by
// itself, with no set-up and no port chosen again.
void TestPortVanish::lineThatCameBackIsUsedByTheNextExchange() {
    lork::test::TempDir dir;
    const std::string link = dir / "tty";
    const std::vector<std::string> args{"--address", "5", "--link", link};
    auto sim = std::make_unique<lork::test::SimProcess>();
    std::string why;
    if (!sim->start(LORK_SIM_PATH, args, &why)) QSKIP(why.c_str());

    Port port;
    lork::SystemClock clock;
    lork::test::RecordingHost host;
    lork::Core core(port, clock, host);
    core.st.ls.port_name = link;
    core.link.Port_setup(2);
    QCOMPARE(core.dev.Read_adr(), uint8_t(0));
    for (int cycle = 0; cycle < 10; ++cycle) {
        QVERIFY(sim->stop());
        QVERIFY2(core.dev.Read_adr() != 0, "an exchange on a line that is gone");
        sim = std::make_unique<lork::test::SimProcess>();
        QVERIFY2(sim->start(LORK_SIM_PATH, args, &why), why.c_str());
        host.messages.clear();
        QCOMPARE(core.dev.Read_adr(), uint8_t(0));
        QCOMPARE(host.messages, std::vector<std::string>{});
    }
    QCOMPARE(host.info_lines.back(), "порт " + link + " открыт заново");
}

QTEST_MAIN(TestPortVanish)
#include "tst_port_vanish.moc"
