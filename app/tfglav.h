#pragma once
// The main window: tool bar, menu, port controls, page control, exchange
// windows, information window, clock and status bar. It holds the core, is
// its Host and the pages' PageHost, and creates the pages and the tools.
#include <QMainWindow>
#include <memory>

#include "app/window_platform.h"
#include "pages/page_host.h"
#include "platform/host.h"

class CalibrationPage;
class JournalTool;
class ParametersPage;
class PlotTool;
class PortControls;
class QLabel;
class QToolButton;
class ReadingsPage;
class TFabout;
class TFmsg;
class TFMsetup;
class TimeoutsPage;
namespace Ui {
class Fglav;
}

class TFglav : public QMainWindow, public lork::Host, public PageHost {
    Q_OBJECT
public:
    using Platform = WindowPlatform;
    explicit TFglav(Platform platform, QWidget* parent = nullptr);
    ~TFglav() override;

    // True when start-up could not go on (no serial port): the program ends.
    bool startAborted() const;
    void setAboutBox(TFabout* about);
    void setMessageWindow(TFmsg* msg);
    void setSettingsHolder(TFMsetup* holder);  // the holder registers itself
    TFMsetup* settingsHolder() const;
    // The window's place and last page, kept in a file between runs: read now, written at close.
    void usePlaceFile(const QString& path);
    void savePlace() const;
    // Centred on its screen; maximised when it would not fit there with its
    // frame, unless the place file gave the operator's own choice.
    void fitToScreen();

    lork::Core& core() override { return core_; }
    lork::State& st() { return core_.st; }
    lork::LineSettings& ls() { return core_.st.ls; }
    ReadingsPage& readings();
    ParametersPage& parameters();
    CalibrationPage& calibration();
    TimeoutsPage& timeouts();
    JournalTool& journal();
    PlotTool& plot();
    PortControls& ports();

    // --- PageHost and lork::Host ---
    void message(const QString& text) override;
    void messageBox(const std::string& text) override;
    // The start-up's messages, held until the window is up, as one box.
    void showHeldMessages();
    bool keyPressedSince(int vk) override;
    void infoLine(const std::string& text) override { addInfoLine(QString::fromStdString(text)); }
    void setStatusPanelText(int i, const QString& text) override;
    void lineChanged() override;
    void addInfoLine(const QString& line) override;
    void replaceLastInfoLine(const QString& line) override;
    void clearInfo() override;
    void showInfo() override;
    QListWidget* infoWindow() override;
    void clearExchangeWindows() override;
    QTimer* pollTimer() override;
    QDateTime wallNow() const override;
    QObject* digitKeyFilter() override;
    void announce(const QString& text) override;
    void announceProgress(const QString& text) override;
    void setMessageFunction(std::function<void(const QString&)> fn);
    void setKeyFunction(std::function<bool(int)> fn);

    // Status bar: panels 0..4 the port, address, rate, parity and stop bits in use, 5 the message.
    QString statusPanelText(int i) const;
    QLabel* statusPanel(int i) const;
    void showLinePanels();  // panels 0..4 from the line settings
    QStringList infoLines() const;
    void addPageWidget(int index, QWidget* page);  // a page's own widget into TabSheet1..4 (index 0..3)
    QWidget* tabSheet(int index) const;
    QToolButton* toolButton(int n) const;  // ToolButtonN
    QTimer* systemTimer() const;

    // The exchange record's subscribers: the last request and reply into
    // LBtuda and LBsuda; a failure's text into ListBox1 or a message box.
    void Show_tuda_suda(const lork::ExchangeRecord& rec);
    void showResult(const lork::ExchangeRecord& rec);
    // The panel after the status bar's own: since when the instrument is silent.
    void showLinkState(const lork::ExchangeRecord& rec);
    QString linkPanelText() const;

    // --- handlers of the main window ---
    void FormCreate();
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
    // The menu item "не прекращать опрос при сбоях" shows the line settings' choice.
    void showKeepPolling();
    void N_spravkaClick();
    void N_aboutClick();
    void ListBox1Click();
    void ListBox1DblClick();
    void Timer_systemTimer();
    void FormActivate();
    void FormDeactivate();
    void FormClose();
    // The toolkit's activate (true) and deactivate events.
    void activationEvent(bool active);
    // The first showing stands in for an activation a bare window system never sends.
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
    struct Parts;
    void connectControls();
    void createPages();
    void pageVisibilityChanged(int index, bool shown);
    void setupComfort();  // a steady layout, copying, keys
    void setupSpeech();   // what a screen reader hears beyond the names

    lork::Core core_;
    std::unique_ptr<Ui::Fglav> ui;
    std::unique_ptr<Parts> parts_;  // after core_: its tools leave the core's feed first
};
