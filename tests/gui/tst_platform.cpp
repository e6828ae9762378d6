// The Qt side of the platform and the small controls the windows share:
// the real serial port on a pseudo-terminal, the key state, the number
// conversion, the digit key filter and the up-down control.
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>
#include <cerrno>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include "widgets/conversions.h"
#include "app/tfglav.h"
#include "platform/base/system_clock.h"
#include "widgets/digit_key_filter.h"
#include "widgets/updown.h"
#include "platform/host.h"
#include "platform/qt/key_state.h"
#include "platform/qt/shell_open.h"
#include "platform/linux/tty_port.h"

namespace {

// A pseudo-terminal pair: the program opens the slave by its path, the test
// plays the other end of the line on the master.
struct Pty {
    int master = -1;
    std::string slave;
    Pty() {
        master = posix_openpt(O_RDWR | O_NOCTTY);
        if (master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0) slave = ptsname(master);
    }
    ~Pty() {
        if (master >= 0) ::close(master);
    }
    std::vector<uint8_t> readAll(int waitMs) const {
        std::vector<uint8_t> out;
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < waitMs) {
            uint8_t buf[256];
            const int flags = fcntl(master, F_GETFL);
            fcntl(master, F_SETFL, flags | O_NONBLOCK);
            const ssize_t n = ::read(master, buf, sizeof buf);
            fcntl(master, F_SETFL, flags);
            if (n > 0) out.insert(out.end(), buf, buf + n);
            else QThread::msleep(2);
        }
        return out;
    }
};

// The line settings in force on the slave side, read through the master
// (on Linux both ends share them).
termios lineOf(const Pty& p) {
    termios t{};
    tcgetattr(p.master, &t);
    return t;
}

}  // namespace

class TestPlatform : public QObject {
    Q_OBJECT
private slots:
    void strToInt_data();
    void strToInt();
    void digitFilter_data();
    void digitFilter();
    void upDownEventsAndBounds();
    void keyStateAnswersOnceAndClears();
    void keyStateSwallowsInputWhileAsked();
    void serialOpenErrors();
    void serialConfigureReachesTheLine_data();
    void serialConfigureReachesTheLine();
    void serialBytesBothWays();
    void serialPurgeAndWait();
    void windowPortControlsReachThePty();
    void helpDocumentBesideThenInstalledThenDataDirs();
};

void TestPlatform::strToInt_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("value");
    QTest::newRow("plain") << "12" << true << 12;
    QTest::newRow("leading blanks") << "  7" << true << 7;
    QTest::newRow("negative") << "-3" << true << -3;
    QTest::newRow("dollar hex") << "$1F" << true << 31;
    QTest::newRow("0x hex") << "0x10" << true << 16;
    QTest::newRow("max") << "2147483647" << true << 2147483647;
    QTest::newRow("min") << "-2147483648" << true << int(-2147483648LL);
    QTest::newRow("empty") << "" << false << 0;
    QTest::newRow("blank") << " " << false << 0;
    QTest::newRow("trailing blank") << "7 " << false << 0;
    QTest::newRow("letter") << "7x" << false << 0;
    QTest::newRow("overflow") << "2147483648" << false << 0;
    QTest::newRow("huge") << "99999999999999999999" << false << 0;
    QTest::newRow("sign only") << "-" << false << 0;
    QTest::newRow("hex prefix only") << "0x" << false << 0;
    QTest::newRow("hex digit in decimal") << "1A" << false << 0;
}

void TestPlatform::strToInt() {
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(int, value);
    const auto v = ::strToInt(text);
    QCOMPARE(v.has_value(), ok);
    if (ok) QCOMPARE(*v, value);
    QCOMPARE(notIntegerMessage(text), QStringLiteral("'%1' is not a valid integer value").arg(text));
}

void TestPlatform::digitFilter_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("passes");
    QTest::newRow("0") << int(Qt::Key_0) << "0" << true;
    QTest::newRow("9") << int(Qt::Key_9) << "9" << true;
    QTest::newRow("backspace") << int(Qt::Key_Backspace) << "\b" << true;
    QTest::newRow("letter") << int(Qt::Key_A) << "a" << false;
    QTest::newRow("cyrillic") << 0 << "ф" << false;
    QTest::newRow("minus") << int(Qt::Key_Minus) << "-" << false;
    QTest::newRow("blank") << int(Qt::Key_Space) << " " << false;
    QTest::newRow("left arrow") << int(Qt::Key_Left) << "" << true;
    QTest::newRow("delete") << int(Qt::Key_Delete) << "\x7f" << true;
    QTest::newRow("tab") << int(Qt::Key_Tab) << "\t" << true;
    QTest::newRow("paste") << int(Qt::Key_V) << "\x16" << false;
}

