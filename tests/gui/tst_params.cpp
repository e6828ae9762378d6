// The parameters page against the in-process instrument simulator.
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <functional>

#include "widgets/updown.h"
#include "gui_fixture.h"
#include "pages/parameters.h"
#include "pages/readings.h"
#include "protocol/framing.h"
#include "protocol/value_rules.h"
#include "sim/instrument_model.h"
#include "support/sim_attach.h"
#include "widgets/announcer.h"
#include "protocol/framing.h"
#include "ui_page_params.h"

using namespace lork;
using lork::test::GuiRig;

namespace {

// A window with the page shown and the simulator on the far end of its port.
struct Rig {
    Rig() {
        test::attachToFakePort(g.port, model);
        g.w->core().link.Port_setup(g.w->ls().scor_code);  // the port as the first activation leaves it
        g.w->ToolButton9Click();
        g.w->parameters().TabSheet2Show();
        ex0 = g.port.writes.size();
    }
    GuiRig g;
    sim::InstrumentModel model;
    size_t ex0 = 0;
    const Ui_PageParams& pp() { return g.w->parameters().form(); }
    State& st() { return g.w->st(); }
    size_t exchanges() const { return g.port.writes.size() - ex0; }
    const test::FakePort::Write& lastWrite() const { return g.port.writes.back(); }
    QString lastInfo() const {
        const QStringList l = g.w->infoLines();
        return l.isEmpty() ? QString() : l.back();
    }
    QString tuda() const { return g.find<QListWidget>("LBtuda")->item(0)->text(); }
};

// Register and value of a one-register write request in the bytes written.
std::pair<int, int> writtenRegister(const std::vector<uint8_t>& f) {
    if (f.size() != 11 || f[1] != 0x10) return {-1, -1};
    return {f[2] << 8 | f[3], f[7] << 8 | f[8]};
}
std::pair<int, int> write_of(uint16_t address, int value) { return {address, value}; }

}  // namespace

class TstParams : public QObject {
    Q_OBJECT
private slots:
    void readButtons();
    void readParityKeepsThePort();
    void readBaudSelectsTheCode();
    void writeParameters();
    void rulesAskFirst();
    void writeInterface();
    void writeOutcomeHeard();
    void baudWriteFollowsTheInstrument();
    void failedWriteChangesNothing();
    void refusedValues();
    void refusedTypingKeepsNoPrefix();
    void keyFilters();
    void upDowns();
    void pauseFields();
    void pageShownAgain();
};

void TstParams::readButtons() {
    struct Case {
        const char* button;
        uint16_t reg;
        const char* field;
        std::function<void(sim::InstrumentModel&)> setup;
        const char* shown;
    };
    const Case cases[] = {
        {"B_read_res", 0x0A00, "Ecur_res", [](auto& m) { auto p = m.params(); p.res = 12; m.setParams(p); }, "12"},
        {"B_read_kolstep", 0x0A01, "Ecur_kolstep", [](auto& m) { auto p = m.params(); p.kol_step = 40; m.setParams(p); }, "40"},
        {"B_read_porstep", 0x0A02, "Ecur_porstep", [](auto& m) { auto p = m.params(); p.por_step = 7; m.setParams(p); }, "7"},
        {"Bread_sysnum", 0x0800, "Eint_cur_sysnum", [](auto&) {}, "5"},
        {"Bread_stopbit", 0x0803, "Eint_cur_stopbit", [](auto&) {}, "1"},
    };
    for (const Case& c : cases) {
        Rig r;
        c.setup(r.model);
        r.g.find<QLineEdit>(c.field)->setText("x");
        r.g.find<QPushButton>(c.button)->click();
        QCOMPARE(r.exchanges(), size_t(1));
        const auto& f = r.lastWrite().bytes;
        QCOMPARE(int(f[1]), 3);
        QCOMPARE(f[2] << 8 | f[3], int(c.reg));
        QCOMPARE(f[4] << 8 | f[5], 1);
        QCOMPARE(r.g.find<QLineEdit>(c.field)->text(), QString(c.shown));
        QVERIFY(r.tuda().startsWith("05 03 "));
        QVERIFY(r.g.w->infoLines().isEmpty());
    }
    // With no reply: the report, and the field keeps its text.
    Rig r;
    r.model.setFault(sim::Fault::Silent);
    r.pp().Ecur_res->setText("x");
    r.pp().B_read_res->click();
    QCOMPARE(r.pp().Ecur_res->text(), QString("x"));
    QVERIFY(r.lastInfo().contains("не дождались ответа"));
}

