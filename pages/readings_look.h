#pragma once
// Colours of the readings page's indicator, shared by its form and its
// query, and how the query writes its fields.
#include <QColor>
#include <QLineEdit>
#include <QPalette>

namespace lork::pages {

inline const QColor ciColourStart(128, 0, 0);
inline const QColor ciColourOk(0, 128, 0);
inline const QColor ciColourFlag(255, 0, 0);

inline void setTextColour(QLineEdit* e, const QColor& c) {
    if (e->palette().color(QPalette::Text) == c) return;
    QPalette p = e->palette();
    p.setColor(QPalette::Text, c);
    e->setPalette(p);
}

// A field's text, rewritten only when it changes: every setText lays the
// text out again and repaints the field, and the polling rewrites every
// field of the query each tick, mostly with what it shows already.
inline void showText(QLineEdit* e, const QString& text) {
    if (e->text() != text) e->setText(text);
}

}  // namespace lork::pages
