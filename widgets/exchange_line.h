// An exchange window: a list that holds one line, the last request or reply,
// rewritten after every exchange and painted at once. The line is wrapped
// between the bytes so that the " dl=N" at the end of a long reply is never
// cut off.
//
// A list looks for its item's place (and asks the delegate for the item's
// size) each time it updates, paints or maps the item, and lays all its
// items out again whenever one's text changes. With one line, whose height
// is nearly always the one it had, both are left out: the item's size is
// the list's one item size, found at each layout, and a text that keeps the
// line's height needs no new layout.
#pragma once

#include <QListWidget>

class ExchangeLine : public QListWidget {
public:
    explicit ExchangeLine(QWidget* parent = nullptr);
    // Wrapped at the blanks into at most `lines` lines of the list's height.
    void wrapWholeLines(int lines);

    void doItemsLayout() override;

protected:
    void dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight, const QList<int>& roles) override;

private:
    int lineHeight(const QModelIndex& index) const;
    int laidHeight_ = -1;  // the line's height at the last layout
};
