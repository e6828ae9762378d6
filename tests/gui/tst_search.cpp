// The device search driven through the menu of a real main window, against
// simulated instruments on a FakePort in virtual time: what the operator sees
// (information window, status bar, message window, message boxes) and what
// stays in force afterwards (address, rate, port, table, polling timer).
#include <QAbstractButton>
#include <QAccessible>
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QListWidget>
#include <QRegularExpression>
#include <QTimer>
#include <QToolButton>
#include <QCloseEvent>
#include <QtTest>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

#include "app/tfmsg.h"
#include "gui_fixture.h"
#include "platform/qt/key_state.h"
#include "platform/linux/tty_port.h"
#include "sim/instrument_model.h"
#include "sim/wire_timing.h"

using lork::test::FakePort;
using lork::test::GuiRig;

namespace {

// Several instruments on one line: each hears every request, only the one
// addressed at its own line settings answers.
void attachModels(FakePort& port, std::vector<lork::sim::InstrumentModel*> models,
                  std::function<void(const std::vector<uint8_t>&)> onRequest = {}) {
    port.onWrite = [models, onRequest](FakePort& p, const std::vector<uint8_t>& req) {
        if (onRequest) onRequest(req);
        const lork::LineConfig cfg = p.config();
        const int64_t ch = lork::sim::charTimeUs(cfg.baud, cfg.parity, cfg.stopbits);
        const int64_t start = p.clock().now_us + ch * int64_t(req.size()) +
                              lork::sim::frameSilenceUs(cfg.baud, cfg.parity, cfg.stopbits);
        for (auto* m : models) {
            const auto& line = m->line();
            if (cfg.baud != line.baud() || cfg.parity != line.parity || cfg.stopbits != line.stopbit) continue;
            const auto r = m->handle(req);
            if (!r.bytes.empty()) p.arriveSpaced(start + ch, r.bytes, ch);
            m->commitAfterReply();
        }
    };
}

std::unique_ptr<lork::sim::InstrumentModel> instrument(uint8_t adr, uint8_t code) {
    auto m = std::make_unique<lork::sim::InstrumentModel>();
    m->setLine({adr, code, 0, 1});
    return m;
}

QStringList lines(QListWidget* lb) {
    QStringList out;
    for (int i = 0; i < lb->count(); ++i) out << lb->item(i)->text();
    return out;
}

// The address a request is for (the sweep's progress, seen from the line).
int requestAdr(const std::vector<uint8_t>& req) { return req.empty() ? -1 : req[0]; }

struct Rig {
    GuiRig g;
    TFmsg msg{g.w.get()};
    Rig() {
        g.w->setMessageWindow(&msg);
        auto& ls = g.w->ls();
        ls.port_name = "COM1";
        ls.adr = 5;
        ls.scor = 9600;
        ls.scor_code = 2;
        ls.parity = 0;
        ls.stopbit = 1;
        g.w->core().link.Port_setup(2);
    }
    TFglav& w() { return *g.w; }
    QListWidget* info() { return g.find<QListWidget>("ListBox1"); }
    lork::LineSettings& ls() { return g.w->ls(); }
    lork::FoundScor& table() { return g.w->st().found_scor; }
    void run(QAction* a) { a->trigger(); }
    QAction* num() { return g.find<QAction>("N_poisk_num"); }
    QAction* scor() { return g.find<QAction>("N_poisk_scor"); }
    QAction* pribor() { return g.find<QAction>("N_poisk_pribor"); }
    QAction* answer() { return g.find<QAction>("N_yes_otvet"); }
    QAction* fast() { return g.find<QAction>("N_poisk_fast"); }
};

const QString kSummaryTail = QStringLiteral("  :! паритет:0 стопбит:1 !");

}  // namespace

class TestSearch : public QObject {
    Q_OBJECT
private slots:
    void addressSweepFindsOne();
    void progressFillsFourLines();
    void twoInstruments();
    void fullSweepLines();
    void sweepShowsProgress();
    void fullSweepAppliesRateAndCode();
    void quitKeyEndsSweep_data();
    void quitKeyEndsSweep();
    void rateSearch();
    void pollingAfterSearchAsBefore_data();
    void pollingAfterSearchAsBefore();
    void nobodyAnswers();
    void abandonedProbe_data();
    void abandonedProbe();
    void answerCheck();
    void tableNeverIndexedOutside();
    void realKeyLayerDuringSweep();
    void nothingElseRunsDuringSearch();
    void reopenOnARealTty();
    void fastSearch();
};

