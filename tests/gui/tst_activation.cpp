// Activation, deactivation and close of the main window, against the
// in-process instrument simulator on a FakePort in virtual time.
#include <QAbstractButton>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include "app/tfmsetup.h"
#include "gui_fixture.h"
#include "pages/readings.h"
#include "platform/cp1251.h"
#include "protocol/settings_file.h"
#include "sim/instrument_model.h"
#include "support/sim_attach.h"
#include "support/temp_dir.h"

using lork::test::GuiRig;

namespace {

// The window with an instrument at address 5, 9600 bit/s on its port. The
// window's own activations (showing it offscreen) are not relied on: the
// tests call the handlers, and the activation filter, directly.
struct Rig : GuiRig {
    lork::sim::InstrumentModel model;
    Rig() : GuiRig({"COM1", "COM2"}) { lork::test::attachToFakePort(port, model); }
    QString text(const char* name) const { return find<QLineEdit>(name)->text(); }
    size_t writes() const { return port.writes.size(); }
};

}  // namespace

class TestActivation : public QObject {
    Q_OBJECT
private slots:
    void answeringInstrumentIsReadInFull();
    void silentInstrumentChangesNothingButThePanels();
    void recordsTheRateOfTheAddress();
    void addressOutsideTheTableIsNotRecorded();
    void pausedPollingStaysPaused();
    void keptTimeoutFieldsAreShownAgain();
    void unusablePortDoesNotReactivateWithoutEnd();
    void closeSavesInFull();
    void longPortNameWidensItsPanel();
    void instrumentFoundAfterASilentStartIsPolled();
    void portPanelsFollowTheLineInUse();
};

void TestActivation::answeringInstrumentIsReadInFull() {
    Rig r;
    r.w->FormActivate();
    QCOMPARE(int(r.w->st().found_scor[5]), 2);
    // The query, then name and version.
    QVERIFY(!r.text("LEres").isEmpty());
    QVERIFY(!r.text("LEizm_imp").isEmpty());
    QCOMPARE(r.text("Ed_name"), QStringLiteral("ЛОРК-1"));
    QVERIFY(!r.text("Ed_version").isEmpty());
    QCOMPARE(r.w->statusPanelText(0), QStringLiteral(" Порт: COM1"));
    QCOMPARE(r.w->statusPanelText(1), QStringLiteral(" Адрес: 5"));
    QCOMPARE(r.w->statusPanelText(2), QStringLiteral(" Скорость: 9600"));
    QCOMPARE(r.w->statusPanelText(3), QStringLiteral(" паритет: нет "));
    QCOMPARE(r.w->statusPanelText(4), QStringLiteral(" стопбит:1"));
    // The port's time-outs in force are on the time-out page.
    QCOMPARE(r.text("LE_RTI"), QStringLiteral("2"));
    QCOMPARE(r.text("LE_RTTM"), QStringLiteral("10"));
    QCOMPARE(r.w->pollTimer()->interval(), 1000);
    QVERIFY(!r.w->pollTimer()->isActive());
    QCOMPARE(r.text("Esysnum"), QStringLiteral("5"));
    QVERIFY(r.messages.isEmpty());
}

void TestActivation::silentInstrumentChangesNothingButThePanels() {
    Rig r;
    r.port.onWrite = nullptr;
    r.w->setStatusPanelText(2, QStringLiteral("old"));
    const qsizetype lines = r.w->infoLines().size();
    r.w->FormActivate();
    QCOMPARE(r.writes(), size_t(1));  // the probe only
    QCOMPARE(int(r.w->st().found_scor[5]), 0);
    QCOMPARE(r.w->infoLines().size(), lines);
    QVERIFY(r.text("Ed_name").isEmpty());
    QCOMPARE(r.w->statusPanelText(2), QStringLiteral(" Скорость: 9600"));
}

void TestActivation::recordsTheRateOfTheAddress() {
    Rig r;
    r.model.setLine({7, 3, 0, 1});
    r.w->ls().adr = 7;
    r.w->ls().scor = 19200;
    r.w->ls().scor_code = 3;
    r.w->FormActivate();
    QCOMPARE(int(r.w->st().found_scor[7]), 3);
    QCOMPARE(int(r.w->st().found_scor[5]), 0);
    QCOMPARE(r.port.config().baud, 19200);
    QCOMPARE(r.w->statusPanelText(1), QStringLiteral(" Адрес: 7"));
}

void TestActivation::addressOutsideTheTableIsNotRecorded() {
    Rig r;
    r.model.setLine({250, 2, 0, 1});
    r.w->ls().adr = 250;
    const auto before = r.w->st().found_scor;
    r.w->FormActivate();
    QVERIFY(r.w->st().found_scor == before);
    QCOMPARE(r.w->statusPanelText(1), QStringLiteral(" Адрес: 250"));
}

void TestActivation::pausedPollingStaysPaused() {
    Rig r;
    r.w->FormActivate();
    // Periodic polling running: flags set, timer on (the operator's choice).
    r.find<QAbstractButton>("RGtyp_opros_0")->click();
    r.w->toolButton(1)->click();
    QVERIFY(r.w->pollTimer()->isActive());
    r.w->FormDeactivate();
    QVERIFY(!r.w->pollTimer()->isActive());
    r.w->FormActivate();
    QVERIFY(!r.w->pollTimer()->isActive());
    QCOMPARE(int(r.w->readings().opros_active()), 1);
    QCOMPARE(r.w->pollTimer()->interval(), 1000);
}