void TstParams::readParityKeepsThePort() {
    Rig r;
    // The instrument and the port agree on odd parity, the program's own
    // value says none: the read brings the value, not a port set-up.
    auto line = r.model.line();
    line.parity = 1;
    r.model.setLine(line);
    test::GuiRig::choose(r.g.find<QComboBox>("CBparity"), 1);
    const auto cfg = r.g.port.config();
    r.st().ls.parity = 0;
    const size_t opens = r.g.port.opened.size();
    r.pp().Bread_parity->click();
    QCOMPARE(r.pp().Eint_cur_parity->text(), QString("1"));
    QCOMPARE(int(r.st().ls.parity), 1);
    QCOMPARE(r.g.port.opened.size(), opens);
    QCOMPARE(int(r.g.port.config().parity), int(cfg.parity));
    QCOMPARE(r.g.port.config().baud, cfg.baud);
}

void TstParams::readBaudSelectsTheCode() {
    Rig r;
    test::GuiRig::choose(r.pp().CBint_scor, 5);
    r.pp().Eint_cur_scor->setText("keep");
    r.pp().Bread_scor->click();
    QCOMPARE(r.pp().CBint_scor->currentIndex(), 1);  // code 2, 9600
    QCOMPARE(int(r.g.w->parameters().int_scor()), 6);               // the value to write is not touched
    QCOMPARE(r.pp().Eint_cur_scor->text(), QString("keep"));
}

void TstParams::writeParameters() {
    // An instrument whose R, N, U leave room for every write below.
    Rig r;
    auto p = r.model.params();
    p.res = 5, p.kol_step = 40, p.por_step = 2;
    r.model.setParams(p);
    test::GuiRig::choose(r.pp().CBust_res, 15);  // "20"
    QCOMPARE(int(r.g.w->parameters().ust_res()), 20);
    r.pp().SB_izmres->click();
    QCOMPARE(writtenRegister(r.lastWrite().bytes), write_of(0x0A00, 20));
    QCOMPARE(int(r.model.params().res), 20);
    QCOMPARE(int(r.st().dev.res), 20);
    QCOMPARE(r.pp().Ecur_res->text(), QString("20"));
    test::GuiRig::choose(r.pp().CBust_res, 0);  // "5" again
    r.pp().SB_izmres->click();

    r.pp().Eust_kol_step->setText("99");
    r.pp().SB_izmkolstep->click();
    QCOMPARE(writtenRegister(r.lastWrite().bytes), write_of(0x0A01, 99));
    QCOMPARE(int(r.model.params().kol_step), 99);
    QCOMPARE(r.pp().Ecur_kolstep->text(), QString("99"));
    QCOMPARE(int(r.st().dev.kol_step), 99);  // the start value; a write does not change it

    r.pp().Eust_por_step->setText("50");
    r.pp().SB_izmporstep->click();
    QCOMPARE(writtenRegister(r.lastWrite().bytes), write_of(0x0A02, 50));
    QCOMPARE(int(r.model.params().por_step), 50);
    QCOMPARE(r.pp().Ecur_porstep->text(), QString("50"));
    QCOMPARE(r.pp().Eust_por_step->text(), QString("50"));

    // A value above the up-down's range but within a byte is sent as typed.
    r.pp().Eust_kol_step->setText("150");
    r.pp().SB_izmkolstep->click();
    QCOMPARE(writtenRegister(r.lastWrite().bytes), write_of(0x0A01, 150));
    QCOMPARE(r.pp().Ecur_kolstep->text(), QString("150"));
    QCOMPARE(r.exchanges(), size_t(5));
    QVERIFY(r.g.messages.isEmpty());
    QVERIFY2(r.g.questions.isEmpty(), qPrintable(r.g.questions.join('|')));
    QVERIFY(r.g.w->infoLines().isEmpty());
}