// The fast search finds instruments at any of the six rates, reports them as
// the address sweep does and goes to the first; with nobody there it says so
// and the line stays as it was.
void TestSearch::fastSearch() {
    Rig r;
    QCOMPARE(r.fast()->text(), QStringLiteral("быстрый поиск"));
    auto a = instrument(200, 6), b = instrument(7, 3);
    attachModels(r.g.port, {a.get(), b.get()});
    r.run(r.fast());
    const QStringList l = lines(r.info());
    QVERIFY2(l.contains(QStringLiteral("на скорости 19200 отозвался №7  [ Pb=0 , Sb=1 ]")), qPrintable(l.join('\n')));
    QVERIFY(l.contains(QStringLiteral("на скорости 115200 отозвался №200  [ Pb=0 , Sb=1 ]")));
    QCOMPARE(l.last(), QStringLiteral("Ответилo:2 приборов:   №№:  7 200 ") + kSummaryTail);
    QCOMPARE(r.ls().adr, uint8_t(7));
    QCOMPARE(r.ls().scor, 19200);
    QCOMPARE(r.g.port.config().baud, 19200);
    QCOMPARE(r.table()[200], uint8_t(6));
    QVERIFY(r.g.messages.isEmpty());
    QVERIFY(!r.msg.isVisible());

    Rig none;
    attachModels(none.g.port, {});
    none.run(none.fast());
    QCOMPARE(none.g.messages, QStringList{QStringLiteral(
                                  "быстрый поиск: не отвечает ни один номер из 1..247 ни на одной скорости при Pb=0 и Sb=1")});
    QCOMPARE(none.ls().adr, uint8_t(5));
    QCOMPARE(none.ls().scor, 9600);
    QCOMPARE(none.g.port.config().baud, 9600);
}

void TestSearch::addressSweepFindsOne() {
    Rig r;
    auto m = instrument(5, 2);
    attachModels(r.g.port, {m.get()});
    r.ls().adr = 17;
    r.run(r.num());

    QCOMPARE(r.ls().adr, uint8_t(5));
    QCOMPARE(r.ls().scor, 9600);
    for (unsigned a = 1; a <= 247; ++a) QCOMPARE(r.table()[a], uint8_t(a == 5 ? 2 : 0));
    const QStringList l = lines(r.info());
    QCOMPARE(l.size(), 9);
    QCOMPARE(l[0], QStringLiteral(" ищем отвечающий № на скорости 9600  [ Pb=0, Sb=1 ]"));
    QCOMPARE(l[1], QStringLiteral(" начало в: 07:05:04 ..."));
    QCOMPARE(l[2], QString(6, QLatin1Char('.')) + QStringLiteral("5 ") + QString(70, QLatin1Char('.')));
    QVERIFY(l[6].startsWith(QStringLiteral(" 07:05:")) && l[6].contains(QStringLiteral(" прошло    00:00:")));
    QVERIFY(l[6].endsWith(QStringLiteral(" мс ")));
    QCOMPARE(l[7], QStringLiteral("Ответилo:1 приборов:   №№:  5 ") + kSummaryTail);
    QCOMPARE(l[8], QStringLiteral("на скорости 9600 отозвался №5  [ Pb=0 , Sb=1 ]"));
    QCOMPARE(r.w().statusPanelText(1), QStringLiteral(" Номер: 5"));
    QCOMPARE(r.w().statusPanelText(2), QStringLiteral(" Скорость Обмена: 9600"));
    QCOMPARE(r.w().statusPanelText(5), QStringLiteral(" "));
    QVERIFY(r.g.messages.isEmpty());
    QVERIFY(!r.msg.isVisible());
    QVERIFY(!r.w().pollTimer()->isActive());
    QCOMPARE(r.g.port.config().baud, 9600);
}

