// The time-out page: what it shows of the port's time-outs at each
// baud rate, the bound up-downs, and the two values the operator keeps here.
#include <QLineEdit>
#include <QTabWidget>
#include <QToolButton>
#include <QtTest>

#include "widgets/updown.h"
#include "gui_fixture.h"
#include "pages/timeouts.h"

using lork::test::GuiRig;

namespace {

void typeInto(QLineEdit* e, const QString& text) {
    e->setFocus();
    e->selectAll();
    if (text.isEmpty()) QTest::keyClick(e, Qt::Key_Delete);
    else QTest::keyClicks(e, text);
}

QStringList shown(GuiRig& rig) {
    QStringList out;
    for (const char* n : {"LE_RTI", "LE_RTTM", "LE_RTTC", "LE_WTTM", "LE_WTTC"})
        out << rig.find<QLineEdit>(n)->text();
    return out;
}

// The page takes input only once its tool button has enabled it.
void enablePage(GuiRig& rig) { rig.w->toolButton(7)->click(); }

// Opens the page with its tool button, on a window that is on screen.
void openPage(GuiRig& rig) {
    rig.w->show();
    QVERIFY(QTest::qWaitForWindowExposed(rig.w.get()));
    rig.w->toolButton(7)->click();
}

}  // namespace

class TestTimeouts : public QObject {
    Q_OBJECT
private slots:
    void boundUpDowns_data();
    void boundUpDowns();
    void shownPerRate_data();
    void shownPerRate();
    void displayWaitsForTheNextShowing();
    void typedValues_data();
    void typedValues();
    void typingChecksEveryKeystroke();
    void unboundUpDownOnlyRetakesTheNumber();
    void editedTimeoutsForTheFullSave();
};

void TestTimeouts::boundUpDowns_data() {
    QTest::addColumn<QString>("n");
    QTest::addColumn<int>("min");
    QTest::addColumn<int>("max");
    QTest::addColumn<int>("step");
    QTest::newRow("RTI") << "RTI" << 0 << 30 << 1;
    QTest::newRow("RTTM") << "RTTM" << 0 << 100 << 10;
    QTest::newRow("RTTC") << "RTTC" << 50 << 1000 << 50;
    QTest::newRow("WTTM") << "WTTM" << 0 << 500 << 10;
    QTest::newRow("WTTC") << "WTTC" << 0 << 100 << 10;
}

// The arrows step their own field within its range and touch nothing else.
void TestTimeouts::boundUpDowns() {
    QFETCH(QString, n);
    QFETCH(int, min);
    QFETCH(int, max);
    QFETCH(int, step);
    GuiRig rig;
    enablePage(rig);
    auto* e = rig.w->findChild<QLineEdit*>(QStringLiteral("E_") + n);
    auto* ud = rig.w->findChild<UpDown*>(QStringLiteral("UpDown_") + n);
    QVERIFY(e && ud);
    QCOMPARE(e->text(), QString::number(min));
    QCOMPARE(ud->associate(), e);
    const lork::LineSettings before = rig.w->ls();
    const QStringList displayBefore = shown(rig);

    ud->downButton()->click();  // already at the bottom
    QCOMPARE(e->text(), QString::number(min));
    ud->upButton()->click();
    QCOMPARE(e->text(), QString::number(min + step));
    for (int i = 0; i < (max - min) / step + 3; ++i) ud->upButton()->click();
    QCOMPARE(e->text(), QString::number(max));
    ud->downButton()->click();
    QCOMPARE(e->text(), QString::number(max - step));

    const lork::LineSettings& after = rig.w->ls();
    QCOMPARE(after.RIT, before.RIT);
    QCOMPARE(after.RTTM, before.RTTM);
    QCOMPARE(after.RTTC, before.RTTC);
    QCOMPARE(after.WTTM, before.WTTM);
    QCOMPARE(after.WTTC, before.WTTC);
    QCOMPARE(after.tout_byte, before.tout_byte);
    QCOMPARE(after.tout_pause, before.tout_pause);
    QCOMPARE(shown(rig), displayBefore);
    QVERIFY(rig.messages.isEmpty());
}

void TestTimeouts::shownPerRate_data() {
    QTest::addColumn<int>("entry");  // of CBscor
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("4800") << 0 << QStringList{"4", "20", "16", "0", "0"};
    QTest::newRow("9600") << 1 << QStringList{"2", "10", "8", "0", "0"};
    QTest::newRow("115200") << 5 << QStringList{"1", "2", "2", "0", "0"};
}

// The page shows what the last port set-up configured, never the built-in
// or stored values, and says so in the message panel.
void TestTimeouts::shownPerRate() {
    QFETCH(int, entry);
    QFETCH(QStringList, expected);
    GuiRig rig;
    GuiRig::choose(rig.find<QComboBox>("CBscor"), entry);
    openPage(rig);
    QCOMPARE(rig.w->findChild<QTabWidget*>(QStringLiteral("PageControl1"))->currentIndex(), 3);
    QCOMPARE(shown(rig), expected);
    QCOMPARE(rig.w->statusPanelText(5), QStringLiteral(" таймауты для СОМпорта - ! лучше не трогать !"));
}

