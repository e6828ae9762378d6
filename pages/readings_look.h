#pragma once
// Colours of the readings page's indicator, shared by its form and its query.
#include <QColor>
#include <QLineEdit>
#include <QPalette>

namespace lork::pages {

inline const QColor ci_colour_start(128, 0, 0);
inline const QColor ci_colour_ok(0, 128, 0);
inline const QColor ci_colour_flag(255, 0, 0);

inline void Set_text_colour(QLineEdit* e, const QColor& c) {
    QPalette p = e->palette();
    p.setColor(QPalette::Text, c);
    e->setPalette(p);
}

}  // namespace lork::pages
