#include "widgets/exchange_line.h"

#include "widgets/wrapped_line_delegate.h"

#include <QAccessible>

ExchangeLine::ExchangeLine(QWidget* parent) : QListWidget(parent) {
    setUniformItemSizes(true);
}

void ExchangeLine::wrapWholeLines(int lines) {
    setTextElideMode(Qt::ElideNone);
    setWordWrap(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setItemDelegate(new WrappedLineDelegate(this));
    const int frame = 2 * frameWidth() + 4;
    setFixedHeight(fontMetrics().lineSpacing() * lines + frame);
}

// What the delegate needs to size a line is the list's font and width; the
// view's full item option (its palette, its style's every setting) is
// wanted only for painting.
int ExchangeLine::lineHeight(const QModelIndex& index) const {
    QStyleOptionViewItem opt;
    opt.font = font();
    opt.widget = this;
    opt.rect = viewport()->rect();
    return itemDelegateForIndex(index)->sizeHint(opt, index).height();
}

void ExchangeLine::doItemsLayout() {
    QListWidget::doItemsLayout();
    laidHeight_ = count() == 1 ? lineHeight(model()->index(0, 0)) : -1;
}

void ExchangeLine::dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight, const QList<int>& roles) {
    if (topLeft == bottomRight && topLeft.isValid() && count() == 1 && laidHeight_ >= 0 &&
        lineHeight(topLeft) == laidHeight_) {
        // The place stays; the whole inside is the line, and is repainted.
        if (QAccessible::isActive())
            QAbstractItemView::dataChanged(topLeft, bottomRight, roles);  // tells the screen reader too
        else
            viewport()->update();
        return;
    }
    laidHeight_ = -1;
    QListWidget::dataChanged(topLeft, bottomRight, roles);
}
