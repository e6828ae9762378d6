// One wrapped line per exchange window, cheap enough to paint after every
// exchange. The line is made of few distinct words (the bytes in hex, " dl=",
// the length), so each word is shaped once and kept as glyphs with its
// width; a line is wrapped between words by adding widths, and its words'
// glyphs are joined into one run per font and line, drawn in one call. The
// few lines a polling tick shows again and again (its requests, the replies
// that have not changed) are kept placed as well. The view asks for the
// item's size several times per change and paints it once, and a full text
// layout each time was most of the window's work in a polling tick.
#pragma once

#include <QFont>
#include <QGlyphRun>
#include <QHash>
#include <QList>
#include <QSize>
#include <QString>
#include <QStyledItemDelegate>

class WrappedLineDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    struct Word {
        QList<QGlyphRun> runs;  // from the word's left end, the top of its line
        qreal width = 0;
    };
    struct Placed {
        QList<QGlyphRun> runs;  // from the item's top left, inside its margin
        QSize size;
    };
    // The text placed at the option's width and font.
    const Placed& place(const QStyleOptionViewItem& opt, const QString& text) const;
    const Word& word(const QString& w) const;
    mutable QHash<QString, Word> words_;
    mutable QHash<QString, Placed> lines_;
    mutable QFont font_;
    mutable int width_ = -1;
};