void TestPlatform::digitFilter() {
    QFETCH(int, key);
    QFETCH(QString, text);
    QFETCH(bool, passes);
    QCOMPARE(DigitKeyFilter::passes(key, text), passes);
    // The same filter object serves several edits.
    DigitKeyFilter filter;
    QLineEdit a, b;
    a.installEventFilter(&filter);
    b.installEventFilter(&filter);
    for (QLineEdit* e : {&a, &b}) {
        e->setText(QStringLiteral("4"));
        e->end(false);
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
        QApplication::sendEvent(e, &press);
        const bool changed = e->text() != QStringLiteral("4");
        const bool types = key != Qt::Key_Left && key != Qt::Key_Tab && key != Qt::Key_Delete;
        if (types) QCOMPARE(changed, passes);
        else QCOMPARE(e->text(), QStringLiteral("4"));
    }
}

void TestPlatform::upDownEventsAndBounds() {
    QLineEdit edit;
    UpDown ud;
    ud.setRange(2, 99);
    ud.setPosition(2);
    ud.setAssociate(&edit);
    edit.setText(QStringLiteral("98"));
    QList<int> seen;
    bool refuse = false;
    QObject::connect(&ud, &UpDown::changingEx, [&](bool& allow, int v, UpDown::Direction) {
        seen << v;
        if (refuse) allow = false;
    });
    int clicks = 0;
    QObject::connect(&ud, &UpDown::clicked, [&](UpDown::Direction) { ++clicks; });

    ud.step(UpDown::Up);
    QCOMPARE(edit.text(), QStringLiteral("99"));
    ud.step(UpDown::Up);  // at the top: the event sees 100, the position stays
    QCOMPARE(edit.text(), QStringLiteral("99"));
    QCOMPARE(seen, QList<int>({99, 100}));
    QCOMPARE(clicks, 2);

    edit.setText(QStringLiteral("junk"));  // no number: the last position counts
    ud.step(UpDown::Down);
    QCOMPARE(edit.text(), QStringLiteral("98"));

    refuse = true;
    ud.step(UpDown::Down);
    QCOMPARE(edit.text(), QStringLiteral("98"));
    QCOMPARE(clicks, 3);

    refuse = false;
    ud.setIncrement(50);
    ud.step(UpDown::Down);  // clamped to the bottom
    QCOMPARE(ud.position(), 48);
    ud.step(UpDown::Down);
    QCOMPARE(ud.position(), 2);
    QCOMPARE(seen.last(), -2);

    // Cursor keys in the edit press the arrows.
    ud.setIncrement(1);
    QTest::keyClick(&edit, Qt::Key_Up);
    QCOMPARE(edit.text(), QStringLiteral("3"));
}

void TestPlatform::keyStateAnswersOnceAndClears() {
    lork::KeyState keys;
    keys.install();
    QLineEdit focus;
    QVERIFY(!keys.keyPressedSince(lork::VK_Q));
    QTest::keyClick(&focus, Qt::Key_Q);
    QVERIFY(keys.keyPressedSince(lork::VK_Q));
    QVERIFY(!keys.keyPressedSince(lork::VK_Q));  // asking cleared it
    QVERIFY(!keys.keyPressedSince(lork::VK_X));
    // The X key of a Russian layout types "ч".
    QKeyEvent ru(QEvent::KeyPress, 0, Qt::NoModifier, QStringLiteral("ч"));
    QApplication::sendEvent(&focus, &ru);
    QVERIFY(keys.keyPressedSince(lork::VK_X));
    QVERIFY(!keys.keyPressedSince(lork::VK_Q));
    // Outside a question the keys still reach the program.
    QTest::keyClick(&focus, Qt::Key_X);
    QVERIFY(focus.text().endsWith(QStringLiteral("чx")));
}

void TestPlatform::keyStateSwallowsInputWhileAsked() {
    lork::KeyState keys;
    keys.install();
    QPushButton button;
    int clicks = 0;
    QObject::connect(&button, &QPushButton::clicked, [&] { ++clicks; });
    QLineEdit edit;
    // Events queued while a long operation blocks the loop.
    const QPointF at(5, 5);
    QCoreApplication::postEvent(&button, new QMouseEvent(QEvent::MouseButtonPress, at, at, Qt::LeftButton,
                                                         Qt::LeftButton, Qt::NoModifier));
    QCoreApplication::postEvent(&button, new QMouseEvent(QEvent::MouseButtonRelease, at, at, Qt::LeftButton,
                                                         Qt::NoButton, Qt::NoModifier));
    QCoreApplication::postEvent(&edit, new QKeyEvent(QEvent::KeyPress, Qt::Key_Q, Qt::NoModifier, "q"));
    bool ticked = false;
    QTimer::singleShot(1, [&] { ticked = true; });
    QThread::msleep(10);
    QVERIFY(keys.keyPressedSince(lork::VK_Q));
    QCOMPARE(clicks, 0);                  // no handler ran inside the question
    QCOMPARE(edit.text(), QString());     // the key was only recorded
    QVERIFY(!ticked);                     // nor did a timer fire
}

