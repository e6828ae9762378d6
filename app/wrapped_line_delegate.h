// One wrapped line per exchange window, cheap enough to paint after every
// exchange. The line is made of few distinct words (the bytes in hex, " dl=",
// the length), so each word is shaped once and kept, with its width, and
// the line is wrapped between words by adding widths; the view asks for the
// item's size several times per change and paints it once, and a full text
// layout each time was most of the window's work in a polling tick.
#pragma once

#include <QFont>
#include <QHash>
#include <QPointF>
#include <QSize>
#include <QStaticText>
#include <QString>
#include <QStyledItemDelegate>
#include <vector>

class WrappedLineDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    struct Word {
        QStaticText text;
        qreal width = 0;
    };
    struct Placed {
        QPointF at;  // from the item's top left, inside its margin
        QStaticText text;
    };
    // Places the words of the last text at the last width; the item's size.
    void place(const QStyleOptionViewItem& opt) const;
    const Word& word(const QString& w) const;
    mutable QHash<QString, Word> words_;
    mutable QFont font_;
    mutable QString text_;
    mutable int width_ = -1;
    mutable std::vector<Placed> placed_;
    mutable QSize size_;
};
