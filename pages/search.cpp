// The device search and the answer check (menu "файл").
#include <QAction>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QPalette>
#include <QTimer>

#include "app/tfglav.h"
#include "app/tfmsg.h"
#include "pages/search_guard.h"
#include "pages/search_text.h"
#include "ui_tfglav.h"
#include "ui_tfmsg.h"

namespace {

using namespace lork::search;

QString qs(const std::string& s) { return QString::fromStdString(s); }

// The system's time separator: whatever stands between the hours and the
// minutes of its short time format.
std::string time_separator(const QLocale& loc) {
    const QString f = loc.timeFormat(QLocale::ShortFormat);
    qsizetype i = 0;
    while (i < f.size() && f[i] != QLatin1Char('h') && f[i] != QLatin1Char('H')) ++i;
    while (i < f.size() && (f[i] == QLatin1Char('h') || f[i] == QLatin1Char('H'))) ++i;
    QString sep;
    while (i < f.size() && !f[i].isLetter() && f[i] != QLatin1Char('\'')) sep += f[i++];
    sep = sep.trimmed();
    return sep.isEmpty() ? std::string(":") : sep.toStdString();
}

// The system's long time format, without the time zone (as the clock shows it).
QString time_of_day(const QTime& t) {
    const QLocale loc;
    QString f = loc.timeFormat(QLocale::LongFormat);
    f.remove(QLatin1Char('t'));
    return loc.toString(t, f.trimmed());
}

TimeFields fields_of(const QTime& t) { return {t.hour(), t.minute(), t.second(), t.msec()}; }

// Marks a search command as running for as long as it is on the stack, so a
// menu item reached through a nested event loop cannot start a second one.
struct SearchRunning {
    bool& flag;
    explicit SearchRunning(bool& f) : flag(f) { flag = true; }
    ~SearchRunning() { flag = false; }
    SearchRunning(const SearchRunning&) = delete;
    SearchRunning& operator=(const SearchRunning&) = delete;
};

int32_t rate_of(uint8_t code) { return code <= 6 ? lork::scor_table[code] : 0; }

// Durations come from the core's clock (virtual in tests, so that a sweep of
// 247 addresses takes no real time); the times of day are the wall clock at
// the start moved on by the same amount, so both agree on every line.
struct SweepClock {
    lork::Clock& clock;
    QDateTime wall0;
    int64_t t0_us;
    SweepClock(lork::Clock& c, QDateTime wall) : clock(c), wall0(std::move(wall)), t0_us(c.nowUs()) {}
    int64_t now() const { return clock.nowUs(); }
    QTime wallAt(int64_t us) const { return wall0.addMSecs((us - t0_us) / 1000).time(); }
    static int64_t ms(int64_t us) { return us / 1000; }
};

}  // namespace

void TFglav::Setup_search() {
    connect(ui->N_poisk_pribor, &QAction::triggered, this, [this] { N_poisk_priborClick(); });
    connect(ui->N_poisk_num, &QAction::triggered, this, [this] { N_poisk_numClick(); });
    connect(ui->N_poisk_scor, &QAction::triggered, this, [this] { N_poisk_scorClick(); });
    connect(ui->N_yes_otvet, &QAction::triggered, this, [this] { N_yes_otvetClick(); });
}

QDateTime TFglav::Search_wall_now() const { return now_fn_ ? now_fn_() : QDateTime::currentDateTime(); }

void TFglav::Search_show_fmsg(const QString& text) {
    if (!Fmsg) return;
    Fmsg->ui->Label1->setText(text);
    Fmsg->show();
    Fmsg->repaint();
}

void TFglav::Search_hide_fmsg() {
    if (Fmsg) Fmsg->hide();
}

void TFglav::Search_timer_back() {
    if (periodic_opros)
        Timer_opros->start();
    else
        Timer_opros->stop();
}

void TFglav::Search_abandoned(uint8_t adr_before) {
    // X abandoned a probe in the middle of the command. Nothing half-done may
    // stay in force: the address in progress, a port at whatever rate the
    // probe tried, a window that tells the operator to wait.
    auto& ls = core().st.ls;
    ls.adr = adr_before;
    core().link.Port_setup(lork::Scor_to_code(ls.scor));
    setStatusMessage(QStringLiteral(" "));
    Search_hide_fmsg();
    Search_timer_back();
}

