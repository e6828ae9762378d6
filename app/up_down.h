#pragma once
// A pair of arrow buttons that is not tied to any edit: pressing an arrow moves
// its own position within [minimum, maximum] and reports the press, so the
// owner decides what, if anything, the press means for a neighbouring field.
#include <QWidget>

class QToolButton;

class UpDown : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int minimum READ minimum WRITE setMinimum)
    Q_PROPERTY(int maximum READ maximum WRITE setMaximum)
    Q_PROPERTY(int position READ position WRITE setPosition)
    Q_PROPERTY(int increment READ increment WRITE setIncrement)

public:
    explicit UpDown(QWidget* parent = nullptr);

    int minimum() const { return min_; }
    int maximum() const { return max_; }
    int position() const { return pos_; }
    int increment() const { return inc_; }
    void setMinimum(int v);
    void setMaximum(int v);
    void setPosition(int v);
    void setIncrement(int v) { inc_ = v; }

    QToolButton* upButton() const { return up_; }
    QToolButton* downButton() const { return down_; }

    // Presses an arrow as the operator would: +1 up, -1 down.
    void step(int direction);

signals:
    // Sent on every press, before the position moves (also at a limit, where it stays).
    void changing(int newPosition);

private:
    int min_ = 0;
    int max_ = 100;
    int pos_ = 0;
    int inc_ = 1;
    QToolButton* up_;
    QToolButton* down_;
};
