#include "app/wrapped_line_delegate.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QFontMetricsF>
#include <QPainter>
#include <QStyle>

#include <cmath>

namespace {
// The whole view's width: the list's one column.
int viewWidth(const QStyleOptionViewItem& opt) {
    if (const auto* view = qobject_cast<const QAbstractItemView*>(opt.widget)) return view->viewport()->width();
    return opt.rect.width();
}

const QStyle* styleOf(const QStyleOptionViewItem& opt) {
    return opt.widget ? opt.widget->style() : QApplication::style();
}

// The style's own text margin in an item view.
int margin(const QStyleOptionViewItem& opt) {
    return styleOf(opt)->pixelMetric(QStyle::PM_FocusFrameHMargin, &opt, opt.widget) + 1;
}

constexpr int kMaxWords = 2048;  // 256 bytes in hex and a few more: more means other texts
}  // namespace

const WrappedLineDelegate::Word& WrappedLineDelegate::word(const QString& w) const {
    auto it = words_.constFind(w);
    if (it != words_.constEnd()) return *it;
    if (words_.size() >= kMaxWords) words_.clear();
    Word made;
    made.text = QStaticText(w);
    made.text.setTextFormat(Qt::PlainText);
    made.text.prepare(QTransform(), font_);
    made.width = QFontMetricsF(font_).horizontalAdvance(w);
    return *words_.insert(w, made);
}

void WrappedLineDelegate::place(const QStyleOptionViewItem& opt) const {
    const int width = viewWidth(opt);
    if (width == width_ && opt.text == text_ && opt.font == font_) return;
    if (opt.font != font_) words_.clear();
    font_ = opt.font;
    text_ = opt.text;
    width_ = width;
    placed_.clear();
    const QFontMetricsF fm(font_);
    const qreal blank = fm.horizontalAdvance(QLatin1Char(' '));
    const qreal room = qMax(1, width - 2 * margin(opt));
    const qreal line_height = fm.lineSpacing();
    qreal x = 0, y = 0;
    for (qsizetype i = 0; i < text_.size();) {
        if (text_[i] == QLatin1Char(' ')) {
            x += blank;  // blanks stay at the end of a line, as a text layout keeps them
            ++i;
            continue;
        }
        qsizetype end = text_.indexOf(QLatin1Char(' '), i);
        if (end < 0) end = text_.size();
        const Word& w = word(text_.sliced(i, end - i));
        if (x > 0 && x + w.width > room) {
            x = 0;
            y += line_height;
        }
        placed_.push_back({QPointF(x, y), w.text});
        x += w.width;
        i = end;
    }
    size_ = QSize(width, int(std::ceil(y + line_height)) + 2);  // a pixel above and below, as the style leaves
}

QSize WrappedLineDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    place(opt);
    return size_;
}

void WrappedLineDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const QStyle* style = styleOf(opt);
    style->drawPrimitive(QStyle::PE_PanelItemViewItem, &opt, painter, opt.widget);
    place(opt);
    const QPalette::ColorGroup group = !(opt.state & QStyle::State_Enabled) ? QPalette::Disabled
                                       : (opt.state & QStyle::State_Active) ? QPalette::Normal
                                                                            : QPalette::Inactive;
    const bool selected = opt.state & QStyle::State_Selected;
    painter->save();
    painter->setFont(font_);
    painter->setPen(opt.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
    const QPointF origin(opt.rect.left() + margin(opt), opt.rect.top() + (opt.rect.height() - size_.height()) / 2.0 + 1);
    for (const Placed& p : placed_) painter->drawStaticText(origin + p.at, p.text);
    painter->restore();
    if (opt.state & QStyle::State_HasFocus) {
        QStyleOptionFocusRect focus;
        focus.QStyleOption::operator=(opt);
        focus.backgroundColor = opt.palette.color(group, selected ? QPalette::Highlight : QPalette::Window);
        style->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, opt.widget);
    }
}