void TFglav::Poisk_all(int mode) {
    auto& st = core().st;
    auto& ls = st.ls;
    const std::string sep = time_separator(QLocale());
    SweepClock clk(core().link.clock(), Search_wall_now());
    int64_t tp = clk.t0_us;
    ProgressLine progress;

    setStatusPanelText(1, qs(panelNumber(ls.adr)));
    setStatusMessage(QString::fromUtf8(kPanelSearching));
    const uint8_t a0 = ls.adr;
    keyPressedSince(lork::VK_Q);  // forget a press from before the sweep

    for (int a = 1; a <= 247; ++a) {
        ls.adr = static_cast<uint8_t>(a);
        if (mode == 1) {
            const uint8_t code = core().dev.Check_scor();
            lork::set_found_scor(st.found_scor, unsigned(a), code);
            setStatusMessage(qs(panelProgress(a, code)));
            const auto step = progress.step(a, code);
            if (step.action == ProgressLine::Action::Append)
                addInfoLine(qs(step.line));
            else
                replaceLastInfoLine(qs(step.line));
            ui->ListBox1->repaint();
        } else {
            const uint8_t code = core().dev.Find_scor();
            lork::set_found_scor(st.found_scor, unsigned(a), code);
            const int64_t t = clk.now();
            const std::string clock = formatTime(fields_of(clk.wallAt(t)), kPatClock, sep);
            addInfoLine(qs(fullSweepLine(a, code, clock, SweepClock::ms(t - tp), SweepClock::ms(t - clk.t0_us), sep)));
            tp = t;
            ui->ListBox1->setCurrentRow(ui->ListBox1->count() - 1);
            ui->ListBox1->repaint();
        }
        if (keyPressedSince(lork::VK_Q)) {
            addInfoLine(qs(abortLine(a)));
            break;
        }
    }
    const int64_t end = clk.now();
    addInfoLine(qs(timeLine(time_of_day(clk.wallAt(end)).toStdString(), SweepClock::ms(end - clk.t0_us), sep)));
    ls.adr = a0;

    // The whole table, also entries an earlier search left above an early end.
    std::string list = " ";
    int n = 0;
    for (unsigned a = 1; a <= 247; ++a) {
        const uint8_t code = lork::found_scor_at(st.found_scor, a);
        if (code == 0) continue;
        ls.adr = static_cast<uint8_t>(a);
        ++n;
        list += std::to_string(a) + " ";
        // An entry that is no baud code (an activation may record what the
        // instrument reported) answered, but names no rate to go to.
        if (rate_of(code) == 0) continue;
        ls.scor = rate_of(code);
        ls.scor_code = code;
        core().link.Port_open(ls.port_name, ls.scor, ls.parity, ls.stopbit, ls.bytesize);
        setStatusPanelText(1, qs(panelNumber(int(a))));
        setStatusPanelText(2, qs(panelRate(ls.scor)));
    }
    // Find_scor leaves the port at the last rate it tried; with nobody to go
    // to, the line goes back to the rate the settings name.
    if (n == 0 && mode == 0) core().link.Port_setup(lork::Scor_to_code(ls.scor));
    addInfoLine(qs(summaryLine(n, list, ls.parity, ls.stopbit)));
    ui->ListBox1->setCurrentRow(ui->ListBox1->count() - 1);
    ui->ListBox1->repaint();
}