void TestSearch::progressFillsFourLines() {
    Rig r;
    auto m75 = instrument(75, 2), m226 = instrument(226, 2);
    attachModels(r.g.port, {m75.get(), m226.get()});
    r.run(r.num());
    const QStringList l = lines(r.info());
    QCOMPARE(l.size(), 9);
    const QString dot(1, QLatin1Char('.'));
    QCOMPARE(l[2], dot.repeated(76) + QStringLiteral("75 "));
    QCOMPARE(l[3], QStringLiteral(" ") + dot.repeated(75));
    QCOMPARE(l[4], QStringLiteral(" ") + dot.repeated(75));
    QCOMPARE(l[5], QStringLiteral(" .226 ") + dot.repeated(21));
    QCOMPARE(l[7], QStringLiteral("Ответилo:2 приборов:   №№:  75 226 ") + kSummaryTail);
    QCOMPARE(r.ls().adr, uint8_t(75));
}

void TestSearch::twoInstruments() {
    for (QString cmd : {QStringLiteral("num"), QStringLiteral("pribor")}) {
        Rig r;
        auto m3 = instrument(3, 2), m7 = instrument(7, 2);
        attachModels(r.g.port, {m3.get(), m7.get()});
        r.run(cmd == QLatin1String("num") ? r.num() : r.pribor());
        // The sweep goes to the highest answering address; the address
        // sweep then picks the lowest.
        QCOMPARE(r.ls().adr, uint8_t(cmd == QLatin1String("num") ? 3 : 7));
        QCOMPARE(r.table()[3], uint8_t(2));
        QCOMPARE(r.table()[7], uint8_t(2));
        QCOMPARE(r.w().statusPanelText(1), cmd == QLatin1String("num") ? QStringLiteral(" Номер: 3") : QStringLiteral(" Номер: 7"));
        QVERIFY(lines(r.info()).contains(QStringLiteral("Ответилo:2 приборов:   №№:  3 7 ") + kSummaryTail));
        QCOMPARE(r.g.port.config().baud, 9600);
    }
}

void TestSearch::sweepShowsProgress() {
    // Seen from the line: while address 100 is asked, 99 are done and the
    // rate label names the rate the probe is on.
    for (bool full : {true, false}) {
        Rig r;
        auto m3 = instrument(3, 2);
        int done = -1;
        QString rate, left;
        bool whole = false;
        attachModels(r.g.port, {m3.get()}, [&](const std::vector<uint8_t>& req) {
            if (requestAdr(req) != 100 || done >= 0) return;
            done = r.msg.progressBar()->value();
            rate = r.msg.rateLabel()->text();
            left = r.msg.timeLeftLabel()->text();
            // The wrapped first line and the bar below it both fit the window.
            auto* text = r.msg.findChild<QLabel*>(QStringLiteral("Label1"));
            whole = text->height() >= text->heightForWidth(text->width()) &&
                    r.msg.rect().contains(QRect(r.msg.progressBar()->pos(), r.msg.progressBar()->size()));
        });
        r.run(full ? r.pribor() : r.num());
        QCOMPARE(done, 99);
        // The full sweep starts each address at the lowest rate; the address
        // sweep keeps the one in force.
        QCOMPARE(rate, full ? QStringLiteral("скорость 4800") : QStringLiteral("скорость 9600"));
        QVERIFY2(left.startsWith(QStringLiteral("осталось около ")), qPrintable(left));
        QCOMPARE(r.msg.progressBar()->maximum(), 247);
        QVERIFY(whole);
    }
}

void TestSearch::fullSweepLines() {
    Rig r;
    auto m3 = instrument(3, 2);
    bool redWhileRunning = false;
    QListWidget* lb = r.info();
    const QColor before = lb->palette().color(QPalette::Text);
    attachModels(r.g.port, {m3.get()}, [&](const std::vector<uint8_t>& req) {
        if (requestAdr(req) == 100) redWhileRunning = lb->palette().color(QPalette::Text) == QColor(255, 0, 0);
    });
    r.g.find<QListWidget>("LBtuda")->addItem(QStringLiteral("05 03"));
    lb->addItem(QStringLiteral("earlier line"));
    r.run(r.pribor());

    QVERIFY(redWhileRunning);
    QCOMPARE(lb->palette().color(QPalette::Text), before);
    QCOMPARE(r.g.find<QListWidget>("LBtuda")->count(), 0);
    const QStringList l = lines(lb);
    // The list is neither cleared nor opened anew: the sweep's lines follow.
    QCOMPARE(l.size(), 1 + 247 + 2);
    QCOMPARE(l[0], QStringLiteral("earlier line"));
    // A silent address costs its six probes, 351 ms of link time in all;
    // the wall clock starts at 07:05:04 and moves with the link's clock.
    QCOMPARE(l[1], QStringLiteral(" №=1  V=0 ...  7:05:04:351   (0:351 мс)  всего: 0:00:351 "));
    QCOMPARE(l[2], QStringLiteral(" №=2  V=0 ...  7:05:04:702   (0:351 мс)  всего: 0:00:702 "));
    QVERIFY(l[3].startsWith(QStringLiteral(" №=3  V=2 ... ")));
    QVERIFY(QRegularExpression(QStringLiteral("^ №=247  V=0 \\.\\.\\.  7:06:30:\\d{3}   \\(0:351 мс\\)  всего: 1:26:\\d{3} $"))
                .match(l[247]).hasMatch());
    QVERIFY(QRegularExpression(QStringLiteral("^ 07:06:30 прошло    00:01:26:\\d{3} мс $")).match(l[248]).hasMatch());
    QCOMPARE(l[249], QStringLiteral("Ответилo:1 приборов:   №№:  3 ") + kSummaryTail);
    QCOMPARE(lb->currentRow(), lb->count() - 1);
    QVERIFY(!r.msg.isVisible());
}

