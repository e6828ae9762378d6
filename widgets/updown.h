#pragma once
// An up-down control: two small arrow buttons that step a position within a
// range, optionally bound to an edit whose text they read and write (the
// edit's number is taken as the position before each step, the new position
// is written back as its text, which fires the edit's change handler).
//
// Events, in the order an arrow press raises them: changing(allow),
// changingEx(allow, newValue, direction) — newValue is the position plus or
// minus the increment, possibly outside the range — then, when allowed, the
// position moves (clamped to the range) and clicked(direction) follows.
// The up and down cursor keys in the bound edit press the arrows.
#include <QWidget>

class QLineEdit;
class QToolButton;

class UpDown : public QWidget {
    Q_OBJECT
public:
    enum Direction { None = 0, Up = 1, Down = 2 };
    Q_ENUM(Direction)

    explicit UpDown(QWidget* parent = nullptr);

    void setRange(int min, int max);
    int minimum() const { return min_; }
    int maximum() const { return max_; }
    void setIncrement(int inc) { inc_ = inc; }
    int increment() const { return inc_; }
    // Sets the position without raising any event; a bound edit shows it.
    void setPosition(int pos);
    int position() const { return pos_; }
    void setAssociate(QLineEdit* edit);
    QLineEdit* associate() const { return edit_; }

    // What a press of an arrow does.
    void step(Direction dir);

    QToolButton* upButton() const { return up_; }
    QToolButton* downButton() const { return down_; }

signals:
    void changing(bool& allow);
    void changingEx(bool& allow, int newValue, UpDown::Direction dir);
    void clicked(UpDown::Direction dir);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QToolButton* up_;
    QToolButton* down_;
    QLineEdit* edit_ = nullptr;
    int min_ = 0, max_ = 100, pos_ = 0, inc_ = 1;
};
