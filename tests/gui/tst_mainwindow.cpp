// The main window: navigation, the information and exchange windows, and the
// port controls' handlers running the real link on a FakePort (its controls
// as the operator finds them are in tst_inventory).
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QScopeGuard>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include "app/port_controls.h"
#include "widgets/updown.h"
#include "gui_fixture.h"
#include "pages/readings.h"
#include "platform/base/error_words.h"
#include "protocol/framing.h"
#include "support/temp_dir.h"

using lork::test::GuiRig;

namespace {

QStringList listLines(QListWidget* lb) {
    QStringList out;
    for (int i = 0; i < lb->count(); ++i) out << lb->item(i)->text();
    return out;
}

// Types over the whole text of an edit, as the operator does.
void typeInto(QLineEdit* e, const QString& text) {
    e->setFocus();
    e->selectAll();
    QTest::keyClicks(e, text);
}

// A key that types a character of any script.
void typeChar(QWidget* w, const QString& ch) {
    QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, ch);
    QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, ch);
    QApplication::sendEvent(w, &press);
    QApplication::sendEvent(w, &release);
}

}  // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
private slots:
    void boundToolButtons();
    void statusPanels();
    void pageWidgetGoesIntoItsSheet();
    void navigation_data();
    void navigation();
    void timeoutPageEnabledByItsButton();
    void startDefaults();
    void emptyPortListEndsStart();
    void forcedPortIsInUse();
    void infoWindowClickAndDoubleClick();
    void exchangeWindows_data();
    void exchangeWindows();
    void portChoice_data();
    void portChoice();
    void rateChoiceReconfiguresAtOnce();
    void parityAndStopBits();
    void selectionByCodeRunsNoHandler();
    void portThatFailsToOpen();
    void addressTyping();
    void addressConversionError();
    void addressUpDown();
    void clock();
    void hostGoesThroughReplaceableFunctions();
    void helpThatCannotOpenSaysWhere();
};

// The help and exit buttons run their menu items.
void TestMainWindow::boundToolButtons() {
    GuiRig rig;
    int help = 0, exits = 0;
    connect(rig.find<QAction>("N_spravka"), &QAction::triggered, [&] { ++help; });
    connect(rig.find<QAction>("N_close"), &QAction::triggered, [&] { ++exits; });
    rig.w->show();
    QTest::mouseClick(rig.w->toolButton(13), Qt::LeftButton);
    QCOMPARE(help, 1);
    QTest::mouseClick(rig.w->toolButton(14), Qt::LeftButton);
    QCOMPARE(exits, 1);
    QVERIFY(!rig.w->isVisible());  // exit closed the window
}

// The line settings' panels keep their design widths; the message goes to the last.
void TestMainWindow::statusPanels() {
    GuiRig rig;
    const int widths[] = {80, 80, 120, 100, 100};
    for (int i = 0; i < 5; ++i) QCOMPARE(rig.w->statusPanel(i)->maximumWidth(), widths[i]);
    rig.w->setStatusMessage(QStringLiteral(" идет поиск прибора"));
    QCOMPARE(rig.w->statusPanelText(5), QStringLiteral(" идет поиск прибора"));
    QCOMPARE(rig.w->statusPanelText(4), QStringLiteral("стопбит:"));
}

void TestMainWindow::pageWidgetGoesIntoItsSheet() {
    GuiRig rig;
    auto* page = new QLabel(QStringLiteral("page"));
    rig.w->addPageWidget(1, page);
    QCOMPARE(page->parentWidget(), rig.w->tabSheet(1));
}

void TestMainWindow::navigation_data() {
    QTest::addColumn<int>("button");
    QTest::addColumn<QString>("item");
    QTest::addColumn<int>("page");
    QTest::newRow("показания") << 10 << "N_pokazania" << 0;
    QTest::newRow("параметры") << 9 << "N_params" << 1;
    QTest::newRow("калибровка") << 11 << "N_calibr" << 2;
}

