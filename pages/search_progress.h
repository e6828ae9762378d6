#pragma once
// What a search shows while it runs, as the search sees it: the main window
// owns the window itself and hands the search this view of it.
#include <QString>
#include <cstdint>

class SearchProgressView {
public:
    virtual ~SearchProgressView() = default;
    // What the search is doing, in the window's first line.
    virtual void setText(const QString& text) = 0;
    // No address bar (the rate search of one address); only the rate shows.
    virtual void resetProgress(bool addresses) = 0;
    // Address n of total reached after elapsedMs of the sweep.
    virtual void setAddressProgress(int n, int total, int64_t elapsedMs) = 0;
    // The rate a probe is about to try; 0 clears it.
    virtual void setRateInProgress(int32_t rate) = 0;
    // Shown at once (painted before the sweep blocks the event loop), or hidden.
    virtual void showNow() = 0;
    virtual void hideNow() = 0;
};
