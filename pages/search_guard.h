#pragma once
// A search blocks the event loop; events still get through wherever it lets
// them: the key-state questions (which swallow user input themselves) and a
// message box shown in the middle of a sweep. None of those may start another
// exchange: the main window's activation re-opens the port and probes, its
// close saves and quits, and the program's timers poll. The guard holds those
// back while it exists; painting, the message boxes and dialogs the search
// opens (their own close included) and the rest go on.
#include <QObject>

class QEvent;
class QWidget;

class SearchGuard : public QObject {
public:
    explicit SearchGuard(QWidget* mainWindow);
    ~SearchGuard() override;
    SearchGuard(const SearchGuard&) = delete;
    SearchGuard& operator=(const SearchGuard&) = delete;

    // Whether an event is held back while a search runs.
    static bool blocks(const QEvent* e, const QObject* receiver, const QWidget* mainWindow);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* main_;
};
