// The window "монитор линии": reached from the menu and its tool button, it
// refuses the window's own port, listens to a real pseudo-terminal without
// writing to it, shows each frame in its kind's colour and saves them.
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include "app/monitor_tool.h"
#include "core/core_test_util.h"
#include "gui_fixture.h"
#include "widgets/frame_table.h"

namespace mon = lork::monitor;

class TstMonitor : public QObject {
    Q_OBJECT
private slots:
    void reachedRefusesOwnPortListensAndSaves();
};

void TstMonitor::reachedRefusesOwnPortListensAndSaves() {
    lork::test::GuiRig rig({"COM1"});
    auto* item = rig.find<QAction>("N_monitor");
    QCOMPARE(item->text(), QStringLiteral("монитор линии"));
    auto* m = rig.find<MonitorWindow>("Fmonitor");
    QTest::mouseClick(rig.w->toolButton(18), Qt::LeftButton);
    QVERIFY(m->isVisible());
    auto* port = m->findChild<QLineEdit*>(QStringLiteral("Emon_port"));
    auto* start = m->findChild<QPushButton*>(QStringLiteral("Bmon_start"));
    auto* state = m->findChild<QLabel*>(QStringLiteral("Lmon_state"));

    // The window's own port: refused, with the reason and the way out.
    port->setText(QStringLiteral("COM1"));
    QTest::mouseClick(start, Qt::LeftButton);
    QVERIFY(!m->listening());
    QVERIFY2(state->text().contains(QStringLiteral("порт окна")), qPrintable(state->text()));
    QVERIFY(state->text().contains(QStringLiteral("второй адаптер")));

    // A line on a pseudo-terminal: a request and its reply.
    int master = -1, slave = -1;
    char name[128];
    QCOMPARE(openpty(&master, &slave, name, nullptr, nullptr), 0);
    termios t{};
    tcgetattr(slave, &t);
    cfmakeraw(&t);
    tcsetattr(slave, TCSANOW, &t);
    port->setText(QString::fromLatin1(name));
    QTest::mouseClick(start, Qt::LeftButton);
    QVERIFY2(m->listening(), qPrintable(state->text()));
    QCOMPARE(start->text(), QStringLiteral("остановить"));
    const auto request = lork::test::with_crc({5, 3, 0x0A, 0x00, 0x00, 0x08});
    const auto reply = lork::test::reg_reply(5, 3, {10, 100, 50, 1, 0, 1, 1000, 5});
    QCOMPARE(write(master, request.data(), request.size()), ssize_t(request.size()));
    QTest::qWait(50);
    QCOMPARE(write(master, reply.data(), reply.size()), ssize_t(reply.size()));
    FrameTable& table = m->table();
    QTRY_COMPARE_WITH_TIMEOUT(table.rowCount(), 2, 10000);
    QCOMPARE(table.data(table.index(0, FrameTable::ColKind), Qt::DisplayRole).toString(), QStringLiteral("запрос"));
    QCOMPARE(table.data(table.index(1, FrameTable::ColKind), Qt::DisplayRole).toString(), QStringLiteral("ответ"));
    QCOMPARE(table.data(table.index(0, 0), Qt::BackgroundRole).value<QBrush>().color(), FrameTable::colour(mon::Kind::Request));
    QCOMPARE(table.data(table.index(1, 0), Qt::BackgroundRole).value<QBrush>().color(), FrameTable::colour(mon::Kind::Reply));
    QVERIFY(table.data(table.index(1, FrameTable::ColText), Qt::DisplayRole).toString().contains(QStringLiteral("R=10 Ом, N=100, U=50")));

    QTemporaryDir dir;
    const QString pcap = dir.filePath(QStringLiteral("line.pcap"));
    m->askSaveFile = [&](const QString&, const QString&) { return pcap; };
    QTest::mouseClick(m->findChild<QPushButton*>(QStringLiteral("Bmon_pcap")), Qt::LeftButton);
    QCOMPARE(QFileInfo(pcap).size(), qint64(24 + 16 + request.size() + 16 + reply.size()));

    QTest::mouseClick(start, Qt::LeftButton);
    QVERIFY(!m->listening());
    // Nothing reached the line from the monitor.
    fcntl(master, F_SETFL, O_NONBLOCK);
    uint8_t b;
    QCOMPARE(read(master, &b, 1), ssize_t(-1));
    ::close(master);
    ::close(slave);
}

QTEST_MAIN(TstMonitor)
#include "tst_monitor.moc"