void TestSearch::fullSweepAppliesRateAndCode() {
    Rig r;
    auto m = instrument(7, 3);
    attachModels(r.g.port, {m.get()});
    r.ls().adr = 40;
    r.run(r.pribor());
    QCOMPARE(r.ls().adr, uint8_t(7));
    QCOMPARE(r.ls().scor, 19200);
    QCOMPARE(r.ls().scor_code, uint8_t(3));
    QCOMPARE(r.g.port.config().baud, 19200);
    QCOMPARE(r.w().statusPanelText(2), QStringLiteral(" Скорость Обмена: 19200"));
}

void TestSearch::quitKeyEndsSweep_data() {
    QTest::addColumn<bool>("full");
    QTest::newRow("address sweep") << false;
    QTest::newRow("full sweep") << true;
}

void TestSearch::quitKeyEndsSweep() {
    QFETCH(bool, full);
    Rig r;
    auto m = instrument(5, 2);
    attachModels(r.g.port, {m.get()});
    // An earlier search found an instrument at 200 that is gone now.
    r.table()[200] = 2;
    r.g.keyHook = [&](int vk) { return vk == lork::VK_Q && r.ls().adr == 100; };
    r.run(full ? r.pribor() : r.num());

    const QStringList l = lines(r.info());
    const int at = int(l.indexOf(QStringLiteral("прервали поиск на 100 номере")));
    QVERIFY(at > 0);
    if (full)
        QVERIFY(l[at - 1].startsWith(QStringLiteral(" №=100  V=0 ... ")));
    else
        QCOMPARE(l[at - 1], QStringLiteral(" ") + QString(25, QLatin1Char('.')));
    QVERIFY(l[at + 1].contains(QStringLiteral(" прошло  ")));
    QCOMPARE(l[at + 2], QStringLiteral("Ответилo:2 приборов:   №№:  5 200 ") + kSummaryTail);
    for (unsigned a = 101; a <= 247; ++a) QCOMPARE(r.table()[a], uint8_t(a == 200 ? 2 : 0));
    QCOMPARE(r.ls().adr, uint8_t(full ? 200 : 5));
    // Q was asked once before the loop and once per address up to 100.
    QCOMPARE(r.g.key_questions[lork::VK_Q], 101);
}

void TestSearch::rateSearch() {
    Rig r;
    auto m = instrument(5, 4);
    std::vector<int32_t> rates;
    attachModels(r.g.port, {m.get()}, [&](const std::vector<uint8_t>&) { rates.push_back(r.g.port.config().baud); });
    r.g.find<QAbstractButton>("RGtyp_opros_0")->click();  // periodic polling chosen
    r.run(r.scor());

    QCOMPARE(rates, (std::vector<int32_t>{4800, 9600, 19200, 38400}));
    QCOMPARE(r.ls().scor, 38400);
    QCOMPARE(r.ls().scor_code, uint8_t(4));
    QCOMPARE(r.g.port.config().baud, 38400);
    QCOMPARE(r.table()[5], uint8_t(4));
    const QStringList l = lines(r.info());
    QCOMPARE(l.size(), 4);
    QCOMPARE(l[0], QStringLiteral(" ищем скорость для №=5  [ Pb=0, Sb=1 ]"));
    QCOMPARE(l[2], QStringLiteral(" конец в: 07:05:04"));
    QCOMPARE(l[3], QStringLiteral("№5 ответил на 38400  [ Pb=0, Sb=1 ]"));
    QCOMPARE(r.w().statusPanelText(5), QStringLiteral(" Ответил на Скорость Обмена: 38400"));
    QVERIFY(!r.w().pollTimer()->isActive());  // "пуск" was never pressed
    QVERIFY(!r.msg.isVisible());
}

