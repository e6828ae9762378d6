#pragma once
// The main window: tool bar, menu, port controls, page control, exchange
// windows, information window, clock and status bar. It holds the program's
// core (state, serial link, instrument model) and is the core's Host.
//
// The handlers of the four pages and of the device search are members of
// this class too; each page declares them in its own fragment
// pages/<page>_members.inc (included inside the class below) and defines
// them in pages/<page>.cpp, so pages are added without editing this file.
#include <QDateTime>
#include <QElapsedTimer>
#include <QMainWindow>
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/host.h"
#include "protocol/device.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QTabWidget;
class QTimer;
class QToolBar;
class QToolButton;
class DigitKeyFilter;
class TFabout;
class TFmsg;
class TFMsetup;
class UpDown;

namespace Ui {
class Fglav;
}

class TFglav : public QMainWindow, public lork::Host {
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
    };

    explicit TFglav(Platform platform, QWidget* parent = nullptr);
    ~TFglav() override;

    // True when start-up could not go on (no serial port): the program ends.
    bool startAborted() const { return start_aborted_; }

    void setAboutBox(TFabout* about) { Fabout = about; }
    void setMessageWindow(TFmsg* msg) { Fmsg = msg; }

    // --- for the pages, the settings holder and tests ---
    lork::Core& core() { return core_; }
    lork::State& st() { return core_.st; }
    lork::LineSettings& ls() { return core_.st.ls; }
    const std::vector<std::string>& port_list() const { return port_list_; }

    // One modal message with an OK button (UTF-8 or QString).
    void message(const QString& text);
    void setMessageFunction(std::function<void(const QString&)> fn) { message_fn_ = std::move(fn); }
    void setKeyFunction(std::function<bool(int)> fn) { key_fn_ = std::move(fn); }

    // Status bar: panels 0..4 port settings, 5 the message panel.
    QString statusPanelText(int i) const;
    void setStatusPanelText(int i, const QString& text);
    void setStatusMessage(const QString& text) { setStatusPanelText(5, text); }
    QLabel* statusPanel(int i) const { return status_panels_.at(size_t(i)); }

    // Information window ListBox1.
    void addInfoLine(const QString& line);
    void replaceLastInfoLine(const QString& line);
    void clearInfo();
    void showInfo();
    QStringList infoLines() const;

    // Puts a page's own widget into TabSheet1..4 (index 0..3).
    void addPageWidget(int index, QWidget* page);
    QWidget* tabSheet(int index) const;
    // Keeps an object (a page's generated ui class, say) alive as long as the
    // window; the shared pointer's deleter is the one of the complete type.
    void keepPagePart(std::shared_ptr<void> part) { page_parts_.push_back(std::move(part)); }
    // The key filter of Esysnum, for other address edits.
    DigitKeyFilter* digitKeyFilter() const { return digit_filter_; }

    // The exchange log: the last request and reply into LBtuda and LBsuda.
    void Show_tuda_suda();
    // One exchange as every page makes it: the request variables set, the
    // request sent and the reply received, the exchange logged, the reply
    // checked into kod_rez (functions 3 and 4 read kol registers; 16 writes
    // the first kol values). Returns kod_rez.
    uint8_t Exchange(uint8_t func, uint16_t start, uint16_t kol, const std::vector<uint16_t>& values = {});
    // The result line of a failed exchange into ListBox1; returns kod.
    uint8_t Report_info(uint8_t kod);

    // --- lork::Host ---
    void messageBox(const std::string& text) override;
    bool keyPressedSince(int vk) override;
    void infoLine(const std::string& text) override { addInfoLine(QString::fromStdString(text)); }

    // Makes the port given on the command line the one in use (again after
    // the settings file was loaded).
    void applyForcedPort();

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

    // Controls (object name = name), for the pages and tests.
    std::unique_ptr<Ui::Fglav> ui;
    QToolBar* ToolBar1 = nullptr;
    std::array<QToolButton*, 15> toolButtons{};  // ToolButtonN at index N; unused indices null
    QToolButton* toolButton(int n) const { return toolButtons.at(size_t(n)); }
    QTimer* Timer_system = nullptr;
    QTimer* Timer_opros = nullptr;
    TFabout* Fabout = nullptr;
    TFmsg* Fmsg = nullptr;
    TFMsetup* FMsetup = nullptr;  // the settings holder, once created

    // Polling flags of the readings page, cleared at start.
    uint8_t periodic_opros = 0;
    uint8_t opros_active = 0;

    // --- pages: one fragment each; members are plain (no signals or slots) ---
    // Each page's setup runs once while the window is built: it puts its
    // widget into its TabSheet and connects its own controls.
    void Setup_page_readings();
    void Setup_page_parameters();
    void Setup_page_calibration();
    void Setup_page_timeouts();
    void Setup_search();
    // Run when a page becomes visible or hidden (tab change, window shown).
    void TabSheet1Show();
    void TabSheet1Hide();
    void TabSheet2Show();
    void TabSheet2Hide();
    void TabSheet3Show();
    void TabSheet3Hide();
    void TabSheet4Show();
    void TabSheet4Hide();
#include "pages/readings_members.inc"
#include "pages/parameters_members.inc"
#include "pages/calibration_members.inc"
#include "pages/timeouts_members.inc"
#include "pages/search_members.inc"

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
    void portReconfigure();
    void pageVisibilityChanged(int index, bool shown);

    lork::Core core_;
    std::vector<std::string> port_list_;
    std::function<void(const QString&)> message_fn_;
    std::function<bool(int)> key_fn_;
    std::function<QDateTime()> now_fn_;
    std::string forced_port_;
    std::array<QLabel*, 6> status_panels_{};
    DigitKeyFilter* digit_filter_ = nullptr;
    std::vector<std::shared_ptr<void>> page_parts_;
    bool in_activation_ = false;             // FormActivate is running
    bool activation_raised_message_ = false; // it showed a message: skip the activation that follows
    bool deactivated_outside_ = false;       // the last deactivation went to another program
    bool activated_once_ = false;
    bool shown_once_ = false;
    QElapsedTimer activation_ended_;         // since the last FormActivate ended
    bool start_aborted_ = false;
};
