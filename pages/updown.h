#pragma once
// An up-down pair of arrow buttons tied to an edit, as the instrument pages
// use it: the edit's own number is where a step starts from, the handlers
// hear about the move before it happens (also a move past the range, which
// then does not happen), and a move writes the new number into the edit,
// so the edit's change handler runs as for typed text.
#include <QWidget>

class QLineEdit;
class QToolButton;

class UpDown : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int minimum READ minimum WRITE setMinimum)
    Q_PROPERTY(int maximum READ maximum WRITE setMaximum)
    Q_PROPERTY(int position READ position WRITE setPosition)
public:
    explicit UpDown(QWidget* parent = nullptr);

    int minimum() const { return min_; }
    int maximum() const { return max_; }
    int position() const { return pos_; }
    void setMinimum(int v) { min_ = v; }
    void setMaximum(int v) { max_ = v; }
    void setPosition(int v);

    // The edit whose number the up-down steps; Up/Down keys in it step too.
    void setBuddy(QLineEdit* edit);
    QLineEdit* buddy() const { return buddy_; }

    // One step up (+1) or down (-1), as a click on an arrow does.
    void step(int delta);

    QToolButton* upButton() const { return up_; }
    QToolButton* downButton() const { return down_; }

signals:
    void changing();                // about to move; the position is still the old one
    void changingEx(int newValue);  // the position a move would reach, possibly out of range

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int min_ = 0;
    int max_ = 100;
    int pos_ = 0;
    QLineEdit* buddy_ = nullptr;
    QToolButton* up_;
    QToolButton* down_;
};
