#pragma once
// Key filter for edits that take a decimal number: only the digits and
// backspace reach the edit; every other character key is dropped. Keys that
// type no character (cursor keys, Delete, Tab, copy and cut) pass; paste does
// not. One filter object serves any
// number of edits.
#include <QObject>

class DigitKeyFilter : public QObject {
public:
    using QObject::QObject;
    // Whether a key press with this key and text reaches the edit.
    static bool passes(int key, const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};
