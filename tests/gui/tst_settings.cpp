// The settings holder on the main window: the file found or created in the
// user's configuration folder, its values in the port controls, the start-up
// presence check, the saves from the tool button and at close.
#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QToolButton>
#include <QtTest>

#include "app/tfmsetup.h"
#include "widgets/updown.h"
#include "gui_fixture.h"
#include "platform/cp1251.h"
#include "protocol/settings_file.h"
#include "protocol/framing.h"
#include "support/temp_dir.h"

using lork::test::GuiRig;
using lork::test::read_bytes;
using lork::test::ScopedEnv;
using lork::test::TempDir;
using lork::test::write_bytes;

namespace {

// UTF-8 INI text with LF line ends -> the file's Windows-1251 bytes with CRLF.
std::string ini(const std::string& text) {
    std::string crlf;
    for (char c : text) {
        if (c == '\n') crlf += '\r';
        crlf += c;
    }
    return lork::utf8ToCp1251(crlf);
}

// The instrument: answers the presence probe (function 3, register 0x0800)
// at one address and one baud rate, with its address as the register value.
void answerProbe(lork::test::FakePort& port, uint8_t adr, int32_t baud) {
    port.onWrite = [adr, baud](lork::test::FakePort& p, const std::vector<uint8_t>& req) {
        if (req.size() != 8 || req[0] != adr || req[1] != 3 || req[2] != 0x08 || req[3] != 0 ||
            p.config().baud != baud)
            return;
        std::vector<uint8_t> reply{adr, 3, 2, 0, adr};
        const uint16_t crc = lork::CRC16(reply.data(), uint16_t(reply.size()));
        reply.push_back(uint8_t(crc & 0xFF));
        reply.push_back(uint8_t(crc >> 8));
        p.arrive(p.clock().now_us + 1000, reply);
    };
}

// A temporary configuration folder with, optionally, a settings file in it,
// the main window on the test doubles, and the settings holder created last.
struct Rig {
    explicit Rig(const std::optional<std::string>& file, std::vector<std::string> ports = {"COM1", "COM2", "COM7"},
                 std::string forced = {}, std::function<void(lork::test::FakePort&)> instrument = {})
        : xdg("XDG_CONFIG_HOME", dir.path()),
          path(lork::settingsPath(QCoreApplication::applicationFilePath().toStdString())),
          gui(std::move(ports), std::move(forced)) {
        if (file) write_bytes(path, ini(*file));
        if (instrument) instrument(gui.port);
        setup = std::make_unique<TFMsetup>(*gui.w);
    }
    TempDir dir;
    ScopedEnv xdg;
    std::string path;
    GuiRig gui;
    std::unique_ptr<TFMsetup> setup;

    lork::LineSettings& ls() { return gui.w->ls(); }
    std::string file() const { return lork::cp1251ToUtf8(read_bytes(path)); }
    template <class T>
    T* find(const char* name) const { return gui.find<T>(name); }
};

const char* const link_defaults =
    "[связь]\nПОРТ=COM1\nНОМЕР=5\nСКОРОСТЬ=9600\nПАРИТЕТ=0\nСТОПБИТ=1\nПЕРИОД ОПРОСА=1\n";

}  // namespace

class TestSettings : public QObject {
    Q_OBJECT
private slots:
    void firstStartCreatesTheFile();
    void firstStartPortIsOneTheSystemHas_data();
    void firstStartPortIsOneTheSystemHas();
    void loadIntoTheControls_data();
    void loadIntoTheControls();
    void startupCheck_data();
    void startupCheck();
    void commandLinePortWins();
    void shortSaveFromTheToolButton();
    void fullSaveWritesTheEditedTimeouts();
    void fileThatCannotBeCreated();
};