// A write of R, N or U that breaks a rule the page shows asks first, naming
// the rule and the numbers, with the instrument's other values as the
// program last read or wrote them (R 10, N 90, U 50 in the simulator). "нет"
// sends nothing; "да" sends the value as it is, which the instrument refuses.
void TstParams::rulesAskFirst() {
    enum Known { Nothing, PageReads, Query, WrittenN40 };
    struct Case {
        Known known;
        const char* edit;  // nullptr: R's box, item "20"
        const char* text;
        const char* button;
        uint16_t reg;
        int value;
        const char* question;  // nullptr: no question, the write goes out at once
    };
    const Case cases[] = {
        {PageReads, "Eust_kol_step", "99", "SB_izmkolstep", 0x0A01, 99,
         "Не выполняется условие N * R <= 900 Ом: N = 99, R = 10, N * R = 990 Ом."},
        {PageReads, "Eust_por_step", "248", "SB_izmporstep", 0x0A02, 248,
         "Не выполняется условие U < N: U = 248, N = 90."},
        {Query, nullptr, nullptr, "SB_izmres", 0x0A00, 20,
         "Не выполняется условие N * R <= 900 Ом: N = 90, R = 20, N * R = 1800 Ом."},
        {PageReads, "Eust_kol_step", "2", "SB_izmkolstep", 0x0A01, 2,
         "Не выполняется условие U < N: U = 50, N = 2."},
        // The page's own good write counts, though kol_step keeps the value read.
        {WrittenN40, "Eust_por_step", "45", "SB_izmporstep", 0x0A02, 45,
         "Не выполняется условие U < N: U = 45, N = 40."},
        // Nothing read yet: only what breaks a rule whatever the instrument holds.
        {Nothing, "Eust_kol_step", "0", "SB_izmkolstep", 0x0A01, 0,
         "Не выполняется условие U < N: N = 0, U не меньше 0."},
        {Nothing, "Eust_kol_step", "248", "SB_izmkolstep", 0x0A01, 248, nullptr},
    };
    for (const Case& c : cases) {
        Rig r;
        if (c.known == PageReads)
            for (auto* b : {r.pp().B_read_res, r.pp().B_read_kolstep, r.pp().B_read_porstep}) b->click();
        if (c.known == Query) r.g.w->readings().Opros_all();
        if (c.known == WrittenN40) {
            r.pp().B_read_res->click();
            r.pp().Eust_por_step->setText("2");  // room for N 40
            r.pp().SB_izmporstep->click();
            r.pp().Eust_kol_step->setText("40");
            r.pp().SB_izmkolstep->click();
        }
        QVERIFY(r.g.w->infoLines().isEmpty());
        const auto before = r.model.params();
        if (c.edit) r.g.find<QLineEdit>(c.edit)->setText(c.text);
        else test::GuiRig::choose(r.pp().CBust_res, 15);
        auto* button = r.g.find<QToolButton>(c.button);
        const size_t sent = r.exchanges();

        r.g.answerYes = false;
        button->click();
        if (!c.question) {
            QVERIFY(r.g.questions.isEmpty());
            QCOMPARE(writtenRegister(r.lastWrite().bytes), write_of(c.reg, c.value));
            continue;
        }
        QCOMPARE(r.g.questions, QStringList{QString::fromUtf8(c.question) + " Записать всё равно?"});
        QCOMPARE(r.exchanges(), sent);

        r.g.answerYes = true;
        button->click();
        QCOMPARE(r.exchanges(), sent + 1);
        QCOMPARE(writtenRegister(r.lastWrite().bytes), write_of(c.reg, c.value));
        QCOMPARE(r.g.w->infoLines().size(), 1);
        QVERIFY2(r.lastInfo().startsWith(QString::fromStdString(lork::kod_texts[3])), qPrintable(r.lastInfo()));
        QCOMPARE(int(r.model.params().res), int(before.res));
        QCOMPARE(int(r.model.params().kol_step), int(before.kol_step));
        QCOMPARE(int(r.model.params().por_step), int(before.por_step));
    }
}

// Wherever the focus is, a screen reader hears what a write came to.
void TstParams::writeOutcomeHeard() {
    Rig r;
    const auto last = [&] { return widgets::Announcer::of(r.g.w.get())->told().last(); };
    r.pp().Eust_kol_step->setText("60");
    r.pp().SB_izmkolstep->click();
    QCOMPARE(last(), QStringLiteral("записано: N = 60"));
    test::GuiRig::choose(r.pp().CBint_parity, 1);
    r.pp().SBint_write_parity->click();
    QCOMPARE(last(), QStringLiteral("записано: паритет = чет"));
    // A silent instrument: the failure is heard with its result text.
    r.g.port.onWrite = nullptr;
    r.pp().SB_izmkolstep->click();
    QCOMPARE(last(), (QStringLiteral("не записано: N = 60, ") + QString::fromStdString(Kod_text(11))).simplified());
}