void TestMainWindow::navigation() {
    QFETCH(int, button);
    QFETCH(QString, item);
    QFETCH(int, page);
    GuiRig rig;
    rig.w->show();
    auto* pc = rig.find<QTabWidget>("PageControl1");
    const int elsewhere = page == 1 ? 2 : 1;
    pc->setCurrentIndex(elsewhere);
    QTest::mouseClick(rig.w->toolButton(button), Qt::LeftButton);
    QCOMPARE(pc->currentIndex(), page);
    pc->setCurrentIndex(elsewhere);
    rig.w->findChild<QAction*>(item)->trigger();
    QCOMPARE(pc->currentIndex(), page);
    QVERIFY(!pc->isTabEnabled(3));
}

void TestMainWindow::timeoutPageEnabledByItsButton() {
    GuiRig rig;
    rig.w->show();
    auto* pc = rig.find<QTabWidget>("PageControl1");
    QTest::mouseClick(rig.w->toolButton(7), Qt::LeftButton);
    QCOMPARE(pc->currentIndex(), 3);
    QVERIFY(pc->isTabEnabled(3));
    rig.w->N_pokazaniaClick();
    QCOMPARE(pc->currentIndex(), 0);
    QVERIFY(pc->isTabEnabled(3));  // stays enabled for the rest of the run
}

void TestMainWindow::startDefaults() {
    GuiRig rig;
    const auto& s = rig.w->ls();
    QCOMPARE(s.port_name, std::string("COM1"));
    QCOMPARE(int(s.adr), 5);
    QCOMPARE(s.scor, 9600);
    QCOMPARE(int(s.scor_code), 2);
    QCOMPARE(int(s.parity), 0);
    QCOMPARE(int(s.stopbit), 1);
    QCOMPARE(int(s.time_opros_index), 1);
    QCOMPARE(s.time_opros, 2);
    QCOMPARE(rig.find<QLineEdit>("Esysnum")->text(), QStringLiteral("5"));
    for (unsigned a = 0; a < rig.w->st().found_scor.size(); ++a) QCOMPARE(int(rig.w->st().found_scor[a]), 0);
    QVERIFY(!rig.w->pollTimer()->isActive());
    QCOMPARE(int(rig.w->readings().periodic_opros()), 0);
    QCOMPARE(int(rig.w->readings().opros_active()), 0);
    QVERIFY(rig.w->systemTimer()->isActive());
    QCOMPARE(rig.w->systemTimer()->interval(), 1000);
    // Nothing touches the line while the window is built.
    QVERIFY(rig.port.opened.empty());
    QVERIFY(rig.port.writes.empty());
    QVERIFY(rig.messages.isEmpty());
    // No port chosen yet: the box shows the design-time name.
    auto* ports = rig.find<QComboBox>("CBports");
    QCOMPARE(ports->currentIndex(), -1);
    QCOMPARE(ports->placeholderText(), QStringLiteral("COM1"));
    QCOMPARE(rig.find<QComboBox>("CBscor")->currentText(), QStringLiteral("9600"));
    QCOMPARE(rig.find<QComboBox>("CBparity")->currentText(), QStringLiteral("нет "));
    QCOMPARE(rig.find<QComboBox>("CBstopbit")->currentText(), QStringLiteral("1"));
    QCOMPARE(rig.find<QComboBox>("CBtime_opros")->currentText(), QStringLiteral("2"));
    QCOMPARE(rig.w->windowTitle(), QStringLiteral("проверка связи ПК с прибором ЛОРК по интерфейсу RS485"));
}

void TestMainWindow::emptyPortListEndsStart() {
    GuiRig rig(std::vector<std::string>{});
    QVERIFY(rig.w->startAborted());
    QCOMPARE(rig.messages, QStringList({"список портов пуст"}));
    QCOMPARE(rig.find<QComboBox>("CBports")->count(), 0);
    QVERIFY(rig.port.opened.empty());
    QVERIFY(!rig.w->systemTimer()->isActive());
}

