// The window on the program's own port, with lork-sim as a separate process
// behind a pseudo-terminal, a plain TCP device server (socat) or an RFC 2217
// one (ser2net). The simulator is killed and started again under the same
// path, as an adapter is pulled and plugged in again: polling that the dead
// line stopped starts again with "пуск", and "запрос" reads the instrument
// again, without the port being chosen again. Each pull is one box, however
// often the port fails until it is back, and the journal names the failure
// instead of a missing reply. LORK_REPLUG_CYCLES sets the number of re-plugs
// per transport (2 unless set).
#include <QAbstractButton>
#include <QButtonGroup>
#include <QComboBox>
#include <QLineEdit>
#include <QToolButton>
#include <QtTest>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <memory>

#include "app/journal_tool.h"
#include "app/tfglav.h"
#include "gui_fixture.h"
#include "pages/readings.h"
#include "records/format.h"
#include "records/journal.h"
#include "support/child_process.h"
#include "support/sim_process.h"
#include "support/tcp_listen.h"
#include "support/temp_dir.h"

namespace {

enum class Via { Tty, Tcp, Rfc2217 };

// lork-sim on a fixed path, and the gateway in front of it if any. The
// gateway stays up while the line behind it goes and comes back.
class Line {
public:
    explicit Line(Via via) : via_(via), link_(dir_ / "tty") {
        if (via_ == Via::Tty) {
            name_ = link_;
            return;
        }
        const int tcp = lork::test::free_tcp_port();
        const std::string at = "127.0.0.1:" + std::to_string(tcp);
        if (via_ == Via::Tcp) {
            name_ = "tcp://" + at;
            // fork: each connection opens the path afresh, as a device server does.
            gateway_.start({"socat", "TCP-LISTEN:" + std::to_string(tcp) + ",bind=127.0.0.1,reuseaddr,fork",
                            "FILE:" + link_ + ",raw,echo=0"},
                           dir_ / "gw.log");
        } else {
            name_ = "rfc2217://" + at;
            const std::string yaml = dir_ / "ser2net.yaml";
            if (FILE* f = std::fopen(yaml.c_str(), "w")) {
                std::fprintf(f,
                             "connection: &sim\n  accepter: telnet(rfc2217),tcp,127.0.0.1,%d\n"
                             "  connector: serialdev,%s,9600n81,local\n  options:\n    kickolduser: true\n",
                             tcp, link_.c_str());
                std::fclose(f);
            }
            gateway_.start({"ser2net", "-n", "-u", "-c", yaml, "-P", dir_ / "ser2net.pid"}, dir_ / "gw.log");
        }
        listening_ = lork::test::wait_listening(tcp);
    }
    const std::string& name() const { return name_; }
    bool gatewayUp() const { return via_ == Via::Tty || listening_; }

    bool up(std::string* why) {
        sim_ = std::make_unique<lork::test::SimProcess>();
        return sim_->start(LORK_SIM_PATH, {"--address", "5", "--link", link_}, why);
    }
    // Killed, not ended: the pseudo-terminal goes at once with nothing said,
    // and its path with it, as a pulled adapter's device does (left behind,
    // the path would name whichever terminal gets that number next).
    void down() {
        kill(sim_->pid(), SIGKILL);
        sim_.reset();
        unlink(link_.c_str());
    }

private:
    Via via_;
    lork::test::TempDir dir_;
    std::string link_, name_;
    lork::test::ChildProcess gateway_;
    std::unique_ptr<lork::test::SimProcess> sim_;
    bool listening_ = false;
};

bool have(const char* tool) { return system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) == 0; }

int cycles() {
    bool ok = false;
    const int n = qEnvironmentVariableIntValue("LORK_REPLUG_CYCLES", &ok);
    return ok && n > 0 ? n : 2;
}

// The timing is not what these tests look at: a reply may take this long on
// a busy machine, and only a line that is gone costs the wait.
constexpr uint32_t kReplyMs = 5000;
// How long the window may take to notice a change of the line.
constexpr int kNoticeMs = 30000;

struct Window : lork::test::ProgramWindow {
    explicit Window(const std::string& name) : ProgramWindow(name, kReplyMs) {}
    QToolButton* pusk() const { return w->toolButton(1); }
    QString status() const { return w->statusPanelText(5); }

    // The journal's rows from entry `from` on: those of port failures as
    // their result texts, the others counted by result code.
    struct Rows {
        QStringList failures;
        std::map<int, int> codes;
    };
    size_t journalSize() { return w->journal().store().ring.size(); }
    Rows rowsSince(size_t from) {
        Rows r;
        const auto& ring = w->journal().store().ring;
        for (size_t i = from; i < ring.size(); ++i) {
            const auto& e = ring.at(i);
            if (e.rec.portFailed()) r.failures << QString::fromStdString(lork::journal::cell(e, lork::journal::ColText));
            else ++r.codes[e.rec.kod_rez];
        }
        return r;
    }
};

const QString kPolling = QStringLiteral(" Запущен ПЕРИОДИЧЕСКИЙ опрос (Т= 1c)");

