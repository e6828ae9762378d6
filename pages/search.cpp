// The device search and the answer check (menu "файл").
#include <QAction>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QPalette>
#include <QTimer>

#include "pages/search_progress.h"
#include "pages/page_format.h"
#include "pages/page_host.h"
#include "device/address_sweep.h"
#include "device/fast_search.h"
#include "protocol/value_rules.h"
#include "pages/search.h"
#include "pages/search_guard.h"
#include "widgets/announcer.h"
#include "protocol/search_text.h"

namespace {

using namespace lork::search;

QString qs(const std::string& s) { return QString::fromStdString(s); }

// The system's time separator: whatever stands between the hours and the
// minutes of its short time format.
std::string timeSeparator(const QLocale& loc) {
    const QString f = loc.timeFormat(QLocale::ShortFormat);
    qsizetype i = 0;
    while (i < f.size() && f[i] != QLatin1Char('h') && f[i] != QLatin1Char('H')) ++i;
    while (i < f.size() && (f[i] == QLatin1Char('h') || f[i] == QLatin1Char('H'))) ++i;
    QString sep;
    while (i < f.size() && !f[i].isLetter() && f[i] != QLatin1Char('\'')) sep += f[i++];
    sep = sep.trimmed();
    return sep.isEmpty() ? std::string(":") : sep.toStdString();
}

// The time of day as the clock shows it.
std::string timeOfDay(const QTime& t) { return lork::pages::longTimeText(t).toStdString(); }

TimeFields fieldsOf(const QTime& t) { return {t.hour(), t.minute(), t.second(), t.msec()}; }

// Marks a search command as running for as long as it is on the stack, so a
// menu item reached through a nested event loop cannot start a second one.
struct SearchRunning {
    bool& flag;
    explicit SearchRunning(bool& f) : flag(f) { flag = true; }
    ~SearchRunning() { flag = false; }
    SearchRunning(const SearchRunning&) = delete;
    SearchRunning& operator=(const SearchRunning&) = delete;
};

using lork::rateOf;

// Durations come from the core's clock (virtual in tests, so that a sweep of
// 247 addresses takes no real time); the times of day are the wall clock at
// the start moved on by the same amount, so both agree on every line.
struct SweepClock {
    lork::Clock& clock;
    QDateTime wall0;
    int64_t t0Us;
    SweepClock(lork::Clock& c, QDateTime wall) : clock(c), wall0(std::move(wall)), t0Us(c.nowUs()) {}
    int64_t elapsedMs() const { return (clock.nowUs() - t0Us) / 1000; }
    int64_t now() const { return clock.nowUs(); }
    QTime wallAt(int64_t us) const { return wall0.addMSecs((us - t0Us) / 1000).time(); }
    static int64_t ms(int64_t us) { return us / 1000; }
};

// Lets the message window show each rate Find_scor tries, while it lives.
struct RateWatch {
    lork::Device& dev;
    RateWatch(lork::Device& d, std::function<void(int32_t)> fn) : dev(d) { dev.onRateTry = std::move(fn); }
    ~RateWatch() { dev.onRateTry = nullptr; }
    RateWatch(const RateWatch&) = delete;
    RateWatch& operator=(const RateWatch&) = delete;
};

}  // namespace

SearchCommands::SearchCommands(PageHost& host, WindowControls controls, QObject* parent)
    : QObject(parent), host_(host), wc_(std::move(controls)) {
    setObjectName(QStringLiteral("SearchCommands"));
    connect(wc_.N_poisk_pribor, &QAction::triggered, this, &SearchCommands::N_poisk_priborClick);
    connect(wc_.N_poisk_num, &QAction::triggered, this, &SearchCommands::N_poisk_numClick);
    connect(wc_.N_poisk_scor, &QAction::triggered, this, &SearchCommands::N_poisk_scorClick);
    connect(wc_.N_yes_otvet, &QAction::triggered, this, &SearchCommands::N_yes_otvetClick);
    if (wc_.N_poisk_fast) connect(wc_.N_poisk_fast, &QAction::triggered, this, &SearchCommands::N_poisk_fastClick);
}