void TestMainWindow::forcedPortIsInUse() {
    GuiRig rig({"ttyS0", "/dev/pts/7"}, "/dev/pts/7");
    QCOMPARE(rig.w->ls().port_name, std::string("/dev/pts/7"));
    QCOMPARE(rig.find<QComboBox>("CBports")->currentText(), QStringLiteral("/dev/pts/7"));
    // The rest of the settings keep their defaults.
    QCOMPARE(rig.w->ls().scor, 9600);
    QCOMPARE(int(rig.w->ls().adr), 5);
    // Loading settings must not take it away again.
    rig.w->ls().port_name = "ttyS0";
    rig.w->ports().applyForcedPort();
    QCOMPARE(rig.w->ls().port_name, std::string("/dev/pts/7"));
}

void TestMainWindow::infoWindowClickAndDoubleClick() {
    GuiRig rig;
    rig.w->resize(1000, 700);
    rig.w->show();
    QVERIFY(QTest::qWaitForWindowExposed(rig.w.get()));
    auto* lb = rig.find<QListWidget>("ListBox1");
    rig.w->addInfoLine(QStringLiteral("первая"));
    rig.w->addInfoLine(QStringLiteral("вторая"));
    rig.w->replaceLastInfoLine(QStringLiteral("замена"));
    QCOMPARE(rig.w->infoLines(), QStringList({"первая", "замена"}));

    QTest::mouseClick(lb->viewport(), Qt::LeftButton, {}, QPoint(10, 5));
    QCOMPARE(lb->count(), 0);
    QVERIFY(lb->isVisible());

    rig.w->addInfoLine(QStringLiteral("строка"));
    QTest::mouseDClick(lb->viewport(), Qt::LeftButton, {}, QPoint(10, 5));
    QVERIFY(!lb->isVisible());

    rig.w->addInfoLine(QStringLiteral("отчёт"));
    rig.w->showInfo();
    QVERIFY(lb->isVisible());
    QCOMPARE(rig.w->infoLines().last(), QStringLiteral("отчёт"));
}

void TestMainWindow::exchangeWindows_data() {
    QTest::addColumn<QByteArray>("tuda");
    QTest::addColumn<QByteArray>("suda");
    QTest::addColumn<QString>("tudaLine");
    QTest::addColumn<QString>("sudaLine");
    QTest::newRow("read 0x0800") << QByteArray::fromHex("05030800000187EE") << QByteArray::fromHex("05030200058987")
                                 << "05 03 08 00 00 01 87 EE " << "05 03 02 00 05 89 87  dl=7";
    QTest::newRow("no reply") << QByteArray::fromHex("05030800000187EE") << QByteArray() << "05 03 08 00 00 01 87 EE "
                              << "нет ответа";
    QTest::newRow("nothing sent") << QByteArray() << QByteArray() << "нет сообщений" << "нет ответа";
    QTest::newRow("stray byte") << QByteArray::fromHex("0103") << QByteArray::fromHex("ff") << "01 03 "
                                << "FF  dl=1";
}

void TestMainWindow::exchangeWindows() {
    QFETCH(QByteArray, tuda);
    QFETCH(QByteArray, suda);
    QFETCH(QString, tudaLine);
    QFETCH(QString, sudaLine);
    GuiRig rig;
    lork::ExchangeRecord rec;
    rec.request.assign(tuda.begin(), tuda.end());
    rec.reply.assign(suda.begin(), suda.end());
    for (int round = 0; round < 2; ++round) rig.w->core().feed.publish(rec);  // the second replaces the first
    // A probe is not shown: the windows keep the last value exchange.
    lork::ExchangeRecord probe;
    probe.probe = true;
    rig.w->core().feed.publish(probe);
    QCOMPARE(listLines(rig.find<QListWidget>("LBtuda")), QStringList{tudaLine});
    QCOMPARE(listLines(rig.find<QListWidget>("LBsuda")), QStringList{sudaLine});
}