void TestSearch::pollingAfterSearchAsBefore_data() {
    QTest::addColumn<bool>("running");
    QTest::newRow("stopped") << false;
    QTest::newRow("running") << true;
}

// Polling resumes after a search only when it ran before; stopped, the
// search's result stays on the screen.
void TestSearch::pollingAfterSearchAsBefore() {
    QFETCH(bool, running);
    Rig r;
    auto m = instrument(5, 2);
    attachModels(r.g.port, {m.get()});
    r.g.find<QAbstractButton>("RGtyp_opros_0")->click();
    if (running) r.w().toolButton(1)->click();
    QCOMPARE(r.w().pollTimer()->isActive(), running);
    r.run(r.scor());
    QCOMPARE(r.w().pollTimer()->isActive(), running);
    QCOMPARE(r.w().toolButton(1)->text(), running ? QStringLiteral("стоп") : QStringLiteral("пуск"));
    QCOMPARE(lines(r.info()).last(), QStringLiteral("№5 ответил на 9600  [ Pb=0, Sb=1 ]"));
    if (!running) {
        QTest::qWait(2200);  // two ticks' time: none comes to hide the result
        QVERIFY(!r.info()->isHidden());
    }
}

void TestSearch::nobodyAnswers() {
    Rig r;
    attachModels(r.g.port, {});
    r.ls().adr = 9;
    r.run(r.num());
    QCOMPARE(r.g.messages, QStringList{QStringLiteral("на скорости 9600 не отвечает ни один номер из 1..247")});
    QCOMPARE(r.ls().adr, uint8_t(9));
    QVERIFY(lines(r.info()).contains(QStringLiteral("Ответилo:0 приборов:   №№:  ") + kSummaryTail));

    r.g.messages.clear();
    r.run(r.scor());
    QCOMPARE(r.g.messages, QStringList{QStringLiteral("№9 не отвечает ни на одной из скоростей   при Pb=0 и Sb=1")});
    QCOMPARE(r.ls().scor, 9600);
    QCOMPARE(r.ls().scor_code, uint8_t(2));
    // Not left at 115200, the last rate tried, while the settings say 9600.
    QCOMPARE(r.g.port.config().baud, 9600);
    QCOMPARE(r.w().core().link.pause_after, uint16_t(5));

    r.g.messages.clear();
    r.run(r.pribor());
    QVERIFY(r.g.messages.isEmpty());
    QCOMPARE(r.ls().adr, uint8_t(9));
    QCOMPARE(r.g.port.config().baud, 9600);
}

void TestSearch::abandonedProbe_data() {
    QTest::addColumn<QString>("cmd");
    QTest::newRow("address sweep") << QStringLiteral("num");
    QTest::newRow("full sweep") << QStringLiteral("pribor");
    QTest::newRow("rate search") << QStringLiteral("scor");
}

