#include "app/wrapped_line_delegate.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QPainter>
#include <QStyle>
#include <QTextLine>
#include <QTextOption>

namespace {
// The whole view's width: the list's one column.
int viewWidth(const QStyleOptionViewItem& opt) {
    if (const auto* view = qobject_cast<const QAbstractItemView*>(opt.widget)) return view->viewport()->width();
    return opt.rect.width();
}
}  // namespace

int WrappedLineDelegate::margin(const QStyleOptionViewItem& opt) const {
    // The style's own text margin in an item view.
    const QStyle* style = opt.widget ? opt.widget->style() : QApplication::style();
    return style->pixelMetric(QStyle::PM_FocusFrameHMargin, &opt, opt.widget) + 1;
}

const QTextLayout& WrappedLineDelegate::laidOut(const QStyleOptionViewItem& opt) const {
    const int width = viewWidth(opt);
    if (width == width_ && opt.text == text_ && opt.font == font_) return layout_;
    text_ = opt.text;
    font_ = opt.font;
    width_ = width;
    const int m = margin(opt);
    const qreal line_width = qMax(1, width - 2 * m);
    layout_.clearLayout();
    layout_.setText(text_);
    layout_.setFont(font_);
    QTextOption to(Qt::AlignLeft | Qt::AlignVCenter);
    to.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout_.setTextOption(to);
    layout_.beginLayout();
    qreal y = 0;
    for (QTextLine line = layout_.createLine(); line.isValid(); line = layout_.createLine()) {
        line.setLineWidth(line_width);
        line.setPosition(QPointF(0, y));
        y += line.height();
    }
    layout_.endLayout();
    size_ = QSize(width, qCeil(y) + 2 * 1);  // one pixel above and below, as the style leaves
    return layout_;
}

QSize WrappedLineDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    laidOut(opt);
    return size_;
}

void WrappedLineDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const QStyle* style = opt.widget ? opt.widget->style() : QApplication::style();
    style->drawPrimitive(QStyle::PE_PanelItemViewItem, &opt, painter, opt.widget);
    const QTextLayout& layout = laidOut(opt);
    const QPalette::ColorGroup group = !(opt.state & QStyle::State_Enabled) ? QPalette::Disabled
                                       : (opt.state & QStyle::State_Active) ? QPalette::Normal
                                                                            : QPalette::Inactive;
    const bool selected = opt.state & QStyle::State_Selected;
    painter->save();
    painter->setPen(opt.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
    const qreal top = opt.rect.top() + (opt.rect.height() - layout.boundingRect().height()) / 2;
    layout.draw(painter, QPointF(opt.rect.left() + margin(opt), top));
    painter->restore();
    if (opt.state & QStyle::State_HasFocus) {
        QStyleOptionFocusRect focus;
        focus.QStyleOption::operator=(opt);
        focus.backgroundColor = opt.palette.color(group, selected ? QPalette::Highlight : QPalette::Window);
        style->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, opt.widget);
    }
}
