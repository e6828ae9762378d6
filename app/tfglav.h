#pragma once
// The main window: tool bar, menu, port controls, page control, exchange
// windows, information window, clock and status bar. It holds the program's
// core (state, serial link, instrument model), is the core's Host and the
// pages' PageHost, and creates the pages, each a class of its own in pages/.
#include <QDateTime>
#include <QElapsedTimer>
#include <QMainWindow>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "pages/page_host.h"
#include "platform/host.h"
#include "protocol/device.h"

class QLabel;
class QListWidget;
class QTimer;
class QToolBar;
class QToolButton;
class CalibrationPage;
class DigitKeyFilter;
class ParametersPage;
class ReadingsPage;
class SearchCommands;
class TFabout;
class TFmsg;
class TFMsetup;
class TimeoutsPage;
class JournalWindow;
class PlotWindow;
class QAction;
namespace lork::journal {
struct Entry;
class LogFile;
class Store;
}  // namespace lork::journal
namespace lork::trend {
class Trend;
}

namespace Ui {
class Fglav;
}

class TFglav : public QMainWindow, public lork::Host, public PageHost {
    Q_OBJECT
public:
    // Everything the window needs from outside; the program gives the real
    // port, clock and port list, a test gives doubles and recorders.
    struct Platform {
        lork::SerialPort& port;
        lork::Clock& clock;
        std::vector<std::string> ports;                    // the system's port list, ordered
        std::function<void(const QString&)> message;        // modal message; empty: a message box
        std::function<bool(int)> keys;                     // async key state; empty: never pressed
        std::function<QDateTime()> now;                    // wall clock; empty: the system's
        std::string forced_port;                           // a port given on the command line
        // The system's ports as it lists them now, read each time the port
        // box opens; empty: the list stays as at start.
        std::function<std::vector<std::string>()> list_ports;
        // Entries the program adds after the system's (a path or gateway
        // given on the command line); they stay on every new reading.
        std::vector<std::string> own_ports;
    };

    explicit TFglav(Platform platform, QWidget* parent = nullptr);
    ~TFglav() override;

    // True when start-up could not go on (no serial port): the program ends.
    bool startAborted() const { return start_aborted_; }

    void setAboutBox(TFabout* about) { Fabout = about; }
    void setMessageWindow(TFmsg* msg) { Fmsg = msg; }
    // The window's place and last page, kept in a file of their own between
    // runs: read now, written when the window closes.
    void usePlaceFile(const QString& path);
    void savePlace() const;
    // The settings holder, once created (it registers itself).
    void setSettingsHolder(TFMsetup* holder) { FMsetup = holder; }
    TFMsetup* settingsHolder() const { return FMsetup; }

    // --- the core, for the pages, the settings holder and tests ---
    lork::Core& core() override { return core_; }
    lork::State& st() { return core_.st; }
    lork::LineSettings& ls() { return core_.st.ls; }
    const std::vector<std::string>& port_list() const { return port_list_; }

    // --- the pages ---
    ReadingsPage& readings() { return *readings_; }
    ParametersPage& parameters() { return *parameters_; }
    CalibrationPage& calibration() { return *calibration_; }
    TimeoutsPage& timeouts() { return *timeouts_; }
    SearchCommands& search() { return *search_; }

    // --- PageHost and lork::Host ---
    void message(const QString& text) override;
    void messageBox(const std::string& text) override;
    bool keyPressedSince(int vk) override;
    void infoLine(const std::string& text) override { addInfoLine(QString::fromStdString(text)); }
    void setStatusPanelText(int i, const QString& text) override;
    void addInfoLine(const QString& line) override;
    void replaceLastInfoLine(const QString& line) override;
    void clearInfo() override;
    void showInfo() override;
    QListWidget* infoWindow() override;
    void clearExchangeWindows() override;
    QTimer* pollTimer() override { return Timer_opros; }
    QDateTime wallNow() const override;
    // The same clock in milliseconds since the epoch, without the local
    // time zone, which costs more than the rest of an exchange's bookkeeping.
    int64_t wallMs() const;
    QObject* digitKeyFilter() override;

    void setMessageFunction(std::function<void(const QString&)> fn) { message_fn_ = std::move(fn); }
    void setKeyFunction(std::function<bool(int)> fn) { key_fn_ = std::move(fn); }

    // Status bar: panels 0..4 port settings, 5 the message panel.
    QString statusPanelText(int i) const;
    QLabel* statusPanel(int i) const { return status_panels_.at(size_t(i)); }
    QStringList infoLines() const;

    // Puts a page's own widget into TabSheet1..4 (index 0..3).
    void addPageWidget(int index, QWidget* page);
    QWidget* tabSheet(int index) const;
    QToolButton* toolButton(int n) const { return toolButtons.at(size_t(n)); }
    QTimer* systemTimer() const { return Timer_system; }
    // The window's own controls (object name = name), for the settings holder.
    Ui::Fglav& form() { return *ui; }