void TestSettings::firstStartCreatesTheFile() {
    Rig rig(std::nullopt);
    QVERIFY(rig.path.starts_with(rig.dir.path() + "/"));
    QVERIFY(rig.path.ends_with(".ini"));
    QCOMPARE(QByteArray::fromStdString(read_bytes(rig.path)), QByteArray::fromStdString(ini(link_defaults)));
    QCOMPARE(rig.find<QLineEdit>("Esysnum")->text(), QStringLiteral("5"));
    QCOMPARE(rig.find<UpDown>("UpDown_adr")->position(), 5);
    QCOMPARE(rig.find<QComboBox>("CBscor")->currentText(), QStringLiteral("9600"));
    QCOMPARE(rig.find<QComboBox>("CBparity")->currentIndex(), 0);
    QCOMPARE(rig.find<QComboBox>("CBstopbit")->currentText(), QStringLiteral("1"));
    QCOMPARE(rig.find<QComboBox>("CBports")->currentText(), QStringLiteral("COM1"));
    // The period the activation selects: entry 1, two seconds.
    QCOMPARE(int(rig.ls().time_opros_index), 1);
    QCOMPARE(rig.ls().time_opros, 2);
    QVERIFY(rig.gui.messages.isEmpty());
}

void TestSettings::firstStartPortIsOneTheSystemHas_data() {
    QTest::addColumn<QStringList>("listed");
    QTest::addColumn<QString>("port");
    QTest::newRow("COM1 listed") << QStringList{"COM3", "COM1"} << "COM1";
    QTest::newRow("first USB adapter") << QStringList{"ttyS0", "ttyS1", "ttyACM0", "ttyUSB0"} << "ttyACM0";
    QTest::newRow("no adapter") << QStringList{"ttyS4", "ttyS5"} << "ttyS4";
}

void TestSettings::firstStartPortIsOneTheSystemHas() {
    QFETCH(QStringList, listed);
    QFETCH(QString, port);
    std::vector<std::string> ports;
    for (const QString& p : listed) ports.push_back(p.toStdString());
    Rig rig(std::nullopt, ports);
    QVERIFY(rig.file().find("ПОРТ=" + port.toStdString() + "\r\n") != std::string::npos);
    QCOMPARE(rig.find<QComboBox>("CBports")->currentText(), port);
    QCOMPARE(QString::fromStdString(rig.ls().port_name), port);
}

void TestSettings::loadIntoTheControls_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("adr");
    QTest::addColumn<int>("scor");
    QTest::addColumn<int>("scorEntry");  // of CBscor, -1 none
    QTest::addColumn<int>("parity");
    QTest::addColumn<int>("stopbitEntry");
    QTest::addColumn<int>("periodIndex");
    QTest::addColumn<QString>("port");
    QTest::addColumn<int>("portEntry");

    QTest::newRow("all keys") << "[связь]\nПОРТ=COM7\nНОМЕР=12\nСКОРОСТЬ=115200\nПАРИТЕТ=2\nСТОПБИТ=2\n"
                                 "ПЕРИОД ОПРОСА=7\n"
                              << 12 << 115200 << 5 << 2 << 1 << 7 << "COM7" << 2;
    QTest::newRow("port not listed") << "[связь]\nПОРТ=COM9\nНОМЕР=3\n" << 3 << 9600 << 1 << 0 << 0 << 2
                                     << "COM1" << -1;
    QTest::newRow("14400 is no baud entry") << "[связь]\nСКОРОСТЬ=14400\n" << 1 << 14400 << -1 << 0 << 0 << 2
                                            << "COM1" << 0;
    QTest::newRow("three stop bits") << "[связь]\nСТОПБИТ=3\n" << 1 << 9600 << 1 << 0 << -1 << 2 << "COM1" << 0;
}