void TstParams::writeInterface() {
    {
        Rig r;
        test::GuiRig::choose(r.pp().CBint_parity, 2);
        r.pp().SBint_write_parity->click();
        QCOMPARE(writtenRegister(r.lastWrite().bytes), write_of(0x0802, 2));
        QCOMPARE(int(r.model.line().parity), 2);
        QCOMPARE(int(r.st().ls.parity), 0);  // the program keeps its own
    }
    {
        Rig r;
        test::GuiRig::choose(r.pp().CBint_stopbit, 1);
        r.pp().SBint_write_stopbit->click();
        QCOMPARE(writtenRegister(r.lastWrite().bytes), write_of(0x0803, 2));
        QCOMPARE(int(r.model.line().stopbit), 2);
        QCOMPARE(int(r.st().ls.stopbit), 1);
    }
    {
        Rig r;
        r.pp().Eint_sysnum->setText("17");
        r.pp().SBint_write_sysnum->click();
        QCOMPARE(writtenRegister(r.lastWrite().bytes), write_of(0x0800, 17));
        QCOMPARE(int(r.lastWrite().bytes[0]), 5);  // sent to the old address
        QCOMPARE(int(r.st().ls.adr), 17);
        QCOMPARE(r.pp().Eint_cur_sysnum->text(), QString("17"));
        QCOMPARE(r.g.find<QLineEdit>("Esysnum")->text(), QString("17"));
        // From now on the instrument is reached at its new address.
        r.pp().B_read_res->click();
        QCOMPARE(int(r.lastWrite().bytes[0]), 17);
        QVERIFY(r.g.w->infoLines().isEmpty());
    }
}

void TstParams::baudWriteFollowsTheInstrument() {
    Rig r;
    QSignalSpy scorChanges(r.g.find<QComboBox>("CBscor"), &QComboBox::activated);
    const size_t opens = r.g.port.opened.size();
    test::GuiRig::choose(r.pp().CBint_scor, 3);  // code 4
    r.pp().SBint_write_scor->click();
    QCOMPARE(writtenRegister(r.lastWrite().bytes), write_of(0x0801, 4));
    QCOMPARE(r.lastWrite().cfg.baud, 9600);
    const auto& ls = r.st().ls;
    QCOMPARE(ls.scor, 38400);
    QCOMPARE(int(ls.scor_code), 4);
    QCOMPARE(r.g.port.config().baud, 38400);
    QCOMPARE(r.g.port.opened.size(), opens + 1);  // the port is set up once, here
    QCOMPARE(r.g.find<QComboBox>("CBscor")->currentText(), QString("38400"));
    QCOMPARE(scorChanges.count(), 0);
    // The next exchange goes out at the new rate and is answered there.
    r.pp().B_read_res->click();
    QCOMPARE(r.lastWrite().cfg.baud, 38400);
    QVERIFY(r.g.w->infoLines().isEmpty());
    // Showing the page again reports the rate and its pauses.
    r.g.w->parameters().TabSheet2Show();
    QCOMPARE(r.pp().Eint_cur_scor->text(), QString("38400"));
    QCOMPARE(r.pp().Enastr_tout_after->text(), QString("2"));
}

void TstParams::failedWriteChangesNothing() {
    Rig r;
    r.model.setFault(sim::Fault::Silent);
    const auto before = r.st().ls;
    test::GuiRig::choose(r.pp().CBint_scor, 3);
    r.pp().SBint_write_scor->click();
    r.pp().Eint_sysnum->setText("17");
    r.pp().SBint_write_sysnum->click();
    test::GuiRig::choose(r.pp().CBust_res, 3);
    r.pp().Ecur_res->setText("keep");
    r.pp().SB_izmres->click();
    QCOMPARE(r.exchanges(), size_t(3));
    const QStringList info = r.g.w->infoLines();
    QCOMPARE(info.size(), 3);
    for (const QString& l : info) QVERIFY(l.contains("не дождались ответа"));
    const auto& ls = r.st().ls;
    QCOMPARE(ls.scor, before.scor);
    QCOMPARE(ls.scor_code, before.scor_code);
    QCOMPARE(ls.adr, before.adr);
    QCOMPARE(r.g.port.config().baud, 9600);
    QCOMPARE(r.g.find<QComboBox>("CBscor")->currentText(), QString("9600"));
    QCOMPARE(r.g.find<QLineEdit>("Esysnum")->text(), QString::number(before.adr));
    QCOMPARE(r.pp().Ecur_res->text(), QString("keep"));
    QCOMPARE(int(r.st().dev.res), 5);
    QVERIFY(r.g.messages.isEmpty());
}