void TestPlatform::serialOpenErrors() {
    lork::TtyPort port;
    QCOMPARE(port.open("/dev/lork-no-such-port"), uint32_t(ENOENT));
    QVERIFY(!port.isOpen());
    QCOMPARE(port.configure(lork::LineConfig{}), uint32_t(EBADF));
    const uint8_t b = 1;
    QCOMPARE(port.write(&b, 1), uint32_t(EBADF));
    uint8_t buf[4];
    QCOMPARE(port.readAvailable(buf, 4), size_t(0));
    QVERIFY(!port.waitForReadyRead(50));
    QCOMPARE(lork::TtyPort::systemLocation("ttyUSB0"), std::string("/dev/ttyUSB0"));
    QCOMPARE(lork::TtyPort::systemLocation("/dev/pts/4"), std::string("/dev/pts/4"));
}

void TestPlatform::serialConfigureReachesTheLine_data() {
    QTest::addColumn<int>("baud");
    QTest::addColumn<int>("parity");
    QTest::addColumn<int>("stopbits");
    QTest::addColumn<int>("speed");
    QTest::addColumn<int>("parityFlags");  // PARODD as left on the line (a pty drops PARENB)
    QTest::addColumn<bool>("twoStop");
    QTest::newRow("9600 none 1") << 9600 << 0 << 1 << int(B9600) << 0 << false;
    QTest::newRow("19200 code1=even 2") << 19200 << 1 << 2 << int(B19200) << 0 << true;
    QTest::newRow("115200 code2=odd 1") << 115200 << 2 << 1 << int(B115200) << int(PARODD) << false;
    QTest::newRow("4800 none, stop 3 keeps 2") << 4800 << 0 << 3 << int(B4800) << 0 << true;
}

void TestPlatform::serialConfigureReachesTheLine() {
    QFETCH(int, baud);
    QFETCH(int, parity);
    QFETCH(int, stopbits);
    QFETCH(int, speed);
    QFETCH(int, parityFlags);
    QFETCH(bool, twoStop);
    Pty pty;
    QVERIFY(!pty.slave.empty());
    lork::TtyPort port;
    QCOMPARE(port.open(pty.slave), uint32_t(0));
    QVERIFY(port.isOpen());
    // Two stop bits first, so a count other than 1 or 2 shows it is kept.
    QCOMPARE(port.configure({9600, 8, 0, 2}), uint32_t(0));
    QCOMPARE(port.configure({baud, 8, uint8_t(parity), uint8_t(stopbits)}), uint32_t(0));
    const termios t = lineOf(pty);
    QCOMPARE(int(cfgetospeed(&t)), speed);
    QCOMPARE(int(t.c_cflag & PARODD), parityFlags);
    QCOMPARE(int(port.config().parity), parity);
    QCOMPARE(bool(t.c_cflag & CSTOPB), twoStop);
    QCOMPARE(int(t.c_cflag & CSIZE), int(CS8));
    QCOMPARE(int(t.c_cflag & CRTSCTS), 0);
    QCOMPARE(int(t.c_iflag & (IXON | IXOFF)), 0);
    QCOMPARE(int(t.c_lflag & (ICANON | ECHO)), 0);  // raw
    QCOMPARE(int(port.config().stopbits), twoStop ? 2 : 1);
    QCOMPARE(port.config().baud, baud);
    QCOMPARE(port.configure({baud, 9, 0, 1}), uint32_t(EINVAL));
}

void TestPlatform::serialBytesBothWays() {
    Pty pty;
    lork::TtyPort port;
    QCOMPARE(port.open(pty.slave), uint32_t(0));
    QCOMPARE(port.configure({9600, 8, 0, 1}), uint32_t(0));
    // Every byte value crosses unchanged (no translation of CR, LF, XON ...).
    std::vector<uint8_t> all(256);
    for (int i = 0; i < 256; ++i) all[size_t(i)] = uint8_t(i);
    QCOMPARE(port.write(all.data(), all.size()), uint32_t(0));
    QCOMPARE(pty.readAll(300), all);

    const uint8_t reply[] = {0x05, 0x03, 0x02, 0x00, 0x05, 0x89, 0x87, 0x0D, 0x11, 0x13};
    QCOMPARE(::write(pty.master, reply, sizeof reply), ssize_t(sizeof reply));
    QVERIFY(port.waitForReadyRead(1000));
    std::vector<uint8_t> got;
    QElapsedTimer t;
    t.start();
    while (got.size() < sizeof reply && t.elapsed() < 1000) {
        uint8_t buf[3];  // smaller than the reply: reads come in parts
        const size_t n = port.readAvailable(buf, sizeof buf);
        QVERIFY(n <= sizeof buf);
        got.insert(got.end(), buf, buf + n);
        if (n == 0) port.waitForReadyRead(20);
    }
    QCOMPARE(got, std::vector<uint8_t>(reply, reply + sizeof reply));
}

