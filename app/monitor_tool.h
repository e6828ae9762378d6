#pragma once
// The line monitor beside the main window: the window "монитор линии", its
// menu item and tool button. It listens through a port of its own to a line
// another master drives and never sends a byte; the frames heard are decoded
// with the register table, coloured by kind and saved as pcap or CSV. It
// refuses the port the window itself talks through: that port is the
// window's alone (held exclusively), and two readers of one port would each
// get only part of the bytes; the window's own exchanges are in the journal.
#include <QObject>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>

#include "device/line_listener.h"
#include "platform/base/system_clock.h"
#include "records/line_capture.h"

class FrameTable;
class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class QToolButton;
class ToolHost;

class MonitorWindow : public QWidget {
    Q_OBJECT
public:
    struct Hooks {
        std::function<std::string()> windowPort;                 // the port the window talks through now
        std::function<lork::LineConfig()> windowLine;            // the window's line settings
        std::function<std::unique_ptr<lork::SerialPort>(const std::string&)> makePort;
    };
    MonitorWindow(Hooks hooks, QWidget* parent);
    ~MonitorWindow() override;

    // Asks where to save; a test puts its own answer here.
    std::function<QString(const QString& title, const QString& filter)> askSaveFile;

    // Starts listening with the settings in the fields, or says why not.
    void start();
    void stop();
    bool listening() const;
    void clear();
    bool savePcap(const QString& path);
    bool saveCsv(const QString& path);
    FrameTable& table() { return *table_; }
    // Whether two names reach the same device (a link to it counts).
    static bool samePort(const std::string& a, const std::string& b);

private:
    void startStop();
    void takeFrames();
    void showState();
    bool save(const QString& path, const QString& what, bool pcap);

    Hooks hooks_;
    lork::SystemClock clock_;
    std::unique_ptr<lork::monitor::BackgroundListener> listener_;
    lork::capture::TimeBase base_;
    std::string listeningTo_;
    QString note_;  // the last refusal, failure or save, after the counts
    uint64_t counts_[lork::monitor::kindCount] = {};
    QLineEdit* port_;
    QComboBox* rate_;
    QComboBox* parity_;
    QComboBox* stopbits_;
    QLineEdit* gap_;
    QPushButton* startStop_;
    QPushButton* clear_;
    QPushButton* pcap_;
    QPushButton* csv_;
    QTableView* view_;
    FrameTable* table_;
    QLabel* state_;
    QTimer timer_;
};

class MonitorTool : public QObject {
    Q_OBJECT
public:
    explicit MonitorTool(ToolHost& host);
    ~MonitorTool() override;

    MonitorWindow* window() const { return window_.get(); }
    void showWindow();

private:
    std::unique_ptr<MonitorWindow> window_;
    std::unique_ptr<QAction> showItem_;
    std::unique_ptr<QToolButton> button_;
};