void TstParams::refusedValues() {
    struct Case {
        const char* edit;
        const char* text;
        const char* button;
        const char* message;
    };
    const Case cases[] = {
        {"Eint_sysnum", "300", "SBint_write_sysnum", lork::msgAdrRange},
        {"Eint_sysnum", "0", "SBint_write_sysnum", lork::msgAdrRange},
        {"Eint_sysnum", "", "SBint_write_sysnum", lork::msgNotNumber},
        {"Eust_kol_step", "300", "SB_izmkolstep", lork::msgValueRange},
        {"Eust_kol_step", "", "SB_izmkolstep", lork::msgNotNumber},
        {"Eust_por_step", "256", "SB_izmporstep", lork::msgValueRange},
        {"Eust_por_step", "", "SB_izmporstep", lork::msgNotNumber},
    };
    for (const Case& c : cases) {
        Rig r;
        const auto before = r.st().ls;
        const uint8_t kol = r.g.w->parameters().ust_kol_step();
        r.g.find<QLineEdit>(c.edit)->setText(c.text);
        r.g.find<QToolButton>(c.button)->click();
        QCOMPARE(r.exchanges(), size_t(0));
        QCOMPARE(r.g.messages, QStringList{QString::fromUtf8(c.message)});
        QCOMPARE(r.st().ls.adr, before.adr);
        QCOMPARE(r.g.w->parameters().ust_kol_step(), kol);  // 300 is not kept as 44
    }
}

// Typing passes through prefixes of the refused number ("30" on the way to
// "300"); none of them may stay as the value, come back on the page or go out.
void TstParams::refusedTypingKeepsNoPrefix() {
    struct Case {
        const char* edit;
        uint8_t (ParametersPage::*value)() const;
        const char* typed;
        const char* button;
        const char* message;
    };
    const Case cases[] = {
        {"Eust_kol_step", &ParametersPage::ust_kol_step, "300", "SB_izmkolstep", lork::msgValueRange},
        {"Eust_por_step", &ParametersPage::ust_por_step, "256", "SB_izmporstep", lork::msgValueRange},
        {"Eint_sysnum", &ParametersPage::int_sysnum, "300", "SBint_write_sysnum", lork::msgAdrRange},
    };
    for (const Case& c : cases) {
        Rig r;
        auto* edit = r.g.find<QLineEdit>(c.edit);
        const uint8_t before = (r.g.w->parameters().*c.value)();
        edit->selectAll();
        QTest::keyClicks(edit, c.typed);
        QCOMPARE(edit->text(), QString(c.typed));
        QCOMPARE(int((r.g.w->parameters().*c.value)()), int(before));
        r.g.w->parameters().TabSheet2Show();
        QCOMPARE(edit->text(), QString(c.typed));
        r.g.find<QToolButton>(c.button)->click();
        QCOMPARE(r.exchanges(), size_t(0));
        QCOMPARE(r.g.messages, QStringList{QString::fromUtf8(c.message)});
        QCOMPARE(int((r.g.w->parameters().*c.value)()), int(before));
    }
}

void TstParams::keyFilters() {
    Rig r;
    for (QLineEdit* e : {r.pp().Eust_kol_step, r.pp().Eust_por_step, r.pp().Eint_sysnum}) {
        e->clear();
        QTest::keyClicks(e, "1a-2 ,3");
        QCOMPARE(e->text(), QString("123"));
        QTest::keyClick(e, Qt::Key_Backspace);
        QCOMPARE(e->text(), QString("12"));
    }
    QCOMPARE(int(r.g.w->parameters().ust_kol_step()), 12);
    QCOMPARE(int(r.g.w->parameters().ust_por_step()), 12);
    QCOMPARE(int(r.g.w->parameters().int_sysnum()), 12);
}