// A set-up made while the page is visible shows at its next showing.
void TestTimeouts::displayWaitsForTheNextShowing() {
    GuiRig rig;
    GuiRig::choose(rig.find<QComboBox>("CBscor"), 1);
    openPage(rig);
    const QStringList at9600{"2", "10", "8", "0", "0"};
    QCOMPARE(shown(rig), at9600);
    GuiRig::choose(rig.find<QComboBox>("CBscor"), 0);
    QCOMPARE(rig.w->ls().RIT, 4);
    QCOMPARE(shown(rig), at9600);
    rig.w->toolButton(10)->click();
    rig.w->setStatusMessage(QString());
    rig.w->toolButton(7)->click();
    QCOMPARE(shown(rig), (QStringList{"4", "20", "16", "0", "0"}));
    QCOMPARE(rig.w->statusPanelText(5), QStringLiteral(" таймауты для СОМпорта - ! лучше не трогать !"));
}

void TestTimeouts::typedValues_data() {
    QTest::addColumn<QString>("edit");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("value");  // -1: a message and the old value
    for (const char* e : {"E_tout_byte", "E_tout_pause"}) {
        const QByteArray p = QByteArray(e) + ": ";
        QTest::newRow(p + "7") << e << "7" << 7;
        QTest::newRow(p + "300 keeps low 8 bits") << e << "300" << 44;
        QTest::newRow(p + "hex") << e << "0x1F" << 31;
        QTest::newRow(p + "emptied") << e << "" << -1;
        QTest::newRow(p + "letters") << e << "7a" << -1;
    }
}

void TestTimeouts::typedValues() {
    QFETCH(QString, edit);
    QFETCH(QString, typed);
    QFETCH(int, value);
    GuiRig rig;
    enablePage(rig);
    auto* e = rig.w->findChild<QLineEdit*>(edit);
    const bool isByte = edit == QLatin1String("E_tout_byte");
    uint8_t& field = isByte ? rig.w->ls().tout_byte : rig.w->ls().tout_pause;
    uint8_t& other = isByte ? rig.w->ls().tout_pause : rig.w->ls().tout_byte;
    field = 99;
    other = 98;
    rig.messages.clear();
    e->setText(typed);  // the whole text at once, as pasted
    if (value < 0) {
        QCOMPARE(int(field), 99);
        QCOMPARE(rig.messages, QStringList{QStringLiteral("'%1' is not a valid integer value").arg(typed)});
    } else {
        QCOMPARE(int(field), value);
        QVERIFY(rig.messages.isEmpty());
    }
    QCOMPARE(e->text(), typed);
    QCOMPARE(int(other), 98);
}

// Each keystroke changes the text and is taken at once: typing "-1" passes
// through "-", which is no number, and ends at 255.
void TestTimeouts::typingChecksEveryKeystroke() {
    GuiRig rig;
    enablePage(rig);
    typeInto(rig.find<QLineEdit>("E_tout_byte"), QStringLiteral("-1"));
    QCOMPARE(int(rig.w->ls().tout_byte), 255);
    QCOMPARE(rig.messages, QStringList{QStringLiteral("'-' is not a valid integer value")});
}

// The arrows beside the two fields are not bound to them: a press leaves the
// text as it is and only takes its number again.
void TestTimeouts::unboundUpDownOnlyRetakesTheNumber() {
    GuiRig rig;
    enablePage(rig);
    struct Row {
        const char* edit;
        const char* updown;
        uint8_t lork::LineSettings::*field;
    };
    for (const Row r : {Row{"E_tout_byte", "UpDown_Tout_byte", &lork::LineSettings::tout_byte},
                        Row{"E_tout_pause", "UpDown_Tout_pause", &lork::LineSettings::tout_pause}}) {
        auto* e = rig.find<QLineEdit>(r.edit);
        auto* ud = rig.find<UpDown>(r.updown);
        QVERIFY(ud && !ud->associate());
        QCOMPARE(ud->minimum(), 0);
        QCOMPARE(ud->maximum(), 100);
        e->setText(QStringLiteral("9"));
        rig.w->ls().*r.field = 3;
        ud->upButton()->click();
        QCOMPARE(int(rig.w->ls().*r.field), 9);
        QCOMPARE(e->text(), QStringLiteral("9"));
        ud->downButton()->click();
        QCOMPARE(e->text(), QStringLiteral("9"));

        rig.messages.clear();
        e->setText(QStringLiteral("x"));
        ud->upButton()->click();
        QCOMPARE(int(rig.w->ls().*r.field), 9);
        QCOMPARE(rig.messages, (QStringList{"'x' is not a valid integer value", "'x' is not a valid integer value"}));
    }
}

// What a full save writes: the fields' numbers, kept within their ranges; a
// field without a number gives its up-down's last position.
void TestTimeouts::editedTimeoutsForTheFullSave() {
    GuiRig rig;
    enablePage(rig);
    QCOMPARE(rig.w->timeouts().editedTimeouts(), (std::array<uint16_t, 5>{0, 0, 50, 0, 0}));
    rig.find<UpDown>("UpDown_RTTC")->upButton()->click();
    rig.find<UpDown>("UpDown_WTTM")->upButton()->click();
    typeInto(rig.find<QLineEdit>("E_RTI"), QStringLiteral("7"));
    typeInto(rig.find<QLineEdit>("E_RTTM"), QStringLiteral("5000"));
    typeInto(rig.find<QLineEdit>("E_WTTM"), QStringLiteral("abc"));
    QCOMPARE(rig.w->timeouts().editedTimeouts(), (std::array<uint16_t, 5>{7, 100, 100, 10, 0}));
}

QTEST_MAIN(TestTimeouts)
#include "tst_timeouts.moc"
