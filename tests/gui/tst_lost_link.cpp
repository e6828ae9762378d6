// An instrument or a port that is gone, as the window shows it: one message
// per command, values that stay but are marked stale, since when the link
// has been silent.
#include <QAction>
#include <QLineEdit>
#include <QListWidget>
#include <QAbstractButton>
#include <QTimer>
#include <QToolButton>
#include <QtTest>
#include <cerrno>

#include "gui_fixture.h"
#include "pages/readings.h"
#include "platform/base/error_words.h"
#include "sim/instrument_model.h"
#include "support/sim_attach.h"
#include "widgets/announcer.h"

namespace {

struct Rig : lork::test::GuiRig {
    lork::sim::InstrumentModel model;
    Rig() : GuiRig({"COM1"}) {
        lork::test::attachToFakePort(port, model);
        w->core().link.Port_setup(w->ls().scor_code);
        lork::setFoundScor(w->st().found_scor, w->ls().adr, w->ls().scor_code);
    }
    bool stale(const char* name) const { return find<QWidget>(name)->property("stale").toBool(); }
    int infoCount(const QString& part) const { return int(w->infoLines().filter(part).size()); }
    void silence() { port.onWrite = nullptr; }
};

}  // namespace

class TestLostLink : public QObject {
    Q_OBJECT
private slots:
    void oneBoxPerDeadPort();
    void aPressBeginsAPageCommand();
    void silentTickMarksValuesStale();
    void failedSingleReadMarksItsField();
    void malformedPresenceReplyStopsPollingWithThePanel();
    void keptPollingRidesOutFaultyTicks();
    void heardOncePerIncident();
};

// A port that cannot be opened: its box names the port and the cause; each
// query tries the port once and skips its other exchanges, and while the
// port fails for that cause it says so in a line, not in another box.
void TestLostLink::oneBoxPerDeadPort() {
    Rig r;
    r.port.open_errors["COM1"] = ENOENT;
    r.messages.clear();
    r.w->core().link.Port_setup(r.w->ls().scor_code);  // the adapter is out
    const QString cause = QString::fromStdString("\nПорт COM1 не открыть: " + lork::errorWords(ENOENT));
    QCOMPARE(r.messages, QStringList{"ошибка настройки порта" + cause});
    const size_t opens = r.port.opened.size();

    for (int query = 1; query <= 2; ++query) {
        r.w->readings().BzaprosClick();
        QCOMPARE(r.messages.size(), 1);
        QCOMPARE(r.port.opened.size(), opens + size_t(query));
        QCOMPARE(r.infoCount(QStringLiteral("ошибка при передаче= ")), query);
        QCOMPARE(r.infoCount(QStringLiteral("остальные обмены команды не выполнялись")), query);
        QCOMPARE(r.infoCount(QStringLiteral("не дождались ответа")), query);  // the one exchange tried
    }

    // Back in: the next query reads the instrument, without a box.
    r.port.open_errors.clear();
    r.w->readings().BzaprosClick();
    QCOMPARE(r.messages.size(), 1);
    QVERIFY(!r.stale("LEizmproc"));
}

// A page's command has no mark of its own: the operator's press begins it,
// and a command tries a failed port once.
void TestLostLink::aPressBeginsAPageCommand() {
    Rig r;
    r.port.open_errors["COM1"] = ENOENT;
    r.w->core().link.Port_setup(r.w->ls().scor_code);
    const size_t opens = r.port.opened.size();
    QTest::keyClick(r.w.get(), Qt::Key_Shift);
    r.w->readings().LEizmprocDblClick();  // three reads
    QCOMPARE(r.port.opened.size(), opens + 1);
    r.w->readings().LEizmprocDblClick();  // no press between: still that command
    QCOMPARE(r.port.opened.size(), opens + 1);
    QTest::keyClick(r.w.get(), Qt::Key_Shift);
    r.w->readings().LEizmprocDblClick();
    QCOMPARE(r.port.opened.size(), opens + 2);
}

