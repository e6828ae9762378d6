#include "widgets/wrapped_line_delegate.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QFontMetricsF>
#include <QPainter>
#include <QStyle>
#include <QTextLayout>

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
constexpr int kMaxLines = 64;    // a tick's requests and replies, several times over

// Adds a word's glyphs at `at` to the line's runs, joined to the last run
// when it is in the same font.
void append(QList<QGlyphRun>& runs, const QList<QGlyphRun>& word, QPointF at, qsizetype lineStart) {
    for (const QGlyphRun& g : word) {
        QList<QPointF> pos = g.positions();
        for (QPointF& p : pos) p += at;
        if (runs.size() > lineStart && runs.back().rawFont() == g.rawFont()) {
            QGlyphRun& last = runs.back();
            last.setGlyphIndexes(last.glyphIndexes() + g.glyphIndexes());
            last.setPositions(last.positions() + pos);
        } else {
            QGlyphRun made;
            made.setRawFont(g.rawFont());
            made.setGlyphIndexes(g.glyphIndexes());
            made.setPositions(pos);
            runs.push_back(made);
        }
    }
}
}  // namespace

const WrappedLineDelegate::Word& WrappedLineDelegate::word(const QString& w) const {
    auto it = words_.constFind(w);
    if (it != words_.constEnd()) return *it;
    if (words_.size() >= kMaxWords) words_.clear();
    QTextLayout layout(w, font_);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    Word made;
    made.runs = layout.glyphRuns();
    made.width = QFontMetricsF(font_).horizontalAdvance(w);
    return *words_.insert(w, made);
}

const WrappedLineDelegate::Placed& WrappedLineDelegate::place(const QStyleOptionViewItem& opt, const QString& text) const {
    const int width = viewWidth(opt);
    if (width != width_ || opt.font != font_) {
        if (opt.font != font_) words_.clear();
        lines_.clear();
        font_ = opt.font;
        width_ = width;
    }
    auto it = lines_.constFind(text);
    if (it != lines_.constEnd()) return *it;
    if (lines_.size() >= kMaxLines) lines_.clear();
    Placed made;
    const QFontMetricsF fm(font_);
    const qreal blank = fm.horizontalAdvance(QLatin1Char(' '));
    const qreal room = qMax(1, width - 2 * margin(opt));
    const qreal lineHeight = fm.lineSpacing();
    qreal x = 0, y = 0;
    qsizetype lineStart = 0;  // the first run of the line being filled
    for (qsizetype i = 0; i < text.size();) {
        if (text[i] == QLatin1Char(' ')) {
            x += blank;  // blanks stay at the end of a line, as a text layout keeps them
            ++i;
            continue;
        }
        qsizetype end = text.indexOf(QLatin1Char(' '), i);
        if (end < 0) end = text.size();
        const Word& w = word(text.sliced(i, end - i));
        if (x > 0 && x + w.width > room) {
            x = 0;
            y += lineHeight;
            lineStart = made.runs.size();
        }
        append(made.runs, w.runs, QPointF(x, y), lineStart);
        x += w.width;
        i = end;
    }
    made.size = QSize(width, int(std::ceil(y + lineHeight)) + 2);  // a pixel above and below, as the style leaves
    return *lines_.insert(text, made);
}

// The view asks for the size each time it looks for the item's place, several
// times per change; the style's full option (every role of the item, the
// palette, the font) is wanted only to paint a highlight. The line is the
// item's text in the list's own font: the exchange windows set no other.
QSize WrappedLineDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    return place(option, index.data(Qt::DisplayRole).toString()).size;
}

void WrappedLineDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    QStyleOptionViewItem opt = option;
    const QStyle* style = styleOf(opt);
    // The panel is the selection's or the pointer's highlight; with neither
    // it draws nothing on the list's own background.
    if (opt.state & (QStyle::State_Selected | QStyle::State_MouseOver)) {
        initStyleOption(&opt, index);
        style->drawPrimitive(QStyle::PE_PanelItemViewItem, &opt, painter, opt.widget);
    }
    const Placed& placed = place(opt, index.data(Qt::DisplayRole).toString());
    const QPalette::ColorGroup group = !(opt.state & QStyle::State_Enabled) ? QPalette::Disabled
                                       : (opt.state & QStyle::State_Active) ? QPalette::Normal
                                                                            : QPalette::Inactive;
    const bool selected = opt.state & QStyle::State_Selected;
    painter->save();
    painter->setPen(opt.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
    const QPointF origin(opt.rect.left() + margin(opt), opt.rect.top() + (opt.rect.height() - placed.size.height()) / 2.0 + 1);
    for (const QGlyphRun& run : placed.runs) painter->drawGlyphRun(origin, run);
    painter->restore();
    if (opt.state & QStyle::State_HasFocus) {
        QStyleOptionFocusRect focus;
        focus.QStyleOption::operator=(opt);
        focus.backgroundColor = opt.palette.color(group, selected ? QPalette::Highlight : QPalette::Window);
        style->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, opt.widget);
    }
}