void TestMainWindow::portChoice_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("messages");
    QTest::newRow("COMX1") << "COMX1" << QStringList{"ошибка номера порта"};
    QTest::newRow("COM7") << "COM7" << QStringList{};
    QTest::newRow("com12") << "com12" << QStringList{};
    QTest::newRow("comA") << "comA" << QStringList{"ошибка номера порта"};
    QTest::newRow("ttyUSB0") << "ttyUSB0" << QStringList{};
    QTest::newRow("COM") << "COM" << QStringList{};
    QTest::newRow("gateway host") << "tcp://gw.example.com:4001" << QStringList{};
}

void TestMainWindow::portChoice() {
    QFETCH(QString, name);
    QFETCH(QStringList, messages);
    GuiRig rig({"COM1", name.toStdString()});
    GuiRig::choose(rig.find<QComboBox>("CBports"), 1);
    QCOMPARE(rig.messages, messages);
    QCOMPARE(rig.w->ls().port_name, name.toStdString());
    // Set up in every case, then opened once more with the settings.
    QCOMPARE(rig.port.opened, std::vector<std::string>(2, name.toStdString()));
    QVERIFY(rig.port.isOpen());
    QCOMPARE(rig.port.config().baud, 9600);
    QCOMPARE(rig.w->statusPanelText(0), QStringLiteral("ПОРТ:"));
}

void TestMainWindow::rateChoiceReconfiguresAtOnce() {
    GuiRig rig;
    GuiRig::choose(rig.find<QComboBox>("CBscor"), 2);
    QCOMPARE(rig.w->ls().scor, 19200);
    QCOMPARE(int(rig.w->ls().scor_code), 3);
    QVERIFY(rig.port.isOpen());
    QCOMPARE(rig.port.config().baud, 19200);
    QCOMPARE(rig.port.name(), std::string("COM1"));
    // The link's per-rate time-outs follow the code at once.
    QCOMPARE(int(rig.w->ls().RIT), 2);
    QCOMPARE(int(rig.w->ls().RTTM), 6);
    QCOMPARE(int(rig.w->ls().RTTC), 4);
    QCOMPARE(rig.w->statusPanelText(2), QStringLiteral("Скорость:"));
    QVERIFY(rig.messages.isEmpty());
    QVERIFY(rig.port.writes.empty());
}

void TestMainWindow::parityAndStopBits() {
    GuiRig rig;
    GuiRig::choose(rig.find<QComboBox>("CBparity"), 2);
    QCOMPARE(int(rig.w->ls().parity), 2);
    QCOMPARE(int(rig.port.config().parity), 2);
    GuiRig::choose(rig.find<QComboBox>("CBstopbit"), 1);
    QCOMPARE(int(rig.w->ls().stopbit), 2);
    QCOMPARE(int(rig.port.config().stopbits), 2);
    QCOMPARE(int(rig.port.config().parity), 2);
    QCOMPARE(rig.port.opened.size(), size_t(4));
    QCOMPARE(rig.w->statusPanelText(3), QStringLiteral("паритет:"));
    QCOMPARE(rig.w->statusPanelText(4), QStringLiteral("стопбит:"));
}

void TestMainWindow::selectionByCodeRunsNoHandler() {
    GuiRig rig;
    rig.find<QComboBox>("CBscor")->setCurrentIndex(5);
    rig.find<QComboBox>("CBparity")->setCurrentIndex(1);
    rig.find<QComboBox>("CBstopbit")->setCurrentIndex(1);
    rig.find<QComboBox>("CBports")->setCurrentIndex(2);
    QCOMPARE(rig.w->ls().scor, 9600);
    QCOMPARE(int(rig.w->ls().parity), 0);
    QCOMPARE(int(rig.w->ls().stopbit), 1);
    QCOMPARE(rig.w->ls().port_name, std::string("COM1"));
    QVERIFY(rig.port.opened.empty());
}