void TstParams::upDowns() {
    Rig r;
    auto* kol = r.g.find<UpDown>("UpDown_kolstep");
    r.pp().Eust_kol_step->setText("98");
    kol->step(UpDown::Up);
    QCOMPARE(r.pp().Eust_kol_step->text(), QString("99"));
    QCOMPARE(int(r.g.w->parameters().ust_kol_step()), 99);
    kol->step(UpDown::Up);  // past the top: nothing moves
    QCOMPARE(r.pp().Eust_kol_step->text(), QString("99"));
    QCOMPARE(int(r.g.w->parameters().ust_kol_step()), 99);

    auto* por = r.g.find<UpDown>("UpDown_porstep");
    r.pp().Eust_por_step->setText("2");
    por->step(UpDown::Down);
    QCOMPARE(int(r.g.w->parameters().ust_por_step()), 2);
    por->step(UpDown::Up);
    QCOMPARE(int(r.g.w->parameters().ust_por_step()), 3);

    // The address up-down starts from what was typed.
    auto* adr = r.g.find<UpDown>("UpDown_int_adr");
    r.pp().Eint_sysnum->setText("30");
    adr->step(UpDown::Up);
    QCOMPARE(r.pp().Eint_sysnum->text(), QString("31"));
    QCOMPARE(int(r.g.w->parameters().int_sysnum()), 31);
    r.pp().Eint_sysnum->setText("247");
    adr->step(UpDown::Up);
    QCOMPARE(int(r.g.w->parameters().int_sysnum()), 247);
    QCOMPARE(r.exchanges(), size_t(0));
}

void TstParams::pauseFields() {
    Rig r;
    // Shown page: the program's own code 2 (9600).
    QCOMPARE(r.pp().Eint_cur_scor->text(), QString("9600"));
    QStringList shown{r.pp().Enastr_tout_bytes->text(), r.pp().Enastr_tout_before->text(),
                      r.pp().Enastr_tout_after->text()};
    QCOMPARE(shown, (QStringList{"2", "4", "5"}));
    // A rate chosen to be written: its own pauses.
    test::GuiRig::choose(r.pp().CBint_scor, 0);
    QCOMPARE(int(r.g.w->parameters().int_scor()), 1);
    shown = {r.pp().Enastr_tout_bytes->text(), r.pp().Enastr_tout_before->text(), r.pp().Enastr_tout_after->text()};
    QCOMPARE(shown, (QStringList{"4", "8", "10"}));
    // An instrument reporting a code past the table shows no rate.
    r.st().ls.scor_code = 9;
    r.g.w->parameters().TabSheet2Show();
    QCOMPARE(r.pp().Eint_cur_scor->text(), QString("0"));
    QCOMPARE(r.pp().Enastr_tout_bytes->text(), QString("1"));
    QCOMPARE(r.exchanges(), size_t(0));
}

void TstParams::pageShownAgain() {
    Rig r;
    auto* list = r.g.find<QListWidget>("ListBox1");
    r.g.w->ListBox1DblClick();
    QVERIFY(list->isHidden());
    // Reports of the page's buttons go into the hidden list ...
    r.model.setFault(sim::Fault::Silent);
    r.pp().B_read_res->click();
    QVERIFY(list->isHidden());
    QCOMPARE(r.g.w->infoLines().size(), 1);
    // ... and showing the page shows it again, with the values kept.
    test::GuiRig::choose(r.pp().CBust_res, 4);
    r.pp().Eust_kol_step->setText("33");
    r.pp().Eint_sysnum->setText("44");
    test::GuiRig::choose(r.pp().CBint_parity, 1);
    r.g.w->parameters().TabSheet2Show();
    QVERIFY(!list->isHidden());
    QCOMPARE(r.g.w->statusPanelText(5), QString(" Здесь можем менять параметры интерфейса и уставки"));
    QCOMPARE(r.pp().CBust_res->currentText(), QString("9"));
    QCOMPARE(r.pp().Eust_kol_step->text(), QString("33"));
    QCOMPARE(r.pp().Eint_sysnum->text(), QString("44"));
    QCOMPARE(r.pp().CBint_parity->currentIndex(), 0);  // a choice counts once it was written
    QCOMPARE(r.pp().Ecur_kolstep->text(), QString("99"));  // kol_step as last read
}

QTEST_MAIN(TstParams)
#include "tst_params.moc"