void SearchCommands::searchShowFmsg(const QString& text, bool addresses) {
    SearchProgressView* fmsg = wc_.fmsg ? wc_.fmsg() : nullptr;
    if (!fmsg) return;
    fmsg->setText(text);
    fmsg->resetProgress(addresses);
    fmsg->showNow();
    // The window never takes the focus: what it says, and how to end the
    // search, is heard instead.
    host_.announce(text + QStringLiteral(" Чтобы оборвать поиск, нажмите Q; чтобы бросить опрос адреса, X."));
}

void SearchCommands::searchProgress(int n, int64_t elapsedMs) {
    if (SearchProgressView* fmsg = wc_.fmsg ? wc_.fmsg() : nullptr) fmsg->setAddressProgress(n, 247, elapsedMs);
}

void SearchCommands::searchRateProgress(int32_t rate) {
    // The full sweep tries every rate at every address: the rate is for the eye.
    if (SearchProgressView* fmsg = wc_.fmsg ? wc_.fmsg() : nullptr)
        lork::widgets::unheard([fmsg, rate] { fmsg->setRateInProgress(rate); });
}

void SearchCommands::searchTellResult() {
    const QListWidget* lb = host_.infoWindow();
    if (lb->count() > 0) host_.announce(lb->item(lb->count() - 1)->text());
}

void SearchCommands::searchHideFmsg() {
    if (SearchProgressView* fmsg = wc_.fmsg ? wc_.fmsg() : nullptr) fmsg->hideNow();
}

void SearchCommands::searchTimerStop() {
    pollingBefore_ = host_.pollTimer()->isActive();
    host_.pollTimer()->stop();
}

// Polling comes back only when it ran before the search: with "пуск" raised
// a running timer would poll against the button and, at its next tick, hide
// the search's result.
void SearchCommands::searchTimerBack() {
    if (pollingBefore_ && wc_.periodicPolling && wc_.periodicPolling())
        host_.pollTimer()->start();
    else
        host_.pollTimer()->stop();
}

void SearchCommands::searchAbandoned(uint8_t adrBefore) {
    // X abandoned a probe in the middle of the command. Nothing half-done may
    // stay in force: the address in progress, a port at whatever rate the
    // probe tried, a window that tells the operator to wait.
    auto& ls = host_.core().st.ls;
    ls.adr = adrBefore;
    host_.core().link.Port_setup(lork::Scor_to_code(ls.scor));
    host_.setStatusMessage(QStringLiteral(" "));
    searchHideFmsg();
    searchTimerBack();
}