void TestMainWindow::portThatFailsToOpen() {
    GuiRig rig;
    rig.port.open_errors["COM2"] = 2;
    GuiRig::choose(rig.find<QComboBox>("CBports"), 1);
    const std::string cause = "\nПорт COM2 не открыть: " + lork::errorWords(ENOENT);
    QCOMPARE(rig.messages, QStringList({QString::fromStdString("ошибка настройки порта" + cause)}));
    QCOMPARE(rig.w->ls().port_name, std::string("COM2"));  // the setting keeps its new value
    QVERIFY(!rig.port.isOpen());
}

void TestMainWindow::addressTyping() {
    GuiRig rig;
    rig.w->show();
    auto* e = rig.find<QLineEdit>("Esysnum");
    typeInto(e, QStringLiteral("12"));
    QCOMPARE(e->text(), QStringLiteral("12"));
    QCOMPARE(int(rig.w->ls().adr), 12);
    QVERIFY(rig.port.opened.empty());
    QVERIFY(rig.port.writes.empty());
    QCOMPARE(rig.w->statusPanelText(1), QStringLiteral("Адрес"));

    QTest::keyClick(e, Qt::Key_A);
    for (const char* ch : {"ф", "-", "+", " ", "."}) typeChar(e, QString::fromUtf8(ch));
    QCOMPARE(e->text(), QStringLiteral("12"));
    QTest::keyClick(e, Qt::Key_Backspace);
    QCOMPARE(e->text(), QStringLiteral("1"));
    QCOMPARE(int(rig.w->ls().adr), 1);
    QTest::keyClicks(e, QStringLiteral("300"));  // kept as its low 8 bits, no range check
    QCOMPARE(int(rig.w->ls().adr), 1300 & 0xFF);
    QVERIFY(rig.messages.isEmpty());
}

void TestMainWindow::addressConversionError() {
    GuiRig rig;
    auto* e = rig.find<QLineEdit>("Esysnum");
    e->setText(QStringLiteral("9"));
    e->clear();
    QCOMPARE(rig.messages, QStringList({"'' is not a valid integer value"}));
    QCOMPARE(int(rig.w->ls().adr), 9);
    e->setText(QStringLiteral("7x"));  // pasted text is not filtered
    QCOMPARE(rig.messages.last(), QStringLiteral("'7x' is not a valid integer value"));
    QCOMPARE(int(rig.w->ls().adr), 9);
}

void TestMainWindow::addressUpDown() {
    GuiRig rig;
    auto* e = rig.find<QLineEdit>("Esysnum");
    auto* ud = rig.find<UpDown>("UpDown_adr");
    QVERIFY(ud);
    QCOMPARE(ud->minimum(), 1);
    QCOMPARE(ud->maximum(), 247);
    e->setText(QStringLiteral("12"));
    ud->step(UpDown::Up);  // steps from the edit's number
    QCOMPARE(e->text(), QStringLiteral("13"));
    QCOMPARE(int(rig.w->ls().adr), 13);
    e->setText(QStringLiteral("247"));
    ud->step(UpDown::Up);
    QCOMPARE(e->text(), QStringLiteral("247"));
    QCOMPARE(int(rig.w->ls().adr), 247);
    e->setText(QStringLiteral("1"));
    ud->step(UpDown::Down);
    QCOMPARE(e->text(), QStringLiteral("1"));
    QCOMPARE(int(rig.w->ls().adr), 1);
    QTest::mouseClick(ud->upButton(), Qt::LeftButton);
    QCOMPARE(int(rig.w->ls().adr), 2);
    QVERIFY(rig.port.opened.empty());
}