void TestSearch::abandonedProbe() {
    QFETCH(QString, cmd);
    Rig r;
    attachModels(r.g.port, {});
    r.g.find<QAbstractButton>("RGtyp_opros_0")->click();  // periodic polling chosen
    QListWidget* lb = r.info();
    const QColor colour = lb->palette().color(QPalette::Text);
    // X is pressed while the probe of address 10 waits (or, for the rate
    // search, while the third rate is tried).
    int xQuestions = 0;
    r.g.keyHook = [&](int vk) {
        if (vk != lork::VK_X) return false;
        if (cmd == QLatin1String("scor")) return r.g.port.config().baud == 19200 && ++xQuestions == 2;
        return r.ls().adr == 10 && ++xQuestions == 2;
    };
    QAction* a = cmd == QLatin1String("num") ? r.num() : cmd == QLatin1String("pribor") ? r.pribor() : r.scor();
    r.run(a);

    QVERIFY(r.g.messages.isEmpty());
    QVERIFY(!r.msg.isVisible());
    QCOMPARE(lb->palette().color(QPalette::Text), colour);
    QVERIFY(!r.w().pollTimer()->isActive());  // "пуск" was never pressed
    QCOMPARE(r.ls().adr, uint8_t(5));
    QCOMPARE(r.ls().scor, 9600);
    QCOMPARE(r.g.port.config().baud, 9600);
    QCOMPARE(r.w().statusPanelText(5), QStringLiteral(" "));
    for (const QString& l : lines(lb)) {
        QVERIFY2(!l.contains(QStringLiteral("прошло")) && !l.startsWith(QStringLiteral("Ответилo")), qPrintable(l));
    }
    // The search stopped at once: nothing was asked beyond the abandoned probe.
    const auto& w = r.g.port.writes;
    QVERIFY(!w.empty());
    if (cmd != QLatin1String("scor")) QCOMPARE(int(w.back().bytes[0]), 10);
    // And the next command runs normally.
    auto m = instrument(5, 2);
    attachModels(r.g.port, {m.get()});
    r.g.keyHook = {};
    r.run(r.answer());
    QVERIFY(lines(lb).last().endsWith(QStringLiteral("OK!")));
}

void TestSearch::answerCheck() {
    Rig r;
    auto m = instrument(5, 2);
    attachModels(r.g.port, {m.get()});
    r.info()->hide();
    r.run(r.answer());
    QVERIFY(r.g.messages.isEmpty());
    QCOMPARE(lines(r.info()).last(), QStringLiteral(" №=5 V=9600 : Pb=0 Sb=1 : OK!"));
    QCOMPARE(r.w().st().ex.kod_rez, uint8_t(0));

    r.ls().adr = 6;
    r.run(r.answer());
    const QString silent = QStringLiteral(" №=6 V=9600 : Pb=0 Sb=1 :  ... нет ответа");
    QCOMPARE(r.g.messages, QStringList{silent});
    QCOMPARE(lines(r.info()).last(), silent);
    QCOMPARE(r.info()->currentRow(), r.info()->count() - 1);
    QCOMPARE(r.w().st().ex.kod_rez, uint8_t(11));
}

void TestSearch::tableNeverIndexedOutside() {
    Rig r;
    auto m = instrument(5, 2);
    attachModels(r.g.port, {m.get()});
    // An activation may have stored a baud code the instrument reported that
    // is none of the six. A sweep ended early (Q at 3) leaves it in the table;
    // the summary lists it but no rate can be taken from it.
    r.table()[9] = 9;
    r.g.keyHook = [&](int vk) { return vk == lork::VK_Q && r.ls().adr == 3; };
    r.run(r.num());
    QVERIFY(lines(r.info()).contains(QStringLiteral("Ответилo:1 приборов:   №№:  9 ") + kSummaryTail));
    QCOMPARE(r.ls().scor, 9600);
    QCOMPARE(r.ls().scor_code, uint8_t(2));
    QCOMPARE(r.g.port.config().baud, 9600);
    QCOMPARE(r.ls().adr, uint8_t(9));
    r.g.keyHook = {};

    // A rate search for an address with no entry in the table.
    const auto before = r.table();
    r.ls().adr = 250;
    r.run(r.scor());
    QCOMPARE(r.table(), before);
    QCOMPARE(r.g.messages.size(), 1);
}

void TestSearch::realKeyLayerDuringSweep() {
    // The program's own key layer: a press of Q reaches it through the event
    // queue while the sweep blocks, whatever widget has the focus, and the
    // press goes nowhere else.
    Rig r;
    lork::KeyState keys;
    keys.install();
    r.w().setKeyFunction([&keys](int vk) { return keys.keyPressedSince(vk); });
    auto m = instrument(5, 2);
    QLineEdit* edit = r.g.find<QLineEdit>("Esysnum");
    const QString editText = edit->text();
    attachModels(r.g.port, {m.get()}, [&](const std::vector<uint8_t>& req) {
        if (requestAdr(req) == 100) {
            QCoreApplication::postEvent(edit, new QKeyEvent(QEvent::KeyPress, Qt::Key_7, Qt::NoModifier, QStringLiteral("7")));
            QCoreApplication::postEvent(&r.msg, new QKeyEvent(QEvent::KeyPress, Qt::Key_Q, Qt::NoModifier, QStringLiteral("q")));
        }
    });
    r.run(r.num());
    QVERIFY(lines(r.info()).contains(QStringLiteral("прервали поиск на 100 номере")));
    QCOMPARE(edit->text(), editText);
    QCOMPARE(r.ls().adr, uint8_t(5));
}