void TestPlatform::serialPurgeAndWait() {
    Pty pty;
    lork::TtyPort port;
    QCOMPARE(port.open(pty.slave), uint32_t(0));
    QCOMPARE(port.configure({9600, 8, 0, 1}), uint32_t(0));
    const uint8_t junk[] = {1, 2, 3};
    QCOMPARE(::write(pty.master, junk, sizeof junk), ssize_t(3));
    QThread::msleep(30);
    port.purgeInput();
    uint8_t buf[8];
    QCOMPARE(port.readAvailable(buf, sizeof buf), size_t(0));
    // Nothing comes: the wait takes its time and says so.
    QElapsedTimer t;
    t.start();
    QVERIFY(!port.waitForReadyRead(40));
    QVERIFY(t.elapsed() >= 39);
    // A second open of a port in use is refused.
    lork::TtyPort other;
    const uint32_t busy = other.open(pty.slave);
    QVERIFY2(busy == EBUSY || busy == EACCES, qPrintable(QString::number(busy)));
    QVERIFY(!other.isOpen());
    // Reopening the same port works; the name of a closed port is free again.
    port.close();
    QVERIFY(!port.isOpen());
    QCOMPARE(port.open(pty.slave), uint32_t(0));
}

void TestPlatform::windowPortControlsReachThePty() {
    Pty pty;
    lork::TtyPort port;
    lork::SystemClock clock;
    QStringList messages;
    TFglav::Platform p{port, clock, {"ttyS0", pty.slave}, {}, {}, {}, pty.slave, {}, {}};
    p.message = [&](const QString& t) { messages << t; };
    TFglav w(std::move(p));
    QVERIFY(!port.isOpen());  // building the window leaves the line alone
    auto choose = [](QComboBox* box, int i) {
        box->setCurrentIndex(i);
        emit box->activated(i);
    };
    choose(w.findChild<QComboBox*>("CBscor"), 2);
    QVERIFY(port.isOpen());
    const termios line = lineOf(pty);
    QCOMPARE(int(cfgetospeed(&line)), int(B19200));
    choose(w.findChild<QComboBox*>("CBstopbit"), 1);
    QVERIFY(lineOf(pty).c_cflag & CSTOPB);
    choose(w.findChild<QComboBox*>("CBparity"), 2);  // "нечёт": odd on the wire
    QVERIFY(lineOf(pty).c_cflag & PARODD);
    choose(w.findChild<QComboBox*>("CBparity"), 1);  // "чёт": even
    QVERIFY(!(lineOf(pty).c_cflag & PARODD));
    QVERIFY2(messages.isEmpty(), qPrintable(messages.join('|')));
    // The bytes of an exchange reach the other end of the line.
    w.core().dev.Read_adr();
    const auto sent = pty.readAll(100);
    QCOMPARE(sent, std::vector<uint8_t>({0x05, 0x03, 0x08, 0x00, 0x00, 0x01, 0x87, 0xEE}));
}

void TestPlatform::helpDocumentBesideThenInstalledThenDataDirs() {
    QTemporaryDir root;
    const QString name = QStringLiteral("Справка по ЛОРК.pdf");
    const QString bin = root.filePath(QStringLiteral("usr/bin"));
    const QString share = root.filePath(QStringLiteral("usr/share/testlork"));
    const QString data = root.filePath(QStringLiteral("data/testlork"));
    for (const QString& d : {bin, share, data}) QVERIFY(QDir().mkpath(d));
    qputenv("XDG_DATA_HOME", root.filePath(QStringLiteral("nohome")).toLocal8Bit());
    qputenv("XDG_DATA_DIRS", root.filePath(QStringLiteral("data")).toLocal8Bit());
    auto touch = [](const QString& path) { QFile f(path); return f.open(QIODevice::WriteOnly); };

    QCOMPARE(lork::helpDocumentPath(bin), QDir(bin).filePath(name));  // none: beside, ignored on open
    QVERIFY(touch(QDir(data).filePath(name)));
    QCOMPARE(lork::helpDocumentPath(bin), QDir(data).filePath(name));
    QVERIFY(touch(QDir(share).filePath(name)));
    QCOMPARE(lork::helpDocumentPath(bin), QDir(share).filePath(name));
    QVERIFY(touch(QDir(bin).filePath(name)));
    QCOMPARE(lork::helpDocumentPath(bin), QDir(bin).filePath(name));
}

QTEST_MAIN(TestPlatform)
#include "tst_platform.moc"
