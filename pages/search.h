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
        QWidget* main_window;  // whose activation, close and timers wait while a search runs
        QAction* N_poisk_pribor;
        QAction* N_poisk_num;
        QAction* N_poisk_scor;
        QAction* N_yes_otvet;
        QAction* N_poisk_fast;
        std::function<SearchProgressView*()> fmsg;  // the "wait" window, once created
        std::function<bool()> periodic_polling;  // whether polling resumes afterwards
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
    bool running() const { return search_running_; }

private:
    // What a search command restores when the key X abandons its probe.
    void Search_abandoned(uint8_t adr_before);
    void Search_timer_stop();
    void Search_timer_back();
    // addresses: the window's bar follows a sweep of all addresses.
    void Search_show_fmsg(const QString& text, bool addresses);
    // Address n of the sweep reached after elapsedMs; the rate a probe tries.
    void Search_progress(int n, int64_t elapsedMs);
    void Search_rate_progress(int32_t rate);
    void Search_hide_fmsg();
    // The last line of the information window, heard: a search's result.
    void Search_tell_result();

    PageHost& host_;
    WindowControls wc_;
    bool search_running_ = false;
    bool polling_before_ = false;  // the polling timer ran when the search began
};