void TestActivation::keptTimeoutFieldsAreShownAgain() {
    Rig r;
    auto* byte = r.find<QLineEdit>("E_tout_byte");
    byte->setText(QStringLiteral("7"));
    QCOMPARE(int(r.w->ls().tout_byte), 7);
    byte->setText(QStringLiteral("70"));
    r.w->ls().tout_byte = 7;  // as if the field had been left at 7
    r.w->FormActivate();
    QCOMPARE(byte->text(), QStringLiteral("7"));
    QCOMPARE(r.text("E_tout_pause"), QStringLiteral("5"));
}

void TestActivation::unusablePortDoesNotReactivateWithoutEnd() {
    Rig r;
    r.port.open_errors["COM1"] = 2;
    r.w->activationEvent(true);
    QVERIFY(!r.messages.filter(QStringLiteral("ошибка настройки порта\nПорт COM1 не открыть")).isEmpty());
    const qsizetype shown = r.messages.size();
    const size_t opens = r.port.opened.size();
    // The message box closing gives the window the activation back at once:
    // that activation must not run the steps (and their messages) again.
    r.w->activationEvent(true);
    QCOMPARE(r.messages.size(), shown);
    QCOMPARE(r.port.opened.size(), opens);
    // The operator's next activation does: it tries the port again, and the
    // same failure is a line, not another box.
    r.w->activationEvent(true);
    QVERIFY(r.port.opened.size() > opens);
    QCOMPARE(r.messages.size(), shown);
    QVERIFY(!r.w->infoLines().filter(QStringLiteral("ошибка настройки порта: порт COM1")).isEmpty());
}

void TestActivation::closeSavesInFull() {
    lork::test::TempDir dir;
    lork::test::ScopedEnv xdg("XDG_CONFIG_HOME", dir.path());
    Rig r;
    TFMsetup setup(*r.w);
    r.w->setSettingsHolder(&setup);
    r.w->ls().adr = 9;
    r.w->FormClose();
    const std::string file = lork::cp1251ToUtf8(lork::test::read_bytes(
        lork::settingsPath(QCoreApplication::applicationFilePath().toStdString())));
    QVERIFY2(file.find("НОМЕР=9\r\n") != std::string::npos, file.c_str());
    QVERIFY2(file.find("[таймауты]\r\n RIT=") != std::string::npos, file.c_str());
    r.w->setSettingsHolder(nullptr);
}

void TestActivation::longPortNameWidensItsPanel() {
    Rig r;
    QLabel* panel = r.w->statusPanel(0);
    r.w->setStatusPanelText(0, QStringLiteral(" Порт: /dev/serial/by-id/usb-RS485-if00"));
    QVERIFY(panel->width() >= panel->fontMetrics().horizontalAdvance(panel->text()));
    r.w->setStatusPanelText(0, QStringLiteral("ПОРТ:"));  // a short text: the panel's own width again
    QCOMPARE(panel->width(), 80);
}

// The instrument was not there at the start (on another port, or powered
// later): once the operator's query has read it, polling polls it, and the
// status bar names the port the program talks on.
void TestActivation::instrumentFoundAfterASilentStartIsPolled() {
    Rig r;
    const auto sim = r.port.onWrite;
    r.port.onWrite = [sim](lork::test::FakePort& p, const std::vector<uint8_t>& req) {
        if (p.name() == "COM2") sim(p, req);
    };
    r.w->FormActivate();  // COM1: silence
    QCOMPARE(int(r.w->st().found_scor[5]), 0);

    GuiRig::choose(r.find<QComboBox>("CBports"), 1);
    QCOMPARE(r.w->statusPanelText(0), QStringLiteral(" Порт: COM2"));
    r.w->readings().BzaprosClick();
    r.find<QAbstractButton>("RGtyp_opros_0")->click();
    r.w->toolButton(1)->click();
    const size_t before = r.writes();
    r.w->readings().Timer_oprosTimer();
    QCOMPARE(r.writes(), before + 1 + 6);  // the presence read and the query
    QVERIFY(r.w->pollTimer()->isActive());
    QCOMPARE(r.w->statusPanelText(5), QStringLiteral(" Запущен ПЕРИОДИЧЕСКИЙ опрос (Т= 2c)"));
    QVERIFY(r.w->infoLines().filter(QStringLiteral("scor=0")).isEmpty());
}

// Once the activation has written them, the port panels follow every change
// of the line the program talks on, not only the next activation.
void TestActivation::portPanelsFollowTheLineInUse() {
    Rig r;
    r.w->FormActivate();
    GuiRig::choose(r.find<QComboBox>("CBscor"), 2);
    GuiRig::choose(r.find<QComboBox>("CBparity"), 2);
    GuiRig::choose(r.find<QComboBox>("CBstopbit"), 1);
    r.find<QLineEdit>("Esysnum")->setText(QStringLiteral("12"));
    QCOMPARE(r.w->statusPanelText(0), QStringLiteral(" Порт: COM1"));
    QCOMPARE(r.w->statusPanelText(1), QStringLiteral(" Адрес: 12"));
    QCOMPARE(r.w->statusPanelText(2), QStringLiteral(" Скорость: 19200"));
    QCOMPARE(r.w->statusPanelText(3), QStringLiteral(" паритет: нечёт"));
    QCOMPARE(r.w->statusPanelText(4), QStringLiteral(" стопбит:2"));
}

QTEST_MAIN(TestActivation)
#include "tst_activation.moc"
