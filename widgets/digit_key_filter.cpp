#include "widgets/digit_key_filter.h"

#include <QKeyEvent>

bool DigitKeyFilter::passes(int key, const QString& text) {
    if (key == Qt::Key_Backspace || key == Qt::Key_Tab || key == Qt::Key_Backtab) return true;
    if (text.isEmpty()) return true;  // types nothing
    if (text.size() != 1) return false;
    const char16_t c = text[0].unicode();
    if (c >= u'0' && c <= u'9') return true;
    // Editing and clipboard keys type control characters; pasting could bring
    // in any text, so it stays out.
    if (c < 0x20 || c == 0x7f) return c != 0x16;
    return false;
}

bool DigitKeyFilter::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(event);
        if (!passes(k->key(), k->text())) return true;
    }
    return QObject::eventFilter(watched, event);
}