void TestSearch::nothingElseRunsDuringSearch() {
    Rig r;
    lork::KeyState keys;
    keys.install();
    r.w().setKeyFunction([&keys](int vk) { return keys.keyPressedSince(vk); });
    auto m = instrument(5, 2);
    // Counts what reaches the main window itself during the sweep.
    struct Counter : QObject {
        int activations = 0;
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == QEvent::WindowActivate || e->type() == QEvent::WindowDeactivate) ++activations;
            return false;
        }
    } counter;
    r.w().installEventFilter(&counter);
    int ticks = 0;
    QTimer busy;
    busy.setInterval(0);
    QObject::connect(&busy, &QTimer::timeout, [&] { ++ticks; });
    int pendingAt50 = -1;
    // A command a screen reader starts (its press of "запрос") waits too.
    auto* zapros = r.g.find<QPushButton>("Bzapros");
    int queries = 0;
    QObject::connect(zapros, &QPushButton::clicked, [&] { ++queries; });
    attachModels(r.g.port, {m.get()}, [&](const std::vector<uint8_t>& req) {
        if (requestAdr(req) == 50) {
            QCoreApplication::postEvent(&r.w(), new QEvent(QEvent::WindowActivate));
            QCoreApplication::postEvent(&r.w(), new QCloseEvent);
            busy.start();
            pendingAt50 = ticks;
            QAccessible::queryAccessibleInterface(zapros)->actionInterface()->doAction(
                QAccessibleActionInterface::pressAction());
        }
    });
    r.w().show();
    r.run(r.num());
    QCOMPARE(counter.activations, 0);
    QCOMPARE(ticks, pendingAt50);
    QCOMPARE(queries, 0);
    QTRY_COMPARE(queries, 1);
    QVERIFY(r.w().isVisible());
    QCOMPARE(r.ls().adr, uint8_t(5));
    // Once the search is over, the program's timers run again.
    QTRY_VERIFY(ticks > pendingAt50);
    busy.stop();
    r.w().removeEventFilter(&counter);
}

void TestSearch::reopenOnARealTty() {
    // The sweep re-opens the port before every probe; a re-opening of the
    // device already held must leave it as a fresh opening does.
    int master = posix_openpt(O_RDWR | O_NOCTTY);
    QVERIFY(master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0);
    const std::string slave = ptsname(master);
    lork::TtyPort port;
    QCOMPARE(port.open(slave), 0u);
    QCOMPARE(port.configure({9600, 8, 0, 1}), 0u);
    // Bytes that came before the re-opening are gone after it.
    QCOMPARE(::write(master, "\x05\x03", 2), ssize_t(2));
    QVERIFY(port.waitForReadyRead(500));
    QCOMPARE(port.reopen(slave), 0u);
    QVERIFY(port.isOpen());
    uint8_t buf[8];
    QCOMPARE(port.readAvailable(buf, sizeof buf), size_t(0));
    // The line works both ways afterwards, at the rate set again.
    QCOMPARE(port.configure({19200, 8, 0, 1}), 0u);
    QCOMPARE(port.config().baud, 19200);
    const uint8_t req[3] = {1, 2, 3};
    QCOMPARE(port.write(req, 3), 0u);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    std::string got;
    QTRY_VERIFY_WITH_TIMEOUT(([&] {
        char c[8];
        const ssize_t n = ::read(master, c, sizeof c);
        if (n > 0) got.append(c, size_t(n));
        return got.size() >= 3;
    }()), 1000);
    QCOMPARE(got, std::string("\x01\x02\x03", 3));
    QCOMPARE(::write(master, "\x07", 1), ssize_t(1));
    QVERIFY(port.waitForReadyRead(500));
    QCOMPARE(port.readAvailable(buf, sizeof buf), size_t(1));
    QCOMPARE(buf[0], uint8_t(7));
    // Held exclusively as a fresh opening holds it.
    lork::TtyPort other;
    QVERIFY(other.open(slave) != 0u);
    // Another name is a real opening; a device that went away fails.
    ::close(master);
    QVERIFY(port.reopen(slave) != 0u);
    QVERIFY(!port.isOpen());
}

QTEST_MAIN(TestSearch)
#include "tst_search.moc"
