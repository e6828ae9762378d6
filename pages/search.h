#pragma once
// The device search and the answer check (menu "файл"): sweeps of the line
// for instruments whose address or rate is unknown.
#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>

class PageHost;
class QAction;
class QWidget;
class SearchProgressView;

class SearchCommands : public QObject {
public:
    struct WindowControls {
        QWidget* mainWindow;  // whose activation, close and timers wait while a search runs
        QAction* N_poisk_pribor;
        QAction* N_poisk_num;
        QAction* N_poisk_scor;
        QAction* N_yes_otvet;
        QAction* N_poisk_fast;
        std::function<SearchProgressView*()> fmsg;  // the "wait" window, once created
        std::function<bool()> periodicPolling;  // whether polling resumes afterwards
    };
    SearchCommands(PageHost& host, WindowControls controls, QObject* parent);

    void Poisk_all(int mode);
    void N_poisk_numClick();
    void N_poisk_scorClick();
    void N_poisk_priborClick();
    void N_yes_otvetClick();
    // The fast search over all six rates at the line's parity and stop bits:
    // one short request per address, every answer confirmed by the presence
    // probe; Q ends it, X abandons it as it does the other searches.
    void N_poisk_fastClick();

    // A search command is on the stack.
    bool running() const { return searchRunning_; }

private:
    // What a search command restores when the key X abandons its probe.
    void searchAbandoned(uint8_t adrBefore);
    void searchTimerStop();
    void searchTimerBack();
    // addresses: the window's bar follows a sweep of all addresses.
    void searchShowFmsg(const QString& text, bool addresses);
    // Address n of the sweep reached after elapsedMs; the rate a probe tries.
    void searchProgress(int n, int64_t elapsedMs);
    void searchRateProgress(int32_t rate);
    void searchHideFmsg();
    // The last line of the information window, heard: a search's result.
    void searchTellResult();

    PageHost& host_;
    WindowControls wc_;
    bool searchRunning_ = false;
    bool pollingBefore_ = false;  // the polling timer ran when the search began
};
