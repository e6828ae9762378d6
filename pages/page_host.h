#pragma once
// What a page needs of the main window, and nothing more: the core and its
// transactions (each exchange is published once; the exchange windows and
// the result line follow it), the information window, the status bar's
// message, a modal message, the polling timer, the key state and the clock.
#include <QDateTime>
#include <QString>
#include <cstdint>
#include <vector>

#include "device/device.h"

class QComboBox;

class QListWidget;
class QObject;
class QTimer;
class QWidget;

class PageHost {
public:
    virtual lork::Core& core() = 0;

    // One modal message with an OK button.
    virtual void message(const QString& text) = 0;
    // The status bar: panels 0..4 the line settings, 5 the message.
    virtual void setStatusPanelText(int i, const QString& text) = 0;
    void setStatusMessage(const QString& text) { setStatusPanelText(5, text); }
    // The port, rate, parity, stop bits or address in use changed: panels 0..4 follow.
    virtual void lineChanged() = 0;

    // The information window ListBox1.
    virtual void addInfoLine(const QString& line) = 0;
    virtual void replaceLastInfoLine(const QString& line) = 0;
    virtual void clearInfo() = 0;
    virtual void showInfo() = 0;
    virtual QListWidget* infoWindow() = 0;  // its look, selection and painting
    // Empties the exchange windows LBtuda and LBsuda.
    virtual void clearExchangeWindows() = 0;

    virtual QTimer* pollTimer() = 0;           // Timer_opros
    virtual bool keyPressedSince(int vk) = 0;  // the asynchronous key state
    virtual QDateTime wallNow() const = 0;     // the wall clock (fixed in tests)
    virtual QObject* digitKeyFilter() = 0;     // digits and backspace only, for address edits

    // Tells a screen reader what a command came to, without moving the
    // focus; a progress report at most once every two seconds.
    virtual void announce(const QString& text) = 0;
    virtual void announceProgress(const QString& text) = 0;

    // One transaction with the instrument (see lork::Device::transact).
    uint8_t exchange(uint8_t func, uint16_t start, uint16_t kol, const std::vector<uint16_t>& values = {},
                     lork::FailureReport report = lork::FailureReport::Line) {
        return core().dev.transact(func, start, kol, values, report);
    }
    // The item chosen in a box; with none chosen the standard refusal is
    // shown and -1 returned.
    int chosenItem(const QComboBox* box);

protected:
    ~PageHost() = default;
};