// One pull of the adapter as the window tells it: one box naming the port,
// and journal rows that name the port failure instead of a missing reply.
// `box` is what the window showed; `from` where the cycle's rows begin.
void checkIncident(Window& win, const QByteArray& at, size_t from) {
    QVERIFY2(win.messages.size() == 1, qPrintable(at + ": boxes: " + win.messages.join(" | ")));
    const Window::Rows rows = win.rowsSince(from);
    QVERIFY2(!rows.failures.isEmpty(), at + ": no journal row names the port failure");
    // Which step meets the dead line first (the write, the wait for the
    // reply, the activation's set-up) is the line's race, not the window's.
    static const QRegularExpression failure(QStringLiteral("^(ошибка при передаче= \\d+|ошибка при приёме|ошибка настройки порта); Порт "));
    for (const QString& f : rows.failures) QVERIFY2(failure.match(f).hasMatch(), qPrintable(at + ": " + f));
    // Nothing was sent, so nothing went unanswered.
    QVERIFY2(rows.codes.count(lork::KOD_NO_REPLY) == 0, at + ": a port failure logged as no reply");
}

}  // namespace

class TestReplug : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void pollingStartsAgain_data();
    void pollingStartsAgain();
    void queryReadsAgain_data() { pollingStartsAgain_data(); }
    void queryReadsAgain();
};

void TestReplug::initTestCase() {
    if (!have("socat") || !have("ser2net")) QSKIP("socat or ser2net not installed");
}

void TestReplug::pollingStartsAgain_data() {
    QTest::addColumn<Via>("via");
    QTest::newRow("pseudo-terminal") << Via::Tty;
    QTest::newRow("tcp:// (socat)") << Via::Tcp;
    QTest::newRow("rfc2217:// (ser2net)") << Via::Rfc2217;
}

void TestReplug::pollingStartsAgain() {
    QFETCH(Via, via);
    Line line(via);
    QVERIFY2(line.gatewayUp(), "the gateway did not listen");
    std::string why;
    QVERIFY2(line.up(&why), why.c_str());
    Window win(line.name());
    QCOMPARE(win.messages, QStringList{});
    auto* period = win.get<QComboBox>("CBtime_opros");
    period->setCurrentIndex(0);  // every second
    emit period->activated(0);

    for (int cycle = 0; cycle < cycles(); ++cycle) {
        const QByteArray at = QByteArray("cycle ") + QByteArray::number(cycle);
        win.get<QAbstractButton>("RGtyp_opros_0")->click();
        win.pusk()->click();
        QVERIFY2(win.pusk()->isChecked(), at);
        QTRY_COMPARE_WITH_TIMEOUT(win.status(), kPolling, kNoticeMs);
        QVERIFY2(win.messages.isEmpty(), qPrintable(at + ": " + win.messages.join(" | ")));

        const size_t from = win.journalSize();
        line.down();
        // The tick that finds the line gone ends polling and raises the button.
        QTRY_VERIFY_WITH_TIMEOUT(!win.pusk()->isChecked(), kNoticeMs);
        QCOMPARE(win.get<QButtonGroup>("RGtyp_opros_group")->checkedId(), 1);
        // Closing the box activates the window again, and its set-up finds
        // no line: a port that failed to open is lost all the same, and the
        // same failure is no second box.
        win.w->FormActivate();
        checkIncident(win, at, from);
        if (QTest::currentTestFailed()) return;
        win.messages.clear();
        QVERIFY2(line.up(&why), why.c_str());
    }
    win.get<QAbstractButton>("RGtyp_opros_0")->click();
    win.pusk()->click();
    QTRY_COMPARE_WITH_TIMEOUT(win.status(), kPolling, kNoticeMs);
    QCOMPARE(win.messages, QStringList{});
    QCOMPARE(win.w->ls().port_name, line.name());
}

void TestReplug::queryReadsAgain() {
    QFETCH(Via, via);
    Line line(via);
    QVERIFY2(line.gatewayUp(), "the gateway did not listen");
    std::string why;
    QVERIFY2(line.up(&why), why.c_str());
    Window win(line.name());
    QCOMPARE(win.messages, QStringList{});
    auto* query = win.get<QAbstractButton>("Bzapros");
    auto* res = win.get<QLineEdit>("LEres");

    for (int cycle = 0; cycle < cycles(); ++cycle) {
        const QByteArray at = QByteArray("cycle ") + QByteArray::number(cycle);
        const size_t from = win.journalSize();
        line.down();
        res->clear();
        query->click();
        QVERIFY2(res->text().isEmpty(), at);
        win.w->FormActivate();  // the box closed
        win.w->readings().Ed_nameClick();  // a page's read, still without the adapter
        checkIncident(win, at, from);
        if (QTest::currentTestFailed()) return;
        win.messages.clear();

        QVERIFY2(line.up(&why), why.c_str());
        query->click();
        QVERIFY2(win.messages.isEmpty(), qPrintable(at + ": " + win.messages.join(" | ")));
        QVERIFY2(!res->text().isEmpty(), at + ": R not read");
    }
    QCOMPARE(win.w->ls().port_name, line.name());
}

QTEST_MAIN(TestReplug)
#include "tst_replug.moc"