void SearchCommands::Poisk_all(int mode) {
    auto& st = host_.core().st;
    auto& ls = st.ls;
    const std::string sep = timeSeparator(QLocale());
    SweepClock clk(host_.core().link.clock(), host_.wallNow());
    int64_t tp = clk.t0Us;
    ProgressLine progress;

    host_.setStatusPanelText(1, qs(panelNumber(ls.adr)));
    host_.setStatusMessage(QString::fromUtf8(kPanelSearching));
    const uint8_t a0 = ls.adr;
    host_.keyPressedSince(lork::VK_Q);  // forget a press from before the sweep
    RateWatch watch(host_.core().dev, [this](int32_t rate) { searchRateProgress(rate); });
    if (mode == 1) searchRateProgress(ls.scor);

    lork::SweepPlan plan;
    plan.allRates = mode != 1;
    lork::SweepSteps steps;
    steps.done = [&](int a, uint8_t code) {
        lork::setFoundScor(st.found_scor, unsigned(a), code);
        // Every address changes the status bar, the information window and
        // the bar: a screen reader, which the sweep answers only between two
        // probes, hears the spoken progress instead of all of them.
        if (mode == 1) {
            lork::widgets::unheard([&] {
                host_.setStatusMessage(qs(panelProgress(a, code)));
                const auto step = progress.step(a, code);
                if (step.action == ProgressLine::Action::Append)
                    host_.addInfoLine(qs(step.line));
                else
                    host_.replaceLastInfoLine(qs(step.line));
                host_.infoWindow()->repaint();
                searchProgress(a, clk.elapsedMs());
            });
        } else {
            const int64_t t = clk.now();
            const std::string clock = formatTime(fieldsOf(clk.wallAt(t)), kPatClock, sep);
            lork::widgets::unheard([&] {
                host_.addInfoLine(
                    qs(fullSweepLine(a, code, clock, SweepClock::ms(t - tp), SweepClock::ms(t - clk.t0Us), sep)));
                host_.infoWindow()->setCurrentRow(host_.infoWindow()->count() - 1);
                host_.infoWindow()->repaint();
                searchProgress(a, clk.elapsedMs());
            });
            tp = t;
        }
        host_.announceProgress(QStringLiteral("адрес %1 из 247").arg(a));
        if (!host_.keyPressedSince(lork::VK_Q)) return true;
        host_.addInfoLine(qs(abortLine(a)));
        searchTellResult();
        return false;
    };
    lork::sweepAddresses(host_.core(), plan, steps);
    const int64_t end = clk.now();
    host_.addInfoLine(qs(timeLine(timeOfDay(clk.wallAt(end)), SweepClock::ms(end - clk.t0Us), sep)));
    ls.adr = a0;

    // The whole table, also entries an earlier search left above an early end.
    std::string list = " ";
    int n = 0;
    for (unsigned a = 1; a <= 247; ++a) {
        const uint8_t code = lork::foundScorAt(st.found_scor, a);
        if (code == 0) continue;
        ls.adr = static_cast<uint8_t>(a);
        ++n;
        list += std::to_string(a) + " ";
        // An entry that is no baud code (an activation may record what the
        // instrument reported) answered, but names no rate to go to.
        if (rateOf(code) == 0) continue;
        ls.scor = rateOf(code);
        ls.scor_code = code;
        host_.core().link.Port_open(ls.port_name, ls.scor, ls.parity, ls.stopbit, ls.bytesize);
        host_.setStatusPanelText(1, qs(panelNumber(int(a))));
        host_.setStatusPanelText(2, qs(panelRate(ls.scor)));
    }
    // Find_scor leaves the port at the last rate it tried; with nobody to go
    // to, the line goes back to the rate the settings name.
    if (n == 0 && mode == 0) host_.core().link.Port_setup(lork::Scor_to_code(ls.scor));
    host_.addInfoLine(qs(summaryLine(n, list, ls.parity, ls.stopbit)));
    host_.infoWindow()->setCurrentRow(host_.infoWindow()->count() - 1);
    host_.infoWindow()->repaint();
}

void SearchCommands::N_poisk_numClick() {
    if (searchRunning_) return;
    lork::ExchangeFeed::CommandScope search(host_.core().feed, lork::Command::Search);
    SearchRunning running(searchRunning_);
    auto& st = host_.core().st;
    auto& ls = st.ls;
    const uint8_t a0 = ls.adr;
    searchTimerStop();
    SearchGuard guard(wc_.mainWindow);
    searchShowFmsg(qs(numLabel(ls.scor)), true);
    host_.showInfo();
    host_.clearInfo();
    host_.addInfoLine(qs(numHeader(ls.scor, ls.parity, ls.stopbit)));
    host_.addInfoLine(qs(startLine(timeOfDay(host_.wallNow().time()))));
    host_.addInfoLine(QStringLiteral(" "));
    host_.infoWindow()->repaint();
    try {
        Poisk_all(1);
    } catch (const lork::ProbeAborted&) {
        searchAbandoned(a0);
        return;
    }
    host_.setStatusMessage(QStringLiteral(" "));
    searchHideFmsg();
    unsigned lowest = 0;
    for (unsigned a = 1; a <= 247 && lowest == 0; ++a)
        if (lork::foundScorAt(st.found_scor, a) != 0) lowest = a;
    if (lowest != 0) {
        ls.adr = static_cast<uint8_t>(lowest);
        host_.setStatusPanelText(1, qs(panelNumber(int(lowest))));
        host_.addInfoLine(qs(numFound(rateOf(st.found_scor[lowest]), int(lowest), ls.parity, ls.stopbit)));
        searchTellResult();
    } else {
        host_.message(qs(numNoneMessage(ls.scor)));
    }
    searchTimerBack();
}

