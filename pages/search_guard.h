#pragma once
// While a search runs the window must look alive (its progress is repainted)
// but must not start anything else: no clicks, no typing, no menu, no close,
// no activation handler, no timer tick of the program's own timers. The guard
// swallows those events while it exists; key presses of Q and X are handed to
// the key-state layer first, so the operator can still end the search.
#include <QObject>
#include <functional>

class QEvent;

class SearchGuard : public QObject {
public:
    // onKey is called with the Qt key code of every key press swallowed.
    explicit SearchGuard(std::function<void(int qtKey)> onKey);
    ~SearchGuard() override;
    SearchGuard(const SearchGuard&) = delete;
    SearchGuard& operator=(const SearchGuard&) = delete;

    // Delivers what is waiting (paint requests and the swallowed input among
    // it), so that repaints reach the screen and key presses are noticed.
    static void pump();
    // True while some guard is installed.
    static bool active();

    // Whether an event of this type is held back while a search runs.
    static bool blocks(const QEvent* e, const QObject* receiver);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::function<void(int)> onKey_;
};
