// The window's own port against gateways on a bad day (hostile_server.py on
// the loopback) and against names that can name no gateway. The window's
// start and one "запрос" must end by themselves within their deadlines,
// without a spin and without holding what the server pours in; a name that
// can name no gateway is refused before anything is connected. Bounds are
// generous (a loaded machine): they catch a hang or a spin, they time nothing.
#include <QAbstractButton>
#include <QElapsedTimer>
#include <QFile>
#include <QtTest>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>

#include "app/tfglav.h"
#include "gui_fixture.h"
#include "support/child_process.h"
#include "support/temp_dir.h"

namespace {

double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

long rssKb() {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').first().toLong();
    return 0;
}

// hostile_server.py in one mode; it prints the port it listens on first.
class Server {
public:
    explicit Server(const QString& mode) {
        proc_.start({"/usr/bin/python3", LORK_HOSTILE_SERVER, mode.toStdString(), "60"}, dir_ / "out");
        QFile f(QString::fromStdString(dir_ / "out"));
        for (int i = 0; i < 100 && port_ == 0; ++i) {
            QTest::qWait(50);
            if (f.open(QIODevice::ReadOnly)) {
                port_ = f.readLine().trimmed().toInt();
                f.close();
            }
        }
    }
    int port() const { return port_; }

private:
    lork::test::TempDir dir_;
    lork::test::ChildProcess proc_;
    int port_ = 0;
};

}  // namespace

class TestHostile : public QObject {
    Q_OBJECT
private slots:
    void queryEndsBounded_data();
    void queryEndsBounded();
    void badGatewayNameConnectsNothing();
};

void TestHostile::queryEndsBounded_data() {
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("scheme");
    QTest::addColumn<double>("bound");
    // Set-up waits are 2 s, tried twice: at the start, and once more by the
    // query, whose other exchanges are not tried on a port that failed.
    QTest::newRow("flood") << "flood" << "tcp" << 8.0;
    QTest::newRow("flood after set-up") << "flood2217" << "rfc2217" << 8.0;
    QTest::newRow("endless IAC NOP") << "nop" << "rfc2217" << 10.0;
    QTest::newRow("endless IAC SB") << "sb" << "rfc2217" << 10.0;
    QTest::newRow("no acknowledgement") << "noack" << "rfc2217" << 10.0;
    QTest::newRow("a byte a second") << "slow" << "rfc2217" << 10.0;
    QTest::newRow("reset mid-reply") << "reset" << "tcp" << 8.0;
}

void TestHostile::queryEndsBounded() {
    QFETCH(QString, mode);
    QFETCH(QString, scheme);
    QFETCH(double, bound);
    Server server(mode);
    if (server.port() == 0) QSKIP("the hostile server did not start");
    const std::string name = scheme.toStdString() + "://127.0.0.1:" + std::to_string(server.port());

    const long rss0 = rssKb();
    const double cpu0 = cpuSeconds();
    QElapsedTimer took;
    took.start();
    lork::test::ProgramWindow win(name);
    win.get<QAbstractButton>("Bzapros")->click();
    const double wall = double(took.elapsed()) / 1000.0;
    const double cpu = cpuSeconds() - cpu0;
    const double grown_mb = double(rssKb() - rss0) / 1024.0;
    qInfo("%s: %.2f s, processor %.0f%%, memory +%.1f MB, %lld boxes", qPrintable(mode), wall, 100.0 * cpu / wall,
          grown_mb, qlonglong(win.messages.size()));
    QVERIFY2(wall < bound, qPrintable(QString("took %1 s").arg(wall)));
    QVERIFY2(cpu < 0.2 * wall + 0.3, qPrintable(QString("%1 s of processor in %2 s").arg(cpu).arg(wall)));
    QVERIFY2(grown_mb < 64, qPrintable(QString("memory grew by %1 MB").arg(grown_mb)));
    // One box for the start and one for the query at most, whatever failed.
    QVERIFY2(win.messages.size() <= 2, qPrintable(win.messages.join(" | ")));
}

// A port number past 65535 would wrap onto a real port (99999 is 34463):
// a listener there must see no connection, and the operator the reason.
void TestHostile::badGatewayNameConnectsNothing() {
    const int s = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    QVERIFY(bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 && listen(s, 4) == 0);
    getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
    const std::string name = "tcp://127.0.0.1:" + std::to_string(ntohs(a.sin_port) + 65536);

    lork::test::ProgramWindow win(name);
    win.get<QAbstractButton>("Bzapros")->click();
    QTest::qWait(200);
    const int got = accept(s, nullptr, nullptr);
    close(s);
    QVERIFY2(got < 0, "a connection was made");
    QVERIFY2(!win.messages.isEmpty() && win.messages.join(' ').contains(QStringLiteral("неверный адрес шлюза")),
             qPrintable(win.messages.join(" | ")));
}

QTEST_MAIN(TestHostile)
#include "tst_hostile.moc"
