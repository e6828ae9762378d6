// Times whole polling ticks of the real main window (offscreen unless
// QT_QPA_PLATFORM says otherwise) against lork-sim --pace, on the tty and on
// TCP over the loopback (socat in front of the same pty), at 9600 and 115200
// bit/s. A tick runs from the polling handler's call to the end of the event
// loop's turn after it (the window's deferred painting included). Its budget
// is the sum of its exchanges' budgets (the reply transaction's of
// bench_link, the second with the slave's first byte in place of pause_after
// where later); the window's share is the tick less the time spent inside
// the port and the link's sleeps.
//   bench_tick PATH_TO_LORK_SIM [TICKS [still]]
#include <QApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/tfglav.h"
#include "pages/readings.h"
#include "platform/port_factory.h"
#include "platform/base/system_clock.h"
#include "sim/wire_timing.h"
#include "support/child_process.h"
#include "support/posix_port.h"
#include "support/sim_process.h"

using namespace lork;
using namespace lork::test;

namespace {

int64_t nowUs() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return int64_t(t.tv_sec) * 1'000'000 + t.tv_nsec / 1000;
}

// The thread's own processor time, us: what the window costs whatever
// else the machine runs.
int64_t cpuUs() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return int64_t(t.tv_sec) * 1'000'000 + t.tv_nsec / 1000;
}

// Adds up the time (and processor time) spent inside a call while it lives.
struct Inside {
    int64_t wall = 0, cpu = 0;
};
struct Span {
    explicit Span(Inside& sum) : sum_(sum), a_(nowUs()), c_(cpuUs()) {}
    ~Span() {
        sum_.wall += nowUs() - a_;
        sum_.cpu += cpuUs() - c_;
    }
    Inside& sum_;
    int64_t a_, c_;
};

// The program's port with every call timed.
class TimedPort : public SerialPort {
public:
    Inside inside;
    uint32_t open(const std::string& n) override { Span s(inside); return p_.open(n); }
    uint32_t reopen(const std::string& n) override { Span s(inside); return p_.reopen(n); }
    void close() override { Span s(inside); p_.close(); }
    bool isOpen() const override { return p_.isOpen(); }
    uint32_t configure(const LineConfig& c) override { Span s(inside); return p_.configure(c); }
    LineConfig config() const override { return p_.config(); }
    void purgeInput() override { Span s(inside); p_.purgeInput(); }
    uint32_t write(const uint8_t* d, size_t n) override { Span s(inside); return p_.write(d, n); }
    size_t readAvailable(uint8_t* b, size_t n) override { Span s(inside); return p_.readAvailable(b, n); }
    bool waitForReadyRead(int ms) override { Span s(inside); return p_.waitForReadyRead(ms); }
    bool waitForReadyReadUs(int64_t us) override { Span s(inside); return p_.waitForReadyReadUs(us); }
    uint32_t lastReadError() const override { return p_.lastReadError(); }
    std::string describeError(const std::string& n, uint32_t e) const override { return p_.describeError(n, e); }

private:
    PortByName p_;
};

class TimedClock : public Clock {
public:
    Inside inside;
    int64_t nowUs() const override { return c_.nowUs(); }
    void sleepMs(int ms) override { Span s(inside); c_.sleepMs(ms); }

private:
    SystemClock c_;
};

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

double maxOf(const std::vector<double>& v) { return v.empty() ? 0 : *std::max_element(v.begin(), v.end()); }

// The simulator's first reply byte after the write of an 8-byte read, ms,
// as a raw termios port sees it.
double simFirstByteMs(const std::string& pty, int32_t baud) {
    PosixPort port;
    port.open(pty);
    port.configure({baud, 8, 0, 1});
    const uint8_t req[] = {5, 3, 8, 0, 0, 1, 0x87, 0xEE};
    std::vector<double> first;
    for (int i = -5; i < 40; ++i) {  // the first few take what the pty held
        port.purgeInput();
        const int64_t a = nowUs();
        port.write(req, sizeof req);
        uint8_t buf[64];
        size_t got = 0;
        int64_t f = 0;
        while (got < 7 && port.waitForReadyRead(200)) {
            const size_t n = port.readAvailable(buf, sizeof buf);
            if (n && !got) f = nowUs();
            got += n;
        }
        if (got == 7 && i >= 0) first.push_back(double(f - a) / 1000.0);
    }
    return median(first);
}