void SearchCommands::N_poisk_scorClick() {
    if (searchRunning_) return;
    lork::ExchangeFeed::CommandScope search(host_.core().feed, lork::Command::Search);
    SearchRunning running(searchRunning_);
    auto& st = host_.core().st;
    auto& ls = st.ls;
    searchTimerStop();
    SearchGuard guard(wc_.mainWindow);
    host_.showInfo();
    host_.clearInfo();
    searchShowFmsg(qs(scorLabel(ls.adr)), false);
    host_.addInfoLine(qs(scorHeader(ls.adr, ls.parity, ls.stopbit)));
    host_.addInfoLine(qs(startLine(timeOfDay(host_.wallNow().time()))));
    host_.infoWindow()->repaint();
    host_.setStatusMessage(qs(scorStatus(ls.adr)));
    uint8_t code = 0;
    try {
        RateWatch watch(host_.core().dev, [this](int32_t rate) {
            searchRateProgress(rate);
            host_.announceProgress(QStringLiteral("скорость %1").arg(rate));
        });
        code = host_.core().dev.Find_scor();
    } catch (const lork::ProbeAborted&) {
        searchAbandoned(ls.adr);
        return;
    }
    // An address outside 1..247 has no entry; what was found still counts.
    lork::setFoundScor(st.found_scor, ls.adr, code);
    host_.addInfoLine(qs(scorEndLine(timeOfDay(host_.wallNow().time()))));
    searchHideFmsg();
    if (code != 0) {
        ls.scor = rateOf(code);
        ls.scor_code = code;
        const uint32_t r = host_.core().link.Port_open(ls.port_name, ls.scor, ls.parity, ls.stopbit, ls.bytesize);
        if (r != 0) {
            host_.addInfoLine(QString::fromUtf8(kScorOpenFailed));
        } else {
            host_.setStatusMessage(qs(scorFoundStatus(ls.scor)));
            host_.addInfoLine(qs(scorFound(ls.adr, ls.scor, ls.parity, ls.stopbit)));
        }
        searchTellResult();
    } else {
        // Find_scor leaves the port at 115200; the settings still name scor.
        host_.core().link.Port_setup(lork::Scor_to_code(ls.scor));
        host_.message(qs(scorNoneMessage(ls.adr, ls.parity, ls.stopbit)));
    }
    searchTimerBack();
}

void SearchCommands::N_poisk_priborClick() {
    if (searchRunning_) return;
    lork::ExchangeFeed::CommandScope search(host_.core().feed, lork::Command::Search);
    SearchRunning running(searchRunning_);
    const uint8_t a0 = host_.core().st.ls.adr;
    searchTimerStop();
    SearchGuard guard(wc_.mainWindow);
    host_.clearExchangeWindows();
    QListWidget* lb = host_.infoWindow();
    const QPalette kept = lb->palette();
    searchShowFmsg(QString::fromUtf8(kPriborLabel), true);
    QPalette red = kept;
    red.setColor(QPalette::Text, QColor(255, 0, 0));
    lb->setPalette(red);
    try {
        Poisk_all(0);
    } catch (const lork::ProbeAborted&) {
        lb->setPalette(kept);
        searchAbandoned(a0);
        return;
    }
    searchHideFmsg();
    lb->setPalette(kept);
    searchTellResult();
    searchTimerBack();
}

void SearchCommands::N_yes_otvetClick() {
    if (searchRunning_) return;
    lork::ExchangeFeed::CommandScope search(host_.core().feed, lork::Command::Search);
    auto& st = host_.core().st;
    const auto& ls = st.ls;
    host_.showInfo();
    std::string text = answerPrefix(ls.adr, ls.scor, ls.parity, ls.stopbit);
    st.ex.kod_rez = host_.core().dev.Read_adr();
    if (st.ex.kod_rez == 0) {
        text += kAnswerOk;
        host_.announce(qs(text));
    } else {
        text += kAnswerNone;
        host_.message(qs(text));
    }
    host_.addInfoLine(qs(text));
    host_.infoWindow()->setCurrentRow(host_.infoWindow()->count() - 1);
}

