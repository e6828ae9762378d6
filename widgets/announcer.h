#pragma once
// Tells a screen reader what a command came to, without moving the focus:
// the result of a query or a write, polling started and stopped, the link
// lost and back, a search's progress and its end.
//
// Qt 6.4 has no announcement call. Screen readers present an object with
// the notification role when it is shown (Orca reads its role and name), so
// each text goes out as a hidden notification object that "shows" with it.
// A few such objects take turns: a reader that asks for the name after the
// next text has gone out still finds its own.
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringList>
#include <array>
#include <functional>

class QLabel;
class QWidget;

namespace lork::widgets {

class Announcer : public QObject {
    Q_OBJECT
public:
    // Its objects are children of window, which it lives as long as.
    explicit Announcer(QWidget* window);

    // Told at once.
    void announce(const QString& text);
    // A progress report is told when `progressGap` has passed since the last
    // one told; in between, reports are dropped (the next one is newer).
    void progress(const QString& text);
    // The next progress report is told at once (a new search begins).
    void restartProgress();
    static constexpr int progressGap = 2000;  // ms

    // What was told, oldest first, the last 50 (for tests and the journal of a session).
    const QStringList& told() const { return told_; }

    // The announcer of w's window; null when there is none.
    static Announcer* of(const QWidget* w);

private:
    std::array<QWidget*, 16> notices_{};
    size_t next_ = 0;
    QElapsedTimer sinceProgress_;
    QStringList told_;
};

// A label whose text changes many times a second (a search's progress in
// the status bar) would flood a screen reader: its name follows its text at
// most once every two seconds, and the last text after two quiet seconds.
// Call it after each change of the text.
void paceName(QLabel* label);

// Runs change with the accessibility events it raises dropped: for a
// display that changes faster than anyone can listen, told on its own pace.
void unheard(const std::function<void()>& change);

}  // namespace lork::widgets