    // The exchange windows and the result line, as subscribers of the
    // exchange record: the last request and reply into LBtuda and LBsuda; a
    // failed exchange's result text into ListBox1 or a message box.
    void Show_tuda_suda(const lork::ExchangeRecord& rec);
    void Show_result(const lork::ExchangeRecord& rec);

    // The traffic journal: every exchange, its window and its log file.
    lork::journal::Store& journalStore() { return *journal_; }
    JournalWindow* journalWindow() const { return Fjournal; }
    // Logs every exchange to path from now on; false (told once in ListBox1) when it cannot.
    // from_start: the exchanges the journal holds go first (the command line's
    // log begins with the program's first exchange).
    bool startLog(const QString& path, bool from_start = false);
    void stopLog();
    bool logging() const;
    void N_journalClick();
    void N_logClick();

    // The trend plot: the measured resistance of every good measurement read.
    lork::trend::Trend& trend() { return *trend_; }
    PlotWindow* plotWindow() const { return Fplot; }
    void N_plotClick();
    // Set true on a window beside the main window's own: activating it does
    // not pause polling (see activationEvent).
    static constexpr const char* kBesideProperty = "besideMainWindow";

    // Makes the port given on the command line the one in use (again after
    // the settings file was loaded).
    void applyForcedPort();
    // Reads the system's ports anew into the port box, keeping the port in
    // use and the program's own entries (the box runs it as it opens).
    void refreshPortList();

    // --- handlers of the main window ---
    void FormCreate();
    void CBportsChange();
    void CBscorChange();
    void CBparityChange();
    void CBstopbitChange();
    void EsysnumChange();
    void UpDown_adrChangingEx(bool& allow, int newValue);
    void ToolButton4Click();
    void ToolButton6Click();
    void ToolButton7Click();
    void ToolButton9Click();
    void ToolButton10Click();
    void ToolButton11Click();
    void N_closeClick();
    void N_close1Click();
    void N_pokazaniaClick();
    void N_paramsClick();
    void N_calibrClick();
    void N_spravkaClick();
    void N_aboutClick();
    void ListBox1Click();
    void ListBox1DblClick();
    void Timer_systemTimer();

    // Activation, deactivation and close of the window.
    void FormActivate();
    void FormDeactivate();
    void FormClose();
    // The window's activation changed (the toolkit's activate/deactivate events).
    void activationEvent(bool active);
    // The first showing counts as an activation even where the window system
    // never activates the window (no window manager).
    void firstShown();

signals:
    // After a page's show or hide handler ran (index 0..3).
    void pageShown(int index);
    void pageHidden(int index);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool event(QEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

private:
    void buildToolBar();
    void buildStatusBar();
    void connectControls();
    void createPages();
    void buildJournal();
    void journalTake(const lork::ExchangeRecord& rec);
    void buildPlot();
    void plotTake(const lork::ExchangeRecord& rec);
    void portReconfigure();
    void pageVisibilityChanged(int index, bool shown);
    // Operator comfort: a steady layout, copying, keys, the remembered place.
    void setupComfort();

    lork::Clock& clock_;
    lork::Core core_;
    std::unique_ptr<lork::journal::Store> journal_;
    std::unique_ptr<lork::journal::LogFile> log_;
    JournalWindow* Fjournal = nullptr;
    QAction* N_journal = nullptr;
    QAction* N_log = nullptr;
    std::unique_ptr<lork::trend::Trend> trend_;
    PlotWindow* Fplot = nullptr;
    QAction* N_plot = nullptr;
    std::unique_ptr<Ui::Fglav> ui;
    QToolBar* ToolBar1 = nullptr;
    std::array<QToolButton*, 17> toolButtons{};  // ToolButtonN at index N; unused indices null
    QTimer* Timer_system = nullptr;
    QTimer* Timer_opros = nullptr;
    TFabout* Fabout = nullptr;
    TFmsg* Fmsg = nullptr;
    TFMsetup* FMsetup = nullptr;
    ReadingsPage* readings_ = nullptr;  // the pages are children of the window
    ParametersPage* parameters_ = nullptr;
    CalibrationPage* calibration_ = nullptr;
    TimeoutsPage* timeouts_ = nullptr;
    SearchCommands* search_ = nullptr;

    std::vector<std::string> port_list_;
    std::vector<std::string> own_ports_;
    std::function<std::vector<std::string>()> list_ports_;
    std::function<void(const QString&)> message_fn_;
    std::function<bool(int)> key_fn_;
    std::function<QDateTime()> now_fn_;
    std::string forced_port_;
    std::array<QLabel*, 6> status_panels_{};
    DigitKeyFilter* digit_filter_ = nullptr;
    bool in_activation_ = false;             // FormActivate is running
    bool activation_raised_message_ = false; // it showed a message: skip the activation that follows
    bool deactivated_outside_ = false;       // the last deactivation went to another program
    bool activated_once_ = false;
    bool shown_once_ = false;
    QElapsedTimer activation_ended_;         // since the last FormActivate ended
    bool start_aborted_ = false;
    QString place_file_;
};