void TFglav::N_poisk_numClick() {
    if (search_running) return;
    SearchRunning running(search_running);
    auto& st = core().st;
    auto& ls = st.ls;
    const uint8_t a0 = ls.adr;
    Timer_opros->stop();
    SearchGuard guard(this);
    Search_show_fmsg(qs(numLabel(ls.scor)));
    showInfo();
    clearInfo();
    addInfoLine(qs(numHeader(ls.scor, ls.parity, ls.stopbit)));
    addInfoLine(qs(startLine(time_of_day(Search_wall_now().time()).toStdString())));
    addInfoLine(QStringLiteral(" "));
    ui->ListBox1->repaint();
    try {
        Poisk_all(1);
    } catch (const lork::ProbeAborted&) {
        Search_abandoned(a0);
        return;
    }
    setStatusMessage(QStringLiteral(" "));
    Search_hide_fmsg();
    unsigned lowest = 0;
    for (unsigned a = 1; a <= 247 && lowest == 0; ++a)
        if (lork::found_scor_at(st.found_scor, a) != 0) lowest = a;
    if (lowest != 0) {
        ls.adr = static_cast<uint8_t>(lowest);
        setStatusPanelText(1, qs(panelNumber(int(lowest))));
        addInfoLine(qs(numFound(rate_of(st.found_scor[lowest]), int(lowest), ls.parity, ls.stopbit)));
    } else {
        message(qs(numNoneMessage(ls.scor)));
    }
    Search_timer_back();
}

void TFglav::N_poisk_scorClick() {
    if (search_running) return;
    SearchRunning running(search_running);
    auto& st = core().st;
    auto& ls = st.ls;
    Timer_opros->stop();
    SearchGuard guard(this);
    showInfo();
    clearInfo();
    Search_show_fmsg(qs(scorLabel(ls.adr)));
    addInfoLine(qs(scorHeader(ls.adr, ls.parity, ls.stopbit)));
    addInfoLine(qs(startLine(time_of_day(Search_wall_now().time()).toStdString())));
    ui->ListBox1->repaint();
    setStatusMessage(qs(scorStatus(ls.adr)));
    uint8_t code = 0;
    try {
        code = core().dev.Find_scor();
    } catch (const lork::ProbeAborted&) {
        Search_abandoned(ls.adr);
        return;
    }
    // An address outside 1..247 has no entry; what was found still counts.
    lork::set_found_scor(st.found_scor, ls.adr, code);
    addInfoLine(qs(scorEndLine(time_of_day(Search_wall_now().time()).toStdString())));
    Search_hide_fmsg();
    if (code != 0) {
        ls.scor = rate_of(code);
        ls.scor_code = code;
        const uint32_t r = core().link.Port_open(ls.port_name, ls.scor, ls.parity, ls.stopbit, ls.bytesize);
        if (r != 0) {
            addInfoLine(QString::fromUtf8(kScorOpenFailed));
        } else {
            setStatusMessage(qs(scorFoundStatus(ls.scor)));
            addInfoLine(qs(scorFound(ls.adr, ls.scor, ls.parity, ls.stopbit)));
        }
    } else {
        // Find_scor leaves the port at 115200; the settings still name scor.
        core().link.Port_setup(lork::Scor_to_code(ls.scor));
        message(qs(scorNoneMessage(ls.adr, ls.parity, ls.stopbit)));
    }
    Search_timer_back();
}

void TFglav::N_poisk_priborClick() {
    if (search_running) return;
    SearchRunning running(search_running);
    const uint8_t a0 = core().st.ls.adr;
    Timer_opros->stop();
    SearchGuard guard(this);
    ui->LBtuda->clear();
    ui->LBsuda->clear();
    QListWidget* lb = ui->ListBox1;
    const QPalette kept = lb->palette();
    Search_show_fmsg(QString::fromUtf8(kPriborLabel));
    QPalette red = kept;
    red.setColor(QPalette::Text, QColor(255, 0, 0));
    lb->setPalette(red);
    try {
        Poisk_all(0);
    } catch (const lork::ProbeAborted&) {
        lb->setPalette(kept);
        Search_abandoned(a0);
        return;
    }
    Search_hide_fmsg();
    lb->setPalette(kept);
    Search_timer_back();
}

void TFglav::N_yes_otvetClick() {
    if (search_running) return;
    auto& st = core().st;
    const auto& ls = st.ls;
    showInfo();
    std::string text = answerPrefix(ls.adr, ls.scor, ls.parity, ls.stopbit);
    st.ex.kod_rez = core().dev.Read_adr();
    if (st.ex.kod_rez == 0) {
        text += kAnswerOk;
    } else {
        text += kAnswerNone;
        message(qs(text));
    }
    addInfoLine(qs(text));
    ui->ListBox1->setCurrentRow(ui->ListBox1->count() - 1);
}