// Polling stopped by a silent presence check leaves the values, faded, and
// the panel says since when; the next good exchange clears both.
void TestLostLink::silentTickMarksValuesStale() {
    Rig r;
    r.now = QDateTime(QDate(2026, 3, 9), QTime(14, 32, 5, 900));
    r.w->readings().BzaprosClick();
    const QString value = r.find<QLineEdit>("LEizmproc")->text();
    QVERIFY(!value.isEmpty());
    QVERIFY(!r.stale("LEizmproc"));
    QCOMPARE(r.w->linkPanelText(), QString());

    r.find<QAbstractButton>("RGtyp_opros_0")->click();
    r.w->toolButton(1)->click();
    r.silence();
    r.w->readings().Timer_oprosTimer();
    QVERIFY(!r.w->pollTimer()->isActive());
    QCOMPARE(r.find<QLineEdit>("LEizmproc")->text(), value);
    for (const char* f : {"LEizmproc", "LEres", "E_CI1", "LE_proc", "LkluchK1"}) QVERIFY2(r.stale(f), f);
    QVERIFY(r.find<QWidget>("LEizmproc")->graphicsEffect());
    QCOMPARE(r.w->linkPanelText(), QStringLiteral("нет связи с 14:32:05"));

    lork::test::attachToFakePort(r.port, r.model);
    r.w->readings().BzaprosClick();
    QCOMPARE(r.w->linkPanelText(), QString());
    for (const char* f : {"LEizmproc", "LEres", "E_CI1"}) QVERIFY2(!r.stale(f), f);
    QVERIFY(!r.find<QWidget>("LEizmproc")->graphicsEffect());
}

void TestLostLink::failedSingleReadMarksItsField() {
    Rig r;
    r.w->readings().BzaprosClick();
    r.silence();
    r.w->readings().LE_procClick();
    QVERIFY(r.stale("LE_proc"));
    QVERIFY(!r.stale("LE_te"));
    QVERIFY(r.w->linkPanelText().startsWith(QStringLiteral("нет связи с ")));
}

namespace {
using Fault = lork::sim::Fault;
const QString kLostTick = QStringLiteral("sys_num=5 перестал отвечать на  scor=9600");

void startPolling(Rig& r) {
    r.w->readings().BzaprosClick();
    r.find<QAbstractButton>("RGtyp_opros_0")->click();
    r.w->toolButton(1)->click();
}
}  // namespace

// One failed presence read ends polling; a reply that fails its checks has
// lost the instrument as surely as silence, and the panel says since when.
void TestLostLink::malformedPresenceReplyStopsPollingWithThePanel() {
    Rig r;
    startPolling(r);
    r.model.setFault(Fault::BadCrc, 1);
    r.w->readings().Timer_oprosTimer();
    QVERIFY(!r.w->pollTimer()->isActive());
    QCOMPARE(int(r.w->readings().periodic_opros()), 0);
    QCOMPARE(r.infoCount(kLostTick), 1);
    QVERIFY(r.w->linkPanelText().startsWith(QStringLiteral("нет связи с ")));
}

// With "не прекращать опрос при сбоях" polling rides out a faulty presence
// read of every kind: each is logged, the values fade and the panel shows;
// the next good tick brings them back, and polling never stopped.
void TestLostLink::keptPollingRidesOutFaultyTicks() {
    Rig r;
    r.find<QAction>("N_keep_polling")->trigger();
    QVERIFY(r.w->ls().keepPolling);
    startPolling(r);
    int failures = 0;
    for (Fault f : {Fault::Silent, Fault::BadCrc, Fault::OtherFunc, Fault::Truncate}) {
        const char* kind = lork::sim::faultName(f);
        r.model.setFault(f, 1);
        r.w->readings().Timer_oprosTimer();
        QVERIFY2(r.w->pollTimer()->isActive(), kind);
        QCOMPARE(r.infoCount(kLostTick), ++failures);
        QVERIFY2(r.stale("LEizmproc"), kind);
        QVERIFY2(r.w->linkPanelText().startsWith(QStringLiteral("нет связи с ")), kind);

        r.w->readings().Timer_oprosTimer();
        QVERIFY2(!r.stale("LEizmproc"), kind);
        QCOMPARE(r.w->linkPanelText(), QString());
    }
    QCOMPARE(int(r.w->readings().opros_active()), 1);
    QVERIFY(r.w->toolButton(1)->isChecked());
}

// What a screen reader hears wherever the focus is: the query's readout,
// the link lost once however many commands meet the silence, and its return.
void TestLostLink::heardOncePerIncident() {
    Rig r;
    const auto told = [&] { return lork::widgets::Announcer::of(r.w.get())->told(); };
    r.w->readings().BzaprosClick();
    QVERIFY2(told().last().startsWith(QStringLiteral("показание 25.5 %, P горит, K1 не горит")),
             qPrintable(told().last()));
    r.silence();
    r.w->readings().BzaprosClick();
    r.w->readings().LEizmprocClick();
    QCOMPARE(told().filter(QStringLiteral("нет связи")), QStringList{QStringLiteral("нет связи с прибором 5")});
    lork::test::attachToFakePort(r.port, r.model);
    r.w->readings().BzaprosClick();
    QCOMPARE(told().filter(QStringLiteral("связь восстановлена")).size(), 1);
    QVERIFY2(told().last().startsWith(QStringLiteral("показание 25.5 %")), qPrintable(told().last()));
}

QTEST_MAIN(TestLostLink)
#include "tst_lost_link.moc"