void TestMainWindow::clock() {
    GuiRig rig;
    rig.now = QDateTime(QDate(2031, 11, 28), QTime(23, 59, 58));
    rig.w->Timer_systemTimer();
    const QString date = rig.find<QLineEdit>("Edit_cur_date")->text();
    const QString time = rig.find<QLineEdit>("Edit_cur_time")->text();
    QVERIFY2(date.startsWith(QStringLiteral("дата ")), qPrintable(date));
    QVERIFY2(date.contains(QStringLiteral("28")) && date.contains(QStringLiteral("31")), qPrintable(date));
    QVERIFY2(time.startsWith(QStringLiteral(" время ")), qPrintable(time));
    QVERIFY2(time.contains(QStringLiteral("59:58")), qPrintable(time));
    QVERIFY2(!time.contains(QStringLiteral("UTC")), qPrintable(time));

    // Whatever the system's language, the window's date speaks Russian; the
    // system's order and separators stay.
    const auto restore = qScopeGuard([saved = QLocale()] { QLocale::setDefault(saved); });
    const struct {
        QLocale locale;
        QString date;
    } cases[] = {{QLocale::c(), QStringLiteral("дата 28 нояб. 2031")},
                 {QLocale(QLocale::English, QLocale::UnitedStates), QStringLiteral("дата 11/28/31")},
                 {QLocale(QLocale::German, QLocale::Germany), QStringLiteral("дата 28.11.31")}};
    for (const auto& c : cases) {
        QLocale::setDefault(c.locale);
        rig.w->Timer_systemTimer();
        QCOMPARE(rig.find<QLineEdit>("Edit_cur_date")->text(), c.date);
    }
}

void TestMainWindow::hostGoesThroughReplaceableFunctions() {
    GuiRig rig;
    lork::Host& host = *rig.w;
    host.messageBox("ошибка при передаче= 5");
    QCOMPARE(rig.messages, QStringList({"ошибка при передаче= 5"}));
    rig.keyHook = [](int vk) { return vk == lork::VK_Q; };
    QVERIFY(host.keyPressedSince(lork::VK_Q));
    QVERIFY(!host.keyPressedSince(lork::VK_X));
    QCOMPARE(rig.key_questions[lork::VK_Q], 1);
    QStringList other;
    rig.w->setMessageFunction([&](const QString& t) { other << t; });
    host.messageBox("x");
    QCOMPARE(other, QStringList({"x"}));
}

void TestMainWindow::helpThatCannotOpenSaysWhere() {
#ifdef Q_OS_WIN
    QSKIP("the data folders follow XDG variables, and the viewer the PATH, on Linux only");
#endif
    lork::test::TempDir data, nothing;
    lork::test::ScopedEnv home("XDG_DATA_HOME", data.path());
    lork::test::ScopedEnv dirs("XDG_DATA_DIRS", nothing.path());
    const QString guide = QString::fromStdString(data / "testlork") + QStringLiteral("/Справка по ЛОРК.pdf");
    GuiRig rig;
    rig.w->N_spravkaClick();
    QCOMPARE(rig.messages.size(), 1);
    QVERIFY2(rig.messages[0].startsWith("Справка не найдена. Файл искали здесь:\n"), qPrintable(rig.messages[0]));
    QVERIFY2(rig.messages[0].contains(QDir::toNativeSeparators(guide)), qPrintable(rig.messages[0]));
    // Found, but no program on the path to open it with.
    QVERIFY(QDir().mkpath(QFileInfo(guide).path()));
    QFile f(guide);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.close();
    lork::test::ScopedEnv path("PATH", nothing.path());
    rig.w->N_spravkaClick();
    QCOMPARE(rig.messages.size(), 2);
    QCOMPARE(rig.messages[1], "Справку " + QDir::toNativeSeparators(guide) + " нечем открыть: нет программы для просмотра PDF.");
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
