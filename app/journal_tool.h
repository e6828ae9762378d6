#pragma once
// The traffic journal beside the main window: the store every exchange goes
// into, its window, the log file, the menu items "журнал обмена" and
// "запись журнала в файл..." and the tool button "журнал".
#include <QObject>
#include <memory>

class FeedSubscription;
class JournalWindow;
class QAction;
class QToolButton;
class QWidget;
class ToolHost;
namespace lork::journal {
class LogFile;
class Store;
}  // namespace lork::journal

class JournalTool : public QObject {
    Q_OBJECT
public:
    explicit JournalTool(ToolHost& host);
    ~JournalTool() override;

    lork::journal::Store& store() { return *store_; }
    JournalWindow* window() const { return window_.get(); }

    // Logs every exchange to path from now on; false (told once in the
    // information window) when it cannot. fromStart: the exchanges the
    // journal holds go first.
    bool startLog(const QString& path, bool fromStart = false);
    void stopLog();
    bool logging() const;

    void showWindow();
    // Stops a running log, else asks for a file and starts one there.
    void toggleLog();

private:
    // Gone in the reverse order: the subscription first, the store last.
    ToolHost& host_;
    std::unique_ptr<lork::journal::Store> store_;
    std::unique_ptr<lork::journal::LogFile> log_;
    std::unique_ptr<JournalWindow> window_;
    std::unique_ptr<QAction> showItem_;
    std::unique_ptr<QAction> logItem_;
    std::unique_ptr<QToolButton> button_;
    std::unique_ptr<FeedSubscription> subscription_;
};