void TestSettings::loadIntoTheControls() {
    QFETCH(QString, file);
    QFETCH(int, adr);
    QFETCH(int, scor);
    QFETCH(int, scorEntry);
    QFETCH(int, parity);
    QFETCH(int, stopbitEntry);
    QFETCH(int, periodIndex);
    QFETCH(QString, port);
    QFETCH(int, portEntry);
    Rig rig(file.toStdString());
    const auto& s = rig.ls();
    QCOMPARE(int(s.adr), adr);
    QCOMPARE(rig.find<QLineEdit>("Esysnum")->text(), QString::number(adr));
    QCOMPARE(rig.find<UpDown>("UpDown_adr")->position(), adr);
    QCOMPARE(s.scor, scor);
    QCOMPARE(int(s.scor_code), scorEntry + 1);
    QCOMPARE(rig.find<QComboBox>("CBscor")->currentIndex(), scorEntry);
    QCOMPARE(int(s.parity), parity);
    QCOMPARE(rig.find<QComboBox>("CBparity")->currentIndex(), parity);
    QCOMPARE(rig.find<QComboBox>("CBstopbit")->currentIndex(), stopbitEntry);
    QCOMPARE(int(s.time_opros_index), periodIndex);
    QCOMPARE(s.time_opros, lork::periodTable[size_t(periodIndex)]);
    QCOMPARE(QString::fromStdString(s.port_name), port);
    QCOMPARE(rig.find<QComboBox>("CBports")->currentIndex(), portEntry);
    QVERIFY(rig.gui.messages.isEmpty());
}

void TestSettings::startupCheck_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("answersAt");  // baud rate the instrument listens at, 0 none
    QTest::addColumn<int>("adr");
    QTest::addColumn<int>("found");
    QTest::addColumn<QStringList>("messages");
    QTest::newRow("answers") << "[связь]\nНОМЕР=7\nСКОРОСТЬ=19200\n" << 19200 << 7 << 3 << QStringList{};
    QTest::newRow("silent") << "[связь]\nНОМЕР=7\nСКОРОСТЬ=19200\n" << 0 << 7 << 0 << QStringList{};
    QTest::newRow("other rate") << "[связь]\nНОМЕР=7\nСКОРОСТЬ=19200\n" << 9600 << 7 << 0 << QStringList{};
    QTest::newRow("unlisted rate answering") << "[связь]\nНОМЕР=200\nСКОРОСТЬ=14400\n" << 14400 << 200 << 0
                                            << QStringList{};
    QTest::newRow("rate 0") << "[связь]\nНОМЕР=7\nСКОРОСТЬ=0\n" << 0 << 7 << 0
                            << QStringList{"выберите скорость, не=0"};
}

// The first request on the line is the presence probe at the loaded address
// and rate; its answer is remembered for that address only.
void TestSettings::startupCheck() {
    QFETCH(QString, file);
    QFETCH(int, answersAt);
    QFETCH(int, adr);
    QFETCH(int, found);
    QFETCH(QStringList, messages);
    Rig rig(file.toStdString(), {"COM1"}, {}, [&](lork::test::FakePort& p) {
        if (answersAt) answerProbe(p, uint8_t(adr), answersAt);
    });
    const auto& st = rig.gui.w->st();
    QCOMPARE(int(st.found_scor[size_t(adr)]), found);
    for (size_t a = 1; a < st.found_scor.size(); ++a)
        if (a != size_t(adr)) QCOMPARE(int(st.found_scor[a]), 0);
    QCOMPARE(rig.gui.messages, messages);
    if (!messages.isEmpty()) {
        QVERIFY(rig.gui.port.writes.empty());
        return;
    }
    QVERIFY(!rig.gui.port.writes.empty());
    const auto& first = rig.gui.port.writes.front();
    QCOMPARE(first.cfg.baud, rig.ls().scor);
    QCOMPARE(int(first.bytes.at(0)), adr);
    QCOMPARE(int(first.bytes.at(1)), 3);
    QCOMPARE(int(first.bytes.at(2)), 0x08);
    QCOMPARE(int(first.bytes.at(3)), 0x00);
}