// The event loop's turn after a tick, and the turns its work asks for (the
// exchange windows' deferred lines, their layout timer, the paint).
void settle() {
    for (int i = 0; i < 4; ++i) QApplication::processEvents();
}

struct Row {
    std::string port;
    int exchanges = 0;
    double tick = 0, tick_max = 0, budget = 0, with_slave = 0, window = 0, window_max = 0, after = 0, window_cpu = 0;
    double replay_warm = 0, replay_gap = 0;  // the tick's exchanges published again, no port
    int failed = 0;
};

Row runTicks(SimProcess& sim, const std::string& name, int32_t baud, double first_ms, int ticks, bool still) {
    TimedPort port;
    TimedClock clock;
    QStringList messages;
    TFglav::Platform p{port, clock, {name}, {}, {}, {}, name, {}, {}};
    p.message = [&messages](const QString& t) { messages << t; };
    TFglav w(std::move(p));
    w.show();
    QApplication::processEvents();

    Core& core = w.core();
    const uint8_t code = baud == 9600 ? 2 : 6;
    core.st.ls.adr = 5;
    core.st.ls.scor = baud;
    core.st.ls.scor_code = code;
    setFoundScor(core.st.found_scor, 5, code);
    core.link.Port_setup(code);

    // Each exchange's budget, from what the link really sent.
    double budget = 0, with_slave = 0;
    int exchanges = 0;
    std::vector<ExchangeRecord> taken[2];
    int taking = -1;
    core.feed.subscribe([&](const ExchangeRecord& rec) {
        if (taking >= 0) taken[taking].push_back(rec);
        const double ch = double(sim::charTimeUs(baud, 0, 1)) / 1000.0;
        const double tail = double(t_byte[code]) * core.st.ex.len_wait + core.st.ls.RIT;
        const double req = ch * double(core.st.ex.len_tuda);
        budget += core.link.pause_before + req + core.link.pause_after + tail;
        with_slave += core.link.pause_before + std::max<double>(core.link.pause_after, first_ms) + tail;
        ++exchanges;
    });

    Row r;
    r.port = name;
    std::vector<double> tick_ms, window_ms, window_cpu_ms, after_ms;
    for (int i = -3; i < ticks; ++i) {  // three to settle what the pty held
        // A measurement that moves, as an instrument's does: the reply and
        // the fields it fills change every tick.
        sim.command("resistance " + std::to_string(200 + (still ? 0 : (i & 1))));
        budget = with_slave = 0;
        exchanges = 0;
        port.inside = clock.inside = {};
        taking = i == 0 || i == 1 ? i : -1;
        const int64_t a = nowUs(), ac = cpuUs();
        w.readings().Timer_oprosTimer();
        const int64_t handler = nowUs() - a;
        settle();
        const int64_t t = nowUs() - a, tc = cpuUs() - ac;
        const bool ok = w.infoLines().isEmpty() && messages.isEmpty();
        if (!ok) {
            ++r.failed;
            for (const QString& l : w.infoLines() + messages) std::fprintf(stderr, "failed tick: %s\n", qPrintable(l));
            w.clearInfo();
            messages.clear();
        }
        if (i < 0 || !ok) continue;
        tick_ms.push_back(double(t) / 1000.0);
        window_ms.push_back(double(t - port.inside.wall - clock.inside.wall) / 1000.0);
        window_cpu_ms.push_back(double(tc - port.inside.cpu - clock.inside.cpu) / 1000.0);
        after_ms.push_back(double(t - handler) / 1000.0);
        r.budget = budget;
        r.with_slave = with_slave;
        r.exchanges = exchanges;
    }
    taking = -1;
    // What showing the exchanges costs the window, apart from the page's
    // fields: the exchange windows, the journal, the plot's points. Once
    // back to back, the code and its data warm in the processor's caches;
    // once with the tick's own gap between exchanges, which the thread
    // sleeps through as it waits for the replies.
    const auto replay = [&](int64_t gapUs) {
        std::vector<double> ms;
        for (int i = 0; i < 2 * ticks; ++i) {
            int64_t spent = 0;
            for (const ExchangeRecord& rec : taken[i & 1]) {
                if (gapUs) usleep(useconds_t(gapUs));
                const int64_t ac = cpuUs();
                core.feed.publish(rec);
                spent += cpuUs() - ac;
            }
            const int64_t ac = cpuUs();
            settle();
            spent += cpuUs() - ac;
            ms.push_back(double(spent) / 1000.0);
        }
        return median(ms);
    };
    r.replay_warm = replay(0);
    r.replay_gap = replay(int64_t(median(tick_ms) * 1000.0) / std::max<int64_t>(1, int64_t(taken[0].size())));
    r.tick = median(tick_ms);
    r.tick_max = maxOf(tick_ms);
    r.window = median(window_ms);
    r.window_max = maxOf(window_ms);
    r.after = median(after_ms);
    r.window_cpu = median(window_cpu_ms);
    return r;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_tick LORK_SIM [TICKS [still]]\n");
        return 2;
    }
    const std::string exe = argv[1];
    const int ticks = argc > 2 ? std::max(1, std::atoi(argv[2])) : 50;
    // "still": the same measurement every tick, so that only the exchange
    // windows change; what the fields' changes cost is the difference.
    const bool still = argc > 3 && std::string(argv[3]) == "still";
    // The window reads and writes its settings file; it must not touch the operator's.
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.path().toLocal8Bit());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // Qt paints a window at most every 5 ms by default; with no wait the
    // painting a tick asks for happens in the turns right after it, and is
    // timed with it.
    qputenv("QT_QPA_UPDATE_IDLE_TIME", "0");
    QApplication app(argc, argv);
    int failed = 0;

    std::printf("| rate | port | exchanges | tick, median (max) ms | budget ms | ratio | budget with the slave's first "
                "byte | ratio | window's share, median (max) ms | of it painting after the tick | window's processor time ms | the exchanges' showing alone, back to back / with the tick's gaps | failed ticks |\n|---|---|---|---|---|---|---|---|---|---|---|---|---|\n");
    for (int32_t baud : {9600, 115200}) {
        SimProcess sim;
        std::string why;
        if (!sim.start(exe, {"--pace", "--baud", std::to_string(baud)}, &why)) {
            std::fprintf(stderr, "cannot start lork-sim: %s\n", why.c_str());
            return 1;
        }
        const double first_ms = simFirstByteMs(sim.path(), baud);
        ChildProcess socat;
        const std::string port_no = std::to_string(47100 + baud % 1000);
        socat.start({"socat", "TCP-LISTEN:" + port_no + ",bind=127.0.0.1,reuseaddr", "FILE:" + sim.path() + ",raw,echo=0"});
        usleep(300'000);
        for (const std::string& name : {sim.path(), "tcp://127.0.0.1:" + port_no}) {
            const Row r = runTicks(sim, name, baud, first_ms, ticks, still);
            failed += r.failed;
            std::printf("| %d | %s | %d | %.2f (%.2f) | %.2f | %.3f | %.2f | %.3f | %.2f (%.2f) | %.2f | %.2f | %.2f / %.2f | %d |\n", baud,
                        name.rfind("tcp", 0) == 0 ? "TCP" : "tty", r.exchanges, r.tick, r.tick_max, r.budget,
                        r.tick / r.budget, r.with_slave, r.tick / r.with_slave, r.window, r.window_max, r.after, r.window_cpu, r.replay_warm, r.replay_gap, r.failed);
            std::fflush(stdout);
        }
        socat.stop();
        if (!sim.stop()) ++failed;
    }
    if (failed) std::fprintf(stderr, "%d tick(s) failed\n", failed);
    return failed ? 1 : 0;
}
