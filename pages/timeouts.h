#pragma once
// The port time-out page "таймауты" (TabSheet4): the time-outs the serial
// port is configured with, plus a byte time-out and a packet pause that the
// operator may keep here.
#include <QObject>
#include <array>
#include <cstdint>
#include <memory>

class PageHost;
class QWidget;
namespace Ui {
class PageTimeouts;
}

class TimeoutsPage : public QObject {
public:
    TimeoutsPage(PageHost& host, QWidget* sheet, QObject* parent);
    ~TimeoutsPage() override;

    // The port's five time-outs into LE_RTI..LE_WTTC.
    void Show_timeouts();
    // The byte time-out and the packet pause of the line settings into
    // their edits (the activation does this).
    void showLinePauses();
    void E_tout_byteChange();
    void E_tout_pauseChange();
    void UpDown_Tout_byteChanging();
    void UpDown_Tout_pauseChanging();
    void TabSheet4Show();
    void TabSheet4Hide();
    // The values of E_RTI..E_WTTC as they stand, in that order: what a full
    // save of the settings file writes into its section of time-outs.
    std::array<uint16_t, 5> editedTimeouts() const;

private:
    PageHost& host_;
    std::unique_ptr<Ui::PageTimeouts> f_;
};
