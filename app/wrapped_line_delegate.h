// One wrapped line per exchange window, laid out once per text: the view
// asks for the item's size when the text changes, again when it lays out
// its items and once more when it paints, and the style lays the text out
// twice for each paint; with a repaint after every exchange that was most
// of the window's work in a polling tick.
#pragma once

#include <QFont>
#include <QSize>
#include <QString>
#include <QStyledItemDelegate>
#include <QTextLayout>

class WrappedLineDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    // The layout of the last text at the last width, and the item's size.
    const QTextLayout& laidOut(const QStyleOptionViewItem& opt) const;
    int margin(const QStyleOptionViewItem& opt) const;
    mutable QTextLayout layout_;
    mutable QString text_;
    mutable QFont font_;
    mutable int width_ = -1;
    mutable QSize size_;
};
