#pragma once
// What the windows beside the main window (the journal, the plot) share.
#include <QMargins>
#include <QRect>

#include "protocol/exchange_record.h"

class QWidget;

// Marks w as beside the main window: going to it does not pause polling,
// and Escape closes it.
void markBeside(QWidget* w);
// Shows w in front of the program's other windows, wholly inside the
// available area of its screen (a journal wider than a small screen is
// made narrower, one left off the screen's edge comes back).
void showBeside(QWidget* w);

// A window's place made to fit inside avail, its frame counted: the size
// first, then the position. A window's own frame is known only once shown;
// until then a usual one is assumed.
QRect fitInside(QRect inner, const QRect& avail, const QMargins& frame);
QMargins frameOf(const QWidget* w);

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