// A port given on the command line is used whatever the file says, and the
// start-up check already talks through it.
void TestSettings::commandLinePortWins() {
    Rig rig(std::string("[связь]\nПОРТ=COM2\nНОМЕР=4\n"), {"COM1", "COM2", "/dev/pts/9"}, "/dev/pts/9",
            [](lork::test::FakePort& p) { answerProbe(p, 4, 9600); });
    QCOMPARE(rig.ls().port_name, std::string("/dev/pts/9"));
    QCOMPARE(rig.find<QComboBox>("CBports")->currentText(), QStringLiteral("/dev/pts/9"));
    QVERIFY(!rig.gui.port.opened.empty());
    QCOMPARE(rig.gui.port.opened.back(), std::string("/dev/pts/9"));
    QCOMPARE(int(rig.gui.w->st().found_scor[4]), 2);
}

// "сохр.в INI" writes the line settings as they stand in the controls and
// leaves the time-outs alone.
void TestSettings::shortSaveFromTheToolButton() {
    const std::string timeouts = "[таймауты]\n RIT=31\n RTTM=6\n RTTC=226\n WTTM=1\n WTTC=2\n";
    Rig rig("[связь]\nПОРТ=COM2\nНОМЕР=3\nСКОРОСТЬ=4800\n" + timeouts);
    QLineEdit* e = rig.find<QLineEdit>("Esysnum");
    e->selectAll();
    QTest::keyClicks(e, QStringLiteral("12"));
    GuiRig::choose(rig.find<QComboBox>("CBparity"), 1);
    rig.gui.w->toolButton(4)->click();
    QCOMPARE(QString::fromStdString(rig.file()),
             QString::fromStdString("[связь]\r\nПОРТ=COM2\r\nНОМЕР=12\r\nСКОРОСТЬ=4800\r\nПАРИТЕТ=1\r\nСТОПБИТ=1\r\n"
                                    "ПЕРИОД ОПРОСА=2\r\n[таймауты]\r\n RIT=31\r\n RTTM=6\r\n RTTC=226\r\n WTTM=1\r\n"
                                    " WTTC=2\r\n"));
    QVERIFY(rig.gui.messages.isEmpty());
}

// The close writes both sections; the time-outs are the time-out page's
// editable fields, which then become the current ones until the next set-up.
void TestSettings::fullSaveWritesTheEditedTimeouts() {
    Rig rig(std::nullopt);
    rig.gui.w->toolButton(7)->click();
    rig.find<UpDown>("UpDown_RTTC")->upButton()->click();
    rig.find<UpDown>("UpDown_RTI")->upButton()->click();
    QVERIFY(rig.setup->Save_settings(true));
    QCOMPARE(QString::fromStdString(rig.file()).split(QLatin1Char('\n')),
             QString::fromStdString(std::string("[связь]\r\nПОРТ=COM1\r\nНОМЕР=5\r\nСКОРОСТЬ=9600\r\nПАРИТЕТ=0\r\n"
                                    "СТОПБИТ=1\r\nПЕРИОД ОПРОСА=1\r\n\r\n[таймауты]\r\n RIT=1\r\n RTTM=0\r\n"
                                    " RTTC=100\r\n WTTM=0\r\n WTTC=0\r\n")).split(QLatin1Char('\n')));
    const auto& s = rig.ls();
    QCOMPARE(s.RIT, 1);
    QCOMPARE(s.RTTC, 100);
    QCOMPARE(s.RTTM, 0);
}

// No file can be made (the configuration folder's place is taken by a plain
// file): the reason is shown once, the program goes on with its built-in
// settings, probes nothing at start, and each save says it failed.
void TestSettings::fileThatCannotBeCreated() {
    TempDir dir;
    write_bytes(dir / "plain", "x");
    ScopedEnv xdg("XDG_CONFIG_HOME", dir / "plain/config");
    GuiRig gui;
    TFMsetup setup(*gui.w);
    QCOMPARE(gui.messages.size(), 1);
    QVERIFY(gui.messages.first().contains(QLatin1String("plain/config")));
    QCOMPARE(gui.w->findChild<QLineEdit*>(QStringLiteral("Esysnum"))->text(), QStringLiteral("5"));
    QVERIFY(gui.port.writes.empty());
    gui.w->toolButton(4)->click();
    QCOMPARE(gui.messages.size(), 2);
}

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"