void SearchCommands::N_poisk_fastClick() {
    if (searchRunning_) return;
    lork::ExchangeFeed::CommandScope search(host_.core().feed, lork::Command::Search);
    SearchRunning running(searchRunning_);
    auto& st = host_.core().st;
    auto& ls = st.ls;
    const lork::LineSettings before = ls;
    host_.pollTimer()->stop();
    SearchGuard guard(wc_.mainWindow);
    searchShowFmsg(qs(fastLabel(ls.parity, ls.stopbit)), true);
    host_.showInfo();
    host_.clearInfo();
    host_.addInfoLine(qs(fastHeader(ls.parity, ls.stopbit)));
    host_.addInfoLine(qs(startLine(timeOfDay(host_.wallNow().time()))));
    host_.infoWindow()->repaint();
    host_.keyPressedSince(lork::VK_Q);  // forget a press from before the sweep

    const std::string sep = timeSeparator(QLocale());
    SweepClock clk(host_.core().link.clock(), host_.wallNow());
    lork::FastPlan plan;
    plan.codes = {1, 2, 3, 4, 5, 6};
    plan.parities = {ls.parity};
    plan.stopbits = {ls.stopbit};
    lork::FastProgress progress;
    bool stopped = false;
    progress.stop = [&] { return stopped || (stopped = host_.keyPressedSince(lork::VK_Q)); };
    progress.line = [&](const lork::LineSettings& line) {
        searchRateProgress(line.scor);
        host_.setStatusMessage(qs(fastRate(line.scor)));
        host_.announce(qs(fastRate(line.scor)));
    };
    progress.address = [&](int a) {
        lork::widgets::unheard([&] { searchProgress(a, clk.elapsedMs()); });
        host_.announceProgress(QStringLiteral("адрес %1 из 247").arg(a));
    };
    progress.found = [&](const lork::FastFound& f) {
        host_.addInfoLine(qs(numFound(f.rate, f.address, f.parity, f.stopbits)));
        host_.infoWindow()->repaint();
    };
    const lork::FastResult r = lork::fastSearch(host_.core(), plan, progress);
    // An abandoned probe (X) ends the sweep with what it found, as Q does.
    const bool abandoned = r.aborted;
    if (stopped || abandoned) host_.addInfoLine(qs(abortLine(ls.adr)));
    const int64_t end = clk.now();
    host_.addInfoLine(qs(timeLine(timeOfDay(clk.wallAt(end)), SweepClock::ms(end - clk.t0Us), sep)));
    if (!r.portFailure.empty()) host_.addInfoLine(qs(r.portFailure));

    std::string list = " ";
    for (const auto& f : r.found) {
        list += std::to_string(f.address) + " ";
        lork::setFoundScor(st.found_scor, unsigned(f.address), lork::Scor_to_code(f.rate));
    }
    searchHideFmsg();
    host_.setStatusMessage(QStringLiteral(" "));
    if (r.found.empty()) {
        // The sweep left the line at the last rate it tried.
        ls.adr = before.adr;
        ls.scor = before.scor;
        ls.scor_code = before.scor_code;
        host_.core().link.Port_setup(lork::Scor_to_code(ls.scor));
        host_.addInfoLine(qs(summaryLine(0, list, ls.parity, ls.stopbit)));
        if (r.portFailure.empty() && !stopped && !abandoned) host_.message(qs(fastNoneMessage(ls.parity, ls.stopbit)));
    } else {
        // The line goes to the first instrument found, as the address sweep does.
        const lork::FastFound& f = r.found.front();
        ls.adr = uint8_t(f.address);
        ls.scor = f.rate;
        ls.scor_code = lork::Scor_to_code(f.rate);
        host_.core().link.Port_open(ls.port_name, ls.scor, ls.parity, ls.stopbit, ls.bytesize);
        host_.setStatusPanelText(1, qs(panelNumber(f.address)));
        host_.setStatusPanelText(2, qs(panelRate(ls.scor)));
        host_.addInfoLine(qs(summaryLine(int(r.found.size()), list, ls.parity, ls.stopbit)));
    }
    searchTellResult();
    host_.infoWindow()->setCurrentRow(host_.infoWindow()->count() - 1);
    host_.infoWindow()->repaint();
    searchTimerBack();
}
