#pragma once
// Colours of the readings page's indicator, shared by its form and its
// query, and how the query writes its fields.
#include <QColor>
#include <QLineEdit>
#include <QPalette>

namespace lork::pages {

inline const QColor ci_colour_start(128, 0, 0);
inline const QColor ci_colour_ok(0, 128, 0);
inline const QColor ci_colour_flag(255, 0, 0);

inline void Set_text_colour(QLineEdit* e, const QColor& c) {
    if (e->palette().color(QPalette::Text) == c) return;
    QPalette p = e->palette();
    p.setColor(QPalette::Text, c);
    e->setPalette(p);
}

// A field's text, rewritten only when it changes: every setText lays the
// text out again and repaints the field, and the polling rewrites every
// field of the query each tick, mostly with what it shows already.
inline void Show_text(QLineEdit* e, const QString& text) {
    if (e->text() != text) e->setText(text);
}

}  // namespace lork::pages
