#pragma once
// Lets the operator copy a list's lines: context menu "копировать" and
// Ctrl+C. The chosen lines, or every line when none is chosen (a click on
// the information window clears it, so whole copies are the common case).
#include <QObject>

class QAction;
class QListWidget;

class CopyLines : public QObject {
    Q_OBJECT
public:
    explicit CopyLines(QListWidget* list);
    QAction* action() const { return copy_; }
    QString text() const;  // what a copy takes

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void copy();
    QListWidget* list_;
    QAction* copy_;
};
