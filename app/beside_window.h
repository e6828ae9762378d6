#pragma once
// What the windows beside the main window (the journal, the plot) share.
#include "protocol/exchange_record.h"

class QWidget;

// Marks w as beside the main window: going to it does not pause polling.
void markBeside(QWidget* w);
// Shows w in front of the program's other windows.
void showBeside(QWidget* w);

// A subscriber of every exchange for as long as this lives.
class FeedSubscription {
public:
    FeedSubscription(lork::ExchangeFeed& feed, lork::ExchangeFeed::Subscriber fn)
        : feed_(feed), key_(feed.subscribe(std::move(fn))) {}
    ~FeedSubscription() { feed_.unsubscribe(key_); }
    FeedSubscription(const FeedSubscription&) = delete;
    FeedSubscription& operator=(const FeedSubscription&) = delete;

private:
    lork::ExchangeFeed& feed_;
    int key_;
};
